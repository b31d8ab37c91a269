// The battle planner's window: it follows the main window's battle, and "Use"
// hands a best kill order to the main window, which then runs the battle.
// Screenshots of the planner for L1 and S1 go to VARNHOLT_SHOT_DIR.
#include <QDir>
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

QTEST_MAIN(PlannerWindowTest)
#include "PlannerWindowTest.moc"
