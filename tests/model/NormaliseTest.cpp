// The rules of what a battle may hold, and messages that stay valid UTF-8
// whatever a file holds.
#include "model/Normalise.h"

#include <gtest/gtest.h>

#include <string>

#include "model/BattleFile.h"

namespace {

TEST(Normalise, ClearsWhatTheBattleCannotUseAndLimitsThresholds)
{
    TBattleSetupRec s;
    s.AttCount[aFTR] = 2;
    s.DefCount[dINF] = 1;
    s.SaveAir = s.DefWithSubs1stRnd = s.DefWithSubsAirOnly = s.AttWithSubsAirOnly = true;
    s.Withdrawal = true;
    s.AttWith = 50, s.DefWith = 1, s.DefWithLess = 7;
    const TNormalisedBattle n = NormaliseBattle(s);
    ASSERT_EQ(n.Adjustments.size(), 5u);
    const char* members[] = {"SaveAir", "DefWithSubs1stRnd", "DefWithSubsAirOnly", "AttWith", "DefWithLess"};
    for (size_t i = 0; i < 5; ++i) EXPECT_STREQ(n.Adjustments[i].Member, members[i]);
    EXPECT_EQ(AdjustmentText(n.Adjustments[0]).rfind("SaveAir from true to false: ", 0), 0u);
    EXPECT_EQ(AdjustmentText(n.Adjustments[3]), "AttWith from 50 to 2: limited to the attacker's 2 units");
    EXPECT_FALSE(n.Setup.SaveAir || n.Setup.DefWithSubs1stRnd || n.Setup.DefWithSubsAirOnly);
    EXPECT_TRUE(n.Setup.AttWithSubsAirOnly);  // governed by no rule
    EXPECT_EQ(n.Setup.AttWith, 2);
    EXPECT_EQ(n.Setup.DefWith, 1);
    EXPECT_EQ(n.Setup.DefWithLess, 1);
    // A normalised battle stands as it is.
    EXPECT_TRUE(NormaliseBattle(n.Setup).Adjustments.empty());

    // With the units the options need, and withdrawal off, nothing changes.
    TBattleSetupRec fits = s;
    fits.AttCount[aINF] = 1;
    fits.DefCount[dSUB] = 1;
    fits.Withdrawal = false;
    EXPECT_TRUE(NormaliseBattle(fits).Adjustments.empty());
    EXPECT_TRUE(NormaliseBattle(fits).Setup == fits);
    // Ground units without aircraft leave nothing to save.
    fits.AttCount[aFTR] = 0;
    EXPECT_FALSE(NormaliseBattle(fits).Setup.SaveAir);
}

TEST(BattleFileMessages, StayValidUtf8AndNameMembersGivenTwice)
{
    EXPECT_EQ(OneLine("a\xff" "b\xe2\x82" "c\n\xc3\xa9\xf0\x9f\x8e\xb2"), "a\\xFFb\\xE2\\x82c?\xc3\xa9\xf0\x9f\x8e\xb2");
    EXPECT_EQ(OneLine("\xed\xa0\x80\xc0\xaf"), "\\xED\\xA0\\x80\\xC0\\xAF");  // a surrogate, an overlong form

    // A long name of two-byte characters is shortened between characters.
    std::string name = "x";
    for (int i = 0; i < 30; ++i) name += "\xc3\xa9";
    const TBattleFileRead longName = ParseBattleFile(R"({"format": "varnholt-battle", "version": 1, "setup": {")" +
                                                     name + R"(": 1}})");
    EXPECT_EQ(longName.Error, "setup." + name.substr(0, 39) + "...: unknown member");

    const struct {
        const char* Text;
        const char* Says;
    } twice[] = {
        {R"({"format": "varnholt-battle", "version": 1, "version": 1, "setup": {}})", "version: given twice"},
        {R"({"format": "varnholt-battle", "version": 1, "setup": {"AAGun": true, "AAGun": false}})",
         "setup.AAGun: given twice"},
    };
    for (const auto& c : twice) EXPECT_EQ(ParseBattleFile(c.Text).Error, c.Says);
}

}  // namespace
