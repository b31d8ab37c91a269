#pragma once
// The odds tool's readable reports of a run and of the exact odds.
#include <cstdint>
#include <iosfwd>

#include "engine/battle/Driver.h"
#include "engine/battle/Outcomes.h"
#include "engine/exact/Exact.h"
#include "format/Panel.h"
#include "model/BattleSetup.h"

// A run of `setup` from `seed`: its totals, the "Average Results" rows and
// every end state by frequency.
void WriteReport(std::ostream& out, const TBattleSetupRec& setup, uint32_t seed, const RunTotals& totals,
                 const TPanelTexts& panel, const TOutcomeList& outcomes);
// The exact odds of `setup`: their status figures, the rows and the most
// probable end states.
void WriteExactReport(std::ostream& out, const TBattleSetupRec& setup, const TExactOdds& odds, const TPanelTexts& panel);
