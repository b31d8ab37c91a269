#pragma once
// --save-setup: writing a battle file from the command line.
#include <string>

#include "model/BattleSetup.h"

// Writes the setup's battle file at path in one step: the text goes to a new
// file beside it, which then replaces path, so a failed write leaves any old
// file as it was. Returns the reason of a failure, or an empty string.
std::string SaveBattleFile(const std::string& path, const TBattleSetupRec& setup);
