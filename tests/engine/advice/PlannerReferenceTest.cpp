// The planner against a plain reference on tiny battles: every count up to a
// cap, every kill order, every round limit, each worked out on its own and
// compared line by line with PlanBattle, over options that make the goal fall
// as units are added (submarine retreats, low luck, the AA gun, withdrawal,
// round limits).
#include "engine/advice/Planner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "tests/engine/advice/AdviceTestSupport.h"

namespace {

constexpr int32_t Cap = 6;        // extra units tried per kind
constexpr double Target = 0.5;

struct TFig {
    double Goal;   // the attacker's
    double Swing;  // the attacker's
    double StillOn;
};

TFig Figures(const TBattleSetupRec& s, bool land)
{
    const TExactOdds odds = ComputeExactOdds(s);
    EXPECT_EQ(odds.Status, TExactStatus::Done);
    return {AttackerGoal(odds, land), odds.AvgDefIPCLoss - odds.AvgAttIPCLoss, odds.BothRemain};
}
double Goal(const TFig& f, bool attacker) { return attacker ? f.Goal : 1 - f.Goal; }
double Swing(const TFig& f, bool attacker) { return attacker ? f.Swing : -f.Swing; }

void ExpectBring(const TBattleSetupRec& setup, const TBattlePlan& plan, bool attacker, const TFig& base)
{
    const TSidePlan& side = attacker ? plan.Attacker : plan.Defender;
    if (ReachesTarget(Goal(base, attacker), Target)) {
        EXPECT_TRUE(side.TargetMet);
        EXPECT_TRUE(side.Bring.empty());
        return;
    }
    EXPECT_FALSE(side.TargetMet);
    size_t lines = 0;
    for (int k = 0; k < (attacker ? AttKinds : DefKinds); ++k) {
        const int32_t have = (attacker ? setup.AttCount : setup.DefCount)[k];
        const int32_t value = (attacker ? setup.AttValue : setup.DefValue)[k];
        if (!CountAvailable(attacker ? AttCountRule[k] : DefCountRule[k], setup) || value <= 0) continue;
        ++lines;
        TBringLine want;
        want.Result = TBringResult::NotWithin;
        want.Count = Cap;
        for (int32_t n = 1; n <= Cap; ++n) {
            TBattleSetupRec s = setup;
            (attacker ? s.AttCount : s.DefCount)[k] = have + n;
            const double p = Goal(Figures(s, plan.Land), attacker);
            if (ReachesTarget(p, Target)) {
                want = {k, {}, TBringResult::Reached, n, 0, p};
                break;
            }
        }
        const auto got = std::find_if(side.Bring.begin(), side.Bring.end(),
                                      [&](const TBringLine& l) { return l.Slot == k; });
        ASSERT_NE(got, side.Bring.end()) << k;
        EXPECT_EQ(got->Result, want.Result) << k;
        EXPECT_EQ(got->Count, want.Count) << k;
        EXPECT_EQ(got->Probability, want.Probability) << k;
    }
    EXPECT_EQ(side.Bring.size(), lines);
}

// Every order of the kinds the side has and can lose: a goal within
// OrderGoalTie of the highest, then the best swing.
void ExpectOrder(const TBattleSetupRec& setup, const TBattlePlan& plan, bool attacker)
{
    const TSidePlan& side = attacker ? plan.Attacker : plan.Defender;
    ASSERT_EQ(side.OrderEnd, TPartEnd::Complete);
    const int kinds = attacker ? AttKinds : DefKinds;
    const int32_t* counts = attacker ? setup.AttCount : setup.DefCount;
    const int32_t* current = attacker ? setup.AttOrder : setup.DefOrder;
    // A battleship beside landing ground units bombards and leaves: never lost.
    const bool bombards = setup.AttCount[aINF] + setup.AttCount[aARM] > 0;
    std::vector<int> present;
    for (int k = 0; k < kinds; ++k)
        if (counts[k] > 0 && !(attacker && k == aBB && bombards)) present.push_back(k);
    std::vector<int32_t> held;
    for (int k : present) held.push_back(current[k]);
    std::sort(held.begin(), held.end());
    std::vector<TFig> all;
    do {
        TBattleSetupRec s = setup;
        int32_t* ranks = attacker ? s.AttOrder : s.DefOrder;
        for (size_t i = 0; i < present.size(); ++i) ranks[present[i]] = held[i];
        all.push_back(Figures(s, plan.Land));
    } while (std::next_permutation(held.begin(), held.end()));
    double top = 0;
    for (const TFig& f : all) top = std::max(top, Goal(f, attacker));
    double swing = -1e300;
    for (const TFig& f : all)
        if (Goal(f, attacker) >= top - OrderGoalTie) swing = std::max(swing, Swing(f, attacker));
    EXPECT_GE(side.BestOrder.Probability, top - OrderGoalTie);
    EXPECT_NEAR(side.BestOrder.Swing, swing, 1e-9);
    for (int k = 0; k < kinds; ++k)
        if (std::find(present.begin(), present.end(), k) == present.end()) {
            EXPECT_EQ(side.BestOrder.Ranks[k], current[k]) << k;
        }
}

void ExpectRetreat(const TBattleSetupRec& setup, const TBattlePlan& plan, const TFig& base)
{
    ASSERT_EQ(plan.RetreatEnd, TPartEnd::Complete);
    std::vector<TRetreatLine> rows;
    for (int32_t r = 1; setup.AllRounds ? r <= MaxCount : r < setup.Rounds; ++r) {
        TBattleSetupRec s = setup;
        s.AllRounds = false;
        s.Rounds = r;
        const TFig f = Figures(s, plan.Land);
        if (f.StillOn < MinRetreatStillOn) break;
        rows.push_back({r, f.StillOn, f.Goal, f.Swing});
    }
    ASSERT_EQ(plan.Retreat.size(), rows.size());
    int32_t chanceRound = 0, lossRound = 0;
    double chance = base.Goal, swing = base.Swing;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(plan.Retreat[i].Probability, rows[i].Probability);
        EXPECT_EQ(plan.Retreat[i].Swing, rows[i].Swing);
        if (rows[i].Probability > chance) chance = rows[i].Probability, chanceRound = rows[i].Round;
        if (rows[i].Swing > swing + 1e-9) swing = rows[i].Swing, lossRound = rows[i].Round;
    }
    EXPECT_EQ(plan.HighestChanceRound, chanceRound);
    EXPECT_EQ(plan.LeastLossRound, lossRound);
}

TEST(PlannerReference, AgreesOnTinyBattles)
{
    const std::vector<TBattleSetupRec> battles = {
        Battle({{aINF, 1}, {aARM, 1}}, {{dINF, 2}}),
        Battle({{aINF, 1}, {aFTR, 1}, {aBB, 1}}, {{dINF, 1}, {dFTR, 1}}),
        Battle({{aFTR, 1}, {aSUB, 1}}, {{dFTR, 1}, {dAC, 1}}),
        Battle({{aSUB, 2}}, {{dTRN, 1}, {dSUB, 1}}),
        Battle({{aFTR, 1}, {aBB, 1}}, {{dSUB, 1}, {dBB, 1}}),
        Battle({{aARM, 1}, {aBMR, 1}}, {{dINF, 1}, {dARM, 1}, {dFTR, 1}}),
    };
    using TOption = void (*)(TBattleSetupRec&);
    std::vector<TOption> options = {
        [](TBattleSetupRec&) {},
        [](TBattleSetupRec& s) { s.AttWithSubsAirOnly = s.DefWithSubsAirOnly = true; },
        [](TBattleSetupRec& s) { s.LowLuck = s.AttWithSubsAirOnly = true; },
        [](TBattleSetupRec& s) { s.AAGun = true; },
        [](TBattleSetupRec& s) { s.Withdrawal = true, s.AttWith = 1, s.DefWith = 1; },
        [](TBattleSetupRec& s) { s.AllRounds = false, s.Rounds = 2; },
        [](TBattleSetupRec& s) { s.SetSuperSub(true), s.DefWithSubs1stRnd = s.TwoHitBB = true; },
        [](TBattleSetupRec& s) { s.LowLuck = s.AAGun = true, s.Withdrawal = true, s.DefWithLess = 1; },
    };
#if defined(__SANITIZE_ADDRESS__)
    options.resize(3);  // unoptimised under the sanitizer: the first options only
#endif
    for (size_t b = 0; b < battles.size(); ++b)
        for (size_t o = 0; o < options.size(); ++o) {
            SCOPED_TRACE("battle " + std::to_string(b) + ", option " + std::to_string(o));
            TBattleSetupRec setup = battles[b];
            options[o](setup);
            TPlanOptions plan;
            plan.Target = Target;
            plan.MaxExtra = Cap;
            plan.Seconds = 1e6;  // the reference has no clock
            const TBattlePlan got = PlanBattle(setup, plan);
            ASSERT_EQ(got.Status, TPlanStatus::Done);
            const TFig base = Figures(setup, got.Land);
            for (const bool attacker : {true, false}) {
                SCOPED_TRACE(attacker ? "attacker" : "defender");
                ExpectBring(setup, got, attacker, base);
                ExpectOrder(setup, got, attacker);
            }
            ExpectRetreat(setup, got, base);
        }
}

}  // namespace
