#include "format/Chance.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ChanceText, PlainWordsAtBothEndsNeverScientific)
{
    EXPECT_EQ(ChanceText(0), "0 %");
    EXPECT_EQ(ChanceText(-2.22e-16), "0 %");
    EXPECT_EQ(ChanceText(1), "100 %");
    EXPECT_EQ(ChanceText(2.04e-10), "< 0.01 %");
    EXPECT_EQ(ChanceText(0.0000999), "< 0.01 %");
    EXPECT_EQ(ChanceText(0.0001), "0.01 %");
    EXPECT_EQ(ChanceText(0.9999999), "> 99.99 %");
    EXPECT_EQ(ChanceText(0.99962), "99.96 %");  // never rounded up to a certainty
    EXPECT_EQ(ChanceText(0.8), "80 %");
    EXPECT_EQ(ChanceText(0.0000292 * 10), "0.0292 %");
    EXPECT_EQ(ChanceText(0.21705, ','), "21,7 %");
    // Every chance from 1e-300 up: digits, a point, "<", ">", never an exponent.
    for (double p = 1e-300; p < 1; p = p * 3 + 1e-320) {
        const std::string text = ChanceText(p);
        EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
        EXPECT_LE(text.size(), 9u) << text;
    }
}

TEST(ChanceText, IpcFiguresInFixedNotation)
{
    EXPECT_EQ(IpcText(-34.81), "-34.8");
    EXPECT_EQ(IpcText(5.823), "5.82");
    EXPECT_EQ(IpcText(1896.4), "1896");
    EXPECT_EQ(IpcText(1.5e-10), "0");
    EXPECT_EQ(IpcText(-1.5e-10), "0");
    EXPECT_EQ(IpcText(2.5e9), "2500000000");
}

}  // namespace
