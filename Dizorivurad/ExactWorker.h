#pragma once
// TExactWorker: exact-odds calculations on threads of their own, one thread
// per calculation. A calculation gets its own copy of the setup and a cancel
// flag; a newer calculation cancels the older ones. The result waits in a
// mailbox guarded by a mutex, and a queued signal tells the window's thread
// which calculation finished, so the two threads share nothing else.
#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/Exact.h"

using TExactCalculation = std::function<TExactOdds(const TBattleSetupRec&, const std::atomic<bool>* cancel)>;

class TExactWorker : public QObject {
    Q_OBJECT

public:
    explicit TExactWorker(QObject* parent = nullptr);
    ~TExactWorker() override;  // Stop()

    // Starts calculating the setup and returns the calculation's id (ids
    // grow); every calculation under way is cancelled.
    uint64_t Start(const TBattleSetupRec& setup, TExactCalculation calculation);
    // Cancels every calculation under way; returns at once.
    void CancelAll();
    // Cancels and waits for every thread: as long as the slowest calculation
    // takes to see its flag.
    void Stop();
    // The result of calculation `id` when it is the latest one to have
    // finished uncancelled; taken out of the mailbox. Window thread only.
    std::optional<TExactOdds> Take(uint64_t id);
    // A thread is running or its Finished has not been delivered yet.
    bool Busy() const { return !Jobs.empty(); }

signals:
    // Queued to the window's thread, for every calculation, cancelled or not.
    void Finished(quint64 id);

private:
    struct TJob;
    void Deliver(TJob& job, TExactOdds&& odds);
    void Reap(uint64_t id);

    std::vector<std::shared_ptr<TJob>> Jobs;  // window thread only
    uint64_t LastId = 0;

    std::mutex Mutex;  // guards the mailbox and Running
    std::condition_variable AllDone;
    int Running = 0;
    uint64_t MailId = 0;
    std::optional<TExactOdds> Mail;
};
