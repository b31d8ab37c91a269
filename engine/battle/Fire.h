#pragma once
// One fire step of a side in regular mode: its groups in the order they roll,
// each a number of shots (one die each) hitting on 1..value. The dice of a
// step are drawn group after group, the shots of a group one after the other.
#include <cstdint>

struct TFire {
    static constexpr int MaxGroups = 9;
    int32_t Groups = 0;
    int32_t Shots[MaxGroups];
    int32_t Value[MaxGroups];  // 0..6

    void Add(int32_t shots, int32_t value)
    {
        Shots[Groups] = shots;
        Value[Groups] = value;
        ++Groups;
    }
};
