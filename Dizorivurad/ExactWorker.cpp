#include "Dizorivurad/ExactWorker.h"

struct TExactWorker::TJob {
    uint64_t Id = 0;
    TBattleSetupRec Setup;  // written before the thread starts, then only read
    std::atomic<bool> Cancel{false};
    std::unique_ptr<QThread> Thread;
};

namespace {

class TJobThread : public QThread {
public:
    explicit TJobThread(std::function<void()> work) : Work(std::move(work)) {}

protected:
    void run() override { Work(); }

private:
    std::function<void()> Work;
};

}  // namespace

TExactWorker::TExactWorker(QObject* parent) : QObject(parent) {}

TExactWorker::~TExactWorker() { Stop(); }

uint64_t TExactWorker::Start(const TBattleSetupRec& setup, TExactCalculation calculation)
{
    CancelAll();
    auto job = std::make_shared<TJob>();
    job->Id = ++LastId;
    job->Setup = setup;
    // The thread holds the job and a copy of the calculation; the job's
    // setup and flag are all it shares with this thread.
    job->Thread = std::make_unique<TJobThread>([this, job = job.get(), calculation = std::move(calculation)] {
        TExactOdds odds = calculation(job->Setup, &job->Cancel);
        Deliver(*job, std::move(odds));
    });
    {
        const std::lock_guard<std::mutex> lock(Mutex);
        ++Running;
    }
    Jobs.push_back(job);
    job->Thread->start(QThread::LowPriority);
    return job->Id;
}

void TExactWorker::Deliver(TJob& job, TExactOdds&& odds)
{
    const std::lock_guard<std::mutex> lock(Mutex);
    if (!job.Cancel.load() && odds.Status != TExactStatus::Cancelled) {
        MailId = job.Id;
        Mail = std::move(odds);
    }
    --Running;
    AllDone.notify_all();
    // Inside the lock: after it the thread touches nothing of the worker's,
    // so Stop's wait covers every access the thread makes.
    emit Finished(job.Id);
}

void TExactWorker::CancelAll()
{
    for (const std::shared_ptr<TJob>& job : Jobs) job->Cancel.store(true);
}

void TExactWorker::Stop()
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

std::optional<TExactOdds> TExactWorker::Take(uint64_t id)
{
    std::optional<TExactOdds> odds;
    {
        // Taking the lock first orders everything the thread did before
        // this; only then may its thread object go.
        const std::lock_guard<std::mutex> lock(Mutex);
        if (Mail && MailId == id) {
            odds = std::move(Mail);
            Mail.reset();
        }
    }
    Reap(id);
    return odds;
}

// The thread of a finished calculation has only its exit left to do.
void TExactWorker::Reap(uint64_t id)
{
    for (auto it = Jobs.begin(); it != Jobs.end(); ++it) {
        if ((*it)->Id != id) continue;
        (*it)->Thread->wait();
        Jobs.erase(it);
        return;
    }
}
