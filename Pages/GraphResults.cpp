// The charts of the "Graph Results" page: the territory figure and the five
// end categories, the run's and the exact side by side (OutcomeChart); each
// side's IPC loss as a distribution, the probability of losing at most x,
// with its average marked (LossChart); and the probability that each side
// keeps at least n units (SurvivorChart). The distributions come from the
// exact end states when they are in, from the run's outcome list otherwise.
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>

#include "Support/LocalNumbers.h"
#include "Pages/ChartParts.h"
#include "Pages/ResultCharts.h"
#include "format/Format.h"
#include "engine/battle/Losses.h"

QString ChartTitle(TChartKind kind)
{
    switch (kind) {
    case TChartKind::Outcomes: return QStringLiteral("Outcomes");
    case TChartKind::Losses: return QStringLiteral("IPC Losses");
    default: return QStringLiteral("Survivors");
    }
}

QFont Font(int pointSize, bool bold)
{
    QFont font;
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

QChart* NewChart(QChartView* view, const TType& type)
{
    auto chart = new QChart;
    chart->setMargins(QMargins(10, 6, 6, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(Font(type.Small));
    chart->legend()->setContentsMargins(0, 0, 0, 0);
    view->setChart(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::NoFrame);
    return chart;
}

void StyleAxis(QAbstractAxis* axis, const QString& title, const TType& type)
{
    axis->setLabelsFont(Font(type.Label));
    axis->setTitleFont(Font(type.Small, true));
    axis->setTitleText(title);
}

QValueAxis* PercentAxis(const QString& title, const TType& type)
{
    auto axis = new QValueAxis;
    axis->setRange(0, 100);
    axis->setTickCount(5);
    axis->setLabelFormat(QStringLiteral("%d"));
    StyleAxis(axis, title, type);
    return axis;
}

void ShowNoBattle(QChart* chart, bool none, const TType& type)
{
    chart->setTitleFont(Font(type.Small + 3, true));
    chart->setTitle(none ? QStringLiteral("No battle") : QString());
}

namespace {

const QColor SideColour[2] = {QColor(0xc0, 0x1c, 0x28), QColor(0x1a, 0x5f, 0xb4)};  // attacker red, defender blue
const char* const SideName[2] = {"ATT", "DEF"};

// An axis from 0 past `end` in 3 to `most` round steps (1, 2 or 5 times a
// power of ten, at least 1: the axes count IPC and units). A small chart
// has room for the labels of 4 steps at most.
void RoundAxis(QValueAxis* axis, double end, int most)
{
    double step = 1;
    for (double decade = 1; step * most < end; decade *= 10)
        for (double m : {1.0, 2.0, 5.0})
            if (step * most < end) step = m * decade;
    const double steps = std::max(3.0, std::ceil(end / step));
    axis->setRange(0, steps * step);
    axis->setTickCount(int(steps) + 1);
}

// Weights of each side's figure over the shown end states: the exact
// probabilities when in, the run's counts otherwise.
template <class Figure>
void Distribution(const TChartData& data, Figure figure, std::map<int64_t, double> (&sides)[2])
{
    auto add = [&](const TBattleResultsRec& state, double weight) {
        const std::pair<int64_t, int64_t> f = figure(state);
        sides[0][f.first] += weight;
        sides[1][f.second] += weight;
    };
    if (data.Exact)
        for (const TExactOutcome& o : data.Exact->Outcomes) add(o.State, o.Probability);
    else
        for (const TBattleResultsRec& o : data.Outcomes->Entries()) add(o, o.Instances);
}

double Largest(const std::map<int64_t, double> (&sides)[2])
{
    double end = 1;
    for (const auto& side : sides)
        if (!side.empty()) end = std::max(end, double(side.rbegin()->first));
    return end;
}

QString Source(const TChartData& data) { return data.Exact ? QStringLiteral("exact") : QStringLiteral("run"); }

// ---- Step charts: losses and survivors -----------------------------------------------

// Two step lines, one a side, over an x axis of round steps. Their key, each
// side's name in its colour, sits above the plot at its right, on one line or
// two as its width allows: inside the plot it would cover the curves, and
// below it would take the x axis' room.
class TStepChart : public TResultChart {
protected:
    TStepChart(TChartKind kind, QChartView* view, const TType& type, const QString& xTitle, const QString& yTitle)
        : TResultChart(kind, view), Type(type)
    {
        Chart = NewChart(view, type);
        MostSteps = type.Steps;
        Chart->legend()->hide();
        Key = new QGraphicsRectItem(Chart);
        Key->setPen(Qt::NoPen);
        Key->setZValue(10);
        Placing = QObject::connect(Chart, &QChart::plotAreaChanged, Chart, [this] { PlaceLegend(); });
        XAxis->setRange(0, 1);
        XAxis->setLabelFormat(QStringLiteral("%d"));
        StyleAxis(XAxis, xTitle, type);
        QValueAxis* y = PercentAxis(yTitle, type);
        Chart->addAxis(XAxis, Qt::AlignBottom);
        Chart->addAxis(y, Qt::AlignLeft);
        for (int side = 0; side < 2; ++side) {
            Steps[side] = new QLineSeries;
            Steps[side]->setName(QString::fromLatin1(SideName[side]));
            Steps[side]->setPen(QPen(SideColour[side], 1.5));
            Chart->addSeries(Steps[side]);
            Steps[side]->attachAxis(XAxis);
            Steps[side]->attachAxis(y);
            Names[side] = new QGraphicsSimpleTextItem(Key);
            Names[side]->setBrush(SideColour[side]);
            Names[side]->setFont(Font(type.Small, true));
        }
    }

    QLineSeries* NewMark(int side)
    {
        auto mark = new QLineSeries;
        mark->setPen(QPen(SideColour[side], 1.5, Qt::DashLine));
        Chart->addSeries(mark);
        for (QAbstractAxis* axis : Chart->axes()) mark->attachAxis(axis);
        return mark;
    }

    // The chart view may outlive this object by a little: an enlarged chart's
    // window lets its view go after its members.
    ~TStepChart() override { QObject::disconnect(Placing); }

    // The key above the plot; the chart's top margin makes its room.
    void PlaceLegend()
    {
        const QFontMetricsF metrics(Names[0]->font());
        double width[2];
        for (int side = 0; side < 2; ++side) {
            Names[side]->setText(Steps[side]->name());
            width[side] = metrics.horizontalAdvance(Steps[side]->name());
        }
        const QRectF plot = Chart->plotArea();
        const double gap = metrics.horizontalAdvance(QStringLiteral("   "));
        const bool oneLine = width[0] + gap + width[1] <= plot.width();
        const double line = metrics.height();
        QMargins margins = Chart->margins();
        const int top = int(std::ceil((oneLine ? 1 : 2) * line)) + 4;
        if (margins.top() != top) {
            margins.setTop(top);
            Chart->setMargins(margins);  // the plot moves, and this runs again
            return;
        }
        Key->setPos(0, 0);
        if (oneLine) {
            Names[1]->setPos(plot.right() - width[1], plot.top() - line - 2);
            Names[0]->setPos(plot.right() - width[1] - gap - width[0], plot.top() - line - 2);
        } else {
            for (int side = 0; side < 2; ++side)
                Names[side]->setPos(plot.right() - width[side], plot.top() - (2 - side) * line - 2);
        }
    }

    // No battle: no lines and no key, the title says why.
    bool NoBattle(const TChartData& data)
    {
        ShowNoBattle(Chart, data.NoBattle, Type);
        Key->setVisible(data.Setup != nullptr);
        return data.Setup == nullptr;
    }

    TType Type;
    QChart* Chart = nullptr;
    QValueAxis* XAxis = new QValueAxis;
    QLineSeries* Steps[2] = {};
    QGraphicsRectItem* Key = nullptr;
    QGraphicsSimpleTextItem* Names[2] = {};
    int MostSteps = 4;
    QMetaObject::Connection Placing;
};

// P(loss <= x) in percent as steps, from 0 to `end`.
QList<QPointF> AtMost(const std::map<int64_t, double>& distribution, double end)
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

// P(units >= n) in percent as steps, n from 0 to `end`.
QList<QPointF> AtLeast(const std::map<int64_t, double>& distribution, double end)
{
    double total = 0;
    for (const auto& [units, p] : distribution) total += p;
    if (total <= 0) return {};
    QList<QPointF> points;
    double above = total;  // weight of at least n units
    double n = 0;
    for (const auto& [units, p] : distribution) {
        points.append(QPointF(n, 100 * above / total));
        points.append(QPointF(double(units), 100 * above / total));
        n = double(units);
        above -= p;
        points.append(QPointF(n, std::max(0.0, 100 * above / total)));
    }
    points.append(QPointF(end, points.back().y()));
    return points;
}

class TLossChart : public TStepChart {
public:
    TLossChart(QChartView* view, const TType& type)
        : TStepChart(TChartKind::Losses, view, type, QStringLiteral("IPC lost"), QStringLiteral("% losing ≤ x"))
    {
        for (int side = 0; side < 2; ++side) Averages[side] = NewMark(side);
    }

    void Write(const TChartData& data) override
    {
        if (NoBattle(data)) {
            for (int side = 0; side < 2; ++side) {
                Steps[side]->clear();
                Averages[side]->clear();
            }
            return;
        }
        std::map<int64_t, double> sides[2];
        Distribution(
            data,
            [&](const TBattleResultsRec& state) {
                const TSideLosses losses = EndStateLosses(*data.Setup, state);
                return std::pair<int64_t, int64_t>(losses.Att, losses.Def);
            },
            sides);
        RoundAxis(XAxis, Largest(sides) * 1.02, MostSteps);

        // The marked averages are the panel's, which count retreated submarines right.
        const RunTotals& t = *data.Totals;
        const double battles = std::max<int32_t>(t.Battles, 1);
        const double averages[2] = {data.Exact ? data.Exact->AvgAttIPCLoss : double(t.AttIPCLoss) / battles,
                                    data.Exact ? data.Exact->AvgDefIPCLoss : double(t.DefIPCLoss) / battles};
        const TLocalSeparator separator;
        for (int side = 0; side < 2; ++side) {
            Steps[side]->replace(AtMost(sides[side], XAxis->max()));
            Averages[side]->replace({QPointF(averages[side], 0), QPointF(averages[side], 100)});
            Steps[side]->setName(QStringLiteral("%1, %2 avg %3")
                                     .arg(QString::fromLatin1(SideName[side]), Source(data),
                                          separator.Text(FixedBesideMargin(averages[side], -1, separator.Byte()))));
        }
        PlaceLegend();
    }

private:
    QLineSeries* Averages[2] = {};
};

class TSurvivorChart : public TStepChart {
public:
    TSurvivorChart(QChartView* view, const TType& type)
        : TStepChart(TChartKind::Survivors, view, type, QStringLiteral("Units left"), QStringLiteral("% keeping ≥ n"))
    {
    }

    void Write(const TChartData& data) override
    {
        if (NoBattle(data)) {
            for (QLineSeries* steps : Steps) steps->clear();
            return;
        }
        std::map<int64_t, double> sides[2];
        Distribution(
            data,
            [](const TBattleResultsRec& state) {
                int64_t att = 0, def = 0;
                for (int32_t c : state.AttCount) att += c;
                for (int32_t c : state.DefCount) def += c;
                return std::pair<int64_t, int64_t>(att, def);
            },
            sides);
        RoundAxis(XAxis, Largest(sides) + 1, MostSteps);
        for (int side = 0; side < 2; ++side) {
            Steps[side]->replace(AtLeast(sides[side], XAxis->max()));
            Steps[side]->setName(QStringLiteral("%1, %2").arg(QString::fromLatin1(SideName[side]), Source(data)));
        }
        PlaceLegend();
    }
};

}  // namespace

std::unique_ptr<TResultChart> TResultChart::Make(TChartKind kind, QChartView* view, bool large)
{
    const TType type = large ? TType{10, 9, 7, true} : TType{7, 6, 4, false};  // 4 to 8 ticks
    switch (kind) {
    case TChartKind::Outcomes: return MakeOutcomeChart(view, type);
    case TChartKind::Losses: return std::make_unique<TLossChart>(view, type);
    default: return std::make_unique<TSurvivorChart>(view, type);
    }
}
