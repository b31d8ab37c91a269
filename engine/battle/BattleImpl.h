#pragma once
// FightBattle for any dice type, and the round it plays, written once over a
// source of hit counts so that the exact odds play the very same steps. Kept
// in a header so that every dice type (the generator, scripted dice, a
// counting wrapper in a benchmark) gets its own instantiation with each die an
// inlined call.
#include "engine/battle/BattleRules.h"
#include "engine/battle/Casualties.h"

namespace battle {

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
    const TKillList& Kill() const { return AttackerSubKill(R); }
    int32_t Saturation() const { return Eligible(S.Def, Kill()) + S.DefBBDamage; }
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
    const TKillList& Kill() const { return AttackerKill(R); }
    int32_t Saturation() const { return Eligible(S.Def, Kill()) + S.DefBBDamage; }
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
    // What the hits of a group reach (low luck's one group: DefOtherGroups).
    const TKillList& Kill(int group) const { return DefenderKill(R, group); }
    // What any hit count of a group can reach, the pool included.
    int32_t Saturation(int group) const { return Eligible(S.Att, Kill(group)) + S.AttBBDamage; }
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
