#pragma once
// The battle state, the rules of one battle worked out from its setup, each
// side's fire steps as groups of dice or low luck strengths, and how dice are
// rolled. Plain int32 arrays, no allocation, no virtual calls.
//
// The order in which dice are drawn is part of the behaviour: the same seed and
// setup replay the same battle roll for roll. Every function that rolls says
// in which order it does so, and sums of rolls are always built statement by
// statement (the order of evaluation of a + b is unspecified).
#include <algorithm>
#include <cstdint>

#include "engine/battle/Battle.h"
#include "engine/battle/Fire.h"

namespace battle {

constexpr int32_t DieFaces = 6;

// ---- Battle state ----------------------------------------------------------------

struct TState {
    int32_t Att[AttKinds];
    int32_t Def[DefKinds];
    int32_t Round;
    int32_t AttIPCStart;
    int32_t DefIPCStart;
    int32_t AttBBDamage;  // hits the attacker's battleships can still absorb
    int32_t DefBBDamage;
    int32_t AttSubsRetreated;
    int32_t DefSubsRetreated;
    bool Over;
    TOutcome Outcome;
};

// ---- Rules of one battle, fixed for its whole length ---------------------------

// The kinds one group of hits may reach, in the order the side loses them:
// ascending kill-order rank, ties in the scan order of the group.
struct TKillList {
    int8_t Slot[DefKinds];
    int8_t Size;
};

struct TRules {
    int32_t AttValue[AttKinds];
    int32_t DefValue[DefKinds];
    TKillList DefVsAttSubs;  // attacker submarine hits
    TKillList AttVsDefTrns;  // defender transport hits
    TKillList AttVsDefSubs;  // defender submarine hits
    TKillList AttVsDef;      // defender hits
    TKillList DefVsAtt;      // attacker hits
    bool FtrBeforeBmr;       // the attacker gives up fighters before bombers
    bool MayStall;           // some unit that fires has value 0: a battle might never end
    TState Start;            // the battle state before the AA gun fires
};

inline void PrepareStart(const TBattleSetupRec& setup, TState& s);

// Scan orders of the kinds each group of hits may reach.
constexpr int8_t ScanDefVsAttSubs[] = {dTRN, dSUB, dAC, dBB};
constexpr int8_t ScanAttVsDefTrns[] = {aTRN, aSUB, aAC, aFTR, aBMR, aBB};
constexpr int8_t ScanAttVsDefSubs[] = {aTRN, aSUB, aAC, aBB};
constexpr int8_t ScanAttVsDef[] = {aINF, aARM, aTRN, aSUB, aAC, aFTR, aBMR, aBB};
constexpr int8_t ScanDefVsAtt[] = {dINF, dARM, dTRN, dSUB, dBMR, dFTR, dJFTR, dAC, dBB};

// Sorting by rank (stable in scan order) gives the kill order for a valid
// permutation of ranks, and still reaches every eligible kind when the ranks
// are not one (duplicates, gaps, a rank left empty as 0), so no hit is ever
// dropped while an eligible unit is left.
template <int N>
inline void MakeKillList(const int32_t* rank, const int8_t (&scan)[N], TKillList& list)
{
    list.Size = N;
    for (int i = 0; i < N; ++i) {
        const int8_t slot = scan[i];
        int j = i;
        for (; j > 0 && rank[list.Slot[j - 1]] > rank[slot]; --j) list.Slot[j] = list.Slot[j - 1];
        list.Slot[j] = slot;
    }
}

// A combat value is the highest die face that hits; outside 0..6 it means
// nothing, and clamping keeps low luck strengths within int32.
inline int32_t ClampValue(int32_t v) { return std::clamp<int32_t>(v, 0, DieFaces); }

inline void MakeRules(const TBattleSetupRec& setup, TRules& r)
{
    for (int k = 0; k < AttKinds; ++k) r.AttValue[k] = ClampValue(setup.AttValue[k]);
    r.AttValue[aTRN] = 0;  // an attacking transport never fires
    for (int k = 0; k < DefKinds; ++k) r.DefValue[k] = ClampValue(setup.DefValue[k]);
    MakeKillList(setup.DefOrder, ScanDefVsAttSubs, r.DefVsAttSubs);
    MakeKillList(setup.AttOrder, ScanAttVsDefTrns, r.AttVsDefTrns);
    MakeKillList(setup.AttOrder, ScanAttVsDefSubs, r.AttVsDefSubs);
    MakeKillList(setup.AttOrder, ScanAttVsDef, r.AttVsDef);
    MakeKillList(setup.DefOrder, ScanDefVsAtt, r.DefVsAtt);
    r.FtrBeforeBmr = setup.AttOrder[aFTR] < setup.AttOrder[aBMR];
    // With every firing value above 0 each side can always be hit by the
    // other, so only a zero value can leave a battle with nobody able to hit.
    r.MayStall = false;
    for (int k = 0; k < AttKinds; ++k) r.MayStall |= k != aTRN && r.AttValue[k] == 0;
    for (int k = 0; k < DefKinds; ++k) r.MayStall |= r.DefValue[k] == 0;
    PrepareStart(setup, r.Start);
}

// The rules of the last setup seen; rebuilt only when the setup changes.
struct TRulesCache {
    TBattleSetupRec Of;
    TRules Rules;
    bool Valid = false;

    const TRules& For(const TBattleSetupRec& setup)
    {
        if (!Valid || !(setup == Of)) {
            MakeRules(setup, Rules);
            Of = setup;
            Valid = true;
        }
        return Rules;
    }
};

inline int32_t AttUnits(const TState& s)
{
    int32_t n = 0;
    for (int32_t c : s.Att) n += c;
    return n;
}
inline int32_t DefUnits(const TState& s)
{
    int32_t n = 0;
    for (int32_t c : s.Def) n += c;
    return n;
}
inline int32_t AttLand(const TState& s) { return s.Att[aINF] + s.Att[aARM]; }
inline int32_t DefLand(const TState& s) { return s.Def[dINF] + s.Def[dARM]; }
inline int32_t AttAir(const TState& s) { return s.Att[aFTR] + s.Att[aBMR]; }
inline int32_t AttSea(const TState& s) { return s.Att[aBB] + s.Att[aAC] + s.Att[aTRN] + s.Att[aSUB]; }
inline int32_t DefSea(const TState& s) { return s.Def[dBB] + s.Def[dAC] + s.Def[dTRN] + s.Def[dSUB]; }

// ---- Fire steps ------------------------------------------------------------------
//
// A round has these fire steps: the attacker's submarines, the attacker's other
// units, and the defender (regular mode: its transports, its submarines and its
// other units, each a hit count of its own; low luck: one group). Each step is
// described by the state alone, so the dice-rolling battle and the exact
// calculation read the same description: in regular mode a TFire (shots and
// values, group by group), in low luck a strength.

inline int32_t BomberDice(const TBattleSetupRec& setup) { return setup.HvyBomber ? 3 : 1; }

// The groups of a step are visited as group(shots, value), in rolling order;
// the TFire forms collect them for whoever wants them as data.
template <class Group>
inline void AttackerSubGroups(const TState& s, const TRules& r, Group&& group)
{
    group(s.Att[aSUB], r.AttValue[aSUB]);
}
inline int32_t AttackerSubStrength(const TState& s, const TRules& r) { return r.AttValue[aSUB] * s.Att[aSUB]; }
// Their hits reach the defender's TRN, SUB, AC and BB.
inline const TKillList& AttackerSubKill(const TRules& r) { return r.DefVsAttSubs; }

// INF, ARM, FTR, BMR (a heavy bomber's 3 dice in a row), BB, AC; transports never fire in attack.
template <class Group>
inline void AttackerGroups(const TState& s, const TBattleSetupRec& setup, const TRules& r, Group&& group)
{
    group(s.Att[aINF], r.AttValue[aINF]);
    group(s.Att[aARM], r.AttValue[aARM]);
    group(s.Att[aFTR], r.AttValue[aFTR]);
    group(BomberDice(setup) * s.Att[aBMR], r.AttValue[aBMR]);
    group(s.Att[aBB], r.AttValue[aBB]);
    group(s.Att[aAC], r.AttValue[aAC]);
}
inline int32_t AttackerStrength(const TState& s, const TBattleSetupRec& setup, const TRules& r)
{
    int32_t strength = 0;
    for (int k : {aINF, aARM, aFTR, aBB, aAC}) strength += r.AttValue[k] * s.Att[k];
    return strength + BomberDice(setup) * r.AttValue[aBMR] * s.Att[aBMR];
}
// Their hits reach every defender kind.
inline const TKillList& AttackerKill(const TRules& r) { return r.DefVsAtt; }

// Regular mode: TRN, then SUB, then the rest in the order INF, ARM, FTR, JFTR,
// BMR, BB, AC. Groups 0 and 1 are hit counts of their own; the rest add up.
constexpr int DefTrnGroup = 0;
constexpr int DefSubGroup = 1;
constexpr int DefOtherGroups = 2;
template <class Group>
inline void DefenderGroups(const TState& s, const TRules& r, Group&& group)
{
    for (int k : {dTRN, dSUB, dINF, dARM, dFTR, dJFTR, dBMR, dBB, dAC}) group(s.Def[k], r.DefValue[k]);
}
// What the hits of each of the defender's groups reach: the transports' the
// attacker's FTR, BMR, BB, AC, TRN and SUB, the submarines' its ships, the
// rest's (and low luck's one group's) every attacker kind.
inline const TKillList& DefenderKill(const TRules& r, int group)
{
    return group == DefTrnGroup ? r.AttVsDefTrns : group == DefSubGroup ? r.AttVsDefSubs : r.AttVsDef;
}

template <class Groups>
inline void CollectFire(TFire& f, Groups&& groups)
{
    f.Groups = 0;
    groups([&](int32_t shots, int32_t value) { f.Add(shots, value); });
}

// The defender in low luck fires as one group, transports included. Its
// submarines count only against attacking ships; when they are strong enough
// they sink every attacking ship outright (no absorption, no kill order), which
// this does to the state before the die is rolled. Returns the strength left.
inline int32_t DefenderLowLuckStrength(TState& s, const TRules& r)
{
    int32_t base = 0;
    for (int k : {dINF, dARM, dFTR, dJFTR, dBMR, dBB, dAC, dTRN}) base += r.DefValue[k] * s.Def[k];
    const int32_t attSea = AttSea(s);
    int32_t subStrength = attSea > 0 ? r.DefValue[dSUB] * s.Def[dSUB] : 0;
    if (attSea > 0 && subStrength / DieFaces >= attSea) {
        s.Att[aBB] = s.Att[aAC] = s.Att[aTRN] = s.Att[aSUB] = 0;
        subStrength -= DieFaces * attSea;
    }
    return base + subStrength;
}

// While the defender has submarines its low luck hits are capped at its own
// BB, AC, TRN, FTR and JFTR plus the attacking ships still afloat (so, for
// instance, submarines with a carrier score at most one hit on aircraft).
inline int32_t DefenderLowLuckCap(const TState& s, int32_t hits)
{
    if (s.Def[dSUB] == 0) return hits;
    return std::min(hits, s.Def[dBB] + s.Def[dAC] + s.Def[dTRN] + s.Def[dFTR] + s.Def[dJFTR] + AttSea(s));
}

// The AA gun: one shot per aircraft (FTR, then BMR), each hitting on exactly 1;
// in low luck every aircraft counts 1 and the hits never exceed the aircraft.
template <class Group>
inline void AAGroups(const TState& s, Group&& group)
{
    group(AttAir(s), 1);
}
inline int32_t AAStrength(const TState& s) { return AttAir(s); }

// ---- Dice ------------------------------------------------------------------------

// One die per shot, one after the other; a hit on 1..value.
template <class Dice>
inline int32_t Roll(Dice& dice, int32_t shots, int32_t value)
{
    if constexpr (requires { dice.CountHits(shots, value); }) {
        return dice.CountHits(shots, value);
    } else {
        int32_t hits = 0;
        for (int32_t i = 0; i < shots; ++i) hits += dice.Die() <= value;
        return hits;
    }
}

// The dice of one fire step, group after group; returns the hits of each
// group through hit(group index, hits). Dice that roll a whole step at once
// get it as a TFire; the others roll group by group.
template <class Dice, class Groups, class Hit>
inline void RollFire(Dice& dice, Groups&& groups, Hit&& hit)
{
    if constexpr (requires(const TFire& f, int32_t* h) { dice.RollFire(f, h); }) {
        int32_t total = 0;
        groups([&](int32_t shots, int32_t) { total += shots; });
        if (total >= Dice::MinLaneStep) {
            TFire f;
            CollectFire(f, groups);
            int32_t hits[TFire::MaxGroups];
            dice.RollFire(f, hits);
            for (int g = 0; g < f.Groups; ++g) hit(g, hits[g]);
            return;
        }
    }
    int g = 0;
    groups([&](int32_t shots, int32_t value) { hit(g++, Roll(dice, shots, value)); });
}

template <class Dice, class Groups>
inline int32_t RollFireTotal(Dice& dice, Groups&& groups)
{
    int32_t total = 0;
    RollFire(dice, groups, [&](int, int32_t hits) { total += hits; });
    return total;
}

// Low luck: a sure hit per full 6 of strength, and exactly one die for the
// remainder, rolled even when the remainder (or the whole group) is 0.
template <class Dice>
inline int32_t LowLuckHits(Dice& dice, int32_t strength)
{
    const int32_t sure = strength / DieFaces;
    return sure + (dice.Die() <= strength % DieFaces);
}

}  // namespace battle
