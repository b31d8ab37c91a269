#pragma once
// What hits do to a battle: absorption by the battleship pools, casualties in
// kill order, the battle's start, the end of a round (retreats, the end test,
// withdrawal, the round limit, Save Air) and the battle's end.
#include "engine/battle/BattleRules.h"

namespace battle {

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
    const TKillList& kill = DefenderKill(r, DefOtherGroups);
    if (!setup.TakeWith) {
        TakeCasualties(s.Att, kill, hits);
        return;
    }
    if (hits <= 0) return;
    if (hits >= AttUnits(s)) {
        LoseAll(s.Att, kill);
        return;
    }
    for (int i = 0; i < kill.Size && hits > 0; ++i) {
        const int slot = kill.Slot[i];
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
    TakeCasualties(s.Def, AttackerSubKill(r), Absorb(hits, s.DefBBDamage));
}

// The defender's hits on the attacker, absorbed and taken in the order fired.
inline void TakeDefenderFire(TState& s, const TBattleSetupRec& setup, const TRules& r, const TDefenderHits& h)
{
    const int32_t trn = Absorb(h.Trn, s.AttBBDamage);
    const int32_t sub = Absorb(h.Sub, s.AttBBDamage);
    const int32_t other = Absorb(h.Other, s.AttBBDamage);
    if (trn + sub > 0) {
        TakeCasualties(s.Att, DefenderKill(r, DefTrnGroup), trn);
        TakeCasualties(s.Att, DefenderKill(r, DefSubGroup), sub);
    }
    TakeDefenderHits(s, setup, r, other);
}

// The attacker's other units' hits, taken after the defender has fired.
inline void TakeAttackerFire(TState& s, const TRules& r, int32_t hits)
{
    TakeCasualties(s.Def, AttackerKill(r), Absorb(hits, s.DefBBDamage));
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

// Whether a side can still score a hit on the other's units as they stand:
// some group of its fire steps fires with a value above 0 at a kill list that
// still holds units. Both false means no unit can ever be lost again: nothing
// in the battle changes any more. The attacker's low luck strengths are the
// same groups' values times shots, so the groups answer for both modes.
inline bool AttackerCanHit(const TState& s, const TBattleSetupRec& setup, const TRules& r)
{
    bool can = false;
    auto firesAt = [&](const TKillList& kill) {
        return [&can, reachable = Eligible(s.Def, kill) > 0](int32_t shots, int32_t value) {
            can |= reachable && shots > 0 && value > 0;
        };
    };
    AttackerSubGroups(s, r, firesAt(AttackerSubKill(r)));
    AttackerGroups(s, setup, r, firesAt(AttackerKill(r)));
    return can;
}

inline bool DefenderCanHit(const TState& s, const TBattleSetupRec& setup, const TRules& r)
{
    if (setup.LowLuck) {
        TState t = s;
        const int32_t strength = DefenderLowLuckStrength(t, r);
        if (AttSea(t) < AttSea(s)) return true;  // its submarines sink the attacking ships outright
        return strength > 0 && DefenderLowLuckCap(t, INT32_MAX) > 0 &&
               Eligible(t.Att, DefenderKill(r, DefOtherGroups)) > 0;
    }
    bool can = false;
    int group = 0;
    DefenderGroups(s, r, [&](int32_t shots, int32_t value) {
        const TKillList& kill = DefenderKill(r, std::min(group++, DefOtherGroups));
        can |= shots > 0 && value > 0 && Eligible(s.Att, kill) > 0;
    });
    return can;
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
    if (setup.AllRounds && r.MayStall && !AttackerCanHit(s, setup, r) && !DefenderCanHit(s, setup, r))
        EndBattleAs(s, TOutcome::BothRemain);
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

}  // namespace battle
