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
