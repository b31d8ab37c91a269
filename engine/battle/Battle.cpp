#include "engine/battle/Battle.h"

#include <algorithm>

#include "engine/battle/BattleImpl.h"
#include "engine/battle/Random.h"
#include "engine/battle/ScriptedDice.h"

const char* VictorText(TVictor v)
{
    switch (v) {
    case TVictor::None: return "";
    case TVictor::ATT: return "ATT";
    case TVictor::DEF: return "DEF";
    case TVictor::BothD: return "Both D.";
    case TVictor::With: return "With.";
    case TVictor::RndLmt: return "Rnd Lmt";
    }
    return "";
}

// Two battles ended in the same outcome when label and every count agree;
// the frequency is not part of the outcome.
bool TBattleResultsRec::SameOutcome(const TBattleResultsRec& o) const
{
    return Victor == o.Victor && std::equal(AttCount, AttCount + AttKinds, o.AttCount) &&
           std::equal(DefCount, DefCount + DefKinds, o.DefCount);
}

template void FightBattle<TRandom>(const TBattleSetupRec&, TRandom&, TBattleEnd&);
template void FightBattle<TScriptedDice>(const TBattleSetupRec&, TScriptedDice&, TBattleEnd&);
