#pragma once
// TPlannerWorker: battle plans on threads of their own, one thread per plan
// (TJobThreads). A plan gets its own copy of the setup and a cancel flag; a
// newer plan cancels the older ones. Each finished part of a plan waits in a
// mailbox, and a queued signal tells the window's thread which plan has news.
#include <QObject>
#include <optional>

#include "Dizorivurad/JobThreads.h"
#include "engine/Planner.h"

class TPlannerWorker : public QObject {
    Q_OBJECT

public:
    explicit TPlannerWorker(QObject* parent = nullptr);
    ~TPlannerWorker() override;  // Stop()

    // Starts planning the setup for the target (a fraction) and returns the
    // plan's id (ids grow); every plan under way is cancelled.
    uint64_t Start(const TBattleSetupRec& setup, double target);
    void CancelAll() { Jobs.CancelAll(); }
    // Cancels and waits for every thread.
    void Stop() { Jobs.Stop(); }
    // The newest state of plan `id` when it is the latest plan with news and
    // not cancelled; taken out of the mailbox. Window thread only.
    std::optional<TBattlePlan> Take(uint64_t id) { return Jobs.Take(id); }

signals:
    // Queued to the window's thread: plan `id` has finished a part.
    void Updated(quint64 id);
    // Queued to the window's thread: plan `id` has ended, cancelled or not.
    void Finished(quint64 id);

private:
    void Reap(quint64 id) { Jobs.Reap(id); }

    TJobThreads<TBattlePlan> Jobs;
};
