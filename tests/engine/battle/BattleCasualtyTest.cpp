// Which units a group of hits destroys: kill order, eligible kinds, AA
// casualties and "Take w/ ground".
#include "tests/engine/battle/BattleTestSupport.h"

namespace {

// The attacker's own dice all miss; the defender's dice are given.
std::vector<int> AttackerMissesThenDefender(int attackerDice, std::vector<int> defender)
{
    std::vector<int> faces(attackerDice, 6);
    faces.insert(faces.end(), defender.begin(), defender.end());
    return faces;
}

TEST(TakeWithGround, KeepsOneInfantryByGivingUpTheFighter)
{
    TBattleSetupRec s = Forces({{aINF, 3}, {aFTR, 1}}, {{dARM, 3}});
    Limit(s, 1);
    const std::vector<int> dice = AttackerMissesThenDefender(4, {1, 1, 1});
    EXPECT_EQ(AttLeft(Fight(s, dice)), (AttArr{0, 0, 1, 0, 0, 0, 0, 0}));
    s.TakeWith = true;
    const TBattleEnd e = Fight(s, dice);
    ExpectEnd(e, TOutcome::BothRemain, TVictor::RndLmt, 1);
    EXPECT_EQ(AttLeft(e), (AttArr{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(TakeWithGround, HitsEnoughForTheWholeForceLeaveNothing)
{
    TBattleSetupRec s = Forces({{aINF, 3}, {aFTR, 1}}, {{dARM, 4}});
    s.TakeWith = true;
    const TBattleEnd e = Fight(s, AttackerMissesThenDefender(4, {1, 1, 1, 1}));
    ExpectEnd(e, TOutcome::DefWins, TVictor::DEF, 1);
    EXPECT_EQ(AttLeft(e), AttArr{});
}

TEST(TakeWithGround, ActsOnlyAtTheLastLandKind)
{
    // Armor still stands at the infantry position, so all infantry go; at the
    // armor position the armor stays and the last hit takes the fighter.
    TBattleSetupRec s = Forces({{aINF, 3}, {aARM, 1}, {aFTR, 1}}, {{dARM, 4}});
    s.TakeWith = true;
    Limit(s, 1);
    const TBattleEnd e = Fight(s, AttackerMissesThenDefender(5, {1, 1, 1, 1}));
    EXPECT_EQ(AttLeft(e), (AttArr{0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(TakeWithGround, AircraftGoInTheAttackersOrderOfFighterAndBomber)
{
    TBattleSetupRec s = Forces({{aINF, 2}, {aFTR, 1}, {aBMR, 1}}, {{dARM, 2}});
    s.TakeWith = true;
    Limit(s, 1);
    const std::vector<int> dice = AttackerMissesThenDefender(4, {1, 1});
    EXPECT_EQ(AttLeft(Fight(s, dice)), (AttArr{1, 0, 0, 1, 0, 0, 0, 0}));
    s.AttOrder[aFTR] = 7;
    s.AttOrder[aBMR] = 6;
    EXPECT_EQ(AttLeft(Fight(s, dice)), (AttArr{1, 0, 1, 0, 0, 0, 0, 0}));
}

TEST(Casualties, SubmarineHitsSinkTransportsFirstAndSparedShipsStillFire)
{
    TBattleSetupRec s = Forces({{aSUB, 2}}, {{dTRN, 2}, {dBB, 1}});
    Limit(s, 1);
    // Two sub hits, then only the battleship rolls: the sunk transports do not.
    const TBattleEnd e = Fight(s, {1, 1, 6});
    EXPECT_EQ(DefLeft(e), (DefArr{0, 0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(e.DefIPCLoss, 16);
}

TEST(Casualties, SubmarineHitsNeverReachLandOrAir)
{
    TBattleSetupRec s = Forces({{aSUB, 2}}, {{dINF, 1}, {dFTR, 1}, {dTRN, 1}});
    Limit(s, 1);
    const TBattleEnd e = Fight(s, {1, 1, /*TRN gone*/ 6, 6});
    EXPECT_EQ(DefLeft(e), (DefArr{1, 0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(Casualties, TransportHitsSpareLandUnits)
{
    TBattleSetupRec s = Forces({{aINF, 5}, {aFTR, 1}}, {{dTRN, 4}});
    Limit(s, 1);
    const TBattleEnd e = Fight(s, AttackerMissesThenDefender(6, {1, 1, 1, 1}));
    EXPECT_EQ(AttLeft(e), (AttArr{5, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Casualties, AttackersOtherHitsFollowTheDefendersKillOrder)
{
    TBattleSetupRec s = Forces({{aARM, 4}}, {{dINF, 1}, {dARM, 1}, {dFTR, 1}, {dJFTR, 1}, {dBMR, 1}});
    Limit(s, 1);
    const std::vector<int> dice = {1, 1, 1, 1, 6, 6, 6, 6, 6};
    // Default ranks: INF 1, ARM 2, BMR 5, FTR 6, JFTR 7.
    EXPECT_EQ(DefLeft(Fight(s, dice)), (DefArr{0, 0, 0, 1, 0, 0, 0, 0, 0}));
    const int32_t order[DefKinds] = {9, 8, 1, 2, 3, 4, 5, 6, 7};
    std::copy(order, order + DefKinds, s.DefOrder);
    EXPECT_EQ(DefLeft(Fight(s, dice)), (DefArr{1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Casualties, AAHitsTakeFightersOrBombersByTheKillOrder)
{
    TBattleSetupRec s = Forces({{aFTR, 1}, {aBMR, 1}}, {{dINF, 1}});
    s.AAGun = true;
    Limit(s, 1);
    const std::vector<int> dice = {1, 6, /*bomber or fighter*/ 6, /*defender*/ 6};
    EXPECT_EQ(AttLeft(Fight(s, dice)), (AttArr{0, 0, 0, 1, 0, 0, 0, 0}));
    s.AttOrder[aFTR] = 7;
    s.AttOrder[aBMR] = 6;
    EXPECT_EQ(AttLeft(Fight(s, dice)), (AttArr{0, 0, 1, 0, 0, 0, 0, 0}));
    // The gun hits on exactly 1.
    EXPECT_EQ(AttLeft(Fight(s, {2, 6, 6, 6, 6})), (AttArr{0, 0, 1, 1, 0, 0, 0, 0}));
}

// Ranks that are no permutation (a kill order left half edited) still lose
// one unit per hit; nothing is dropped while eligible units are left.
TEST(Casualties, IncompleteKillOrderStillLosesOneUnitPerHit)
{
    TBattleSetupRec s = Forces({{aINF, 2}, {aARM, 2}}, {{dARM, 3}});
    std::fill(s.AttOrder, s.AttOrder + AttKinds, 0);
    Limit(s, 1);
    const TBattleEnd e = Fight(s, AttackerMissesThenDefender(4, {1, 1, 1}));
    EXPECT_EQ(AttLeft(e), (AttArr{0, 1, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
