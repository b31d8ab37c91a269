// Time to work out a turn of 10 battles of L1's size on all cores: each
// battle's exact odds, then the turn's goals and swing; and the turn alone
// from battles worked out already (what the turn window does after a name
// or an order change that leaves the battles as they were).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/ReferenceBattles.h"
#include "engine/advice/TurnOdds.h"

namespace {

// Ten battles like L1, each a little different.
std::vector<TBattleSetupRec> TenBattles()
{
    std::vector<TBattleSetupRec> turn;
    for (int i = 0; i < 10; ++i) {
        TBattleSetupRec s = L1();
        s.AttCount[aINF] += i % 3 - 1;
        s.DefCount[dINF] += i / 3 - 1;
        turn.push_back(s);
    }
    return turn;
}

void Turn(benchmark::State& state)
{
    const std::vector<TBattleSetupRec> turn = TenBattles();
    TTurnOdds odds;
    for (auto _ : state) {
        odds = ComputeTurnOdds(turn);
        benchmark::DoNotOptimize(odds);
    }
    state.counters["swings"] = static_cast<double>(odds.Swing.size());
    state.counters["pruned"] = odds.Pruned;
    if (odds.Status != TTurnStatus::Done) state.SkipWithError(odds.Reason.c_str());
}

void Combine(benchmark::State& state)
{
    std::vector<TBattleOddsOfTurn> battles;
    for (const TBattleSetupRec& s : TenBattles()) battles.push_back(BattleOddsOfTurn(s));
    for (auto _ : state) benchmark::DoNotOptimize(CombineTurn(battles));
}

}  // namespace

BENCHMARK(Turn)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Combine)->Unit(benchmark::kMillisecond)->UseRealTime();
