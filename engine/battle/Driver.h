#pragma once
// The run driver: fights a battle setup N times, keeps the run totals, and
// publishes them every 250 battles, after the last battle and at a stop.
#include <cstdint>

#include "engine/battle/Battle.h"
#include "engine/battle/Random.h"

// Run accumulators, zero at the start of every run (a restart included).
// Losses and rounds are summed in 64 bits: 100000 battles of forces worth
// more than about 21000 IPC would overflow 32.
struct RunTotals {
    int32_t AttWins = 0;
    int32_t DefWins = 0;
    int32_t BothDes = 0;
    int32_t AttWithdraws = 0;
    int32_t BothRemain = 0;
    int64_t TotalRounds = 0;
    int64_t AttIPCLoss = 0;
    int64_t DefIPCLoss = 0;
    int32_t Battles = 0;
    // Sums of squares, for the margins of the averages (sample variances).
    // 64 bits hold 100000 battles of the largest stakes (about 2.2e5 IPC).
    int64_t AttIPCLossSquares = 0;
    int64_t DefIPCLossSquares = 0;
    int64_t RoundsSquares = 0;

    void Add(const TBattleEnd& end);
};

// Process-wide run-control flags.
struct TRunControl {
    bool Running = false;        // a run is in progress
    bool StopRequested = false;  // stop after the battle being fought (and restart when auto rolling)
    bool SuppressRuns = false;   // a reset is writing many inputs: run starts are refused
};

// Holds SuppressRuns while many inputs are written at once (a reset, an
// opened battle file), whichever way the writing is left.
class TRunsSuppressed {
public:
    explicit TRunsSuppressed(TRunControl& control) : Control(control), Was(control.SuppressRuns)
    {
        Control.SuppressRuns = true;
    }
    ~TRunsSuppressed() { Control.SuppressRuns = Was; }
    TRunsSuppressed(const TRunsSuppressed&) = delete;
    TRunsSuppressed& operator=(const TRunsSuppressed&) = delete;

private:
    TRunControl& Control;
    bool Was;
};

constexpr int PublishEvery = 250;

// Everything a run needs from whoever hosts it (the window, the command-line
// tool, a test). Called per battle at most, never per die.
class TRunHost {
public:
    virtual ~TRunHost() = default;
    // Battles in the run about to start (read at every start and restart).
    virtual int RunSize() = 0;
    // Seed of the run about to start.
    virtual uint32_t RunSeed() { return ClockSeed(); }
    // Whether a run ended by StopRequested starts over (automatic rolling).
    virtual bool RestartOnStop() { return false; }
    // Before battle b of n (1-based): the window sets its progress bar here.
    virtual void BattleStarting(int /*b*/, int /*n*/) {}
    // The setup of the next battle; read afresh before every battle.
    virtual void ReadSetup(TBattleSetupRec& setup) = 0;
    // A publication: the totals so far and the end states of the battles
    // since the previous publication. last is set after the run's last
    // battle and at a stop.
    virtual void Publish(const RunTotals& totals, const TBattleResultsRec* batch, int count, bool last) = 0;
    // After every battle: the window dispatches its pending events here.
    virtual void AfterBattle() {}
    // A run (or restart) begins with zeroed totals.
    virtual void RunStarting() {}

};

enum class TRunEnd { Completed, Stopped, EmptySetup, Refused };

// Performs runs until one completes, is stopped without restart, or meets an
// empty setup. Refused when SuppressRuns is set. Clears Running at the end.
TRunEnd RunBattles(TRunControl& control, TRunHost& host);
