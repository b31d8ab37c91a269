// Time to work out the exact odds of the reference battles, on one thread and
// on all cores, and how soon a cancel takes effect.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bench/ReferenceBattles.h"
#include "engine/exact/Exact.h"

#include <algorithm>

namespace {

void Exact(benchmark::State& state, TBattleSetupRec setup)
{
    TExactOdds odds;
    TExactLimits limits;
    limits.Threads = static_cast<int>(state.range(0));  // 0: all cores
    for (auto _ : state) {
        odds = ComputeExactOdds(setup, nullptr, limits);
        benchmark::DoNotOptimize(odds);
    }
    state.counters["outcomes"] = static_cast<double>(odds.Outcomes.size());
    state.counters["pruned"] = odds.Pruned;
    if (odds.Status != TExactStatus::Done) state.SkipWithError(odds.Reason.c_str());
}

TBattleSetupRec WithoutAA(TBattleSetupRec s)
{
    s.AAGun = false;
    return s;
}

TBattleSetupRec ThreeAgainstTwo()
{
    TBattleSetupRec s;
    s.AttCount[aINF] = 3;
    s.DefCount[dINF] = 2;
    return s;
}

TBattleSetupRec Withdrawing()
{
    TBattleSetupRec s = ReferenceBattle({252, 126, 63, 31, 0, 0, 0, 0}, {315, 126, 63, 31, 31, 0, 0, 0, 0});
    s.AAGun = true;
    s.Withdrawal = true;
    s.AttWith = 280;
    s.DefWith = 80;
    s.DefWithLess = 250;
    return s;
}

// Threads: 1, then all cores (0).
#define EXACT(name, setup, unit) BENCHMARK_CAPTURE(Exact, name, setup)->Unit(unit)->Arg(1)->Arg(0)
EXACT(INF3_vs_INF2, ThreeAgainstTwo(), benchmark::kMicrosecond);
EXACT(L1_regular, L1(false), benchmark::kMillisecond);
EXACT(L1_lowluck, L1(true), benchmark::kMillisecond);
EXACT(S1_regular, S1(false), benchmark::kMillisecond);
EXACT(S1_lowluck, S1(true), benchmark::kMillisecond);
EXACT(X1_regular_without_AA, WithoutAA(X1(false)), benchmark::kMillisecond);
EXACT(X1_regular, X1(false), benchmark::kMillisecond)->Iterations(3);
EXACT(X1_lowluck, X1(true), benchmark::kMillisecond);
EXACT(Withdrawing_land_battle, Withdrawing(), benchmark::kMillisecond)->Iterations(2);

// A cancel at several moments of the largest accepted battles (every phase is
// met: set-up, general pass, grid): the time from the flag to the return.
void Cancel(benchmark::State& state, TBattleSetupRec setup)
{
    double worst = 0;
    for (auto _ : state) {
        for (int ms : {1, 5, 20, 80, 300, 900}) {
            std::atomic<bool> cancel{false};
            std::chrono::steady_clock::time_point asked;
            std::thread worker([&] { benchmark::DoNotOptimize(ComputeExactOdds(setup, &cancel)); });
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            asked = std::chrono::steady_clock::now();
            cancel = true;
            worker.join();
            const double latency =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count();
            worst = std::max(worst, latency);
            state.counters["at_" + std::to_string(ms) + "ms"] = latency;
        }
    }
    state.counters["worst_ms"] = worst;
}
BENCHMARK_CAPTURE(Cancel, X1_regular, X1(false))->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Cancel, Withdrawing_land_battle, Withdrawing())->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
