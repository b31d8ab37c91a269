// How fast the turn window follows an added battle: with nine battles of L1's
// size in the turn, "&Add Current Battle" adds a tenth the window has not
// seen, and the time runs until its figures and the turn's are on show. The
// battle's own exact odds are timed beside it (ExactOddsAlone), since the
// window cannot be faster than them.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QAbstractEventDispatcher>
#include <QApplication>

#include "Turn/TurnForm.h"
#include "bench/ReferenceBattles.h"
#include "bench/WindowBench.h"
#include "engine/exact/Exact.h"

namespace {

TForm1* Form = nullptr;
TTurnForm* Turn = nullptr;

// L1 with its defender's infantry moved a little: a battle of L1's size that
// no other of the turn has.
TBattleSetupRec Variant(int i)
{
    TBattleSetupRec s = L1();
    s.DefCount[0] += i;
    return s;
}

void WaitForFigures()
{
    while (Turn->Working() || !Turn->ShownOdds()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void Add(const TBattleSetupRec& setup)
{
    EnterBattle(*Form, setup, 1);
    Turn->AddButtonClick();
    WaitForFigures();
}

void AddedBattleFollowed(benchmark::State& state)
{
    int i = 10;
    for (auto _ : state) {
        // From the click: the main window's battle is entered and painted first.
        state.PauseTiming();
        EnterBattle(*Form, Variant(10 + i++ % 30), 1);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        Turn->AddButtonClick();
        WaitForFigures();
        state.PauseTiming();
        Turn->RemoveButtonClick();  // the added battle is the selected one
        WaitForFigures();
        state.ResumeTiming();
    }
}
BENCHMARK(AddedBattleFollowed)->Unit(benchmark::kMillisecond)->UseRealTime();

void ExactOddsAlone(benchmark::State& state)
{
    int i = 10;
    for (auto _ : state) benchmark::DoNotOptimize(ComputeExactOdds(Variant(10 + i++ % 30), nullptr));
}
BENCHMARK(ExactOddsAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv, Form, [](TForm1& form) {
        form.findChild<QAction*>("TurnOdds1")->trigger();
        Turn = form.findChild<TTurnForm*>();
        if (!Turn) return 1;
        for (int i = 0; i < 9; ++i) Add(Variant(i));
        return 0;
    });
}
