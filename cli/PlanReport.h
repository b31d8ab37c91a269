#pragma once
// varnholt-odds --plan: the battle planner's answers as a readable report or
// as one JSON object.
#include <iosfwd>

#include "model/BattleSetup.h"

// Plans the setup for a target in percent (1 to 99.9) within `seconds` and
// writes the plan to out; a battle too large to plan, or a calculation that
// failed its own checks, gets one line on err. Returns the tool's exit status.
int RunPlan(const TBattleSetupRec& setup, double targetPercent, double seconds, bool json, std::ostream& out,
            std::ostream& err);
