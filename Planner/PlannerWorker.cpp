#include "Planner/PlannerWorker.h"

struct TPlannerWorker::TJob {
    uint64_t Id = 0;
    TBattleSetupRec Setup;  // written before the thread starts, then only read
    double Target = 0.9;
    std::atomic<bool> Cancel{false};
    std::unique_ptr<QThread> Thread;
};

TPlannerWorker::TPlannerWorker(QObject* parent) : QObject(parent)
{
    // Connected first, so that its thread is gone before anyone hears of the end.
    connect(this, &TPlannerWorker::Finished, this, &TPlannerWorker::Reap, Qt::QueuedConnection);
}

TPlannerWorker::~TPlannerWorker() { Stop(); }

uint64_t TPlannerWorker::Start(const TBattleSetupRec& setup, double target)
{
    CancelAll();
    auto job = std::make_shared<TJob>();
    job->Id = ++LastId;
    job->Setup = setup;
    job->Target = target;
    // The thread holds the job; its setup, target and flag are all it shares
    // with this thread.
    job->Thread.reset(QThread::create([this, job = job.get()] {
        TPlanOptions options;
        options.Target = job->Target;
        options.Progress = [this, job](const TBattlePlan& plan) { Post(*job, plan); };
        const TBattlePlan plan = PlanBattle(job->Setup, options, &job->Cancel);
        const std::lock_guard<std::mutex> lock(Mutex);
        if (!job->Cancel.load() && plan.Status != TPlanStatus::Cancelled) {
            MailId = job->Id;
            Mail = plan;
        }
        --Running;
        AllDone.notify_all();
        // Inside the lock: after it the thread touches nothing of the worker's,
        // so Stop's wait covers every access the thread makes.
        emit Finished(job->Id);
    }));
    {
        const std::lock_guard<std::mutex> lock(Mutex);
        ++Running;
    }
    Jobs.push_back(job);
    job->Thread->start(QThread::LowPriority);
    return job->Id;
}

void TPlannerWorker::Post(TJob& job, const TBattlePlan& plan)
{
    const std::lock_guard<std::mutex> lock(Mutex);
    if (job.Cancel.load()) return;
    MailId = job.Id;
    Mail = plan;
    emit Updated(job.Id);
}

void TPlannerWorker::CancelAll()
{
    for (const std::shared_ptr<TJob>& job : Jobs) job->Cancel.store(true);
}

void TPlannerWorker::Stop()
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

std::optional<TBattlePlan> TPlannerWorker::Take(uint64_t id)
{
    // Taking the lock first orders everything the thread did before this.
    const std::lock_guard<std::mutex> lock(Mutex);
    std::optional<TBattlePlan> plan;
    if (Mail && MailId == id) {
        plan = std::move(Mail);
        Mail.reset();
    }
    return plan;
}

// The thread of a finished plan has only its exit left to do.
void TPlannerWorker::Reap(quint64 id)
{
    for (auto it = Jobs.begin(); it != Jobs.end(); ++it) {
        if ((*it)->Id != id) continue;
        (*it)->Thread->wait();
        Jobs.erase(it);
        return;
    }
}
