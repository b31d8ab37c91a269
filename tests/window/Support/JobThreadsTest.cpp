// A job whose thread the system will not start is a job that has ended with
// no result, not one the owner waits for for ever. A stack size below what
// any thread can have makes the start fail.
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "Support/JobThreads.h"

class JobThreadsTest : public QObject {
    Q_OBJECT

private slots:
    void AThreadThatFailsToStartIsAJobEndedWithoutResult()
    {
        std::mutex lock;  // Notify runs on a job's thread, or in Start when it failed
        std::vector<std::pair<uint64_t, bool>> heard;
        std::atomic<int> worked{0};
        TJobThreads<int> jobs([&](uint64_t id, bool finished) {
            const std::lock_guard<std::mutex> guard(lock);
            heard.emplace_back(id, finished);
        });
        auto work = [&](const std::atomic<bool>&, const TJobThreads<int>::TPost&) -> std::optional<int> {
            ++worked;
            return 7;
        };

        jobs.SetStackSize(1);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("QThread::start"));
        const uint64_t failed = jobs.Start(work);
        {
            const std::lock_guard<std::mutex> guard(lock);
            QCOMPARE(heard, (std::vector<std::pair<uint64_t, bool>>{{failed, true}}));
        }
        QVERIFY(!jobs.Take(failed));
        jobs.Reap(failed);  // the owner's Finished flow
        QVERIFY(!jobs.Busy());
        QCOMPARE(worked.load(), 0);

        // A failed start leaves nothing to wait for, and the next start works.
        jobs.SetStackSize(0);
        const uint64_t next = jobs.Start(work);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const std::lock_guard<std::mutex> guard(lock);
                return heard.back() == std::make_pair(next, true);
            }(),
            60000);
        QCOMPARE(jobs.Take(next), std::optional<int>(7));
        QCOMPARE(worked.load(), 1);
        jobs.SetStackSize(1);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("QThread::start"));
        jobs.Start(work);
        jobs.Stop();  // returns: no thread is left to wait for
        QVERIFY(!jobs.Busy());
    }
};

QTEST_MAIN(JobThreadsTest)
#include "JobThreadsTest.moc"
