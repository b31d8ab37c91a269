#pragma once
// The odds tool's command line: its usage text and the request it parses.
#include <cstdint>
#include <string>

#include "model/BattleSetup.h"

constexpr int MaxBattles = 100000;

// The text of --help.
extern const char* const OddsToolUsage;

// A malformed argument: the one line the tool prints for it.
struct TBadArgument {
    std::string Message;
};

struct TOddsRequest {
    TBattleSetupRec Setup;
    int Battles = MaxBattles;
    bool SeedGiven = false;
    bool BattlesGiven = false;
    uint32_t Seed = 0;
    bool Json = false;
    bool Exact = false;
    bool Plan = false;
    bool TargetGiven = false;
    double Target = 90;  // percent
    bool PlanSecondsGiven = false;
    double PlanSeconds = 10;  // a plan's time budget
    int Threads = 0;     // 0: every core
    bool Csv = false;
    bool SetupFlagsGiven = false;  // a force or option flag
    std::string SetupFile, SaveSetupFile, BatchFile, TurnFile;
};

// The request of argv (argv[0] is the program name; --help and --version are
// the caller's). Throws TBadArgument naming the first malformed argument; a
// battle file given with --setup is read here.
TOddsRequest ParseArguments(int argc, const char* const* argv);
