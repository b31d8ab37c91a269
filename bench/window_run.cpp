// What the window adds to a run: battle L1 (attacker 10 INF 5 ARM 4 FTR
// 2 BMR 1 BB against 14 INF 4 ARM 3 FTR with an AA gun) fought 100000 times
// in automatic rolling through the main window, against the same run driven
// by a bare host that hands the engine a fixed setup and drops the
// publications. Both use the same seed, so they fight the same battles.
//
//   EngineAlone      RunBattles with the bare host
//   WindowRun        GoButtonClick on the shown main window: setup read,
//                    progress bar, event dispatch after every battle, and the
//                    results display every 250 battles
//   WindowNoDisplay  the same with the publications dropped, to tell the run
//                    control's share from the results display's
//
// The window is shown, so the publications are painted as they would be on
// the screen; BENCH_HIDDEN=1 leaves it hidden.
//
// "us/battle" is wall time per battle, "cpu_us/battle" the thread's CPU time;
// the window's additions over the engine alone are printed at the end.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>

#include "Dizorivurad/Dizorivurad.h"
#include "bench/ReferenceBattles.h"
#include "bench/WindowBench.h"

namespace {

constexpr int Battles = 100000;
constexpr uint32_t Seed = 20040306u;

// Per battle, in microseconds: wall time, and the run's own CPU time (the
// steadier figure on a busy machine).
struct TFigures {
    double Wall = 0;
    double Cpu = 0;
};
TFigures Engine, Window, NoDisplay;

class TBareHost : public TRunHost {
public:
    TBattleSetupRec Setup;
    int RunSize() override { return Battles; }
    uint32_t RunSeed() override { return Seed; }
    void ReadSetup(TBattleSetupRec& setup) override { setup = Setup; }
    void Publish(const RunTotals&, const TBattleResultsRec*, int, bool) override {}
};

class TNoDisplayForm : public TForm1 {
    void Publish(const RunTotals&, const TBattleResultsRec*, int, bool) override {}
};

void EnterL1(TForm1& form)
{
    EnterBattle(form, L1(), Seed);
    if (!getenv("BENCH_HIDDEN")) form.show();
    QCoreApplication::processEvents();
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <class Run>
void TimeRuns(benchmark::State& state, TFigures& figures, Run run)
{
    double wall = 0;
    double cpu = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuSeconds();
        run();
        cpu += ThreadCpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double battles = double(state.iterations()) * Battles;
    figures = {wall / battles * 1e6, cpu / battles * 1e6};
    state.counters["us/battle"] = figures.Wall;
    state.counters["cpu_us/battle"] = figures.Cpu;
}

void BM_EngineAlone(benchmark::State& state)
{
    TForm1 form;  // the bare host fights exactly the setup the window reads
    EnterL1(form);
    TBareHost host;
    form.ReadSetup(host.Setup);
    TRunControl control;
    TimeRuns(state, Engine, [&] { RunBattles(control, host); });
}

void BM_WindowRun(benchmark::State& state)
{
    TForm1 form;
    EnterL1(form);
    TimeRuns(state, Window, [&] { form.GoButtonClick(); });
    if (form.Control.Running) state.SkipWithError("run did not end");
}

void BM_WindowNoDisplay(benchmark::State& state)
{
    TNoDisplayForm form;
    EnterL1(form);
    TimeRuns(state, NoDisplay, [&] { form.GoButtonClick(); });
}

BENCHMARK(BM_EngineAlone)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_WindowRun)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_WindowNoDisplay)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    TForm1::MessageHook = [](bool, const QString&) {};
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto report = [](const char* what, const TFigures& run) {
        if (Engine.Wall <= 0 || run.Wall <= 0) return;
        std::printf("%-40s wall %7.3f us/battle (+%.3f), cpu %7.3f us/battle (+%.3f)\n", what, run.Wall,
                    run.Wall - Engine.Wall, run.Cpu, run.Cpu - Engine.Cpu);
    };
    report("engine alone", Engine);
    report("through the window", Window);
    report("through the window, publications dropped", NoDisplay);
    return 0;
}
