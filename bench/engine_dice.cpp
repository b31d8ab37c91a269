// The dice of one fire step drawn on each path: ns per die of
// TRandom::RollFire for a short (16 dice), a medium (100) and a long (1000)
// step, serial against vector lanes; and single rolls of CountHits around
// the length from which it draws in lanes.
#include <benchmark/benchmark.h>

#include "engine/battle/DiceLanes.h"
#include "engine/battle/Random.h"

namespace {

using dice_lanes::TPath;

constexpr uint32_t Seed = 20240601u;

// Fire steps as rounds of the reference battles make them: a few groups at
// rising values, the largest at 1.
TFire Step(int dice)
{
    TFire fire;
    switch (dice) {
    case 16: fire.Add(6, 1); fire.Add(4, 2); fire.Add(3, 3); fire.Add(2, 4); fire.Add(1, 4); break;
    case 100: fire.Add(40, 1); fire.Add(25, 2); fire.Add(15, 3); fire.Add(12, 4); fire.Add(6, 4); fire.Add(2, 4); break;
    default: fire.Add(400, 1); fire.Add(300, 2); fire.Add(150, 3); fire.Add(100, 3); fire.Add(50, 4); break;
    }
    return fire;
}

void PerDie(benchmark::State& state, double dice)
{
    state.counters["s/die"] = benchmark::Counter(double(state.iterations()) * dice,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Arguments: dice in the step, path.
void RollFire(benchmark::State& state)
{
    const TPath before = dice_lanes::Path();
    if (!dice_lanes::UsePath(TPath(state.range(1)))) {
        state.SkipWithError("this processor lacks the path");
        return;
    }
    const TFire fire = Step(int(state.range(0)));
    TRandom dice(Seed);
    int32_t hits[TFire::MaxGroups];
    for (auto _ : state) {
        dice.RollFire(fire, hits);
        benchmark::DoNotOptimize(hits);
    }
    dice_lanes::UsePath(before);
    PerDie(state, double(state.range(0)));
}
BENCHMARK(RollFire)->ArgNames({"dice", "path"})->ArgsProduct({{16, 100, 1000}, {0, 1, 2}});

// Arguments: dice in the roll; serial (0) or as CountHits picks (1).
void CountHits(benchmark::State& state)
{
    const int32_t shots = int32_t(state.range(0));
    TRandom dice(Seed);
    int32_t hits = 0;
    for (auto _ : state) {
        hits += state.range(1) ? dice.CountHits(shots, 2) : dice.CountHitsSerial(shots, 2);
        benchmark::DoNotOptimize(hits);
    }
    PerDie(state, double(shots));
}
BENCHMARK(CountHits)->ArgNames({"dice", "lanes"})->ArgsProduct({{4, 8, 16, 32, 200}, {0, 1}});

}  // namespace
