#include "engine/advice/Planner.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>

#include "engine/parallel/Parallel.h"

namespace {

// Two exact figures this close are the same figure written by two ways of
// summing; a kill order that changes nothing gives bit-identical figures.
constexpr double ProbabilityTie = 1e-12;
constexpr double SwingTie = 1e-9;
// Largest number of kinds whose orders are all tried (6! = 720).
constexpr int ExhaustiveKinds = 6;
// Rounds of the retreat table worked out side by side.
constexpr int RetreatBatch = 4;

// What the planner keeps of one calculation.
struct TFigures {
    TExactStatus Status = TExactStatus::Failed;
    std::string Reason;
    double AttGoal = 0;   // the attacker's goal
    double AttSwing = 0;  // the defender's expected IPC loss less the attacker's
    double StillOn = 0;   // ended by the round limit

    bool Done() const { return Status == TExactStatus::Done; }
    double Goal(bool attacker) const { return attacker ? AttGoal : 1.0 - AttGoal; }
    double Swing(bool attacker) const { return attacker ? AttSwing : -AttSwing; }
};

int32_t* Counts(TBattleSetupRec& s, bool attacker) { return attacker ? s.AttCount : s.DefCount; }
const int32_t* Counts(const TBattleSetupRec& s, bool attacker) { return attacker ? s.AttCount : s.DefCount; }
int32_t* Ranks(TBattleSetupRec& s, bool attacker) { return attacker ? s.AttOrder : s.DefOrder; }
const int32_t* Ranks(const TBattleSetupRec& s, bool attacker) { return attacker ? s.AttOrder : s.DefOrder; }
int Kinds(bool attacker) { return attacker ? AttKinds : DefKinds; }

// An order with its figures and the number of kinds it ranks otherwise than
// the current order does.
struct TCandidate {
    TOrderLine Line;
    TFigures Figures;
    int Changes = 0;
};

// Higher goal first, then the higher swing, then the fewer changes.
bool Better(const TCandidate& a, const TCandidate& b)
{
    if (std::abs(a.Line.Probability - b.Line.Probability) > ProbabilityTie)
        return a.Line.Probability > b.Line.Probability;
    if (std::abs(a.Line.Swing - b.Line.Swing) > SwingTie) return a.Line.Swing > b.Line.Swing;
    return a.Changes < b.Changes;
}

class TPlanner {
public:
    TPlanner(const TBattleSetupRec& setup, const TPlanOptions& options, const std::atomic<bool>* cancel)
        : Setup(setup), Options(options), Cancel(cancel), Land(IsLandBattle(setup))
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
    TBattlePlan Plan;
    TFigures Base;
    std::mutex Lock;  // guards Plan while parts finish side by side

    bool Cancelled() const { return Cancel && Cancel->load(std::memory_order_relaxed); }
    TFigures Evaluate(const TBattleSetupRec& setup) const;
    void Publish();

    void Bring(bool attacker, int slot, TBringLine& line) const;
    void BringTables();
    void BestOrder(bool attacker);
    void Retreat();
};

TFigures TPlanner::Evaluate(const TBattleSetupRec& setup) const
{
    TFigures f;
    if (Cancelled()) {
        f.Status = TExactStatus::Cancelled;
        return f;
    }
    const TExactOdds odds = Options.Calculation ? Options.Calculation(setup, Cancel) : ComputeExactOdds(setup, Cancel);
    f.Status = odds.Status;
    f.Reason = odds.Reason;
    if (!f.Done()) return f;
    f.AttGoal = AttackerGoal(odds, Land);
    f.AttSwing = odds.AvgDefIPCLoss - odds.AvgAttIPCLoss;
    f.StillOn = odds.BothRemain;
    return f;
}

// Called with Lock held.
void TPlanner::Publish()
{
    ++Plan.PartsDone;
    if (Options.Progress && !Cancelled()) Options.Progress(Plan);
}

// The fewest extra units of one kind that bring the side's goal to the target.
//
// Without withdrawal the goal is taken to rise with the count from the first
// extra unit on: another unit adds its fire and takes a hit in its turn, and
// no rule counts units. What a first unit of a kind may change (whether the
// battle is fought on land, whether submarines face only aircraft) lies
// between 0 and 1 extra units, and 1 is always tried. So the smallest count is
// found by doubling until the target is reached (or the odds refuse) and then
// halving the last step: some 2 log2(n) calculations instead of n.
// Withdrawal thresholds do count units, and an extra unit can make a side
// pull back sooner; there every count is tried in turn from 1 upwards.
void TPlanner::Bring(bool attacker, int slot, TBringLine& line) const
{
    const double target = Plan.Target;
    TBattleSetupRec s = Setup;
    const int32_t have = Counts(Setup, attacker)[slot];
    const int32_t most = MaxCount - have;
    // Reached: figures of a calculation that reached the target; refused: no figures.
    enum class TVerdict { Short, Reached, Refused };
    auto probe = [&](int32_t n, double& probability) {
        Counts(s, attacker)[slot] = have + n;
        const TFigures f = Evaluate(s);
        if (!f.Done()) return TVerdict::Refused;
        probability = f.Goal(attacker);
        return probability >= target ? TVerdict::Reached : TVerdict::Short;
    };
    auto reach = [&](int32_t n, double probability) {
        line.Reached = true;
        line.Count = n;
        line.Probability = probability;
    };

    if (Base.Goal(attacker) >= target) return reach(0, Base.Goal(attacker));
    // Taking a territory needs a land unit: without one, no number of other
    // units gets there (and with withdrawal, trying them all would be long).
    if (attacker && Land && slot != aINF && slot != aARM && Setup.AttCount[aINF] + Setup.AttCount[aARM] == 0) return;
    if (Setup.Withdrawal) {
        for (int32_t n = 1; n <= most; ++n) {
            double p = 0;
            const TVerdict v = probe(n, p);
            if (v == TVerdict::Reached) return reach(n, p);
            if (v == TVerdict::Refused) return;
        }
        return;
    }
    // Short at lo; reached or refused at hi.
    int32_t lo = 0, hi = -1;
    for (int32_t n = 1; n <= most && hi < 0; n = n >= most ? most + 1 : std::min(2 * n, most)) {
        double p = 0;
        const TVerdict v = probe(n, p);
        if (v == TVerdict::Reached) reach(n, p);
        if (v == TVerdict::Short) lo = n;
        else hi = n;
    }
    while (hi - lo > 1) {
        const int32_t mid = lo + (hi - lo) / 2;
        double p = 0;
        const TVerdict v = probe(mid, p);
        if (v == TVerdict::Reached) reach(mid, p);
        if (v == TVerdict::Short) lo = mid;
        else hi = mid;
    }
}

void TPlanner::BringTables()
{
    // Each kind that its side may add here: its count is open for this
    // battle and the kind fires (the attacker's transports do not).
    struct TJob {
        bool Attacker;
        int Slot;
    };
    std::vector<TJob> jobs;
    for (const bool attacker : {true, false})
        for (int k = 0; k < Kinds(attacker); ++k) {
            const TCountRule rule = attacker ? AttCountRule[k] : DefCountRule[k];
            const int32_t value = attacker ? Setup.AttValue[k] : Setup.DefValue[k];
            if (CountAvailable(rule, Setup) && value > 0) jobs.push_back({attacker, k});
        }
    // Each line goes to its side's table as soon as it is known, in its
    // final place: cheapest first, reachable before unreachable, then by slot.
    auto before = [](const TBringLine& a, const TBringLine& b) {
        if (a.Reached != b.Reached) return a.Reached;
        return a.IPC != b.IPC ? a.IPC < b.IPC : a.Slot < b.Slot;
    };
    ForEachIndex(jobs.size(), true, [&](size_t i) {
        const bool attacker = jobs[i].Attacker;
        TBringLine line;
        line.Slot = jobs[i].Slot;
        line.Kind = attacker ? AttKindOrder[line.Slot] : DefKindOrder[line.Slot];
        Bring(attacker, line.Slot, line);
        if (line.Reached) line.IPC = int64_t{line.Count} * (attacker ? Setup.AttIPC : Setup.DefIPC)[line.Slot];
        if (Cancelled()) return;
        const std::lock_guard<std::mutex> lock(Lock);
        std::vector<TBringLine>& side = (attacker ? Plan.Attacker : Plan.Defender).Bring;
        side.insert(std::upper_bound(side.begin(), side.end(), line, before), line);
        if (Options.Progress) Options.Progress(Plan);  // lines as they are ready
    });
    if (Cancelled()) return;

    const std::lock_guard<std::mutex> lock(Lock);
    Plan.Attacker.BringDone = Plan.Defender.BringDone = true;
    Publish();
}

// The kill order that serves the side's goal best. Only the order among the
// kinds the side has matters: those kinds trade the ranks they hold, and the
// absent kinds keep theirs.
void TPlanner::BestOrder(bool attacker)
{
    const int kinds = Kinds(attacker);
    const int32_t* current = Ranks(Setup, attacker);
    std::vector<int> present;  // slots, by current rank
    for (int k = 0; k < kinds; ++k)
        if (Counts(Setup, attacker)[k] > 0) present.push_back(k);
    std::sort(present.begin(), present.end(), [&](int a, int b) { return current[a] < current[b]; });
    std::vector<int32_t> held(present.size());
    for (size_t i = 0; i < present.size(); ++i) held[i] = current[present[i]];

    TCandidate now;
    std::copy(current, current + kinds, now.Line.Ranks);
    now.Figures = Base;
    now.Line.Probability = Base.Goal(attacker);
    now.Line.Swing = Base.Swing(attacker);

    // Works out the candidates side by side and keeps the best, the earliest
    // of equals: the same answer on any number of threads.
    auto best = [&](std::vector<TCandidate>& candidates, TCandidate& winner) {
        ForEachIndex(candidates.size(), true, [&](size_t i) {
            TCandidate& c = candidates[i];
            TBattleSetupRec s = Setup;
            std::copy(c.Line.Ranks, c.Line.Ranks + kinds, Ranks(s, attacker));
            c.Figures = Evaluate(s);
            c.Line.Probability = c.Figures.Goal(attacker);
            c.Line.Swing = c.Figures.Swing(attacker);
            for (int k = 0; k < kinds; ++k) c.Changes += c.Line.Ranks[k] != current[k];
        });
        for (const TCandidate& c : candidates)
            if (c.Figures.Done() && Better(c, winner)) winner = c;
    };

    TCandidate winner = now;
    bool exhaustive = true;
    if (present.size() <= ExhaustiveKinds) {
        std::vector<int> perm(present.size());
        std::iota(perm.begin(), perm.end(), 0);
        std::vector<TCandidate> candidates;
        do {
            TCandidate c;
            std::copy(current, current + kinds, c.Line.Ranks);
            for (size_t i = 0; i < perm.size(); ++i) c.Line.Ranks[present[perm[i]]] = held[i];
            if (!std::equal(c.Line.Ranks, c.Line.Ranks + kinds, current)) candidates.push_back(c);
        } while (std::next_permutation(perm.begin(), perm.end()));
        best(candidates, winner);
    } else {
        // Too many orders to try them all: take the best swap of two kinds
        // for as long as one helps. Every step raises the goal or the swing,
        // so this ends; the cap only guards against a drift within the ties.
        exhaustive = false;
        for (int step = 0; step < 100 && !Cancelled(); ++step) {
            std::vector<TCandidate> candidates;
            for (size_t i = 0; i < present.size(); ++i)
                for (size_t j = i + 1; j < present.size(); ++j) {
                    TCandidate c;
                    std::copy(winner.Line.Ranks, winner.Line.Ranks + kinds, c.Line.Ranks);
                    std::swap(c.Line.Ranks[present[i]], c.Line.Ranks[present[j]]);
                    candidates.push_back(c);
                }
            TCandidate next = winner;
            best(candidates, next);
            const bool helps = next.Line.Probability > winner.Line.Probability + ProbabilityTie ||
                               (std::abs(next.Line.Probability - winner.Line.Probability) <= ProbabilityTie &&
                                next.Line.Swing > winner.Line.Swing + SwingTie);
            if (!helps) break;
            winner = next;
        }
    }
    if (Cancelled()) return;

    const std::lock_guard<std::mutex> lock(Lock);
    TSidePlan& side = attacker ? Plan.Attacker : Plan.Defender;
    side.CurrentOrder = now.Line;
    side.BestOrder = winner.Line;
    side.Exhaustive = exhaustive;
    side.OrderDone = true;
    Publish();
}

// Pulling back after round r is the same battle with a round limit of r.
void TPlanner::Retreat()
{
    const int32_t last = Setup.AllRounds ? MaxCount : Setup.Rounds - 1;
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
        if (Cancelled()) return;
        const std::lock_guard<std::mutex> lock(Lock);
        for (int i = 0; i < count && more; ++i) {
            const TFigures& f = figures[static_cast<size_t>(i)];
            more = f.Done() && f.StillOn >= MinRetreatStillOn;
            if (more) Plan.Retreat.push_back({first + i, f.StillOn, f.AttGoal, f.AttSwing});
        }
        if (more && Options.Progress && !Cancelled()) Options.Progress(Plan);  // lines as they are ready
    }

    const std::lock_guard<std::mutex> lock(Lock);
    Plan.EndSwing = Base.AttSwing;
    double bestSwing = Base.AttSwing;
    for (const TRetreatLine& line : Plan.Retreat)
        if (line.Swing > bestSwing + SwingTie) {
            bestSwing = line.Swing;
            Plan.BestRetreatRound = line.Round;
        }
    Plan.RetreatDone = true;
    Publish();
}

TBattlePlan TPlanner::Run()
{
    if (Setup.Empty()) {
        Plan.Attacker.BringDone = Plan.Defender.BringDone = true;
        Plan.Attacker.OrderDone = Plan.Defender.OrderDone = Plan.RetreatDone = true;
        Plan.PartsDone = PlanParts;
        return Plan;
    }
    Base = Evaluate(Setup);
    if (Base.Status == TExactStatus::Cancelled || Cancelled()) {
        Plan.Status = TPlanStatus::Cancelled;
        return Plan;
    }
    if (!Base.Done()) {
        Plan.Status = TPlanStatus::TooLarge;
        Plan.Reason = Base.Reason;
        return Plan;
    }
    {
        const std::lock_guard<std::mutex> lock(Lock);
        Plan.Attacker.Probability = Base.Goal(true);
        Plan.Defender.Probability = Base.Goal(false);
        Publish();
    }
    BringTables();
    // Both sides' orders and the retreat table side by side.
    if (!Cancelled()) ForEachIndex(3, true, [this](size_t part) {
        if (part < 2) BestOrder(part == 0);
        else Retreat();
    });
    if (Cancelled()) Plan.Status = TPlanStatus::Cancelled;
    return Plan;
}

}  // namespace

TBattlePlan PlanBattle(const TBattleSetupRec& setup, const TPlanOptions& options, const std::atomic<bool>* cancel)
{
    TPlanner planner(setup, options, cancel);
    return planner.Run();
}

double AttackerGoal(const TExactOdds& odds, bool land) { return land ? odds.Taken : odds.AttWins; }

const char* AttackerGoalName(bool land) { return land ? "Take the territory" : "Win the battle"; }
const char* DefenderGoalName() { return "Hold"; }

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
