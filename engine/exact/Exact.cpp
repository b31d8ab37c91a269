#include "engine/exact/Exact.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <new>
#include <unordered_map>

#include <tbb/task_arena.h>

#include "engine/exact/ExactGeneral.h"
#include "engine/exact/ExactGrid.h"
#include "engine/exact/ExactShared.h"

// The battle is a Markov chain over battle states: a round takes a state to
// the next with probabilities that come only from the fire steps' hit counts.
// The general pass (ExactGeneral) takes any state on through the round's own
// steps; the linear pass (ExactGrid) takes over the states from which each side
// can only lose down one order, where a state is a cell of a grid.
//
// Without a round limit a state that a round leaves unchanged is folded into
// a geometric series, so every state is visited once: the general pass runs to
// its end, then the grid. With a round limit the states go round by round.

namespace exact {
namespace {

using namespace battle;

// ---- Rough size of the work, before any of it is done -------------------------------

// Low luck leaves one die a fire step: two hit counts, whatever the strength;
// in regular mode a few standard deviations of its hits.
double Spread(bool lowLuck, double shots) { return lowLuck ? 2.0 : std::min(shots + 1, 1 + 8 * std::sqrt(shots * 0.25)); }

// A side's states: its chain (units + 1) when it loses down one order; with
// several kill lists acting on it, about the ways its losses split among them,
// at most every combination of its counts; a battleship pool multiplies.
double SideStates(const int32_t* counts, int kinds, int lists, int32_t pool)
{
    double units = 0, product = 1;
    for (int k = 0; k < kinds; ++k) {
        units += counts[k];
        product *= counts[k] + 1;
    }
    double ways = 1;
    for (int j = 1; j < lists; ++j) ways = ways * (units + j) / j;
    return std::min(ways, product) * (pool + 1);
}

// The work (in the units the passes count) a battle is expected to take. The
// factors were fitted to measured work over land, sea and amphibious battles
// of many sizes, where the estimate stays within a factor of about 10 of the
// work done (most often within 3). A battle is refused at once only when the
// estimate is 10 times the limit, so that what is refused would really run
// past it; anything else is refused, if at all, by the work counted as it goes.
double EstimateWork(const TShared& s)
{
    const TBattleSetupRec& setup = s.Setup;
    TState start = s.R.Start;
    const bool lowLuck = setup.LowLuck;
    double attShots = 0, defShots = 0;
    for (int k = 0; k < AttKinds; ++k) attShots += start.Att[k] * (k == aBMR ? BomberDice(setup) : 1);
    for (int k = 0; k < DefKinds; ++k) defShots += start.Def[k];
    const double onDef = Spread(lowLuck, attShots), onAtt = Spread(lowLuck, defShots);
    const double aa = setup.AAGun ? Spread(lowLuck, AttAir(start)) : 1;
    const double rounds = s.RoundByRound ? std::max(1, setup.Rounds) : 1;

    // The grid: a row per attacker (per AA outcome), and the columns of a
    // band around where the battle goes; withdrawal cuts both short.
    double rows = AttUnits(start) + 1, cols = DefUnits(start) + 1;
    if (setup.Withdrawal) {
        if (setup.DefWith <= DefUnits(start)) rows = std::max(1.0, rows - setup.AttWith);
        cols = std::max(1.0, cols - setup.DefWithLess);
    }
    const double band = std::min(cols, 2 * (onAtt + onDef));
    const double grid = 0.25 * rows * aa * band * std::min(rounds, rows + cols) * onAtt * (16 + onDef);
    Bombard(start);
    if (LosesDownOneOrder(start, setup)) return grid;

    // The general pass: each state pairs each side's outcomes of a round, as
    // many as its hits can make; few of the states a side might reach carry
    // weight. With a round limit, a state is met again each round it lives.
    // Take w/ ground keeps a land unit while aircraft go, then loses it.
    const int attLists = 1 + (start.Def[dTRN] > 0) + (start.Def[dSUB] > 0) +
                         2 * (setup.TakeWith && AttLand(start) > 0 && AttAir(start) > 0);
    const int defLists = 1 + (start.Att[aSUB] > 0 && DefSea(start) > 0);
    const double weighty = std::min(0.05, 0.6 / std::sqrt((AttUnits(start) + 1.0) * (DefUnits(start) + 1.0)));
    const double states = std::max(1.0, weighty * aa * SideStates(start.Att, AttKinds, attLists, start.AttBBDamage) *
                                            SideStates(start.Def, DefKinds, defLists, start.DefBBDamage));
    const double ownCounts = lowLuck ? 1.0 : Spread(false, start.Def[dTRN]) * Spread(false, start.Def[dSUB]);
    const double pairs = std::min(onDef, DefUnits(start) + start.DefBBDamage + 1.0) *
                         std::min(onAtt * ownCounts, AttUnits(start) + start.AttBBDamage + 1.0);
    double expansions = states;
    if (s.RoundByRound) {
        expansions = 0;
        double reach = 1;
        for (int32_t r = 0; r < std::min<double>(rounds, 1000); ++r, reach *= pairs) expansions += std::min(states, reach);
    }
    return grid + 250 * pairs * expansions;
}

// ---- The calculation ---------------------------------------------------------------------

// Work from which a battle is spread over threads: some 10 ms.
constexpr double WorthThreads = 1e7;

class TCalculation {
public:
    TCalculation(const TBattleSetupRec& setup, const std::atomic<bool>* cancel, const TExactLimits& limits)
        : S_(setup, cancel, limits), General_(S_), Grid_(S_)
    {
    }

    TExactOdds Run()
    {
        const double estimate = EstimateWork(S_);
        if (!(estimate <= 10 * S_.Limits.MaxWork))
            throw TRefused{TExactStatus::TooLarge, "the battle has too many states for exact odds"};
        S_.Threads = estimate >= WorthThreads && S_.Limits.Threads != 1;
        const TGeneralPass::TArrive arrive = [this](TState& s, double mass) { Arrive(s, mass); };
        General_.Start(arrive);
        if (!S_.RoundByRound) {
            for (size_t b = 0; b < General_.Buckets(); ++b) General_.RunBucket(b, arrive);
            Grid_.RunCollapsed();
        } else {
            // Round by round until no state is left; the round limit ends every
            // battle, so this ends too.
            for (int32_t round = 1;; ++round) {
                const bool grid = Grid_.RunRound(round);
                const bool general = General_.RunBucket(static_cast<size_t>(round), arrive);
                if (!grid && !general) break;
            }
        }
        return Collect();
    }

private:
    // A state after a round: an end, a cell of the grid, or the general pass's.
    void Arrive(TState& s, double mass)
    {
        if (s.Over) S_.AddTerminal(KeyOf(s), mass);
        else if (!(S_.Limits.LinearPass && LosesDownOneOrder(s, S_.Setup) && Grid_.Take(s, mass))) General_.Add(s, mass);
    }

    TExactOdds Collect();

    TShared S_;
    TGeneralPass General_;
    TGridPass Grid_;
};

TExactOdds TCalculation::Collect()
{
    TExactOdds odds;
    long double attLoss = 0, defLoss = 0;
    double category[5] = {};
    const bool land = IsLandBattle(S_.Setup);
    // Victor, then the counts. States that differ only in what the end state
    // does not show (retreated submarines) are one outcome; without retreats
    // every end state is an outcome of its own. The end states are taken in
    // the map's order, which the fixed order they were reached in fixes.
    using TId = std::array<int32_t, 1 + AttKinds + DefKinds>;
    struct TIdHash {
        size_t operator()(const TId& id) const
        {
            uint64_t h = 0xcbf29ce484222325ull;
            for (int32_t v : id) h = (h ^ static_cast<uint32_t>(v)) * 0x100000001b3ull;
            return static_cast<size_t>(h);
        }
    };
    const bool retreats = S_.Setup.AttWithSubsAirOnly || S_.Setup.DefWithSubsAirOnly || S_.Setup.DefWithSubs1stRnd;
    std::unordered_map<TId, size_t, TIdHash> index;
    std::vector<std::pair<TId, double>> outcomes;
    outcomes.reserve(S_.Terminal.size());
    std::map<int32_t, double> swing;
    size_t seen = 0;
    for (const auto& [key, mass] : S_.Terminal) {
        if (++seen % 4096 == 0) S_.Poll();
        if (mass < StateFloor) {
            S_.Tally.Pruned += mass;
            continue;
        }
        TBattleEnd end;
        EndBattle(StateOf(key, S_.R.Start, 0), S_.Setup, end);
        category[static_cast<int>(end.Outcome)] += mass;
        attLoss += static_cast<long double>(mass) * end.AttIPCLoss;
        defLoss += static_cast<long double>(mass) * end.DefIPCLoss;
        swing[end.DefIPCLoss - end.AttIPCLoss] += mass;
        if (TakesTerritory(land, end.Outcome == TOutcome::AttWins, end.State.AttCount)) odds.Taken += mass;
        for (int k = 0; k < AttKinds; ++k) odds.AttLeft[k] += mass * end.State.AttCount[k];
        for (int k = 0; k < DefKinds; ++k) odds.DefLeft[k] += mass * end.State.DefCount[k];
        TId id;
        id[0] = static_cast<int32_t>(end.State.Victor);
        std::copy(end.State.AttCount, end.State.AttCount + AttKinds, id.begin() + 1);
        std::copy(end.State.DefCount, end.State.DefCount + DefKinds, id.begin() + 1 + AttKinds);
        if (retreats) {
            const auto [it, added] = index.try_emplace(id, outcomes.size());
            if (!added) {
                outcomes[it->second].second += mass;
                continue;
            }
        }
        outcomes.emplace_back(id, mass);
    }
    S_.Terminal.clear();
    std::unordered_map<TId, size_t, TIdHash>().swap(index);
    S_.Poll();
    // Most probable first, ties by outcome: a total order, so the same battle
    // always lists the same outcomes. Only the kept ones are sorted.
    auto before = [](const auto& a, const auto& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; };
    const size_t kept = std::min(outcomes.size(), S_.Limits.MaxOutcomes);
    if (kept < outcomes.size())
        std::nth_element(outcomes.begin(), outcomes.begin() + static_cast<std::ptrdiff_t>(kept), outcomes.end(), before);
    S_.Poll();
    std::sort(outcomes.begin(), outcomes.begin() + static_cast<std::ptrdiff_t>(kept), before);
    S_.Poll();

    odds.AttWins = category[static_cast<int>(TOutcome::AttWins)];
    odds.DefWins = category[static_cast<int>(TOutcome::DefWins)];
    odds.BothDes = category[static_cast<int>(TOutcome::BothDes)];
    odds.AttWithdraws = category[static_cast<int>(TOutcome::AttWithdraws)];
    odds.BothRemain = category[static_cast<int>(TOutcome::BothRemain)];
    odds.AvgAttIPCLoss = static_cast<double>(attLoss);
    odds.AvgDefIPCLoss = static_cast<double>(defLoss);
    odds.AvgRounds = S_.Tally.Rounds;
    odds.Pruned = S_.Tally.Pruned;
    odds.Unresolved = S_.Tally.Unresolved;
    if (S_.Limits.InjectFault) odds.AttWins += 0.01;
    odds.Swing.reserve(swing.size());
    for (const auto& [s, p] : swing) odds.Swing.push_back({s, p});
    odds.Outcomes.reserve(kept);
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const auto& [id, mass] = outcomes[i];
        if (i >= kept) {
            odds.OtherOutcomes += mass;
            continue;
        }
        TExactOutcome o;
        o.State.Victor = static_cast<TVictor>(id[0]);
        std::copy(id.begin() + 1, id.begin() + 1 + AttKinds, o.State.AttCount);
        std::copy(id.begin() + 1 + AttKinds, id.end(), o.State.DefCount);
        o.Probability = mass;
        odds.Outcomes.push_back(o);
    }
    return odds;
}

// The result's own invariants; a result that breaks one is never shown.
void Check(const TExactOdds& o)
{
    const double parts[] = {o.AttWins, o.DefWins, o.BothDes, o.BothRemain, o.AttWithdraws,
                            o.Unresolved, o.Pruned, o.Taken, o.OtherOutcomes};
    for (double p : parts)
        if (!(p >= 0 && p <= 1 + 1e-12)) Fail("a probability outside [0, 1]: " + std::to_string(p));
    for (const TExactOutcome& e : o.Outcomes)
        if (!(e.Probability >= 0 && e.Probability <= 1 + 1e-12)) Fail("an end state's probability outside [0, 1]");
    const double sum = o.AttWins + o.DefWins + o.BothDes + o.BothRemain + o.AttWithdraws + o.Unresolved + o.Pruned;
    if (!(std::fabs(sum - 1) <= 1e-9))
        Fail("the probabilities add up to " + std::to_string(sum) + ", not 1");
    if (!(o.Taken <= o.AttWins + 1e-12)) Fail("the territory is taken more often than the attacker wins");
    const double figures[] = {o.AvgAttIPCLoss, o.AvgDefIPCLoss, o.AvgRounds};
    for (double x : figures)
        if (!std::isfinite(x) || x < 0) Fail("an expectation that is negative or not a number");
}

}  // namespace
}  // namespace exact

TExactOdds ComputeExactOdds(const TBattleSetupRec& setup, const std::atomic<bool>* cancel, const TExactLimits& limits)
{
    // No unit on either side is no battle: every figure stays 0, as for a run.
    if (setup.Empty()) return TExactOdds{};
    auto refused = [](TExactStatus status, std::string reason) {
        TExactOdds odds;
        odds.Status = status;
        odds.Reason = std::move(reason);
        return odds;
    };
    auto calculate = [&] {
        exact::TCalculation calculation(setup, cancel, limits);
        TExactOdds odds = calculation.Run();
        exact::Check(odds);
        return odds;
    };
    try {
        // On the caller's threads (all cores), or on the calling one alone.
        if (limits.Threads <= 1) return calculate();
        tbb::task_arena arena(limits.Threads);
        return arena.execute(calculate);
    } catch (const exact::TRefused& r) {
        return refused(r.Status, r.Reason);
    } catch (const std::bad_alloc&) {
        return refused(TExactStatus::TooLarge, "the battle needs more memory than there is");
    } catch (const std::exception& e) {
        return refused(TExactStatus::Failed, e.what());
    }
}
