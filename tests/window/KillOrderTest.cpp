// Basic kill orders: editing through the hit-order buttons, the defaults, the
// advanced-order warning, and how edits hold run requests.
//
// An edit waits inside its handler until the side's last rank is set, so the
// clicks that feed it are posted (Soon) before the edit button is clicked and
// are delivered by the edit's own dispatch of events. Runs are counted through
// the seed hook; automatic runs are kept short.
#include <QProgressBar>
#include <initializer_list>
#include <QTest>

#include "tests/window/WindowTestSupport.h"

namespace {

void Click(TWindowFixture& w, const char* name) { w.Button(name)->click(); }

// Clicks hit-order buttons of a side by their slots, in the given order.
void ClickRanks(TWindowFixture& w, bool attacker, std::initializer_list<int> kinds)
{
    for (int slot : kinds) Click(w, attacker ? AttRankNames[slot] : DefRankNames[slot]);
}

// A small land battle, so that runs fight battles.
void LandBattle(TWindowFixture& w)
{
    w.Spin("AttInfSpinEdit")->setValue(3);
    w.Spin("DefInfSpinEdit")->setValue(2);
}

}  // namespace

class KillOrderTest : public QObject {
    Q_OBJECT

private slots:
    void editingRanksKindsInClickOrder();
    void defenderEditNeedsNineClicksJetFighterIncluded();
    void clickOutsideEditingChangesNothing();
    void defaultEndsEditAndLeavesOtherSide();
    void bothSidesAtOnceEndInReverseOrder();
    void secondEditClickRestartsNumbering();
    void noRunStartsWhileEditing();
    void editDuringAutomaticRunHoldsItAndRunStartsOver();
    void editDuringManualRunHoldsItAndRunGoesOn();
    void advancedKillOrderOnlyWarns();
    void closingDuringEditEndsWaitWithCompleteOrder();
};

void KillOrderTest::editingRanksKindsInClickOrder()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    LandBattle(w);
    const int runsBefore = counter.Runs;
    const QStringList defenderBefore = RankCaptions(w, false);

    bool checkedHalfway = false;
    Soon(w, [&] {
        QCOMPARE(RankCaptions(w, true), QStringList(AttKinds, QString()));
        QVERIFY(w.Form().KillOrderIncomplete());
        ClickRanks(w, true, {aSUB, aINF, aBB});
        // A kind that has a rank keeps it; the next unranked kind gets one more than the highest.
        ClickRanks(w, true, {aINF, aSUB});
        ClickRanks(w, true, {aAC, aTRN, aARM, aFTR});
        QCOMPARE(RankCaptions(w, true),
                 (QStringList{"2", "6", "7", "", "3", "4", "5", "1"}));
        QCOMPARE(RankCaptions(w, false), defenderBefore);  // the other side is not touched
        QCOMPARE(counter.Runs, runsBefore);                // clicks ask for no run
        checkedHalfway = true;
        ClickRanks(w, true, {aBMR});
    });
    Click(w, "EditAttKillOrderButton");

    QVERIFY(checkedHalfway);
    QCOMPARE(RankCaptions(w, true), (QStringList{"2", "6", "7", "8", "3", "4", "5", "1"}));
    QVERIFY(!w.Form().KillOrderIncomplete());
    QCOMPARE(counter.Runs, runsBefore + 1);  // the edit's own request, automatic rolling
    QVERIFY(!w.Form().Control.Running);
}

void KillOrderTest::defenderEditNeedsNineClicksJetFighterIncluded()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    w.UseManualRolling();
    int clicks = 0;
    Soon(w, [&] {
        for (int slot : {dBB, dAC, dTRN, dSUB, dBMR, dFTR, dINF, dARM}) {
            Click(w, DefRankNames[slot]);
            ++clicks;
        }
        QVERIFY(w.Form().KillOrderIncomplete());  // no jet fighters, yet their rank is wanted
        Click(w, "DefJFtrHitOrderButton");
        ++clicks;
    });
    Click(w, "EditDefKillOrderButton");
    QCOMPARE(clicks, 9);
    QCOMPARE(RankCaptions(w, false), (QStringList{"7", "8", "6", "9", "5", "1", "2", "3", "4"}));
    QCOMPARE(RankCaptions(w, true), DefaultRankCaptions(true));
}

void KillOrderTest::clickOutsideEditingChangesNothing()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    LandBattle(w);
    const int runsBefore = counter.Runs;
    for (const char* name : AttRankNames) Click(w, name);
    for (const char* name : DefRankNames) Click(w, name);
    QCOMPARE(RankCaptions(w, true), DefaultRankCaptions(true));
    QCOMPARE(RankCaptions(w, false), DefaultRankCaptions(false));
    QCOMPARE(counter.Runs, runsBefore);
}

void KillOrderTest::defaultEndsEditAndLeavesOtherSide()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    LandBattle(w);

    // A changed defender order first, so that "untouched" means something.
    Soon(w, [&] { ClickRanks(w, false, {dSUB, dTRN, dAC, dBB, dBMR, dJFTR, dFTR, dARM, dINF}); });
    Click(w, "EditDefKillOrderButton");
    const QStringList defender = RankCaptions(w, false);
    QCOMPARE(defender, (QStringList{"9", "8", "7", "6", "5", "4", "3", "2", "1"}));

    const int runsBefore = counter.Runs;
    Soon(w, [&] {
        ClickRanks(w, true, {aBB, aBMR, aFTR});
        Click(w, "DefaultAttKillOrderButton");  // held: the edit is still on the stack
        QCOMPARE(counter.Runs, runsBefore);
    });
    Click(w, "EditAttKillOrderButton");
    QCOMPARE(RankCaptions(w, true), DefaultRankCaptions(true));
    QCOMPARE(RankCaptions(w, false), defender);
    QCOMPARE(counter.Runs, runsBefore + 1);

    // Outside an edit the default asks for a run of its own.
    Click(w, "DefaultDefKillOrderButton");
    QCOMPARE(RankCaptions(w, false), DefaultRankCaptions(false));
    QCOMPARE(counter.Runs, runsBefore + 2);
}

void KillOrderTest::bothSidesAtOnceEndInReverseOrder()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    LandBattle(w);
    const int runsBefore = counter.Runs;

    QStringList order;
    Soon(w, [&] {
        ClickRanks(w, true, {aINF, aARM});
        Soon(w, [&] {
            // The attacker's order is completed first, inside the defender's edit ...
            ClickRanks(w, true, {aTRN, aSUB, aAC, aFTR, aBMR, aBB});
            QVERIFY(w.Form().KillOrderIncomplete());
            ClickRanks(w, false, {dINF, dARM, dTRN, dSUB, dBMR, dFTR, dJFTR, dAC, dBB});
        });
        Click(w, "EditDefKillOrderButton");
        // ... yet the edit started last ends first, and its request is held
        // while the attacker's edit is still under way.
        order << "defender";
        QCOMPARE(counter.Runs, runsBefore);
        QVERIFY(w.Form().KillOrderIncomplete());
    });
    Click(w, "EditAttKillOrderButton");
    order << "attacker";

    QCOMPARE(order, (QStringList{"defender", "attacker"}));
    QCOMPARE(RankCaptions(w, true), DefaultRankCaptions(true));
    QCOMPARE(RankCaptions(w, false), DefaultRankCaptions(false));
    QCOMPARE(counter.Runs, runsBefore + 1);
    QVERIFY(!w.Form().KillOrderIncomplete());
}

void KillOrderTest::secondEditClickRestartsNumbering()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    LandBattle(w);
    const int runsBefore = counter.Runs;

    Soon(w, [&] {
        ClickRanks(w, true, {aBB, aBMR, aFTR});
        Soon(w, [&] {
            QCOMPARE(RankCaptions(w, true), QStringList(AttKinds, QString()));
            ClickRanks(w, true, {aFTR, aBB, aBMR, aINF, aARM, aAC, aTRN, aSUB});
        });
        Click(w, "EditAttKillOrderButton");
        // Both waits end with the same last click.
        QVERIFY(!RankCaptions(w, true).contains(QString()));
    });
    Click(w, "EditAttKillOrderButton");
    QCOMPARE(RankCaptions(w, true), (QStringList{"4", "5", "1", "3", "2", "6", "7", "8"}));
    QCOMPARE(counter.Runs, runsBefore + 1);  // the inner wait's request is held by the outer one
}

void KillOrderTest::noRunStartsWhileEditing()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    LandBattle(w);

    // Automatic rolling: an input change during the edit starts nothing; the
    // edit's request then runs on both changes.
    int runsBefore = counter.Runs;
    Soon(w, [&] {
        w.Spin("AttArmSpinEdit")->setValue(2);
        w.Check("AttIndTechCheckBox")->setChecked(true);
        QCOMPARE(counter.Runs, runsBefore);
        ClickRanks(w, true, {0, 1, 2, 3, 4, 5, 6, 7});
    });
    Click(w, "EditAttKillOrderButton");
    QCOMPARE(counter.Runs, runsBefore + 1);
    QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 20"));

    // Manual rolling: Go during the edit starts nothing, nor does the edit's end.
    w.UseManualRolling();
    w.Spin("RunsSpinEdit")->setValue(250);
    runsBefore = counter.Runs;
    Soon(w, [&] {
        Click(w, "GoButton");
        QCOMPARE(counter.Runs, runsBefore);
        QVERIFY(!w.Form().Control.Running);
        ClickRanks(w, false, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    });
    Click(w, "EditDefKillOrderButton");
    QCOMPARE(counter.Runs, runsBefore);
    QVERIFY(w.Button("GoButton")->isVisibleTo(&w.Form()));
    Click(w, "GoButton");
    QCOMPARE(counter.Runs, runsBefore + 1);
    QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 250"));
}

void KillOrderTest::editDuringAutomaticRunHoldsItAndRunStartsOver()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 300);
    w.UseManualRolling();  // set up the forces without runs
    LandBattle(w);
    w.Choose("AutoRolling");  // starts a run of 300 and ends it
    const int runsBefore = counter.Runs;
    QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 300"));

    bool held = false;
    Soon(w, [&] {  // delivered after the first battle of the next run
        QVERIFY(w.Form().Control.Running);
        const int progress = w.Find<QProgressBar>("ProgressBar1")->value();
        Soon(w, [&, progress] {
            // The run waits below the edit: no battle has been fought meanwhile.
            QVERIFY(w.Form().Control.Running);
            QCOMPARE(w.Find<QProgressBar>("ProgressBar1")->value(), progress);
            ClickRanks(w, true, {7, 6, 5, 4, 3, 2, 1, 0});
            held = true;
        });
        Click(w, "EditAttKillOrderButton");
        // The edit's request has only marked the run to start over.
        QCOMPARE(counter.Runs, runsBefore + 1);
        QVERIFY(w.Form().Control.StopRequested);
    });
    w.Spin("DefArmSpinEdit")->setValue(1);

    QVERIFY(held);
    QCOMPARE(counter.Runs, runsBefore + 2);  // started over once the edit had ended
    QCOMPARE(RankCaptions(w, true), (QStringList{"8", "7", "6", "5", "4", "3", "2", "1"}));
    QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 300"));
    QVERIFY(!w.Form().Control.Running);
}

void KillOrderTest::editDuringManualRunHoldsItAndRunGoesOn()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    w.UseManualRolling();
    LandBattle(w);
    w.Spin("RunsSpinEdit")->setValue(500);

    bool held = false;
    Soon(w, [&] {
        Soon(w, [&] {
            QVERIFY(w.Form().Control.Running);
            ClickRanks(w, false, {8, 7, 6, 5, 4, 3, 2, 1, 0});
            held = true;
        });
        Click(w, "EditDefKillOrderButton");
        QVERIFY(!w.Form().Control.StopRequested);
    });
    Click(w, "GoButton");
    QVERIFY(held);
    QCOMPARE(counter.Runs, 1);
    QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 500"));
    QCOMPARE(RankCaptions(w, false), (QStringList{"9", "8", "7", "6", "5", "4", "3", "2", "1"}));
}

void KillOrderTest::advancedKillOrderOnlyWarns()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    LandBattle(w);
    const int runsBefore = counter.Runs;
    w.ClearMessages();
    Click(w, "AdvancedKillOrderButton");
    QCOMPARE(w.Messages().size(), size_t(1));
    QVERIFY(w.Messages()[0].Warning);
    QCOMPARE(w.Messages()[0].Text, QString("Feature Coming Soon... Not implemented yet."));
    QCOMPARE(counter.Runs, runsBefore);
    QCOMPARE(RankCaptions(w, true), DefaultRankCaptions(true));
    QCOMPARE(RankCaptions(w, false), DefaultRankCaptions(false));
}

// "Exit" during an edit ends the wait at once. The abandoned side gets back
// the complete order it had, so nothing can ever read empty ranks.
void KillOrderTest::closingDuringEditEndsWaitWithCompleteOrder()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 20);
    LandBattle(w);
    const int runsBefore = counter.Runs;
    Soon(w, [&] {
        ClickRanks(w, true, {aBB, aBMR});
        w.Choose("Exit1");
    });
    Click(w, "EditAttKillOrderButton");
    QCOMPARE(RankCaptions(w, true), DefaultRankCaptions(true));
    QVERIFY(!w.Form().KillOrderIncomplete());
    QCOMPARE(counter.Runs, runsBefore);
}

QTEST_MAIN(KillOrderTest)
#include "KillOrderTest.moc"
