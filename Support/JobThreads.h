#pragma once
// TJobThreads: calculations on threads of their own, one thread per job. A
// job gets a cancel flag, and starting a job cancels the jobs under way. What
// a job hands over waits in a one-place mailbox guarded by a mutex; the job's
// thread tells the owner through a callback made inside that lock (the owner
// emits a queued signal there), so the threads share nothing else and the
// sanitizer sees every hand-over.
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

template <class TResult>
class TJobThreads {
public:
    // Called on a job's thread inside the mailbox's lock: job `id` has left
    // a result in the mailbox (finished false), or has ended (true), which
    // every job does, cancelled or not. A job whose thread failed to start
    // ends at once, with no result, and this is called from Start.
    using TNotify = std::function<void(uint64_t id, bool finished)>;
    // Hands an interim result to the mailbox.
    using TPost = std::function<void(TResult&&)>;
    // A job's work: its final result, or none when there is nothing to show
    // (cancelled). It owns what it works on and reads nothing of the owner's.
    using TWork = std::function<std::optional<TResult>(const std::atomic<bool>& cancel, const TPost& post)>;

    explicit TJobThreads(TNotify notify) : Notify(std::move(notify)) {}
    ~TJobThreads() { Stop(); }
    TJobThreads(const TJobThreads&) = delete;
    TJobThreads& operator=(const TJobThreads&) = delete;

    // Starts the work on a thread of its own and returns the job's id (ids
    // grow); every job under way is cancelled.
    uint64_t Start(TWork work)
    {
        CancelAll();
        auto job = std::make_shared<TJob>();
        job->Id = ++LastId;
        job->Thread.reset(QThread::create([this, job = job.get(), work = std::move(work)] {
            const TPost post = [this, job](TResult&& result) { Leave(*job, std::move(result), false); };
            Leave(*job, work(job->Cancel, post), true);
        }));
        {
            const std::lock_guard<std::mutex> lock(Mutex);
            ++Running;
        }
        Jobs.push_back(job);
        if (StackSize > 0) job->Thread->setStackSize(StackSize);
        job->Thread->start(QThread::LowPriority);
        // A thread the system would not start never runs the work: the job
        // has ended with no result, or Stop() and the owner would wait for it
        // for ever. (A thread that did start is running or has finished.)
        if (!job->Thread->isRunning() && !job->Thread->isFinished()) Leave(*job, std::nullopt, true);
        return job->Id;
    }

    // The stack of each job's thread from the next Start on, in bytes; 0 for
    // the system's default.
    void SetStackSize(uint bytes) { StackSize = bytes; }

    // Cancels every job under way; returns at once.
    void CancelAll()
    {
        for (const std::shared_ptr<TJob>& job : Jobs) job->Cancel.store(true);
    }

    // Cancels and waits for every thread: as long as the slowest job takes to
    // see its flag.
    void Stop()
    {
        CancelAll();
        {
            std::unique_lock<std::mutex> lock(Mutex);
            AllDone.wait(lock, [this] { return Running == 0; });
            Mail.reset();
        }
        for (const std::shared_ptr<TJob>& job : Jobs) job->Thread->wait();
        Jobs.clear();
    }

    // The newest result of job `id` when it is the latest job to have left
    // one; taken out of the mailbox. Owner's thread only.
    std::optional<TResult> Take(uint64_t id)
    {
        // Taking the lock orders everything the thread did before this.
        const std::lock_guard<std::mutex> lock(Mutex);
        std::optional<TResult> result;
        if (Mail && MailId == id) {
            result = std::move(Mail);
            Mail.reset();
        }
        return result;
    }

    // After job `id` has ended: its thread has only its exit left to do.
    void Reap(uint64_t id)
    {
        for (auto it = Jobs.begin(); it != Jobs.end(); ++it) {
            if ((*it)->Id != id) continue;
            (*it)->Thread->wait();
            // The thread's last touch of its job is inside the lock (Leave);
            // taking it orders that before the job goes (the sanitizer does
            // not see through Qt's wait).
            {
                const std::lock_guard<std::mutex> lock(Mutex);
            }
            Jobs.erase(it);
            return;
        }
    }

    // A thread is running or has not been reaped yet.
    bool Busy() const { return !Jobs.empty(); }

private:
    struct TJob {
        uint64_t Id = 0;
        std::atomic<bool> Cancel{false};
        std::unique_ptr<QThread> Thread;
    };

    void Leave(TJob& job, std::optional<TResult>&& result, bool finished)
    {
        const std::lock_guard<std::mutex> lock(Mutex);
        const bool kept = result && !job.Cancel.load();
        if (kept) {
            MailId = job.Id;
            Mail = std::move(result);
        }
        if (finished) {
            --Running;
            AllDone.notify_all();
        }
        // Inside the lock: after the last call the thread touches nothing of
        // the owner's, so Stop's wait covers every access the thread makes.
        if (kept || finished) Notify(job.Id, finished);
    }

    const TNotify Notify;
    std::vector<std::shared_ptr<TJob>> Jobs;  // owner's thread only
    uint64_t LastId = 0;
    uint StackSize = 0;

    std::mutex Mutex;  // guards the mailbox and Running
    std::condition_variable AllDone;
    int Running = 0;
    uint64_t MailId = 0;
    std::optional<TResult> Mail;
};
