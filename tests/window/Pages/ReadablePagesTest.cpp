// Pages a player can read: "No battle" once neither side has a unit, no
// "Taken" at sea, chances at the ends as "< 0.01" and "> 99.99" ("<0.01" in a
// cell of the report's table) and never in
// scientific notation, and chart labels that cover nothing on the page and
// are all there in an enlarged chart.
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include "Pages/ResultPages.h"
#include "tests/window/Pages/PagesTestSupport.h"
#include "tests/window/ResultsTestSupport.h"

namespace {

void Fight(TWindowFixture& w, TFakeExact& fake, const TBattleSetupRec& s, int runs, int page)
{
    Pages(w.Form()).ExactCalculation = fake.Calculation();
    w.Form().SeedHook = [] { return 20040306u; };
    w.UseManualRolling();
    w.Spin("RunsSpinEdit")->setValue(runs);
    for (int k = 0; k < AttKinds; ++k) w.Spin(AttCountNames[k])->setValue(s.AttCount[k]);
    for (int k = 0; k < DefKinds; ++k) w.Spin(DefCountNames[k])->setValue(s.DefCount[k]);
    w.Find<QTabWidget>("PageControl1")->setCurrentIndex(page);
    w.Button("GoButton")->click();
}

QChart* Chart(TWindowFixture& w, const char* name) { return w.Find<QChartView>(name)->chart(); }

QChart* Enlarged(TWindowFixture& w, TChartKind kind)
{
    Pages(w.Form()).Enlarge(kind);
    const QString name = ChartTitle(kind).remove(u' ') + QStringLiteral("Window");
    return w.Form().findChild<QWidget*>(name)->findChild<QChartView*>()->chart();
}

// The value labels shown on a chart, with where they are.
std::vector<QGraphicsSimpleTextItem*> Labels(QChart* chart)
{
    std::vector<QGraphicsSimpleTextItem*> shown;
    for (QGraphicsItem* item : chart->childItems())
        if (auto text = dynamic_cast<QGraphicsSimpleTextItem*>(item); text && text->isVisible()) shown.push_back(text);
    return shown;
}

// Every text a chart shows: its labels, keys, series names and axis titles.
QString ChartTexts(QChart* chart)
{
    QStringList texts{chart->title()};
    for (QGraphicsItem* item : chart->scene()->items())
        if (auto text = dynamic_cast<QGraphicsSimpleTextItem*>(item); text && text->isVisible()) texts << text->text();
    for (QAbstractSeries* series : chart->series()) texts << series->name();
    for (QAbstractAxis* axis : chart->axes()) texts << axis->titleText();
    return texts.join(u'\n');
}

const QRegularExpression Scientific(QStringLiteral("\\d[eE][-+]?\\d"));

}  // namespace

class ReadablePagesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    // With neither side left the pages and an enlarged chart say "No battle";
    // the panel keeps the last run's figures; the next run's figures replace it.
    void noBattleOnceBothSidesAreEmpty()
    {
        TFakeExact fake;
        fake.Answer = FakeOdds;
        TWindowFixture w;
        TBattleSetupRec land;
        land.AttCount[aINF] = 3;
        land.DefCount[dINF] = 2;
        Fight(w, fake, land, 300, 1);
        QVERIFY(WaitForExactOdds(w.Form()));
        QVERIFY(!ReportText(w.Form()).startsWith(QStringLiteral("No battle")));
        QChart* big = Enlarged(w, TChartKind::Outcomes);
        const QStringList panel = PanelColumn(w.Form(), 1);

        w.Button("ResetAllSettingsButton")->click();
        QVERIFY(ReportText(w.Form()).startsWith(QStringLiteral("No battle\n")));
        QCOMPARE(big->title(), QStringLiteral("No battle"));
        QVERIFY(Labels(big).empty());
        w.Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
        for (const char* chart : {"OutcomeChart", "LossChart", "SurvivorChart"})
            QCOMPARE(Chart(w, chart)->title(), QStringLiteral("No battle"));
        QCOMPARE(PanelColumn(w.Form(), 1), panel);

        w.Spin("DefArmSpinEdit")->setValue(1);
        w.Button("GoButton")->click();
        QVERIFY(WaitForExactOdds(w.Form()));
        QVERIFY(Chart(w, "OutcomeChart")->title().isEmpty());
        QVERIFY(!Labels(big).empty());
    }

    // At sea: no "Taken" row or bar. Chances a speck off 0 or 100 read
    // "< 0.01" and "> 99.99", in the report and on the bars, and nothing is
    // in scientific notation, up to 999 units of a kind. Labels on the page
    // cover no other label and no bar; the enlarged chart shows every one.
    void seaBattleAndSpecks()
    {
        TFakeExact fake;
        fake.Answer = [](const TBattleSetupRec& s) {
            TExactOdds x = FakeOdds(s);
            x.AttWins = x.Taken = 1 - 2e-12;
            x.DefWins = 1e-12;
            x.BothDes = 1e-12;
            x.BothRemain = x.AttWithdraws = 0;
            return x;
        };
        TWindowFixture w;
        TBattleSetupRec sea;
        sea.AttCount[aSUB] = 999;
        sea.AttCount[aBB] = 999;
        sea.DefCount[dSUB] = 1;
        Fight(w, fake, sea, 40, 1);
        QVERIFY(WaitForExactOdds(w.Form()));
        const QString report = ReportText(w.Form());
        QVERIFY2(!report.contains(Scientific), qPrintable(report));
        QVERIFY(ReportRow(report, "Taken %").isEmpty());
        QCOMPARE(ReportRow(report, "DEF wins %").value(2), QStringLiteral("<0.01"));
        QCOMPARE(ReportRow(report, "ATT wins %").value(2), QStringLiteral(">99.99"));

        w.Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
        QChart* small = Chart(w, "OutcomeChart");
        auto categories = qobject_cast<QBarCategoryAxis*>(small->axes(Qt::Vertical).front());
        QCOMPARE(categories->categories(), QStringList({"ATT with.", "Both remain", "Both dest.", "DEF wins", "ATT wins"}));
        QChart* big = Enlarged(w, TChartKind::Outcomes);
        QTRY_COMPARE(Labels(big).size(), size_t(10));
        QStringList texts;
        for (QGraphicsSimpleTextItem* label : Labels(big)) texts << label->text();
        QVERIFY2(texts.contains(QStringLiteral("< 0.01")) && texts.contains(QStringLiteral("> 99.99")),
                 qPrintable(texts.join(u' ')));

        auto bars = qobject_cast<QHorizontalBarSeries*>(small->series().front());
        const std::vector<QGraphicsSimpleTextItem*> shown = Labels(small);
        QVERIFY(!shown.empty());
        for (size_t i = 0; i < shown.size(); ++i) {
            const QRectF at = shown[i]->sceneBoundingRect();
            for (size_t j = i + 1; j < shown.size(); ++j) QVERIFY(!at.intersects(shown[j]->sceneBoundingRect()));
            for (QBarSet* set : bars->barSets())
                for (int c = 0; c < set->count(); ++c) {
                    const double width = 0.9 / bars->count(), low = c - 0.45 + width * bars->barSets().indexOf(set);
                    const QRectF bar = QRectF(small->mapToPosition(QPointF(0, low), bars),
                                              small->mapToPosition(QPointF(set->at(c), low + width), bars))
                                           .normalized();
                    // A white label sits on the end of its own bar.
                    const bool own = shown[i]->brush().color() == Qt::white &&
                                     std::abs(at.center().y() - bar.center().y()) < 1 && at.right() <= bar.right();
                    QVERIFY2(bar.width() == 0 || own || !at.intersects(bar), qPrintable(shown[i]->text()));
                }
        }
        for (const char* chart : {"OutcomeChart", "LossChart", "SurvivorChart"})
            QVERIFY2(!ChartTexts(Chart(w, chart)).contains(Scientific), chart);

        const QString dir = qEnvironmentVariable("VARNHOLT_SHOT_DIR");
        if (!dir.isEmpty()) {
            QTest::qWait(100);
            w.Form().grab().save(QDir(dir).filePath(QStringLiteral("sea-graph-results.png")));
            big->scene()->views().front()->window()->grab().save(QDir(dir).filePath(QStringLiteral("sea-enlarged-outcomes.png")));
        }
    }
};

QTEST_MAIN(ReadablePagesTest)
#include "ReadablePagesTest.moc"
