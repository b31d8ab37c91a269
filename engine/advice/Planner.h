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
// Rounds after which the battle is still on with less than this are not listed.
constexpr double MinRetreatStillOn = 0.001;

enum class TPlanStatus : uint8_t { Done, TooLarge, Cancelled };

// One kind a side may add: the fewest extra units that reach the target.
struct TBringLine {
    int Slot = 0;            // in the side's slot order
    TUnitKind Kind = TUnitKind::INF;
    bool Reached = false;    // false: not even 999 in all get there, or the odds were refused
    int32_t Count = 0;       // extra units (when reached)
    int64_t IPC = 0;         // their cost (when reached)
    double Probability = 0;  // the goal probability with them (when reached)
};

// A kill order with its figures. Ranks by slot, rank 1 lost first.
struct TOrderLine {
    int32_t Ranks[DefKinds] = {};
    double Probability = 0;  // the side's goal
    double Swing = 0;        // the enemy's expected IPC loss less the side's own
};

struct TSidePlan {
    double Probability = 0;              // the goal as the battle stands
    bool BringDone = false;              // every kind's line is in
    std::vector<TBringLine> Bring;       // cheapest first; unreachable kinds last
    bool OrderDone = false;
    TOrderLine CurrentOrder;
    TOrderLine BestOrder;
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
    std::string Reason;  // why a battle was too large to plan
    double Target = 0.9;
    bool Land = false;
    TSidePlan Attacker;
    TSidePlan Defender;
    bool RetreatDone = false;
    std::vector<TRetreatLine> Retreat;
    int32_t BestRetreatRound = 0;  // 0: fighting to the end has the best swing
    double EndSwing = 0;           // the attacker's swing fighting to the end
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
    // Called, one call at a time, on a thread of the planner's whenever a line
    // or a part of the plan is finished; the "What to bring" lines come first.
    std::function<void(const TBattlePlan&)> Progress;
    TPlanCalculation Calculation;  // empty: ComputeExactOdds
};

// Plans the setup on all cores. Results do not depend on the number of
// threads. `cancel` is passed into every calculation and checked between
// them; a cancelled plan has status Cancelled. An empty setup is no battle
// and gives an empty plan (Done).
TBattlePlan PlanBattle(const TBattleSetupRec& setup, const TPlanOptions& options = {},
                       const std::atomic<bool>* cancel = nullptr);

// The goal probabilities of one calculation of a battle of the planned kind.
double AttackerGoal(const TExactOdds& odds, bool land);
inline double DefenderGoal(const TExactOdds& odds, bool land) { return 1.0 - AttackerGoal(odds, land); }

// Goal names: "Take the territory" / "Win the battle", "Hold".
const char* AttackerGoalName(bool land);
const char* DefenderGoalName();

// A side's order as --att-order / --def-order take it: codes first lost first.
std::string OrderText(bool attacker, const int32_t* ranks);
