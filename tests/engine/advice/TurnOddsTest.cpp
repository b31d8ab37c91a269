// Turn odds against an independent calculation: every combination of the
// battles' end states, one by one.
#include "engine/advice/TurnOdds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "engine/advice/Planner.h"
#include "engine/battle/Driver.h"

#include "tests/engine/advice/AdviceTestSupport.h"

namespace {

// One end state of a battle as the reference sees it: its losses from the
// counts left (exact where no unit can leave the battle but by dying).
struct TEnd {
    double P;
    bool Goal;
    int32_t AttLoss, DefLoss;
};

std::vector<TEnd> Ends(const TBattleSetupRec& s)
{
    const TExactOdds odds = ComputeExactOdds(s);
    EXPECT_EQ(odds.Status, TExactStatus::Done);
    std::vector<TEnd> ends;
    double att = 0;
    for (const TExactOutcome& o : odds.Outcomes) {
        TEnd e{o.Probability, TakesTerritory(IsLandBattle(s), o.State.Victor == TVictor::ATT, o.State.AttCount), 0, 0};
        for (int k = 0; k < AttKinds; ++k) e.AttLoss += (s.AttCount[k] - o.State.AttCount[k]) * s.AttIPC[k];
        for (int k = 0; k < DefKinds; ++k) e.DefLoss += (s.DefCount[k] - o.State.DefCount[k]) * s.DefIPC[k];
        att += e.P * e.AttLoss;
        ends.push_back(e);
    }
    EXPECT_NEAR(att, odds.AvgAttIPCLoss, 1e-9);  // the reference's own losses are right
    return ends;
}

int32_t Quantile(const std::map<int32_t, double>& d, double q)
{
    double below = 0;
    for (const auto& [s, p] : d)
        if ((below += p) >= q - 1e-12) return s;
    return d.rbegin()->first;
}

void ExpectTurnAsEnumerated(const std::vector<TBattleSetupRec>& setups)
{
    std::vector<std::vector<TEnd>> ends;
    for (const TBattleSetupRec& s : setups) ends.push_back(Ends(s));
    const size_t n = setups.size();
    std::vector<double> exactly(n + 1, 0.0);
    std::map<int32_t, double> swing;
    double att = 0, def = 0, mean = 0, squares = 0;
    std::vector<size_t> at(n, 0);
    for (;;) {
        double p = 1;
        int goals = 0, s = 0, a = 0, d = 0;
        for (size_t b = 0; b < n; ++b) {
            const TEnd& e = ends[b][at[b]];
            p *= e.P;
            goals += e.Goal;
            a += e.AttLoss;
            d += e.DefLoss;
        }
        s = d - a;
        exactly[static_cast<size_t>(goals)] += p;
        swing[s] += p;
        att += p * a, def += p * d, mean += p * s, squares += p * s * s;
        size_t b = 0;
        while (b < n && ++at[b] == ends[b].size()) at[b++] = 0;
        if (b == n) break;
    }

    const TTurnOdds turn = ComputeTurnOdds(setups);
    ASSERT_EQ(turn.Status, TTurnStatus::Done);
    ASSERT_EQ(turn.Exactly.size(), n + 1);
    double atLeast = 0;
    for (size_t k = n + 1; k-- > 0;) {
        atLeast += exactly[k];
        EXPECT_NEAR(turn.Exactly[k], exactly[k], 1e-12) << k;
        EXPECT_NEAR(turn.AtLeast[k], atLeast, 1e-12) << k;
    }
    EXPECT_NEAR(turn.All, exactly[n], 1e-12);
    EXPECT_NEAR(turn.AttIPCLoss, att, 1e-9);
    EXPECT_NEAR(turn.DefIPCLoss, def, 1e-9);
    EXPECT_NEAR(turn.SwingMean, mean, 1e-9);
    EXPECT_NEAR(turn.SwingSd, std::sqrt(squares - mean * mean), 1e-7);
    EXPECT_EQ(turn.Q05, Quantile(swing, 0.05));
    EXPECT_EQ(turn.Q50, Quantile(swing, 0.50));
    EXPECT_EQ(turn.Q95, Quantile(swing, 0.95));
    // Every share the turn lists, in increasing swing; what it leaves out is pruned.
    double missing = 0;
    for (size_t i = 0; i < turn.Swing.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(turn.Swing[i - 1].Swing, turn.Swing[i].Swing);
        }
        ASSERT_TRUE(swing.count(turn.Swing[i].Swing)) << turn.Swing[i].Swing;
        EXPECT_NEAR(turn.Swing[i].Probability, swing[turn.Swing[i].Swing], 1e-12);
        swing.erase(turn.Swing[i].Swing);
    }
    for (const auto& [s, p] : swing) missing += p;
    EXPECT_LE(missing, turn.Pruned + 1e-12);
    EXPECT_LE(turn.Pruned, missing + 1e-12);
}

TEST(TurnOdds, EveryFigureEqualsTheEnumeratedCombinations)
{
    TBattleSetupRec land = Battle({{aINF, 2}, {aARM, 1}}, {{dINF, 2}});
    // A fighter may win alone and not take the territory.
    TBattleSetupRec air = Battle({{aINF, 1}, {aFTR, 1}}, {{dINF, 1}, {dFTR, 1}});
    TBattleSetupRec sea = Battle({{aFTR, 1}, {aSUB, 1}}, {{dTRN, 1}, {dSUB, 1}});
    TBattleSetupRec limited = Battle({{aFTR, 2}}, {{dFTR, 1}});
    limited.AllRounds = false;
    limited.Rounds = 2;
    SCOPED_TRACE("two");
    ExpectTurnAsEnumerated({land, air});
    SCOPED_TRACE("three");
    ExpectTurnAsEnumerated({land, sea, limited});
    SCOPED_TRACE("four");
    ExpectTurnAsEnumerated({land, air, sea, limited});
}

TEST(TurnOdds, EachBattleHasItsOwnFigures)
{
    // A retreated submarine is not lost: the swing comes from the end states
    // as reached, and its mean is the battle's expected swing.
    TBattleSetupRec retreat = Battle({{aFTR, 2}, {aSUB, 1}}, {{dFTR, 1}, {dSUB, 2}});
    retreat.DefWithSubs1stRnd = true;
    const TBattleOddsOfTurn r = BattleOddsOfTurn(retreat);
    const TExactOdds exact = ComputeExactOdds(retreat);
    double mean = 0;
    for (const TExactSwing& s : r.Swing) mean += s.Probability * s.Swing;
    EXPECT_NEAR(mean, exact.AvgDefIPCLoss - exact.AvgAttIPCLoss, 1e-9);
    EXPECT_DOUBLE_EQ(r.SwingMean, exact.AvgDefIPCLoss - exact.AvgAttIPCLoss);
    EXPECT_EQ(r.Method, TTurnMethod::Exact);

    // No unit is no battle: no goal, no swing.
    const TBattleOddsOfTurn none = BattleOddsOfTurn(TBattleSetupRec{});
    EXPECT_EQ(none.Probability, 0);
    ASSERT_EQ(none.Swing.size(), 1u);
    EXPECT_EQ(none.Swing[0].Swing, 0);

    // Where the exact odds refuse, a seeded run: the figures of the same run
    // fought by the driver.
    const TBattleSetupRec air = Battle({{aFTR, 2}}, {{dFTR, 1}});
    TExactLimits refuse;
    refuse.MaxWork = 0;
    const TBattleOddsOfTurn run = BattleOddsOfTurn(air, nullptr, refuse);
    EXPECT_EQ(run.Method, TTurnMethod::Run);
    EXPECT_FALSE(run.Reason.empty());
    struct THost final : TRunHost {
        TBattleSetupRec Setup;
        RunTotals Totals;
        int RunSize() override { return TurnRunBattles; }
        uint32_t RunSeed() override { return TurnRunSeed; }
        void ReadSetup(TBattleSetupRec& s) override { s = Setup; }
        void Publish(const RunTotals& t, const TBattleResultsRec*, int, bool) override { Totals = t; }
    } host;
    host.Setup = air;
    TRunControl control;
    RunBattles(control, host);
    EXPECT_DOUBLE_EQ(run.Probability, host.Totals.AttWins / double(TurnRunBattles));
    EXPECT_DOUBLE_EQ(run.SwingMean, (host.Totals.DefIPCLoss - host.Totals.AttIPCLoss) / double(TurnRunBattles));
    double share = 0;
    for (const TExactSwing& s : run.Swing) share += s.Probability;
    EXPECT_NEAR(share, 1, 1e-12);

    // A calculation that fails its own checks fails the turn, naming the battle.
    TExactLimits broken;
    broken.InjectFault = true;
    const TTurnOdds failed = ComputeTurnOdds({air, retreat}, nullptr, broken);
    EXPECT_EQ(failed.Status, TTurnStatus::Failed);
    EXPECT_EQ(failed.FailedBattle, 0u);
    EXPECT_FALSE(failed.Reason.empty());
}

}  // namespace
