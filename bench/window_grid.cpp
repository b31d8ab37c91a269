// The outcome grid with 3000 outcome rows: a rewrite and sort as a
// publication makes it, and a re-sort as a header click makes it, for every
// sort column. Each iteration also lets the window handle the events the
// rewrite caused (relayout and repaint of the visible rows). The figure to
// watch is the mean time per iteration: 20 ms at most for any column.
#include <QApplication>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

#include "Dizorivurad/Dizorivurad.h"
#include "bench/WindowBench.h"

namespace {

constexpr int OutcomeRows = 3000;
TForm1* Form = nullptr;
RunTotals Totals;

// 3000 distinct end states in the proportions of a large battle: attacker and
// defender wins with many survivor counts, fewer withdrawals and round-limit
// endings, one "Both D.". Each occurs 1 to 40 times.
std::vector<TBattleResultsRec> Battles()
{
    std::mt19937 dice(20040306);
    std::vector<TBattleResultsRec> battles;
    for (int i = 0; i < OutcomeRows; ++i) {
        TBattleResultsRec r;
        const int m = i / 5 * 2 + i % 5 % 2;  // 0..1199 for each side's wins
        switch (i % 5) {
        case 0:
        case 1:
            r.Victor = TVictor::ATT;
            r.AttCount[aINF] = m % 15;
            r.AttCount[aARM] = m / 15 % 6;
            r.AttCount[aFTR] = m / 90 % 5;
            r.AttCount[aBMR] = m / 450;
            break;
        case 2:
        case 3:
            r.Victor = TVictor::DEF;
            r.DefCount[dINF] = m % 15;
            r.DefCount[dARM] = m / 15 % 6;
            r.DefCount[dFTR] = m / 90 % 5;
            r.DefCount[dJFTR] = m / 450;
            break;
        default: {
            const int k = i / 5;  // 0..599
            r.Victor = k == 0 ? TVictor::BothD : (k % 3 == 0 ? TVictor::RndLmt : TVictor::With);
            if (k != 0) {
                r.AttCount[aINF] = k % 15;
                r.AttCount[aFTR] = k / 15 % 5;
                r.DefCount[dINF] = k / 75;
            }
            break;
        }
        }
        const int times = 1 + int(dice() % 40);
        for (int t = 0; t < times; ++t) battles.push_back(r);
    }
    std::shuffle(battles.begin(), battles.end(), dice);
    return battles;
}

void RewriteAndSort(benchmark::State& state)
{
    Form->SortColumn = int(state.range(0));
    for (auto _ : state) {
        static_cast<TRunHost*>(Form)->Publish(Totals, nullptr, 0, true);
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = double(Form->OutcomeList.Size());
}

void HeaderClickSort(benchmark::State& state)
{
    const int column = int(state.range(0));
    for (auto _ : state) {
        Form->Sortgrid(column);
        QCoreApplication::processEvents();
    }
}

BENCHMARK(RewriteAndSort)->DenseRange(0, 10)->Unit(benchmark::kMillisecond);
BENCHMARK(HeaderClickSort)->DenseRange(0, 10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv, Form, [](TForm1& form) {
        // One run's worth of battles, grouped as a run groups them.
        const std::vector<TBattleResultsRec> battles = Battles();
        static_cast<TRunHost&>(form).RunStarting();
        for (const TBattleResultsRec& r : battles) {
            TBattleEnd end;
            end.State = r;
            end.Outcome = r.Victor == TVictor::ATT ? TOutcome::AttWins : TOutcome::DefWins;
            Totals.Add(end);
        }
        static_cast<TRunHost&>(form).Publish(Totals, battles.data(), int(battles.size()), true);
        if (form.OutcomeList.Size() != size_t(OutcomeRows)) {
            fprintf(stderr, "expected %d outcomes, got %zu\n", OutcomeRows, form.OutcomeList.Size());
            return 1;
        }
        return 0;
    });
}
