#pragma once
// Battles for the advice tests, written as {slot, count} pairs of each side.
#include <initializer_list>
#include <utility>

#include "model/BattleSetup.h"

inline TBattleSetupRec Battle(std::initializer_list<std::pair<int, int>> att,
                              std::initializer_list<std::pair<int, int>> def)
{
    TBattleSetupRec s;
    for (auto [slot, n] : att) s.AttCount[slot] = n;
    for (auto [slot, n] : def) s.DefCount[slot] = n;
    return s;
}
