#pragma once
// TPlannerForm: the battle planner beside the main window. It plans the main
// window's current battle on a worker thread and follows every change to it:
// a newer setup cancels the older plan, and the tables show only the plan of
// the setup the main window holds now. "Use" hands a best kill order to the
// host, which runs the battle as after an edit of that order.
#include <QTimer>
#include <QWidget>
#include <optional>

#include "Support/JobWorker.h"
#include "engine/advice/Planner.h"

class QPushButton;
class QTableWidget;
class TBattleHost;

namespace Ui {
class TPlannerForm;
}

class TPlannerForm : public QWidget {
    Q_OBJECT

public:
    // A window of its own, owned by `owner`, planning `host`'s battle.
    TPlannerForm(QWidget* owner, TBattleHost& host);
    ~TPlannerForm() override;

    // The plan on show, as far as it has come (none: nothing to show yet).
    const std::optional<TBattlePlan>& ShownPlan() const { return Plan; }
    // A plan is being worked out.
    bool Planning() const { return Working; }
    // The time a plan may take (DefaultPlanSeconds unless set); a new budget
    // plans afresh. Tests on slow builds give plenty.
    void SetTimeBudget(double seconds);

    Ui::TPlannerForm* ui;

public slots:
    // The host's battle may have changed: follow it once the cascade is over.
    void BattleChanged();
    void TargetSpinEditChange();
    void CancelButtonClick();
    void UseAttOrderButtonClick();
    void UseDefOrderButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Follow();
    void PlanUpdated(quint64 id);
    void PlanFinished(quint64 id);
    void ShowPlan();
    void ShowBring(const TBattlePlan* plan);
    void ShowOrders(const TBattlePlan* plan);
    void ShowRetreat(const TBattlePlan* plan);
    void UseOrder(bool attacker);

    TBattleHost& Host;
    TJobWorker<TBattlePlan> Worker;
    QTimer FollowSoon;  // many requests of one cascade make one look at the setup
    QPushButton* UseButtons[2] = {};  // attacker, defender; they live as long as the table

    // The plan under way or on show: its setup, target and id.
    bool Started = false;
    TBattleSetupRec PlanSetup;
    double PlanTarget = 0;
    double Seconds = DefaultPlanSeconds;
    uint64_t PlanId = 0;
    std::optional<TBattlePlan> Plan;
    bool Working = false;
    bool Cancelled = false;
    bool OrderBeingEdited = false;
};
