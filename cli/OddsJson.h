#pragma once
// The odds tool's JSON: the objects of a run, of the exact odds, and the
// pieces its other modes share.
#include <nlohmann/json.hpp>

#include <iosfwd>

#include "engine/battle/Driver.h"
#include "engine/battle/Outcomes.h"
#include "engine/exact/Exact.h"
#include "format/Panel.h"
#include "model/Normalise.h"

using TJson = nlohmann::ordered_json;

// The "exact" object of --exact --json: the figures of the exact odds.
TJson ExactJson(const TExactOdds& odds);
// The "panel" object: the eight "Average Results" rows by label.
TJson PanelJson(const TPanelTexts& panel);
// An end state: victor and both sides' counts.
TJson OutcomeJson(const TBattleResultsRec& outcome);
// "Adjusted": what the battle's rules changed, one object each
// ({"Member", "From", "To", "Why"}; switches as true or false).
TJson AdjustedJson(const std::vector<TAdjustment>& adjusted);
// --json: a run's totals, panel and outcomes.
void WriteJson(std::ostream& out, const RunTotals& totals, const TPanelTexts& panel, const TOutcomeList& outcomes,
               const std::vector<TAdjustment>& adjusted = {});
// --exact --json: the exact figures, panel and every end state.
void WriteExactJson(std::ostream& out, const TExactOdds& odds, const TPanelTexts& panel,
                    const std::vector<TAdjustment>& adjusted = {});
