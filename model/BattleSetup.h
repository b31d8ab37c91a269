#pragma once
// TBattleSetupRec: everything the engine reads at the start of a battle.
#include <cstdint>
#include <cstring>

#include "model/Units.h"

struct TBattleSetupRec {
    int32_t AttCount[AttKinds] = {};
    int32_t DefCount[DefKinds] = {};
    int32_t AttValue[AttKinds] = {1, 3, 3, 4, 4, 1, 0, 2};  // TRN's value is never read
    int32_t DefValue[DefKinds] = {2, 2, 4, 5, 1, 4, 3, 1, 2};
    int32_t AttIPC[AttKinds] = {3, 5, 12, 15, 24, 18, 8, 8};
    int32_t DefIPC[DefKinds] = {3, 5, 12, 12, 15, 24, 18, 8, 8};
    int32_t AttOrder[AttKinds] = {1, 2, 6, 7, 8, 5, 3, 4};
    int32_t DefOrder[DefKinds] = {1, 2, 6, 7, 5, 9, 8, 3, 4};
    bool HvyBomber = false;
    bool TwoHitBB = false;
    bool AAGun = false;
    bool TakeWith = false;
    bool SaveAir = false;
    bool AttWithSubsAirOnly = false;
    bool DefWithSubsAirOnly = false;
    bool DefWithSubs1stRnd = false;
    bool Withdrawal = false;
    int32_t AttWith = 0;
    int32_t DefWith = 0;
    int32_t DefWithLess = 0;
    bool AllRounds = true;
    int32_t Rounds = 1;
    bool LowLuck = false;

    // Applies Industrial Technology prices to one side (or restores the list prices).
    void SetAttTech(bool on) { std::memcpy(AttIPC, on ? TechAttIPC : DefaultAttIPC, sizeof AttIPC); }
    void SetDefTech(bool on) { std::memcpy(DefIPC, on ? TechDefIPC : DefaultDefIPC, sizeof DefIPC); }
    void SetSuperSub(bool on) { AttValue[aSUB] = on ? SuperSubAttack : DefaultAttValue[aSUB]; }

    bool operator==(const TBattleSetupRec&) const = default;

    bool Empty() const
    {
        for (int32_t c : AttCount) if (c != 0) return false;
        for (int32_t c : DefCount) if (c != 0) return false;
        return true;
    }
};

// A land battle: ground units on either side, defending bombers, the AA gun or
// Take w/ ground. The window locks out the sea-only counts for it, and the
// attacker's goal there is to take the territory, not merely to win.
inline bool IsLandBattle(const TBattleSetupRec& s)
{
    return s.AttCount[aINF] > 0 || s.AttCount[aARM] > 0 || s.DefCount[dINF] > 0 || s.DefCount[dARM] > 0 ||
           s.DefCount[dBMR] > 0 || s.AAGun || s.TakeWith;
}

// A sea battle: ships other than the attacker's battleships (which may bombard
// a land battle), or any defending ship. The window locks out the land-only
// counts and options for it.
inline bool IsSeaBattle(const TBattleSetupRec& s)
{
    return s.AttCount[aAC] > 0 || s.AttCount[aTRN] > 0 || s.AttCount[aSUB] > 0 || s.DefCount[dBB] > 0 ||
           s.DefCount[dAC] > 0 || s.DefCount[dTRN] > 0 || s.DefCount[dSUB] > 0;
}

// Which battles a count belongs to: a sea-only count is locked in a land
// battle, a land-only count in a sea battle (the window greys them out).
enum class TCountRule : uint8_t { Any, LandOnly, SeaOnly };
constexpr TCountRule AttCountRule[AttKinds] = {
    TCountRule::LandOnly, TCountRule::LandOnly, TCountRule::Any,     TCountRule::Any,
    TCountRule::Any,      TCountRule::SeaOnly,  TCountRule::SeaOnly, TCountRule::SeaOnly};
constexpr TCountRule DefCountRule[DefKinds] = {
    TCountRule::LandOnly, TCountRule::LandOnly, TCountRule::Any,     TCountRule::Any,    TCountRule::LandOnly,
    TCountRule::SeaOnly,  TCountRule::SeaOnly,  TCountRule::SeaOnly, TCountRule::SeaOnly};

// Whether a count under this rule may be entered for the setup's battle.
inline bool CountAvailable(TCountRule rule, const TBattleSetupRec& s)
{
    switch (rule) {
    case TCountRule::LandOnly: return !IsSeaBattle(s);
    case TCountRule::SeaOnly: return !IsLandBattle(s);
    default: return true;
    }
}

// Whether an end state takes the territory: in a land battle the attacker wins
// with a ground unit left; in any other battle winning is all there is.
inline bool TakesTerritory(bool landBattle, bool attackerWon, const int32_t* attLeft)
{
    return attackerWon && (!landBattle || attLeft[aINF] + attLeft[aARM] > 0);
}
