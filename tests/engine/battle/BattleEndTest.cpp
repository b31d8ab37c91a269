// How battles end: submarine retreats, withdrawal, round limit, Save Air, the
// labels, and the guarantee that every battle ends.
#include <cstring>

#include "engine/battle/Random.h"
#include "tests/engine/battle/BattleTestSupport.h"

namespace {

TEST(BattleEnd, VictorTextsAndOutcomeIdentity)
{
    EXPECT_STREQ(VictorText(TVictor::None), "");
    EXPECT_STREQ(VictorText(TVictor::ATT), "ATT");
    EXPECT_STREQ(VictorText(TVictor::DEF), "DEF");
    EXPECT_STREQ(VictorText(TVictor::BothD), "Both D.");
    EXPECT_STREQ(VictorText(TVictor::With), "With.");
    EXPECT_STREQ(VictorText(TVictor::RndLmt), "Rnd Lmt");

    TBattleResultsRec a, b;
    a.Victor = b.Victor = TVictor::ATT;
    a.AttCount[aINF] = b.AttCount[aINF] = 2;
    b.Instances = 7;
    EXPECT_TRUE(a.SameOutcome(b));
    b.DefCount[dSUB] = 1;
    EXPECT_FALSE(a.SameOutcome(b));
    b.DefCount[dSUB] = 0;
    b.Victor = TVictor::With;
    EXPECT_FALSE(a.SameOutcome(b));
}

TEST(BattleEnd, RoundLimitOneYieldsToAWipeOut)
{
    TBattleSetupRec s = Forces({{aINF, 1}}, {{dINF, 1}});
    Limit(s, 1);
    ExpectEnd(Fight(s, {1, 6}), TOutcome::AttWins, TVictor::ATT, 1);
    ExpectEnd(Fight(s, {6, 1}), TOutcome::DefWins, TVictor::DEF, 1);
    ExpectEnd(Fight(s, {1, 1}), TOutcome::BothDes, TVictor::BothD, 1);
    ExpectEnd(Fight(s, {6, 6}), TOutcome::BothRemain, TVictor::RndLmt, 1);
    Limit(s, 3);
    ExpectEnd(Fight(s, {6, 6, 6, 6, 6, 6}), TOutcome::BothRemain, TVictor::RndLmt, 3);
}

TEST(BattleEnd, WithdrawalWhenAttackerIsDownToItsLimitAgainstEnoughDefenders)
{
    TBattleSetupRec s = Forces({{aINF, 3}}, {{dINF, 3}});
    s.Withdrawal = true;
    s.AttWith = 2;
    s.DefWith = 3;
    const TBattleEnd e = Fight(s, {6, 6, 6, 1, 6, 6});
    ExpectEnd(e, TOutcome::AttWithdraws, TVictor::With, 1);
    EXPECT_EQ(AttLeft(e), (AttArr{2, 0, 0, 0, 0, 0, 0, 0}));

    TBattleSetupRec fewer = s;
    fewer.DefCount[dINF] = 2;  // 2 against 2 defenders: fight on
    Limit(fewer, 2);
    ExpectEnd(Fight(fewer, {6, 6, 6, 1, 6, /*round 2*/ 6, 6, 6, 6}), TOutcome::BothRemain, TVictor::RndLmt, 2);

    // Thresholds without the withdrawal rules switched on do nothing; the
    // label follows the category that ended the battle.
    s.Withdrawal = false;
    Limit(s, 1);
    ExpectEnd(Fight(s, {6, 6, 6, 1, 6, 6}), TOutcome::BothRemain, TVictor::RndLmt, 1);
}

TEST(BattleEnd, WithdrawalWhenDefenderIsDownToItsLimit)
{
    TBattleSetupRec s = Forces({{aINF, 2}}, {{dINF, 2}});
    s.Withdrawal = true;
    s.DefWithLess = 1;
    const TBattleEnd e = Fight(s, {1, 6, 6, 6});
    ExpectEnd(e, TOutcome::AttWithdraws, TVictor::With, 1);
    EXPECT_EQ(DefLeft(e), (DefArr{1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BattleEnd, SaveAirWithdrawsWhenTheLastLandUnitIsLost)
{
    TBattleSetupRec s = Forces({{aINF, 1}, {aFTR, 1}}, {{dINF, 2}});
    s.SaveAir = true;
    const TBattleEnd e = Fight(s, {6, 6, 1, 6});
    ExpectEnd(e, TOutcome::AttWithdraws, TVictor::With, 1);
    EXPECT_EQ(AttLeft(e), (AttArr{0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(e.AttIPCLoss, 3);
    // Losing everything is still a defeat.
    ExpectEnd(Fight(s, {6, 6, 1, 1}), TOutcome::DefWins, TVictor::DEF, 1);
}

TEST(BattleEnd, DefendingSubsLeavingAfterRoundOneAreNotLost)
{
    TBattleSetupRec s = Forces({{aBB, 2}}, {{dSUB, 2}, {dBB, 1}});
    s.DefWithSubs1stRnd = true;
    const TBattleEnd e = Fight(s, {6, 6, /*SUB*/ 6, 6, /*BB*/ 6, /*round 2*/ 6, 6, 6, /*round 3*/ 1, 6, 6});
    ExpectEnd(e, TOutcome::AttWins, TVictor::ATT, 3);
    EXPECT_EQ(DefLeft(e), DefArr{});
    EXPECT_EQ(e.DefIPCLoss, 24);
}

TEST(BattleEnd, DefendingSubsLeaveAnAirOnlyAttack)
{
    TBattleSetupRec s = Forces({{aFTR, 1}}, {{dSUB, 1}, {dTRN, 1}});
    s.DefWithSubsAirOnly = true;
    Limit(s, 1);
    const TBattleEnd e = Fight(s, {6, 6, 6});
    EXPECT_EQ(DefLeft(e), (DefArr{0, 0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(e.DefIPCLoss, 0);
    s.AttCount[aTRN] = 1;  // an attacking ship keeps them in the battle
    EXPECT_EQ(DefLeft(Fight(s, {6, 6, 6})), (DefArr{0, 0, 0, 0, 0, 0, 0, 1, 1}));
}

TEST(BattleEnd, AttackingSubsLeaveDefendingFightersButNotBombers)
{
    TBattleSetupRec s = Forces({{aSUB, 2}}, {{dFTR, 1}});
    s.AttWithSubsAirOnly = true;
    const TBattleEnd e = Fight(s, {6, 6, 6});
    ExpectEnd(e, TOutcome::DefWins, TVictor::DEF, 1);
    EXPECT_EQ(AttLeft(e), AttArr{});
    EXPECT_EQ(e.AttIPCLoss, 0);

    TBattleSetupRec bombers = Forces({{aSUB, 2}}, {{dBMR, 1}});
    bombers.AttWithSubsAirOnly = true;
    Limit(bombers, 1);
    const TBattleEnd stay = Fight(bombers, {6, 6, 6});
    ExpectEnd(stay, TOutcome::BothRemain, TVictor::RndLmt, 1);
    EXPECT_EQ(stay.State.AttCount[aSUB], 2);
}

// A battle in which neither side can hit would never end without a round
// limit; it ends after the round in which that became so, both remaining.
TEST(BattleEnd, BattleThatNobodyCanWinEndsAsBothRemain)
{
    TBattleSetupRec s = Forces({{aINF, 1}}, {{dINF, 1}});
    std::memset(s.AttValue, 0, sizeof s.AttValue);
    std::memset(s.DefValue, 0, sizeof s.DefValue);
    for (bool lowLuck : {false, true}) {
        s.LowLuck = lowLuck;
        TRandom dice(7);
        TBattleEnd e;
        FightBattle(s, dice, e);
        ExpectEnd(e, TOutcome::BothRemain, TVictor::RndLmt, 1);
    }

    // Fighters unable to attack against submarines unable to reach them.
    TBattleSetupRec air = Forces({{aFTR, 1}}, {{dSUB, 1}});
    air.AttValue[aFTR] = 0;
    ExpectEnd(FightAsIs(air, {1, 1}), TOutcome::BothRemain, TVictor::RndLmt, 1);
    // In low luck the cap leaves the defender nothing to hit while it has
    // submarines, though its infantry has strength.
    TBattleSetupRec capped = Forces({{aFTR, 1}}, {{dSUB, 1}, {dINF, 1}});
    capped.AttValue[aFTR] = 0;
    capped.LowLuck = true;
    ExpectEnd(FightAsIs(capped, {1, 1, 1}), TOutcome::BothRemain, TVictor::RndLmt, 1);
    // A round limit is honoured as it stands.
    Limit(air, 4);
    ExpectEnd(Fight(air, {1, 1, 1, 1, 1, 1, 1, 1}), TOutcome::BothRemain, TVictor::RndLmt, 4);

    // One side that can still hit keeps the battle going.
    const TBattleSetupRec subs = Forces({{aSUB, 1}}, {{dFTR, 1}});
    ExpectEnd(Fight(subs, {6, 6, 6, 1}), TOutcome::DefWins, TVictor::DEF, 2);
    TBattleSetupRec harmless = Forces({{aSUB, 1}}, {{dTRN, 2}});
    harmless.DefValue[dTRN] = 0;
    ExpectEnd(FightAsIs(harmless, {6, 1, 1, /*round 2*/ 1, 1, /*round 3*/ 1}), TOutcome::AttWins, TVictor::ATT, 3);
}

// The label rules, applied to the end state, for setups as the window makes
// them (thresholds 0 unless withdrawal is on).
TVictor LabelByRules(const TBattleSetupRec& s, const TBattleEnd& e)
{
    int32_t att = 0, def = 0;
    for (int32_t c : e.State.AttCount) att += c;
    for (int32_t c : e.State.DefCount) def += c;
    if (att == 0 && def > 0) return TVictor::DEF;
    if (def == 0 && att > 0) return TVictor::ATT;
    if (att == 0 && def == 0) return TVictor::BothD;
    if (att <= s.AttWith && def >= s.DefWith) return TVictor::With;
    if (def <= s.DefWithLess) return TVictor::With;
    if (!s.AllRounds && e.Rounds == s.Rounds) return TVictor::RndLmt;
    if (s.SaveAir && e.State.AttCount[aINF] + e.State.AttCount[aARM] == 0) return TVictor::With;
    return TVictor::None;
}

// Random forces and options with default values: every battle ends, no count
// goes negative or grows, losses are never negative and the label agrees with
// the label rules.
TEST(BattleEnd, RandomBattlesEndConsistently)
{
    TRandom pick(2024);
    TRandom dice(99);
    for (int i = 0; i < 4000; ++i) {
        TBattleSetupRec s;
        const int32_t most = i % 4 == 0 ? 40 : 4;
        for (int32_t& c : s.AttCount) c = pick.Draw(3) == 0 ? static_cast<int32_t>(pick.Draw(most + 1)) : 0;
        for (int32_t& c : s.DefCount) c = pick.Draw(3) == 0 ? static_cast<int32_t>(pick.Draw(most + 1)) : 0;
        s.HvyBomber = pick.Draw(2);
        s.TwoHitBB = pick.Draw(2);
        s.AAGun = pick.Draw(2);
        s.TakeWith = pick.Draw(2);
        s.SaveAir = pick.Draw(2);
        s.AttWithSubsAirOnly = pick.Draw(2);
        s.DefWithSubsAirOnly = pick.Draw(2);
        s.DefWithSubs1stRnd = pick.Draw(2);
        s.LowLuck = pick.Draw(2);
        if (pick.Draw(2)) s.SetSuperSub(true);
        if (pick.Draw(3) == 0) {
            s.Withdrawal = true;
            s.AttWith = pick.Draw(4);
            s.DefWith = pick.Draw(4);
            s.DefWithLess = pick.Draw(3);
        }
        if (pick.Draw(3) == 0) Limit(s, 1 + pick.Draw(5));
        TBattleEnd e;
        FightBattle(s, dice, e);
        SCOPED_TRACE(i);
        ASSERT_GE(e.Rounds, 1);
        for (int k = 0; k < AttKinds; ++k) {
            ASSERT_GE(e.State.AttCount[k], 0);
            ASSERT_LE(e.State.AttCount[k], s.AttCount[k]);
        }
        for (int k = 0; k < DefKinds; ++k) {
            ASSERT_GE(e.State.DefCount[k], 0);
            ASSERT_LE(e.State.DefCount[k], s.DefCount[k]);
        }
        ASSERT_GE(e.AttIPCLoss, 0);
        ASSERT_GE(e.DefIPCLoss, 0);
        ASSERT_STREQ(VictorText(e.State.Victor), VictorText(LabelByRules(s, e)));
    }
}

}  // namespace
