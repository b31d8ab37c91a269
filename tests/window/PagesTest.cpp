// The "Text Results" and "Graph Results" pages: the report beside the panel
// and the exact odds, results that belong to another setup, "&Copy", the
// charts' series, and the cost of pages that are not shown.
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QTabWidget>

#include "PagesTestSupport.h"
#include "ResultsTestSupport.h"
#include "bench/ReferenceBattles.h"
#include "engine/Format.h"

namespace {

constexpr uint32_t Seed = 20040306u;

// The battle's counts and AA gun entered as a player would, in manual rolling.
void Enter(TWindowFixture& w, const TBattleSetupRec& s, int runs)
{
    w.Form().SeedHook = [] { return Seed; };
    w.UseManualRolling();
    w.Spin("RunsSpinEdit")->setValue(runs);
    for (int k = 0; k < AttKinds; ++k) w.Spin(AttCountNames[k])->setValue(s.AttCount[k]);
    for (int k = 0; k < DefKinds; ++k) w.Spin(DefCountNames[k])->setValue(s.DefCount[k]);
    w.Check("AACheckBox")->setChecked(s.AAGun);
}

void ShowPage(TWindowFixture& w, int page) { w.Find<QTabWidget>("PageControl1")->setCurrentIndex(page); }

TBattleSetupRec Infantry(int att, int def)
{
    TBattleSetupRec s;
    s.AttCount[aINF] = att;
    s.DefCount[dINF] = def;
    return s;
}

// The battle fought in manual rolling with the given exact calculation, the page shown.
void Fight(TWindowFixture& w, TFakeExact& fake, const TBattleSetupRec& s, int runs, int page)
{
    w.Form().ExactCalculation = fake.Calculation();
    Enter(w, s, runs);
    ShowPage(w, page);
    w.Button("GoButton")->click();
}

QChart* Chart(TWindowFixture& w, const char* name) { return w.Find<QChartView>(name)->chart(); }

QLineSeries* Line(QChart* chart, const QString& namePrefix)
{
    for (QAbstractSeries* s : chart->series())
        if (s->name().startsWith(namePrefix)) return qobject_cast<QLineSeries*>(s);
    return nullptr;
}

void SaveShot(QWidget& widget, const char* file)
{
    QTest::qWait(100);  // the charts lay out their legends and axes in posted events
    const QString shots = qEnvironmentVariable("VARNHOLT_SHOT_DIR", QDir::currentPath());
    widget.grab().save(QDir(shots).filePath(QString::fromLatin1(file)));
}

}  // namespace

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    // A seed-fixed run: the report's run column is the panel's, its exact
    // column the calculation's; "&Copy" puts the whole report on the clipboard.
    void reportBesideThePanel()
    {
        TFakeExact fake;
        TWindowFixture w;
        Fight(w, fake, L1(), 5000, 1);
        QVERIFY(WaitForExactOdds(w.Form()));

        const QString report = ReportText(w.Form());
        const QStringList lines = report.split(u'\n');
        QCOMPARE(lines.mid(0, 4), QStringList({"Attacker: 10 INF, 5 ARM, 4 FTR, 2 BMR, 1 BB",
                                               "Defender: 14 INF, 4 ARM, 3 FTR", "Options: AA Gun",
                                               "Manual Rolling, Regular Mode"}));
        QCOMPARE(ReportRow(report, "Average Results"), QStringList({"Run", "(5000)", "±95", "%", "Exact"}));
        QCOMPARE(ReportColumn(report, 0), PanelColumn(w.Form(), 1));
        QCOMPARE(ReportColumn(report, 2), ExactTexts(FakeOdds(L1())));
        for (const QString& margin : ReportColumn(report, 1)) QVERIFY2(margin.startsWith(u'±'), qPrintable(margin));
        const qsizetype states = lines.indexOf(QStringLiteral("Most probable end states"));
        QVERIFY(states > 0);
        QCOMPARE(lines.mid(states + 2),
                 QStringList({"    57.7       0  DEF: 14 INF, 4 ARM, 3 FTR",
                              "    42.3       0  ATT: 10 INF, 5 ARM, 4 FTR, 2 BMR, 1 BB"}));
        QCOMPARE(fake.Calls(), 1);

        QGuiApplication::clipboard()->clear();
        w.Button("CopyReportButton")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), report);

        // Go again with the same setup: the result in is kept, nothing is recalculated.
        w.Button("GoButton")->click();
        QVERIFY(WaitForExactOdds(w.Form()));
        QCOMPARE(fake.Calls(), 1);
        QCOMPARE(ReportColumn(ReportText(w.Form()), 2), ExactTexts(FakeOdds(L1())));
    }

    // A newer setup cancels the older calculation, and a result of the older
    // setup that comes in all the same is never shown.
    void olderSetupNeverShown()
    {
        TFakeExact fake;
        fake.Hold(true);  // even a cancelled calculation answers
        TWindowFixture w;
        const TBattleSetupRec a = Infantry(3, 2);
        Fight(w, fake, a, 500, 1);
        QVERIFY(ReportText(w.Form()).contains(QStringLiteral("Exact odds: being worked out")));
        QTRY_COMPARE(fake.Calls(), 1);  // a's calculation is the first to be released

        TBattleSetupRec b = a;
        b.AttCount[aINF] = 4;
        w.Spin("AttInfSpinEdit")->setValue(4);
        w.Button("GoButton")->click();
        fake.Release();  // the first calculation answers with a's figures ...
        for (int i = 0; i < 50; ++i) QTest::qWait(1);
        QVERIFY(w.Form().ExactOddsPending());  // ... b's is still held
        TBattleSetupRec shown;
        QVERIFY(w.Form().PagesSetup(shown));
        QVERIFY(shown == b);
        QCOMPARE(ReportColumn(ReportText(w.Form()), 2), QStringList(8, QString()));
        QVERIFY(ReportText(w.Form()).contains(QStringLiteral("Exact odds: being worked out")));

        fake.Release();
        QVERIFY(WaitForExactOdds(w.Form()));
        QCOMPARE(ReportColumn(ReportText(w.Form()), 2), ExactTexts(FakeOdds(b)));
        QCOMPARE(fake.Calls(), 2);
    }

    // A battle refused as too large: the run's figures alone, the run's end
    // states; the charts show the run only.
    void refusedBattleShowsTheRunAlone()
    {
        TFakeExact fake;
        fake.Answer = [](const TBattleSetupRec&) {
            TExactOdds odds;
            odds.Status = TExactStatus::TooLarge;
            return odds;
        };
        TWindowFixture w;
        Fight(w, fake, Infantry(1, 1), 1000, 1);
        QVERIFY(WaitForExactOdds(w.Form()));

        const QString report = ReportText(w.Form());
        QVERIFY(report.contains(QStringLiteral("\nExact odds: battle too large\n")));
        QCOMPARE(ReportRow(report, "Average Results"), QStringList({"Run", "(1000)", "±95", "%"}));
        QCOMPARE(ReportColumn(report, 0), PanelColumn(w.Form(), 1));
        QCOMPARE(ReportColumn(report, 2), QStringList(8, QString()));
        // The run's three end states, most frequent first, as the grid has them.
        const QStringList lines = report.split(u'\n');
        const QStringList listed = lines.mid(lines.indexOf(QStringLiteral("Most probable end states")) + 2);
        QCOMPARE(listed.size(), 3);
        QStringList victors;
        for (const QString& line : listed) victors << line.mid(10).section(u':', 0, 0);
        QCOMPARE(victors, GridColumn(w.Form(), 0));

        ShowPage(w, 2);
        auto bars = qobject_cast<QHorizontalBarSeries*>(Chart(w, "OutcomeChart")->series().front());
        QCOMPARE(bars->count(), 1);
        QLineSeries* att = Line(Chart(w, "LossChart"), QStringLiteral("ATT"));
        QVERIFY(att && att->count() > 2);
        QCOMPARE(att->points().back().y(), 100.0);
    }

    // The charts: the run's and the exact categories side by side, each
    // side's losses as steps of P(loss <= x) with its average marked.
    void chartsHoldTheSeries()
    {
        TFakeExact fake;
        fake.Answer = [](const TBattleSetupRec&) {
            TExactOdds x;
            x.AttWins = 0.7;
            x.DefWins = 0.3;
            x.AvgAttIPCLoss = 3.9;
            x.AvgDefIPCLoss = 4.2;
            x.AvgRounds = 2;
            TExactOutcome full{{TVictor::ATT, {3}}, 0.5}, one{{TVictor::ATT, {1}}, 0.2};
            TExactOutcome def{{TVictor::DEF, {}, {2}}, 0.3};
            x.Outcomes = {full, def, one};
            return x;
        };
        TWindowFixture w;
        Fight(w, fake, Infantry(3, 2), 500, 2);
        QVERIFY(WaitForExactOdds(w.Form()));

        auto bars = qobject_cast<QHorizontalBarSeries*>(Chart(w, "OutcomeChart")->series().front());
        QCOMPARE(bars->count(), 2);
        QCOMPARE(bars->barSets()[0]->label(), QStringLiteral("Run"));
        QCOMPARE(bars->barSets()[1]->label(), QStringLiteral("Exact"));
        auto categories = qobject_cast<QBarCategoryAxis*>(Chart(w, "OutcomeChart")->axes(Qt::Vertical).front());
        QCOMPARE(categories->categories(),
                 QStringList({"ATT with.", "Both remain", "Both dest.", "DEF wins", "ATT wins"}));
        const QBarSet& exact = *bars->barSets()[1];
        QCOMPARE(exact.at(4), 70.0);
        QCOMPARE(exact.at(3), 30.0);
        const QStringList panel = PanelColumn(w.Form(), 1);
        QCOMPARE(QString::number(bars->barSets()[0]->at(4), 'f', 1), panel[0]);

        // 3 INF (9 IPC) against 2 INF (6 IPC): the attacker loses 0, 6 or 9
        // with 0.5, 0.2, 0.3; the defender 6 or 0 with 0.7, 0.3.
        QChart* losses = Chart(w, "LossChart");
        QLineSeries* att = Line(losses, QStringLiteral("ATT, avg 3.9"));
        QLineSeries* def = Line(losses, QStringLiteral("DEF, avg 4.2"));
        QVERIFY(att && def);
        auto cdfAt = [](QLineSeries* steps, double x) {
            double y = 0;
            for (const QPointF& p : steps->points())
                if (p.x() <= x) y = p.y();
            return y;
        };
        QCOMPARE(cdfAt(att, 0), 50.0);
        QCOMPARE(cdfAt(att, 5), 50.0);
        QCOMPARE(qRound(cdfAt(att, 6)), 70);
        QCOMPARE(cdfAt(att, 9), 100.0);
        QCOMPARE(qRound(cdfAt(def, 0)), 30);
        QCOMPARE(cdfAt(def, 6), 100.0);
        int averages = 0;
        for (QAbstractSeries* series : losses->series()) {
            auto line = qobject_cast<QLineSeries*>(series);
            if (line && line->count() == 2 && line->at(0).x() == line->at(1).x()) {
                QVERIFY(line->at(0).x() == 3.9 || line->at(0).x() == 4.2);
                ++averages;
            }
        }
        QCOMPARE(averages, 2);
    }

    // A page that is not shown is not written during a run; brought into
    // view it catches up at once.
    void hiddenPagesCostNothing()
    {
        TFakeExact fake;
        TWindowFixture w;
        Fight(w, fake, L1(), 3000, 0);
        QVERIFY(WaitForExactOdds(w.Form()));
        QCOMPARE(w.Form().ReportWrites, 0);
        QCOMPARE(w.Form().ChartWrites, 0);
        QVERIFY(ReportText(w.Form()).isEmpty());

        ShowPage(w, 1);
        QCOMPARE(w.Form().ReportWrites, 1);
        QCOMPARE(ReportColumn(ReportText(w.Form()), 0), PanelColumn(w.Form(), 1));
        ShowPage(w, 2);
        QCOMPARE(w.Form().ChartWrites, 1);
        QCOMPARE(w.Form().ReportWrites, 1);
        ShowPage(w, 0);
        ShowPage(w, 2);  // nothing new: nothing written
        QCOMPARE(w.Form().ChartWrites, 1);
    }

    // Both pages with L1 entered, after a full automatic run with the real
    // exact calculation: its column is the engine's, and a look at both pages.
    void screenshotsOfL1()
    {
        TWindowFixture w;
        w.Form().SeedHook = [] { return Seed; };
        w.Form().Control.SuppressRuns = true;
        const TBattleSetupRec l1 = L1();
        for (int k = 0; k < AttKinds; ++k) w.Spin(AttCountNames[k])->setValue(l1.AttCount[k]);
        for (int k = 0; k < DefKinds; ++k) w.Spin(DefCountNames[k])->setValue(l1.DefCount[k]);
        w.Form().Control.SuppressRuns = false;
        w.Check("AACheckBox")->setChecked(true);  // starts the automatic run
        QVERIFY(WaitForExactOdds(w.Form()));
        QCOMPARE(RunsLabel(w.Form()), QStringLiteral("Runs: 100000"));

        ShowPage(w, 1);
        QCOMPARE(ReportColumn(ReportText(w.Form()), 2), ExactTexts(ComputeExactOdds(l1)));
        SaveShot(w.Form(), "text-results-L1.png");
        ShowPage(w, 2);
        SaveShot(w.Form(), "graph-results-L1.png");
    }
};

QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
