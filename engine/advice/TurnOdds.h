#pragma once
// Turn odds: the battles a player fights in one turn, each with its own dice.
// Per battle its exact odds (or, where they refuse, a seeded run), its goal
// as the planner defines it and the distribution of its IPC swing; for the
// turn, the battles being independent, the chance that k goals are met, the
// distribution of the turn's swing (the sum of the battles') and both sides'
// expected IPC losses.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/exact/Exact.h"
#include "model/BattleSetup.h"

// A battle the exact odds refuse is measured by a run of this many battles
// from this seed, so the same turn always gives the same figures.
constexpr int TurnRunBattles = 100000;
constexpr uint32_t TurnRunSeed = 1;
// Shares of the turn's swing below this are dropped (and counted as pruned).
constexpr double TurnShareFloor = 1e-15;

enum class TTurnMethod : uint8_t { Exact, Run };
enum class TTurnStatus : uint8_t { Done, Cancelled, Failed };

struct TBattleOddsOfTurn {
    TTurnStatus Status = TTurnStatus::Done;
    std::string Reason;        // Failed: what the calculation caught; Run: why the exact odds refused
    TTurnMethod Method = TTurnMethod::Exact;
    bool Land = false;         // the goal is to take the territory, else to win
    double Probability = 0;    // of the goal
    double AttIPCLoss = 0;     // expected
    double DefIPCLoss = 0;
    double SwingMean = 0;      // DefIPCLoss - AttIPCLoss
    // The swing (the defender's IPC loss less the attacker's) by end state,
    // in increasing swing; sums to 1 less Pruned.
    std::vector<TExactSwing> Swing;
    double Pruned = 0;         // what the exact odds dropped or left unresolved
};

struct TTurnOdds {
    TTurnStatus Status = TTurnStatus::Done;
    std::string Reason;       // Failed: the battle's reason
    size_t FailedBattle = 0;  // Failed: its index
    std::vector<TBattleOddsOfTurn> Battles;
    // Index k: exactly / at least k goals met, k = 0 .. number of battles.
    std::vector<double> Exactly;
    std::vector<double> AtLeast;
    double All = 1;           // every goal met (1 for no battle)
    double AttIPCLoss = 0;    // expected, summed over the battles
    double DefIPCLoss = 0;
    // The turn's swing: its distribution in increasing swing, mean, standard
    // deviation, and the smallest swings s with P(swing <= s) >= 5 %, 50 %, 95 %.
    std::vector<TExactSwing> Swing;
    double SwingMean = 0;
    double SwingSd = 0;
    int32_t Q05 = 0;
    int32_t Q50 = 0;
    int32_t Q95 = 0;
    // The mass missing from Swing: shares dropped here and what the
    // battles' exact odds dropped.
    double Pruned = 0;
};

// One battle's figures. `cancel` is polled; a cancelled calculation has
// status Cancelled. An empty setup is no battle: goal 0, swing 0 for sure.
TBattleOddsOfTurn BattleOddsOfTurn(const TBattleSetupRec& setup, const std::atomic<bool>* cancel = nullptr,
                                   const TExactLimits& limits = {});
// The turn of battles worked out already (in turn order). A battle that
// failed fails the turn, one cancelled cancels it.
TTurnOdds CombineTurn(std::vector<TBattleOddsOfTurn> battles);
// The turn of the setups where some battles are worked out already (known[i]
// set): the others on all cores, then the turn.
TTurnOdds CompleteTurn(const std::vector<TBattleSetupRec>& setups, std::vector<std::optional<TBattleOddsOfTurn>> known,
                       const std::atomic<bool>* cancel = nullptr);
// Every battle on all cores, then the turn.
TTurnOdds ComputeTurnOdds(const std::vector<TBattleSetupRec>& setups, const std::atomic<bool>* cancel = nullptr,
                          const TExactLimits& limits = {});

// The smallest swing s of a distribution (increasing swing) with
// P(swing <= s) >= q; the largest swing where the shares never get there.
int32_t SwingQuantile(const std::vector<TExactSwing>& swing, double q);
// The forces in short: "10 INF 5 ARM vs 14 INF 3 FTR"; a side without units is "none".
std::string ForcesText(const TBattleSetupRec& setup);
// "Take the territory" or "Win the battle".
const char* TurnGoalName(const TBattleOddsOfTurn& battle);
