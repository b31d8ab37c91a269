#pragma once
// Helpers of the tests of the result pages: reading the report, and exact
// calculations under the test's control for the window's worker thread.
//
// TFakeExact is an exact calculation under a test's control: it answers with figures made from the setup (so that figures of one
// setup can never pass for another's), and while held it waits for a release
// or for its cancel flag first.
#include <QDeadlineTimer>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QPlainTextEdit>
#include <QStringList>

#include "Dizorivurad/Dizorivurad.h"
#include "Pages/ResultPages.h"
#include "format/Format.h"
#include "tests/window/WindowTestSupport.h"

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
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(EventWaitMs);
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

// The window's result pages, as a test finds them.
inline TResultPages& Pages(const TForm1& form) { return *form.findChild<TResultPages*>(QStringLiteral("ResultPages")); }

// Lets the window's thread take in every calculation that has finished or
// is about to.
inline bool WaitForExactOdds(TForm1& form)
{
    QDeadlineTimer deadline(EventWaitMs);
    while (Pages(form).ExactOddsPending() && !deadline.hasExpired()) QTest::qWait(1);
    return !Pages(form).ExactOddsPending();
}

// A slow calculation that honours its cancel flag: it takes a few
// milliseconds, as a larger battle would, then answers FakeOdds. The counts
// live as long as the last copy of the calculation, which the window's
// threads may hold after the test's own objects are gone.
struct TSlowExactCounts {
    std::atomic<int> Calls{0};
    std::atomic<int> Cancelled{0};
};

inline TExactCalculation SlowExact(std::shared_ptr<TSlowExactCounts> counts, int maxMs)
{
    return [counts, maxMs](const TBattleSetupRec& setup, const std::atomic<bool>* cancel) {
        ++counts->Calls;
        const int ms = 1 + (setup.AttCount[aINF] * 7 + setup.DefCount[dINF] * 3) % maxMs;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (cancel->load()) {
                ++counts->Cancelled;
                TExactOdds odds;
                odds.Status = TExactStatus::Cancelled;
                return odds;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return FakeOdds(setup);
    };
}

// ---- The report -------------------------------------------------------------------

inline QString ReportText(const TForm1& form) { return Find<QPlainTextEdit>(form, "TextResultsEdit")->toPlainText(); }

// The report's row of a label, split into its columns.
inline QStringList ReportRow(const QString& report, const char* label)
{
    for (const QString& line : report.split(u'\n'))
        if (line.startsWith(QLatin1String(label)))
            return line.mid(int(strlen(label))).split(u' ', Qt::SkipEmptyParts);
    return {};
}

// Column `c` (0 the run, 1 the margin, 2 the exact figure) of the eight rows.
inline QStringList ReportColumn(const QString& report, int c)
{
    QStringList column;
    for (const char* label : PanelRowLabels) {
        const QStringList row = ReportRow(report, label);
        column << (c < row.size() ? row[c] : QString());
    }
    return column;
}

// The exact figures of the report's eight panel rows.
inline std::vector<double> ExactValues(const TExactOdds& x)
{
    return {x.AttWins * 100, x.DefWins * 100, x.BothDes * 100, x.BothRemain * 100, x.AttWithdraws * 100,
            x.AvgAttIPCLoss, x.AvgDefIPCLoss, x.AvgRounds};
}

// A figure's text stands for `value`: within half a unit of its last digit;
// "<0.01" and ">99.99" for a share a speck off 0 or 100.
inline bool Agrees(const QString& text, double value)
{
    if (text == QStringLiteral("<0.01")) return value > 0 && value < 0.01;
    if (text == QStringLiteral(">99.99")) return value > 99.99 && value < 100;
    bool ok = false;
    const double read = text.toDouble(&ok);
    const qsizetype point = text.indexOf(u'.');
    const double unit = std::pow(10.0, point < 0 ? 0 : -double(text.size() - point - 1));
    return ok && std::fabs(read - value) <= unit / 2 * (1 + 1e-9);
}
