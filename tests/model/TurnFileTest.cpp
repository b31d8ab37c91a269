// Turn files: what a file reads back to, and every refusal naming its battle.
#include "model/TurnFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/model/SetupRefusals.h"

namespace {

std::string Turn(const std::string& battles, const std::string& version = "1")
{
    return R"({"format": "varnholt-turn", "version": )" + version + R"(, "battles": [)" + battles + "]}";
}

std::string Battle(const std::string& name, const std::string& setup)
{
    return R"({"name": ")" + name + R"(", "setup": {)" + setup + "}}";
}

TEST(TurnFile, TextReadsBackToTheSameTurn)
{
    std::vector<TTurnBattle> turn(3);
    turn[0].Name = "Nord \"Ost\" \xc3\xa9tape";  // quotes and a two-byte character
    turn[0].Setup.AttCount[aINF] = 3;
    turn[1].Setup.SetSuperSub(true);
    turn[1].Setup.DefWithSubs1stRnd = true;
    turn[2].Name = std::string(MaxTurnNameLength, 'x');
    for (const std::vector<TTurnBattle>& t : {std::vector<TTurnBattle>{}, turn}) {
        const TTurnFileRead read = ParseTurnFile(TurnFileText(t));
        ASSERT_TRUE(read.Battles) << read.Error;
        EXPECT_TRUE(*read.Battles == t);
    }
    std::string umlauts;
    for (int i = 0; i < 30; ++i) umlauts += "\xc3\xa4";  // a two-byte character
    EXPECT_EQ(ClippedName(std::string(20, 'a') + umlauts), std::string(20, 'a') + umlauts.substr(0, 40));
}

TEST(TurnFile, RefusalsNameTheBattle)
{
    struct TCase {
        std::string Text;
        std::string Says;
    };
    const std::string ok = Battle("A", "");
    std::vector<TCase> cases = {
        {Turn(ok, "2"), "version: made by a newer version of the program"},
        {R"({"format": "varnholt-battle", "version": 1, "battles": []})", "format: not a turn file"},
        {R"({"format": "varnholt-turn", "version": 1})", "battles: missing"},
        {R"({"format": "varnholt-turn", "version": 1, "battles": {}})", "battles: expected an array"},
        {Turn(ok) + " ", ""},  // read: checked below
        {Turn(ok + ", 5"), "battles[1]: expected an object, got a whole number"},
        {Turn(ok + R"(, {"name": "B"})"), "battles[1].setup: missing"},
        {Turn(R"({"setup": {}, "size": 1})"), "battles[0].size: unknown member"},
        {Turn(Battle(std::string(MaxTurnNameLength + 1, 'n'), "")), "battles[0].name: longer than 40 characters"},
        {Turn(R"({"name": 7, "setup": {}})"), "battles[0].name: expected a string"},
        {Turn(R"({"name": "A", "setup": []})"), "battles[0].setup: expected an object, got an array"},
        {Turn(ok + R"(, {"name": "B", "name": "C", "setup": {}})"), "battles[1].name: given twice"},
        {Turn(ok + ", " + Battle("B", R"("AAGun": true, "AAGun": false)")), "battles[1].setup.AAGun: given twice"},
    };
    std::string many;
    for (size_t i = 0; i <= MaxTurnBattles; ++i) many += (i ? ", " : "") + ok;
    cases.push_back({Turn(many), "battles: a turn holds at most 32 battles, got 33"});
    // Every refusal of a battle file's setup, in the third battle of a turn.
    for (const TSetupRefusal& r : SetupRefusals)
        cases.push_back({Turn(ok + ", " + ok + ", " + Battle("C", r.Members)), std::string("battles[2].") + r.Says});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const TTurnFileRead read = ParseTurnFile(c.Text);
        if (c.Says.empty()) {
            EXPECT_TRUE(read.Battles);
            continue;
        }
        EXPECT_FALSE(read.Battles);
        EXPECT_NE(read.Error.find(c.Says), std::string::npos) << read.Error;
        EXPECT_EQ(read.Error.find('\n'), std::string::npos);
    }
}

}  // namespace
