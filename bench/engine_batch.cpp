// varnholt-odds --batch: 1000 battles of L1's size (the attacker's infantry
// and the defender's infantry varied around L1's) in one batch, on all cores.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "bench/ReferenceBattles.h"
#include "cli/Batch.h"
#include "model/BattleFile.h"

namespace {

void BatchOfL1(benchmark::State& state)
{
    const std::string input = "/tmp/varnholt_bench_batch_" + std::to_string(::getpid()) + ".jsonl";
    {
        std::ofstream lines(input);
        for (int i = 0; i < 1000; ++i) {
            TBattleSetupRec s = L1();
            s.AttCount[aINF] = 8 + i % 5;
            s.DefCount[dINF] = 12 + (i / 5) % 5;
            lines << nlohmann::json::parse(BattleFileText(s)).dump() << '\n';
        }
    }
    for (auto _ : state) {
        std::ostringstream out, err;
        const int code = RunBatch({input, false, 100000, 1, false}, out, err);
        if (code != 0) state.SkipWithError(err.str().c_str());
        benchmark::DoNotOptimize(out);
    }
    std::remove(input.c_str());
}

BENCHMARK(BatchOfL1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
