// The "Text Results" and "Graph Results" pages: the report beside the panel
// and the exact odds, its status, margins and territory figure, results that
// belong to another setup, copying, the charts' series, enlarged charts, and
// the cost of pages that are not shown.
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QValueAxis>

#include "tests/window/Pages/PagesTestSupport.h"
#include "tests/window/ResultsTestSupport.h"
#include "bench/ReferenceBattles.h"
#include "format/Format.h"

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
    Pages(w.Form()).ExactCalculation = fake.Calculation();
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

// Each run figure of the report reads as the panel's, to the panel's digits.
void ExpectRunColumnIsThePanels(const QString& report, const TForm1& form)
{
    const QStringList run = ReportColumn(report, 0), panel = PanelColumn(form, 1);
    for (int row = 0; row < PanelRows; ++row)
        QVERIFY2(panel[row] == QStringLiteral("<1") || Agrees(panel[row], run[row].toDouble()),
                 qPrintable(run[row] + u' ' + panel[row]));
}

void ExpectExactColumn(const QString& report, const TExactOdds& x)
{
    const QStringList exact = ReportColumn(report, 2);
    const std::vector<double> values = ExactValues(x);
    for (int row = 0; row < PanelRows; ++row)
        QVERIFY2(Agrees(exact[row], values[size_t(row)]), qPrintable(exact[row]));
}

void SaveShot(QWidget& widget, const QByteArray& file)
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

    // A seed-fixed run: the status first, the battle, the territory headline;
    // the report's run column is the panel's to finer digits, its exact column
    // the calculation's. Copying puts the whole report on the clipboard.
    void reportBesideThePanel()
    {
        TFakeExact fake;
        TWindowFixture w;
        Fight(w, fake, L1(), 5000, 1);
        QVERIFY(WaitForExactOdds(w.Form()));

        const QString report = ReportText(w.Form());
        const QStringList lines = report.split(u'\n');
        QCOMPARE(lines.mid(0, 5), QStringList({"Exact odds: worked out", "Attacker: 10 INF, 5 ARM, 4 FTR, 2 BMR, 1 BB",
                                               "Defender: 14 INF, 4 ARM, 3 FTR", "Options: AA Gun",
                                               "Manual Rolling, Regular Mode"}));
        // FakeOdds has no territory figure: 0 exact, and the run's end states
        // in a land battle take it now and then.
        QVERIFY2(lines[6].startsWith(QStringLiteral("Attacker takes the territory: 0.0")) &&
                     lines[6].endsWith(QStringLiteral(" % (exact)")),
                 qPrintable(lines[6]));
        QVERIFY2(lines[7].startsWith(QStringLiteral("  run: ")) && lines[7].endsWith(QStringLiteral(" (5000 battles)")),
                 qPrintable(lines[7]));
        QCOMPARE(ReportRow(report, "Average Results"), QStringList({"Run", "±95", "%", "Exact"}));
        ExpectRunColumnIsThePanels(report, w.Form());
        ExpectExactColumn(report, FakeOdds(L1()));
        // "≤" and "≥" the interval's end where a share is 0 or 100 % (ATT with. here).
        for (const QString& margin : ReportColumn(report, 1))
            QVERIFY2(QStringLiteral("±≤≥").contains(margin.front()), qPrintable(margin));
        const qsizetype states = lines.indexOf(QStringLiteral("Most probable end states"));
        QVERIFY(states > 0);
        QCOMPARE(lines.mid(states + 2),
                 QStringList({"    57.7       0  DEF wins: 14 INF, 4 ARM, 3 FTR",
                              "    42.3       0  ATT wins: 10 INF, 5 ARM, 4 FTR, 2 BMR, 1 BB", ""}));
        QCOMPARE(fake.Calls(), 1);

        // Every line is one line: long ones scroll sideways.
        auto edit = w.Find<QPlainTextEdit>("TextResultsEdit");
        for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next())
            QVERIFY2(b.layout()->lineCount() <= 1, qPrintable(b.text()));

        QGuiApplication::clipboard()->clear();
        w.Button("CopyReportButton")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), report);
        QVERIFY(report.endsWith(u'\n'));
        // The keyboard selects in the report, and Ctrl+C copies the selection.
        QTest::keySequence(edit, QKeySequence::MoveToNextLine);
        QTest::keySequence(edit, QKeySequence::SelectEndOfLine);
        QTest::keySequence(edit, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), lines[1]);

        // Go again with the same setup: the result in is kept, nothing is recalculated.
        w.Button("GoButton")->click();
        QVERIFY(WaitForExactOdds(w.Form()));
        QCOMPARE(fake.Calls(), 1);
        ExpectExactColumn(ReportText(w.Form()), FakeOdds(L1()));
    }

    // A newer setup cancels the older calculation, and a result of the older
    // setup that comes in all the same is never shown. Meanwhile both pages
    // say that the exact odds are being worked out.
    void olderSetupNeverShown()
    {
        TFakeExact fake;
        fake.Hold(true);  // even a cancelled calculation answers
        TWindowFixture w;
        const TBattleSetupRec a = Infantry(3, 2);
        Fight(w, fake, a, 500, 1);
        const QString working = QStringLiteral("Exact odds: being worked out");
        QCOMPARE(ReportText(w.Form()).section(u'\n', 0, 0), working);
        QCOMPARE(ReportRow(ReportText(w.Form()), "Average Results").mid(3), QStringList({"Exact:", "working"}));
        QTRY_COMPARE_WITH_TIMEOUT(fake.Calls(), 1, EventWaitMs);  // a's calculation is the first to be released

        TBattleSetupRec b = a;
        b.AttCount[aINF] = 4;
        w.Spin("AttInfSpinEdit")->setValue(4);
        w.Button("GoButton")->click();
        fake.Release();  // the first calculation answers with a's figures ...
        for (int i = 0; i < 50; ++i) QTest::qWait(1);
        QVERIFY(Pages(w.Form()).ExactOddsPending());  // ... b's is still held
        TBattleSetupRec shown;
        QVERIFY(Pages(w.Form()).ShownSetup(shown));
        QVERIFY(shown == b);
        QCOMPARE(ReportColumn(ReportText(w.Form()), 2), QStringList(8, QString()));
        QCOMPARE(ReportText(w.Form()).section(u'\n', 0, 0), working);
        ShowPage(w, 2);
        QCOMPARE(w.Label("ExactStatusLabel")->text(), working);

        fake.Release();
        QVERIFY(WaitForExactOdds(w.Form()));
        QCOMPARE(w.Label("ExactStatusLabel")->text(), QStringLiteral("Exact odds: worked out"));
        ShowPage(w, 1);
        ExpectExactColumn(ReportText(w.Form()), FakeOdds(b));
        QCOMPARE(fake.Calls(), 2);
    }

    // A battle refused as too large, or a calculation that failed: the status
    // and its reason on both pages, the run's figures alone, the run's end
    // states; the charts show the run only.
    void refusedOrFailedShowsTheRunAlone()
    {
        for (const TExactStatus status : {TExactStatus::TooLarge, TExactStatus::Failed}) {
            TFakeExact fake;
            fake.Answer = [status](const TBattleSetupRec& s) {
                TExactOdds odds = FakeOdds(s);  // figures that must not show
                odds.Status = status;
                odds.Reason = "why not";
                return odds;
            };
            TWindowFixture w;
            Fight(w, fake, Infantry(1, 1), 1000, 1);
            QVERIFY(WaitForExactOdds(w.Form()));

            const bool tooLarge = status == TExactStatus::TooLarge;
            const QString report = ReportText(w.Form());
            QCOMPARE(report.section(u'\n', 0, 0), tooLarge ? QStringLiteral("Exact odds: battle too large")
                                                           : QStringLiteral("Exact odds: not available"));
            QCOMPARE(w.Find<QWidget>("TextResultsEdit")->toolTip(), QStringLiteral("why not"));
            QCOMPARE(ReportRow(report, "Average Results").mid(3),
                     tooLarge ? QStringList({"Exact:", "too", "large"}) : QStringList({"Exact:", "not", "available"}));
            ExpectRunColumnIsThePanels(report, w.Form());
            QCOMPARE(ReportColumn(report, 2), QStringList(8, QString()));
            QCOMPARE(ReportRow(report, "Attacker takes the territory:").mid(1), QStringList({"%", "(run)"}));
            // The run's three end states, most frequent first, as the grid has them.
            const QStringList lines = report.split(u'\n', Qt::SkipEmptyParts);
            const QStringList listed = lines.mid(lines.indexOf(QStringLiteral("Most probable end states")) + 2);
            QCOMPARE(listed.size(), 3);
            const QMap<QString, QString> gridNames = {{"ATT", "ATT wins"}, {"DEF", "DEF wins"}, {"Both D.", "Both dest."}};
            QStringList victors, grid;
            for (const QString& line : listed) victors << line.mid(10).section(u':', 0, 0);
            for (const QString& name : GridColumn(w.Form(), 0)) grid << gridNames.value(name);
            QCOMPARE(victors, grid);

            ShowPage(w, 2);
            QCOMPARE(w.Label("ExactStatusLabel")->text(), report.section(u'\n', 0, 0));
            QCOMPARE(w.Label("ExactStatusLabel")->toolTip(), QStringLiteral("why not"));
            auto bars = qobject_cast<QHorizontalBarSeries*>(Chart(w, "OutcomeChart")->series().front());
            QCOMPARE(bars->count(), 1);
            QLineSeries* att = Line(Chart(w, "LossChart"), QStringLiteral("ATT, run avg"));
            QVERIFY(att && att->count() > 2);
            QCOMPARE(att->points().back().y(), 100.0);
        }
    }

    // Margins that stay honest where a share is 0 % or 100 %, and none after
    // a single battle.
    void marginsAtTheEdges()
    {
        TFakeExact fake;
        fake.Answer = [](const TBattleSetupRec& s) { return ComputeExactOdds(s); };
        TWindowFixture w;
        TBattleSetupRec alone;  // nothing to fight: the attacker wins every battle
        alone.AttCount[aINF] = 1;
        Fight(w, fake, alone, 1000, 1);
        QVERIFY(WaitForExactOdds(w.Form()));
        QString report = ReportText(w.Form());
        // 1000 of 1000: the Wilson interval reaches down to 99.62 %; 0 of 1000 up to 0.38 %.
        QCOMPARE(ReportRow(report, "ATT wins %"), QStringList({"100.00", "≥99.62", "100.00"}));
        QCOMPARE(ReportRow(report, "DEF wins %"), QStringList({"0.00", "≤0.38", "0.00"}));
        QCOMPARE(ReportRow(report, "Taken %"), QStringList({"100.00", "≥99.62", "100.00"}));
        QCOMPARE(ReportRow(report, "Average Rounds"), QStringList({"1.00", "±0", "1.00"}));  // every battle one round

        w.Spin("RunsSpinEdit")->setValue(1);
        w.Button("GoButton")->click();
        QVERIFY(WaitForExactOdds(w.Form()));
        report = ReportText(w.Form());
        QVERIFY(report.contains(QStringLiteral(" (1 battle)\n")));
        QCOMPARE(ReportColumn(report, 1), QStringList(8, QStringLiteral("n/a")));
    }

    // The charts: the territory figure and the five categories, run and exact
    // side by side with their values; each side's losses as steps of
    // P(loss <= x) over round ticks with its average marked and named; the
    // survivors as steps of P(units >= n); an enlarged chart follows the page.
    void chartsHoldTheSeries()
    {
        TFakeExact fake;
        fake.Answer = [](const TBattleSetupRec&) {
            TExactOdds x;
            x.AttWins = 0.7;
            x.Taken = 0.7;
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
        QVERIFY(!bars->isLabelsVisible());  // the chart writes its value labels itself
        QCOMPARE(bars->barSets()[0]->label(), QStringLiteral("Run"));
        QCOMPARE(bars->barSets()[1]->label(), QStringLiteral("Exact"));
        auto categories = qobject_cast<QBarCategoryAxis*>(Chart(w, "OutcomeChart")->axes(Qt::Vertical).front());
        QCOMPARE(categories->categories(),
                 QStringList({"ATT with.", "Both remain", "Both dest.", "DEF wins", "ATT wins", "Taken"}));
        const QBarSet& exact = *bars->barSets()[1];
        QCOMPARE(exact.at(5), 70.0);
        QCOMPARE(exact.at(4), 70.0);
        QCOMPARE(exact.at(3), 30.0);
        const QStringList panel = PanelColumn(w.Form(), 1);
        QVERIFY(Agrees(panel[0], bars->barSets()[0]->at(4)));

        // 3 INF (9 IPC) against 2 INF (6 IPC): the attacker loses 0, 6 or 9
        // with 0.5, 0.2, 0.3; the defender 6 or 0 with 0.7, 0.3.
        QChart* losses = Chart(w, "LossChart");
        QLineSeries* att = Line(losses, QStringLiteral("ATT, exact avg 3.90"));
        QLineSeries* def = Line(losses, QStringLiteral("DEF, exact avg 4.20"));
        QVERIFY(att && def);
        auto yAt = [](QLineSeries* steps, double x) {
            double y = 0;
            for (const QPointF& p : steps->points())
                if (p.x() <= x) y = p.y();
            return y;
        };
        QCOMPARE(yAt(att, 0), 50.0);
        QCOMPARE(yAt(att, 5), 50.0);
        QCOMPARE(qRound(yAt(att, 6)), 70);
        QCOMPARE(yAt(att, 9), 100.0);
        QCOMPARE(qRound(yAt(def, 0)), 30);
        QCOMPARE(yAt(def, 6), 100.0);
        int averages = 0;
        for (QAbstractSeries* series : losses->series()) {
            auto line = qobject_cast<QLineSeries*>(series);
            if (line && line->count() == 2 && line->at(0).x() == line->at(1).x()) {
                QVERIFY(line->at(0).x() == 3.9 || line->at(0).x() == 4.2);
                ++averages;
            }
        }
        QCOMPARE(averages, 2);
        auto lossAxis = qobject_cast<QValueAxis*>(losses->axes(Qt::Horizontal).front());
        QCOMPARE(lossAxis->min(), 0.0);
        QCOMPARE(lossAxis->max(), 15.0);  // at least 3 round steps of 5 past 9
        QCOMPARE(lossAxis->tickCount(), 4);

        // The attacker keeps 3, 1 or 0 INF: at least 1 with 70 %, at least 2 or 3 with 50 %.
        QLineSeries* kept = Line(Chart(w, "SurvivorChart"), QStringLiteral("ATT, exact"));
        QVERIFY(kept);
        auto yJustBelow = [&](double n) { return qRound(yAt(kept, n - 0.5)); };
        QCOMPARE(yJustBelow(1), 70);
        QCOMPARE(yJustBelow(3), 50);
        QCOMPARE(yJustBelow(4), 0);

        // Enlarged by a double click: a window of its own that follows the shown results.
        auto view = w.Find<QChartView>("SurvivorChart");
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->viewport()->rect().center());
        auto window = w.Form().findChild<QWidget*>(QStringLiteral("SurvivorsWindow"));
        QVERIFY(window && window->isWindow() && window->isVisible() && !window->isModal());
        QChart* big = window->findChild<QChartView*>()->chart();
        QVERIFY(Line(big, QStringLiteral("ATT, exact")));
        fake.Answer = FakeOdds;
        w.Spin("AttInfSpinEdit")->setValue(4);
        w.Button("GoButton")->click();
        QVERIFY(WaitForExactOdds(w.Form()));
        QVERIFY(Line(big, QStringLiteral("ATT, exact")));
        // The same steps; the last point is the end of an axis with room for more steps.
        QCOMPARE(Line(big, QStringLiteral("ATT"))->points().mid(0, 6),
                 Line(Chart(w, "SurvivorChart"), QStringLiteral("ATT"))->points().mid(0, 6));
        window->close();
    }

    // A page that is not shown is not written during a run; brought into
    // view it catches up at once.
    void hiddenPagesCostNothing()
    {
        TFakeExact fake;
        TWindowFixture w;
        Fight(w, fake, L1(), 3000, 0);
        QVERIFY(WaitForExactOdds(w.Form()));
        const TResultPages& pages = Pages(w.Form());
        QCOMPARE(pages.ReportWrites, 0);
        QCOMPARE(pages.ChartWrites, 0);
        QVERIFY(ReportText(w.Form()).isEmpty());

        ShowPage(w, 1);
        QCOMPARE(pages.ReportWrites, 1);
        ExpectRunColumnIsThePanels(ReportText(w.Form()), w.Form());
        ShowPage(w, 2);
        QCOMPARE(pages.ChartWrites, 1);
        QCOMPARE(pages.ReportWrites, 1);
        ShowPage(w, 0);
        ShowPage(w, 2);  // nothing new: nothing written
        QCOMPARE(pages.ChartWrites, 1);
    }

    // L1 and X1 after a full automatic run with the real exact calculation:
    // the exact column is the engine's, the territory figure and the units
    // left agree with the exact end states and the run's. A look at the three
    // pages and at an enlarged chart.
    void screenshotsOfL1AndX1()
    {
#if defined(__SANITIZE_THREAD__)
        // X1's exact odds take minutes under ThreadSanitizer; L1 checks the same.
        const std::pair<const char*, TBattleSetupRec> battles[] = {{"L1", L1()}};
#else
        const std::pair<const char*, TBattleSetupRec> battles[] = {{"L1", L1()}, {"X1", X1()}};
#endif
        for (const auto& [name, setup] : battles) {
            TWindowFixture w;
            w.Form().SeedHook = [] { return Seed; };
            w.Form().Control.SuppressRuns = true;
            for (int k = 0; k < AttKinds; ++k) w.Spin(AttCountNames[k])->setValue(setup.AttCount[k]);
            for (int k = 0; k < DefKinds; ++k) w.Spin(DefCountNames[k])->setValue(setup.DefCount[k]);
            w.Form().Control.SuppressRuns = false;
            w.Check("AACheckBox")->setChecked(true);  // starts the automatic run
            QTRY_VERIFY_WITH_TIMEOUT(!Pages(w.Form()).ExactOddsPending(), EventWaitMs);
            QCOMPARE(RunsLabel(w.Form()), QStringLiteral("Runs: 100000"));

            ShowPage(w, 1);
            const QString report = ReportText(w.Form());
            const TExactOdds x = ComputeExactOdds(setup);
            ExpectExactColumn(report, x);
            ExpectRunColumnIsThePanels(report, w.Form());
            double taken = 0;
            for (const TExactOutcome& o : x.Outcomes)
                if (TakesTerritory(true, o.State.Victor == TVictor::ATT, o.State.AttCount)) taken += o.Probability;
            int64_t runTaken = 0;
            double runInf = 0;
            for (const TBattleResultsRec& o : w.Form().OutcomeList.Entries()) {
                if (TakesTerritory(true, o.Victor == TVictor::ATT, o.AttCount)) runTaken += o.Instances;
                runInf += double(o.Instances) * o.AttCount[aINF] / 100000;
            }
            const QStringList takenRow = ReportRow(report, "Taken %");
            QVERIFY2(Agrees(takenRow.value(0), runTaken / 1000.0), qPrintable(takenRow.join(u' ')));
            QVERIFY2(Agrees(takenRow.value(2), 100 * taken), qPrintable(takenRow.join(u' ')));
            const QStringList infLeft = ReportRow(report, "ATT INF");
            QVERIFY2(Agrees(infLeft.value(0), runInf), qPrintable(infLeft.join(u' ')));
            double infExact = 0;
            for (const TExactOutcome& o : x.Outcomes) infExact += o.Probability * o.State.AttCount[aINF];
            QVERIFY2(Agrees(infLeft.value(2), infExact), qPrintable(infLeft.join(u' ')));

            const QByteArray prefix = QByteArray(name) + '-';
            SaveShot(w.Form(), prefix + "text-results.png");
            ShowPage(w, 2);
            SaveShot(w.Form(), prefix + "graph-results.png");
            ShowPage(w, 0);
            SaveShot(w.Form(), prefix + "grid-results.png");
            ShowPage(w, 2);
            Pages(w.Form()).Enlarge(TChartKind::Losses);
            auto window = w.Form().findChild<QWidget*>(QStringLiteral("IPCLossesWindow"));
            QVERIFY(window);
            SaveShot(*window, prefix + "enlarged-losses.png");
            window->close();
        }
    }
};

QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
