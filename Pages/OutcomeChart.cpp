// The outcome chart: the territory figure (land battles only: at sea it
// would repeat "ATT wins") and the five end categories, the run's bar and the
// exact one side by side. Its value labels are its own: one rule for the
// decimals of both (PercentFigure), and on the page's small chart a label is
// left out where it would cover another label or a bar; an enlarged chart
// has room for all of them.
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QValueAxis>
#include <algorithm>
#include <vector>

#include "Pages/ChartParts.h"
#include "Support/LocalNumbers.h"
#include "format/Format.h"

namespace {

constexpr int Rows = 6;           // the territory figure and the five end categories
constexpr double BarWidth = 0.9;  // of a category's height, shared by its bars

class TOutcomeChart : public TResultChart {
public:
    TOutcomeChart(QChartView* view, const TType& type) : TResultChart(TChartKind::Outcomes, view), Type(type)
    {
        Chart = NewChart(view, type);
        RunBars->setColor(QColor(0x9a, 0x99, 0x96));
        ExactBars->setColor(QColor(0xe6, 0x8a, 0x00));
        Bars->append(RunBars);
        Bars->setBarWidth(BarWidth);
        Bars->setLabelsVisible(false);
        Chart->addSeries(Bars);
        StyleAxis(Categories, QString(), type);
        Categories->setTitleVisible(false);
        Categories->setTruncateLabels(false);
        // Room on the right for the label of a bar that reaches 100 %.
        QValueAxis* percent = PercentAxis(QStringLiteral("% of battles"), type);
        percent->setRange(0, 125);
        percent->setTickType(QValueAxis::TicksDynamic);
        percent->setTickAnchor(0);
        percent->setTickInterval(50);
        Chart->addAxis(Categories, Qt::AlignLeft);
        Chart->addAxis(percent, Qt::AlignBottom);
        Bars->attachAxis(Categories);
        Bars->attachAxis(percent);
        SetRows(true);
        Placing = QObject::connect(Chart, &QChart::plotAreaChanged, Chart, [this] { PlaceLabels(); });
    }

    ~TOutcomeChart() override
    {
        QObject::disconnect(Placing);
        if (!Bars->barSets().contains(ExactBars)) delete ExactBars;  // the series owns it only while shown
    }

    void Write(const TChartData& data) override
    {
        ShowNoBattle(Chart, data.NoBattle, Type);
        const bool land = !data.Setup || IsLandBattle(*data.Setup);
        if (land != Land) SetRows(land);
        const int first = land ? 0 : 1;  // the rows shown, top to bottom
        double run[Rows] = {}, exact[Rows] = {};
        if (data.Setup) {
            const RunTotals& t = *data.Totals;
            const double battles = std::max<int32_t>(t.Battles, 1);
            int64_t taken = 0;
            for (const TBattleResultsRec& o : data.Outcomes->Entries())
                if (TakesTerritory(land, o.Victor == TVictor::ATT, o.AttCount)) taken += o.Instances;
            const double counts[Rows] = {double(taken),     double(t.AttWins),    double(t.DefWins),
                                         double(t.BothDes), double(t.BothRemain), double(t.AttWithdraws)};
            for (int i = 0; i < Rows; ++i) run[i] = 100 * counts[i] / battles;
        }
        if (const TExactOdds* x = data.Exact) {
            const double shares[Rows] = {x->Taken, x->AttWins, x->DefWins, x->BothDes, x->BothRemain, x->AttWithdraws};
            for (int i = 0; i < Rows; ++i) exact[i] = 100 * shares[i];
        }
        const bool shown = Bars->barSets().contains(ExactBars);
        if (data.Exact && !shown) Bars->append(ExactBars);
        else if (!data.Exact && shown) Bars->take(ExactBars);

        const TLocalSeparator separator;
        Labels.clear();
        for (int i = first; i < Rows; ++i) {
            const int category = Rows - 1 - i;  // a horizontal bar chart lists its categories from the bottom
            RunBars->replace(category, run[i]);
            ExactBars->replace(category, exact[i]);
            if (!data.Setup) continue;
            // The exact figure's label first: where only one fits, the exact one.
            if (data.Exact) Labels.push_back({category, 1, separator.Text(PercentFigure(exact[i], separator.Byte()))});
            Labels.push_back({category, 0, separator.Text(PercentFigure(run[i], separator.Byte()))});
        }
        PlaceLabels();
    }

private:
    struct TLabel {
        int Category;
        int Set;  // 0 the run's, 1 the exact
        QString Text;
    };

    // Rows top to bottom: "Taken" in a land battle, then the panel's order.
    void SetRows(bool land)
    {
        Land = land;
        Categories->clear();
        QStringList names;
        for (int i = 4; i >= 0; --i) names << QString::fromLatin1(OutcomeCategoryLabels[i]);
        if (land) names << QString::fromLatin1(TakenLabel);
        Categories->append(names);
        for (QBarSet* set : {RunBars, ExactBars}) {
            set->remove(0, set->count());
            for (int i = 0; i < names.size(); ++i) set->append(0);
        }
    }

    // A bar's rectangle in the chart's coordinates.
    QRectF BarRect(int category, int set) const
    {
        const int sets = int(Bars->count());
        const double low = category - BarWidth / 2 + BarWidth * set / sets;
        const double high = category - BarWidth / 2 + BarWidth * (set + 1) / sets;
        const double value = (set == 0 ? RunBars : ExactBars)->at(category);
        return QRectF(Chart->mapToPosition(QPointF(0, low), Bars), Chart->mapToPosition(QPointF(value, high), Bars))
            .normalized();
    }

    // Each label just past the end of its bar, centred on it.
    void PlaceLabels()
    {
        for (QGraphicsSimpleTextItem* item : Items) item->hide();
        const int sets = int(Bars->count());
        std::vector<QRectF> bars, taken;
        for (int c = 0; c < RunBars->count(); ++c)
            for (int s = 0; s < sets; ++s) bars.push_back(BarRect(c, s));
        size_t used = 0;
        for (const TLabel& label : Labels) {
            if (label.Set >= sets) continue;
            if (used == Items.size()) {
                Items.push_back(new QGraphicsSimpleTextItem(Chart));
                Items.back()->setFont(Font(Type.Label));
                Items.back()->setZValue(10);
                Items.back()->hide();  // until placed
            }
            QGraphicsSimpleTextItem* item = Items[used];
            item->setText(label.Text);
            const QRectF bar = BarRect(label.Category, label.Set);
            const QRectF box = item->boundingRect();
            QRectF at(QPointF(bar.right() + 2, bar.center().y() - box.height() / 2), box.size());
            // Where the chart ends too soon after the bar, the label goes on
            // the bar's end, in white.
            const bool inside = at.right() > Chart->plotArea().right() + Chart->margins().right();
            if (inside) at.moveRight(bar.right() - 2);
            item->setBrush(inside ? Qt::white : Qt::black);
            if (!Type.Large) {
                const QRectF room = at.adjusted(-1, 0, 1, 0);
                auto covers = [&](const QRectF& r) {
                    return r.width() > 0 && r.height() > 0 && room.intersects(r) && !(inside && r == bar);
                };
                if (std::any_of(taken.begin(), taken.end(), covers) || std::any_of(bars.begin(), bars.end(), covers))
                    continue;
            }
            taken.push_back(at);
            item->setPos(at.topLeft());
            item->show();
            ++used;
        }
    }

    TType Type;
    QChart* Chart = nullptr;
    QHorizontalBarSeries* Bars = new QHorizontalBarSeries;
    QBarSet* RunBars = new QBarSet(QStringLiteral("Run"));
    QBarSet* ExactBars = new QBarSet(QStringLiteral("Exact"));
    QBarCategoryAxis* Categories = new QBarCategoryAxis;
    bool Land = false;
    std::vector<TLabel> Labels;
    std::vector<QGraphicsSimpleTextItem*> Items;  // the chart's children
    QMetaObject::Connection Placing;
};

}  // namespace

std::unique_ptr<TResultChart> MakeOutcomeChart(QChartView* view, const TType& type)
{
    return std::make_unique<TOutcomeChart>(view, type);
}
