#include "Planner/PlannerWorker.h"

TPlannerWorker::TPlannerWorker(QObject* parent)
    : QObject(parent), Jobs([this](uint64_t id, bool finished) {
          if (finished) emit Finished(id);
          else emit Updated(id);
      })
{
    // Connected first, so that a plan's thread is gone before anyone hears of its end.
    connect(this, &TPlannerWorker::Finished, this, &TPlannerWorker::Reap, Qt::QueuedConnection);
}

TPlannerWorker::~TPlannerWorker() { Stop(); }

uint64_t TPlannerWorker::Start(const TBattleSetupRec& setup, double target)
{
    return Jobs.Start([setup, target](const std::atomic<bool>& cancel, const TJobThreads<TBattlePlan>::TPost& post) {
        TPlanOptions options;
        options.Target = target;
        options.Progress = [&post](const TBattlePlan& plan) { post(TBattlePlan(plan)); };
        TBattlePlan plan = PlanBattle(setup, options, &cancel);
        return plan.Status == TPlanStatus::Cancelled ? std::nullopt : std::optional<TBattlePlan>(std::move(plan));
    });
}
