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

namespace {

const QColor SideColour[2] = {QColor(0xc0, 0x1c, 0x28), QColor(0x1a, 0x5f, 0xb4)};  // attacker red, defender blue
const char* const SideName[2] = {"ATT", "DEF"};
constexpr int Categories = 6;  // the territory figure and the five end categories

// Type sizes and room for axis steps: the page's small charts, an enlarged chart.
struct TType {
    int Small;
    int Label;
    int Steps;
};

QFont Font(int pointSize, bool bold = false)
{
    QFont font;
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

// A chart that uses its room for the plot: no title, no margins, the legend below.
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

// ---- Outcomes -----------------------------------------------------------------------

class TOutcomeChart : public TResultChart {
public:
    TOutcomeChart(QChartView* view, const TType& type) : TResultChart(TChartKind::Outcomes, view)
    {
        QChart* chart = NewChart(view, type);
        RunBars->setColor(QColor(0x9a, 0x99, 0x96));
        ExactBars->setColor(QColor(0xe6, 0x8a, 0x00));
        for (QBarSet* set : {RunBars, ExactBars}) {
            for (int i = 0; i < Categories; ++i) set->append(0);
            set->setLabelFont(Font(type.Label));
            set->setLabelColor(Qt::black);
        }
        Bars->append(RunBars);
        Bars->setBarWidth(0.9);
        Bars->setLabelsVisible(true);
        Bars->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
        Bars->setLabelsPrecision(3);
        chart->addSeries(Bars);
        auto categories = new QBarCategoryAxis;
        // Top to bottom as in the report: a horizontal bar chart lists its categories from the bottom.
        for (int i = 4; i >= 0; --i) categories->append(QString::fromLatin1(OutcomeCategoryLabels[i]));
        categories->append(QString::fromLatin1(TakenLabel));
        StyleAxis(categories, QString(), type);
        categories->setTitleVisible(false);
        categories->setTruncateLabels(false);
        // Room on the right for the label of a bar that reaches 100 %.
        QValueAxis* percent = PercentAxis(QStringLiteral("% of battles"), type);
        percent->setRange(0, 125);
        percent->setTickType(QValueAxis::TicksDynamic);
        percent->setTickAnchor(0);
        percent->setTickInterval(50);
        chart->addAxis(categories, Qt::AlignLeft);
        chart->addAxis(percent, Qt::AlignBottom);
        Bars->attachAxis(categories);
        Bars->attachAxis(percent);
    }

    void Write(const TChartData& data) override
    {
        // Top to bottom: taken, then the panel's order.
        double run[Categories] = {}, exact[Categories] = {};
        if (data.Setup) {
            const RunTotals& t = *data.Totals;
            const double battles = std::max<int32_t>(t.Battles, 1);
            const bool land = IsLandBattle(*data.Setup);
            int64_t taken = 0;
            for (const TBattleResultsRec& o : data.Outcomes->Entries())
                if (TakesTerritory(land, o.Victor == TVictor::ATT, o.AttCount)) taken += o.Instances;
            const double counts[Categories] = {double(taken), double(t.AttWins),    double(t.DefWins),
                                               double(t.BothDes), double(t.BothRemain), double(t.AttWithdraws)};
            for (int i = 0; i < Categories; ++i) run[i] = 100 * counts[i] / battles;
        }
        if (const TExactOdds* x = data.Exact) {
            const double shares[Categories] = {x->Taken, x->AttWins, x->DefWins, x->BothDes, x->BothRemain,
                                               x->AttWithdraws};
            for (int i = 0; i < Categories; ++i) exact[i] = 100 * shares[i];
        }
        // In hundredths of a percent: the labels show three digits in the
        // shortest form, which for a share like 1e-10 % is scientific.
        auto hundredths = [](double percent) { return std::round(percent * 100) / 100; };
        for (int i = 0; i < Categories; ++i) {
            RunBars->replace(Categories - 1 - i, hundredths(run[i]));
            ExactBars->replace(Categories - 1 - i, hundredths(exact[i]));
        }
        const bool shown = Bars->barSets().contains(ExactBars);
        if (data.Exact && !shown) Bars->append(ExactBars);
        else if (!data.Exact && shown) Bars->take(ExactBars);
    }

private:
    QHorizontalBarSeries* Bars = new QHorizontalBarSeries;
    QBarSet* RunBars = new QBarSet(QStringLiteral("Run"));
    QBarSet* ExactBars = new QBarSet(QStringLiteral("Exact"));
};

// ---- Step charts: losses and survivors -----------------------------------------------

// Two step lines, one a side, over an x axis of round steps. Their key, each
// side's name in its colour, sits inside the plot in the corner the lines
// leave free: below the plot it would take the plot's height, and a small
// chart's legend cuts its names short.
class TStepChart : public TResultChart {
protected:
    TStepChart(TChartKind kind, QChartView* view, const TType& type, const QString& xTitle, const QString& yTitle,
               Qt::Alignment corner)
        : TResultChart(kind, view)
    {
        Chart = NewChart(view, type);
        MostSteps = type.Steps;
        Chart->legend()->hide();
        Key = new QGraphicsRectItem(Chart);
        Key->setBrush(QColor(255, 255, 255, 220));
        Key->setPen(Qt::NoPen);
        Key->setZValue(10);
        Corner = corner;
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

    // The key: each side's name in its colour, in the plot's free corner.
    void PlaceLegend()
    {
        const QFontMetricsF metrics(Names[0]->font());
        double width = 0;
        for (int side = 0; side < 2; ++side) {
            Names[side]->setText(Steps[side]->name());
            Names[side]->setPos(3, 1 + side * metrics.height());
            width = std::max(width, metrics.horizontalAdvance(Steps[side]->name()));
        }
        const QRectF plot = Chart->plotArea();
        const QSizeF size(width + 6, 2 * metrics.height() + 2);
        const double top = Corner & Qt::AlignTop ? plot.top() + 1 : plot.bottom() - size.height() - 1;
        Key->setRect(QRectF(QPointF(0, 0), size));
        Key->setPos(plot.right() - size.width() - 1, top);
    }

    QChart* Chart = nullptr;
    QValueAxis* XAxis = new QValueAxis;
    QLineSeries* Steps[2] = {};
    QGraphicsRectItem* Key = nullptr;
    QGraphicsSimpleTextItem* Names[2] = {};
    Qt::Alignment Corner;
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
        : TStepChart(TChartKind::Losses, view, type, QStringLiteral("IPC lost"), QStringLiteral("% losing ≤ x"),
                     Qt::AlignBottom)
    {
        for (int side = 0; side < 2; ++side) Averages[side] = NewMark(side);
    }

    void Write(const TChartData& data) override
    {
        if (!data.Setup) {
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
        : TStepChart(TChartKind::Survivors, view, type, QStringLiteral("Units left"), QStringLiteral("% keeping ≥ n"),
                     Qt::AlignTop)
    {
    }

    void Write(const TChartData& data) override
    {
        if (!data.Setup) {
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
    const TType type = large ? TType{10, 9, 7} : TType{7, 6, 4};  // 4 to 8 ticks
    switch (kind) {
    case TChartKind::Outcomes: return std::make_unique<TOutcomeChart>(view, type);
    case TChartKind::Losses: return std::make_unique<TLossChart>(view, type);
    default: return std::make_unique<TSurvivorChart>(view, type);
    }
}
