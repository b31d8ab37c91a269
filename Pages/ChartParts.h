#pragma once
// What the charts of the "Graph Results" page share (GraphResults.cpp): type
// sizes, a chart set up to use its room, axes, and the "No battle" title.
#include <QFont>
#include <QString>
#include <memory>

#include "Pages/ResultCharts.h"

class QAbstractAxis;
class QChart;
class QChartView;
class QValueAxis;

// Type sizes and room for axis steps: the page's small charts, an enlarged chart.
struct TType {
    int Small;
    int Label;
    int Steps;
    bool Large;
};

QFont Font(int pointSize, bool bold = false);
// A chart that uses its room for the plot: no title, no margins, the legend below.
QChart* NewChart(QChartView* view, const TType& type);
void StyleAxis(QAbstractAxis* axis, const QString& title, const TType& type);
QValueAxis* PercentAxis(const QString& title, const TType& type);
// With no battle to fight the chart says so above its empty plot.
void ShowNoBattle(QChart* chart, bool none, const TType& type);

// The end categories, and the territory figure in a land battle (OutcomeChart.cpp).
std::unique_ptr<TResultChart> MakeOutcomeChart(QChartView* view, const TType& type);
