#pragma once
// TJobWorker: calculations on threads of their own for a window (TJobThreads):
// the exact odds of the result pages, the planner's plans, a turn's odds. A
// job gets its own copy of what it works on and a cancel flag; a newer job
// cancels the older ones. Its results wait in a mailbox, and the window's
// thread hears of them through the signals of TJobSignals.
#include <QObject>
#include <optional>

#include "Support/JobThreads.h"

// The signals of every worker (a template cannot carry signals of its own).
class TJobSignals : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    // On the window's thread: job `id` has left a part of its result.
    void Updated(quint64 id);
    // On the window's thread: job `id` has ended, cancelled or not; its thread
    // is already gone.
    void Finished(quint64 id);

    // Emitted on a job's thread; queued to the window's thread, where the
    // worker turns it into the two signals above. Qt copies the arguments
    // across, so the job's thread writes nothing the window's thread reads.
    void Posted(quint64 id, bool finished);
};

template <class TResult>
class TJobWorker : public TJobSignals {
public:
    using TWork = typename TJobThreads<TResult>::TWork;
    using TPost = typename TJobThreads<TResult>::TPost;

    explicit TJobWorker(QObject* parent = nullptr)
        : TJobSignals(parent), Jobs([this](uint64_t id, bool finished) { emit Posted(id, finished); })
    {
        // Dropped should the worker be gone by the time the news arrives.
        connect(this, &TJobSignals::Posted, this, [this](quint64 id, bool finished) { Deliver(id, finished); },
                Qt::QueuedConnection);
    }
    ~TJobWorker() override { Stop(); }

    // Starts the work and returns the job's id (ids grow); every job under way
    // is cancelled.
    uint64_t Start(TWork work) { return Jobs.Start(std::move(work)); }
    // Cancels every job under way; returns at once.
    void CancelAll() { Jobs.CancelAll(); }
    // Cancels and waits for every thread: as long as the slowest job takes to
    // see its flag.
    void Stop() { Jobs.Stop(); }
    // The newest result of job `id` when it is the latest job to have left
    // one; taken out of the mailbox. Window thread only.
    std::optional<TResult> Take(uint64_t id) { return Jobs.Take(id); }
    // A thread is running or its Finished has not been delivered yet.
    bool Busy() const { return Jobs.Busy(); }

private:
    void Deliver(uint64_t id, bool finished)
    {
        if (!finished) {
            emit Updated(id);
            return;
        }
        Jobs.Reap(id);
        emit Finished(id);
    }

    TJobThreads<TResult> Jobs;
};
