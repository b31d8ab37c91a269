#pragma once
// An exact calculation under a test's control, for the window's worker
// thread: it answers with figures made from the setup (so that figures of one
// setup can never pass for another's), and while held it waits for a release
// or for its cancel flag first.
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "Dizorivurad/Dizorivurad.h"

// Figures that differ from setup to setup: shares from the infantry counts,
// averages from the armour, two end states holding the starting forces.
inline TExactOdds FakeOdds(const TBattleSetupRec& s)
{
    TExactOdds x;
    const double a = s.AttCount[aINF] + 1, d = s.DefCount[dINF] + 1;
    x.AttWins = a / (a + d);
    x.DefWins = 1 - x.AttWins;
    x.AvgAttIPCLoss = 3 + s.AttCount[aARM];
    x.AvgDefIPCLoss = 4 + s.DefCount[dARM] / 8.0;
    x.AvgRounds = 1 + a / 10;
    TExactOutcome att{{TVictor::ATT}, x.AttWins};
    std::copy(s.AttCount, s.AttCount + AttKinds, att.State.AttCount);
    TExactOutcome def{{TVictor::DEF}, x.DefWins};
    std::copy(s.DefCount, s.DefCount + DefKinds, def.State.DefCount);
    x.Outcomes = {att, def};
    if (x.DefWins > x.AttWins) std::swap(x.Outcomes[0], x.Outcomes[1]);
    return x;
}

class TFakeExact {
public:
    std::function<TExactOdds(const TBattleSetupRec&)> Answer = FakeOdds;

    // Calculations wait until released or cancelled; releases go to the
    // calculations in the order they began.
    void Hold(bool ignoreCancel = false)
    {
        const std::lock_guard<std::mutex> lock(M);
        Held = true;
        IgnoreCancel = ignoreCancel;
    }
    void Release(int n = 1)
    {
        const std::lock_guard<std::mutex> lock(M);
        Releases += n;
        C.notify_all();
    }
    int Calls()
    {
        const std::lock_guard<std::mutex> lock(M);
        return CallCount;
    }
    int Cancelled()
    {
        const std::lock_guard<std::mutex> lock(M);
        return CancelCount;
    }

    TExactCalculation Calculation()
    {
        return [this](const TBattleSetupRec& setup, const std::atomic<bool>* cancel) {
            std::unique_lock<std::mutex> lock(M);
            const int ticket = CallCount++;
            // A test that forgets a release fails instead of hanging.
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (Held && Releases <= ticket && std::chrono::steady_clock::now() < giveUp) {
                if (!IgnoreCancel && cancel->load()) {
                    ++CancelCount;
                    TExactOdds odds;
                    odds.Status = TExactStatus::Cancelled;
                    return odds;
                }
                C.wait_for(lock, std::chrono::milliseconds(1));
            }
            return Answer(setup);
        };
    }

private:
    std::mutex M;
    std::condition_variable C;
    bool Held = false;
    bool IgnoreCancel = false;
    int Releases = 0;  // calculations released so far
    int CallCount = 0;
    int CancelCount = 0;
};

// Lets the window's thread take in every calculation that has finished or
// is about to.
inline bool WaitForExactOdds(TForm1& form)
{
    for (int i = 0; i < 20000 && form.ExactOddsPending(); ++i) QTest::qWait(1);
    return !form.ExactOddsPending();
}
