#pragma once
// Exact odds: the distribution of one battle's end, worked out state by state
// under the same rules the dice-rolling battle plays. Each side's hits enter
// only as the probability of k hits from its fire step; everything else (battle
// start, absorption, casualties, retreats, withdrawal, round limit, Save Air,
// battle end) is the battle's own code.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/battle/Battle.h"
#include "model/BattleSetup.h"

// One distinct end state with its probability.
struct TExactOutcome {
    TBattleResultsRec State;  // Victor and the counts left; Instances unused (0)
    double Probability = 0;
};

// One IPC swing (the defender's IPC loss less the attacker's) with its probability.
struct TSwingShare {
    int32_t Swing = 0;
    double Probability = 0;
};

// Failed: the calculation caught itself breaking one of its own invariants;
// its figures are not to be shown.
enum class TExactStatus : uint8_t { Done, TooLarge, Cancelled, Failed };

struct TExactOdds {
    TExactStatus Status = TExactStatus::Done;
    std::string Reason;  // why a battle was refused (TooLarge) or failed (Failed), else empty

    // Probabilities of the five end categories.
    double AttWins = 0;
    double DefWins = 0;
    double BothDes = 0;
    double BothRemain = 0;
    double AttWithdraws = 0;
    // Expectations, what a run's averages converge to.
    double AvgAttIPCLoss = 0;
    double AvgDefIPCLoss = 0;
    double AvgRounds = 0;
    // The attacker wins and, in a land battle, keeps a ground unit: it takes
    // the territory. Equal to AttWins in any other battle.
    double Taken = 0;
    // Expected units left by kind, in each side's kind order.
    double AttLeft[AttKinds] = {};
    double DefLeft[DefKinds] = {};
    // Mass of battles not ended when the calculation stopped, and mass dropped
    // with negligible states. Categories + Unresolved + Pruned = 1.
    double Unresolved = 0;
    double Pruned = 0;

    // Every distinct end state, most probable first (ties in a fixed order);
    // where they are too many to keep, the most probable, and the summed
    // probability of the rest in OtherOutcomes.
    std::vector<TExactOutcome> Outcomes;
    double OtherOutcomes = 0;
    // The distribution of the IPC swing over the end states as the battle
    // reached them, before any merging for the list above (a retreated
    // submarine is not lost), in increasing swing. Pruned and unresolved
    // mass is not in it.
    std::vector<TSwingShare> Swing;
};

// Limits of one calculation.
struct TExactLimits {
    // Elementary steps (a share of probability moved; an end state counts
    // 2000) allowed, counted while the calculation runs: about a nanosecond
    // each on a desktop processor, so a battle is refused after some 5 s at
    // the most. One estimated before the start at 10 times this is refused
    // at once.
    double MaxWork = 5e9;
    size_t MaxStateBytes = size_t{512} << 20;     // hard cap on state memory
    // Off: every state goes through the general pass (the reference for the
    // linear pass in tests; far slower on large battles).
    bool LinearPass = true;
    // Cores to use: 0 for all of them. The result is the same for any number.
    int Threads = 0;
    // End states kept in Outcomes, most probable first; the rest are summed
    // into OtherOutcomes.
    size_t MaxOutcomes = 100000;
    // Tests only: break the calculation's own bookkeeping, so that its
    // self-check must catch it.
    bool InjectFault = false;
};

// Works out the exact odds of one battle of the setup. `cancel`, when given,
// is polled often (a cancel takes effect within milliseconds) and ends the
// calculation with status Cancelled. Never throws for any setup. An empty
// setup (no unit on either side) is no battle: Done, every figure 0.
TExactOdds ComputeExactOdds(const TBattleSetupRec& setup, const std::atomic<bool>* cancel = nullptr,
                            const TExactLimits& limits = {});
