// Time to work out the exact odds of the reference battles.
#include <benchmark/benchmark.h>

#include "bench/ReferenceBattles.h"
#include "engine/Exact.h"

namespace {

void Exact(benchmark::State& state, TBattleSetupRec setup)
{
    TExactOdds odds;
    for (auto _ : state) {
        odds = ComputeExactOdds(setup);
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

BENCHMARK_CAPTURE(Exact, INF3_vs_INF2, ThreeAgainstTwo())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Exact, L1_regular, L1(false))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Exact, L1_lowluck, L1(true))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Exact, S1_regular, S1(false))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Exact, S1_lowluck, S1(true))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Exact, X1_regular_without_AA, WithoutAA(X1(false)))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Exact, X1_regular, X1(false))->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Exact, X1_lowluck, X1(true))->Unit(benchmark::kMillisecond);

}  // namespace
