#pragma once
// FightBattle for any dice type. Kept in a header so that every dice type (the
// generator, scripted dice, a counting wrapper in a benchmark) gets its own
// instantiation with each die an inlined call. Plain int32 arrays, no
// allocation, no virtual calls.
//
// The order in which dice are drawn is part of the behaviour: the same seed and
// setup replay the same battle roll for roll. Every function that rolls says
// in which order it does so, and sums of rolls are always built statement by
// statement (the order of evaluation of a + b is unspecified).
#include <algorithm>
#include <cstdint>

#include "engine/Battle.h"
#include "engine/Fire.h"

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
inline int32_t AACap(const TState& s, int32_t hits) { return std::min(hits, AttAir(s)); }

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

// ---- Casualties ------------------------------------------------------------------

// 2 Hit BB: a per-side pool used up by the first hits the side receives.
inline int32_t Absorb(int32_t hits, int32_t& capacity)
{
    if (hits <= capacity) {
        capacity -= hits;
        return 0;
    }
    hits -= capacity;
    capacity = 0;
    return hits;
}

inline int32_t Eligible(const int32_t* count, const TKillList& kill)
{
    int32_t n = 0;
    for (int i = 0; i < kill.Size; ++i) n += count[kill.Slot[i]];
    return n;
}

inline void LoseAll(int32_t* count, const TKillList& kill)
{
    for (int i = 0; i < kill.Size; ++i) count[kill.Slot[i]] = 0;
}

inline void LoseUpTo(int32_t& count, int32_t& hits)
{
    const int32_t lost = std::min(hits, count);
    count -= lost;
    hits -= lost;
}

// Hits beyond the eligible units are lost.
inline void TakeCasualties(int32_t* count, const TKillList& kill, int32_t hits)
{
    if (hits <= 0) return;
    if (hits >= Eligible(count, kill)) {
        LoseAll(count, kill);
        return;
    }
    for (int i = 0; i < kill.Size && hits > 0; ++i) LoseUpTo(count[kill.Slot[i]], hits);
}

// "Take w/ ground": at the position of a land kind whose units the hits would
// all destroy, while it is the attacker's only land kind and aircraft are
// left, one unit stays and aircraft go instead. Returns false where it does
// not apply, and the kind is then lost as usual.
inline bool KeepOneLandUnit(int32_t* att, int land, int otherLand, int32_t& hits, bool ftrBeforeBmr)
{
    if (att[land] == 0 || hits < att[land] || att[otherLand] != 0 || att[aFTR] + att[aBMR] == 0) return false;
    hits -= att[land] - 1;
    att[land] = 1;
    for (; hits > 0 && att[aFTR] + att[aBMR] > 0; --hits) {
        if (ftrBeforeBmr && att[aFTR] > 0) --att[aFTR];
        else if (att[aBMR] > 0) --att[aBMR];
        else --att[aFTR];
    }
    return true;
}

// Defender hits on the attacker: every kind, with "Take w/ ground". Each unit
// lost uses one hit, so once the hits are fewer than the units they stay
// fewer, and the unit kept is never taken later in the same call.
inline void TakeDefenderHits(TState& s, const TBattleSetupRec& setup, const TRules& r, int32_t hits)
{
    if (!setup.TakeWith) {
        TakeCasualties(s.Att, r.AttVsDef, hits);
        return;
    }
    if (hits <= 0) return;
    if (hits >= AttUnits(s)) {
        LoseAll(s.Att, r.AttVsDef);
        return;
    }
    for (int i = 0; i < r.AttVsDef.Size && hits > 0; ++i) {
        const int slot = r.AttVsDef.Slot[i];
        if (slot == aINF && KeepOneLandUnit(s.Att, aINF, aARM, hits, r.FtrBeforeBmr)) continue;
        if (slot == aARM && KeepOneLandUnit(s.Att, aARM, aINF, hits, r.FtrBeforeBmr)) continue;
        LoseUpTo(s.Att[slot], hits);
    }
}

// AA hits fall on fighters or bombers first, as the attacker's kill order ranks them.
inline void TakeAACasualties(TState& s, const TRules& r, int32_t hits)
{
    const int first = r.FtrBeforeBmr ? aFTR : aBMR;
    const int second = r.FtrBeforeBmr ? aBMR : aFTR;
    LoseUpTo(s.Att[first], hits);
    LoseUpTo(s.Att[second], hits);
}

// What the defender's fire steps scored in one round.
struct TDefenderHits {
    int32_t Trn = 0;    // transports: on the attacker's FTR, BMR, BB, AC, TRN, SUB
    int32_t Sub = 0;    // submarines: on the attacker's ships
    int32_t Other = 0;  // everything else: on any attacker kind
};

// The attacking submarines' hits land at once, before anyone fires back.
inline void TakeSubStrike(TState& s, const TRules& r, int32_t hits)
{
    TakeCasualties(s.Def, r.DefVsAttSubs, Absorb(hits, s.DefBBDamage));
}

// The defender's hits on the attacker, absorbed and taken in the order fired.
inline void TakeDefenderFire(TState& s, const TBattleSetupRec& setup, const TRules& r, const TDefenderHits& h)
{
    const int32_t trn = Absorb(h.Trn, s.AttBBDamage);
    const int32_t sub = Absorb(h.Sub, s.AttBBDamage);
    const int32_t other = Absorb(h.Other, s.AttBBDamage);
    if (trn + sub > 0) {
        TakeCasualties(s.Att, r.AttVsDefTrns, trn);
        TakeCasualties(s.Att, r.AttVsDefSubs, sub);
    }
    TakeDefenderHits(s, setup, r, other);
}

// The attacker's other units' hits, taken after the defender has fired.
inline void TakeAttackerFire(TState& s, const TRules& r, int32_t hits)
{
    TakeCasualties(s.Def, r.DefVsAtt, Absorb(hits, s.DefBBDamage));
}

// Battleships accompanying land units have fired once and leave.
inline void Bombard(TState& s)
{
    if (AttLand(s) > 0) s.Att[aBB] = 0;
}

// ---- Battle start ----------------------------------------------------------------

// Counts outside 0..999 never come from the window; clamping keeps the int32
// sums of strengths and stakes in range for hand-filled setups.
inline int32_t ClampCount(int32_t c) { return std::clamp<int32_t>(c, 0, MaxCount); }

// IPC sums are kept in 64 bits and saturated, so that absurd hand-filled IPC
// values cannot overflow.
inline int32_t SaturateIPC(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Everything of the battle start that follows from the setup alone; kept in
// the rules, so that a run works it out once per setup, not per battle.
inline void PrepareStart(const TBattleSetupRec& setup, TState& s)
{
    for (int k = 0; k < AttKinds; ++k) s.Att[k] = ClampCount(setup.AttCount[k]);
    for (int k = 0; k < DefKinds; ++k) s.Def[k] = ClampCount(setup.DefCount[k]);
    s.Round = 0;
    s.AttSubsRetreated = s.DefSubsRetreated = 0;
    s.Over = false;
    s.Outcome = TOutcome::BothDes;

    // Battleships accompanying land units bombard and leave: never at risk.
    int64_t att = 0;
    for (int k = 0; k < AttKinds; ++k) att += int64_t{setup.AttIPC[k]} * s.Att[k];
    if (AttLand(s) > 0) att -= int64_t{setup.AttIPC[aBB]} * s.Att[aBB];
    int64_t def = 0;
    for (int k = 0; k < DefKinds; ++k) def += int64_t{setup.DefIPC[k]} * s.Def[k];
    s.AttIPCStart = SaturateIPC(att);
    s.DefIPCStart = SaturateIPC(def);

    const bool twoHit = setup.TwoHitBB && AttLand(s) + DefLand(s) == 0;
    s.AttBBDamage = twoHit ? s.Att[aBB] : 0;
    s.DefBBDamage = twoHit ? s.Def[dBB] : 0;
}

// ---- End of round ----------------------------------------------------------------

inline void RetreatAttSubs(TState& s)
{
    s.AttSubsRetreated += s.Att[aSUB];
    s.Att[aSUB] = 0;
}
inline void RetreatDefSubs(TState& s)
{
    s.DefSubsRetreated += s.Def[dSUB];
    s.Def[dSUB] = 0;
}

// Defending bombers alone do not drive attacking submarines off.
inline bool AttSubsLeave(const TState& s, const TBattleSetupRec& setup)
{
    return setup.AttWithSubsAirOnly && DefSea(s) == 0 && s.Def[dFTR] + s.Def[dJFTR] > 0;
}
inline bool DefSubsLeave(const TState& s, const TBattleSetupRec& setup)
{
    return (setup.DefWithSubsAirOnly && AttSea(s) == 0 && AttAir(s) > 0) ||
           (setup.DefWithSubs1stRnd && AttSea(s) + AttAir(s) > 0);
}

// The attacker's test comes first: submarines of the defender that leave in
// the same round still keep the attacker's in for one more round.
inline void SubRetreats(TState& s, const TBattleSetupRec& setup)
{
    if (AttSubsLeave(s, setup)) RetreatAttSubs(s);
    if (DefSubsLeave(s, setup)) RetreatDefSubs(s);
}

// Whether a side can still score a hit on the other's units as they stand.
// Both false means no unit can ever be lost again: nothing in the battle
// changes any more.
inline bool AttackerCanHit(const TState& s, const TRules& r)
{
    if (s.Att[aSUB] > 0 && r.AttValue[aSUB] > 0 && DefSea(s) > 0) return true;
    for (int k : {aINF, aARM, aFTR, aBMR, aBB, aAC})
        if (s.Att[k] > 0 && r.AttValue[k] > 0) return true;
    return false;
}

inline bool DefenderCanHit(const TState& s, const TBattleSetupRec& setup, const TRules& r)
{
    const int32_t attSea = AttSea(s);
    if (setup.LowLuck) {
        int32_t strength = attSea > 0 ? r.DefValue[dSUB] * s.Def[dSUB] : 0;
        for (int k : {dINF, dARM, dFTR, dJFTR, dBMR, dBB, dAC, dTRN}) strength += r.DefValue[k] * s.Def[k];
        if (strength == 0) return false;
        return s.Def[dSUB] == 0 ||
               s.Def[dBB] + s.Def[dAC] + s.Def[dTRN] + s.Def[dFTR] + s.Def[dJFTR] + attSea > 0;
    }
    if (s.Def[dTRN] > 0 && r.DefValue[dTRN] > 0 && attSea + AttAir(s) > 0) return true;
    if (s.Def[dSUB] > 0 && r.DefValue[dSUB] > 0 && attSea > 0) return true;
    for (int k : {dINF, dARM, dFTR, dJFTR, dBMR, dBB, dAC})
        if (s.Def[k] > 0 && r.DefValue[k] > 0) return true;
    return false;
}

inline void EndBattleAs(TState& s, TOutcome outcome)
{
    s.Over = true;
    s.Outcome = outcome;
}

inline void EndOfRound(TState& s, const TBattleSetupRec& setup, const TRules& r)
{
    SubRetreats(s, setup);
    const int32_t att = AttUnits(s);
    const int32_t def = DefUnits(s);
    if (att == 0 || def == 0) {
        EndBattleAs(s, att > 0 ? TOutcome::AttWins : def > 0 ? TOutcome::DefWins : TOutcome::BothDes);
        return;
    }
    if (setup.Withdrawal && ((att <= setup.AttWith && def >= setup.DefWith) || def <= setup.DefWithLess)) {
        EndBattleAs(s, TOutcome::AttWithdraws);
        return;
    }
    // Rounds starts at 1; ">=" also ends a hand-filled limit below 1 after one round.
    if (!setup.AllRounds && s.Round >= setup.Rounds) {
        EndBattleAs(s, TOutcome::BothRemain);
        return;
    }
    if (setup.SaveAir && AttLand(s) == 0) {
        EndBattleAs(s, TOutcome::AttWithdraws);
        return;
    }
    // Without a round limit a battle in which neither side can hit would go
    // on for ever (possible only with combat values of 0); it ends as if a
    // limit had been reached, both sides remaining.
    if (setup.AllRounds && r.MayStall && !AttackerCanHit(s, r) && !DefenderCanHit(s, setup, r))
        EndBattleAs(s, TOutcome::BothRemain);
}

// ---- Fire steps as the round meets them -------------------------------------------
//
// Each fire step is described once, from the state as the round has it at that
// step: dice groups in regular mode, a strength in low luck, and a cap on its
// hits where the rules set one. A source of hit counts turns a step into hits:
// the dice roll it, the exact odds take every count with its probability.
// Saturation() is the count from which more hits change nothing (everything
// they may reach is gone), so the exact odds treat those counts as one.

struct TSubStrikeStep {
    const TState& S;
    const TBattleSetupRec& Setup;
    const TRules& R;
    bool LowLuck() const { return Setup.LowLuck; }
    int32_t Strength() const { return AttackerSubStrength(S, R); }
    template <class Group>
    void Groups(Group&& g) const { AttackerSubGroups(S, R, g); }
    int32_t Cap() const { return INT32_MAX; }
    int32_t Saturation() const { return Eligible(S.Def, R.DefVsAttSubs) + S.DefBBDamage; }
};

struct TAttackStep {
    const TState& S;
    const TBattleSetupRec& Setup;
    const TRules& R;
    bool LowLuck() const { return Setup.LowLuck; }
    int32_t Strength() const { return AttackerStrength(S, Setup, R); }
    template <class Group>
    void Groups(Group&& g) const { AttackerGroups(S, Setup, R, g); }
    int32_t Cap() const { return INT32_MAX; }
    int32_t Saturation() const { return DefUnits(S) + S.DefBBDamage; }
};

// The AA gun never scores more hits than there are aircraft (a cap that only
// low luck can reach).
struct TAAStep {
    const TState& S;
    const TBattleSetupRec& Setup;
    bool LowLuck() const { return Setup.LowLuck; }
    int32_t Strength() const { return AAStrength(S); }
    template <class Group>
    void Groups(Group&& g) const { AAGroups(S, g); }
    int32_t Cap() const { return AttAir(S); }
    int32_t Saturation() const { return AttAir(S); }
};

// The defender's fire. Regular mode: three hit counts, its transports' (group
// DefTrnGroup), its submarines' (DefSubGroup) and the rest's. Low luck: one
// strength, worked out as the step is made (its submarines may first sink the
// attacking ships), capped while it has submarines.
struct TDefenderStep {
    const TState& S;
    const TBattleSetupRec& Setup;
    const TRules& R;
    int32_t LowLuckStrength = 0;
    int32_t LowLuckCap = INT32_MAX;
    bool LowLuck() const { return Setup.LowLuck; }
    template <class Group>
    void Groups(Group&& g) const { DefenderGroups(S, R, g); }
    // What any hit count of the defender can reach, the pool included.
    int32_t Saturation(const TKillList& kill) const { return Eligible(S.Att, kill) + S.AttBBDamage; }
    int32_t Saturation() const { return AttUnits(S) + S.AttBBDamage; }
};

inline TDefenderStep DefenderStep(TState& s, const TBattleSetupRec& setup, const TRules& r)
{
    TDefenderStep step{s, setup, r};
    if (setup.LowLuck) {
        step.LowLuckStrength = DefenderLowLuckStrength(s, r);
        step.LowLuckCap = DefenderLowLuckCap(s, INT32_MAX);
    }
    return step;
}

// ---- The battle, over a source of hit counts -------------------------------------------
//
// The round and the battle start are written once, here. A source has
//   Fire(state, step, go):  go(state, hits) for the step's hits;
//   Exchange(state, attack, prepare, onAttacker, onDefender, done): the
//     simultaneous fire of both sides. The attacker's hits are those of
//     `attack`, the state as it stands; then prepare(state) readies the
//     defender's fire and returns its step; onAttacker(state, defender hits)
//     and onDefender(state, attacker hits) take each side's casualties (each
//     touches its own side only); done(state) ends the round.
// The dice call each once with rolled hits; the exact odds call on with every
// possible count.

// One round.
template <class Source, class Next>
inline void PlayRound(TState& s, const TBattleSetupRec& setup, const TRules& r, Source& src, Next&& next)
{
    ++s.Round;
    // The rest fires simultaneously: attacker hits land only after the defender
    // has fired, and the bombarding battleships fire before they leave.
    auto exchange = [&](TState& s) {
        src.Exchange(
            s, TAttackStep{s, setup, r},
            [&](TState& s) {
                Bombard(s);
                return DefenderStep(s, setup, r);
            },
            [&](TState& s, const TDefenderHits& h) { TakeDefenderFire(s, setup, r, h); },
            [&](TState& s, int32_t hits) { TakeAttackerFire(s, r, hits); },
            [&](TState& s) {
                EndOfRound(s, setup, r);
                next(s);
            });
    };
    // Attacking submarines strike first: what they sink does not fire back.
    // (No submarines, no dice: only low luck rolls its one die for an empty step.)
    if (s.Att[aSUB] > 0 || setup.LowLuck)
        src.Fire(s, TSubStrikeStep{s, setup, r}, [&](TState& s, int32_t hits) {
            TakeSubStrike(s, r, hits);
            exchange(s);
        });
    else
        exchange(s);
}

// The battle starts from the prepared state; the AA gun fires before round 1.
template <class Source, class Next>
inline void PlayStart(TState& s, const TBattleSetupRec& setup, const TRules& r, Source& src, Next&& next)
{
    s = r.Start;
    if (!setup.AAGun) {
        next(s);
        return;
    }
    src.Fire(s, TAAStep{s, setup}, [&](TState& s, int32_t hits) {
        TakeAACasualties(s, r, hits);
        next(s);
    });
}

// The dice as a source: every step rolled once, in the order the round meets it.
template <class Dice>
struct TDiceSource {
    Dice& D;

    template <class Step>
    int32_t Roll(const Step& step)
    {
        const int32_t hits = step.LowLuck() ? LowLuckHits(D, step.Strength())
                                            : RollFireTotal(D, [&](auto&& g) { step.Groups(g); });
        return std::min(hits, step.Cap());
    }

    TDefenderHits Roll(const TDefenderStep& step)
    {
        TDefenderHits h;
        if (step.LowLuck()) {
            h.Other = std::min(LowLuckHits(D, step.LowLuckStrength), step.LowLuckCap);
            return h;
        }
        RollFire(D, [&](auto&& g) { step.Groups(g); }, [&](int group, int32_t hits) {
            if (group == DefTrnGroup) h.Trn = hits;
            else if (group == DefSubGroup) h.Sub = hits;
            else h.Other += hits;
        });
        return h;
    }

    template <class Step, class Go>
    void Fire(TState& s, const Step& step, Go&& go)
    {
        go(s, Roll(step));
    }

    template <class Prepare, class OnAttacker, class OnDefender, class Done>
    void Exchange(TState& s, const TAttackStep& attack, Prepare&& prepare, OnAttacker&& onAttacker,
                  OnDefender&& onDefender, Done&& done)
    {
        const int32_t attackerHits = Roll(attack);
        const TDefenderHits defenderHits = Roll(prepare(s));
        onAttacker(s, defenderHits);
        onDefender(s, attackerHits);
        done(s);
    }
};

template <class Dice>
inline void FightRound(TState& s, const TBattleSetupRec& setup, const TRules& r, Dice& dice)
{
    TDiceSource<Dice> src{dice};
    PlayRound(s, setup, r, src, [](TState&) {});
}

template <class Dice>
inline void StartBattle(TState& s, const TBattleSetupRec& setup, const TRules& r, Dice& dice)
{
    TDiceSource<Dice> src{dice};
    PlayStart(s, setup, r, src, [](TState&) {});
}

// Each side can only lose units down one fixed order from state s on: no
// submarine strike that can land, no defending transports or submarines (fire
// steps with targets of their own), no battleship pool left, no Take w/ ground
// choice, no battleship still to bombard and leave, and no submarine retreat
// still to come. The end of a round then changes nothing but ends the battle
// or not. (A retreat that is not due now never becomes due: the defender only
// loses ships and aircraft from here on.)
inline bool LosesDownOneOrder(const TState& s, const TBattleSetupRec& setup)
{
    return s.AttBBDamage == 0 && s.DefBBDamage == 0 && s.Def[dTRN] == 0 && s.Def[dSUB] == 0 &&
           (s.Att[aSUB] == 0 || DefSea(s) == 0) && !(setup.TakeWith && AttLand(s) > 0 && AttAir(s) > 0) &&
           (AttLand(s) == 0 || s.Att[aBB] == 0) && !(s.Att[aSUB] > 0 && AttSubsLeave(s, setup));
}

// ---- Battle end ------------------------------------------------------------------

// The label is derived from the category that ended the battle rather than
// re-derived from the final counts and thresholds: that way the label and the
// run totals can never disagree. Re-deriving gives the same label for every
// setup the window produces, but not for hand-filled ones (thresholds set
// while withdrawal is off would turn a round-limit end into "With.", and a
// battle ended because neither side can hit would get no label at all).
inline TVictor VictorOf(TOutcome outcome)
{
    switch (outcome) {
    case TOutcome::AttWins: return TVictor::ATT;
    case TOutcome::DefWins: return TVictor::DEF;
    case TOutcome::BothDes: return TVictor::BothD;
    case TOutcome::AttWithdraws: return TVictor::With;
    case TOutcome::BothRemain: return TVictor::RndLmt;
    }
    return TVictor::None;
}

// Retreated submarines are not lost; bombarding battleships were never at stake.
inline void EndBattle(const TState& s, const TBattleSetupRec& setup, TBattleEnd& end)
{
    int64_t attLeft = int64_t{setup.AttIPC[aSUB]} * s.AttSubsRetreated;
    for (int k = 0; k < AttKinds; ++k) attLeft += int64_t{setup.AttIPC[k]} * s.Att[k];
    int64_t defLeft = int64_t{setup.DefIPC[dSUB]} * s.DefSubsRetreated;
    for (int k = 0; k < DefKinds; ++k) defLeft += int64_t{setup.DefIPC[k]} * s.Def[k];
    end.AttIPCLoss = SaturateIPC(s.AttIPCStart - attLeft);
    end.DefIPCLoss = SaturateIPC(s.DefIPCStart - defLeft);
    end.Outcome = s.Outcome;
    end.Rounds = s.Round;
    end.State.Victor = VictorOf(s.Outcome);
    for (int k = 0; k < AttKinds; ++k) end.State.AttCount[k] = s.Att[k];
    for (int k = 0; k < DefKinds; ++k) end.State.DefCount[k] = s.Def[k];
    end.State.Instances = 0;
}

// One battle with rules already prepared for the setup (see TRulesCache).
template <class Dice>
inline void Fight(const TBattleSetupRec& setup, const TRules& rules, Dice& dice, TBattleEnd& end)
{
    TState state;
    StartBattle(state, setup, rules, dice);
    do FightRound(state, setup, rules, dice);
    while (!state.Over);
    EndBattle(state, setup, end);
}

}  // namespace battle

template <class Dice>
void FightBattle(const TBattleSetupRec& setup, Dice& dice, TBattleEnd& end)
{
    battle::TRules rules;
    battle::MakeRules(setup, rules);
    battle::Fight(setup, rules, dice, end);
}
