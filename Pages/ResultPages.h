#pragma once
// TResultPages: the "Text Results" and "Graph Results" pages, the enlarged
// charts, and the exact odds behind them (ResultPages.cpp, TextResults.cpp,
// GraphResults.cpp).
//
// The window tells the pages about its runs (RunStarting, SetupRead,
// Published) and nothing else; the pages own the exact-odds worker, watch
// their own tabs come into view and write themselves. They are a child of the
// window named "ResultPages"; tests find them there.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "Pages/ResultCharts.h"
#include "Support/JobWorker.h"
#include "engine/battle/Driver.h"
#include "engine/battle/Outcomes.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class TChartWindow;

// The exact calculation the pages run on a worker thread, with its own copy of
// the setup; it must honour the cancel flag.
using TExactCalculation = std::function<TExactOdds(const TBattleSetupRec&, const std::atomic<bool>* cancel)>;

// The main window's widgets the pages write: its "Text Results" and "Graph
// Results" tab sheets and what they hold.
struct TPageWidgets {
    QWidget* TextPage = nullptr;
    QWidget* GraphPage = nullptr;
    QPlainTextEdit* Report = nullptr;
    QPushButton* CopyReport = nullptr;
    QLabel* ExactStatus = nullptr;
    QPushButton* Enlarge = nullptr;
    QChartView* Charts[ChartKinds] = {};  // in TChartKind order
};

class TResultPages : public QObject {
    Q_OBJECT

public:
    // `live` is the window's outcome list, which every run fills anew.
    TResultPages(const TPageWidgets& widgets, TOutcomeList& live, QObject* parent);
    ~TResultPages() override;  // cancels and joins the calculations

    // ---- The window's runs ----------------------------------------------------
    // A run (or restart) begins; `live` is about to be cleared and refilled.
    void RunStarting();
    // The setup of the run's first battle is still to be read.
    bool SetupDue() const { return RunSetupDue; }
    // The setup the run's first battle read, and the rolling mode it runs in.
    void SetupRead(const TBattleSetupRec& setup, bool manual);
    // A publication of the run: its totals; `live` holds its outcomes.
    void Published(const RunTotals& totals, bool last);
    // The window is going: cancel the calculation, start no other.
    void Close();
    // The battle in the window changed; `empty`: neither side has a unit, so
    // there is no battle to show figures of until a run publishes again.
    void BattleChanged(bool empty);

    // ---- For tests and benchmarks ----------------------------------------------
    // The exact calculation. It runs on a worker thread with its own copy of
    // the setup and must honour the cancel flag; tests replace it.
    TExactCalculation ExactCalculation;
    // A calculation is running, or its result has not reached the pages yet.
    bool ExactOddsPending() const { return Worker.Busy(); }
    // Rewrites of the report and of the page's charts: a page that is not
    // shown must cost nothing.
    int ReportWrites = 0;
    int ChartWrites = 0;
    // The setup of the run whose figures the pages show (false: none yet, or
    // "No battle").
    bool ShownSetup(TBattleSetupRec& setup) const;

    // Opens (or raises) the chart of that kind in a window of its own.
    void Enlarge(TChartKind kind);

private:
    // The report as the page shows it.
    QString Report() const;

    enum class TExactState { None, Pending, Done, TooLarge, Failed };
    TExactState ExactState() const;
    // "Exact odds: ..." for the report's first line and the Graph page, and
    // the reason behind it for a tooltip.
    QString StatusText() const;
    QString StatusReason() const;
    // The exact odds of the shown run's setup when worked out.
    const TExactOdds* ShownDone() const;
    const TOutcomeList& ShownOutcomes() const { return ShownOutcomesIn ? Live : ShownBefore; }

    void Finished(quint64 id);
    // The shown results changed: every page and enlarged chart is out of date.
    void MarkDirty();
    void Refresh(bool now);
    void WriteReport();
    void WriteCharts(bool pageShown);
    void CopyReport();
    TChartData ChartData() const;

    const TPageWidgets Form;
    TOutcomeList& Live;
    TJobWorker<TExactOdds> Worker;
    bool Closing = false;

    // The run in progress: the setup its first battle read.
    bool RunSetupDue = false;
    bool RunSetupKnown = false;
    TBattleSetupRec RunSetup;
    bool RunManual = false;

    // The run whose figures the window shows: its setup, last totals and
    // outcomes. Its outcomes are in Live once it has published; a new run
    // takes Live over, and until that run publishes they wait in ShownBefore
    // (a swap: nothing is copied).
    bool ShownKnown = false;
    bool NoBattle = true;  // the window's battle is empty: "No battle"
    TBattleSetupRec Shown;
    bool ShownManual = false;
    bool ShownOutcomesIn = false;
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
    QElapsedTimer SinceWrite;
    QTimer RefreshTimer;

    // The page's charts, and those enlarged in windows of their own.
    std::vector<std::unique_ptr<TResultChart>> PageCharts;
    std::vector<QPointer<TChartWindow>> Windows;
};
