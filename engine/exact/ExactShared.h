#pragma once
// What both passes of the exact odds share: the battle and its rules, the
// limits and the cancel flag, the hit distributions of fire steps, the end
// states reached, and the tallies of what left the calculation otherwise.
#include <atomic>
#include <memory_resource>
#include <string>
#include <unordered_map>


#include "engine/battle/BattleImpl.h"
#include "engine/exact/Exact.h"
#include "engine/exact/ExactKeys.h"
#include "engine/exact/HitDistribution.h"
#include "engine/parallel/Parallel.h"

namespace exact {

// Ends a calculation with a status other than Done.
struct TRefused {
    TExactStatus Status;
    std::string Reason;
};

// The calculation caught itself breaking one of its own invariants.
[[noreturn]] inline void Fail(std::string reason) { throw TRefused{TExactStatus::Failed, std::move(reason)}; }

// States whose probability is below this are dropped and counted as pruned.
constexpr double StateFloor = 1e-15;

// The work (in the units of the spread's steps) of an end state: kept, then
// summed, sorted and written out.
constexpr double EndStateWork = 2000;

// Probability that left the calculation other than as an end state, and
// rounds fought (weighted by probability). Each piece of work keeps its own
// tally; tallies are added up in a fixed order, so that the result does not
// depend on how the work was spread over threads.
struct TTally {
    double Pruned = 0;
    double Unresolved = 0;
    double Rounds = 0;
    void Add(const TTally& o)
    {
        Pruned += o.Pruned;
        Unresolved += o.Unresolved;
        Rounds += o.Rounds;
    }
};

// The hits of fire steps as distributions, kept once worked out. One per
// thread.
class TStepHits {
public:
    template <class Step>
    const THitDistribution& Of(const Step& step)
    {
        if (step.LowLuck()) return LowLuck(step.Strength());
        TFire f;
        battle::CollectFire(f, [&](auto&& g) { step.Groups(g); });
        return Cache_.Fire(f);
    }
    // Regular mode: the defender's groups [first, end).
    const THitDistribution& Of(const battle::TDefenderStep& step, int first, int end)
    {
        TFire f;
        battle::CollectFire(f, [&](auto&& g) { step.Groups(g); });
        return Cache_.Fire(f, first, end);
    }
    const THitDistribution& LowLuck(int32_t strength)
    {
        auto [it, added] = LowLuck_.try_emplace(strength);
        if (added) it->second = LowLuckHitDistribution(strength);
        return it->second;
    }
    size_t Bytes() const { return Cache_.Bytes() + LowLuck_.size() * 96; }

private:
    // Node-based maps: a distribution handed out stays where it is while
    // others are added.
    THitCache Cache_;
    std::unordered_map<int32_t, THitDistribution> LowLuck_;
};

// What a calculation holds, by holder, for the memory cap.
enum class THolder { Pool, Terminal, Grid, Hits, Count };

class TShared {
public:
    TShared(const TBattleSetupRec& setup, const std::atomic<bool>* cancel, const TExactLimits& limits)
        : Setup(setup), Limits(limits), RoundByRound(!setup.AllRounds), Cancel_(cancel)
    {
        battle::MakeRules(setup, R);
    }

    const TBattleSetupRec& Setup;
    battle::TRules R;
    const TExactLimits& Limits;
    // A round limit: states are held and worked round by round.
    const bool RoundByRound;
    // Whether the battle is large enough for threads to pay (set once its
    // work has been estimated); small ones run on the calling thread alone.
    bool Threads = false;

    // Throws TRefused when cancelled or past a limit; safe from any thread.
    void Poll() const
    {
        if (Cancel_ && Cancel_->load(std::memory_order_relaxed)) throw TRefused{TExactStatus::Cancelled, {}};
        size_t bytes = 0;
        for (const auto& b : Bytes_) bytes += b.load(std::memory_order_relaxed);
        if (bytes > Limits.MaxStateBytes)
            throw TRefused{TExactStatus::TooLarge, "the battle needs more than " +
                                                       std::to_string(Limits.MaxStateBytes >> 20) + " MiB of memory"};
        if (Work_.load(std::memory_order_relaxed) > Limits.MaxWork)
            throw TRefused{TExactStatus::TooLarge, "the battle takes more work than the exact odds allow"};
    }
    void AddWork(double work) { Work_.fetch_add(work, std::memory_order_relaxed); }
    void Hold(THolder holder, size_t bytes) { Bytes_[static_cast<int>(holder)].store(bytes, std::memory_order_relaxed); }

    // Called in a fixed order (never from two threads at once).
    void AddTerminal(const TKey& key, double mass)
    {
        Terminal[key] += mass;
        AddWork(EndStateWork);
    }
    void Add(const TTally& tally) { Tally.Add(tally); }

    // The end states reached. Their nodes come from one arena, given back at
    // once when the calculation ends (also when it is cancelled): a million of
    // them freed one by one would hold a cancel up.
    std::pmr::monotonic_buffer_resource TerminalArena;
    std::pmr::unordered_map<TKey, double, TKeyHash> Terminal{&TerminalArena};
    TTally Tally;

private:
    const std::atomic<bool>* Cancel_;
    std::atomic<double> Work_{0};
    std::atomic<size_t> Bytes_[static_cast<int>(THolder::Count)] = {};
};

// Bytes an unordered map holds for each entry (node, hash, bucket).
template <class Map>
constexpr size_t EntryBytes()
{
    return sizeof(typename Map::value_type) + 3 * sizeof(void*);
}

}  // namespace exact
