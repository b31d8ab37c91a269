#include "engine/battle/Losses.h"

#include <gtest/gtest.h>

#include "bench/ReferenceBattles.h"
#include "engine/battle/Random.h"

namespace {

// Without submarine retreats the loss read from the end state is the one the
// battle reported, bombarding battleships and Industrial Technology included.
void ExpectLossesOfEveryBattle(const TBattleSetupRec& setup)
{
    TRandom dice(20040306u);
    TBattleEnd end;
    for (int b = 0; b < 2000; ++b) {
        FightBattle(setup, dice, end);
        const TSideLosses losses = EndStateLosses(setup, end.State);
        ASSERT_EQ(losses.Att, end.AttIPCLoss) << "battle " << b;
        ASSERT_EQ(losses.Def, end.DefIPCLoss) << "battle " << b;
    }
}

TEST(EndStateLosses, AgreeWithTheBattle)
{
    ExpectLossesOfEveryBattle(L1());
    ExpectLossesOfEveryBattle(S1());
    TBattleSetupRec withdrawing = L1(true);
    withdrawing.SetAttTech(true);
    withdrawing.Withdrawal = true;
    withdrawing.AttWith = 8;
    withdrawing.AllRounds = false;
    withdrawing.Rounds = 3;
    ExpectLossesOfEveryBattle(withdrawing);
}

}  // namespace
