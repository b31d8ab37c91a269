#pragma once
// TExactWorker: exact-odds calculations on threads of their own, one thread
// per calculation (TJobThreads). A calculation gets its own copy of the setup
// and a cancel flag; a newer calculation cancels the older ones. The result
// waits in a mailbox, and a queued signal tells the window's thread which
// calculation finished.
#include <QObject>
#include <atomic>
#include <functional>
#include <optional>

#include "Dizorivurad/JobThreads.h"
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
    void CancelAll() { Jobs.CancelAll(); }
    // Cancels and waits for every thread: as long as the slowest calculation
    // takes to see its flag.
    void Stop() { Jobs.Stop(); }
    // The result of calculation `id` when it is the latest one to have
    // finished uncancelled; taken out of the mailbox. Window thread only.
    std::optional<TExactOdds> Take(uint64_t id);
    // A thread is running or its Finished has not been delivered yet.
    bool Busy() const { return Jobs.Busy(); }

signals:
    // Queued to the window's thread, for every calculation, cancelled or not.
    void Finished(quint64 id);

private:
    TJobThreads<TExactOdds> Jobs;
};
