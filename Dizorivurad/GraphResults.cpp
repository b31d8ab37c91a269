// The "Graph Results" page: the five end categories, the run's and the exact
// side by side (OutcomeChart), and each side's IPC loss as a distribution, the
// probability of losing at most x, with its average marked (LossChart). The
// losses come from the exact end states when they are in, from the run's
// outcome list otherwise.
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>

#include "Dizorivurad/LocalNumbers.h"
#include "Dizorivurad/ResultPages.h"
#include "engine/Format.h"
#include "engine/Losses.h"
#include "ui_Dizorivurad.h"

namespace {

const QColor SideColour[2] = {QColor(0xc0, 0x1c, 0x28), QColor(0x1a, 0x5f, 0xb4)};  // attacker red, defender blue
const char* const SideName[2] = {"ATT", "DEF"};

QFont SmallFont(int pointSize, bool bold = false)
{
    QFont font;
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

// A chart that uses its little room for the plot: no title, no margins,
// small type, the legend below.
QChart* NewChart(QChartView* view)
{
    auto chart = new QChart;
    chart->setMargins(QMargins(2, 2, 6, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(SmallFont(7));
    chart->legend()->setContentsMargins(0, 0, 0, 0);
    view->setChart(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::NoFrame);
    return chart;
}

void StyleAxis(QAbstractAxis* axis, const QString& title)
{
    axis->setLabelsFont(SmallFont(7));
    axis->setTitleFont(SmallFont(7, true));
    axis->setTitleText(title);
}

// Each side's loss distribution: loss -> probability.
struct TLossDistribution {
    std::map<int64_t, double> Side[2];
};

void AddLosses(TLossDistribution& d, const TBattleSetupRec& setup, const TBattleResultsRec& state, double weight)
{
    const TSideLosses losses = EndStateLosses(setup, state);
    d.Side[0][losses.Att] += weight;
    d.Side[1][losses.Def] += weight;
}

// P(loss <= x) in percent as steps, from 0 to `end`.
QList<QPointF> Steps(const std::map<int64_t, double>& distribution, double end)
{
    double total = 0;
    for (const auto& [loss, p] : distribution) total += p;
    if (total <= 0) return {};
    QList<QPointF> points;
    points.reserve(qsizetype(2 * distribution.size() + 2));
    points.append(QPointF(0, 0));
    double cumulative = 0;
    for (const auto& [loss, p] : distribution) {
        points.append(QPointF(double(loss), std::min(100.0, 100 * cumulative / total)));
        cumulative += p;
        points.append(QPointF(double(loss), std::min(100.0, 100 * cumulative / total)));
    }
    points.append(QPointF(end, points.back().y()));
    return points;
}

}  // namespace

void TForm1::SetUpCharts()
{
    TPagesState& p = *Pages;

    QChart* outcomes = NewChart(ui->OutcomeChart);
    p.Bars = new QHorizontalBarSeries;
    p.RunBars = new QBarSet(QStringLiteral("Run"));
    p.ExactBars = new QBarSet(QStringLiteral("Exact"));
    p.RunBars->setColor(QColor(0x9a, 0x99, 0x96));
    p.ExactBars->setColor(QColor(0xe6, 0x8a, 0x00));
    for (int i = 0; i < 5; ++i) {
        p.RunBars->append(0);
        p.ExactBars->append(0);
    }
    p.Bars->append(p.RunBars);
    p.Bars->setBarWidth(0.8);
    outcomes->addSeries(p.Bars);
    auto categories = new QBarCategoryAxis;
    // Top to bottom as in the panel: a horizontal bar chart lists its categories from the bottom.
    for (int i = 4; i >= 0; --i) categories->append(QString::fromLatin1(OutcomeCategoryLabels[i]));
    StyleAxis(categories, QString());
    categories->setTitleVisible(false);
    categories->setTruncateLabels(false);
    auto percent = new QValueAxis;
    percent->setRange(0, 100);
    percent->setTickCount(5);
    percent->setLabelFormat(QStringLiteral("%d"));
    StyleAxis(percent, QStringLiteral("Probability %"));
    outcomes->addAxis(categories, Qt::AlignLeft);
    outcomes->addAxis(percent, Qt::AlignBottom);
    p.Bars->attachAxis(categories);
    p.Bars->attachAxis(percent);

    QChart* losses = NewChart(ui->LossChart);
    p.LossAxis = new QValueAxis;
    p.LossAxis->setRange(0, 1);
    p.LossAxis->setLabelFormat(QStringLiteral("%d"));
    p.LossAxis->setTickCount(3);
    StyleAxis(p.LossAxis, QStringLiteral("IPC lost"));
    auto atMost = new QValueAxis;
    atMost->setRange(0, 100);
    atMost->setTickCount(5);
    atMost->setLabelFormat(QStringLiteral("%d"));
    StyleAxis(atMost, QStringLiteral("% losing at most x"));
    losses->addAxis(p.LossAxis, Qt::AlignBottom);
    losses->addAxis(atMost, Qt::AlignLeft);
    for (int side = 0; side < 2; ++side) {
        p.LossSteps[side] = new QLineSeries;
        p.LossSteps[side]->setName(QString::fromLatin1(SideName[side]));
        p.LossSteps[side]->setPen(QPen(SideColour[side], 1.5));
        p.LossAverages[side] = new QLineSeries;
        p.LossAverages[side]->setPen(QPen(SideColour[side], 1.5, Qt::DashLine));
        for (QLineSeries* series : {p.LossSteps[side], p.LossAverages[side]}) {
            losses->addSeries(series);
            series->attachAxis(p.LossAxis);
            series->attachAxis(atMost);
        }
        // The average is named in its side's legend entry.
        losses->legend()->markers(p.LossAverages[side]).front()->setVisible(false);
    }
}

void TForm1::WriteCharts()
{
    TPagesState& p = *Pages;
    p.ChartsDirty = false;
    ++ChartWrites;
    const RunTotals& t = p.ShownTotals;
    const TExactOdds* exact = p.ShownDone();

    // Bars, top to bottom in panel order.
    const double battles = std::max<int32_t>(t.Battles, 1);
    const int32_t runCounts[5] = {t.AttWins, t.DefWins, t.BothDes, t.BothRemain, t.AttWithdraws};
    for (int i = 0; i < 5; ++i) p.RunBars->replace(4 - i, 100 * runCounts[i] / battles);
    if (exact) {
        const double exactShares[5] = {exact->AttWins, exact->DefWins, exact->BothDes, exact->BothRemain,
                                       exact->AttWithdraws};
        for (int i = 0; i < 5; ++i) p.ExactBars->replace(4 - i, 100 * exactShares[i]);
        if (!p.Bars->barSets().contains(p.ExactBars)) p.Bars->append(p.ExactBars);
    } else if (p.Bars->barSets().contains(p.ExactBars)) {
        p.Bars->take(p.ExactBars);
    }

    // Losses.
    TLossDistribution d;
    if (!p.ShownKnown) {
        for (int side = 0; side < 2; ++side) {
            p.LossSteps[side]->clear();
            p.LossAverages[side]->clear();
        }
        return;
    }
    if (exact)
        for (const TExactOutcome& o : exact->Outcomes) AddLosses(d, p.ShownSetup, o.State, o.Probability);
    else
        for (const TBattleResultsRec& o : ShownOutcomeList().Entries()) AddLosses(d, p.ShownSetup, o, o.Instances);
    double end = 1;
    for (const auto& side : d.Side)
        if (!side.empty()) end = std::max(end, double(side.rbegin()->first));
    end = std::ceil(end * 1.05);
    p.LossAxis->setRange(0, end);

    const TLocalSeparator separator;
    const double averages[2] = {exact ? exact->AvgAttIPCLoss : double(t.AttIPCLoss) / battles,
                                exact ? exact->AvgDefIPCLoss : double(t.DefIPCLoss) / battles};
    for (int side = 0; side < 2; ++side) {
        p.LossSteps[side]->replace(Steps(d.Side[side], end));
        p.LossAverages[side]->replace({QPointF(averages[side], 0), QPointF(averages[side], 100)});
        p.LossSteps[side]->setName(QStringLiteral("%1, avg %2").arg(
            QString::fromLatin1(SideName[side]), separator.Text(AverageRule(averages[side], separator.Byte()))));
    }
}
