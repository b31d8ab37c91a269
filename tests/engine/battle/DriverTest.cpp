#include "engine/battle/Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

struct TPublication {
    int32_t Battles;
    int Count;
    bool Last;
    int32_t RecordsInBatch;  // records with a victor set
};

// A host that records what the driver does; AfterBattle runs a test's hook,
// as the window would run its event handlers there.
class TFakeHost : public TRunHost {
public:
    TRunControl& Control;
    explicit TFakeHost(TRunControl& control) : Control(control)
    {
        Setup.AttCount[aINF] = 2;
        Setup.DefCount[dINF] = 2;
    }

    TBattleSetupRec Setup;
    std::vector<int> Sizes{1000};  // run size of each start; the last one repeats
    bool Restart = false;
    std::function<void(int b)> OnAfterBattle;

    int Starts = 0;
    int Fought = 0;  // battles begun, over all runs
    int LastB = 0;
    std::vector<std::vector<TPublication>> Runs;  // publications per run
    std::vector<bool> RunningSeen;
    RunTotals Last;

    int RunSize() override { return Sizes[std::min<size_t>(Starts, Sizes.size() - 1)]; }
    uint32_t RunSeed() override { return 4242u + static_cast<uint32_t>(Starts); }
    bool RestartOnStop() override { return Restart; }
    void RunStarting() override
    {
        ++Starts;
        Runs.emplace_back();
    }
    void BattleStarting(int b, int) override
    {
        ++Fought;
        LastB = b;
    }
    void ReadSetup(TBattleSetupRec& setup) override { setup = Setup; }
    void Publish(const RunTotals& t, const TBattleResultsRec* batch, int count, bool last) override
    {
        int32_t filled = 0;
        for (int i = 0; i < count; ++i) filled += batch[i].Victor != TVictor::None;
        Runs.back().push_back({t.Battles, count, last, filled});
        Last = t;
        EXPECT_EQ(t.AttWins + t.DefWins + t.BothDes + t.AttWithdraws + t.BothRemain, t.Battles);
    }
    void AfterBattle() override
    {
        RunningSeen.push_back(Control.Running);
        if (OnAfterBattle) OnAfterBattle(LastB);
    }

    std::vector<int32_t> PublishedAt(size_t run) const
    {
        std::vector<int32_t> at;
        for (const TPublication& p : Runs.at(run)) at.push_back(p.Battles);
        return at;
    }
};

struct DriverTest : ::testing::Test {
    TRunControl control;
    TFakeHost host{control};
};

TEST_F(DriverTest, PublishesEvery250AndAfterTheLastBattle)
{
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Completed);
    EXPECT_EQ(host.PublishedAt(0), (std::vector<int32_t>{250, 500, 750, 1000}));
    for (const TPublication& p : host.Runs[0]) {
        EXPECT_EQ(p.Count, 250);
        EXPECT_EQ(p.RecordsInBatch, 250);
        EXPECT_EQ(p.Last, p.Battles == 1000);
    }
    EXPECT_FALSE(control.Running);
    EXPECT_FALSE(control.StopRequested);
    EXPECT_EQ(host.RunningSeen.size(), 1000u);
    EXPECT_TRUE(host.RunningSeen.front() && host.RunningSeen.back());
}

TEST_F(DriverTest, ARunNotAMultipleOf250EndsWithItsRemainder)
{
    host.Sizes = {1100};
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Completed);
    EXPECT_EQ(host.PublishedAt(0), (std::vector<int32_t>{250, 500, 750, 1000, 1100}));
    EXPECT_EQ(host.Runs[0].back().Count, 100);
    EXPECT_TRUE(host.Runs[0].back().Last);
    EXPECT_FALSE(host.Runs[0][3].Last);
}

TEST_F(DriverTest, AStopPublishesTheBattlesSoFarAndEnds)
{
    host.OnAfterBattle = [&](int b) {
        if (b == 600) control.StopRequested = true;
    };
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Stopped);
    EXPECT_EQ(host.Fought, 600);
    EXPECT_EQ(host.PublishedAt(0), (std::vector<int32_t>{250, 500, 600}));
    EXPECT_EQ(host.Runs[0].back().Count, 100);
    EXPECT_TRUE(host.Runs[0].back().Last);
    EXPECT_EQ(host.Starts, 1);
    EXPECT_FALSE(control.Running);
}

TEST_F(DriverTest, AStopRightAfterAPublicationStillEndsWithOne)
{
    host.OnAfterBattle = [&](int b) {
        if (b == 250) control.StopRequested = true;
    };
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Stopped);
    ASSERT_EQ(host.Runs[0].size(), 2u);
    EXPECT_EQ(host.Runs[0][1].Battles, 250);
    EXPECT_EQ(host.Runs[0][1].Count, 0);
    EXPECT_TRUE(host.Runs[0][1].Last);
}

TEST_F(DriverTest, RestartOnStopStartsOverWithZeroedTotals)
{
    host.Restart = true;
    host.Sizes = {1000, 300};
    host.OnAfterBattle = [&](int b) {
        if (host.Starts == 1 && b == 400) control.StopRequested = true;
    };
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Completed);
    EXPECT_EQ(host.Starts, 2);
    EXPECT_EQ(host.PublishedAt(0), (std::vector<int32_t>{250, 400}));
    EXPECT_EQ(host.PublishedAt(1), (std::vector<int32_t>{250, 300}));
    EXPECT_EQ(host.Fought, 700);
    EXPECT_FALSE(control.Running);
}

TEST_F(DriverTest, AStopDuringTheLastBattlesYield)
{
    host.Sizes = {500};
    host.OnAfterBattle = [&](int b) {
        if (host.Starts == 1 && b == 500) control.StopRequested = true;
    };
    // Without restart the run is complete: its final figures are out already.
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Completed);
    EXPECT_EQ(host.PublishedAt(0), (std::vector<int32_t>{250, 500}));
    EXPECT_FALSE(control.Running);

    // With restart the odds follow the change made during that yield.
    TFakeHost rolling(control);
    rolling.Sizes = {500, 250};
    rolling.Restart = true;
    rolling.OnAfterBattle = [&](int b) {
        if (rolling.Starts == 1 && b == 500) control.StopRequested = true;
    };
    EXPECT_EQ(RunBattles(control, rolling), TRunEnd::Completed);
    EXPECT_EQ(rolling.Starts, 2);
    EXPECT_EQ(rolling.PublishedAt(0), (std::vector<int32_t>{250, 500}));
    EXPECT_EQ(rolling.PublishedAt(1), (std::vector<int32_t>{250}));
}

TEST_F(DriverTest, AnEmptySetupEndsWithoutPublishing)
{
    host.Setup = TBattleSetupRec{};
    EXPECT_EQ(RunBattles(control, host), TRunEnd::EmptySetup);
    EXPECT_EQ(host.Fought, 1);
    EXPECT_TRUE(host.Runs[0].empty());
    EXPECT_TRUE(control.StopRequested);
    EXPECT_FALSE(control.Running);

    // Emptied in the middle of a run (a manual run reads every battle afresh):
    // the run ends there, even in automatic rolling.
    TRunControl control2;
    TFakeHost emptied(control2);
    emptied.Restart = true;
    emptied.OnAfterBattle = [&](int b) {
        if (b == 300) emptied.Setup = TBattleSetupRec{};
    };
    EXPECT_EQ(RunBattles(control2, emptied), TRunEnd::EmptySetup);
    EXPECT_EQ(emptied.Starts, 1);
    EXPECT_EQ(emptied.PublishedAt(0), (std::vector<int32_t>{250}));
    EXPECT_FALSE(control2.Running);
}

TEST_F(DriverTest, ZeroBattlesFightNothing)
{
    host.Sizes = {0};
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Completed);
    EXPECT_EQ(host.Fought, 0);
    EXPECT_TRUE(host.Runs[0].empty());
    EXPECT_FALSE(control.Running);
}

TEST_F(DriverTest, RefusedWhileSuppressedOrAlreadyRunning)
{
    control.SuppressRuns = true;
    control.StopRequested = true;
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Refused);
    EXPECT_EQ(host.Starts, 0);
    EXPECT_TRUE(control.StopRequested);  // untouched
    EXPECT_FALSE(control.Running);

    control.SuppressRuns = false;
    host.Sizes = {300};
    TRunEnd inner = TRunEnd::Completed;
    host.OnAfterBattle = [&](int b) {
        if (b == 10) inner = RunBattles(control, host);
    };
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Completed);
    EXPECT_EQ(inner, TRunEnd::Refused);
    EXPECT_EQ(host.Starts, 1);
    EXPECT_EQ(host.Fought, 300);
}

TEST_F(DriverTest, RunningIsClearedWhenAHostCallbackThrows)
{
    host.OnAfterBattle = [&](int b) {
        if (b == 5) throw std::runtime_error("window gone");
    };
    EXPECT_THROW(RunBattles(control, host), std::runtime_error);
    EXPECT_FALSE(control.Running);
}

TEST_F(DriverTest, TheSetupIsReadAfreshForEveryBattle)
{
    host.Sizes = {400};
    host.Setup = TBattleSetupRec{};
    host.Setup.AttCount[aARM] = 1;  // against nobody: the attacker wins
    host.OnAfterBattle = [&](int b) {
        if (b == 100) {
            host.Setup.AttCount[aARM] = 0;
            host.Setup.DefCount[dARM] = 1;  // now the defender stands alone
        }
    };
    EXPECT_EQ(RunBattles(control, host), TRunEnd::Completed);
    EXPECT_EQ(host.Last.Battles, 400);
    EXPECT_EQ(host.Last.AttWins, 100);
    EXPECT_EQ(host.Last.DefWins, 300);
}

}  // namespace

namespace {

// The driver prepares the kill lists and values once and reuses them while
// they stay the same; a change of kill order or value between two battles
// must still take effect from the next battle, roll for roll.
TEST_F(DriverTest, KillOrderAndValueChangesTakeEffectFromTheNextBattle)
{
    host.Sizes = {600};
    host.Setup = TBattleSetupRec{};
    host.Setup.AttCount[aINF] = 3;
    host.Setup.AttCount[aFTR] = 2;
    host.Setup.AttCount[aARM] = 1;
    host.Setup.DefCount[dINF] = 3;
    host.Setup.DefCount[dFTR] = 1;
    host.Setup.DefCount[dARM] = 1;
    auto setupFor = [base = host.Setup](int b) {
        TBattleSetupRec s = base;
        if (b > 200) {  // fighters lost first
            const int32_t order[AttKinds] = {2, 3, 1, 4, 5, 6, 7, 8};
            std::copy(order, order + AttKinds, s.AttOrder);
        }
        if (b > 400) s.DefValue[dINF] = 1;
        return s;
    };
    std::vector<TBattleResultsRec> seen;
    struct TRecordingHost : TFakeHost {
        using TFakeHost::TFakeHost;
        std::vector<TBattleResultsRec>* Seen = nullptr;
        std::function<TBattleSetupRec(int)> SetupFor;
        void ReadSetup(TBattleSetupRec& setup) override { setup = SetupFor(LastB); }
        void Publish(const RunTotals& t, const TBattleResultsRec* batch, int count, bool last) override
        {
            Seen->insert(Seen->end(), batch, batch + count);
            TFakeHost::Publish(t, batch, count, last);
        }
    } recording(control);
    recording.Sizes = host.Sizes;
    recording.Seen = &seen;
    recording.SetupFor = setupFor;
    ASSERT_EQ(RunBattles(control, recording), TRunEnd::Completed);
    ASSERT_EQ(seen.size(), 600u);

    TRandom dice(4242u);  // the fake host's seed of its first start
    TBattleEnd end;
    for (int b = 1; b <= 600; ++b) {
        FightBattle(setupFor(b), dice, end);
        ASSERT_TRUE(end.State.SameOutcome(seen[b - 1])) << "battle " << b;
    }
}

}  // namespace
