// Time to plan the reference battles: every table of the planner.
// Peak memory of the 999-infantry plan: /usr/bin/time -v bench_planner
// --benchmark_filter=INF999.
#include <benchmark/benchmark.h>

#include "bench/ReferenceBattles.h"
#include "engine/advice/Planner.h"

namespace {

void Plan(benchmark::State& state, TBattleSetupRec setup)
{
    TBattlePlan plan;
    for (auto _ : state) {
        plan = PlanBattle(setup);
        benchmark::DoNotOptimize(plan);
    }
    if (plan.Status != TPlanStatus::Done) state.SkipWithError(plan.Reason.c_str());
}

// The first table alone: the battle and what each side must bring.
void FirstTable(benchmark::State& state, TBattleSetupRec setup)
{
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        TPlanOptions options;
        options.Progress = [&](const TBattlePlan& plan) {
            if (plan.Attacker.BringDone) stop.store(true);
        };
        benchmark::DoNotOptimize(PlanBattle(setup, options, &stop));
    }
}

BENCHMARK_CAPTURE(Plan, L1, L1())->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Plan, S1, S1())->Unit(benchmark::kMillisecond)->UseRealTime();
// 999 infantry a side: the time budget (10 s) bounds the plan.
TBattleSetupRec Infantry999()
{
    TBattleSetupRec s;
    s.AttCount[aINF] = s.DefCount[dINF] = MaxCount;
    return s;
}
BENCHMARK_CAPTURE(Plan, INF999, Infantry999())->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(FirstTable, L1, L1())->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
