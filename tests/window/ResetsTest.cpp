// The three resets: what each one clears through the controls' own handlers,
// what it leaves alone, and that it starts no run of its own while a run
// started before it follows the cleared inputs.
#include <QTest>

#include "tests/window/WindowTestSupport.h"

namespace {

void Press(TWindowFixture& w, const char* name) { w.Button(name)->click(); }

// Changes every input a full reset puts back.
void ChangeEverything(TWindowFixture& w)
{
    w.Spin("AttInfSpinEdit")->setValue(3);
    w.Spin("AttFtrSpinEdit")->setValue(2);
    w.Spin("AttBBSpinEdit")->setValue(1);
    w.Check("TakeWithCheckBox")->setChecked(true);
    w.Check("AttIndTechCheckBox")->setChecked(true);
    w.Check("AttWithSubsAirOnlyCheckBox")->setChecked(true);
    w.Check("SaveAirCheckBox")->setChecked(true);
    w.Spin("DefArmSpinEdit")->setValue(2);
    w.Spin("DefJFtrSpinEdit")->setValue(1);
    w.Check("AACheckBox")->setChecked(true);
    w.Check("DefIndTechCheckBox")->setChecked(true);
    EditKillOrder(w, true, {aSUB, aTRN, aAC, aBB, aBMR, aFTR, aARM, aINF});
    EditKillOrder(w, false, {dSUB, dTRN, dAC, dBB, dBMR, dJFTR, dFTR, dARM, dINF});
    Press(w, "WithdrawalButton");
    w.Spin("AttWithSpinEdit")->setValue(3);
    w.Spin("DefWithSpinEdit")->setValue(2);
    w.Spin("DefWithLessSpinEdit")->setValue(1);
    w.Check("AllRoundsCheckBox")->setChecked(false);
    w.Spin("RoundsSpinEdit")->setValue(5);
    Press(w, "AttBmrButton");
    Press(w, "AttSubButton");
    Press(w, "AttBBButton");
}

}  // namespace

class ResetsTest : public QObject {
    Q_OBJECT

private slots:
    void attackerResetClearsItsSide();
    void defenderResetClearsItsSide();
    void sideResetsKeepTwoHitBattleships();
    void defenderResetClearsSubRetreatsThroughTheirRule();
    void fullResetGivesStartUpInputs();
    void resetsStartNoRunWhileIdle();
    void resetDuringAutomaticRunStartsItOverOnClearedInputs();
    void fullResetEndsKillOrderEdit();
};

void ResetsTest::attackerResetClearsItsSide()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    w.UseManualRolling();
    ChangeEverything(w);
    const QStringList defRanks = RankCaptions(w, false);
    Press(w, "ResetAttUnitsButton");

    for (const char* name : AttCountNames) QCOMPARE(w.Spin(name)->value(), 0);
    QCOMPARE(w.Button("AttBmrButton")->text(), QString("B&omber"));
    QCOMPARE(w.Button("AttSubButton")->text(), QString("&Submarine"));
    QCOMPARE(w.Edit("AttSubEdit")->text(), QString("2"));
    QVERIFY(!w.Check("TakeWithCheckBox")->isChecked());
    QVERIFY(!w.Check("AttIndTechCheckBox")->isChecked());
    QCOMPARE(w.Edit("IPCValAttInfEdit")->text(), QString("3"));  // list prices, through the box's handler
    // Save Air goes through its rule: no ground units left.
    QVERIFY(!w.Check("SaveAirCheckBox")->isChecked());
    QVERIFY(!w.Check("SaveAirCheckBox")->isEnabled());
    // Left alone: ranks, the attacker's sub option, withdrawal, the other side.
    QCOMPARE(RankCaptions(w, true), (QStringList{"8", "7", "6", "5", "4", "3", "2", "1"}));
    QCOMPARE(RankCaptions(w, false), defRanks);
    QVERIFY(w.Check("AttWithSubsAirOnlyCheckBox")->isChecked());
    QCOMPARE(w.Button("WithdrawalButton")->text(), QString("Disabl&e"));
    QCOMPARE(w.Spin("DefArmSpinEdit")->value(), 2);
    QVERIFY(w.Check("AACheckBox")->isChecked());
    QVERIFY(!w.Form().Control.SuppressRuns);
}

void ResetsTest::defenderResetClearsItsSide()
{
    TWindowFixture w;
    w.UseManualRolling();
    // The AA gun is the only land input: the sea-only counts are disabled.
    w.Check("AACheckBox")->setChecked(true);
    w.Spin("DefFtrSpinEdit")->setValue(2);
    w.Check("DefIndTechCheckBox")->setChecked(true);
    w.Spin("AttFtrSpinEdit")->setValue(1);
    QVERIFY(!w.Spin("AttACSpinEdit")->isEnabled());

    Press(w, "ResetDefUnitsButton");
    for (const char* name : DefCountNames) QCOMPARE(w.Spin(name)->value(), 0);
    QVERIFY(!w.Check("AACheckBox")->isChecked());
    QVERIFY(!w.Check("DefIndTechCheckBox")->isChecked());
    QCOMPARE(w.Edit("IPCValDefJFtrEdit")->text(), QString("12"));
    for (const char* name : {"AttACSpinEdit", "AttTrnSpinEdit", "AttSubSpinEdit", "DefBBSpinEdit", "DefACSpinEdit",
                             "DefTrnSpinEdit", "DefSubSpinEdit"})
        QVERIFY(w.Spin(name)->isEnabled());
    QCOMPARE(w.Spin("AttFtrSpinEdit")->value(), 1);
    QVERIFY(!w.Form().Control.SuppressRuns);
}

void ResetsTest::sideResetsKeepTwoHitBattleships()
{
    TWindowFixture w;
    w.UseManualRolling();
    Press(w, "DefBBButton");
    Press(w, "ResetAttUnitsButton");
    Press(w, "ResetDefUnitsButton");
    QCOMPARE(w.Button("AttBBButton")->text(), QString("2 Hit &BB"));
    QCOMPARE(w.Button("DefBBButton")->text(), QString("2 Hit &BB"));
    Press(w, "ResetAllSettingsButton");
    QCOMPARE(w.Button("AttBBButton")->text(), QString("&Battleship"));
    QCOMPARE(w.Button("DefBBButton")->text(), QString("&Battleship"));
}

void ResetsTest::defenderResetClearsSubRetreatsThroughTheirRule()
{
    TWindowFixture w;
    w.UseManualRolling();
    w.Spin("DefSubSpinEdit")->setValue(2);
    w.Check("DefWithSubs1stRndCheckBox")->setChecked(true);
    w.Check("DefWithSubsAirOnlyCheckBox")->setChecked(true);
    Press(w, "ResetDefUnitsButton");
    for (const char* name : {"DefWithSubs1stRndCheckBox", "DefWithSubsAirOnlyCheckBox"}) {
        QVERIFY(!w.Check(name)->isChecked());
        QVERIFY(!w.Check(name)->isEnabled());
    }
}

// After "Reset ALL Units / Settings" the inputs are those of a window just
// opened: default ranks, withdrawal off with greyed zero thresholds, all
// rounds, list prices, plain variants.
void ResetsTest::fullResetGivesStartUpInputs()
{
    QStringList startUp;
    {
        TWindowFixture fresh;
        startUp = WindowContents(fresh);
    }
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    w.UseManualRolling();
    ChangeEverything(w);
    QVERIFY(WindowContents(w) != startUp);
    Press(w, "ResetAllSettingsButton");
    QCOMPARE(WindowContents(w), startUp);
    QCOMPARE(RankCaptions(w, true), (QStringList{"1", "2", "6", "7", "8", "5", "3", "4"}));
    QCOMPARE(RankCaptions(w, false), (QStringList{"1", "2", "6", "7", "5", "9", "8", "3", "4"}));
    QVERIFY(w.Action("ManualRolling")->isChecked());  // no reset touches the rolling mode
}

void ResetsTest::resetsStartNoRunWhileIdle()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 5);
    for (const char* reset : {"ResetAttUnitsButton", "ResetDefUnitsButton", "ResetAllSettingsButton"}) {
        w.Spin("AttInfSpinEdit")->setValue(2);
        w.Spin("DefInfSpinEdit")->setValue(1);
        w.Check("AACheckBox")->setChecked(true);
        const int runs = counter.Runs;
        const QString shown = w.Edit("ProbAttWins1")->text();
        Press(w, reset);
        QVERIFY2(counter.Runs == runs, reset);
        QCOMPARE(w.Edit("ProbAttWins1")->text(), shown);  // the previous figures stay
        QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 5"));
        QVERIFY(!w.Form().Control.SuppressRuns);
    }
}

// Clicked while an automatic run yields, a reset only marks the run; the run
// starts over after the reset, on the cleared inputs.
void ResetsTest::resetDuringAutomaticRunStartsItOverOnClearedInputs()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 300);
    w.Spin("AttInfSpinEdit")->setValue(3);
    w.Spin("DefInfSpinEdit")->setValue(2);
    int runs = counter.Runs;
    bool reset = false;
    Soon(w, [&] {
        QVERIFY(w.Form().Control.Running);
        Press(w, "ResetAttUnitsButton");
        QVERIFY(w.Form().Control.StopRequested);
        QVERIFY(!w.Form().Control.SuppressRuns);
        reset = true;
    });
    w.Spin("DefArmSpinEdit")->setValue(1);
    QVERIFY(reset);
    QCOMPARE(counter.Runs, runs + 2);
    QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 300"));
    QCOMPARE(w.Edit("ProbDefWins1")->text(), QString("100"));  // no attacker left
    QVERIFY(!w.Form().Control.Running);

    // With nothing left on either side the restart ends at once: the stopped
    // run's figures stay on display.
    w.Spin("AttArmSpinEdit")->setValue(1);
    runs = counter.Runs;
    Soon(w, [&] { Press(w, "ResetAllSettingsButton"); });
    w.Spin("AttArmSpinEdit")->setValue(2);
    QCOMPARE(counter.Runs, runs + 2);
    QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 1"));
    QVERIFY(!w.Form().Control.Running);
}

// Writing all default ranks ends an edit under way; the edit then makes its
// own request, after the reset.
void ResetsTest::fullResetEndsKillOrderEdit()
{
    TWindowFixture w;
    TEditWatchdog watchdog(w);
    TRunCounter counter(w.Form(), 5);
    w.Spin("AttInfSpinEdit")->setValue(1);
    const int runs = counter.Runs;
    Soon(w, [&] {
        w.Button("DefBBHitOrderButton")->click();
        Press(w, "ResetAllSettingsButton");
        QCOMPARE(counter.Runs, runs);
    });
    Press(w, "EditDefKillOrderButton");
    QCOMPARE(RankCaptions(w, false), DefaultRankCaptions(false));
    QCOMPARE(counter.Runs, runs + 1);  // on the reset inputs: nothing to fight
    QVERIFY(!w.Form().KillOrderIncomplete());
}

QTEST_MAIN(ResetsTest)
#include "ResetsTest.moc"
