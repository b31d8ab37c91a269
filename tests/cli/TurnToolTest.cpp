// varnholt-odds --turn: the report and JSON of a turn file, and its refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/ExitCodes.h"
#include "cli/OddsTool.h"
#include "engine/advice/TurnOdds.h"
#include "format/TurnTexts.h"
#include "model/TurnFile.h"

#include "tests/cli/ToolTestSupport.h"

namespace {

std::string Written(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + name + "_" + std::to_string(::getpid()) + ".vturn";
    std::ofstream(path) << text;
    return path;
}

bool OneLineOnly(const TToolResult& r) { return r.Out.empty() && r.Err.find('\n') == r.Err.size() - 1; }

TEST(TurnTool, ReportAndJsonOfATurnFile)
{
    std::vector<TTurnBattle> turn(2);
    turn[0].Name = "Land";
    turn[0].Setup.AttCount[aINF] = 3, turn[0].Setup.AttCount[aFTR] = 1, turn[0].Setup.DefCount[dINF] = 2;
    turn[1].Name = "Air";
    turn[1].Setup.AttCount[aFTR] = 2, turn[1].Setup.DefCount[dFTR] = 1;
    const std::string path = Written("turn", TurnFileText(turn));
    const TTurnOdds odds = ComputeTurnOdds({turn[0].Setup, turn[1].Setup});

    const TToolResult json = Tool({"--turn", path, "--json"});
    ASSERT_EQ(json.Code, OddsToolOk) << json.Err;
    const nlohmann::json t = nlohmann::json::parse(json.Out).at("turn");
    EXPECT_EQ(t.at("battles")[0].at("name"), "Land");
    EXPECT_EQ(t.at("battles")[0].at("goal"), "Take the territory");
    EXPECT_EQ(t.at("battles")[1].at("goal"), "Win the battle");
    EXPECT_EQ(t.at("battles")[1].at("method"), "exact");
    EXPECT_EQ(t.at("battles")[1].at("probability").get<double>(), odds.Battles[1].Probability);
    EXPECT_EQ(t.at("all").get<double>(), odds.All);
    EXPECT_EQ(t.at("exactly").get<std::vector<double>>(), odds.Exactly);
    EXPECT_EQ(t.at("at_least").get<std::vector<double>>(), odds.AtLeast);
    EXPECT_EQ(t.at("def_ipc_loss").get<double>(), odds.DefIPCLoss);
    const nlohmann::json& swing = t.at("swing");
    EXPECT_EQ(swing.at("q05").get<int>(), odds.Q05);
    EXPECT_EQ(swing.at("sd").get<double>(), odds.SwingSd);
    ASSERT_EQ(swing.at("distribution").size(), odds.Swing.size());
    EXPECT_EQ(swing.at("distribution")[0][0].get<int>(), odds.Swing[0].Swing);
    EXPECT_EQ(swing.at("distribution")[0][1].get<double>(), odds.Swing[0].Probability);
    EXPECT_TRUE(swing.contains("pruned"));

    const TToolResult text = Tool({"--turn", path});
    ASSERT_EQ(text.Code, OddsToolOk);
    EXPECT_NE(text.Out.find("All goals met: " + TurnPercent(odds.All)), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("3 INF 1 FTR vs 2 INF"), std::string::npos);
    EXPECT_NE(text.Out.find(SwingRangeWords(odds)), std::string::npos);

    // A battle that fails its own checks fails the turn.
    ASSERT_EQ(setenv("VARNHOLT_EXACT_INJECT_FAULT", "1", 1), 0);
    const TToolResult failed = Tool({"--turn", path});
    unsetenv("VARNHOLT_EXACT_INJECT_FAULT");
    EXPECT_EQ(failed.Code, OddsToolFailed);
    EXPECT_TRUE(OneLineOnly(failed)) << failed.Err;
}

TEST(TurnTool, BadTurnFilesAreRefusedOnOneLine)
{
    const std::string bad = Written(
        "bad", R"({"format": "varnholt-turn", "version": 1, "battles": [{"setup": {}}, {"setup": {"AttOrder": [1]}}]})");
    const TToolResult refused = Tool({"--turn", bad, "--json"});
    EXPECT_EQ(refused.Code, OddsToolBadArgument);
    EXPECT_TRUE(OneLineOnly(refused)) << refused.Err;
    EXPECT_NE(refused.Err.find("battles[1].setup.AttOrder: "), std::string::npos) << refused.Err;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--turn", bad + ".missing"}, {"--turn", bad, "--att", "INF=1"}, {"--turn", bad, "--exact"},
             {"--turn", bad, "--csv"}, {"--turn", ""}}) {
        const TToolResult r = Tool(args);
        EXPECT_EQ(r.Code, OddsToolBadArgument) << args[1];
        EXPECT_TRUE(OneLineOnly(r)) << r.Err;
    }
}

}  // namespace
