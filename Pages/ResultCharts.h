#pragma once
// The charts of the "Graph Results" page (GraphResults.cpp). Each chart builds
// its series into a chart view and rewrites them from the shown results; the
// page and an enlarged chart's window each hold their own.
#include <QString>
#include <memory>

#include "engine/battle/Driver.h"
#include "engine/exact/Exact.h"
#include "engine/battle/Outcomes.h"

class QChartView;

enum class TChartKind { Outcomes, Losses, Survivors };
constexpr int ChartKinds = 3;

// The chart's name as an enlarged chart's window title shows it.
QString ChartTitle(TChartKind kind);

// What the charts show: the shown run, and its exact odds once worked out.
struct TChartData {
    const TBattleSetupRec* Setup = nullptr;  // null: no run shown yet
    const RunTotals* Totals = nullptr;
    const TOutcomeList* Outcomes = nullptr;
    const TExactOdds* Exact = nullptr;  // Done only
    bool NoBattle = false;  // neither side has a unit: the chart says "No battle"
};

class TResultChart {
public:
    // Large: the type of a chart in a window of its own.
    static std::unique_ptr<TResultChart> Make(TChartKind kind, QChartView* view, bool large);
    virtual ~TResultChart() = default;

    virtual void Write(const TChartData& data) = 0;
    TChartKind Kind() const { return Kind_; }
    QChartView* View() const { return View_; }
    bool Dirty = true;  // the shown results changed since the last Write

protected:
    TResultChart(TChartKind kind, QChartView* view) : Kind_(kind), View_(view) {}

private:
    TChartKind Kind_;
    QChartView* View_;
};

// Names shared by the report and the charts: the five end categories in the
// panel's order, and the territory figure.
extern const char* const OutcomeCategoryLabels[5];
extern const char* const TakenLabel;
