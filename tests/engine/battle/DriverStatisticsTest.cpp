// A long run against the exact odds of a small land battle, worked out here
// by a dynamic programme over (attacking units, defending units).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/battle/Driver.h"
#include "format/Panel.h"

namespace {

// Distribution of the hits of `units` units with combat value `value`.
std::vector<double> HitDistribution(int units, int value, bool lowLuck)
{
    std::vector<double> dist(units + 1, 0.0);
    if (lowLuck) {
        const int strength = units * value;
        const double extra = (strength % 6) / 6.0;
        dist[strength / 6] += 1 - extra;
        if (strength % 6) dist[strength / 6 + 1] += extra;
        return dist;
    }
    const double p = value / 6.0;
    for (int k = 0; k <= units; ++k)
        dist[k] = std::tgamma(units + 1.0) / (std::tgamma(k + 1.0) * std::tgamma(units - k + 1.0)) *
                  std::pow(p, k) * std::pow(1 - p, units - k);
    return dist;
}

struct TExact {
    double AttWins = 0, DefWins = 0, BothDes = 0;
    double Rounds = 0, RoundsSq = 0;
};

// Attacking infantry (value 1) against defending infantry (value 2), all rounds.
TExact ExactInfantryBattle(int att, int def, bool lowLuck)
{
    std::vector<std::vector<TExact>> s(att + 1, std::vector<TExact>(def + 1));
    for (int a = 0; a <= att; ++a) {
        for (int d = 0; d <= def; ++d) {
            TExact& e = s[a][d];
            if (a == 0 || d == 0) continue;  // the battle is over before this state
            const std::vector<double> attHits = HitDistribution(a, 1, lowLuck);
            const std::vector<double> defHits = HitDistribution(d, 2, lowLuck);
            const double stay = attHits[0] * defHits[0];
            double m1 = 1, win = 0, loss = 0, both = 0;
            for (int h = 0; h <= a; ++h) {
                for (int k = 0; k <= d; ++k) {
                    const double p = attHits[h] * defHits[k];
                    if ((h == 0 && k == 0) || p == 0) continue;
                    const int na = std::max(0, a - k), nd = std::max(0, d - h);
                    const TExact& next = s[na][nd];
                    if (na > 0 && nd == 0) win += p;
                    else if (na == 0 && nd > 0) loss += p;
                    else if (na == 0 && nd == 0) both += p;
                    win += p * next.AttWins;
                    loss += p * next.DefWins;
                    both += p * next.BothDes;
                    m1 += p * next.Rounds;
                }
            }
            e.AttWins = win / (1 - stay);
            e.DefWins = loss / (1 - stay);
            e.BothDes = both / (1 - stay);
            e.Rounds = m1 / (1 - stay);
            // E[R^2]: R = 1 + R(next), the next state possibly this one again.
            double m2 = 1 + 2 * stay * e.Rounds;
            for (int h = 0; h <= a; ++h)
                for (int k = 0; k <= d; ++k) {
                    const double p = attHits[h] * defHits[k];
                    if ((h == 0 && k == 0) || p == 0) continue;
                    const TExact& next = s[std::max(0, a - k)][std::max(0, d - h)];
                    m2 += p * (2 * next.Rounds + next.RoundsSq);
                }
            e.RoundsSq = m2 / (1 - stay);
        }
    }
    return s[att][def];
}

class TLongRun : public TRunHost {
public:
    TBattleSetupRec Setup;
    RunTotals Last;
    int RunSize() override { return 200000; }
    uint32_t RunSeed() override { return 20240601u; }
    void ReadSetup(TBattleSetupRec& setup) override { setup = Setup; }
    void Publish(const RunTotals& t, const TBattleResultsRec*, int, bool) override { Last = t; }
};

void ExpectNear(double observed, double expected, double sd, int n, const char* what)
{
    const double se = sd / std::sqrt(static_cast<double>(n));
    EXPECT_NEAR(observed, expected, 5 * se + 1e-12) << what;
}

void CheckAgainstExactOdds(bool lowLuck)
{
    TLongRun run;
    run.Setup.AttCount[aINF] = 3;
    run.Setup.DefCount[dINF] = 2;
    run.Setup.LowLuck = lowLuck;
    TRunControl control;
    ASSERT_EQ(RunBattles(control, run), TRunEnd::Completed);

    const RunTotals& t = run.Last;
    const int n = t.Battles;
    ASSERT_EQ(n, 200000);
    const TExact x = ExactInfantryBattle(3, 2, lowLuck);
    EXPECT_NEAR(x.AttWins + x.DefWins + x.BothDes, 1.0, 1e-9);
    auto share = [&](int32_t count) { return static_cast<double>(count) / n; };
    auto sdOf = [](double p) { return std::sqrt(p * (1 - p)); };
    ExpectNear(share(t.AttWins), x.AttWins, sdOf(x.AttWins), n, "attacker wins");
    ExpectNear(share(t.DefWins), x.DefWins, sdOf(x.DefWins), n, "defender wins");
    ExpectNear(share(t.BothDes), x.BothDes, sdOf(x.BothDes), n, "both destroyed");
    EXPECT_EQ(t.AttWithdraws + t.BothRemain, 0);
    ExpectNear(static_cast<double>(t.TotalRounds) / n, x.Rounds, std::sqrt(x.RoundsSq - x.Rounds * x.Rounds), n,
               "rounds");

    // The margins estimate 1.96 standard errors of the exact distribution:
    // the run's sums of squares must hold every battle's rounds.
    const TPanelFigures margins = PanelMargins(t);
    const double roundsSe = std::sqrt((x.RoundsSq - x.Rounds * x.Rounds) / n);
    EXPECT_NEAR(margins.Value[7], 1.96 * roundsSe, 0.05 * 1.96 * roundsSe);
    EXPECT_NEAR(margins.Value[0], 196 * std::sqrt(x.AttWins * (1 - x.AttWins) / n), 0.01);
}

TEST(DriverStatistics, RegularDiceMatchTheExactOdds) { CheckAgainstExactOdds(false); }

TEST(DriverStatistics, LowLuckMatchesTheExactOdds) { CheckAgainstExactOdds(true); }

}  // namespace
