#include "engine/advice/Planner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include <tbb/global_control.h>

#include "tests/engine/advice/AdviceTestSupport.h"

namespace {

// Plans whole, however slow the build: the time budget has a test of its own.
TPlanOptions Untimed(TPlanOptions options = {})
{
    options.Seconds = 1e6;
    return options;
}

double Goal(const TBattleSetupRec& s, bool attacker, bool land)
{
    const TExactOdds odds = ComputeExactOdds(s);
    EXPECT_EQ(odds.Status, TExactStatus::Done);
    return attacker ? AttackerGoal(odds, land) : DefenderGoal(odds, land);
}

// Every count the planner names reaches the target in a calculation of its
// own, and one unit fewer does not (with withdrawal: no smaller count does).
void ExpectBringAgrees(const TBattleSetupRec& setup, const TBattlePlan& plan)
{
    for (const bool attacker : {true, false}) {
        const TSidePlan& side = attacker ? plan.Attacker : plan.Defender;
        int64_t cost = 0;
        for (const TBringLine& line : side.Bring) {
            SCOPED_TRACE(std::string(attacker ? "attacker " : "defender ") + UnitInfo(line.Kind).Code);
            if (!line.Reached()) continue;
            EXPECT_GE(line.IPC, cost);  // cheapest first
            cost = line.IPC;
            TBattleSetupRec s = setup;
            int32_t* counts = attacker ? s.AttCount : s.DefCount;
            const int32_t have = counts[line.Slot];
            counts[line.Slot] = have + line.Count;
            const double reached = Goal(s, attacker, plan.Land);
            EXPECT_TRUE(ReachesTarget(reached, plan.Target));
            EXPECT_DOUBLE_EQ(reached, line.Probability);
            for (int32_t fewer = 0; fewer < line.Count; ++fewer) {
                counts[line.Slot] = have + fewer;
                EXPECT_FALSE(ReachesTarget(Goal(s, attacker, plan.Land), plan.Target)) << fewer;
            }
        }
    }
}

// 1 INF against 1 INF, worked out by hand: a round ends the battle unless both
// miss. With a attacking INF, h = 1 - (5/6)^a is the chance of a hit; the
// defender hits with 1/3 and then takes one INF.
double TakenByHand(int a)
{
    if (a == 0) return 0;
    const double h = 1 - std::pow(5.0 / 6.0, a);
    return (h * 2 / 3 + (a >= 2 ? h / 3 : 0) + (1 - h) / 3 * TakenByHand(a - 1)) / (1 - (1 - h) * 2 / 3);
}

TEST(Planner, OneInfantryAgainstOne)
{
    const TBattleSetupRec setup = Battle({{aINF, 1}}, {{dINF, 1}});
    const TBattlePlan plan = PlanBattle(setup, Untimed());
    ASSERT_EQ(plan.Status, TPlanStatus::Done);
    EXPECT_TRUE(plan.Land);
    EXPECT_NEAR(plan.Attacker.Probability, 0.25, 1e-12);
    EXPECT_NEAR(plan.Defender.Probability, 0.75, 1e-12);

    int need = 0;
    while (TakenByHand(1 + need) < 0.9) ++need;
    const auto inf = std::find_if(plan.Attacker.Bring.begin(), plan.Attacker.Bring.end(),
                                  [](const TBringLine& l) { return l.Kind == TUnitKind::INF; });
    ASSERT_NE(inf, plan.Attacker.Bring.end());
    ASSERT_TRUE(inf->Reached());
    EXPECT_EQ(inf->Count, need);
    EXPECT_EQ(inf->IPC, 3 * need);
    EXPECT_NEAR(inf->Probability, TakenByHand(1 + need), 1e-12);
    // A land battle: the sea-only kinds are not offered, nor the attacker's transports.
    for (const TBringLine& l : plan.Attacker.Bring) EXPECT_EQ(AttCountRule[l.Slot] == TCountRule::SeaOnly, false);
    for (const TBringLine& l : plan.Defender.Bring) EXPECT_EQ(DefCountRule[l.Slot] == TCountRule::SeaOnly, false);
    EXPECT_EQ(plan.Attacker.Bring.size(), 5u);  // INF ARM FTR BMR BB: the attacker's battleships may bombard
}

TEST(Planner, BringAgreesWithSeparateCalculations)
{
    TBattleSetupRec land = Battle({{aINF, 3}, {aARM, 1}}, {{dINF, 3}, {dFTR, 1}});
    TBattleSetupRec withdrawing = land;
    withdrawing.Withdrawal = true;
    withdrawing.AttWith = 2;  // the attacker pulls back with 2 units or fewer left
    TBattleSetupRec sea = Battle({{aSUB, 2}, {aFTR, 1}}, {{dTRN, 1}, {dSUB, 1}});
    for (const TBattleSetupRec& setup : {land, withdrawing, sea}) {
        TPlanOptions options;
        options.Target = 0.8;
        const TBattlePlan plan = PlanBattle(setup, Untimed(options));
        ASSERT_EQ(plan.Status, TPlanStatus::Done);
        ExpectBringAgrees(setup, plan);
    }
}

TEST(Planner, BestOrderAgreesWithEveryOrder)
{
    // The attacker's three kinds in every way they can hold three of the eight
    // ranks; the rest fill the free ranks.
    TBattleSetupRec setup = Battle({{aINF, 2}, {aARM, 1}, {aFTR, 1}}, {{dINF, 3}, {dARM, 1}});
    const TBattlePlan plan = PlanBattle(setup, Untimed());
    ASSERT_EQ(plan.Status, TPlanStatus::Done);
    const TOrderLine& best = plan.Attacker.BestOrder;
    EXPECT_TRUE(plan.Attacker.Exhaustive);
    double most = 0;
    for (int i = 1; i <= AttKinds; ++i)
        for (int a = 1; a <= AttKinds; ++a)
            for (int f = 1; f <= AttKinds; ++f) {
                if (i == a || a == f || i == f) continue;
                TBattleSetupRec s = setup;
                s.AttOrder[aINF] = i, s.AttOrder[aARM] = a, s.AttOrder[aFTR] = f;
                int32_t next = 1;
                for (int k = aBMR; k < AttKinds; ++k) {
                    while (next == i || next == a || next == f) ++next;
                    s.AttOrder[k] = next++;
                }
                most = std::max(most, Goal(s, true, true));
            }
    EXPECT_GE(best.Probability, most - OrderGoalTie);
    EXPECT_GT(best.Probability, plan.Attacker.CurrentOrder.Probability);
    EXPECT_TRUE(IsKillOrder(best.Ranks, AttKinds));
    for (int k = aBMR; k < AttKinds; ++k) EXPECT_EQ(best.Ranks[k], setup.AttOrder[k]);  // absent kinds keep their ranks
    TBattleSetupRec chosen = setup;
    std::copy(best.Ranks, best.Ranks + AttKinds, chosen.AttOrder);
    EXPECT_DOUBLE_EQ(Goal(chosen, true, true), best.Probability);

    // Seven kinds present (a hand-made setup): swaps from the current order, labelled as found.
    const TBattleSetupRec many = Battle({{aFTR, 1}, {aBB, 1}, {aSUB, 2}},
                                        {{dINF, 1}, {dFTR, 1}, {dJFTR, 1}, {dBB, 1}, {dAC, 1}, {dTRN, 1}, {dSUB, 1}});
    const TBattlePlan found = PlanBattle(many, Untimed());
    ASSERT_EQ(found.Status, TPlanStatus::Done);
    EXPECT_TRUE(found.Attacker.Exhaustive);
    EXPECT_FALSE(found.Defender.Exhaustive);
    EXPECT_GE(found.Defender.BestOrder.Probability, found.Defender.CurrentOrder.Probability);
    EXPECT_TRUE(IsKillOrder(found.Defender.BestOrder.Ranks, DefKinds));
}

TEST(Planner, RetreatRoundsAreRoundLimits)
{
    const TBattleSetupRec setup = Battle({{aINF, 4}, {aARM, 2}}, {{dINF, 5}});
    const TBattlePlan plan = PlanBattle(setup, Untimed());
    ASSERT_EQ(plan.Status, TPlanStatus::Done);
    ASSERT_FALSE(plan.Retreat.empty());
    for (size_t r = 0; r < plan.Retreat.size(); ++r) EXPECT_EQ(plan.Retreat[r].Round, int(r + 1));
    TBattleSetupRec limited = setup;
    limited.AllRounds = false;
    for (const TRetreatLine& line : {plan.Retreat.front(), plan.Retreat.back()}) {
        limited.Rounds = line.Round;
        const TExactOdds odds = ComputeExactOdds(limited);
        EXPECT_DOUBLE_EQ(line.StillOn, odds.BothRemain);
        EXPECT_GE(line.StillOn, MinRetreatStillOn);
        EXPECT_DOUBLE_EQ(line.Probability, odds.Taken);
        EXPECT_DOUBLE_EQ(line.Swing, odds.AvgDefIPCLoss - odds.AvgAttIPCLoss);
    }
    limited.Rounds = plan.Retreat.back().Round + 1;
    EXPECT_LT(ComputeExactOdds(limited).BothRemain, MinRetreatStillOn);  // the table ends where it should

    double best = plan.EndSwing;
    int32_t round = 0;
    for (const TRetreatLine& line : plan.Retreat)
        if (line.Swing > best) best = line.Swing, round = line.Round;
    EXPECT_EQ(plan.LeastLossRound, round);
}

TEST(Planner, RefusalsCancelsAndThreads)
{
    TBattleSetupRec huge;
    std::fill(huge.AttCount, huge.AttCount + AttKinds, MaxCount);
    std::fill(huge.DefCount, huge.DefCount + DefKinds, MaxCount);
    EXPECT_EQ(PlanBattle(huge, Untimed()).Status, TPlanStatus::TooLarge);

    const TBattleSetupRec setup = Battle({{aINF, 3}, {aARM, 2}, {aFTR, 1}}, {{dINF, 4}, {dARM, 1}});
    std::atomic<bool> cancel{true};
    EXPECT_EQ(PlanBattle(setup, {}, &cancel).Status, TPlanStatus::Cancelled);

    // A cancel in the middle: the plan stops and says so.
    std::atomic<bool> later{false};
    TPlanOptions stopping;
    stopping.Progress = [&](const TBattlePlan&) { later.store(true); };
    EXPECT_EQ(PlanBattle(setup, stopping, &later).Status, TPlanStatus::Cancelled);

    // The same plan on one thread as on all.
    const TBattlePlan all = PlanBattle(setup, Untimed());
    TBattlePlan one;
    {
        const tbb::global_control single(tbb::global_control::max_allowed_parallelism, 1);
        one = PlanBattle(setup, Untimed());
    }
    EXPECT_EQ(all.PartsDone, PlanParts);
    for (const bool attacker : {true, false}) {
        const TSidePlan& a = attacker ? all.Attacker : all.Defender;
        const TSidePlan& b = attacker ? one.Attacker : one.Defender;
        ASSERT_EQ(a.Bring.size(), b.Bring.size());
        for (size_t i = 0; i < a.Bring.size(); ++i) {
            EXPECT_EQ(a.Bring[i].Slot, b.Bring[i].Slot);
            EXPECT_EQ(a.Bring[i].Count, b.Bring[i].Count);
        }
        EXPECT_TRUE(std::equal(a.BestOrder.Ranks, a.BestOrder.Ranks + DefKinds, b.BestOrder.Ranks));
    }
    EXPECT_EQ(all.Retreat.size(), one.Retreat.size());
}

}  // namespace

const TBringLine* LineOf(const TSidePlan& side, int slot)
{
    for (const TBringLine& line : side.Bring)
        if (line.Slot == slot) return &line;
    return nullptr;
}

TEST(Planner, CountsWhereMoreUnitsHurt)
{
    // Retreating submarines: more of them sink the carriers sooner and must
    // then leave the fighters alone. 5 reach 21 %, though fewer and more fail.
    TBattleSetupRec subs = Battle({{aFTR, 1}}, {{dFTR, 2}, {dAC, 2}});
    subs.AttWithSubsAirOnly = true;
    TPlanOptions options;
    options.Target = 0.21;
    const TBattlePlan subPlan = PlanBattle(subs, Untimed(options));
    const TBringLine* sub = LineOf(subPlan.Attacker, aSUB);
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->Result, TBringResult::Reached);
    EXPECT_EQ(sub->Count, 5);
    EXPECT_NEAR(sub->Probability, 0.217, 0.0005);

    // Super subs: +5 SUB is the cheapest line at 80 %.
    TBattleSetupRec fleet = Battle({{aFTR, 2}, {aBB, 1}, {aAC, 1}, {aSUB, 2}}, {{dFTR, 2}, {dJFTR, 2}, {dAC, 2}, {dSUB, 2}});
    fleet.SetSuperSub(true);
    fleet.AttWithSubsAirOnly = true;
    options.Target = 0.8;
    const TBattlePlan fleetPlan = PlanBattle(fleet, Untimed(options));
    ASSERT_FALSE(fleetPlan.Attacker.Bring.empty());
    EXPECT_EQ(fleetPlan.Attacker.Bring[0].Slot, aSUB);
    EXPECT_EQ(fleetPlan.Attacker.Bring[0].Count, 5);

    // Low luck with retreating defenders: 10 submarines, not 13.
    TBattleSetupRec lowLuck = Battle({{aFTR, 3}, {aBMR, 3}, {aBB, 3}, {aAC, 2}, {aSUB, 2}}, {{dAC, 2}, {dTRN, 2}, {dSUB, 3}});
    lowLuck.DefWithSubsAirOnly = lowLuck.LowLuck = true;
    options.Target = 0.35;
    const TBattlePlan lowLuckPlan = PlanBattle(lowLuck, Untimed(options));
    const TBringLine* defSub = LineOf(lowLuckPlan.Defender, dSUB);
    ASSERT_TRUE(defSub);
    EXPECT_EQ(defSub->Count, 10);

    // Hold is 4/5, summed as 0.7999999999999999: the target of 80 % is met.
    TBattleSetupRec even = Battle({{aFTR, 1}}, {{dFTR, 1}});
    even.LowLuck = true;
    options.Target = 0.8;
    const TBattlePlan evenPlan = PlanBattle(even, Untimed(options));
    EXPECT_TRUE(evenPlan.Defender.TargetMet);
    EXPECT_TRUE(evenPlan.Defender.Bring.empty());

    // Fighters cannot take a territory: not within +64, and not worked out.
    int calls = 0;
    TPlanOptions counting;
    counting.Calculation = [&](const TBattleSetupRec& s, const std::atomic<bool>* cancel) {
        ++calls;
        return ComputeExactOdds(s, cancel);
    };
    const TBattleSetupRec air = Battle({{aFTR, 1}}, {{dINF, 1}});
    const TBattlePlan airPlan = PlanBattle(air, Untimed(counting));
    const TBringLine* ftr = LineOf(airPlan.Attacker, aFTR);
    ASSERT_TRUE(ftr);
    EXPECT_EQ(ftr->Result, TBringResult::NotWithin);
    EXPECT_EQ(BringText(*ftr), "not within +64");
    EXPECT_LT(calls, 64);
}

TEST(Planner, OrdersWeighTheSwingAndLeaveWhatCannotBeLost)
{
    // A defender order that gains a hair of chance for a third of the swing is no better.
    const TBattleSetupRec mixed = Battle({{aARM, 1}, {aFTR, 2}, {aBB, 4}}, {{dINF, 2}, {dARM, 2}, {dFTR, 3}, {dJFTR, 1}, {dBMR, 4}});
    const TBattlePlan plan = PlanBattle(mixed, Untimed());
    ASSERT_EQ(plan.Status, TPlanStatus::Done);
    const TSidePlan& def = plan.Defender;
    EXPECT_GE(def.BestOrder.Swing, def.CurrentOrder.Swing - 1e-9);

    // A battleship that bombards is never lost: it keeps its rank.
    // Armour is best lost last, behind the aircraft.
    const TBattleSetupRec landing = Battle({{aINF, 2}, {aARM, 1}, {aFTR, 1}, {aBMR, 1}, {aBB, 1}}, {{dINF, 3}, {dARM, 1}});
    const TBattlePlan bombard = PlanBattle(landing, Untimed());
    EXPECT_GT(bombard.Attacker.BestOrder.Ranks[aARM], bombard.Attacker.BestOrder.Ranks[aBMR]);
    EXPECT_EQ(bombard.Attacker.BestOrder.Ranks[aBB], landing.AttOrder[aBB]);

    // The retreat table marks its highest chance and its least IPC lost apart.
    const TBattleSetupRec l1 = Battle({{aINF, 4}, {aARM, 2}, {aFTR, 1}}, {{dINF, 5}, {dFTR, 1}});
    const TBattlePlan retreat = PlanBattle(l1, Untimed());
    double chance = retreat.Attacker.Probability;
    for (const TRetreatLine& line : retreat.Retreat) chance = std::max(chance, line.Probability);
    const double marked = retreat.HighestChanceRound == 0 ? retreat.Attacker.Probability
                                                          : retreat.Retreat[size_t(retreat.HighestChanceRound - 1)].Probability;
    EXPECT_EQ(marked, chance);

    // An empty battle keeps the order given.
    TBattleSetupRec empty;
    std::reverse(empty.AttOrder, empty.AttOrder + AttKinds);
    EXPECT_EQ(OrderText(true, PlanBattle(empty, Untimed()).Attacker.CurrentOrder.Ranks), "SUB TRN ARM INF FTR AC BB BMR");
}

TEST(Planner, FailuresStayFailuresAndTimeRunsOut)
{
    const TBattleSetupRec setup = Battle({{aINF, 2}, {aARM, 1}}, {{dINF, 3}});
    // One calculation fails, in the retreat table: the whole plan fails.
    TPlanOptions failing;
    failing.Calculation = [](const TBattleSetupRec& s, const std::atomic<bool>* cancel) {
        TExactOdds odds = ComputeExactOdds(s, cancel);
        if (!s.AllRounds && s.Rounds == 2) {
            odds.Status = TExactStatus::Failed;
            odds.Reason = "broken on purpose";
        }
        return odds;
    };
    const TBattlePlan failed = PlanBattle(setup, Untimed(failing));
    EXPECT_EQ(failed.Status, TPlanStatus::Failed);
    EXPECT_EQ(failed.Reason, "broken on purpose");
    // The process-wide switch reaches the planner's calculations too.
    SetExactFaultInjection(true);
    const TBattlePlan injected = PlanBattle(setup, Untimed());
    SetExactFaultInjection(false);
    EXPECT_EQ(injected.Status, TPlanStatus::Failed);

    // A count too large to work out is that, not "not reachable".
    TPlanOptions refusing;
    refusing.Target = 0.999;
    refusing.Calculation = [](const TBattleSetupRec& s, const std::atomic<bool>* cancel) {
        TExactOdds odds = ComputeExactOdds(s, cancel);
        if (s.AttCount[aINF] >= 5) odds.Status = TExactStatus::TooLarge;
        return odds;
    };
    const TBattlePlan refused = PlanBattle(setup, Untimed(refusing));
    const TBringLine* inf = LineOf(refused.Attacker, aINF);
    ASSERT_TRUE(inf);
    EXPECT_EQ(inf->Result, TBringResult::TooLarge);
    EXPECT_EQ(BringText(*inf), "too large to work out");

    // No time at all: the battle as it stands, and every other part says so.
    TPlanOptions hurried;
    hurried.Seconds = 0;
    const TBattlePlan late = PlanBattle(setup, hurried);
    ASSERT_EQ(late.Status, TPlanStatus::Done);
    EXPECT_DOUBLE_EQ(late.Attacker.Probability, Goal(setup, true, true));
    ASSERT_FALSE(late.Attacker.Bring.empty());
    for (const TBringLine& line : late.Attacker.Bring) EXPECT_EQ(BringText(line), "not worked out in time");
    EXPECT_EQ(late.Attacker.OrderEnd, TPartEnd::OutOfTime);
    EXPECT_EQ(late.RetreatEnd, TPartEnd::OutOfTime);
    EXPECT_EQ(late.PartsDone, PlanParts);
}
