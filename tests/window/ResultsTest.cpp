// Publication of a run's figures: the "Runs:" label, column 1 of the
// "Average Results" panel, "Store Results", and whole runs through the
// window whose figures are checked against the engine run on its own.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include "tests/window/ResultsTestSupport.h"
#include "bench/ReferenceBattles.h"
#include "format/Panel.h"

namespace {

constexpr uint32_t Seed = 20040306u;

void Publish(TForm1& form, const RunTotals& totals)
{
    static_cast<TRunHost&>(form).Publish(totals, nullptr, 0, false);
}

RunTotals Totals(int battles, int attWins, int defWins, int bothDes, int bothRemain, int attWithdraws,
                 int64_t attLoss, int64_t defLoss, int64_t rounds)
{
    RunTotals t;
    t.Battles = battles;
    t.AttWins = attWins;
    t.DefWins = defWins;
    t.BothDes = bothDes;
    t.BothRemain = bothRemain;
    t.AttWithdraws = attWithdraws;
    t.AttIPCLoss = attLoss;
    t.DefIPCLoss = defLoss;
    t.TotalRounds = rounds;
    return t;
}

void ClickStore(TForm1& form) { QTest::mouseClick(Find<QPushButton>(form, "Button1"), Qt::LeftButton); }

// Counts set without their handlers: no availability rules, no run.
void SetQuietly(TForm1& form, const char* name, int value)
{
    QSpinBox* count = Find<QSpinBox>(form, name);
    const QSignalBlocker quiet(count);
    count->setValue(value);
}

// The same run without the window: the engine's own driver with a fixed setup.
class THeadlessRun : public TRunHost {
public:
    THeadlessRun(const TBattleSetupRec& setup, int battles) : Setup(setup), Battles(battles) {}

    int RunSize() override { return Battles; }
    uint32_t RunSeed() override { return Seed; }
    void ReadSetup(TBattleSetupRec& setup) override { setup = Setup; }
    void Publish(const RunTotals& totals, const TBattleResultsRec* batch, int count, bool) override
    {
        Final = totals;
        Outcomes.AddBatch(batch, count);
    }

    TBattleSetupRec Setup;
    int Battles;
    RunTotals Final;
    TOutcomeList Outcomes;
};

// What each watched control showed when it was last painted.
class TPaintedTexts : public QObject {
public:
    void Watch(QWidget* control, std::function<QString()> text)
    {
        Texts[control] = std::move(text);
        control->installEventFilter(this);
    }
    QMap<QObject*, QString> Painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) Painted[watched] = Texts[watched]();
        return false;
    }

private:
    QMap<QObject*, std::function<QString()>> Texts;
};

}  // namespace

Q_DECLARE_METATYPE(RunTotals)

class ResultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TForm1::MessageHook = [](bool, const QString&) {}; }
    void cleanup() { QCoreApplication::processEvents(); }

    void publicationTexts_data()
    {
        QTest::addColumn<RunTotals>("totals");
        QTest::addColumn<QString>("runs");
        QTest::addColumn<QStringList>("panel");
        QTest::newRow("250 battles") << Totals(250, 3, 221, 25, 1, 0, 125, 125, 1000) << "Runs: 250"
                                     << QStringList({"1.2", "88.4", "10", "<1", "0", "<1", "0.5", "4"});
        QTest::newRow("shares around 1 and 10") << Totals(250, 26, 1, 0, 198, 25, 0, 0, 2490) << "Runs: 250"
                                                << QStringList({"10.4", "<1", "0", "79.2", "10", "0", "0", "10"});
        QTest::newRow("100000 battles") << Totals(100000, 0, 100000, 0, 0, 0, 1234567, 1, 249999) << "Runs: 100000"
                                        << QStringList({"0", "100", "0", "0", "0", "12.3", "1E-5", "2.5"});
    }
    void publicationTexts()
    {
        QFETCH(RunTotals, totals);
        QFETCH(QString, runs);
        QFETCH(QStringList, panel);
        TForm1 form;
        form.show();
        Publish(form, totals);
        QCOMPARE(RunsLabel(form), runs);
        QCOMPARE(PanelColumn(form, 1), panel);
        for (int column = 2; column <= 4; ++column) QCOMPARE(PanelColumn(form, column), QStringList(8, "0"));
    }

    // The panel speaks the user's decimal separator.
    void decimalSeparatorOfLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TForm1 form;
        form.show();
        Publish(form, Totals(100000, 1200, 0, 0, 0, 0, 50000, 1, 249999));
        QLocale::setDefault(saved);
        QCOMPARE(PanelColumn(form, 1), QStringList({"1,2", "0", "0", "0", "0", "<1", "1E-5", "2,5"}));
    }

    // "Store Results" shifts the columns right, the texts as they stand.
    void storeResults()
    {
        TForm1 form;
        form.show();
        Publish(form, Totals(250, 3, 221, 25, 1, 0, 125, 125, 1000));
        const QStringList first = PanelColumn(form, 1);
        for (int click = 0; click < 3; ++click) ClickStore(form);
        for (int column = 1; column <= 4; ++column) QCOMPARE(PanelColumn(form, column), first);

        Publish(form, Totals(500, 500, 0, 0, 0, 0, 0, 0, 500));
        const QStringList second = PanelColumn(form, 1);
        ClickStore(form);
        Publish(form, Totals(750, 0, 750, 0, 0, 0, 7500, 0, 750));
        const QStringList third = PanelColumn(form, 1);
        ClickStore(form);
        QCOMPARE(PanelColumn(form, 1), third);
        QCOMPARE(PanelColumn(form, 2), third);
        QCOMPARE(PanelColumn(form, 3), second);
        QCOMPARE(PanelColumn(form, 4), first);

        // Nothing else changes and no run starts.
        QCOMPARE(RunsLabel(form), QStringLiteral("Runs: 750"));
        QVERIFY(!form.Control.Running);
        QCOMPARE(GridRows(form), 1);
    }

    // Pressing "Store Results" during a run keeps the latest publication.
    void storeDuringRun()
    {
        TForm1 form;
        form.SeedHook = [] { return Seed; };
        form.show();
        Find<QAction>(form, "ManualRolling")->trigger();
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(1000);
        SetQuietly(form, "AttInfSpinEdit", 3);
        SetQuietly(form, "DefInfSpinEdit", 3);

        int battles = 0;
        QStringList published;
        QString runs;
        EveryBattle([&] {
            if (++battles < 600) return true;
            published = PanelColumn(form, 1);
            runs = RunsLabel(form);
            ClickStore(form);
            return false;
        });
        Find<QPushButton>(form, "GoButton")->click();

        QCOMPARE(runs, QStringLiteral("Runs: 500"));
        QCOMPARE(PanelColumn(form, 2), published);
        QCOMPARE(RunsLabel(form), QStringLiteral("Runs: 1000"));
    }

    // A change during an automatic run: the run publishes what it has fought,
    // starts over, and its first publication replaces the earlier figures;
    // until then they stay on the screen.
    void restartReplacesPartialFigures()
    {
        TForm1 form;
        form.SeedHook = [] { return Seed; };
        form.show();
        SetQuietly(form, "AttInfSpinEdit", 1);
        SetQuietly(form, "DefInfSpinEdit", 1);

        struct TShown {
            QString Runs;
            qint64 GridBattles;
            bool operator==(const TShown&) const = default;
        };
        std::vector<TShown> shown;
        int battles = 0;
        EveryBattle([&] {
            const TShown now{RunsLabel(form), GridBattles(form)};
            if (shown.empty() || !(shown.back() == now)) shown.push_back(now);
            if (++battles == 600) Find<QSpinBox>(form, "AttInfSpinEdit")->setValue(2);
            return battles < 1000;
        });
        form.RequestRun();

        const std::vector<TShown> expected = {
            {"&Runs:", 0},        // the start-up grid: one empty row
            {"Runs: 250", 250},
            {"Runs: 500", 500},
            {"Runs: 600", 600},   // published at the stop, kept through the restart ...
            {"Runs: 250", 250},   // ... and replaced by the new run's first figures
        };
        QVERIFY(shown.size() >= expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(shown[i].Runs, expected[i].Runs);
            QCOMPARE(shown[i].GridBattles, expected[i].GridBattles);
        }
        QCOMPARE(RunsLabel(form), QStringLiteral("Runs: 100000"));
        QCOMPARE(GridBattles(form), qint64(100000));
    }

    // During a run the window paints at the screen's rate, not at every
    // publication; still, when the run returns, its final figures are on the
    // screen, and afterwards the window paints every change again.
    void finalFiguresArePainted()
    {
        TForm1 form;
        form.SeedHook = [] { return Seed; };
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Find<QAction>(form, "ManualRolling")->trigger();
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(1100);
        SetQuietly(form, "AttInfSpinEdit", 3);
        SetQuietly(form, "DefInfSpinEdit", 3);
        QCoreApplication::processEvents();

        auto* runs = Find<QLabel>(form, "RunsLabel");
        auto* share = Find<QLineEdit>(form, "ProbDefWins1");
        auto* stored = Find<QLineEdit>(form, "ProbDefWins2");
        auto* progress = Find<QProgressBar>(form, "ProgressBar1");
        TPaintedTexts painted;
        painted.Watch(runs, [runs] { return runs->text(); });
        painted.Watch(share, [share] { return share->text(); });
        painted.Watch(stored, [stored] { return stored->text(); });
        painted.Watch(progress, [progress] { return QString::number(progress->value()); });

        Find<QPushButton>(form, "GoButton")->click();
        QCOMPARE(painted.Painted.value(runs), QStringLiteral("Runs: 1100"));
        QCOMPARE(painted.Painted.value(share), share->text());
        QCOMPARE(painted.Painted.value(progress), QStringLiteral("100"));

        ClickStore(form);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(painted.Painted.value(stored), share->text());
    }

    // One INF against one INF ends in three ways, all within the first 250
    // battles: the grid is rewritten after battles 250, 500 and 750 and after
    // the last battle only.
    void threeOutcomeRunRewrites()
    {
        TForm1 form;
        form.SeedHook = [] { return Seed; };
        form.show();
        SetQuietly(form, "AttInfSpinEdit", 1);
        SetQuietly(form, "DefInfSpinEdit", 1);
        QStringList rewrittenAt;
        connect(Grid(form)->model(), &QAbstractItemModel::modelReset, &form,
                [&] { rewrittenAt << RunsLabel(form); });
        form.RequestRun();

        QCOMPARE(rewrittenAt, QStringList({"Runs: 250", "Runs: 500", "Runs: 750", "Runs: 100000"}));
        QCOMPARE(form.GridRewrites, 4);
        QCOMPARE(GridColumn(form, 0).size(), 3);
        QCOMPARE(GridBattles(form), qint64(100000));
        QCOMPARE(GridColumn(form, 11).last(), QStringLiteral("100%"));
    }

    // Battle L1 fought 100000 times through the window shows exactly what the
    // engine's driver computes for the same setup and seed.
    void battleL1AgreesWithHeadlessRun()
    {
        THeadlessRun headless(L1(), 100000);
        TRunControl control;
        QVERIFY(RunBattles(control, headless) == TRunEnd::Completed);
        QStringList expected;
        for (const std::string& row : PanelTexts(headless.Final, '.').Row) expected << QString::fromStdString(row);

        TForm1 form;
        form.SeedHook = [] { return Seed; };
        form.show();
        Find<QAction>(form, "ManualRolling")->trigger();
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(100000);
        Find<QSpinBox>(form, "AttInfSpinEdit")->setValue(10);
        Find<QSpinBox>(form, "AttArmSpinEdit")->setValue(5);
        Find<QSpinBox>(form, "AttFtrSpinEdit")->setValue(4);
        Find<QSpinBox>(form, "AttBmrSpinEdit")->setValue(2);
        Find<QSpinBox>(form, "AttBBSpinEdit")->setValue(1);
        Find<QSpinBox>(form, "DefInfSpinEdit")->setValue(14);
        Find<QSpinBox>(form, "DefArmSpinEdit")->setValue(4);
        Find<QSpinBox>(form, "DefFtrSpinEdit")->setValue(3);
        Find<QCheckBox>(form, "AACheckBox")->setChecked(true);
        Find<QPushButton>(form, "GoButton")->click();

        QCOMPARE(RunsLabel(form), QStringLiteral("Runs: 100000"));
        QCOMPARE(PanelColumn(form, 1), expected);
        QCOMPARE(GridRows(form), int(headless.Outcomes.Size()));
        QCOMPARE(GridBattles(form), qint64(100000));
        int most = 0;
        for (const TBattleResultsRec& outcome : headless.Outcomes.Entries()) most = std::max(most, outcome.Instances);
        QCOMPARE(Cell(form, 0, 12), QString::number(most));  // sorted by "%"
        QCOMPARE(GridLabel(form),
                 QStringLiteral("Complete Results - %1 Instances (Sorted by %)").arg(headless.Outcomes.Size()));

        const QString shots = qEnvironmentVariable("VARNHOLT_SHOT_DIR", QDir::currentPath());
        form.grab().save(QDir(shots).filePath("results-window.png"));
    }
};

QTEST_MAIN(ResultsTest)
#include "ResultsTest.moc"
