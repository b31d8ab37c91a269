#pragma once
// State of the "Text Results" and "Graph Results" pages and of the exact odds
// behind them (ExactOdds.cpp, TextResults.cpp, GraphResults.cpp).
#include <QElapsedTimer>
#include <QTimer>
#include <optional>

#include "Dizorivurad/Dizorivurad.h"
#include "Dizorivurad/ExactWorker.h"

class QBarSet;
class QHorizontalBarSeries;
class QLineSeries;
class QValueAxis;

struct TForm1::TPagesState {
    TExactWorker Worker;

    // The run in progress: the setup its first battle read.
    bool RunSetupKnown = false;
    TBattleSetupRec RunSetup;
    bool RunManual = false;

    // The run whose figures the window shows: its setup, last totals and
    // outcomes. Its outcomes are in OutcomeList once it has published; a new
    // run takes OutcomeList over, and until that run publishes they wait in
    // ShownBefore.
    bool ShownKnown = false;
    TBattleSetupRec ShownSetup;
    bool ShownManual = false;
    bool ShownOutcomes = false;
    TOutcomeList ShownBefore;
    RunTotals ShownTotals;

    // The latest calculation asked for, and its result once it is in.
    bool Requested = false;
    uint64_t RequestId = 0;
    TBattleSetupRec RequestSetup;
    std::optional<TExactOdds> Odds;

    // Refreshing: a page is rewritten only while shown, at most every
    // RefreshInterval during a run.
    bool ReportDirty = false;
    bool ChartsDirty = false;
    QElapsedTimer SinceWrite;
    QTimer Refresh;

    // Series of the charts.
    QHorizontalBarSeries* Bars = nullptr;
    QBarSet* RunBars = nullptr;
    QBarSet* ExactBars = nullptr;
    QLineSeries* LossSteps[2] = {};
    QLineSeries* LossAverages[2] = {};
    QValueAxis* LossAxis = nullptr;

    // The exact odds of the shown run's setup, when they are in.
    const TExactOdds* ShownOdds() const
    {
        return ShownKnown && Requested && Odds && RequestSetup == ShownSetup ? &*Odds : nullptr;
    }
    // The exact odds of the shown run's setup are still being worked out.
    bool ShownOddsPending() const { return ShownKnown && Requested && !Odds && RequestSetup == ShownSetup; }
    // Exact figures to show beside the run's (Done only).
    const TExactOdds* ShownDone() const
    {
        const TExactOdds* odds = ShownOdds();
        return odds && odds->Status == TExactStatus::Done ? odds : nullptr;
    }
};

// Texts shared by the two pages.
extern const char* const OutcomeCategoryLabels[5];
extern const char* const ExactTooLargeText;
