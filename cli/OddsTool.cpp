#include "cli/OddsTool.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include <tbb/global_control.h>

#include "cli/Arguments.h"
#include "cli/Batch.h"
#include "cli/BattleFileArgs.h"
#include "cli/OddsJson.h"
#include "cli/PlanReport.h"
#include "cli/Reports.h"
#include "cli/TurnReport.h"
#include "engine/battle/Driver.h"
#include "engine/exact/Exact.h"
#include "engine/parallel/Parallel.h"
#include "format/Panel.h"
#include "model/BattleFile.h"
#include "model/Normalise.h"

namespace {

// A run that keeps its totals and end states.
class TToolHost final : public TRunHost {
public:
    TToolHost(const TBattleSetupRec& setup, int battles, uint32_t seed)
        : Setup_(setup), Battles_(battles), Seed_(seed) {}

    RunTotals Totals;
    TOutcomeList Outcomes;

    int RunSize() override { return Battles_; }
    uint32_t RunSeed() override { return Seed_; }
    void ReadSetup(TBattleSetupRec& setup) override { setup = Setup_; }
    void RunStarting() override
    {
        Totals = RunTotals{};
        Outcomes.Clear();
    }
    void Publish(const RunTotals& totals, const TBattleResultsRec* batch, int count, bool) override
    {
        Totals = totals;
        Outcomes.AddBatch(batch, count);
    }

private:
    const TBattleSetupRec Setup_;
    const int Battles_;
    const uint32_t Seed_;
};

}  // namespace

int RunOddsTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            out << OddsToolUsage;
            return OddsToolOk;
        }
        if (arg == "--version") {
            out << "varnholt-odds " VARNHOLT_VERSION "\n";
            return OddsToolOk;
        }
    }

    // A test's way to check that a broken invariant is reported, never printed
    // as odds: it reaches every calculation, the planner's and the batch's too.
    SetExactFaultInjection(std::getenv("VARNHOLT_EXACT_INJECT_FAULT") != nullptr);

    TOddsRequest request;
    try {
        request = ParseArguments(argc, argv);
    } catch (const TBadArgument& bad) {
        // The message quotes the argument; keep it to one line whatever it holds.
        err << "varnholt-odds: " << OneLine(bad.Message) << '\n';
        return OddsToolBadArgument;
    }

    // The battle the window would hold: what its rules change is said, one line each.
    const TNormalisedBattle normalised = NormaliseBattle(request.Setup);
    request.Setup = normalised.Setup;
    for (const TAdjustment& a : normalised.Adjustments)
        err << "varnholt-odds: adjusted " << AdjustmentText(a) << '\n';

    std::optional<tbb::global_control> threads;
    if (request.Threads > 0) threads.emplace(tbb::global_control::max_allowed_parallelism, size_t(UsableThreads(request.Threads)));

    if (!request.TurnFile.empty())
        return RunTurn(request.TurnFile, request.Json, std::getenv("VARNHOLT_EXACT_INJECT_FAULT") != nullptr, out,
                       err);
    if (!request.BatchFile.empty())
        return RunBatch({request.BatchFile, request.Csv, request.Battles, request.SeedGiven ? request.Seed : 1u,
                         BatchProgressWanted(err)},
                        out, err);
    if (!request.SaveSetupFile.empty()) {
        const std::string error = SaveBattleFile(request.SaveSetupFile, request.Setup);
        if (!error.empty()) {
            err << "varnholt-odds: --save-setup: " << OneLine(request.SaveSetupFile + ": " + error) << '\n';
            return OddsToolBadArgument;
        }
        // Saving a battle is all that is asked unless a calculation is asked for too.
        if (!request.Exact && !request.Plan && !request.Json && !request.BattlesGiven && !request.SeedGiven)
            return OddsToolOk;
    }
    if (request.Plan) return RunPlan(request.Setup, request.Target, request.PlanSeconds, request.Json, out, err);

    if (request.Exact) {
        TExactLimits limits;
        limits.Threads = request.Threads;
        const TExactOdds odds = ComputeExactOdds(request.Setup, nullptr, limits);
        if (odds.Status == TExactStatus::Failed) {
            err << "varnholt-odds: exact odds failed: " << odds.Reason << '\n';
            return OddsToolFailed;
        }
        if (odds.Status != TExactStatus::Done) {
            err << "varnholt-odds: exact odds refused: " << odds.Reason << '\n';
            return OddsToolTooLarge;
        }
        const TPanelTexts panel = PanelTexts(ExactPanelFigures(odds));
        if (request.Json) WriteExactJson(out, odds, panel, normalised.Adjustments);
        else WriteExactReport(out, request.Setup, odds, panel);
        return OddsToolOk;
    }

    const uint32_t seed = request.SeedGiven ? request.Seed : ClockSeed();
    TToolHost host(request.Setup, request.Battles, seed);
    TRunControl control;
    // An empty setup ends the run before its first battle: the report then
    // shows zero battles and every figure "0".
    RunBattles(control, host);

    const TPanelTexts panel = PanelTexts(host.Totals);
    if (request.Json) WriteJson(out, host.Totals, panel, host.Outcomes, normalised.Adjustments);
    else WriteReport(out, request.Setup, seed, host.Totals, panel, host.Outcomes);
    return OddsToolOk;
}
