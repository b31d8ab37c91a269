// The generator, the battle start and the fire steps of a round: which units
// roll, in which order, and whom their hits may reach.
#include <cstdint>

#include "engine/battle/BattleImpl.h"
#include "engine/battle/Random.h"
#include "tests/engine/battle/BattleTestSupport.h"

namespace {

// The generator written out independently of TRandom.
struct TReferenceLcg {
    uint32_t State;
    uint32_t Draw(uint32_t n)
    {
        State = static_cast<uint32_t>(uint64_t{State} * 134775813u + 1u);
        return static_cast<uint32_t>((uint64_t{State} * n) >> 32);
    }
};

TEST(Random, FirstDiceOfFixedSeeds)
{
    // Seed 0: the first state is 1, and the high half of 1 * 6 is 0, a die of 1.
    TRandom zero(0);
    for (int face : {1, 1, 6, 2, 2, 5}) EXPECT_EQ(zero.Die(), face);
    TRandom seeded(12345);
    for (int face : {3, 2, 1, 4, 4, 3, 3, 1, 1, 6}) EXPECT_EQ(seeded.Die(), face);
}

TEST(Random, MatchesTheFormulaForAnyRange)
{
    for (uint32_t seed : {0u, 12345u, 86399999u, 0xFFFFFFFFu}) {
        TRandom random(seed);
        TReferenceLcg reference{seed};
        for (int i = 0; i < 1000; ++i) {
            const uint32_t n = i % 3 == 0 ? 6u : i % 3 == 1 ? 100000u : 0xFFFFFFFFu;
            ASSERT_EQ(random.Draw(n), reference.Draw(n)) << "seed " << seed << " draw " << i;
        }
    }
}

TEST(Random, ClockSeedIsATimeOfDay) { EXPECT_LT(ClockSeed(), 24u * 60 * 60 * 1000); }

// 2 INF, 1 FTR, 1 BB against 2 INF with an AA gun; dice 4, 1, 5, 2, 6, 2, 3.
TEST(BattleRound, WorkedExample)
{
    TBattleSetupRec s = Forces({{aINF, 2}, {aFTR, 1}, {aBB, 1}}, {{dINF, 2}});
    s.AAGun = true;
    const TBattleEnd e = Fight(s, {4, 1, 5, 2, 6, 2, 3});
    ExpectEnd(e, TOutcome::AttWins, TVictor::ATT, 1);
    EXPECT_EQ(e.AttIPCLoss, 3);
    EXPECT_EQ(e.DefIPCLoss, 6);
    EXPECT_EQ(AttLeft(e), (AttArr{1, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(DefLeft(e), DefArr{});
    EXPECT_EQ(e.State.Instances, 0);
}

// With combat values 1..6 and each die showing its unit's value, every die
// hits only when the units roll in the required order.
TEST(BattleRound, AttackerFiresInKindOrderAndTransportsNeverRoll)
{
    TBattleSetupRec s = Forces({{aINF, 1}, {aARM, 1}, {aFTR, 1}, {aBMR, 1}, {aBB, 1}, {aAC, 1}, {aTRN, 1}},
                               {{dINF, 10}});
    const int32_t values[AttKinds] = {1, 2, 3, 4, 5, 6, 0, 2};
    std::copy(values, values + AttKinds, s.AttValue);
    Limit(s, 1);
    const TBattleEnd e = Fight(s, {1, 2, 3, 4, 5, 6, /*defender*/ 6, 6, 6, 6, 6, 6, 6, 6, 6, 6});
    EXPECT_EQ(e.State.DefCount[dINF], 4);
}

TEST(BattleRound, DefenderFiresTransportsThenSubmarinesThenTheRestInKindOrder)
{
    TBattleSetupRec s = Forces({{aTRN, 10}}, {{dINF, 1}, {dARM, 1}, {dFTR, 1}, {dJFTR, 1}, {dBMR, 1},
                                              {dBB, 1}, {dAC, 1}, {dTRN, 1}, {dSUB, 1}});
    const int32_t values[DefKinds] = {1, 2, 3, 4, 5, 6, 6, 1, 2};
    std::copy(values, values + DefKinds, s.DefValue);
    Limit(s, 1);
    const TBattleEnd e = Fight(s, {1, 2, 1, 2, 3, 4, 5, 6, 6});
    EXPECT_EQ(e.State.AttCount[aTRN], 1);
}

TEST(BattleRound, AttackingSubmarineSinksTransportBeforeItFires)
{
    const TBattleSetupRec s = Forces({{aSUB, 1}}, {{dTRN, 1}});
    const TBattleEnd hit = Fight(s, {1});
    ExpectEnd(hit, TOutcome::AttWins, TVictor::ATT, 1);
    EXPECT_EQ(hit.AttIPCLoss, 0);

    const TBattleEnd miss = Fight(s, {3, 1});
    ExpectEnd(miss, TOutcome::DefWins, TVictor::DEF, 1);
    EXPECT_EQ(miss.AttIPCLoss, 8);
}

TEST(BattleRound, SuperSubHitsOnThreeOnlyInAttack)
{
    TBattleSetupRec s = Forces({{aSUB, 1}}, {{dSUB, 1}});
    Limit(s, 1);
    EXPECT_EQ(Fight(s, {3, 6}).Outcome, TOutcome::BothRemain);
    s.SetSuperSub(true);
    EXPECT_EQ(Fight(s, {3}).Outcome, TOutcome::AttWins);
    const TBattleEnd e = Fight(s, {4, 3});  // the defending submarine still needs a 2
    EXPECT_EQ(e.Outcome, TOutcome::BothRemain);
}

TEST(BattleRound, BombardingBattleshipFiresOnceAndIsNeverAtStake)
{
    const TBattleSetupRec s = Forces({{aINF, 2}, {aBB, 1}}, {{dINF, 1}});
    // Round 1: INF, INF, BB miss; the defender hits. Round 2: one INF, no BB.
    const TBattleEnd e = Fight(s, {6, 6, 6, 1, /*round 2*/ 6, 1});
    ExpectEnd(e, TOutcome::DefWins, TVictor::DEF, 2);
    EXPECT_EQ(AttLeft(e), AttArr{});
    EXPECT_EQ(e.AttIPCLoss, 6);

    const TBattleEnd won = Fight(s, {6, 6, 1, 6});
    ExpectEnd(won, TOutcome::AttWins, TVictor::ATT, 1);
    EXPECT_EQ(AttLeft(won), (AttArr{2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(won.AttIPCLoss, 0);
}

TEST(BattleRound, HeavyBombersRollThreeDiceAndAAStillTakesWholeBombers)
{
    TBattleSetupRec s = Forces({{aBMR, 2}}, {{dINF, 1}});
    s.HvyBomber = true;
    const TBattleEnd six = Fight(s, {6, 6, 6, 6, 6, 4, /*defender*/ 6});
    ExpectEnd(six, TOutcome::AttWins, TVictor::ATT, 1);

    s.AAGun = true;  // one AA die per bomber, a 1 downs a whole bomber
    const TBattleEnd aa = Fight(s, {1, 6, /*3 dice*/ 6, 6, 4, /*defender*/ 6});
    ExpectEnd(aa, TOutcome::AttWins, TVictor::ATT, 1);
    EXPECT_EQ(aa.State.AttCount[aBMR], 1);
    EXPECT_EQ(aa.AttIPCLoss, 15);
}

TEST(BattleRound, TwoHitBattleshipsAbsorbOneHitEach)
{
    TBattleSetupRec s = Forces({{aBB, 1}}, {{dBB, 1}});
    ExpectEnd(Fight(s, {1, 1}), TOutcome::BothDes, TVictor::BothD, 1);
    s.TwoHitBB = true;
    ExpectEnd(Fight(s, {1, 1, 1, 1}), TOutcome::BothDes, TVictor::BothD, 2);

    // An infantry unit on either side switches the rule off.
    TBattleSetupRec land = Forces({{aBB, 1}}, {{dBB, 1}, {dINF, 1}});
    land.TwoHitBB = true;
    const TBattleEnd e = Fight(land, {1, /*defender INF, BB*/ 6, 1});
    ExpectEnd(e, TOutcome::DefWins, TVictor::DEF, 1);
    EXPECT_EQ(DefLeft(e), (DefArr{0, 0, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(BattleRound, TwoHitPoolIsSpentByFirstHitsWhateverTheyStrike)
{
    TBattleSetupRec s = Forces({{aBB, 2}}, {{dBB, 1}, {dTRN, 1}});
    s.TwoHitBB = true;
    // Round 1: 2 hits, one absorbed, one sinks the transport (rank 3).
    // Round 2: the pool is spent although the battleship was never hit.
    const TBattleEnd e = Fight(s, {1, 1, /*TRN, BB*/ 6, 6, /*round 2*/ 1, 6, 6});
    ExpectEnd(e, TOutcome::AttWins, TVictor::ATT, 2);

    TBattleSetupRec ac = Forces({{aBB, 2}}, {{dBB, 1}, {dAC, 1}});
    ac.TwoHitBB = true;
    Limit(ac, 1);
    EXPECT_EQ(DefLeft(Fight(ac, {1, 1, 6, 6})), (DefArr{0, 0, 0, 0, 0, 1, 0, 0, 0}));
    ac.DefOrder[dBB] = 8;
    ac.DefOrder[dAC] = 9;
    EXPECT_EQ(DefLeft(Fight(ac, {1, 1, 6, 6})), (DefArr{0, 0, 0, 0, 0, 0, 1, 0, 0}));
}

TEST(BattleRound, DefendingSubmarinesCannotHitFighters)
{
    const TBattleSetupRec s = Forces({{aFTR, 2}}, {{dSUB, 3}});
    const TBattleEnd e = Fight(s, {6, 6, 1, 1, 1, /*round 2*/ 1, 1, 1, 1, 1, /*round 3*/ 1, 6, 1});
    ExpectEnd(e, TOutcome::AttWins, TVictor::ATT, 3);
    EXPECT_EQ(e.State.AttCount[aFTR], 2);
    EXPECT_EQ(e.DefIPCLoss, 24);
}

TEST(BattleRound, LossesAreCountedAtEachSidesPrices)
{
    TBattleSetupRec s = Forces({{aFTR, 1}}, {{dJFTR, 1}});
    s.SetDefTech(true);
    const TBattleEnd won = Fight(s, {1, 6});
    EXPECT_EQ(won.DefIPCLoss, 11);
    EXPECT_EQ(won.AttIPCLoss, 0);
    const TBattleEnd lost = Fight(s, {6, 5});  // jet fighters defend on 5
    EXPECT_EQ(lost.AttIPCLoss, 12);
    EXPECT_EQ(lost.DefIPCLoss, 0);
}

// Same seed and setup: the same battles roll for roll.
TEST(BattleRound, SameSeedReplaysTheSameBattles)
{
    TBattleSetupRec s = Forces({{aINF, 5}, {aARM, 3}, {aFTR, 2}, {aBMR, 1}, {aBB, 1}},
                               {{dINF, 6}, {dARM, 2}, {dFTR, 1}});
    s.AAGun = true;
    s.TakeWith = true;
    for (bool lowLuck : {false, true}) {
        s.LowLuck = lowLuck;
        TRandom a(4242), b(4242), other(4243);
        int differing = 0;
        for (int i = 0; i < 2000; ++i) {
            TBattleEnd ea, eb, eo;
            FightBattle(s, a, ea);
            FightBattle(s, b, eb);
            FightBattle(s, other, eo);
            ASSERT_TRUE(ea.State.SameOutcome(eb.State)) << "battle " << i;
            ASSERT_EQ(ea.Rounds, eb.Rounds);
            ASSERT_EQ(ea.AttIPCLoss, eb.AttIPCLoss);
            ASSERT_EQ(ea.DefIPCLoss, eb.DefIPCLoss);
            differing += !ea.State.SameOutcome(eo.State);
        }
        EXPECT_EQ(a.State, b.State);
        EXPECT_GT(differing, 100) << "another seed should give other battles";
    }
}

}  // namespace

namespace {

// The generator answers "does this die hit?" without turning the draw into a
// face first; that shortcut must agree with rolling the face, die for die.
struct TFaceOnlyDice {
    TRandom Random;
    int Die() { return Random.Die(); }
};

TEST(DiceShortcut, HitTestAgreesWithTheRolledFaceForEveryValue)
{
    TRandom a(987654321u);
    TRandom b(987654321u);
    for (int i = 0; i < 60000; ++i) {
        const int32_t value = i % 7;
        ASSERT_EQ(a.Hits(value), b.Die() <= value) << "draw " << i;
    }
}

TEST(DiceShortcut, RollsOfAnyLengthDrawWhatSingleDiceDraw)
{
    TRandom a(424242u);
    TRandom b(424242u);
    for (int32_t shots = 0; shots <= 40; ++shots) {
        for (int32_t value = 0; value <= 6; ++value) {
            int32_t expected = 0;
            for (int32_t i = 0; i < shots; ++i) expected += b.Die() <= value;
            ASSERT_EQ(a.CountHits(shots, value), expected) << shots << " shots at " << value;
            ASSERT_EQ(a.State, b.State);
        }
    }
}

TEST(DiceShortcut, BattlesAgreeWithFaceRolledDice)
{
    TRandom pick(55u);
    for (int i = 0; i < 400; ++i) {
        // Small forces roll group by group, large ones a whole fire step in lanes.
        const uint32_t most = i % 2 ? 4 : 40;
        TBattleSetupRec s;
        for (int k = 0; k < AttKinds; ++k) s.AttCount[k] = static_cast<int32_t>(pick.Draw(most));
        for (int k = 0; k < DefKinds; ++k) s.DefCount[k] = static_cast<int32_t>(pick.Draw(most));
        s.HvyBomber = pick.Draw(2);
        s.TwoHitBB = pick.Draw(2);
        s.AAGun = pick.Draw(2);
        s.LowLuck = pick.Draw(2);
        TRandom fast(1000u + i);
        TFaceOnlyDice slow{TRandom(1000u + i)};
        TBattleEnd a, b;
        FightBattle(s, fast, a);
        FightBattle(s, slow, b);
        ASSERT_TRUE(a.State.SameOutcome(b.State)) << "setup " << i;
        ASSERT_EQ(a.Rounds, b.Rounds);
        ASSERT_EQ(fast.State, slow.Random.State);
    }
}

}  // namespace
