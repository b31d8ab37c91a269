#pragma once
// The rules of what a battle may hold, as the window applies them: an option
// that needs units the battle does not have is cleared, and a withdrawal
// threshold is limited to its side's unit total. Every way a battle comes in
// (the window's controls, a battle file, the odds tool's flags and its batch
// lines) goes through NormaliseBattle, so one battle gives one answer.
#include <string>
#include <vector>

#include "model/BattleSetup.h"

// One value the rules changed.
struct TAdjustment {
    const char* Member;  // the name in TBattleSetupRec and in battle files
    bool Switch;         // From and To are 0 or 1
    int32_t From;
    int32_t To;
    std::string Why;
};

struct TNormalisedBattle {
    TBattleSetupRec Setup;
    std::vector<TAdjustment> Adjustments;  // in the order the window applies them
};

// "Save Air" needs attacker ground units to lose and aircraft to save.
bool SaveAirAvailable(const TBattleSetupRec& setup);
// The defender's submarine retreats need defending submarines.
bool DefSubRetreatAvailable(const TBattleSetupRec& setup);
// The number of units of a side: the most a withdrawal threshold may be.
int32_t SideTotal(const TBattleSetupRec& setup, bool attacker);

TNormalisedBattle NormaliseBattle(const TBattleSetupRec& setup);

// "SaveAir from true to false: <why>", one line.
std::string AdjustmentText(const TAdjustment& adjustment);
