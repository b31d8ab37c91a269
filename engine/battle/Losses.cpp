#include "engine/battle/Losses.h"

#include <algorithm>

#include "engine/battle/BattleImpl.h"

// The battle's own end: the prepared start with the end state's counts.
TSideLosses EndStateLosses(const TBattleSetupRec& setup, const TBattleResultsRec& state)
{
    battle::TState s;
    battle::PrepareStart(setup, s);
    std::copy(state.AttCount, state.AttCount + AttKinds, s.Att);
    std::copy(state.DefCount, state.DefCount + DefKinds, s.Def);
    TBattleEnd end;
    battle::EndBattle(s, setup, end);
    return TSideLosses{end.AttIPCLoss, end.DefIPCLoss};
}
