// Battle L1 (attacker 10 INF 5 ARM 4 FTR 2 BMR 1 BB against 14 INF 4 ARM
// 3 FTR with an AA gun) fought 100000 times in automatic rolling through the
// shown main window, panel and grid included:
//
//   AutomaticRunL1     the whole run as a player's change starts it
//   AutomaticRunL1ShownPage/1, /2
//                      the same with "Text Results" (1) or "Graph Results" (2)
//                      shown instead of "Grid Results": the report or the
//                      charts follow the run, at most 10 times a second
//   ResultsDisplayL1   only the results display of that run: its 400
//                      publications (panel, grouping, grid rewrites) replayed
//                      into the window, with the event dispatch after each
//
// Counters: battles per second, outcome rows and grid rewrites of the run.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <QTabWidget>
#include <benchmark/benchmark.h>
#include <vector>

#include "Dizorivurad/Dizorivurad.h"
#include "Pages/ResultPages.h"
#include "bench/ReferenceBattles.h"
#include "bench/WindowBench.h"

namespace {

constexpr int Battles = 100000;
constexpr uint32_t Seed = 20040306u;

TForm1* Form = nullptr;

// Records the publications of an engine run, to replay them into the window.
class TRecordingHost : public TRunHost {
public:
    struct TPublication {
        RunTotals Totals;
        std::vector<TBattleResultsRec> Batch;
        bool Last;
    };
    std::vector<TPublication> Publications;

    int RunSize() override { return Battles; }
    uint32_t RunSeed() override { return Seed; }
    void ReadSetup(TBattleSetupRec& setup) override { setup = L1(); }
    void Publish(const RunTotals& totals, const TBattleResultsRec* batch, int count, bool last) override
    {
        Publications.push_back({totals, std::vector<TBattleResultsRec>(batch, batch + count), last});
    }
};

void AutomaticRunL1(benchmark::State& state)
{
    for (auto _ : state) Form->RequestRun();
    state.counters["battles/s"] = benchmark::Counter(double(Battles) * double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
    state.counters["rows"] = double(Form->OutcomeList.Size());
    state.counters["rewrites"] = Form->GridRewrites;
}

void AutomaticRunL1ShownPage(benchmark::State& state)
{
    auto pages = Form->findChild<QTabWidget*>("PageControl1");
    pages->setCurrentIndex(int(state.range(0)));
    for (auto _ : state) Form->RequestRun();
    pages->setCurrentIndex(0);
    state.counters["battles/s"] = benchmark::Counter(double(Battles) * double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
    const auto results = Form->findChild<TResultPages*>(QStringLiteral("ResultPages"));
    state.counters["report writes"] = results->ReportWrites;
    state.counters["chart writes"] = results->ChartWrites;
}

void ResultsDisplayL1(benchmark::State& state)
{
    TRecordingHost run;
    TRunControl control;
    RunBattles(control, run);
    TRunHost& display = *Form;
    for (auto _ : state) {
        display.RunStarting();
        for (const auto& p : run.Publications) {
            display.Publish(p.Totals, p.Batch.data(), int(p.Batch.size()), p.Last);
            QCoreApplication::processEvents();
        }
    }
    state.counters["publications"] = double(run.Publications.size());
    state.counters["rewrites"] = Form->GridRewrites;
}

BENCHMARK(AutomaticRunL1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(AutomaticRunL1ShownPage)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(1)->Arg(2);
BENCHMARK(ResultsDisplayL1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv, Form, [](TForm1& form) {
        EnterBattle(form, L1(), Seed);
        return 0;
    });
}
