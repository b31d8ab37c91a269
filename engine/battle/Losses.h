#pragma once
// Each side's IPC loss read back from a battle's end state: the stake the
// battle start puts at risk less the units left. End states do not tell a
// retreated submarine from a sunk one, so with submarine retreats the loss
// read here counts retreated submarines as lost; otherwise it is the loss the
// battle reported.
#include <cstdint>

#include "engine/battle/Battle.h"

struct TSideLosses {
    int64_t Att = 0;
    int64_t Def = 0;
};

TSideLosses EndStateLosses(const TBattleSetupRec& setup, const TBattleResultsRec& state);
