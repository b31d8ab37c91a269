#include "Turn/TurnCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "engine/advice/TurnOdds.h"

namespace {

const QColor GoalColour(0xe6, 0x8a, 0x00);   // the exact figures' colour of the result pages
const QColor SwingColour(0x1a, 0x5f, 0xb4);
const QColor MarkColour(0xc0, 0x1c, 0x28);
constexpr int SmallType = 8;
constexpr int LabelType = 8;

QFont Font(int pointSize, bool bold = false)
{
    QFont font;
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

// As the result pages' charts: the room goes to the plot, the legend below.
QChart* NewChart(QChartView* view)
{
    auto chart = new QChart;
    chart->setMargins(QMargins(10, 6, 6, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(Font(SmallType));
    chart->legend()->setContentsMargins(0, 0, 0, 0);
    view->setChart(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::NoFrame);
    view->setMinimumSize(300, 220);
    return chart;
}

void StyleAxis(QAbstractAxis* axis, const QString& title)
{
    axis->setLabelsFont(Font(LabelType));
    axis->setTitleFont(Font(SmallType, true));
    axis->setTitleText(title);
}

}  // namespace

struct TTurnCharts::TParts {
    QBarSeries* Bars = new QBarSeries;
    QBarSet* Exactly = new QBarSet(QStringLiteral("Exactly k goals met"));
    QBarCategoryAxis* Goals = new QBarCategoryAxis;
    QValueAxis* GoalPercent = new QValueAxis;
    QLineSeries* Swing = new QLineSeries;
    QLineSeries* Marks[2] = {new QLineSeries, new QLineSeries};
    QValueAxis* SwingAxis = new QValueAxis;
    QValueAxis* SwingPercent = new QValueAxis;
};

TTurnCharts::TTurnCharts(QChartView* goals, QChartView* swing) : Parts(new TParts)
{
    TParts& p = *Parts;
    QChart* g = NewChart(goals);
    p.Exactly->setColor(GoalColour);
    p.Exactly->setLabelFont(Font(LabelType));
    p.Exactly->setLabelColor(Qt::black);
    p.Bars->append(p.Exactly);
    p.Bars->setBarWidth(0.8);
    p.Bars->setLabelsVisible(true);
    p.Bars->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    p.Bars->setLabelsPrecision(3);
    g->addSeries(p.Bars);
    StyleAxis(p.Goals, QStringLiteral("Goals met"));
    StyleAxis(p.GoalPercent, QStringLiteral("% of turns"));
    p.GoalPercent->setRange(0, 110);
    p.GoalPercent->setTickType(QValueAxis::TicksDynamic);
    p.GoalPercent->setTickAnchor(0);
    p.GoalPercent->setTickInterval(25);
    p.GoalPercent->setLabelFormat(QStringLiteral("%d"));
    g->addAxis(p.Goals, Qt::AlignBottom);
    g->addAxis(p.GoalPercent, Qt::AlignLeft);
    p.Bars->attachAxis(p.Goals);
    p.Bars->attachAxis(p.GoalPercent);

    QChart* s = NewChart(swing);
    p.Swing->setName(QStringLiteral("Turn's IPC swing"));
    p.Swing->setPen(QPen(SwingColour, 1.5));
    s->addSeries(p.Swing);
    p.Marks[0]->setName(QStringLiteral("5 % and 95 %"));
    for (QLineSeries* mark : p.Marks) {
        mark->setPen(QPen(MarkColour, 1.5, Qt::DashLine));
        s->addSeries(mark);
    }
    StyleAxis(p.SwingAxis, QStringLiteral("IPC swing (defender's loss less attacker's)"));
    p.SwingAxis->setLabelFormat(QStringLiteral("%d"));
    StyleAxis(p.SwingPercent, QStringLiteral("% of turns"));
    p.SwingPercent->setLabelFormat(QStringLiteral("%g"));
    s->addAxis(p.SwingAxis, Qt::AlignBottom);
    s->addAxis(p.SwingPercent, Qt::AlignLeft);
    for (QLineSeries* series : {p.Swing, p.Marks[0], p.Marks[1]}) {
        series->attachAxis(p.SwingAxis);
        series->attachAxis(p.SwingPercent);
    }
    // One key for both marks.
    const auto markers = s->legend()->markers(p.Marks[1]);
    for (auto* marker : markers) marker->setVisible(false);
    Write(nullptr);
}

TTurnCharts::~TTurnCharts() { delete Parts; }

void TTurnCharts::Write(const TTurnOdds* odds)
{
    TParts& p = *Parts;
    const bool shown = odds && odds->Status == TTurnStatus::Done;
    p.Exactly->remove(0, p.Exactly->count());
    p.Goals->clear();
    if (shown)
        for (size_t k = 0; k < odds->Exactly.size(); ++k) {
            p.Goals->append(QString::number(k));
            // In hundredths of a percent, as the result pages' bars.
            p.Exactly->append(std::round(odds->Exactly[k] * 100 * 100) / 100);
        }

    QList<QPointF> points;
    double top = 1;
    int64_t low = -1, high = 1;
    if (shown && !odds->Swing.empty()) {
        low = odds->Swing.front().Swing;
        high = odds->Swing.back().Swing;
        // A stick for each swing: the shares are of whole swings, with none
        // between them. Past a few hundred the sticks stand closer than the
        // chart's pixels: each group of neighbours is drawn as its tallest,
        // which looks the same and keeps the painting cheap.
        constexpr int64_t MaxSticks = 400;
        const int64_t width = (int64_t{high} - low) / MaxSticks + 1;
        for (size_t i = 0; i < odds->Swing.size();) {
            const int64_t group = (odds->Swing[i].Swing - low) / width;
            TExactSwing tallest = odds->Swing[i];
            for (++i; i < odds->Swing.size() && (odds->Swing[i].Swing - low) / width == group; ++i)
                if (odds->Swing[i].Probability > tallest.Probability) tallest = odds->Swing[i];
            const double x = static_cast<double>(tallest.Swing), y = 100 * tallest.Probability;
            points.append(QPointF(x, 0));
            points.append(QPointF(x, y));
            points.append(QPointF(x, 0));
            top = std::max(top, y);
        }
        if (low == high) {
            --low;
            ++high;
        }
    }
    p.Swing->replace(points);
    p.SwingAxis->setRange(low, high);
    p.SwingAxis->applyNiceNumbers();
    p.SwingPercent->setRange(0, top * 1.05);
    p.SwingPercent->applyNiceNumbers();
    top = p.SwingPercent->max();
    for (int i = 0; i < 2; ++i) {
        QList<QPointF> mark;
        if (shown && !odds->Swing.empty()) {
            const double x = i == 0 ? odds->Q05 : odds->Q95;
            mark = {QPointF(x, 0), QPointF(x, top)};
        }
        p.Marks[i]->replace(mark);
    }
}
