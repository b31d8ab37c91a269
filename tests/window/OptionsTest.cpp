// Battle options: the withdrawal group and its thresholds, the AA gun and
// "Take w/ ground" as land inputs, the not-implemented AA options, and which
// options ask for a run.
#include <QTest>

#include "tests/window/WindowTestSupport.h"

namespace {

const char* const SeaOnlyCounts[7] = {"AttACSpinEdit", "AttTrnSpinEdit", "AttSubSpinEdit", "DefBBSpinEdit",
                                      "DefACSpinEdit", "DefTrnSpinEdit", "DefSubSpinEdit"};

uint32_t PaintedColour(bool entry)
{
    QSpinBox reference;
    TForm1::PaintField(&reference, entry);
    return TForm1::FieldColour(&reference);
}

// Replaces the field's text by typing, as the player does.
void Type(QSpinBox* field, const QString& text)
{
    field->selectAll();
    QTest::keyClicks(field, text);
}

}  // namespace

class OptionsTest : public QObject {
    Q_OBJECT

private slots:
    void thresholdIsLimitedToItsSideTotal();
    void defenderThresholdsCountJetFighters();
    void limitAppliesOnlyWhenThresholdChanges();
    void clampedThresholdAsksForOneRun();
    void withdrawalSwitchGreysAndZeroes();
    void aaGunAndTakeWithMakeLandBattle();
    void advancedAAOptionsOnlyWarn();
    void optionsAskForRunsInAutomaticRollingOnly();
};

void OptionsTest::thresholdIsLimitedToItsSideTotal()
{
    TWindowFixture w;
    w.UseManualRolling();
    w.Spin("AttInfSpinEdit")->setValue(2);
    w.Spin("AttFtrSpinEdit")->setValue(3);
    w.Button("WithdrawalButton")->click();

    QSpinBox* att = w.Spin("AttWithSpinEdit");
    Type(att, "9");
    QCOMPARE(att->value(), 5);
    QCOMPARE(att->text(), QString("5"));
    Type(att, "4");
    QCOMPARE(att->value(), 4);  // within the total: kept
    att->setValue(999);
    QCOMPARE(att->value(), 5);
}

void OptionsTest::defenderThresholdsCountJetFighters()
{
    TWindowFixture w;
    w.UseManualRolling();
    w.Spin("DefInfSpinEdit")->setValue(1);
    w.Spin("DefJFtrSpinEdit")->setValue(2);
    w.Spin("AttInfSpinEdit")->setValue(7);  // the other side's units do not count
    w.Button("WithdrawalButton")->click();

    w.Spin("DefWithSpinEdit")->setValue(7);
    w.Spin("DefWithLessSpinEdit")->setValue(4);
    QCOMPARE(w.Spin("DefWithSpinEdit")->value(), 3);
    QCOMPARE(w.Spin("DefWithLessSpinEdit")->value(), 3);
    w.Spin("AttWithSpinEdit")->setValue(8);
    QCOMPARE(w.Spin("AttWithSpinEdit")->value(), 7);
}

void OptionsTest::limitAppliesOnlyWhenThresholdChanges()
{
    TWindowFixture w;
    w.UseManualRolling();
    w.Spin("AttInfSpinEdit")->setValue(5);
    w.Button("WithdrawalButton")->click();
    w.Spin("AttWithSpinEdit")->setValue(5);
    w.Spin("AttInfSpinEdit")->setValue(1);
    QCOMPARE(w.Spin("AttWithSpinEdit")->value(), 5);
    // With no units at all every threshold is limited to 0.
    w.Spin("AttInfSpinEdit")->setValue(0);
    w.Spin("DefWithSpinEdit")->setValue(3);
    QCOMPARE(w.Spin("DefWithSpinEdit")->value(), 0);
}

// The lowered value runs the threshold's handler once more, and that run
// makes the request: one entry, one run.
void OptionsTest::clampedThresholdAsksForOneRun()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 10);
    w.Spin("AttInfSpinEdit")->setValue(2);
    w.Spin("DefInfSpinEdit")->setValue(2);
    w.Button("WithdrawalButton")->click();
    int runs = counter.Runs;
    w.Spin("AttWithSpinEdit")->setValue(9);
    QCOMPARE(w.Spin("AttWithSpinEdit")->value(), 2);
    QCOMPARE(counter.Runs, runs + 1);
    runs = counter.Runs;
    w.Spin("AttWithSpinEdit")->setValue(1);
    QCOMPARE(counter.Runs, runs + 1);
}

void OptionsTest::withdrawalSwitchGreysAndZeroes()
{
    TWindowFixture w;
    w.UseManualRolling();
    QPushButton* button = w.Button("WithdrawalButton");
    QCOMPARE(button->text(), QString("&Enable"));
    for (const char* name : ThresholdNames) {
        QVERIFY(!w.Spin(name)->isEnabled());
        QCOMPARE(TForm1::FieldColour(w.Spin(name)), PaintedColour(false));
    }

    w.Spin("AttInfSpinEdit")->setValue(4);
    w.Spin("DefInfSpinEdit")->setValue(4);
    button->click();
    QCOMPARE(button->text(), QString("Disabl&e"));
    const int values[3] = {3, 2, 1};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(w.Spin(ThresholdNames[i])->isEnabled());
        QCOMPARE(TForm1::FieldColour(w.Spin(ThresholdNames[i])), PaintedColour(true));
        w.Spin(ThresholdNames[i])->setValue(values[i]);
    }

    button->click();
    QCOMPARE(button->text(), QString("&Enable"));
    for (const char* name : ThresholdNames) {
        QVERIFY(!w.Spin(name)->isEnabled());
        QCOMPARE(TForm1::FieldColour(w.Spin(name)), PaintedColour(false));
        QCOMPARE(w.Spin(name)->value(), 0);
    }

    button->click();
    QCOMPARE(button->text(), QString("Disabl&e"));
    for (const char* name : ThresholdNames) {
        QVERIFY(w.Spin(name)->isEnabled());
        QCOMPARE(TForm1::FieldColour(w.Spin(name)), PaintedColour(true));
        QCOMPARE(w.Spin(name)->value(), 0);
    }
}

void OptionsTest::aaGunAndTakeWithMakeLandBattle()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 10);
    const int runs = counter.Runs;
    w.Check("AACheckBox")->setChecked(true);
    for (const char* name : SeaOnlyCounts) {
        QVERIFY(!w.Spin(name)->isEnabled());
        QCOMPARE(TForm1::FieldColour(w.Spin(name)), PaintedColour(false));
    }
    QVERIFY(!w.Check("TakeWithCheckBox")->isEnabled());  // only the attacker's ground units enable it
    QCOMPARE(counter.Runs, runs + 1);                     // asked for, with nothing to fight

    w.Check("AACheckBox")->setChecked(false);
    for (const char* name : SeaOnlyCounts) QVERIFY(w.Spin(name)->isEnabled());

    // A checked "Take w/ ground" is a land input of its own.
    w.Spin("AttArmSpinEdit")->setValue(1);
    w.Check("TakeWithCheckBox")->setChecked(true);
    w.Spin("AttArmSpinEdit")->setValue(0);
    for (const char* name : SeaOnlyCounts) QVERIFY(!w.Spin(name)->isEnabled());
    QVERIFY(w.Check("TakeWithCheckBox")->isEnabled());
    w.Check("TakeWithCheckBox")->setChecked(false);
    for (const char* name : SeaOnlyCounts) QVERIFY(w.Spin(name)->isEnabled());
}

void OptionsTest::advancedAAOptionsOnlyWarn()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 10);
    w.Spin("AttInfSpinEdit")->setValue(1);
    w.Spin("DefInfSpinEdit")->setValue(1);
    for (bool manual : {false, true}) {
        if (manual) w.UseManualRolling();
        const int runs = counter.Runs;
        w.ClearMessages();
        w.Button("AdvAAButton")->click();
        QCOMPARE(w.Messages().size(), size_t(1));
        QVERIFY(w.Messages()[0].Warning);
        QCOMPARE(w.Messages()[0].Text, QString("Feature Coming Soon... Not implemented yet."));
        QCOMPARE(counter.Runs, runs);
        QVERIFY(!w.Check("AACheckBox")->isChecked());
    }
}

void OptionsTest::optionsAskForRunsInAutomaticRollingOnly()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 10);
    w.Spin("AttInfSpinEdit")->setValue(1);
    w.Spin("AttFtrSpinEdit")->setValue(1);
    w.Spin("DefInfSpinEdit")->setValue(2);

    const char* const boxes[] = {"AACheckBox", "TakeWithCheckBox", "SaveAirCheckBox", "AttWithSubsAirOnlyCheckBox",
                                 "DefWithSubs1stRndCheckBox", "DefWithSubsAirOnlyCheckBox"};
    for (bool manual : {false, true}) {
        if (manual) w.UseManualRolling();
        const int expected = manual ? 0 : 1;
        for (const char* name : boxes) {
            const int runs = counter.Runs;
            w.Check(name)->setChecked(!w.Check(name)->isChecked());
            QVERIFY2(counter.Runs == runs + expected, name);
        }
        const int runs = counter.Runs;
        w.Button("WithdrawalButton")->click();
        QCOMPARE(counter.Runs, runs + expected);
    }
}

QTEST_MAIN(OptionsTest)
#include "OptionsTest.moc"
