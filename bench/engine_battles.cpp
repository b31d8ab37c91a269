// Battles per second and time per die of typical battles, and a full run.
//
// Each battle benchmark fights with the plain generator while timed, then
// replays the same battles (same seed) with a counting wrapper to learn how
// many dice they drew: "ns/die" is the timed cost of a battle spread over
// its dice, bookkeeping included.
#include <benchmark/benchmark.h>

#include "engine/battle/BattleImpl.h"
#include "engine/battle/Driver.h"
#include "engine/battle/Random.h"
#include "bench/ReferenceBattles.h"

namespace {

struct TCountingDice {
    TRandom Dice;
    uint64_t Rolled = 0;
    int Die()
    {
        ++Rolled;
        return Dice.Die();
    }
};

constexpr uint32_t Seed = 20240601u;

void Battles(benchmark::State& state, TBattleSetupRec (*make)(bool), bool lowLuck)
{
    // Rules prepared once, as the run driver does while the setup stays the same.
    const TBattleSetupRec setup = make(lowLuck);
    battle::TRules rules;
    battle::MakeRules(setup, rules);
    TRandom dice(Seed);
    TBattleEnd end;
    int64_t rounds = 0;
    for (auto _ : state) {
        battle::Fight(setup, rules, dice, end);
        rounds += end.Rounds;
        benchmark::DoNotOptimize(end);
    }

    TCountingDice counter{TRandom(Seed)};
    for (int64_t i = 0; i < state.iterations(); ++i) FightBattle(setup, counter, end);

    const double battles = static_cast<double>(state.iterations());
    const double dice_ = static_cast<double>(counter.Rolled);
    state.counters["battles/s"] = benchmark::Counter(battles, benchmark::Counter::kIsRate);
    state.counters["dice/battle"] = dice_ / battles;
    state.counters["rounds/battle"] = static_cast<double>(rounds) / battles;
    // kIsRate | kInvert: seconds per die, printed with its SI prefix ("2.1n" = 2.1 ns).
    state.counters["s/die"] = benchmark::Counter(dice_, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(Battles, L1_regular, L1, false);
BENCHMARK_CAPTURE(Battles, L1_lowluck, L1, true);
BENCHMARK_CAPTURE(Battles, S1_regular, S1, false);
BENCHMARK_CAPTURE(Battles, S1_lowluck, S1, true);
BENCHMARK_CAPTURE(Battles, X1_regular, X1, false);
BENCHMARK_CAPTURE(Battles, X1_lowluck, X1, true);

// The bare generator, for comparison with the per-die figures above.
void Dice(benchmark::State& state)
{
    TRandom dice(Seed);
    int sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) sum += dice.Die() <= 3;
        benchmark::DoNotOptimize(sum);
    }
    state.counters["s/die"] = benchmark::Counter(static_cast<double>(state.iterations()) * 1000,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(Dice);

// A whole run as the window makes it: 100000 battles of X1 with publications.
class TBenchHost final : public TRunHost {
public:
    explicit TBenchHost(bool lowLuck) : Setup_(X1(lowLuck)) {}
    RunTotals Last;
    int RunSize() override { return 100000; }
    uint32_t RunSeed() override { return Seed; }
    void ReadSetup(TBattleSetupRec& setup) override { setup = Setup_; }
    void Publish(const RunTotals& totals, const TBattleResultsRec*, int, bool) override { Last = totals; }

private:
    TBattleSetupRec Setup_;
};

void FullRun(benchmark::State& state, bool lowLuck)
{
    TBenchHost host(lowLuck);
    for (auto _ : state) {
        TRunControl control;
        RunBattles(control, host);
        benchmark::DoNotOptimize(host.Last);
    }
    state.counters["battles/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 100000, benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(FullRun, X1_regular_100000, false)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(FullRun, X1_lowluck_100000, true)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
