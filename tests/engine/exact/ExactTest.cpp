// Exact odds: battles worked out by hand, every dice sequence of short
// battles replayed through the engine, agreement with long runs of the dice,
// and the limits.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "engine/battle/BattleImpl.h"
#include "engine/exact/Exact.h"
#include "engine/battle/Random.h"
#include "engine/battle/ScriptedDice.h"
#include "tests/engine/battle/BattleTestSupport.h"
#include "tests/engine/exact/ExactTestSupport.h"

namespace {

TEST(ExactOdds, WorkedOutByHand)
{
    // Each round the attacker hits with 1/6, the defender with 2/6; a round
    // with no hit repeats.
    const TExactOdds one = ComputeExactOdds(Forces({{aINF, 1}}, {{dINF, 1}}));
    ASSERT_EQ(one.Status, TExactStatus::Done);
    EXPECT_NEAR(one.AttWins, 4.0 / 16, 1e-12);
    EXPECT_NEAR(one.DefWins, 10.0 / 16, 1e-12);
    EXPECT_NEAR(one.BothDes, 2.0 / 16, 1e-12);
    EXPECT_NEAR(one.AvgRounds, 36.0 / 16, 1e-12);
    EXPECT_NEAR(one.AvgAttIPCLoss, 3 * 12.0 / 16, 1e-12);
    EXPECT_NEAR(one.AvgDefIPCLoss, 3 * 6.0 / 16, 1e-12);
    EXPECT_NEAR(Total(one), 1, 1e-12);
    ASSERT_EQ(one.Outcomes.size(), 3u);
    EXPECT_EQ(one.Outcomes[0].State.Victor, TVictor::DEF);  // most probable first
    EXPECT_EQ(one.Outcomes[0].State.DefCount[dINF], 1);

    // One round only: what is left standing remains.
    TBattleSetupRec limited = Forces({{aINF, 1}}, {{dINF, 1}});
    const TExactOdds round = ComputeExactOdds(Limit(limited, 1));
    EXPECT_NEAR(round.BothRemain, 20.0 / 36, 1e-12);
    EXPECT_NEAR(round.AttWins, 4.0 / 36, 1e-12);
    EXPECT_NEAR(round.AvgRounds, 1, 1e-12);

    // Low luck, 1 ARM (strength 3) against 1 INF (strength 2): hits with 1/2 and 1/3.
    TBattleSetupRec lowLuck = Forces({{aARM, 1}}, {{dINF, 1}});
    lowLuck.LowLuck = true;
    const TExactOdds ll = ComputeExactOdds(lowLuck);
    EXPECT_NEAR(ll.AttWins, 0.5, 1e-12);
    EXPECT_NEAR(ll.DefWins, 0.25, 1e-12);
    EXPECT_NEAR(ll.BothDes, 0.25, 1e-12);
    EXPECT_NEAR(ll.AvgRounds, 1.5, 1e-12);

    // Sure hits beyond the units left, in the second round: 12 INF in low
    // luck score 2, then at least 1 against 3 INF, which take 1 INF and then
    // one more with 1/3.
    TBattleSetupRec overwhelming = Forces({{aINF, 12}}, {{dINF, 3}});
    overwhelming.LowLuck = true;
    const TExactOdds over = ComputeExactOdds(overwhelming);
    EXPECT_NEAR(over.AttWins, 1, 1e-12);
    EXPECT_NEAR(over.AvgAttIPCLoss, 3 * (1 + 1.0 / 3), 1e-12);
    EXPECT_NEAR(over.AvgRounds, 2, 1e-12);
    // The same in regular mode: 999 ARM are all but sure of 300 hits a round.
    EXPECT_NEAR(ComputeExactOdds(Forces({{aARM, 999}}, {{dINF, 400}})).AttWins, 1, 1e-12);
}

// ---- Every dice sequence, through the engine's own battle ----------------------------

// Summed in long double: the sequences are many and each is small.
struct TEnumerated {
    std::map<TEndKey, long double> Ends;
    long double AttLoss = 0, DefLoss = 0, Rounds = 0;
};

// Fights the battle with every continuation of `faces` until it needs no more dice.
void Enumerate(const TBattleSetupRec& setup, std::vector<int>& faces, long double p, TEnumerated& out)
{
    TScriptedDice dice(faces);
    TBattleEnd end;
    FightBattle(setup, dice, end);
    if (dice.Exhausted()) {
        for (int face = 1; face <= 6; ++face) {
            faces.push_back(face);
            Enumerate(setup, faces, p / 6, out);
            faces.pop_back();
        }
        return;
    }
    out.Ends[KeyOf(end.State)] += p;
    out.AttLoss += p * end.AttIPCLoss;
    out.DefLoss += p * end.DefIPCLoss;
    out.Rounds += p * end.Rounds;
}

void ExpectSameAsEveryDiceSequence(const TBattleSetupRec& setup)
{
    TEnumerated e;
    std::vector<int> faces;
    Enumerate(setup, faces, 1.0L, e);
    const TExactOdds odds = ComputeExactOdds(setup);
    ASSERT_EQ(odds.Status, TExactStatus::Done);
    EXPECT_NEAR(Total(odds), 1, 1e-12);
    EXPECT_EQ(odds.Pruned, 0);
    std::map<TEndKey, double> exact = EndStates(odds);
    ASSERT_EQ(exact.size(), e.Ends.size());
    for (const auto& [key, p] : e.Ends) EXPECT_NEAR(exact[key], static_cast<double>(p), 1e-12);
    EXPECT_NEAR(odds.AvgAttIPCLoss, static_cast<double>(e.AttLoss), 1e-10);
    EXPECT_NEAR(odds.AvgDefIPCLoss, static_cast<double>(e.DefLoss), 1e-10);
    EXPECT_NEAR(odds.AvgRounds, static_cast<double>(e.Rounds), 1e-12);
}

TEST(ExactOdds, EqualsEveryDiceSequenceOfShortBattles)
{
    // Naval: submarine strike, transports and submarines defending, 2 Hit BB.
    TBattleSetupRec naval = Forces({{aSUB, 1}, {aFTR, 1}, {aBB, 1}}, {{dTRN, 1}, {dSUB, 1}, {dBB, 1}});
    naval.TwoHitBB = true;
    ExpectSameAsEveryDiceSequence(Limit(naval, 1));

    // Amphibious: bombardment, AA gun, heavy bombers, Take w/ ground.
    TBattleSetupRec land = Forces({{aINF, 1}, {aBMR, 1}, {aBB, 1}}, {{dINF, 1}, {dJFTR, 1}});
    land.AAGun = land.HvyBomber = land.TakeWith = true;
    ExpectSameAsEveryDiceSequence(Limit(land, 1));

    // Two rounds with retreats and withdrawal.
    TBattleSetupRec retreat = Forces({{aSUB, 1}, {aFTR, 1}}, {{dSUB, 1}, {dFTR, 1}});
    retreat.DefWithSubs1stRnd = retreat.AttWithSubsAirOnly = true;
    retreat.Withdrawal = true;
    retreat.DefWithLess = 1;
    ExpectSameAsEveryDiceSequence(Limit(retreat, 2));

    // Low luck: the defender's submarines sink ships outright, and its hits are capped.
    TBattleSetupRec ll = Forces({{aTRN, 1}, {aFTR, 2}, {aSUB, 1}}, {{dSUB, 3}, {dAC, 1}});
    ll.LowLuck = true;
    ExpectSameAsEveryDiceSequence(Limit(ll, 2));

    // Save Air ends the battle when the last land unit falls.
    TBattleSetupRec save = Forces({{aINF, 1}, {aFTR, 1}}, {{dINF, 2}});
    save.SaveAir = true;
    ExpectSameAsEveryDiceSequence(Limit(save, 1));
}

// ---- Agreement with the dice ------------------------------------------------------------

TBattleSetupRec RandomSetup(std::mt19937& rng)
{
    auto coin = [&] { return std::uniform_int_distribution<int>(0, 1)(rng) == 1; };
    auto count = [&](int most) { return std::uniform_int_distribution<int>(0, most)(rng); };
    TBattleSetupRec s;
    const bool naval = coin();
    for (int k : naval ? std::vector<int>{aFTR, aBMR, aBB, aAC, aTRN, aSUB} : std::vector<int>{aINF, aARM, aFTR, aBMR, aBB})
        s.AttCount[k] = count(2);
    for (int k : naval ? std::vector<int>{dFTR, dJFTR, dBB, dAC, dTRN, dSUB} : std::vector<int>{dINF, dARM, dFTR, dJFTR})
        s.DefCount[k] = count(2);
    if (s.Empty()) s.AttCount[aFTR] = 1;
    s.HvyBomber = coin();
    s.TwoHitBB = coin();
    s.AAGun = !naval && coin();
    s.TakeWith = coin();
    s.SaveAir = !naval && coin();
    s.AttWithSubsAirOnly = coin();
    s.DefWithSubsAirOnly = coin();
    s.DefWithSubs1stRnd = coin();
    s.LowLuck = coin();
    s.SetSuperSub(coin());
    s.SetAttTech(coin());
    s.SetDefTech(coin());
    if (coin()) {
        s.Withdrawal = true;
        s.AttWith = count(2);
        s.DefWith = count(2);
        s.DefWithLess = count(1);
    }
    if (coin()) Limit(s, 1 + count(3));
    std::shuffle(s.AttOrder, s.AttOrder + AttKinds, rng);
    std::shuffle(s.DefOrder, s.DefOrder + DefKinds, rng);
    return s;
}

TEST(ExactOdds, AgreesWithMillionBattleRuns)
{
    std::mt19937 rng(20261208);
    constexpr int Setups = 24;
    constexpr int Battles = 1000000;
    for (int n = 0; n < Setups; ++n) {
        const TBattleSetupRec setup = RandomSetup(rng);
        SCOPED_TRACE(n);
        const TExactOdds odds = ComputeExactOdds(setup);
        ASSERT_EQ(odds.Status, TExactStatus::Done);
        ASSERT_NEAR(Total(odds), 1, 1e-12);
        ExpectAgreesWithDice(setup, odds, Battles, static_cast<uint32_t>(n) * 7919u + 1u);
    }
}

// ---- Limits -------------------------------------------------------------------------------

TEST(ExactOdds, RefusesWhatIsTooLargeAndStopsWhenCancelled)
{
    TBattleSetupRec all;
    std::fill(all.AttCount, all.AttCount + AttKinds, 999);
    std::fill(all.DefCount, all.DefCount + DefKinds, 999);
    const TExactOdds huge = ComputeExactOdds(all);
    EXPECT_EQ(huge.Status, TExactStatus::TooLarge);
    EXPECT_FALSE(huge.Reason.empty());

    const TBattleSetupRec land = Forces({{aINF, 40}, {aARM, 20}}, {{dINF, 50}});
    TExactLimits tight;
    tight.MaxStateBytes = 1024;
    EXPECT_EQ(ComputeExactOdds(land, nullptr, tight).Status, TExactStatus::TooLarge);
    tight = {};
    tight.MaxWork = 1000;
    EXPECT_EQ(ComputeExactOdds(land, nullptr, tight).Status, TExactStatus::TooLarge);

    std::atomic<bool> cancel{true};
    EXPECT_EQ(ComputeExactOdds(land, &cancel).Status, TExactStatus::Cancelled);
    cancel = false;
    EXPECT_EQ(ComputeExactOdds(land, &cancel).Status, TExactStatus::Done);
}

TEST(ExactOdds, ChecksItselfAndKeepsItsLimits)
{
    // A broken sum is caught and reported, never returned as odds.
    const TBattleSetupRec small = Forces({{aINF, 3}}, {{dINF, 2}});
    TExactLimits faulty;
    faulty.InjectFault = true;
    const TExactOdds failed = ComputeExactOdds(small, nullptr, faulty);
    EXPECT_EQ(failed.Status, TExactStatus::Failed);
    EXPECT_NE(failed.Reason.find("add up"), std::string::npos) << failed.Reason;

    // Any round limit a caller can write, the largest included.
    TBattleSetupRec limited = small;
    for (int32_t rounds : {0, 40000, INT32_MAX}) {
        const TExactOdds o = ComputeExactOdds(Limit(limited, rounds));
        EXPECT_EQ(o.Status, TExactStatus::Done) << rounds;
    }

    // End states past the cap are summed, not dropped.
    TExactLimits few;
    few.MaxOutcomes = 2;
    const TBattleSetupRec land = Forces({{aINF, 6}, {aARM, 2}}, {{dINF, 5}});
    const TExactOdds all = ComputeExactOdds(land), capped = ComputeExactOdds(land, nullptr, few);
    ASSERT_GT(all.Outcomes.size(), 2u);
    ASSERT_EQ(capped.Outcomes.size(), 2u);
    double rest = 0;
    for (size_t i = 2; i < all.Outcomes.size(); ++i) rest += all.Outcomes[i].Probability;
    EXPECT_NEAR(capped.OtherOutcomes, rest, 1e-12);
    EXPECT_EQ(all.OtherOutcomes, 0);

    // The same bits on one thread as on all of them (a battle large enough
    // for threads).
    TBattleSetupRec big = Forces({{aINF, 60}, {aARM, 30}, {aFTR, 10}}, {{dINF, 80}, {dFTR, 10}});
    big.AAGun = true;
    TExactLimits one;
    one.Threads = 1;
    const TExactOdds serial = ComputeExactOdds(big, nullptr, one), parallel = ComputeExactOdds(big);
    EXPECT_EQ(serial.AttWins, parallel.AttWins);
    EXPECT_EQ(serial.AvgAttIPCLoss, parallel.AvgAttIPCLoss);
    EXPECT_EQ(serial.Pruned, parallel.Pruned);
    ASSERT_EQ(serial.Outcomes.size(), parallel.Outcomes.size());
    for (size_t i = 0; i < serial.Outcomes.size(); ++i)
        EXPECT_EQ(serial.Outcomes[i].Probability, parallel.Outcomes[i].Probability);
}

TEST(ExactOdds, ListsEachEndStateOnceWithFiguresWithinBounds)
{
    // With 2 Hit BB, end states that differ only in battleship damage are one row.
    TBattleSetupRec duel = Forces({{aFTR, 1}}, {{dBB, 1}});
    duel.TwoHitBB = true;
    const TExactOdds d = ComputeExactOdds(duel);
    ASSERT_EQ(d.Status, TExactStatus::Done);
    ASSERT_EQ(d.Outcomes.size(), 3u);
    EXPECT_EQ(d.Outcomes[0].State.Victor, TVictor::DEF);
    EXPECT_NEAR(d.Outcomes[0].Probability, d.DefWins, 1e-15);
    TBattleSetupRec many = Forces({{aFTR, 2}, {aBMR, 2}, {aSUB, 2}}, {{dBB, 10}});
    many.TwoHitBB = many.AAGun = true;
    const TExactOdds m = ComputeExactOdds(many);
    ASSERT_EQ(m.Status, TExactStatus::Done);
    EXPECT_EQ(EndStates(m).size(), m.Outcomes.size());

    // Sums that rounding carries a hair past their bounds are put back on them.
    EXPECT_EQ(ComputeExactOdds(Forces({{aTRN, 1}}, {{dTRN, 1}})).DefWins, 1.0);
    EXPECT_EQ(ComputeExactOdds(Forces({}, {{dFTR, 23}})).DefLeft[dFTR], 23.0);

    // The swing keeps what the rows merge: a submarine that retreated is not
    // lost, one that was sunk is, and both end in the same row.
    TBattleSetupRec retreat = Forces({{aSUB, 1}, {aFTR, 1}}, {{dJFTR, 1}});
    retreat.AttWithSubsAirOnly = true;
    const TExactOdds r = ComputeExactOdds(retreat);
    ASSERT_EQ(r.Status, TExactStatus::Done);
    double mass = 0, mean = 0;
    bool subKept = false;
    for (const TExactSwing& e : r.Swing) {
        mass += e.Probability;
        mean += e.Probability * static_cast<double>(e.Swing);
        subKept |= e.Swing == -retreat.AttIPC[aFTR];  // the fighter lost, the submarine gone home
    }
    EXPECT_NEAR(mass, 1, 1e-12);
    EXPECT_NEAR(mean, r.AvgDefIPCLoss - r.AvgAttIPCLoss, 1e-9);
    EXPECT_TRUE(subKept);
}

}  // namespace
