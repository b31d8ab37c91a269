#include "engine/advice/TurnOdds.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "engine/advice/Planner.h"
#include "engine/battle/BattleImpl.h"
#include "engine/battle/BattleRules.h"
#include "engine/battle/Random.h"
#include "engine/parallel/Parallel.h"

namespace {

// A cumulative share this close below q has reached q: two ways of summing
// the same shares differ in the last bits.
constexpr double QuantileSlack = 1e-12;

// Battles of a run between two looks at the cancel flag.
constexpr int CancelEvery = 1024;

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

// A seeded run measures what the exact odds could not: the same dice, battle
// for battle, as a run of the same seed in the window or the odds tool.
TBattleOddsOfTurn RunOdds(const TBattleSetupRec& setup, const std::atomic<bool>* cancel, TBattleOddsOfTurn b)
{
    b.Method = TTurnMethod::Run;
    TRandom dice(TurnRunSeed);
    battle::TRulesCache rules;
    TBattleEnd end;
    std::map<int32_t, int64_t> swing;
    int64_t goals = 0, attLoss = 0, defLoss = 0;
    for (int i = 0; i < TurnRunBattles; ++i) {
        if (i % CancelEvery == 0 && Cancelled(cancel)) {
            b.Status = TTurnStatus::Cancelled;
            return b;
        }
        battle::Fight(setup, rules.For(setup), dice, end);
        goals += TakesTerritory(b.Land, end.Outcome == TOutcome::AttWins, end.State.AttCount);
        attLoss += end.AttIPCLoss;
        defLoss += end.DefIPCLoss;
        ++swing[end.DefIPCLoss - end.AttIPCLoss];
    }
    const double n = TurnRunBattles;
    b.Probability = static_cast<double>(goals) / n;
    b.AttIPCLoss = static_cast<double>(attLoss) / n;
    b.DefIPCLoss = static_cast<double>(defLoss) / n;
    b.SwingMean = static_cast<double>(defLoss - attLoss) / n;
    for (const auto& [s, count] : swing) b.Swing.push_back({s, static_cast<double>(count) / n});
    return b;
}

}  // namespace

TBattleOddsOfTurn BattleOddsOfTurn(const TBattleSetupRec& setup, const std::atomic<bool>* cancel,
                                   const TExactLimits& limits)
{
    TBattleOddsOfTurn b;
    b.Land = IsLandBattle(setup);
    if (setup.Empty()) {
        b.Swing = {{0, 1.0}};
        return b;
    }
    TExactOdds odds = ComputeExactOdds(setup, cancel, limits);
    switch (odds.Status) {
    case TExactStatus::Done: break;
    case TExactStatus::Cancelled: b.Status = TTurnStatus::Cancelled; return b;
    case TExactStatus::Failed:
        b.Status = TTurnStatus::Failed;
        b.Reason = odds.Reason;
        return b;
    case TExactStatus::TooLarge: b.Reason = odds.Reason; return RunOdds(setup, cancel, std::move(b));
    }
    b.Probability = AttackerGoal(odds, b.Land);
    b.AttIPCLoss = odds.AvgAttIPCLoss;
    b.DefIPCLoss = odds.AvgDefIPCLoss;
    b.SwingMean = odds.AvgDefIPCLoss - odds.AvgAttIPCLoss;
    b.Swing = std::move(odds.Swing);
    b.Pruned = odds.Pruned + odds.Unresolved;
    return b;
}

int32_t SwingQuantile(const std::vector<TExactSwing>& swing, double q)
{
    double below = 0;
    for (const TExactSwing& s : swing) {
        below += s.Probability;
        if (below >= q - QuantileSlack) return s.Swing;
    }
    return swing.empty() ? 0 : swing.back().Swing;
}

TTurnOdds CombineTurn(std::vector<TBattleOddsOfTurn> battles)
{
    TTurnOdds turn;
    for (size_t i = 0; i < battles.size(); ++i) {
        if (battles[i].Status == TTurnStatus::Done) continue;
        turn.Status = battles[i].Status;
        turn.Reason = battles[i].Reason;
        turn.FailedBattle = i;
        turn.Battles = std::move(battles);
        return turn;
    }
    const size_t n = battles.size();

    // Goals met: the product of (1 - p + p x) over the battles.
    turn.Exactly.assign(n + 1, 0.0);
    turn.Exactly[0] = 1;
    for (size_t i = 0; i < n; ++i) {
        const double p = battles[i].Probability;
        for (size_t k = i + 1; k > 0; --k) turn.Exactly[k] = turn.Exactly[k] * (1 - p) + turn.Exactly[k - 1] * p;
        turn.Exactly[0] *= 1 - p;
    }
    turn.AtLeast.assign(n + 1, 0.0);
    double above = 0;
    for (size_t k = n + 1; k > 0; --k) turn.AtLeast[k - 1] = above += turn.Exactly[k - 1];
    turn.All = turn.Exactly[n];

    // The swing: a dense range [low, low + size) convolved with each battle's
    // shares; shares below the floor are dropped and the ends trimmed.
    int64_t low = 0;
    std::vector<double> dense{1.0};
    std::vector<double> next;
    long double variance = 0, kept = 1, dropped = 0;
    for (const TBattleOddsOfTurn& b : battles) {
        kept *= 1 - static_cast<long double>(b.Pruned);
        turn.AttIPCLoss += b.AttIPCLoss;
        turn.DefIPCLoss += b.DefIPCLoss;
        long double mean = 0, squares = 0;
        for (const TExactSwing& s : b.Swing) {
            mean += static_cast<long double>(s.Probability) * s.Swing;
            squares += static_cast<long double>(s.Probability) * s.Swing * s.Swing;
        }
        turn.SwingMean += static_cast<double>(mean);
        variance += std::max<long double>(0, squares - mean * mean);
        if (b.Swing.empty()) {
            dense.assign(1, 0.0);
            continue;
        }
        const int32_t bLow = b.Swing.front().Swing, bHigh = b.Swing.back().Swing;
        next.assign(dense.size() + static_cast<size_t>(bHigh - bLow), 0.0);
        for (const TExactSwing& s : b.Swing) {
            double* out = next.data() + (s.Swing - bLow);
            for (size_t j = 0; j < dense.size(); ++j) out[j] += dense[j] * s.Probability;
        }
        for (double& x : next)
            if (x < TurnShareFloor) {
                dropped += x;
                x = 0;
            }
        size_t first = 0, last = next.size();
        while (first < last && next[first] == 0) ++first;
        while (last > first && next[last - 1] == 0) --last;
        low += bLow + static_cast<int64_t>(first);
        dense.assign(next.begin() + static_cast<std::ptrdiff_t>(first), next.begin() + static_cast<std::ptrdiff_t>(last));
        if (dense.empty()) dense.assign(1, 0.0);
    }
    for (size_t j = 0; j < dense.size(); ++j)
        if (dense[j] > 0) turn.Swing.push_back({static_cast<int32_t>(low + static_cast<int64_t>(j)), dense[j]});
    turn.Pruned = static_cast<double>(std::clamp<long double>(1 - kept + dropped, 0, 1));
    turn.SwingSd = static_cast<double>(std::sqrt(variance));
    turn.Q05 = SwingQuantile(turn.Swing, 0.05);
    turn.Q50 = SwingQuantile(turn.Swing, 0.50);
    turn.Q95 = SwingQuantile(turn.Swing, 0.95);
    turn.Battles = std::move(battles);
    return turn;
}

TTurnOdds CompleteTurn(const std::vector<TBattleSetupRec>& setups, std::vector<std::optional<TBattleOddsOfTurn>> known,
                       const std::atomic<bool>* cancel)
{
    known.resize(setups.size());
    std::vector<TBattleOddsOfTurn> battles(setups.size());
    ForEachIndex(setups.size(), true, [&](size_t i) {
        battles[i] = known[i] ? std::move(*known[i]) : BattleOddsOfTurn(setups[i], cancel);
    });
    return CombineTurn(std::move(battles));
}

TTurnOdds ComputeTurnOdds(const std::vector<TBattleSetupRec>& setups, const std::atomic<bool>* cancel,
                          const TExactLimits& limits)
{
    std::vector<TBattleOddsOfTurn> battles(setups.size());
    ForEachIndex(setups.size(), true, [&](size_t i) { battles[i] = BattleOddsOfTurn(setups[i], cancel, limits); });
    return CombineTurn(std::move(battles));
}

std::string ForcesText(const TBattleSetupRec& setup)
{
    auto side = [](std::string& text, const int32_t* counts, const TUnitKind* kinds, int n) {
        const size_t start = text.size();
        for (int k = 0; k < n; ++k) {
            if (counts[k] <= 0) continue;
            if (text.size() > start) text += ' ';
            text += std::to_string(counts[k]);
            text += ' ';
            text += UnitInfo(kinds[k]).Code;
        }
        if (text.size() == start) text += "none";
    };
    std::string text;
    side(text, setup.AttCount, AttKindOrder, AttKinds);
    text += " vs ";
    side(text, setup.DefCount, DefKindOrder, DefKinds);
    return text;
}

const char* TurnGoalName(const TBattleOddsOfTurn& battle) { return AttackerGoalName(battle.Land); }
