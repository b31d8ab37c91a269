#include "cli/OddsTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/battle/Driver.h"
#include "engine/exact/Exact.h"
#include "format/Panel.h"
#include "engine/advice/Planner.h"

#include "tests/cli/ToolTestSupport.h"

namespace {

int Lines(const std::string& text)
{
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

TEST(OddsTool, MalformedArgumentsAreRefusedOnOneLine)
{
    const struct {
        std::vector<std::string> Args;
        const char* Named;
    } cases[] = {
        {{"--att", "XYZ=3"}, "--att"},
        {{"--att", "JFTR=1"}, "--att"},                // the attacker has no jet fighters
        {{"--def", "INF=1000"}, "--def"},
        {{"--att", "INF=3x"}, "--att"},
        {{"--att", "INF=-1"}, "--att"},
        {{"--att", "INF"}, "--att"},
        {{"--att", "INF=3 inf=2"}, "--att"},
        {{"--att-order", "INF ARM"}, "--att-order"},
        {{"--def-order", "INF INF ARM TRN SUB BMR FTR JFTR AC"}, "--def-order"},
        {{"--att-order", "INF ARM TRN SUB AC FTR BMR BB BB"}, "--att-order"},
        {{"--bogus"}, "--bogus"},
        {{"stray"}, "stray"},
        {{"--battles"}, "--battles"},
        {{"--battles", "--json"}, "--battles"},
        {{"--battles", "100001"}, "--battles"},
        {{"--battles", ""}, "--battles"},
        {{"--battles=12 "}, "--battles"},
        {{"--seed", "4294967296"}, "--seed"},
        {{"--seed", "0x10"}, "--seed"},
        {{"--rounds", "0"}, "--rounds"},
        {{"--withdraw", "1,2"}, "--withdraw"},
        {{"--withdraw", "1,2,3,4"}, "--withdraw"},
        {{"--withdraw", "1,,3"}, "--withdraw"},
        {{"--json=yes"}, "--json"},
        {{"--bo\ngus"}, "--bo?gus"},  // a line break in the argument stays off the line
    };
    for (const auto& c : cases) {
        const TToolResult r = Tool(c.Args);
        SCOPED_TRACE(c.Args[0] + (c.Args.size() > 1 ? " " + c.Args[1] : ""));
        EXPECT_EQ(r.Code, OddsToolBadArgument);
        EXPECT_TRUE(r.Out.empty());
        EXPECT_EQ(Lines(r.Err), 1);
        EXPECT_EQ(r.Err.back(), '\n');
        EXPECT_NE(r.Err.find(c.Named), std::string::npos) << r.Err;
    }
}

TEST(OddsTool, HelpGoesToStandardOutput)
{
    const TToolResult r = Tool({"--att", "INF=1", "--help"});
    EXPECT_EQ(r.Code, OddsToolOk);
    EXPECT_NE(r.Out.find("Usage: varnholt-odds"), std::string::npos);
    EXPECT_TRUE(r.Err.empty());
}

// Like --help, --version answers whatever else the command line holds.
TEST(OddsTool, VersionIsTheProjectVersion)
{
    const TToolResult r = Tool({"--att", "XYZ=3", "--version"});
    EXPECT_EQ(r.Code, OddsToolOk);
    EXPECT_EQ(r.Out, "varnholt-odds " VARNHOLT_VERSION "\n");
    EXPECT_TRUE(r.Err.empty());
    EXPECT_NE(Tool({"--help"}).Out.find("--version"), std::string::npos);
}

TEST(OddsTool, JsonIsReproducibleFromTheSeed)
{
    const std::vector<std::string> args = {"--att", "INF=3 ARM=1 FTR=2", "--def", "INF=4 JFTR=1",
                                           "--battles", "3000", "--seed", "77", "--json"};
    const TToolResult a = Tool(args), b = Tool(args);
    ASSERT_EQ(a.Code, OddsToolOk);
    EXPECT_TRUE(a.Err.empty());
    EXPECT_EQ(a.Out, b.Out);
    const nlohmann::json j = nlohmann::json::parse(a.Out);
    EXPECT_EQ(j["totals"]["Battles"], 3000);

    // Both spellings of an option mean the same.
    const TToolResult c = Tool({"--att=INF=3 ARM=1 FTR=2", "--def=inf=4 jftr=1", "--battles=3000", "--seed=77",
                                "--json"});
    EXPECT_EQ(a.Out, c.Out);

    // The instances of the outcomes add up to the battles.
    long long sum = 0;
    for (const auto& o : j["outcomes"]) sum += o["Instances"].get<long long>();
    EXPECT_EQ(sum, 3000);
}

// The tool must hand the engine exactly the setup its arguments describe:
// its totals equal those of a run of that setup made here directly.
TEST(OddsTool, ArgumentsBecomeTheSetup)
{
    TBattleSetupRec s;
    s.AttCount[aINF] = 6;
    s.AttCount[aARM] = 2;
    s.AttCount[aFTR] = 3;
    s.AttCount[aBMR] = 2;
    s.AttCount[aBB] = 1;
    s.DefCount[dINF] = 7;
    s.DefCount[dFTR] = 2;
    s.DefCount[dJFTR] = 1;
    s.DefCount[dBMR] = 1;
    s.HvyBomber = s.AAGun = s.TakeWith = s.SaveAir = true;
    s.SetAttTech(true);
    s.SetDefTech(true);
    s.Withdrawal = true;
    s.AttWith = 2;
    s.DefWith = 5;
    s.DefWithLess = 1;
    s.AllRounds = false;
    s.Rounds = 4;
    // "BB BMR FTR AC SUB TRN ARM INF" and "JFTR FTR INF ARM TRN SUB BMR AC BB".
    const int32_t attOrder[AttKinds] = {8, 7, 3, 2, 1, 4, 6, 5};
    const int32_t defOrder[DefKinds] = {3, 4, 2, 1, 7, 9, 8, 5, 6};
    std::copy(attOrder, attOrder + AttKinds, s.AttOrder);
    std::copy(defOrder, defOrder + DefKinds, s.DefOrder);

    struct THost : TRunHost {
        TBattleSetupRec Setup;
        RunTotals Last;
        int RunSize() override { return 4000; }
        uint32_t RunSeed() override { return 31337; }
        void ReadSetup(TBattleSetupRec& setup) override { setup = Setup; }
        void Publish(const RunTotals& t, const TBattleResultsRec*, int, bool) override { Last = t; }
    } host;
    host.Setup = s;
    TRunControl control;
    RunBattles(control, host);
    const RunTotals& t = host.Last;
    const TToolResult r = Tool({"--att", "INF=6 ARM=2 FTR=3 BMR=2 BB=1", "--def", "INF=7 FTR=2 JFTR=1 BMR=1",
                                "--heavy-bombers", "--aa-gun", "--take-with-ground", "--save-air", "--att-tech",
                                "--def-tech", "--withdraw", "2,5,1", "--rounds", "4", "--att-order",
                                "BB BMR FTR AC SUB TRN ARM INF", "--def-order", "jftr ftr inf arm trn sub bmr ac bb",
                                "--battles", "4000", "--seed", "31337", "--json"});
    ASSERT_EQ(r.Code, OddsToolOk) << r.Err;
    const nlohmann::json j = nlohmann::json::parse(r.Out);
    const nlohmann::json totals = {{"AttWins", t.AttWins},       {"DefWins", t.DefWins},
                                   {"BothDes", t.BothDes},       {"BothRemain", t.BothRemain},
                                   {"AttWithdraws", t.AttWithdraws}, {"TotalRounds", t.TotalRounds},
                                   {"AttIPCLoss", t.AttIPCLoss}, {"DefIPCLoss", t.DefIPCLoss},
                                   {"Battles", 4000}};
    EXPECT_EQ(j["totals"], totals);
    const TPanelTexts panel = PanelTexts(t);
    for (int row = 0; row < PanelRows; ++row) EXPECT_EQ(j["panel"][PanelRowLabels[row]], panel.Row[row]);
}

TEST(OddsTool, AnEmptySetupReportsZeroBattles)
{
    const TToolResult r = Tool({"--battles", "500", "--seed", "1", "--json"});
    ASSERT_EQ(r.Code, OddsToolOk);
    const nlohmann::json j = nlohmann::json::parse(r.Out);
    EXPECT_EQ(j["totals"]["Battles"], 0);
    EXPECT_EQ(j["panel"]["ATT wins %"], "0");
    EXPECT_EQ(j["panel"]["Average Rounds"], "0");
    EXPECT_TRUE(j["outcomes"].empty());

    const TToolResult text = Tool({"--att", "INF=0", "--seed", "1"});
    EXPECT_EQ(text.Code, OddsToolOk);
    EXPECT_NE(text.Out.find("Battles: 0"), std::string::npos);
}

TEST(OddsTool, ReportListsOutcomesByFrequency)
{
    const TToolResult r = Tool({"--att", "INF=3 FTR=1", "--def", "INF=3", "--battles", "2000", "--seed", "5"});
    ASSERT_EQ(r.Code, OddsToolOk);
    EXPECT_NE(r.Out.find("ATT wins %"), std::string::npos);
    std::istringstream lines(r.Out.substr(r.Out.find("Victor")));
    std::string line;
    std::getline(lines, line);  // header
    long long previous = 1LL << 40, sum = 0;
    int rows = 0;
    while (std::getline(lines, line) && !line.empty()) {
        const long long instances = std::atoll(line.c_str() + line.find_last_of(' ') + 1);
        EXPECT_LE(instances, previous) << line;
        EXPECT_NE(line.find('%'), std::string::npos);
        previous = instances;
        sum += instances;
        ++rows;
    }
    EXPECT_GT(rows, 3);
    EXPECT_EQ(sum, 2000);
}

TEST(OddsTool, ExactOddsAsJsonAndReport)
{
    const std::vector<std::string> args = {"--att", "INF=3", "--def", "INF=2", "--exact", "--json"};
    const TToolResult a = Tool(args), b = Tool(args);
    ASSERT_EQ(a.Code, OddsToolOk) << a.Err;
    EXPECT_EQ(a.Out, b.Out);

    TBattleSetupRec setup;
    setup.AttCount[aINF] = 3;
    setup.DefCount[dINF] = 2;
    const TExactOdds odds = ComputeExactOdds(setup);
    const nlohmann::json j = nlohmann::json::parse(a.Out);
    // Every number reads back to the very double computed.
    EXPECT_EQ(j["exact"]["AttWins"].get<double>(), odds.AttWins);
    EXPECT_EQ(j["exact"]["AvgRounds"].get<double>(), odds.AvgRounds);
    EXPECT_EQ(j["exact"]["Pruned"].get<double>(), odds.Pruned);
    EXPECT_EQ(j["exact"]["Taken"].get<double>(), odds.Taken);
    EXPECT_EQ(j["exact"]["AttLeft"].get<std::vector<double>>(), std::vector<double>(odds.AttLeft, odds.AttLeft + AttKinds));
    EXPECT_EQ(j["exact"]["DefLeft"].get<std::vector<double>>(), std::vector<double>(odds.DefLeft, odds.DefLeft + DefKinds));
    const TPanelTexts panel = PanelTexts(ExactPanelFigures(odds));
    for (int row = 0; row < PanelRows; ++row) EXPECT_EQ(j["panel"][PanelRowLabels[row]], panel.Row[row]);
    ASSERT_EQ(j["outcomes"].size(), odds.Outcomes.size());
    double total = 0, previous = 1;
    for (const auto& o : j["outcomes"]) {
        const double p = o["Probability"].get<double>();
        EXPECT_LE(p, previous);
        previous = p;
        total += p;
        EXPECT_EQ(o["AttCount"].size(), size_t{AttKinds});
        EXPECT_EQ(o["DefCount"].size(), size_t{DefKinds});
    }
    EXPECT_NEAR(total, 1, 1e-12);

    const TToolResult report = Tool({"--att", "INF=3", "--def", "INF=2", "--exact"});
    ASSERT_EQ(report.Code, OddsToolOk);
    EXPECT_NE(report.Out.find("ATT wins %            51.7"), std::string::npos) << report.Out;
    EXPECT_NE(report.Out.find("Probability"), std::string::npos);
}

TEST(OddsTool, ExactOddsRefusals)
{
    for (const char* clash : {"--battles=100", "--seed=3"}) {
        const TToolResult r = Tool({"--att", "INF=3", "--exact", clash});
        EXPECT_EQ(r.Code, OddsToolBadArgument);
        EXPECT_TRUE(r.Out.empty());
        EXPECT_EQ(Lines(r.Err), 1);
        EXPECT_NE(r.Err.find("--exact"), std::string::npos);
    }
    const std::string all999 = "INF=999 ARM=999 FTR=999 BMR=999 BB=999 AC=999 TRN=999 SUB=999";
    const TToolResult huge = Tool({"--att", all999, "--def", all999 + " JFTR=999", "--exact"});
    EXPECT_EQ(huge.Code, OddsToolTooLarge);
    EXPECT_TRUE(huge.Out.empty());
    EXPECT_EQ(Lines(huge.Err), 1);
}

TEST(OddsTool, ExactOddsOnAnyNumberOfThreadsAndFailingTheirChecks)
{
    const std::vector<std::string> s1 = {"--att", "FTR=4 BB=2 AC=2 TRN=1 SUB=3", "--def", "FTR=4 BB=1 AC=2 TRN=2 SUB=4",
                                         "--two-hit-bb", "--exact", "--json"};
    std::vector<std::string> one = s1, two = s1;
    one.push_back("--threads=1");
    two.push_back("--threads=2");
    const TToolResult a = Tool(one), b = Tool(two);
    ASSERT_EQ(a.Code, OddsToolOk) << a.Err;
    EXPECT_EQ(a.Out, b.Out);
    EXPECT_EQ(Tool({"--att", "INF=3", "--exact", "--threads=0"}).Code, OddsToolBadArgument);

    // A calculation that catches itself in a fault prints no odds.
    ASSERT_EQ(setenv("VARNHOLT_EXACT_INJECT_FAULT", "1", 1), 0);
    const TToolResult failed = Tool({"--att", "INF=3", "--def", "INF=2", "--exact"});
    unsetenv("VARNHOLT_EXACT_INJECT_FAULT");
    EXPECT_EQ(failed.Code, OddsToolFailed);
    EXPECT_TRUE(failed.Out.empty());
    EXPECT_EQ(Lines(failed.Err), 1);
}

TEST(OddsTool, PlanExitStatusAndJson)
{
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--plan", "--exact"}, {"--plan", "--battles=10"}, {"--plan", "--seed=1"},
          {"--plan", "--target=0.5"}, {"--plan", "--target=99.95"}, {"--plan", "--target=nan"},
          {"--target=50"}, {"--plan", "--threads=0"}, {"--plan", "--plan-seconds=0"},
          {"--plan", "--plan-seconds=1e9"}, {"--plan", "--plan-seconds", "soon"}, {"--plan-seconds=5"}}) {
        const TToolResult r = Tool(bad);
        EXPECT_EQ(r.Code, OddsToolBadArgument) << bad.back();
        EXPECT_TRUE(r.Out.empty());
        EXPECT_EQ(Lines(r.Err), 1);
        if (bad.back().find("seconds") != std::string::npos || bad.back() == "soon") {
            EXPECT_NE(r.Err.find("--plan-seconds"), std::string::npos) << r.Err;
        }
    }
    // A failed calculation anywhere in the plan: exit 4 with one line, no plan.
    ASSERT_EQ(setenv("VARNHOLT_EXACT_INJECT_FAULT", "1", 1), 0);
    const TToolResult failed = Tool({"--att", "INF=2", "--def", "INF=2", "--plan"});
    unsetenv("VARNHOLT_EXACT_INJECT_FAULT");
    EXPECT_EQ(failed.Code, OddsToolFailed);
    EXPECT_TRUE(failed.Out.empty());
    EXPECT_EQ(Lines(failed.Err), 1);

    // Tiny and near-certain chances in plain words, never scientific notation.
    const TToolResult plain = Tool({"--att", "FTR=1", "--def", "FTR=2 AC=2", "--att-subs-retreat-vs-air", "--plan",
                                    "--target", "21"});
    ASSERT_EQ(plain.Code, OddsToolOk) << plain.Err;
    EXPECT_NE(plain.Out.find("now < 0.01 %"), std::string::npos) << plain.Out;
    EXPECT_NE(plain.Out.find("SUB   reached with +5"), std::string::npos) << plain.Out;
    EXPECT_NE(plain.Out.find("Target already met"), std::string::npos) << plain.Out;
    for (size_t i = 1; i < plain.Out.size(); ++i)
        EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(plain.Out[i - 1])) && (plain.Out[i] == 'E' || plain.Out[i] == 'e'))
            << plain.Out;
    const std::string all999 = "INF=999 ARM=999 FTR=999 BMR=999 BB=999 AC=999 TRN=999 SUB=999";
    const TToolResult huge = Tool({"--att", all999, "--def", all999, "--plan"});
    EXPECT_EQ(huge.Code, OddsToolTooLarge);
    EXPECT_TRUE(huge.Out.empty());
    EXPECT_EQ(Lines(huge.Err), 1);

    // The JSON holds the engine's plan.
    const TToolResult run = Tool({"--att", "INF=1", "--def", "INF=1", "--plan", "--target", "99.9", "--json", "--threads=1"});
    ASSERT_EQ(run.Code, OddsToolOk) << run.Err;
    const auto j = nlohmann::json::parse(run.Out)["plan"];
    TBattleSetupRec setup;
    setup.AttCount[aINF] = setup.DefCount[dINF] = 1;
    TPlanOptions options;
    options.Target = 0.999;
    const TBattlePlan plan = PlanBattle(setup, options);
    EXPECT_EQ(j["target"], 99.9);
    EXPECT_EQ(j["land"], true);
    EXPECT_EQ(j["attacker"]["goal"], "Take the territory");
    EXPECT_EQ(j["defender"]["goal"], "Hold");
    EXPECT_EQ(j["attacker"]["probability"].get<double>(), plan.Attacker.Probability);
    const auto& first = j["attacker"]["bring"][0];
    EXPECT_EQ(first["kind"], "INF");
    EXPECT_EQ(first["count"], plan.Attacker.Bring[0].Count);
    EXPECT_EQ(first["ipc"], plan.Attacker.Bring[0].IPC);
    EXPECT_EQ(j["attacker"]["current_order"]["order"], "INF ARM TRN SUB AC FTR BMR BB");
    EXPECT_EQ(j["attacker"]["best_order"]["exhaustive"], true);
    ASSERT_EQ(j["retreat"].size(), plan.Retreat.size());
    EXPECT_EQ(j["retreat"][0]["round"], 1);
    EXPECT_EQ(j["least_loss_round"].is_null(), plan.LeastLossRound == 0);
    EXPECT_EQ(j["highest_chance_round"].is_null(), plan.HighestChanceRound == 0);

    // Submarines cannot hit aircraft: even 999 of them never win, written as null.
    const TToolResult subs = Tool({"--att", "SUB=1", "--def", "FTR=1", "--plan", "--json"});
    ASSERT_EQ(subs.Code, OddsToolOk);
    const auto subPlan = nlohmann::json::parse(subs.Out)["plan"];
    EXPECT_EQ(subPlan["target"].dump(), "90");
    for (const auto& line : subPlan["attacker"]["bring"]) {
        EXPECT_EQ(line["count"].is_null(), line["kind"] == "SUB");
        EXPECT_EQ(line["probability"].is_null(), line["kind"] == "SUB");
    }
}

// ---- Battle files ---------------------------------------------------------------

std::string TempPath(const std::string& name)
{
    return ::testing::TempDir() + "varnholt_odds_" + std::to_string(getpid()) + "_" + name;
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

const std::vector<std::string> LandFlags = {
    "--att", "INF=3 ARM=2 FTR=1 BMR=1", "--def", "INF=4 FTR=1", "--att-order", "ARM INF TRN SUB AC FTR BMR BB",
    "--aa-gun", "--att-tech", "--heavy-bombers", "--withdraw", "2,3,1", "--rounds", "4"};

TEST(OddsTool, SetupFileGivesTheSameBytesAsTheFlags)
{
    const std::string file = TempPath("land.vbattle");
    const TToolResult saved = Tool(With(LandFlags, {"--save-setup", file, "--exact", "--json"}));
    ASSERT_EQ(saved.Code, OddsToolOk) << saved.Err;
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--exact", "--json"}, {"--seed", "7", "--battles", "3000", "--json"}})
        EXPECT_EQ(Tool(With({"--setup", file}, mode)).Out, Tool(With(LandFlags, mode)).Out);
    std::remove(file.c_str());
}

TEST(OddsTool, BattleFileOptionsRefusedOnOneLine)
{
    const std::string bad = TempPath("bad.vbattle");
    std::ofstream(bad) << R"({"format": "varnholt-battle", "version": 1, "setup": {"Rounds": 0}})";
    const std::string good = TempPath("good.vbattle");
    ASSERT_EQ(Tool({"--att", "INF=1", "--save-setup", good}).Code, OddsToolOk);
    const struct {
        std::vector<std::string> Args;
        const char* Says;
    } cases[] = {
        {{"--setup", good, "--att", "INF=2"}, "--setup: cannot be combined"},
        {{"--setup", good, "--low-luck"}, "--setup: cannot be combined"},
        {{"--setup", bad}, "setup.Rounds: 0 is out of range"},
        {{"--setup", TempPath("missing.vbattle")}, "No such file"},
        {{"--batch", good, "--att", "INF=2"}, "--batch: cannot be combined"},
        {{"--batch", good, "--exact"}, "--batch: cannot be combined with --exact"},
        {{"--batch", TempPath("missing.jsonl")}, "--batch"},
        {{"--csv"}, "--csv: only with --batch"},
        {{"--save-setup", TempPath("no-such-folder/x.vbattle")}, "No such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.front());
        const TToolResult r = Tool(c.Args);
        EXPECT_EQ(r.Code, OddsToolBadArgument);
        EXPECT_TRUE(r.Out.empty());
        EXPECT_EQ(Lines(r.Err), 1);
        EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
    }
    std::remove(bad.c_str());
    std::remove(good.c_str());
}

// Lines of exact odds equal single --exact --json calls; a battle too large
// for them gets a run seeded with 1; a bad line gets an error line and exit 2.
TEST(OddsTool, BatchLinesEqualSingleCalls)
{
    const std::string all999 = "INF=999 ARM=999 FTR=999 BMR=999 BB=999 AC=999 TRN=999 SUB=999";
    const std::vector<std::vector<std::string>> battles = {
        LandFlags, {"--att", "SUB=3 FTR=2", "--def", "SUB=2 AC=1", "--super-subs", "--two-hit-bb"},
        {"--att", all999, "--def", all999 + " JFTR=999"}};
    const std::string input = TempPath("batch.jsonl");
    {
        std::ofstream lines(input);
        for (size_t i = 0; i < battles.size(); ++i) {
            const std::string file = TempPath("line.vbattle");
            ASSERT_EQ(Tool(With(battles[i], {"--save-setup", file})).Code, OddsToolOk);
            std::ifstream in(file);
            lines << nlohmann::json::parse(in).dump() << "\n" << (i == 0 ? "{\"format\": 1}\n\n" : "");
            std::remove(file.c_str());
        }
    }
    const TToolResult batch = Tool({"--batch", input, "--battles", "50"});
    EXPECT_EQ(batch.Code, OddsToolBadArgument);
    std::istringstream out(batch.Out);
    std::vector<nlohmann::ordered_json> got;
    for (std::string line; std::getline(out, line);) got.push_back(nlohmann::ordered_json::parse(line));
    ASSERT_EQ(got.size(), 4u);

    EXPECT_EQ(got[1]["line"], 2);
    EXPECT_NE(got[1]["error"].get<std::string>().find("format"), std::string::npos);
    for (int i : {0, 2}) {
        EXPECT_EQ(got[i]["method"], "exact");
        nlohmann::ordered_json exact = got[i];
        exact.erase("line");
        exact.erase("method");
        exact.erase("Adjusted");
        const TToolResult single = Tool(With(battles[i / 2], {"--exact", "--json"}));
        EXPECT_EQ(exact.dump(), nlohmann::ordered_json::parse(single.Out)["exact"].dump());
    }
    EXPECT_EQ(got[2]["line"], 4);  // the blank line counts

    const nlohmann::json run = got[3];
    EXPECT_EQ(run["method"], "run");
    EXPECT_EQ(run["Battles"], 50);
    EXPECT_EQ(run["Seed"], 1);
    const auto totals = nlohmann::json::parse(Tool(With(battles[2], {"--seed", "1", "--battles", "50", "--json"})).Out)["totals"];
    EXPECT_EQ(run["DefWins"].get<double>(), totals["DefWins"].get<double>() / 50);
    EXPECT_EQ(run["AvgAttIPCLoss"].get<double>(), totals["AttIPCLoss"].get<double>() / 50);
    EXPECT_TRUE(run["AvgRoundsMargin"].is_number());

    // The same as a table: a header row and a row per output line.
    const TToolResult csv = Tool({"--batch", input, "--battles", "50", "--csv"});
    EXPECT_EQ(csv.Code, OddsToolBadArgument);
    EXPECT_EQ(csv.Out.rfind("line,method,AttWins,", 0), 0u);
    EXPECT_EQ(Lines(csv.Out), 5);
    EXPECT_NE(csv.Out.find("\n1,exact," + got[0]["AttWins"].dump() + ","), std::string::npos);
    std::remove(input.c_str());
}

#ifdef ODDS_TOOL
// The installed program: exit status and streams as a shell sees them.
TEST(OddsTool, TheProgramExitsWithTwoOnABadArgument)
{
    // Per process, so that two builds testing at once do not share the files.
    const std::string base = ::testing::TempDir() + "varnholt_odds_" + std::to_string(getpid());
    const std::string out = base + ".out", err = base + ".err";
    const std::string command =
        std::string("'") + ODDS_TOOL + "' --att 'INF=3 ARM=x' >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    std::ifstream o(out), e(err);
    const std::string outText((std::istreambuf_iterator<char>(o)), {});
    const std::string errText((std::istreambuf_iterator<char>(e)), {});
    EXPECT_TRUE(outText.empty());
    EXPECT_EQ(Lines(errText), 1);
    EXPECT_NE(errText.find("--att"), std::string::npos);
    std::remove(out.c_str());
    std::remove(err.c_str());
}
#endif

}  // namespace
