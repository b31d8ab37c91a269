// Run control: when runs start, stop and start over, what the window reads
// for the engine, and the menu's rolling and luck modes. A form subclass
// records the run starts and publications instead of displaying them. To act
// in the middle of a run a test posts a call before the run starts: the run
// delivers it from its dispatch of events after the first battle.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "Dizorivurad/Dizorivurad.h"
#include "tests/window/WindowTestSupport.h"

namespace {


struct TPublication {
    int Battles;
    int Count;
    bool Last;
    int Run;  // 1 for the first run, 2 for its first restart, ...
};

class TRecordingForm : public TForm1 {
public:
    TRecordingForm()
    {
        SeedHook = [] { return 20040306u; };
    }

    int Runs = 0;
    std::vector<TPublication> Publications;
    std::vector<TBattleResultsRec> Battles;  // every battle's end state, in order

    QSpinBox* Count(const char* name) { return Find<QSpinBox>(*this, name); }
    QCheckBox* Box(const char* name) { return Find<QCheckBox>(*this, name); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(*this, name); }
    QAction* Menu(const char* name) { return Find<QAction>(*this, name); }

    // Counts set without running their handlers: no rules, no run.
    void SetQuietly(const char* name, int value)
    {
        QSignalBlocker quiet(Count(name));
        Count(name)->setValue(value);
    }

    const TPublication& LastPublication() const
    {
        if (Publications.empty()) qFatal("nothing published");
        return Publications.back();
    }

private:
    void RunStarting() override { ++Runs; }
    void Publish(const RunTotals& totals, const TBattleResultsRec* batch, int count, bool last) override
    {
        Publications.push_back({totals.Battles, count, last, Runs});
        Battles.insert(Battles.end(), batch, batch + count);
    }
};

// Posts a call that the next dispatch of events delivers.
void Soon(std::function<void()> call) { QTimer::singleShot(0, std::move(call)); }

// Calls `call` in the dispatch after battle `battles` of the run that starts
// next, counting one dispatch per battle.
void AfterBattles(int battles, std::function<void()> call)
{
    auto remaining = std::make_shared<int>(battles);
    auto tick = std::make_shared<std::function<void()>>();
    *tick = [remaining, tick, call] {
        if (--*remaining > 0) {
            QTimer::singleShot(0, *tick);
        } else {
            call();
            *tick = nullptr;  // break the cycle
        }
    };
    QTimer::singleShot(0, *tick);
}

// Ends an automatic run from inside it without a restart: the player switches
// to manual rolling and presses Abort.
void StopAutomaticRun(TRecordingForm& form)
{
    form.Menu("ManualRolling")->trigger();
    form.Button("AbortButton")->click();
}

void ExpectIdle(TRecordingForm& form, bool manual)
{
    QVERIFY(!form.Control.Running);
    QVERIFY(form.Button("AbortButton")->isHidden());
    QCOMPARE(form.Button("GoButton")->isHidden(), !manual);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

}  // namespace

class RunControlTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TForm1::MessageHook = [](bool, const QString&) {}; }
    void cleanup() { QCoreApplication::processEvents(); }  // nothing left over for the next test

    // ---- Manual rolling -----------------------------------------------------------

    void manualRollingWaitsForGo()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        QVERIFY(!form.Button("GoButton")->isHidden());
        QVERIFY(form.Button("GoButton")->isEnabled());
        QVERIFY(!Find<QSpinBox>(form, "RunsSpinEdit")->isHidden());
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(1100);
        form.Count("AttInfSpinEdit")->setValue(3);
        form.Count("DefInfSpinEdit")->setValue(2);
        form.Box("AACheckBox")->setChecked(true);
        form.Button("AttSubButton")->click();
        QCOMPARE(form.Runs, 0);

        // The run shows Abort in Go's place and the busy cursor while it goes.
        bool abortShown = false;
        bool busy = false;
        Soon([&] {
            abortShown = !form.Button("AbortButton")->isHidden() && form.Button("GoButton")->isHidden() &&
                         form.Button("AbortButton")->pos() == form.Button("GoButton")->pos();
            busy = QApplication::overrideCursor() != nullptr;
        });
        form.Button("GoButton")->click();
        QVERIFY(abortShown);
        QVERIFY(busy);

        QCOMPARE(form.Runs, 1);
        std::vector<int> published;
        for (const TPublication& p : form.Publications) published.push_back(p.Battles);
        QCOMPARE(published, std::vector<int>({250, 500, 750, 1000, 1100}));
        QVERIFY(form.LastPublication().Last);
        QCOMPARE(Find<QProgressBar>(form, "ProgressBar1")->value(), 100);
        ExpectIdle(form, true);
    }

    void progressRoundsHalvesToEven()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(8);
        form.SetQuietly("AttArmSpinEdit", 1);
        QProgressBar* bar = Find<QProgressBar>(form, "ProgressBar1");
        std::vector<int> seen;
        for (int b = 1; b <= 7; ++b) AfterBattles(b, [&] { seen.push_back(bar->value()); });
        form.GoButtonClick();
        QCOMPARE(seen, std::vector<int>({12, 25, 38, 50, 62, 75, 88}));
        QCOMPARE(bar->value(), 100);
    }

    void abortEndsManualRun()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(100000);
        form.SetQuietly("AttInfSpinEdit", 3);
        form.SetQuietly("DefInfSpinEdit", 3);
        AfterBattles(600, [&] { form.Button("AbortButton")->click(); });
        form.GoButtonClick();
        QCOMPARE(form.Runs, 1);
        QCOMPARE(form.LastPublication().Battles, 600);
        QVERIFY(form.LastPublication().Last);
        ExpectIdle(form, true);
    }

    // Timers (like input from the window system) reach a run as well, not
    // only the calls the program posts itself.
    void timerStopsManualRun()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(100000);
        form.SetQuietly("AttInfSpinEdit", 3);
        form.SetQuietly("DefInfSpinEdit", 3);
        QTimer abort;
        abort.setSingleShot(true);
        connect(&abort, &QTimer::timeout, &form, [&] { form.Button("AbortButton")->click(); });
        abort.start(2);
        form.GoButtonClick();
        QVERIFY(form.LastPublication().Last);
        QVERIFY(form.LastPublication().Battles < 100000);
        ExpectIdle(form, true);
    }

    void emptyOrZeroRunsFightNothing()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(500);
        form.GoButtonClick();  // every count 0
        QVERIFY(form.Publications.empty());
        ExpectIdle(form, true);

        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(0);
        form.SetQuietly("AttInfSpinEdit", 1);
        form.GoButtonClick();
        QVERIFY(form.Publications.empty());
        ExpectIdle(form, true);

        // An automatic run meets the empty force as well and ends at once.
        form.SetQuietly("AttInfSpinEdit", 0);
        form.Menu("AutoRolling")->trigger();
        QVERIFY(form.Publications.empty());
        ExpectIdle(form, false);
    }

    // A reset holds SuppressRuns: Go must leave the cursor and buttons alone.
    void suppressedGoChangesNothing()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        form.SetQuietly("AttInfSpinEdit", 1);
        form.Control.SuppressRuns = true;
        form.GoButtonClick();
        form.Control.SuppressRuns = false;
        QCOMPARE(form.Runs, 0);
        ExpectIdle(form, true);
    }

    // In manual rolling a change goes into the run in progress from the next battle on.
    void manualRunReadsChangesAtNextBattle()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(5);
        form.Count("AttArmSpinEdit")->setValue(1);
        Soon([&] { form.Count("AttArmSpinEdit")->setValue(2); });
        AfterBattles(3, [&] { form.Count("AttArmSpinEdit")->setValue(4); });
        form.GoButtonClick();
        QCOMPARE(form.Runs, 1);
        QCOMPARE(int(form.Battles.size()), 5);
        const int expected[] = {1, 2, 2, 4, 4};
        for (int b = 0; b < 5; ++b) {
            QCOMPARE(form.Battles[b].Victor, TVictor::ATT);
            QCOMPARE(form.Battles[b].AttCount[aARM], expected[b]);
        }
    }

    // ---- Automatic rolling -------------------------------------------------------

    void changeDuringAutomaticRunStartsOver()
    {
        TRecordingForm form;
        form.SetQuietly("AttInfSpinEdit", 3);
        form.SetQuietly("DefInfSpinEdit", 3);
        AfterBattles(300, [&] {
            form.Count("DefArmSpinEdit")->setValue(1);  // the restarted run fights with it
            AfterBattles(10, [&] { StopAutomaticRun(form); });
        });
        form.RequestRun();

        QCOMPARE(form.Runs, 2);
        // The first run publishes what it fought when it stops ...
        std::vector<TPublication> first, second;
        for (const TPublication& p : form.Publications) (p.Run == 1 ? first : second).push_back(p);
        QCOMPARE(first.back().Battles, 300);
        QVERIFY(first.back().Last);
        // ... and the restart counts from zero.
        QCOMPARE(int(second.size()), 1);
        QCOMPARE(second.back().Battles, 10);
        QCOMPARE(form.Battles.size(), size_t(310));
        ExpectIdle(form, true);
    }

    void exitDuringAutomaticRunEndsIt()
    {
        TRecordingForm form;
        form.SetQuietly("AttInfSpinEdit", 3);
        form.SetQuietly("DefInfSpinEdit", 3);
        AfterBattles(5, [&] { form.Exit1Click(); });
        form.RequestRun();
        QCOMPARE(form.Runs, 1);
        QCOMPARE(form.LastPublication().Battles, 5);
        QVERIFY(!form.Control.Running);
        // Nothing starts a run once the program is closing.
        form.Count("AttInfSpinEdit")->setValue(4);
        form.GoButtonClick();
        QCOMPARE(form.Runs, 1);
    }

    void switchToAutomaticRollingStartsRun()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        form.Count("AttInfSpinEdit")->setValue(3);
        QCOMPARE(form.Runs, 0);
        AfterBattles(20, [&] { StopAutomaticRun(form); });
        form.Menu("AutoRolling")->trigger();
        QCOMPARE(form.Runs, 1);
        QCOMPARE(form.LastPublication().Battles, 20);
        ExpectIdle(form, true);
    }

    // Go after a switch to manual rolling during an automatic run must not
    // start a second run inside the first; the first runs on to its end.
    void goDuringRunDoesNotNest()
    {
        TRecordingForm form;
        form.SetQuietly("AttInfSpinEdit", 3);
        form.SetQuietly("DefInfSpinEdit", 3);
        Find<QSpinBox>(form, "RunsSpinEdit")->setValue(250);
        bool goVisible = false;
        bool untouched = false;
        AfterBattles(2, [&] {
            form.Menu("ManualRolling")->trigger();
            goVisible = !form.Button("GoButton")->isHidden();
            form.Button("GoButton")->click();
            untouched = form.Control.Running && QApplication::overrideCursor() == nullptr &&
                        form.Button("AbortButton")->isHidden();
            AfterBattles(3, [&] { form.Button("AbortButton")->click(); });
        });
        form.RequestRun();
        QVERIFY(goVisible);
        QVERIFY(untouched);
        QCOMPARE(form.Runs, 1);
        QCOMPARE(form.LastPublication().Battles, 5);
        ExpectIdle(form, true);
    }

    // The engine never reads an order being edited: a change during the edit
    // starts nothing, and the edit's own request starts the run once the
    // last rank is set.
    void killOrderEditHoldsRunRequests()
    {
        TRecordingForm form;
        form.SetQuietly("AttInfSpinEdit", 3);
        form.SetQuietly("DefInfSpinEdit", 3);
        int runsDuringEdit = -1;
        Soon([&] {
            form.Count("DefArmSpinEdit")->setValue(1);
            runsDuringEdit = form.Runs;
            AfterBattles(4, [&] { StopAutomaticRun(form); });
            for (const char* kind : {"AttSubHitOrderButton", "AttTrnHitOrderButton", "AttACHitOrderButton",
                                     "AttBBHitOrderButton", "AttBmrHitOrderButton", "AttFtrHitOrderButton",
                                     "AttArmHitOrderButton", "AttInfHitOrderButton"})
                form.Button(kind)->click();
        });
        form.Button("EditAttKillOrderButton")->click();
        QCOMPARE(runsDuringEdit, 0);
        QCOMPARE(form.Runs, 1);
        QCOMPARE(form.LastPublication().Battles, 4);
        TBattleSetupRec setup;
        form.ReadSetup(setup);
        const int32_t clicked[AttKinds] = {8, 7, 6, 5, 4, 3, 2, 1};
        QVERIFY(std::equal(std::begin(setup.AttOrder), std::end(setup.AttOrder), std::begin(clicked)));
        QCOMPARE(setup.DefCount[dARM], 1);
    }

    void manualRollingChangesStartNoRun()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        form.Count("AttInfSpinEdit")->setValue(2);
        form.Count("DefArmSpinEdit")->setValue(2);
        form.Box("TakeWithCheckBox")->setChecked(true);
        form.Box("AllRoundsCheckBox")->setChecked(false);
        form.Menu("LowLuckMode")->trigger();
        form.Button("AttBmrButton")->click();
        QCOMPARE(form.Runs, 0);
    }

    // ---- Menu and round limit ------------------------------------------------------

    void menuCheckMarks()
    {
        TRecordingForm form;
        QAction* manual = form.Menu("ManualRolling");
        QAction* automatic = form.Menu("AutoRolling");
        QAction* lowLuck = form.Menu("LowLuckMode");
        QAction* regular = form.Menu("RegularMode");

        manual->trigger();
        QVERIFY(manual->isChecked() && !automatic->isChecked());
        manual->trigger();  // already checked: stays so
        QVERIFY(manual->isChecked() && !automatic->isChecked());
        QVERIFY(!form.Button("GoButton")->isHidden());

        lowLuck->trigger();
        QVERIFY(lowLuck->isChecked() && !regular->isChecked());
        lowLuck->trigger();
        QVERIFY(lowLuck->isChecked() && !regular->isChecked());
        TBattleSetupRec setup;
        form.ReadSetup(setup);
        QVERIFY(setup.LowLuck);
        regular->trigger();
        QVERIFY(regular->isChecked() && !lowLuck->isChecked());
        regular->trigger();
        QVERIFY(regular->isChecked() && !lowLuck->isChecked());
        form.ReadSetup(setup);
        QVERIFY(!setup.LowLuck);

        automatic->trigger();  // every count 0: the run ends at once
        QVERIFY(automatic->isChecked() && !manual->isChecked());
        QVERIFY(form.Button("GoButton")->isHidden());
        QVERIFY(!form.Button("GoButton")->isEnabled());
        QVERIFY(Find<QSpinBox>(form, "RunsSpinEdit")->isHidden());
        automatic->trigger();
        QVERIFY(automatic->isChecked() && !manual->isChecked());
    }

    void roundLimit()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        QCheckBox* allRounds = form.Box("AllRoundsCheckBox");
        QSpinBox* rounds = Find<QSpinBox>(form, "RoundsSpinEdit");
        QSpinBox probe;
        TForm1::PaintField(&probe, true);
        const uint32_t entry = TForm1::FieldColour(&probe);

        allRounds->setChecked(false);
        QVERIFY(rounds->isEnabled());
        QCOMPARE(TForm1::FieldColour(rounds), entry);
        rounds->setValue(5);
        TBattleSetupRec setup;
        form.ReadSetup(setup);
        QVERIFY(!setup.AllRounds);
        QCOMPARE(setup.Rounds, 5);

        allRounds->setChecked(true);
        QVERIFY(!rounds->isEnabled());
        QVERIFY(TForm1::FieldColour(rounds) != entry);
        QCOMPARE(rounds->value(), 1);
        form.ReadSetup(setup);
        QVERIFY(setup.AllRounds);
    }

    // ---- The setup read for the engine -------------------------------------------

    void setupFollowsControls()
    {
        TRecordingForm form;
        form.Menu("ManualRolling")->trigger();
        form.SetQuietly("AttFtrSpinEdit", 4);
        form.SetQuietly("DefJFtrSpinEdit", 7);
        form.Box("AttWithSubsAirOnlyCheckBox")->setChecked(true);
        Find<QPushButton>(form, "WithdrawalButton")->setText("Disabl&e");
        form.SetQuietly("AttWithSpinEdit", 2);
        Find<QPushButton>(form, "AttInfHitOrderButton")->setText("2");
        Find<QPushButton>(form, "AttArmHitOrderButton")->setText("1");

        TBattleSetupRec setup;
        form.ReadSetup(setup);
        QCOMPARE(setup.AttCount[aFTR], 4);
        QCOMPARE(setup.DefCount[dJFTR], 7);
        QVERIFY(setup.AttWithSubsAirOnly);
        QVERIFY(setup.Withdrawal);
        QCOMPARE(setup.AttWith, 2);
        QCOMPARE(setup.AttOrder[aINF], 2);
        QCOMPARE(setup.AttOrder[aARM], 1);
        QCOMPARE(setup.AttValue[aTRN], 0);
        QCOMPARE(setup.DefValue[dJFTR], 5);
        QCOMPARE(setup.DefIPC[dBB], 24);
    }

    // An order that is not a permutation never reaches the engine.
    void incompleteOrderReadsAsDefault()
    {
        TRecordingForm form;
        Find<QPushButton>(form, "AttInfHitOrderButton")->setText("");
        Find<QPushButton>(form, "DefBBHitOrderButton")->setText("1");  // rank 1 twice
        TBattleSetupRec setup;
        form.ReadSetup(setup);
        QVERIFY(std::equal(std::begin(setup.AttOrder), std::end(setup.AttOrder), std::begin(DefaultAttOrder)));
        QVERIFY(std::equal(std::begin(setup.DefOrder), std::end(setup.DefOrder), std::begin(DefaultDefOrder)));
    }
};

QTEST_MAIN(RunControlTest)
#include "RunControlTest.moc"
