#pragma once
// One battle from its start to its end: battle start, rounds, casualties,
// retreats, battle end; regular or low luck dice.
#include <cstdint>

#include "model/BattleSetup.h"

enum class TVictor : uint8_t { None, ATT, DEF, BothD, With, RndLmt };

// "ATT", "DEF", "Both D.", "With.", "Rnd Lmt"; "" for None.
const char* VictorText(TVictor v);

// The five ways a battle ends; each has its RunTotals counter.
enum class TOutcome : uint8_t { AttWins, DefWins, BothDes, AttWithdraws, BothRemain };

// End state of one battle; in the outcome list, one outcome and its frequency.
struct TBattleResultsRec {
    TVictor Victor = TVictor::None;
    int32_t AttCount[AttKinds] = {};
    int32_t DefCount[DefKinds] = {};
    int32_t Instances = 0;

    bool SameOutcome(const TBattleResultsRec& o) const;
};

struct TBattleEnd {
    TBattleResultsRec State;
    TOutcome Outcome = TOutcome::BothDes;
    int32_t Rounds = 0;
    int32_t AttIPCLoss = 0;
    int32_t DefIPCLoss = 0;
};

// Fights one battle of the setup with the given dice (anything with int Die()
// returning 1..6). Instantiated for TRandom and TScriptedDice.
template <class Dice>
void FightBattle(const TBattleSetupRec& setup, Dice& dice, TBattleEnd& end);
