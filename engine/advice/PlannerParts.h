#pragma once
// The planner's pieces of work: what it keeps of one calculation, how it
// chooses among kill orders, and the watch that stops its calculations when
// the caller cancels or the time is up. For the planner alone.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/advice/Planner.h"

namespace planner {

using TClock = std::chrono::steady_clock;

// Swings this close are the same figure written by two ways of summing; a
// kill order that changes nothing gives bit-identical figures.
constexpr double SwingTie = 1e-9;
// A probability out of [0, 1] by no more than this is rounding, and clamped;
// anything further out is a failed calculation.
constexpr double BoundSlack = 1e-9;
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

// A probability within its bounds: rounding is clamped, anything more is a fault.
inline bool Bounded(double& p)
{
    if (!(p >= -BoundSlack && p <= 1 + BoundSlack)) return false;
    p = std::clamp(p, 0.0, 1.0);
    return true;
}

// An order with its figures and the number of kinds it ranks otherwise than
// the current order does.
struct TCandidate {
    TOrderLine Line;
    TFigures Figures;
    int Changes = 0;
};

// Of the candidates worked out, the best for a side whose highest goal seen
// is `highest`: a goal within OrderGoalTie of it, then the better swing, then
// the fewer changes, then the earlier. Returns the index, or -1 when none
// was worked out.
inline int Choose(const std::vector<TCandidate>& candidates, double highest)
{
    int best = -1;
    for (size_t i = 0; i < candidates.size(); ++i) {
        const TCandidate& c = candidates[i];
        if (!c.Figures.Done() || c.Line.Probability < highest - OrderGoalTie) continue;
        if (best < 0) {
            best = int(i);
            continue;
        }
        const TCandidate& b = candidates[size_t(best)];
        if (std::abs(c.Line.Swing - b.Line.Swing) > SwingTie ? c.Line.Swing > b.Line.Swing : c.Changes < b.Changes)
            best = int(i);
    }
    return best;
}

// Sets `stop` when the caller cancels or the time is up, within milliseconds:
// the calculations under way poll it.
class TWatch {
public:
    TWatch(const std::atomic<bool>* cancel, TClock::time_point deadline, std::atomic<bool>& stop,
           std::atomic<bool>& timeUp)
    {
        try {
            Thread = std::thread([=, this, &stop, &timeUp] {
                std::unique_lock<std::mutex> lock(Lock);
                while (!Finished) {
                    if (cancel && cancel->load(std::memory_order_relaxed)) {
                        stop.store(true);
                        return;
                    }
                    if (TClock::now() >= deadline) {
                        timeUp.store(true);
                        stop.store(true);
                        return;
                    }
                    Wake.wait_for(lock, std::chrono::milliseconds(2));
                }
            });
        } catch (const std::system_error&) {
            // No thread: the planner still looks at the clock and the cancel
            // between its calculations.
        }
    }
    ~TWatch()
    {
        {
            const std::lock_guard<std::mutex> lock(Lock);
            Finished = true;
        }
        Wake.notify_all();
        if (Thread.joinable()) Thread.join();
    }

private:
    std::mutex Lock;
    std::condition_variable Wake;
    bool Finished = false;
    std::thread Thread;
};

}  // namespace planner
