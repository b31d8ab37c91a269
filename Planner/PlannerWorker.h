#pragma once
// TPlannerWorker: battle plans on threads of their own, one thread per plan.
// A plan gets its own copy of the setup and a cancel flag; a newer plan
// cancels the older ones. Each finished part of a plan waits in a mailbox
// guarded by a mutex, and a queued signal tells the window's thread which plan
// has news, so the threads share nothing else.
#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/Planner.h"

class TPlannerWorker : public QObject {
    Q_OBJECT

public:
    explicit TPlannerWorker(QObject* parent = nullptr);
    ~TPlannerWorker() override;  // Stop()

    // Starts planning the setup and returns the plan's id (ids grow); every
    // plan under way is cancelled.
    uint64_t Start(const TBattleSetupRec& setup, double target);
    // Cancels every plan under way; returns at once.
    void CancelAll();
    // Cancels and waits for every thread.
    void Stop();
    // The newest state of plan `id` when it is the latest plan with news and
    // not cancelled; taken out of the mailbox. Window thread only.
    std::optional<TBattlePlan> Take(uint64_t id);
    // A thread is running or its Finished has not been delivered yet.
    bool Busy() const { return !Jobs.empty(); }

signals:
    // Queued to the window's thread: plan `id` has finished a part.
    void Updated(quint64 id);
    // Queued to the window's thread: plan `id` has ended, cancelled or not.
    void Finished(quint64 id);

private:
    struct TJob;
    void Post(TJob& job, const TBattlePlan& plan);
    void Reap(quint64 id);

    std::vector<std::shared_ptr<TJob>> Jobs;  // window thread only
    uint64_t LastId = 0;

    std::mutex Mutex;  // guards the mailbox and Running
    std::condition_variable AllDone;
    int Running = 0;
    uint64_t MailId = 0;
    std::optional<TBattlePlan> Mail;
};
