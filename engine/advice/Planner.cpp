#include "engine/advice/Planner.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>

#include <tbb/global_control.h>

#include "engine/advice/PlannerParts.h"
#include "engine/battle/BattleRules.h"
#include "engine/battle/Casualties.h"
#include "engine/parallel/Parallel.h"

namespace {

using namespace planner;

int32_t* Counts(TBattleSetupRec& s, bool attacker) { return attacker ? s.AttCount : s.DefCount; }
const int32_t* Counts(const TBattleSetupRec& s, bool attacker) { return attacker ? s.AttCount : s.DefCount; }
int32_t* Ranks(TBattleSetupRec& s, bool attacker) { return attacker ? s.AttOrder : s.DefOrder; }
const int32_t* Ranks(const TBattleSetupRec& s, bool attacker) { return attacker ? s.AttOrder : s.DefOrder; }
int Kinds(bool attacker) { return attacker ? AttKinds : DefKinds; }

class TPlanner {
public:
    TPlanner(const TBattleSetupRec& setup, const TPlanOptions& options, const std::atomic<bool>* cancel)
        : Setup(setup), Options(options), Cancel(cancel), Land(IsLandBattle(setup)),
          Deadline(TClock::now() + std::chrono::duration_cast<TClock::duration>(
                                       std::chrono::duration<double>(std::clamp(options.Seconds, 0.0, 1e6))))
    {
        Plan.Target = std::clamp(options.Target, MinPlanTarget, MaxPlanTarget);
        Plan.Land = Land;
    }

    TBattlePlan Run();

private:
    const TBattleSetupRec& Setup;
    const TPlanOptions& Options;
    const std::atomic<bool>* Cancel;
    const bool Land;
    const TClock::time_point Deadline;
    TBattlePlan Plan;
    TFigures Base;
    std::mutex Lock;  // guards Plan while parts finish side by side
    // Set when the caller cancels, the time is up or a calculation failed:
    // every calculation under way polls it.
    std::atomic<bool> Stop{false};
    std::atomic<bool> TimeUp{false};
    std::mutex FailLock;
    std::string Failure;  // the first failed calculation's reason

    bool Cancelled() const { return Cancel && Cancel->load(std::memory_order_relaxed); }
    bool Failed()
    {
        const std::lock_guard<std::mutex> lock(FailLock);
        return !Failure.empty();
    }
    // Nothing more is to be worked out.
    bool Stopped()
    {
        if (!Stop.load(std::memory_order_relaxed) && (Cancelled() || TClock::now() >= Deadline)) {
            if (!Cancelled()) TimeUp.store(true);
            Stop.store(true);
        }
        return Stop.load(std::memory_order_relaxed);
    }
    // Progress is posted until the plan is cancelled or has failed (a plan
    // out of time still shows what it settles).
    bool Posting() { return Options.Progress && !Cancelled() && !Failed(); }
    void Fail(const std::string& reason);
    TFigures Evaluate(const TBattleSetupRec& setup, const std::atomic<bool>* cancel);
    TFigures Evaluate(const TBattleSetupRec& setup) { return Evaluate(setup, &Stop); }
    void Publish();

    bool CanReach(bool attacker, int slot, int32_t most) const;
    void BringTables();
    void BestOrder(bool attacker);
    void Retreat();
};

void TPlanner::Fail(const std::string& reason)
{
    {
        const std::lock_guard<std::mutex> lock(FailLock);
        if (Failure.empty()) Failure = reason.empty() ? std::string("the calculation failed") : reason;
    }
    Stop.store(true);
}

TFigures TPlanner::Evaluate(const TBattleSetupRec& setup, const std::atomic<bool>* cancel)
{
    TFigures f;
    if (cancel == &Stop && Stopped()) {
        f.Status = TExactStatus::Cancelled;
        return f;
    }
    const TExactOdds odds = Options.Calculation ? Options.Calculation(setup, cancel) : ComputeExactOdds(setup, cancel);
    f.Status = odds.Status;
    f.Reason = odds.Reason;
    if (f.Status == TExactStatus::Failed) Fail(odds.Reason);
    if (!f.Done()) return f;
    f.AttGoal = Land ? odds.Taken : odds.AttWins;
    f.StillOn = odds.BothRemain;
    f.AttSwing = odds.AvgDefIPCLoss - odds.AvgAttIPCLoss;
    if (!Bounded(f.AttGoal) || !Bounded(f.StillOn) || !std::isfinite(f.AttSwing)) {
        f.Status = TExactStatus::Failed;
        Fail("a figure out of its bounds (goal " + std::to_string(f.AttGoal) + ", still on " +
             std::to_string(f.StillOn) + ")");
    }
    return f;
}

// Called with Lock held.
void TPlanner::Publish()
{
    ++Plan.PartsDone;
    if (Posting()) Options.Progress(Plan);
}

// Whether any number of the kind could reach the attacker's goal at all:
// taking a territory needs a ground unit left, and a kind that is none adds
// no ground unit.
bool TPlanner::CanReach(bool attacker, int slot, int32_t most) const
{
    if (!attacker) return true;
    int32_t left[AttKinds];
    std::copy(Setup.AttCount, Setup.AttCount + AttKinds, left);
    left[slot] += most;
    return TakesTerritory(Land, true, left);
}

// "What to bring": for each kind, the fewest extra units that reach the
// side's goal. The goal need not rise as units are added (submarines that
// must leave once the last ships are sunk, low luck's rule for submarines,
// an AA shot for every aircraft, a withdrawal threshold that counts units),
// so the counts are tried in order from 1 until the first that reaches it.
// Every open line takes a few counts at a time, all of them side by side;
// a count past a line's answer is worked out for nothing, never taken.
void TPlanner::BringTables()
{
    struct TScan {
        bool Attacker;
        TBringLine Line;
        int32_t Most;      // the last count to try
        int32_t Next = 1;  // the first count not yet tried
        bool Open = true;
    };
    std::vector<TScan> scans;
    for (const bool attacker : {true, false}) {
        if ((attacker ? Plan.Attacker : Plan.Defender).TargetMet) continue;
        // Each kind that its side may add here: its count is open for this
        // battle, not at its most already, and the kind fires (the
        // attacker's transports do not).
        for (int k = 0; k < Kinds(attacker); ++k) {
            const TCountRule rule = attacker ? AttCountRule[k] : DefCountRule[k];
            const int32_t value = attacker ? Setup.AttValue[k] : Setup.DefValue[k];
            const int32_t most = std::min(Options.MaxExtra, MaxCount - Counts(Setup, attacker)[k]);
            if (!CountAvailable(rule, Setup) || value <= 0 || most < 1) continue;
            TScan scan{attacker, {}, most};
            scan.Line.Slot = k;
            scan.Line.Kind = attacker ? AttKindOrder[k] : DefKindOrder[k];
            scan.Line.Count = most;
            if (!CanReach(attacker, k, scan.Most)) scan.Next = scan.Most + 1;  // settled below, untried
            scans.push_back(scan);
        }
    }

    // Reached lines go to their side's table cheapest first, the others after
    // them by slot: each in its final place as soon as it is known.
    auto before = [](const TBringLine& a, const TBringLine& b) {
        if (a.Reached() != b.Reached()) return a.Reached();
        if (a.Reached() && a.IPC != b.IPC) return a.IPC < b.IPC;
        return a.Slot < b.Slot;
    };
    auto settle = [&](TScan& scan) {
        scan.Open = false;
        TBringLine& line = scan.Line;
        if (line.Reached())
            line.IPC = int64_t{line.Count} * (scan.Attacker ? Setup.AttIPC : Setup.DefIPC)[line.Slot];
        const std::lock_guard<std::mutex> lock(Lock);
        std::vector<TBringLine>& side = (scan.Attacker ? Plan.Attacker : Plan.Defender).Bring;
        side.insert(std::upper_bound(side.begin(), side.end(), line, before), line);
        if (Posting()) Options.Progress(Plan);  // lines as they are ready
    };

    const int threads = int(tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism));
    for (;;) {
        std::vector<size_t> open;
        for (size_t i = 0; i < scans.size(); ++i)
            if (scans[i].Open) {
                if (scans[i].Next > scans[i].Most) settle(scans[i]);  // NotWithin, Count = Most
                else open.push_back(i);
            }
        if (open.empty() || Stopped()) break;
        // Enough counts to keep every core busy, at least two a line.
        const int32_t width = std::max<int32_t>(2, int32_t((2 * threads + open.size() - 1) / open.size()));
        struct TTask {
            size_t Scan;
            int32_t Extra;
            TFigures Figures;
        };
        std::vector<TTask> tasks;
        for (size_t i : open)
            for (int32_t n = scans[i].Next; n <= scans[i].Most && n < scans[i].Next + width; ++n)
                tasks.push_back({i, n, {}});
        ForEachIndex(tasks.size(), true, [&](size_t t) {
            const TScan& scan = scans[tasks[t].Scan];
            TBattleSetupRec s = Setup;
            Counts(s, scan.Attacker)[scan.Line.Slot] += tasks[t].Extra;
            tasks[t].Figures = Evaluate(s);
        });
        if (Failed() || Cancelled()) return;
        // Each line's counts in order: the first that reaches the target or
        // cannot be worked out settles the line.
        for (const TTask& task : tasks) {
            TScan& scan = scans[task.Scan];
            if (!scan.Open || task.Extra != scan.Next) continue;
            const TFigures& f = task.Figures;
            scan.Next = task.Extra + 1;
            if (f.Status == TExactStatus::Cancelled) {
                scan.Line.Result = TBringResult::OutOfTime;
                settle(scan);
            } else if (f.Status == TExactStatus::TooLarge) {
                scan.Line.Result = TBringResult::TooLarge;
                scan.Line.Count = task.Extra;
                settle(scan);
            } else if (ReachesTarget(f.Goal(scan.Attacker), Plan.Target)) {
                scan.Line.Result = TBringResult::Reached;
                scan.Line.Count = task.Extra;
                scan.Line.Probability = f.Goal(scan.Attacker);
                settle(scan);
            }
        }
    }
    if (Failed() || Cancelled()) return;
    for (TScan& scan : scans)
        if (scan.Open) {
            scan.Line.Result = TBringResult::OutOfTime;
            settle(scan);
        }
    const std::lock_guard<std::mutex> lock(Lock);
    Plan.Attacker.BringDone = Plan.Defender.BringDone = true;
    Publish();
}

// The kill order that serves the side's goal best. Only the order among the
// kinds the side has and can lose matters: those kinds trade the ranks they
// hold, and the others keep theirs (a battleship that bombards a landing and
// leaves is never lost).
void TPlanner::BestOrder(bool attacker)
{
    const int kinds = Kinds(attacker);
    const int32_t* current = Ranks(Setup, attacker);
    battle::TState start;
    battle::PrepareStart(Setup, start);
    battle::TState bombarded = start;
    battle::Bombard(bombarded);
    std::vector<int> present;  // slots, by current rank
    for (int k = 0; k < kinds; ++k)
        if (Counts(Setup, attacker)[k] > 0 && !(attacker && bombarded.Att[k] < start.Att[k])) present.push_back(k);
    std::sort(present.begin(), present.end(), [&](int a, int b) { return current[a] < current[b]; });
    std::vector<int32_t> held(present.size());
    for (size_t i = 0; i < present.size(); ++i) held[i] = current[present[i]];

    TCandidate now;
    std::copy(current, current + kinds, now.Line.Ranks);
    now.Figures = Base;
    now.Line.Probability = Base.Goal(attacker);
    now.Line.Swing = Base.Swing(attacker);

    // Works out the candidates side by side; false when one was not worked out in time.
    bool refused = false;
    auto work = [&](std::vector<TCandidate>& candidates) {
        ForEachIndex(candidates.size(), true, [&](size_t i) {
            TCandidate& c = candidates[i];
            TBattleSetupRec s = Setup;
            std::copy(c.Line.Ranks, c.Line.Ranks + kinds, Ranks(s, attacker));
            c.Figures = Evaluate(s);
            c.Line.Probability = c.Figures.Goal(attacker);
            c.Line.Swing = c.Figures.Swing(attacker);
            for (int k = 0; k < kinds; ++k) c.Changes += c.Line.Ranks[k] != current[k];
        });
        for (const TCandidate& c : candidates) {
            if (c.Figures.Status == TExactStatus::Cancelled) return false;
            refused |= c.Figures.Status == TExactStatus::TooLarge;
        }
        return true;
    };
    auto highest = [](const std::vector<TCandidate>& candidates, double p) {
        for (const TCandidate& c : candidates)
            if (c.Figures.Done()) p = std::max(p, c.Line.Probability);
        return p;
    };

    TCandidate winner = now;
    bool exhaustive = true, inTime = true;
    if (present.size() <= ExhaustiveKinds) {
        std::vector<int> perm(present.size());
        std::iota(perm.begin(), perm.end(), 0);
        std::vector<TCandidate> candidates{now};
        do {
            TCandidate c;
            std::copy(current, current + kinds, c.Line.Ranks);
            for (size_t i = 0; i < perm.size(); ++i) c.Line.Ranks[present[perm[i]]] = held[i];
            if (!std::equal(c.Line.Ranks, c.Line.Ranks + kinds, current)) candidates.push_back(c);
        } while (std::next_permutation(perm.begin(), perm.end()));
        std::vector<TCandidate> others(candidates.begin() + 1, candidates.end());
        inTime = work(others);
        std::copy(others.begin(), others.end(), candidates.begin() + 1);
        winner = candidates[size_t(Choose(candidates, highest(candidates, 0)))];
    } else {
        // Too many orders to try them all: take the best swap of two kinds for
        // as long as one helps, measured against the highest goal seen so far
        // (so that ties cannot drift the goal down step by step). The cap only
        // guards against a walk within the ties.
        exhaustive = false;
        double top = now.Line.Probability;
        for (int step = 0; step < 100 && inTime; ++step) {
            std::vector<TCandidate> candidates;
            for (size_t i = 0; i < present.size(); ++i)
                for (size_t j = i + 1; j < present.size(); ++j) {
                    TCandidate c;
                    std::copy(winner.Line.Ranks, winner.Line.Ranks + kinds, c.Line.Ranks);
                    std::swap(c.Line.Ranks[present[i]], c.Line.Ranks[present[j]]);
                    candidates.push_back(c);
                }
            inTime = work(candidates);
            if (!inTime) break;
            candidates.insert(candidates.begin(), winner);
            top = highest(candidates, top);
            const int chosen = Choose(candidates, top);
            if (chosen <= 0) break;
            winner = candidates[size_t(chosen)];
        }
    }
    if (Failed() || Cancelled()) return;

    const std::lock_guard<std::mutex> lock(Lock);
    TSidePlan& side = attacker ? Plan.Attacker : Plan.Defender;
    side.CurrentOrder = now.Line;
    side.BestOrder = inTime ? winner.Line : now.Line;
    side.Exhaustive = exhaustive && !refused;
    side.OrderEnd = inTime ? TPartEnd::Complete : TPartEnd::OutOfTime;
    side.OrderDone = true;
    Publish();
}

// Pulling back after round r is the same battle with a round limit of r.
void TPlanner::Retreat()
{
    const int32_t last = Setup.AllRounds ? MaxCount : Setup.Rounds - 1;
    TPartEnd end = TPartEnd::Complete;
    bool more = true;
    for (int32_t first = 1; more && first <= last; first += RetreatBatch) {
        const int32_t count = std::min(RetreatBatch, last - first + 1);
        std::vector<TFigures> figures(static_cast<size_t>(count));
        ForEachIndex(figures.size(), true, [&](size_t i) {
            TBattleSetupRec s = Setup;
            s.AllRounds = false;
            s.Rounds = first + static_cast<int32_t>(i);
            figures[i] = Evaluate(s);
        });
        if (Failed() || Cancelled()) return;
        const std::lock_guard<std::mutex> lock(Lock);
        for (int i = 0; i < count && more; ++i) {
            const TFigures& f = figures[static_cast<size_t>(i)];
            if (f.Status == TExactStatus::Cancelled) end = TPartEnd::OutOfTime;
            if (f.Status == TExactStatus::TooLarge) end = TPartEnd::TooLarge;
            more = f.Done() && f.StillOn >= MinRetreatStillOn;
            if (more) Plan.Retreat.push_back({first + i, f.StillOn, f.AttGoal, f.AttSwing});
        }
        if (more && Posting()) Options.Progress(Plan);  // lines as they are ready
    }

    const std::lock_guard<std::mutex> lock(Lock);
    Plan.EndSwing = Base.AttSwing;
    Plan.RetreatEnd = end;
    // Fighting to the end unless a round does better; of equal rounds the first.
    double chance = Base.AttGoal, swing = Base.AttSwing;
    for (const TRetreatLine& line : Plan.Retreat) {
        if (line.Probability > chance) {
            chance = line.Probability;
            Plan.HighestChanceRound = line.Round;
        }
        if (line.Swing > swing + SwingTie) {
            swing = line.Swing;
            Plan.LeastLossRound = line.Round;
        }
    }
    Plan.RetreatDone = true;
    Publish();
}

TBattlePlan TPlanner::Run()
{
    // Each side's order as given, whatever the plan comes to.
    for (const bool attacker : {true, false}) {
        TSidePlan& side = attacker ? Plan.Attacker : Plan.Defender;
        std::copy(Ranks(Setup, attacker), Ranks(Setup, attacker) + Kinds(attacker), side.CurrentOrder.Ranks);
        side.BestOrder = side.CurrentOrder;
    }
    if (Setup.Empty()) {
        Plan.Attacker.BringDone = Plan.Defender.BringDone = true;
        Plan.Attacker.OrderDone = Plan.Defender.OrderDone = Plan.RetreatDone = true;
        Plan.PartsDone = PlanParts;
        return Plan;
    }
    // The battle as it stands is worked out whatever the time: without it
    // there is no plan.
    Base = Evaluate(Setup, Cancel);
    auto ended = [&] {
        if (Failed()) {
            Plan.Status = TPlanStatus::Failed;
            Plan.Reason = Failure;
        } else if (Cancelled()) {
            Plan.Status = TPlanStatus::Cancelled;
        } else {
            return false;
        }
        return true;
    };
    if (ended()) return Plan;
    if (!Base.Done()) {
        Plan.Status = Base.Status == TExactStatus::Cancelled ? TPlanStatus::Cancelled : TPlanStatus::TooLarge;
        Plan.Reason = Base.Reason;
        return Plan;
    }
    {
        const std::lock_guard<std::mutex> lock(Lock);
        Plan.Attacker.Probability = Base.Goal(true);
        Plan.Defender.Probability = Base.Goal(false);
        Plan.Attacker.TargetMet = ReachesTarget(Plan.Attacker.Probability, Plan.Target);
        Plan.Defender.TargetMet = ReachesTarget(Plan.Defender.Probability, Plan.Target);
        Publish();
    }
    // The kinds to bring, both sides' orders and the retreat table side by
    // side, so that a plan short of time has something of each.
    {
        const TWatch watch(Cancel, Deadline, Stop, TimeUp);
        ForEachIndex(4, true, [this](size_t part) {
            if (part == 0) BringTables();
            else if (part < 3) BestOrder(part == 1);
            else Retreat();
        });
    }
    ended();
    return Plan;
}

}  // namespace

TBattlePlan PlanBattle(const TBattleSetupRec& setup, const TPlanOptions& options, const std::atomic<bool>* cancel)
{
    TPlanner planner(setup, options, cancel);
    return planner.Run();
}

double AttackerGoal(const TExactOdds& odds, bool land) { return std::clamp(land ? odds.Taken : odds.AttWins, 0.0, 1.0); }

const char* AttackerGoalName(bool land) { return land ? "Take the territory" : "Win the battle"; }
const char* DefenderGoalName() { return "Hold"; }

std::string BringText(const TBringLine& line)
{
    switch (line.Result) {
    case TBringResult::Reached: return "reached with +" + std::to_string(line.Count);
    case TBringResult::NotWithin: return "not within +" + std::to_string(line.Count);
    case TBringResult::TooLarge: return "too large to work out";
    case TBringResult::OutOfTime: return "not worked out in time";
    }
    return {};
}

const char* PartEndText(TPartEnd end)
{
    switch (end) {
    case TPartEnd::Complete: return "";
    case TPartEnd::TooLarge: return "too large to work out";
    case TPartEnd::OutOfTime: return "not worked out in time";
    }
    return "";
}

std::string OrderText(bool attacker, const int32_t* ranks)
{
    const int kinds = Kinds(attacker);
    std::vector<int> slots(static_cast<size_t>(kinds));
    std::iota(slots.begin(), slots.end(), 0);
    std::stable_sort(slots.begin(), slots.end(), [&](int a, int b) { return ranks[a] < ranks[b]; });
    std::string text;
    for (int k : slots) {
        if (!text.empty()) text += ' ';
        text += UnitInfo(attacker ? AttKindOrder[k] : DefKindOrder[k]).Code;
    }
    return text;
}
