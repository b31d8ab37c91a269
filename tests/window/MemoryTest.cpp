// Battle memory: what a slot keeps and what Recall writes back, which Recall
// buttons are available, and a Mem or Recall during a kill-order edit.
#include <QTest>

#include "tests/window/WindowTestSupport.h"

namespace {

// A land battle that uses every setting a slot keeps.
void LandSetup(TWindowFixture& w)
{
    w.Spin("AttInfSpinEdit")->setValue(2);
    w.Spin("AttArmSpinEdit")->setValue(1);
    w.Spin("AttFtrSpinEdit")->setValue(3);
    w.Spin("AttBmrSpinEdit")->setValue(1);
    w.Spin("AttBBSpinEdit")->setValue(1);
    w.Check("TakeWithCheckBox")->setChecked(true);
    w.Check("AttIndTechCheckBox")->setChecked(true);
    w.Check("AttWithSubsAirOnlyCheckBox")->setChecked(true);
    w.Check("SaveAirCheckBox")->setChecked(true);
    EditKillOrder(w, true, {aBB, aBMR, aFTR, aSUB, aTRN, aAC, aARM, aINF});
    w.Spin("DefInfSpinEdit")->setValue(3);
    w.Spin("DefJFtrSpinEdit")->setValue(2);
    w.Spin("DefBmrSpinEdit")->setValue(1);
    w.Check("AACheckBox")->setChecked(true);
    w.Check("DefIndTechCheckBox")->setChecked(true);
    EditKillOrder(w, false, {dJFTR, dINF, dARM, dFTR, dBMR, dBB, dAC, dTRN, dSUB});
    w.Button("WithdrawalButton")->click();
    w.Spin("AttWithSpinEdit")->setValue(2);
    w.Spin("DefWithSpinEdit")->setValue(3);
    w.Spin("DefWithLessSpinEdit")->setValue(1);
    w.Check("AllRoundsCheckBox")->setChecked(false);
    w.Spin("RoundsSpinEdit")->setValue(7);
    w.Button("AttBmrButton")->click();  // Hvy B&omber
    w.Button("AttSubButton")->click();  // &Super Sub
    w.Button("DefBBButton")->click();   // 2 Hit &BB on both
}

// A sea battle with the defender's submarine options on.
void SeaSetup(TWindowFixture& w)
{
    w.Spin("AttSubSpinEdit")->setValue(2);
    w.Spin("AttACSpinEdit")->setValue(1);
    w.Spin("AttFtrSpinEdit")->setValue(2);
    w.Spin("DefSubSpinEdit")->setValue(1);
    w.Spin("DefTrnSpinEdit")->setValue(1);
    w.Check("DefWithSubs1stRndCheckBox")->setChecked(true);
    w.Check("DefWithSubsAirOnlyCheckBox")->setChecked(true);
}

}  // namespace

class MemoryTest : public QObject {
    Q_OBJECT

private slots:
    void recallButtonsFollowTheirMem();
    void recallBringsBackLandAndSeaSetups();
    void superSubComesBackBothWays();
    void recallOfCurrentContentsStartsNoRun();
    void recallDifferingInCaptionsOnlyStartsNoRun();
    void secondMemReplacesFirst();
    void memDuringEditKeepsCompleteOrder();
    void recallEndsEditUnderWay();
};

void MemoryTest::recallButtonsFollowTheirMem()
{
    TWindowFixture w;
    for (const char* name : {"Recall1Button", "Recall2Button", "Recall3Button"}) QVERIFY(!w.Button(name)->isEnabled());
    w.Button("Mem2Button")->click();
    QVERIFY(!w.Button("Recall1Button")->isEnabled());
    QVERIFY(w.Button("Recall2Button")->isEnabled());
    QVERIFY(!w.Button("Recall3Button")->isEnabled());
    w.Button("ResetAllSettingsButton")->click();  // no reset touches the slots
    QVERIFY(w.Button("Recall2Button")->isEnabled());
}

void MemoryTest::recallBringsBackLandAndSeaSetups()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    w.UseManualRolling();
    LandSetup(w);
    const QStringList land = WindowContents(w);
    QVERIFY(land.contains("IPCValAttInfEdit=2"));
    QVERIFY(land.contains("IPCValDefJFtrEdit=11"));
    QVERIFY(land.contains("WithdrawalButton=Disabl&e"));
    w.Button("Mem1Button")->click();

    w.Button("ResetAllSettingsButton")->click();
    SeaSetup(w);
    const QStringList sea = WindowContents(w);
    w.Button("Mem2Button")->click();

    w.Button("Recall1Button")->click();
    QCOMPARE(WindowContents(w), land);
    w.Button("Recall2Button")->click();
    QCOMPARE(WindowContents(w), sea);
    QVERIFY(sea.contains("IPCValAttInfEdit=3"));
    w.Button("Recall1Button")->click();
    QCOMPARE(WindowContents(w), land);
}

void MemoryTest::superSubComesBackBothWays()
{
    TWindowFixture w;
    w.UseManualRolling();
    w.Button("AttSubButton")->click();
    QCOMPARE(w.Button("AttSubButton")->text(), QString("&Super Sub"));
    w.Button("Mem1Button")->click();
    w.Button("AttSubButton")->click();
    w.Button("Mem2Button")->click();
    QCOMPARE(w.Edit("AttSubEdit")->text(), QString("2"));

    w.Button("Recall1Button")->click();
    QCOMPARE(w.Button("AttSubButton")->text(), QString("&Super Sub"));
    QCOMPARE(w.Edit("AttSubEdit")->text(), QString("3"));
    w.Button("Recall2Button")->click();
    QCOMPARE(w.Button("AttSubButton")->text(), QString("&Submarine"));
    QCOMPARE(w.Edit("AttSubEdit")->text(), QString("2"));
}

void MemoryTest::recallOfCurrentContentsStartsNoRun()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 5);
    LandSetup(w);
    w.Button("Mem3Button")->click();
    const int runs = counter.Runs;
    const QString shown = w.Label("RunsLabel")->text();
    w.Button("Recall3Button")->click();
    QCOMPARE(counter.Runs, runs);
    QCOMPARE(w.Label("RunsLabel")->text(), shown);
}

void MemoryTest::recallDifferingInCaptionsOnlyStartsNoRun()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 5);
    w.Spin("AttArmSpinEdit")->setValue(2);
    w.Spin("DefInfSpinEdit")->setValue(2);
    w.Button("Mem1Button")->click();
    const QStringList stored = WindowContents(w);

    EditKillOrder(w, false, {dSUB, dTRN, dAC, dBB, dBMR, dJFTR, dFTR, dARM, dINF});
    w.Button("AttBmrButton")->click();
    w.Button("AttBBButton")->click();
    QVERIFY(WindowContents(w) != stored);
    const int runs = counter.Runs;
    w.Button("Recall1Button")->click();
    QCOMPARE(WindowContents(w), stored);
    QCOMPARE(counter.Runs, runs);
}

void MemoryTest::secondMemReplacesFirst()
{
    TWindowFixture w;
    w.UseManualRolling();
    w.Spin("AttInfSpinEdit")->setValue(4);
    w.Button("Mem1Button")->click();
    w.Spin("AttInfSpinEdit")->setValue(6);
    w.Spin("DefArmSpinEdit")->setValue(1);
    w.Button("Mem1Button")->click();
    const QStringList second = WindowContents(w);
    w.Button("ResetAllSettingsButton")->click();
    w.Button("Recall1Button")->click();
    QCOMPARE(WindowContents(w), second);
}

// A slot never holds an incomplete order: while a side is being edited, Mem
// keeps the order that side had when the edit began.
void MemoryTest::memDuringEditKeepsCompleteOrder()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    w.UseManualRolling();
    EditKillOrder(w, false, {dSUB, dTRN, dAC, dBB, dBMR, dJFTR, dFTR, dARM, dINF});
    const QStringList defender = RankCaptions(w, false);
    const QStringList attacker = RankCaptions(w, true);

    Soon(w, [&] {
        w.Button("DefInfHitOrderButton")->click();
        w.Button("DefBBHitOrderButton")->click();
        w.Button("Mem1Button")->click();
        QCOMPARE(w.Form().BattleMemory[0].DefOrderCaption[dINF], defender[dINF]);
        for (const char* name : DefRankNames) w.Button(name)->click();
    });
    w.Button("EditDefKillOrderButton")->click();
    QCOMPARE(RankCaptions(w, false), (QStringList{"1", "3", "4", "5", "6", "2", "7", "8", "9"}));

    w.Button("Recall1Button")->click();
    QCOMPARE(RankCaptions(w, false), defender);
    QCOMPARE(RankCaptions(w, true), attacker);
    QVERIFY(!w.Form().KillOrderIncomplete());
}

// Recall writes every rank of both sides, which ends an edit under way; the
// edit then makes its request, so automatic rolling runs on the recalled setup.
void MemoryTest::recallEndsEditUnderWay()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 5);
    w.Spin("AttInfSpinEdit")->setValue(1);
    w.Spin("DefInfSpinEdit")->setValue(1);
    w.Button("Mem2Button")->click();
    w.Spin("AttInfSpinEdit")->setValue(3);
    const int runs = counter.Runs;

    Soon(w, [&] {
        w.Button("AttTrnHitOrderButton")->click();
        w.Button("Recall2Button")->click();  // its count change asks for a run: held by the edit
        QCOMPARE(counter.Runs, runs);
    });
    w.Button("EditAttKillOrderButton")->click();
    QCOMPARE(RankCaptions(w, true), DefaultRankCaptions(true));
    QCOMPARE(w.Spin("AttInfSpinEdit")->value(), 1);
    QCOMPARE(counter.Runs, runs + 1);
}

QTEST_MAIN(MemoryTest)
#include "MemoryTest.moc"
