// Low luck dice: one die per fire step for the remainder of the strength; the
// defender fires as one group with its own submarine rule. A round draws
// exactly three dice: attacking submarines, other attackers, defender.
#include "tests/engine/battle/BattleTestSupport.h"

namespace {

TBattleSetupRec LowLuck(TBattleSetupRec s, int32_t rounds = 1)
{
    s.LowLuck = true;
    return Limit(s, rounds);
}

TEST(LowLuck, RemainderHitsOnADieUpToIt)
{
    const TBattleSetupRec s = LowLuck(Forces({{aINF, 3}}, {{dINF, 1}}));
    ExpectEnd(Fight(s, {6, 3, 6}), TOutcome::AttWins, TVictor::ATT, 1);
    ExpectEnd(Fight(s, {6, 4, 6}), TOutcome::BothRemain, TVictor::RndLmt, 1);
}

TEST(LowLuck, AttackingSubmarinesStrikeFirstInTheirOwnStep)
{
    // The submarines' own die sinks a transport on its remainder; they add nothing
    // to the other attackers' die, and the sunk transport does not fire.
    const TBattleSetupRec s = LowLuck(Forces({{aSUB, 2}}, {{dTRN, 2}}));
    const TBattleEnd e = Fight(s, {4, 1, 2});
    EXPECT_EQ(DefLeft(e), (DefArr{0, 0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(e.State.AttCount[aSUB], 2);
}

TEST(LowLuck, FullSixesHitWhateverTheDie)
{
    const TBattleSetupRec s = LowLuck(Forces({{aINF, 12}}, {{dINF, 3}}));
    for (int die : {1, 6}) {
        const TBattleEnd e = Fight(s, {6, die, 6});
        EXPECT_EQ(e.State.DefCount[dINF], 1);
        EXPECT_EQ(e.State.AttCount[aINF], 11);  // defender strength 6: one sure hit
    }
}

TEST(LowLuck, HeavyBombersCountThreeTimes)
{
    TBattleSetupRec s = LowLuck(Forces({{aBMR, 1}}, {{dINF, 3}}));
    EXPECT_EQ(Fight(s, {6, 6, 6}).State.DefCount[dINF], 3);
    s.HvyBomber = true;
    EXPECT_EQ(Fight(s, {6, 6, 6}).State.DefCount[dINF], 1);
}

TEST(LowLuck, AAGunOneDieForAllAircraft)
{
    TBattleSetupRec s = LowLuck(Forces({{aFTR, 7}}, {{dINF, 1}}));
    s.AAGun = true;
    EXPECT_EQ(Fight(s, {1, 6, 6, 6}).State.AttCount[aFTR], 5);
    EXPECT_EQ(Fight(s, {2, 6, 6, 6}).State.AttCount[aFTR], 6);

    // The gun's die is drawn even with no aircraft to shoot at.
    TBattleSetupRec land = LowLuck(Forces({{aINF, 1}}, {{dINF, 1}}));
    land.AAGun = true;
    EXPECT_EQ(Fight(land, {1, 6, 6, 6}).State.AttCount[aINF], 1);
}

TEST(LowLuck, DefendingTransportsAndSubsFireWithinTheDefendersGroup)
{
    // Transports 2 + submarines 2 (the attacker has a ship): strength 4.
    const TBattleSetupRec s = LowLuck(Forces({{aBB, 1}}, {{dTRN, 2}, {dSUB, 1}}));
    ExpectEnd(Fight(s, {6, 6, 5}), TOutcome::BothRemain, TVictor::RndLmt, 1);
    ExpectEnd(Fight(s, {6, 6, 4}), TOutcome::DefWins, TVictor::DEF, 1);
}

TEST(LowLuck, StrongSubmarinesSinkEveryAttackingShipAtOnce)
{
    // Submarine strength 6 sinks the transport and is used up; with
    // submarines present the hits are capped by what else is there: nothing.
    const TBattleSetupRec s = LowLuck(Forces({{aTRN, 1}, {aFTR, 2}}, {{dSUB, 3}}));
    const TBattleEnd e = Fight(s, {6, 6, 1});
    EXPECT_EQ(AttLeft(e), (AttArr{0, 0, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(DefLeft(e), (DefArr{0, 0, 0, 0, 0, 0, 0, 0, 2}));

    // What is left of the submarine strength adds to the rest: 14 - 12 + 4 = 6.
    const TBattleSetupRec rest = LowLuck(Forces({{aTRN, 2}, {aFTR, 1}}, {{dSUB, 7}, {dFTR, 1}}), 2);
    const TBattleEnd r = Fight(rest, {6, 6, 6});
    ExpectEnd(r, TOutcome::DefWins, TVictor::DEF, 1);
    EXPECT_EQ(AttLeft(r), AttArr{});

    // The sinking comes before any battleship absorbs a hit.
    TBattleSetupRec bb = LowLuck(Forces({{aBB, 1}}, {{dSUB, 3}}));
    bb.TwoHitBB = true;
    ExpectEnd(Fight(bb, {6, 6, 6}), TOutcome::DefWins, TVictor::DEF, 1);
}

TEST(LowLuck, SubmarinesAddNothingAgainstAircraftAndCapTheHits)
{
    // Carrier strength 3: one hit on a 1..3, capped at the carrier's 1.
    const TBattleSetupRec s = LowLuck(Forces({{aFTR, 3}}, {{dSUB, 2}, {dAC, 1}}));
    const TBattleEnd e = Fight(s, {6, 6, 1});
    EXPECT_EQ(e.State.AttCount[aFTR], 2);
    EXPECT_EQ(DefLeft(e), (DefArr{0, 0, 0, 0, 0, 0, 1, 0, 1}));
    EXPECT_EQ(Fight(s, {6, 6, 4}).State.AttCount[aFTR], 3);

    // Bombers raise the strength to 9 (two hits on a 1..3) but not the cap.
    const TBattleSetupRec bmr = LowLuck(Forces({{aFTR, 3}}, {{dSUB, 2}, {dAC, 1}, {dBMR, 6}}));
    EXPECT_EQ(Fight(bmr, {6, 6, 1}).State.AttCount[aFTR], 2);
    TBattleSetupRec noSubs = bmr;
    noSubs.DefCount[dSUB] = 0;
    EXPECT_EQ(Fight(noSubs, {6, 6, 1}).State.AttCount[aFTR], 1);
}

}  // namespace
