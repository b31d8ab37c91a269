#pragma once
// The battle planner: what each side must bring to reach a goal, which kill
// order serves its goal best, and after which round the attacker does best to
// pull back. Every figure is an exact calculation (ComputeExactOdds) of a
// variant of the battle; nothing is estimated with dice.
//
// Goals: in a land battle the attacker means to take the territory, in any
// other battle to win it; the defender's goal, holding, is the complement.
// The goal is the planned battle's: a unit that would make an air battle a
// land battle is still measured against winning it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/exact/Exact.h"
#include "model/BattleSetup.h"

constexpr double MinPlanTarget = 0.01;
constexpr double MaxPlanTarget = 0.999;
// A goal this close below the target reaches it: exact figures carry the
// rounding of their sums (4/5 may come out as 0.7999999999999999).
constexpr double PlanTargetTolerance = 1e-9;
// Extra units of one kind tried, one count after another from 1.
constexpr int32_t MaxBringExtra = 64;
// The time a plan may take by default, in seconds.
constexpr double DefaultPlanSeconds = 10;
// Kill orders whose goals lie within 0.01 percentage points count as equal;
// the better swing decides between them.
constexpr double OrderGoalTie = 1e-4;
// Rounds after which the battle is still on with less than this are not listed.
constexpr double MinRetreatStillOn = 0.001;

// Failed: an exact calculation of the plan broke one of its own invariants;
// no figure of the plan is to be shown.
enum class TPlanStatus : uint8_t { Done, TooLarge, Cancelled, Failed };

// What one "What to bring" line found.
enum class TBringResult : uint8_t {
    Reached,    // Count extra units reach the target, and no fewer do
    NotWithin,  // no count up to Count reaches it
    TooLarge,   // the battle with Count extra units (and no fewer reached) was too large to work out
    OutOfTime,  // the plan's time ran out before the line was settled
};

// One kind a side may add: the fewest extra units that reach the target.
struct TBringLine {
    int Slot = 0;            // in the side's slot order
    TUnitKind Kind = TUnitKind::INF;
    TBringResult Result = TBringResult::NotWithin;
    int32_t Count = 0;       // Reached: extra units; NotWithin: the most tried; TooLarge: the count refused
    int64_t IPC = 0;         // their cost (when reached)
    double Probability = 0;  // the goal probability with them (when reached)
    bool Reached() const { return Result == TBringResult::Reached; }
};

// How a part of the plan (a side's order, the retreat table) ended.
enum class TPartEnd : uint8_t { Complete, TooLarge, OutOfTime };

// A kill order with its figures. Ranks by slot, rank 1 lost first.
struct TOrderLine {
    int32_t Ranks[DefKinds] = {};
    double Probability = 0;  // the side's goal
    double Swing = 0;        // the enemy's expected IPC loss less the side's own
};

struct TSidePlan {
    double Probability = 0;              // the goal as the battle stands
    bool TargetMet = false;              // no line to bring: the goal is reached already
    bool BringDone = false;              // every kind's line is in
    std::vector<TBringLine> Bring;       // reached lines cheapest first, then the others by slot
    bool OrderDone = false;              // the order part is settled (OrderEnd says how)
    TPartEnd OrderEnd = TPartEnd::Complete;
    TOrderLine CurrentOrder;
    TOrderLine BestOrder;                // when OrderEnd is Complete
    bool Exhaustive = true;              // every order tried; false: best found by swaps
};

// Pulling back after `Round`: the same battle with that round limit.
struct TRetreatLine {
    int32_t Round = 0;
    double StillOn = 0;      // the battle is not over after this round
    double Probability = 0;  // the attacker's goal
    double Swing = 0;        // the attacker's
};

struct TBattlePlan {
    TPlanStatus Status = TPlanStatus::Done;
    std::string Reason;  // why a battle was too large to plan, or how a calculation failed
    double Target = 0.9;
    bool Land = false;
    TSidePlan Attacker;
    TSidePlan Defender;
    bool RetreatDone = false;  // the table is settled (RetreatEnd says how)
    TPartEnd RetreatEnd = TPartEnd::Complete;
    std::vector<TRetreatLine> Retreat;
    // Rows of a complete table, 0 for fighting to the end: the attacker's
    // highest goal, and the best swing (the least IPC lost on balance).
    int32_t HighestChanceRound = 0;
    int32_t LeastLossRound = 0;
    double EndSwing = 0;  // the attacker's swing fighting to the end
    // Parts finished, of PlanParts.
    int PartsDone = 0;
};
// Parts of a plan: the battle as it stands, the kinds to bring, each side's
// order, the retreat table.
constexpr int PlanParts = 5;

// Calculations of the planner; tests count them, the default is ComputeExactOdds.
using TPlanCalculation = std::function<TExactOdds(const TBattleSetupRec&, const std::atomic<bool>* cancel)>;

struct TPlanOptions {
    double Target = 0.9;  // clamped to MinPlanTarget..MaxPlanTarget
    // The time budget, counted from the start: what is not settled by then
    // says so, and the rest of the plan stands. The battle as it stands is
    // always worked out.
    double Seconds = DefaultPlanSeconds;
    int32_t MaxExtra = MaxBringExtra;  // counts tried per kind (tests make it small)
    // Called, one call at a time, on a thread of the planner's whenever a line
    // or a part of the plan is finished.
    std::function<void(const TBattlePlan&)> Progress;
    TPlanCalculation Calculation;  // empty: ComputeExactOdds
};

// Plans the setup on all cores. Results do not depend on the number of
// threads (only on how much is settled within the time budget). `cancel` is passed into every calculation and checked between
// them; a cancelled plan has status Cancelled. A calculation that fails
// anywhere makes the plan Failed; the battle itself too large makes it
// TooLarge. An empty setup is no battle and gives an empty plan (Done).
TBattlePlan PlanBattle(const TBattleSetupRec& setup, const TPlanOptions& options = {},
                       const std::atomic<bool>* cancel = nullptr);

// The goal probabilities of one calculation of a battle of the planned kind,
// within [0, 1].
double AttackerGoal(const TExactOdds& odds, bool land);
inline double DefenderGoal(const TExactOdds& odds, bool land) { return 1.0 - AttackerGoal(odds, land); }
// Whether a goal reaches the target, within PlanTargetTolerance.
inline bool ReachesTarget(double goal, double target) { return goal >= target - PlanTargetTolerance; }

// Goal names: "Take the territory" / "Win the battle", "Hold".
const char* AttackerGoalName(bool land);
const char* DefenderGoalName();

// What a "What to bring" line says: "reached with +3", "not within +64",
// "too large to work out", "not worked out in time".
std::string BringText(const TBringLine& line);
// What stands in place of a part that did not complete.
const char* PartEndText(TPartEnd end);
// The marks of the retreat table's rows.
constexpr const char* HighestChanceMark = "highest chance";
constexpr const char* LeastLossMark = "least IPC lost";

// A side's order as --att-order / --def-order take it: codes first lost first.
std::string OrderText(bool attacker, const int32_t* ranks);
