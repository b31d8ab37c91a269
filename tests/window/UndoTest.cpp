// Undo and redo over every kind of change of the battle: each change is one
// step, each undo gives back the battle before it and each redo the battle
// after it, with one run each; what changes no battle is no step.
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <vector>

#include "BattleFiles/BattleFiles.h"
#include "Dizorivurad/BattleHistory.h"
#include "tests/window/WindowTestSupport.h"

class UndoTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TWindowFixture> Fixture;
    TWindowFixture& F() { return *Fixture; }

private slots:
    void init() { Fixture = std::make_unique<TWindowFixture>(); }
    void cleanup() { Fixture.reset(); }

    void everyKindOfStepUndoneAndRedone();
    void killOrderEditIsOneStepWhenComplete();
    void resetAtSeaTakenBackWithCtrlZ();
};

void UndoTest::everyKindOfStepUndoneAndRedone()
{
    TForm1& form = F().Form();
    TRunCounter counter(form, 40);
    QUndoStack& steps = form.UndoHistory().Steps();
    QAction* undo = F().Action("Undo1");
    QAction* redo = F().Action("Redo1");
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("saved.vbattle"));

    // Each change one step, named as the Edit menu names it; none: no step.
    struct TStep {
        const char* Name;
        std::function<void()> Change;
    };
    const int32_t planned[DefKinds] = {2, 1, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<TStep> changes = {
        {"ATT Infantry", [&] { F().Spin("AttInfSpinEdit")->setValue(3); }},
        {"DEF Infantry", [&] { F().Spin("DefInfSpinEdit")->setValue(4); }},
        {"AA Gun", [&] { F().Check("AACheckBox")->click(); }},
        {"Withdrawal", [&] { F().Button("WithdrawalButton")->click(); }},
        {"ATT Units <=", [&] { F().Spin("AttWithSpinEdit")->setValue(2); }},
        {"ATT Kill Order", [&] { EditKillOrder(F(), true, {aARM, aINF, aFTR, aSUB, aTRN, aAC, aBMR, aBB}); }},
        {"Hvy Bomber", [&] { F().Button("AttBmrButton")->click(); }},
        {"Low Luck Mode", [&] { F().Choose("LowLuckMode"); }},
        {"Calculate All Rounds", [&] { F().Check("AllRoundsCheckBox")->click(); }},
        {"Round Limit", [&] { F().Spin("RoundsSpinEdit")->setValue(4); }},
        {nullptr,
         [&] {
             F().Button("Mem1Button")->click();
             QVERIFY(form.Files->Save(file));
             form.GoButtonClick();
             F().Button("EnlargeButton")->menu()->actions().front()->trigger();
         }},
        {"Flip-Flop", [&] { F().Button("FlipFlopButton")->click(); }},
        {"Reset ATT Units", [&] { F().Button("ResetAttUnitsButton")->click(); }},
        {"Recall 1", [&] { F().Button("Recall1Button")->click(); }},
        {nullptr, [&] { F().Button("Recall1Button")->click(); }},  // the same battle again
        {"", [&] { static_cast<TBattleHost&>(form).SetKillOrder(false, planned); }},
        {"Reset ALL", [&] { F().Button("ResetAllSettingsButton")->click(); }},
        {"", [&] { QVERIFY(form.Files->Open(file)); }},
        {"Reset ALL", [&] { F().Button("ResetAllSettingsButton")->click(); }},
        {"ATT Submarine", [&] { F().Spin("AttSubSpinEdit")->setValue(2); }},
        {"2 Hit BB", [&] { F().Button("DefBBButton")->click(); }},
        {"Super Sub", [&] { F().Button("AttSubButton")->click(); }},
    };

    std::vector<TBattleSetupRec> battles{form.KeptBattle()};
    for (const TStep& step : changes) {
        const int before = steps.count();
        step.Change();
        if (QTest::currentTestFailed()) return;
        if (!step.Name) {
            QCOMPARE(steps.count(), before);
            QVERIFY(form.KeptBattle() == battles.back());
            continue;
        }
        QCOMPARE(steps.count(), before + 1);
        QVERIFY2(form.KeptBattle() != battles.back(), step.Name);
        if (*step.Name) QCOMPARE(steps.undoText(), QString::fromUtf8(step.Name));
        battles.push_back(form.KeptBattle());
    }
    QCOMPARE(undo->text(), QStringLiteral("&Undo Super Sub"));
    QVERIFY(undo->isEnabled());
    QVERIFY(!redo->isEnabled());

    // Each undo: the battle before the step, and one run.
    for (int i = steps.count(); i > 0; --i) {
        const int runs = counter.Runs;
        undo->trigger();
        QCOMPARE(counter.Runs, runs + 1);
        QVERIFY2(form.KeptBattle() == battles[size_t(i - 1)], qPrintable(steps.redoText()));
    }
    QVERIFY(!undo->isEnabled());
    QVERIFY(redo->isEnabled());
    QCOMPARE(redo->text(), QStringLiteral("&Redo ATT Infantry"));

    // Each redo: the battle after the step, and one run.
    for (int i = 1; i <= steps.count(); ++i) {
        const int runs = counter.Runs;
        redo->trigger();
        QCOMPARE(counter.Runs, runs + 1);
        QVERIFY2(form.KeptBattle() == battles[size_t(i)], qPrintable(steps.undoText()));
    }
    QVERIFY(!redo->isEnabled());
    QCOMPARE(steps.count(), int(battles.size() - 1));

    if (const QString dir = qEnvironmentVariable("VARNHOLT_SHOT_DIR"); !dir.isEmpty()) {
        auto* edit = F().Find<QMenu>("Edit1");
        edit->popup(form.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(edit->isVisible());
        QVERIFY(edit->grab().save(QDir(dir).filePath(QStringLiteral("EditMenu.png"))));
        edit->hide();
    }
}

// The battle as each undo leaves it is compared with the battle before the
// step; a kill-order edit under way is no step, its end is one.
void UndoTest::killOrderEditIsOneStepWhenComplete()
{
    TForm1& form = F().Form();
    TRunCounter counter(form, 40);
    QUndoStack& steps = form.UndoHistory().Steps();
    F().Spin("AttInfSpinEdit")->setValue(2);
    const TBattleSetupRec before = form.KeptBattle();
    QCOMPARE(steps.count(), 1);
    int duringEdit = -1;
    Soon(F(), [&] {
        F().Button(AttRankNames[aARM])->click();
        F().Button(AttRankNames[aINF])->click();
        F().Spin("DefArmSpinEdit")->setValue(3);  // a step of its own, during the edit
        duringEdit = steps.count();
        for (int slot : {aFTR, aSUB, aTRN, aAC, aBMR, aBB}) F().Button(AttRankNames[slot])->click();
    });
    F().Button("EditAttKillOrderButton")->click();
    QCOMPARE(duringEdit, 2);
    QCOMPARE(steps.count(), 3);
    QCOMPARE(steps.undoText(), QStringLiteral("ATT Kill Order"));
    const int runs = counter.Runs;
    F().Action("Undo1")->trigger();
    QCOMPARE(counter.Runs, runs + 1);
    TBattleSetupRec expected = before;
    expected.DefCount[dARM] = 3;
    QVERIFY(form.KeptBattle() == expected);
    F().Action("Undo1")->trigger();
    QVERIFY(form.KeptBattle() == before);
}

// At sea "&Take w/ ground" is disabled and Alt+T reaches "Rese&t ALL Units /
// Settings": one step, which Ctrl+Z takes back even from a count field, whose
// own text undo would otherwise take the keys; Ctrl+Shift+Z makes it again.
void UndoTest::resetAtSeaTakenBackWithCtrlZ()
{
    TForm1& form = F().Form();
    TRunCounter counter(form, 40);
    F().Spin("AttSubSpinEdit")->setValue(2);
    F().Spin("DefBBSpinEdit")->setValue(1);
    F().Button("DefBBButton")->click();
    const TBattleSetupRec sea = form.KeptBattle();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    F().Button("ResetAllSettingsButton")->click();
    QVERIFY(form.KeptBattle().Empty());
    QCOMPARE(F().Action("Undo1")->text(), QStringLiteral("&Undo Reset ALL"));
    QLineEdit* field = F().Spin("DefInfSpinEdit")->findChild<QLineEdit*>();
    field->setFocus();
    const int runs = counter.Runs;
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(form.KeptBattle() == sea);
    QCOMPARE(counter.Runs, runs + 1);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(form.KeptBattle().Empty());
}

QTEST_MAIN(UndoTest)
#include "UndoTest.moc"
