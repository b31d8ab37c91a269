// The battle planner's window: it follows the main window's battle, and "Use"
// hands a best kill order to the main window, which then runs the battle.
// Screenshots of the planner for L1 and S1 go to VARNHOLT_SHOT_DIR.
#include <QDir>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSet>
#include <QTableWidget>
#include <QTest>

#include "Planner/PlannerForm.h"
#include "tests/window/WindowTestSupport.h"
#include "bench/ReferenceBattles.h"

namespace {

// The reference battles, and under ThreadSanitizer (which slows the planner's
// threads many times over) battles of about half their size that pass the
// same checks: a land battle with an AA gun whose best order is not the
// default, a sea battle with 2 Hit BB.
#if defined(__SANITIZE_THREAD__)
TBattleSetupRec Land()
{
    TBattleSetupRec s = ReferenceBattle({4, 2, 2, 1, 1, 0, 0, 0}, {6, 2, 1, 0, 0, 0, 0, 0, 0});
    s.AAGun = true;
    return s;
}
TBattleSetupRec Sea()
{
    TBattleSetupRec s = ReferenceBattle({0, 0, 2, 0, 1, 1, 1, 2}, {0, 0, 2, 0, 0, 1, 1, 1, 2});
    s.TwoHitBB = true;
    return s;
}
#else
TBattleSetupRec Land() { return L1(); }
TBattleSetupRec Sea() { return S1(); }
#endif

// Enters a setup's counts through the main window's fields.
void EnterCounts(TWindowFixture& w, const TBattleSetupRec& s)
{
    for (int k = 0; k < AttKinds; ++k) w.Spin(AttCountNames[k])->setValue(s.AttCount[k]);
    for (int k = 0; k < DefKinds; ++k) w.Spin(DefCountNames[k])->setValue(s.DefCount[k]);
}

TPlannerForm* OpenPlanner(TWindowFixture& w)
{
    w.Choose("BattlePlanner1");
    auto* planner = w.Form().findChild<TPlannerForm*>();
    if (planner && !QTest::qWaitForWindowExposed(planner)) return nullptr;
    if (planner) planner->SetTimeBudget(1e6);  // whole plans, however slow the build
    return planner;
}

bool PlanComplete(const TPlannerForm* planner)
{
    return !planner->Planning() && planner->ShownPlan() && planner->ShownPlan()->PartsDone == PlanParts;
}

void SaveShot(QWidget& widget, const char* file)
{
    const QString shots = qEnvironmentVariable("VARNHOLT_SHOT_DIR", QDir::currentPath());
    QVERIFY(widget.grab().save(QDir(shots).filePath(QString::fromLatin1(file))));
}

}  // namespace

class PlannerWindowTest : public QObject {
    Q_OBJECT

private slots:
    void useSetsTheOrderAndARunFollows();
    void plainWordsTabsFailuresAndNoBattle();
};

void PlannerWindowTest::useSetsTheOrderAndARunFollows()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 200);
    EnterCounts(w, Land());
    w.Check("AACheckBox")->setChecked(true);
    TPlannerForm* planner = OpenPlanner(w);
    QVERIFY(planner);
    QTRY_VERIFY_WITH_TIMEOUT(PlanComplete(planner), EventWaitMs);
    QCOMPARE(Find<QLabel>(*planner, "AttGoalLabel")->text(), QStringLiteral("Attacker: take the territory"));
    QCOMPARE(planner->ShownPlan()->Attacker.Probability, AttackerGoal(ComputeExactOdds(Land()), true));
    const auto* bring = Find<QTableWidget>(*planner, "BringTable");
    QVERIFY(bring->rowCount() > 0);
    QVERIFY(bring->item(0, 1)->font().bold());  // the attacker's cheapest kind
    SaveShot(*planner, "planner-L1.png");

    // "Use": the main window takes the best order and runs the battle again.
    const TOrderLine best = planner->ShownPlan()->Attacker.BestOrder;
    QStringList captions;
    for (int k = 0; k < AttKinds; ++k) captions << QString::number(best.Ranks[k]);
    QVERIFY(captions != RankCaptions(w, true));
    const int runs = counter.Runs;
    auto* use = Find<QPushButton>(*planner, "UseAttOrderButton");
    QVERIFY(use->isEnabled());
    use->click();
    QCOMPARE(RankCaptions(w, true), captions);
    QVERIFY(counter.Runs > runs);
    // The planner follows: that order is now the current one, and nothing beats it.
    QTRY_VERIFY_WITH_TIMEOUT(PlanComplete(planner) && std::equal(best.Ranks, best.Ranks + AttKinds,
                                                                 planner->ShownPlan()->Attacker.CurrentOrder.Ranks),
                             EventWaitMs);
    QVERIFY(!Find<QPushButton>(*planner, "UseAttOrderButton")->isEnabled());

    // A sea battle entered field by field, each change a newer setup: the plan
    // shown in the end is the last setup's.
    w.Button("DefaultAttKillOrderButton")->click();
    w.Check("AACheckBox")->setChecked(false);
    EnterCounts(w, Sea());
    w.Button("AttBBButton")->click();  // "2 Hit &BB"
    QTRY_VERIFY_WITH_TIMEOUT(PlanComplete(planner), EventWaitMs);
    QCOMPARE(Find<QLabel>(*planner, "AttGoalLabel")->text(), QStringLiteral("Attacker: win the battle"));
    QCOMPARE(planner->ShownPlan()->Attacker.Probability, AttackerGoal(ComputeExactOdds(Sea()), false));
    SaveShot(*planner, "planner-S1.png");
}

// Every text of a table, each cell once.
QStringList Cells(const QTableWidget& table)
{
    QStringList cells;
    for (int r = 0; r < table.rowCount(); ++r)
        for (int c = 0; c < table.columnCount(); ++c)
            if (const QTableWidgetItem* item = table.item(r, c)) cells << item->text();
    return cells;
}

void PlannerWindowTest::plainWordsTabsFailuresAndNoBattle()
{
    TWindowFixture w;
    TBattleSetupRec sea;
    sea.AttCount[aFTR] = 1;
    sea.DefCount[dFTR] = 2;
    sea.DefCount[dAC] = 2;
    EnterCounts(w, sea);
    TPlannerForm* planner = OpenPlanner(w);
    QVERIFY(planner);
    QTRY_VERIFY_WITH_TIMEOUT(PlanComplete(planner), 60000);

    // Chances in plain words; the defender, who holds already, is told so.
    const auto* bring = Find<QTableWidget>(*planner, "BringTable");
    const auto* orders = Find<QTableWidget>(*planner, "OrderTable");
    const auto* retreat = Find<QTableWidget>(*planner, "RetreatTable");
    const QStringList all = Cells(*bring) + Cells(*orders) + Cells(*retreat);
    QVERIFY(!all.filter(QRegularExpression(QStringLiteral("\\d[eE]"))).size());
    QVERIFY(all.contains(QStringLiteral("< 0.01 %")));
    QVERIFY(all.contains(QStringLiteral("Target already met")));
    QVERIFY(!all.filter(QStringLiteral("reached with +")).isEmpty());
    QVERIFY(all.contains(QStringLiteral("highest chance")) || all.contains(QStringLiteral("highest chance, least IPC lost")));
    for (const QTableWidget* table : {bring, orders, retreat})
        for (int c = 0; c < table->columnCount(); ++c)
            QVERIFY2(!table->horizontalHeaderItem(c)->toolTip().isEmpty(), qPrintable(table->objectName()));

    // Tab goes table by table and reaches every button that can take it.
    QSet<QWidget*> reached;
    Find<QDoubleSpinBox>(*planner, "TargetSpinEdit")->setFocus();
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.insert(QApplication::focusWidget());
    }
    for (const char* name : {"BringTable", "OrderTable", "RetreatTable"})
        QVERIFY2(reached.contains(Find<QWidget>(*planner, name)), name);
    for (const char* name : {"UseAttOrderButton", "UseDefOrderButton"}) {
        auto* use = Find<QPushButton>(*planner, name);
        QVERIFY2(!use->isEnabled() || reached.contains(use), name);
    }

    // A calculation that fails its own checks: no figures, the reason instead.
    auto* status = Find<QLabel>(*planner, "StatusLabel");
    SetExactFaultInjection(true);
    w.Spin(AttCountNames[aFTR])->setValue(2);
    QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith(QStringLiteral("Not available: ")), 60000);
    SetExactFaultInjection(false);
    QCOMPARE(bring->rowCount(), 0);

    // No battle: no figures of the last one.
    w.Spin(AttCountNames[aFTR])->setValue(1);
    QTRY_VERIFY_WITH_TIMEOUT(PlanComplete(planner), 60000);
    QVERIFY(bring->rowCount() > 0);
    EnterCounts(w, TBattleSetupRec{});
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("No battle"), 60000);
    QCOMPARE(bring->rowCount(), 0);
    QCOMPARE(retreat->rowCount(), 0);
    QVERIFY(!Find<QPushButton>(*planner, "UseAttOrderButton")->isEnabled());
}

QTEST_MAIN(PlannerWindowTest)
#include "PlannerWindowTest.moc"
