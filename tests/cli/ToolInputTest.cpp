// The odds tool's input: adjusted battles, a battle file and batch lines that
// are malformed, not UTF-8, duplicated or oversized, failed exact odds in a
// batch, and --save-setup alone.
#include "cli/OddsTool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/BattleFile.h"

#include "tests/cli/ToolTestSupport.h"

namespace {

std::string Temp(const std::string& name)
{
    return ::testing::TempDir() + "varnholt_input_" + std::to_string(getpid()) + "_" + name;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The JSON writer refuses text that is not UTF-8.
bool ValidUtf8(const std::string& text)
{
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

const std::string Head = R"({"format": "varnholt-battle", "version": 1, "setup": )";
const std::string Fight = Head + R"({"AttCount": [2, 0, 0, 0, 0, 0, 0, 0], "DefCount": [1, 0, 0, 0, 0, 0, 0, 0, 0]}})";

// Each is refused with one message: malformed, not UTF-8 (in a name and in a
// string), a member given twice, oversized, nested deep.
const std::vector<std::string> Hostile = {
    std::string(100000, '[') + std::string(100000, ']'),
    Head + "{\"AttCount\": [1, 2",
    Head + "{\"Att\xff\xfe" "Count\": 1}}",
    Head + "{\"Colour\": \"r\xc3\"}}",
    R"({"format": "varnholt-battle", "version": 1, "setup": {"Rounds": 2, "Rounds": 3}})",
    Head + "{\"Rounds\": 2}, \"x\": \"" + std::string(MaxBattleFileBytes, 'y') + "\"}",
};

TEST(ToolInput, AdjustedBattleGivesTheWindowsAnswer)
{
    const std::vector<std::string> args = {"--att", "FTR=2", "--def", "INF=1", "--exact", "--json"};
    std::vector<std::string> saveAir = args;
    saveAir.push_back("--save-air");
    const TToolResult plain = Tool(args), adjusted = Tool(saveAir);
    ASSERT_EQ(adjusted.Code, OddsToolOk) << adjusted.Err;
    const auto a = nlohmann::ordered_json::parse(adjusted.Out), p = nlohmann::ordered_json::parse(plain.Out);
    EXPECT_EQ(a["exact"], p["exact"]);
    EXPECT_NEAR(a["exact"]["AttWins"].get<double>(), 0.95, 1e-12);
    ASSERT_EQ(a["Adjusted"].size(), 1u);
    EXPECT_EQ(a["Adjusted"][0]["Member"], "SaveAir");
    EXPECT_EQ(a["Adjusted"][0]["From"], true);
    EXPECT_EQ(a["Adjusted"][0]["To"], false);
    EXPECT_TRUE(p["Adjusted"].empty());
    EXPECT_EQ(Lines(adjusted.Err).size(), 1u);
    EXPECT_NE(adjusted.Err.find("adjusted SaveAir from true to false"), std::string::npos);
    // A threshold, in a run's JSON too.
    const TToolResult run = Tool({"--att", "INF=3", "--def", "INF=2", "--withdraw", "50,0,0", "--battles", "10", "--seed",
                              "1", "--json"});
    EXPECT_EQ(nlohmann::json::parse(run.Out)["Adjusted"][0]["To"], 3);
}

TEST(ToolInput, HostileSetupAndBatchGiveOneMessageEach)
{
    const std::string file = Temp("hostile.vbattle");
    for (size_t i = 0; i < Hostile.size(); ++i) {
        SCOPED_TRACE(i);
        std::ofstream(file, std::ios::binary) << Hostile[i];
        const TToolResult r = Tool({"--setup", file, "--exact"});
        EXPECT_EQ(r.Code, OddsToolBadArgument);
        EXPECT_TRUE(r.Out.empty());
        EXPECT_EQ(Lines(r.Err).size(), 1u) << r.Err;
        EXPECT_TRUE(ValidUtf8(r.Err)) << r.Err;
    }
    EXPECT_NE(Tool({"--setup", file}).Err.find("too large"), std::string::npos);

    // In a batch each bad line is its own error line, and the good ones go on.
    const std::string batch = Temp("hostile.jsonl");
    {
        std::ofstream in(batch, std::ios::binary);
        for (const std::string& line : Hostile) in << line << '\n' << Fight << '\n';
        in << Head << "{}}\xff\n" << std::string(MaxBattleFileBytes + 10, ' ') << "x";  // no final line break
    }
    const TToolResult r = Tool({"--batch", batch, "--battles", "10"});
    EXPECT_EQ(r.Code, OddsToolBadArgument);
    const std::vector<std::string> out = Lines(r.Out);
    ASSERT_EQ(out.size(), 2 * Hostile.size() + 2);
    for (size_t i = 0; i < out.size(); ++i) {
        SCOPED_TRACE(i);
        const nlohmann::json line = nlohmann::json::parse(out[i]);  // throws on bytes that are not UTF-8
        EXPECT_EQ(line["line"], i + 1);
        EXPECT_EQ(line.contains("error"), i % 2 == 0 || i + 1 == out.size()) << out[i];
    }
    EXPECT_NE(out[8].find("given twice"), std::string::npos);
    EXPECT_NE(out.back().find("too large"), std::string::npos);
    std::remove(file.c_str());
    std::remove(batch.c_str());
}

TEST(ToolInput, FailedExactOddsInABatchAreErrorLines)
{
    const std::string batch = Temp("fault.jsonl");
    std::ofstream(batch) << Fight << "\n{}\n";
    ASSERT_EQ(setenv("VARNHOLT_EXACT_INJECT_FAULT", "1", 1), 0);
    const TToolResult r = Tool({"--batch", batch, "--battles", "10"});
    unsetenv("VARNHOLT_EXACT_INJECT_FAULT");
    EXPECT_EQ(r.Code, OddsToolFailed);
    const std::vector<std::string> out = Lines(r.Out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(nlohmann::json::parse(out[0])["error"].get<std::string>().rfind("exact odds failed a self-check: ", 0), 0u)
        << out[0];
    EXPECT_FALSE(nlohmann::json::parse(out[0]).contains("method"));
    std::remove(batch.c_str());
}

TEST(ToolInput, SaveSetupAloneOnlyWritesTheFile)
{
    const std::string file = Temp("saved.vbattle");
    const TToolResult saved = Tool({"--att", "INF=2", "--def", "INF=1", "--save-air", "--save-setup", file});
    EXPECT_EQ(saved.Code, OddsToolOk);
    EXPECT_TRUE(saved.Out.empty());
    const TBattleFileRead read = ReadBattleFile(file);
    ASSERT_TRUE(read.Setup) << read.Error;
    EXPECT_EQ(read.Setup->AttCount[aINF], 2);
    EXPECT_FALSE(read.Setup->SaveAir);  // saved as the window would hold it
    EXPECT_FALSE(Tool({"--att", "INF=2", "--save-setup", file, "--exact"}).Out.empty());
    std::remove(file.c_str());
}

}  // namespace
