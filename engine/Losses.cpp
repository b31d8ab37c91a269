#include "engine/Losses.h"

#include "engine/BattleImpl.h"

TSideLosses EndStateLosses(const TBattleSetupRec& setup, const TBattleResultsRec& state)
{
    battle::TState start;
    battle::PrepareStart(setup, start);
    TSideLosses losses{start.AttIPCStart, start.DefIPCStart};
    for (int k = 0; k < AttKinds; ++k) losses.Att -= int64_t{setup.AttIPC[k]} * state.AttCount[k];
    for (int k = 0; k < DefKinds; ++k) losses.Def -= int64_t{setup.DefIPC[k]} * state.DefCount[k];
    return losses;
}
