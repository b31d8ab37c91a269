// The exact odds' summaries read from the end states: the territory figure
// and the expected units left, in a land battle, a sea battle and a land
// battle the attacker can win with aircraft alone.
#include <gtest/gtest.h>

#include "bench/ReferenceBattles.h"
#include "engine/exact/Exact.h"

namespace {

TEST(ExactSummaries, AgreeWithTheEndStates)
{
    TBattleSetupRec airOnly;  // fighters against one infantry: wins that take nothing
    airOnly.AttCount[aFTR] = 3;
    airOnly.DefCount[dINF] = 1;
    for (const TBattleSetupRec& s : {L1(), S1(), airOnly}) {
        const TExactOdds x = ComputeExactOdds(s);
        ASSERT_EQ(x.Status, TExactStatus::Done);
        ASSERT_EQ(x.OtherOutcomes, 0);
        const bool land = IsLandBattle(s);
        double taken = 0, attLeft[AttKinds] = {}, defLeft[DefKinds] = {};
        for (const TExactOutcome& o : x.Outcomes) {
            if (TakesTerritory(land, o.State.Victor == TVictor::ATT, o.State.AttCount)) taken += o.Probability;
            for (int k = 0; k < AttKinds; ++k) attLeft[k] += o.Probability * o.State.AttCount[k];
            for (int k = 0; k < DefKinds; ++k) defLeft[k] += o.Probability * o.State.DefCount[k];
        }
        EXPECT_NEAR(x.Taken, taken, 1e-12);
        for (int k = 0; k < AttKinds; ++k) EXPECT_NEAR(x.AttLeft[k], attLeft[k], 1e-9) << "ATT kind " << k;
        for (int k = 0; k < DefKinds; ++k) EXPECT_NEAR(x.DefLeft[k], defLeft[k], 1e-9) << "DEF kind " << k;
        if (land) EXPECT_LT(x.Taken, x.AttWins - 0.01);
        else EXPECT_NEAR(x.Taken, x.AttWins, 1e-12);
    }
}

}  // namespace
