#include "engine/battle/Driver.h"

#include "engine/battle/BattleImpl.h"

void RunTotals::Add(const TBattleEnd& end)
{
    switch (end.Outcome) {
    case TOutcome::AttWins: ++AttWins; break;
    case TOutcome::DefWins: ++DefWins; break;
    case TOutcome::BothDes: ++BothDes; break;
    case TOutcome::AttWithdraws: ++AttWithdraws; break;
    case TOutcome::BothRemain: ++BothRemain; break;
    }
    TotalRounds += end.Rounds;
    AttIPCLoss += end.AttIPCLoss;
    DefIPCLoss += end.DefIPCLoss;
    ++Battles;
    AttIPCLossSquares += int64_t{end.AttIPCLoss} * end.AttIPCLoss;
    DefIPCLossSquares += int64_t{end.DefIPCLoss} * end.DefIPCLoss;
    RoundsSquares += int64_t{end.Rounds} * end.Rounds;
}

namespace {

// Clears Running on every way out of a run, a host callback that throws included.
struct TRunningGuard {
    TRunControl& Control;
    ~TRunningGuard() { Control.Running = false; }
};

enum class TPassEnd { Completed, Stopped, EmptySetup };

// One run from zeroed totals to its end. The batch holds the end states
// since the previous publication; it belongs to the caller so that no run
// allocates.
TPassEnd RunOnce(TRunControl& control, TRunHost& host, TBattleResultsRec* batch)
{
    control.Running = true;
    control.StopRequested = false;
    int n = host.RunSize();
    if (n < 0) n = 0;
    RunTotals totals;
    TRandom dice(host.RunSeed());
    host.RunStarting();

    TBattleSetupRec setup;
    battle::TRulesCache rules;
    TBattleEnd end;
    int pending = 0;
    int b = 1;
    for (; b <= n && !control.StopRequested; ++b) {
        host.BattleStarting(b, n);
        host.ReadSetup(setup);
        if (setup.Empty()) {
            control.StopRequested = true;
            return TPassEnd::EmptySetup;
        }
        control.StopRequested = false;
        battle::Fight(setup, rules.For(setup), dice, end);
        totals.Add(end);
        batch[pending++] = end.State;
        if (pending == PublishEvery || b == n) {
            host.Publish(totals, batch, pending, b == n);
            pending = 0;
        }
        host.AfterBattle();
    }

    if (!control.StopRequested) return TPassEnd::Completed;
    // A stop that arrives while the last battle yields finds the final
    // figures already published: the run counts as complete.
    if (b <= n) {
        host.Publish(totals, batch, pending, true);
        return TPassEnd::Stopped;
    }
    return TPassEnd::Completed;
}

}  // namespace

TRunEnd RunBattles(TRunControl& control, TRunHost& host)
{
    // A handler that runs while a run yields must not start a second one.
    if (control.SuppressRuns || control.Running) return TRunEnd::Refused;

    TRunningGuard guard{control};
    TBattleResultsRec batch[PublishEvery];
    for (;;) {
        switch (RunOnce(control, host, batch)) {
        case TPassEnd::EmptySetup: return TRunEnd::EmptySetup;
        case TPassEnd::Completed:
            // Only a stop during the last battle's yield reaches here with
            // the flag set; automatic rolling then follows the new inputs.
            if (control.StopRequested && host.RestartOnStop()) continue;
            return TRunEnd::Completed;
        case TPassEnd::Stopped:
            if (host.RestartOnStop()) continue;
            return TRunEnd::Stopped;
        }
    }
}
