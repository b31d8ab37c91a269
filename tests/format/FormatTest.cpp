#include "format/Panel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

RunTotals Totals(int32_t battles)
{
    RunTotals t;
    t.Battles = battles;
    return t;
}

TEST(FormatGeneral, RoundsTheEighteenDigitTextHalfUp)
{
    EXPECT_EQ(FormatGeneral(45.678L, 3), "45.7");
    EXPECT_EQ(FormatGeneral(99.96L, 3), "100");
    EXPECT_EQ(FormatGeneral(10.04L, 3), "10");
    EXPECT_EQ(FormatGeneral(5.5L, 2), "5.5");
    EXPECT_EQ(FormatGeneral(9.96L, 2), "10");
    EXPECT_EQ(FormatGeneral(10, 2), "10");
    EXPECT_EQ(FormatGeneral(0.35L, 1), "0.4");
    EXPECT_EQ(FormatGeneral(0.04L, 1), "0.04");
    EXPECT_EQ(FormatGeneral(0.25L, 1), "0.3");   // exact binary half: up, not to even
    EXPECT_EQ(FormatGeneral(999.5L, 3), "1E3");  // the carry pushes it past fixed notation
}

TEST(FormatGeneral, ChoosesFixedOrScientificByExponent)
{
    EXPECT_EQ(FormatGeneral(1234.5L, 3), "1.23E3");
    EXPECT_EQ(FormatGeneral(999, 3), "999");
    EXPECT_EQ(FormatGeneral(1000, 3), "1E3");
    EXPECT_EQ(FormatGeneral(0.0001L, 3), "0.0001");  // E = -3: still fixed
    EXPECT_EQ(FormatGeneral(1.0L / 100000, 1), "1E-5");
    EXPECT_EQ(FormatGeneral(0.00012345L, 3), "0.000123");  // E = -3
    EXPECT_EQ(FormatGeneral(0.000012345L, 3), "1.23E-5");
    EXPECT_EQ(FormatGeneral(0, 3), "0");
    EXPECT_EQ(FormatGeneral(-2.5L, 2), "-2.5");
}

TEST(FormatGeneral, UsesTheGivenSeparator)
{
    EXPECT_EQ(FormatGeneral(45.678L, 3, ','), "45,7");
    EXPECT_EQ(FormatGeneral(0.04L, 1, ','), "0,04");
    EXPECT_EQ(FormatGeneral(1234.5L, 3, ','), "1,23E3");
    EXPECT_EQ(PercentRule(1.2L, ','), "1,2");
}

TEST(PanelRules, PercentageRule)
{
    EXPECT_EQ(PercentRule(0), "0");
    EXPECT_EQ(PercentRule(0.4L), "<1");
    EXPECT_EQ(PercentRule(1), "1");
    EXPECT_EQ(PercentRule(10), "10");        // not above 10: two digits
    EXPECT_EQ(PercentRule(10.4L), "10.4");   // above 10: three digits
    EXPECT_EQ(PercentRule(9.96L), "10");
}

TEST(PanelRules, AverageRule)
{
    EXPECT_EQ(AverageRule(0), "0");
    EXPECT_EQ(AverageRule(0.5L), "0.5");
    EXPECT_EQ(AverageRule(1.25L), "1.3");
    EXPECT_EQ(AverageRule(10.55L), "10.6");
    EXPECT_EQ(AverageRule(1.0L / 100000), "1E-5");
}

TEST(PanelTexts, AttackerWinsOutOf250)
{
    const struct {
        int32_t Wins;
        const char* Text;
    } cases[] = {{0, "0"}, {1, "<1"}, {3, "1.2"}, {25, "10"}, {26, "10.4"}, {250, "100"}};
    for (const auto& c : cases) {
        RunTotals t = Totals(250);
        t.AttWins = c.Wins;
        EXPECT_EQ(PanelTexts(t).Row[0], c.Text) << c.Wins << " of 250";
    }
}

TEST(PanelTexts, RowsInOrderWithTheirRules)
{
    RunTotals t = Totals(1000);
    t.AttWins = 457;
    t.DefWins = 300;
    t.BothDes = 200;
    t.BothRemain = 40;
    t.AttWithdraws = 3;
    t.AttIPCLoss = 500;  // 0.5 a battle: the attacker's loss reads "<1"
    t.DefIPCLoss = 500;  // the defender's reads 0.5
    t.TotalRounds = 2345;
    const TPanelTexts p = PanelTexts(t);
    const char* expected[PanelRows] = {"45.7", "30", "20", "4", "<1", "<1", "0.5", "2.3"};
    for (int r = 0; r < PanelRows; ++r) EXPECT_EQ(p.Row[r], expected[r]) << PanelRowLabels[r];
    EXPECT_STREQ(PanelRowLabels[5], "Avg Att IPC Loss");
}

TEST(PanelTexts, DividesInExtendedPrecisionFirst)
{
    RunTotals t = Totals(100);
    t.DefIPCLoss = 35;  // 0.35 at one digit reads 0.4
    t.TotalRounds = 35;
    EXPECT_EQ(PanelTexts(t).Row[6], "0.4");
    EXPECT_EQ(PanelTexts(t).Row[7], "0.4");

    RunTotals tiny = Totals(100000);
    tiny.DefIPCLoss = 1;
    EXPECT_EQ(PanelTexts(tiny).Row[6], "1E-5");
    EXPECT_EQ(PanelTexts(tiny).Row[5], "0");
    EXPECT_EQ(PanelTexts(tiny, ',').Row[6], "1E-5");
}

TEST(PanelTexts, NoBattlesReadsZeroEverywhere)
{
    const TPanelTexts p = PanelTexts(Totals(0));
    for (const std::string& row : p.Row) EXPECT_EQ(row, "0");
}

TEST(PanelTexts, SixtyFourBitLossesOfTheLargestForces)
{
    // 999 of every kind on both sides, all lost, in each of 100000 battles:
    // the sums pass 2^31 many times over.
    TBattleEnd end;
    end.Outcome = TOutcome::BothDes;
    end.Rounds = 3;
    end.AttIPCLoss = 999 * (3 + 5 + 12 + 15 + 24 + 18 + 8 + 8);
    end.DefIPCLoss = 999 * (3 + 5 + 12 + 12 + 15 + 24 + 18 + 8 + 8);
    RunTotals t;
    for (int b = 0; b < 100000; ++b) t.Add(end);
    EXPECT_EQ(t.AttIPCLoss, int64_t{92907} * 100000);
    EXPECT_EQ(t.DefIPCLoss, int64_t{104895} * 100000);
    EXPECT_EQ(t.BothDes, 100000);
    const TPanelTexts p = PanelTexts(t);
    EXPECT_EQ(p.Row[2], "100");
    EXPECT_EQ(p.Row[5], "9.29E4");
    EXPECT_EQ(p.Row[6], "1.05E5");
    EXPECT_EQ(p.Row[7], "3");
}

TEST(PanelMargins, WilsonForThePercentagesSampleVarianceForTheAverages)
{
    RunTotals t;
    TBattleEnd end;
    end.Rounds = 2;
    for (int b = 0; b < 4; ++b) {
        end.Outcome = b < 2 ? TOutcome::AttWins : TOutcome::DefWins;
        end.AttIPCLoss = b < 2 ? 0 : 10;  // mean 5, sample variance 100 / 3
        t.Add(end);
    }
    const TPanelFigures m = PanelMargins(t);
    // 2 of 4: the Wilson interval 0.15 to 0.85 (to two places).
    EXPECT_NEAR(m.Value[0], 35.0, 0.5);
    // Never seen and always seen keep a margin: 0 to about 0.49.
    EXPECT_NEAR(m.Value[2], 49.0 / 2, 0.5);
    EXPECT_EQ(WilsonInterval(0, 4).Low, 0);
    EXPECT_EQ(WilsonInterval(4, 4).High, 1);
    EXPECT_NEAR(WilsonInterval(4, 4).Low, 1 - WilsonInterval(0, 4).High, 1e-15);
    EXPECT_NEAR(m.Value[5], 1.96 * std::sqrt(100.0 / 3 / 4), 1e-9);
    EXPECT_NEAR(m.Value[7], 0, 1e-12);  // every battle 2 rounds

    RunTotals one;
    one.Add(end);
    for (long double margin : PanelMargins(one).Value) EXPECT_LT(margin, 0);  // n/a after one battle
}

TEST(FixedBesideMargin, OneDecimalFinerThanTheMarginsLeadingDigit)
{
    EXPECT_EQ(FixedBesideMargin(736.5L, 0.31L), "736.50");
    EXPECT_EQ(FixedBesideMargin(0.31L, 0.31L), "0.31");
    EXPECT_EQ(FixedBesideMargin(6.8L, 0.15L), "6.80");
    EXPECT_EQ(FixedBesideMargin(43.21L, 23), "43");
    EXPECT_EQ(FixedBesideMargin(0.4L, 0.0038L, ','), "0,4000");
    EXPECT_EQ(FixedBesideMargin(1234.5L, 1e-12L), "1234.500000");  // no more than 6 decimals
    // Without a margin: three significant digits, still fixed.
    EXPECT_EQ(FixedBesideMargin(0.000123L, -1), "0.000123");
    EXPECT_EQ(FixedBesideMargin(92907, -1), "92907");
    EXPECT_EQ(FixedBesideMargin(0, 0), "0");
    EXPECT_EQ(FixedBesideMargin(-0.0001L, 0.5L), "0.00");
}

TEST(ShareText, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(ShareText(5, 200), "2%");   // 2.5
    EXPECT_EQ(ShareText(7, 200), "4%");   // 3.5
    EXPECT_EQ(ShareText(1, 40), "2%");    // 2.5 again
    EXPECT_EQ(ShareText(249, 250), "100%");
    EXPECT_EQ(ShareText(1, 250), "<1%");
    EXPECT_EQ(ShareText(1, 100), "1%");
    EXPECT_EQ(ShareText(100000, 100000), "100%");
    EXPECT_EQ(ShareText(0, 0), "<1%");
}

TEST(RoundHalfEven, OnlyExactHalvesGoToEven)
{
    EXPECT_EQ(RoundHalfEven(0.5L), 0);
    EXPECT_EQ(RoundHalfEven(1.5L), 2);
    EXPECT_EQ(RoundHalfEven(2.5000001L), 3);
    EXPECT_EQ(RoundHalfEven(-1.5L), -2);
}

}  // namespace

// The charts' percent figure: two decimals for run and exact alike, the ends
// named, never scientific; over every share k / n of small runs it reads
// within half a hundredth, and a share off 0 or 100 never reads 0 or 100.
TEST(PercentFigure, TwoDecimalsAndTheEnds)
{
    EXPECT_EQ(PercentFigure(0), "0");
    EXPECT_EQ(PercentFigure(100), "100");
    EXPECT_EQ(PercentFigure(1e-10L), "< 0.01");
    EXPECT_EQ(PercentFigure(100 - 1e-10L), "> 99.99");
    EXPECT_EQ(PercentFigure(16.5L), "16.50");
    EXPECT_EQ(PercentFigure(1.905001L, ','), "1,91");
    for (int n = 1; n <= 2000; n += 7)
        for (int k = 0; k <= n; ++k) {
            const long double p = 100.0L * k / n;
            const std::string text = PercentFigure(p);
            ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
            if (k == 0 || k == n) continue;
            ASSERT_NE(text, "0");
            ASSERT_NE(text, "100");
            if (text[0] == '<' || text[0] == '>') continue;
            ASSERT_NEAR(std::stold(text), p, 0.005L + 1e-12L) << text;
        }
}
