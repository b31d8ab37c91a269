#pragma once
// The reference battles of the benchmarks (and of the tests that compare the
// window with a headless run):
//   L1  attacker 10 INF 5 ARM 4 FTR 2 BMR 1 BB against 14 INF 4 ARM 3 FTR, AA gun
//   S1  attacker 2 BB 2 AC 4 FTR 3 SUB 1 TRN against 1 BB 2 AC 4 FTR 4 SUB 2 TRN, 2 Hit BB
//   X1  attacker 200 INF 100 ARM 50 FTR 20 BMR against 300 INF 80 ARM 40 FTR 10 JFTR, AA gun
#include <algorithm>

#include "model/BattleSetup.h"

inline TBattleSetupRec ReferenceBattle(const int32_t (&att)[AttKinds], const int32_t (&def)[DefKinds])
{
    TBattleSetupRec s;
    std::copy(att, att + AttKinds, s.AttCount);
    std::copy(def, def + DefKinds, s.DefCount);
    return s;
}

inline TBattleSetupRec L1(bool lowLuck = false)
{
    TBattleSetupRec s = ReferenceBattle({10, 5, 4, 2, 1, 0, 0, 0}, {14, 4, 3, 0, 0, 0, 0, 0, 0});
    s.AAGun = true;
    s.LowLuck = lowLuck;
    return s;
}

inline TBattleSetupRec S1(bool lowLuck = false)
{
    TBattleSetupRec s = ReferenceBattle({0, 0, 4, 0, 2, 2, 1, 3}, {0, 0, 4, 0, 0, 1, 2, 2, 4});
    s.TwoHitBB = true;
    s.LowLuck = lowLuck;
    return s;
}

inline TBattleSetupRec X1(bool lowLuck = false)
{
    TBattleSetupRec s = ReferenceBattle({200, 100, 50, 20, 0, 0, 0, 0}, {300, 80, 40, 10, 0, 0, 0, 0, 0});
    s.AAGun = true;
    s.LowLuck = lowLuck;
    return s;
}
