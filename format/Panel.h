#pragma once
// The "Average Results" panel's figures of the engine's results: a run's
// totals and the exact odds. The texts themselves are Format.h's.
#include "engine/battle/Driver.h"
#include "engine/exact/Exact.h"
#include "format/Format.h"

// The panel's figures of exact odds: percentages of the probabilities, the expectations.
TPanelFigures ExactPanelFigures(const TExactOdds& odds);
// Column 1 of the panel from the run totals; with no battles every row reads "0".
TPanelTexts PanelTexts(const RunTotals& totals, char separator = '.');
// The 95 % margins of the panel's eight figures, in the same units: half the
// Wilson interval for the percentages, MeanMargin for the averages. A margin
// that cannot be estimated (fewer than two battles) is negative.
TPanelFigures PanelMargins(const RunTotals& totals);
