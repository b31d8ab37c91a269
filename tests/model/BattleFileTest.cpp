// Battle files: what a file reads back to, and every refusal naming its member.
#include "model/BattleFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "tests/model/SetupRefusals.h"

namespace {

std::string File(const std::string& setup, const std::string& version = "1")
{
    return R"({"format": "varnholt-battle", "version": )" + version + R"(, "setup": {)" + setup + "}}";
}

TEST(BattleFile, TextReadsBackToTheSameSetup)
{
    TBattleSetupRec plain;
    TBattleSetupRec every;
    for (int i = 0; i < AttKinds; ++i) every.AttCount[i] = 1 + 100 * i;
    for (int i = 0; i < DefKinds; ++i) every.DefCount[i] = 999 - i;
    for (int i = 0; i < AttKinds; ++i) every.AttOrder[i] = AttKinds - i;
    for (int i = 0; i < DefKinds; ++i) every.DefOrder[i] = i + 1;
    every.HvyBomber = every.TwoHitBB = every.AAGun = every.TakeWith = every.SaveAir = true;
    every.AttWithSubsAirOnly = every.DefWithSubsAirOnly = every.DefWithSubs1stRnd = every.LowLuck = true;
    every.Withdrawal = true;
    every.AttWith = 3, every.DefWith = 999, every.DefWithLess = 1;
    every.AllRounds = false, every.Rounds = 999;
    every.SetAttTech(true), every.SetDefTech(true), every.SetSuperSub(true);
    for (const TBattleSetupRec& s : {plain, every}) {
        const TBattleFileRead read = ParseBattleFile(BattleFileText(s));
        ASSERT_TRUE(read.Setup) << read.Error;
        EXPECT_TRUE(*read.Setup == s);
    }
    // Left-out members take the window's start-up values; the switches set the derived values.
    const TBattleFileRead empty = ParseBattleFile(File(""));
    ASSERT_TRUE(empty.Setup);
    EXPECT_TRUE(*empty.Setup == plain);
    const TBattleFileRead tech = ParseBattleFile(File(R"("DefIndTech": true, "SuperSub": true)"));
    ASSERT_TRUE(tech.Setup);
    EXPECT_EQ(tech.Setup->DefIPC[dBB], TechDefIPC[dBB]);
    EXPECT_EQ(tech.Setup->AttIPC[aBB], DefaultAttIPC[aBB]);
    EXPECT_EQ(tech.Setup->AttValue[aSUB], SuperSubAttack);
}

TEST(BattleFile, RefusalsNameTheirMember)
{
    struct TCase {
        std::string Text;
        const char* Says;
    };
    std::vector<TCase> cases = {
        {R"({"format": "varnholt-battle", "version": 1, "setup": {}, "notes": ""})", "notes: unknown member"},
        {R"({"format": "varnholt-battle", "version": 1, "setup": []})", "setup: expected an object, got an array"},
        {File("", "2"), "version: made by a newer version of the program"},
        {File("", "0"), "version: expected a version from 1"},
        {File("", "\"1\""), "version: expected a whole number"},
        {R"({"format": "varnholt-battle", "setup": {}})", "version: missing"},
        {R"({"format": "something-else", "version": 1, "setup": {}})", "format: not a battle file"},
        {R"({"format": "varnholt-battle", "version": 1})", "setup: missing"},
        {"[1, 2]", "not a battle file"},
        {File("").substr(0, 40), "not valid JSON"},
        {"", "the file is empty"},
        {" \n", "the file is empty"},
    };
    for (const TSetupRefusal& r : SetupRefusals) cases.push_back({File(r.Members), r.Says});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const TBattleFileRead read = ParseBattleFile(c.Text);
        EXPECT_FALSE(read.Setup);
        EXPECT_NE(read.Error.find(c.Says), std::string::npos) << read.Error;
        EXPECT_EQ(read.Error.find('\n'), std::string::npos);
    }
}

TEST(BattleFile, PathsThatCannotBeReadAreRefused)
{
    const std::filesystem::path dir = ::testing::TempDir() + "battle_file_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir / "folder.vbattle");
    std::ofstream(dir / "large.vbattle") << std::string(MaxBattleFileBytes + 1, ' ');
    const struct {
        std::filesystem::path Path;
        const char* Says;
    } cases[] = {
        {dir / "folder.vbattle", "folder"},
        {dir / "missing.vbattle", "cannot be read: No such file or directory"},
        {dir / "large.vbattle", "too large"},
        {"/dev/zero", "not a regular file"},
    };
    for (const auto& c : cases) {
        const TBattleFileRead read = ReadBattleFile(c.Path.string());
        EXPECT_FALSE(read.Setup);
        EXPECT_NE(read.Error.find(c.Says), std::string::npos) << read.Error;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
