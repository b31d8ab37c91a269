#pragma once
// Shared helpers of the battle tests: forces by slot, fights with scripted
// dice that must be used up exactly, and end-state counts as arrays.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <vector>

#include "engine/battle/Battle.h"
#include "engine/battle/ScriptedDice.h"

using AttArr = std::array<int32_t, AttKinds>;
using DefArr = std::array<int32_t, DefKinds>;

struct TUnits {
    int Slot;
    int32_t Count;
};

inline TBattleSetupRec Forces(std::initializer_list<TUnits> att, std::initializer_list<TUnits> def)
{
    TBattleSetupRec s;
    for (const TUnits& u : att) s.AttCount[u.Slot] = u.Count;
    for (const TUnits& u : def) s.DefCount[u.Slot] = u.Count;
    return s;
}

inline TBattleSetupRec& Limit(TBattleSetupRec& s, int32_t rounds)
{
    s.AllRounds = false;
    s.Rounds = rounds;
    return s;
}

// Fights with the given faces and fails the test unless exactly these dice
// were drawn, so every scripted test also checks the number and order of rolls.
inline TBattleEnd FightAsIs(const TBattleSetupRec& setup, std::vector<int> faces)
{
    const size_t n = faces.size();
    TScriptedDice dice(std::move(faces));
    TBattleEnd end;
    FightBattle(setup, dice, end);
    EXPECT_FALSE(dice.Exhausted()) << "the battle drew more than the " << n << " dice scripted";
    EXPECT_EQ(dice.Rolled(), n) << "the battle left scripted dice unused";
    return end;
}

// The same with a far-off round limit: a battle that outlasts its script rolls
// 6s for ever and might never end, and the limit turns that hang into a
// failure. Every scripted battle ends long before it.
constexpr int32_t ScriptSafetyRounds = 500;
inline TBattleEnd Fight(TBattleSetupRec setup, std::vector<int> faces)
{
    if (setup.AllRounds) Limit(setup, ScriptSafetyRounds);
    return FightAsIs(setup, std::move(faces));
}

inline AttArr AttLeft(const TBattleEnd& e)
{
    AttArr a;
    std::copy(e.State.AttCount, e.State.AttCount + AttKinds, a.begin());
    return a;
}

inline DefArr DefLeft(const TBattleEnd& e)
{
    DefArr d;
    std::copy(e.State.DefCount, e.State.DefCount + DefKinds, d.begin());
    return d;
}

inline void ExpectEnd(const TBattleEnd& e, TOutcome outcome, TVictor victor, int32_t rounds)
{
    EXPECT_EQ(e.Outcome, outcome);
    EXPECT_STREQ(VictorText(e.State.Victor), VictorText(victor));
    EXPECT_EQ(e.Rounds, rounds);
}
