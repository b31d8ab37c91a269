// A randomized player: thousands of random actions on the real window, in
// both rolling modes, with short runs and a fixed seed, checking after every
// action that the window is still consistent.
//
// Actions happen at three depths, as a player's would: at the top, between
// runs; inside a run's dispatch of events after a battle (a burst of actions
// posted before a top-level action); and inside the wait of a kill-order edit
// (each edit posts a feeder first that keeps clicking, mostly ranks, until its
// side's order is complete). Everything is driven by posted calls and one
// std::mt19937 with a constant seed, so a run of the test is reproducible.
//
// The exact odds come from a slow stand-in on the window's worker thread,
// whose figures are made from the setup: the player switches to the result
// pages and copies the report while calculations run, and checks that the
// report's exact figures are always those of the battle it describes. Only
// the pages depend on when a calculation ends; the inputs, the panel and the
// grid, and so the digest, do not.
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <array>
#include <random>

#include "tests/window/Pages/PagesTestSupport.h"
#include "tests/window/WindowTestSupport.h"

namespace {

const char* const OptionBoxes[] = {"TakeWithCheckBox",          "AttIndTechCheckBox", "AttWithSubsAirOnlyCheckBox",
                                   "SaveAirCheckBox",           "AACheckBox",         "DefIndTechCheckBox",
                                   "DefWithSubs1stRndCheckBox", "DefWithSubsAirOnlyCheckBox", "AllRoundsCheckBox"};
const char* const PlainButtons[] = {
    "AttBmrButton",         "AttSubButton",        "AttBBButton",        "DefBBButton",
    "WithdrawalButton",     "AdvAAButton",         "AdvancedKillOrderButton", "DefaultAttKillOrderButton",
    "DefaultDefKillOrderButton", "FlipFlopButton", "ResetAttUnitsButton", "ResetDefUnitsButton",
    "ResetAllSettingsButton", "Mem1Button",        "Mem2Button",         "Mem3Button",
    "Recall1Button",        "Recall2Button",       "Recall3Button",      "GoButton",
    "AbortButton",          "Button1"};
const char* const MenuItems[] = {"AutoRolling", "ManualRolling", "RegularMode", "LowLuckMode", "KeepWindowOnTop1"};
const char* const PanelFields[] = {"ProbAttWins1",   "ProbDefWins1",   "ProbBothDes1", "ProbBothRemain1",
                                   "ProbAttWithdraws1", "AvgAttIPCLoss1", "AvgDefIPCLoss1", "AvgRounds1"};

bool IsPermutation(const QStringList& captions)
{
    std::vector<int32_t> ranks;
    for (const QString& caption : captions) {
        bool ok = false;
        ranks.push_back(caption.toInt(&ok));
        if (!ok) return false;
    }
    return IsKillOrder(ranks.data(), int(ranks.size()));
}

class TRandomPlayer {
public:
    TRandomPlayer(TWindowFixture& window, uint32_t seed, bool manual, int calculationMs = 8)
        : W(window), Counter(window.Form(), 20), Rng(seed)
    {
        Pages(W.Form()).ExactCalculation = SlowExact(Calculations, calculationMs);
        for (int k = 0; k < AttKinds; ++k) {
            AttCounts[k] = W.Spin(AttCountNames[k]);
            AttRanks[k] = W.Button(AttRankNames[k]);
        }
        for (int k = 0; k < DefKinds; ++k) {
            DefCounts[k] = W.Spin(DefCountNames[k]);
            DefRanks[k] = W.Button(DefRankNames[k]);
        }
        for (int i = 0; i < 3; ++i) Thresholds[i] = W.Spin(ThresholdNames[i]);
        Recalls = {W.Button("Recall1Button"), W.Button("Recall2Button"), W.Button("Recall3Button")};
        if (manual) {
            W.UseManualRolling();
            W.Spin("RunsSpinEdit")->setValue(40);
        }
    }

    // Plays until `actions` actions have been made. Returns false as soon as
    // a check has failed (the failure is already reported).
    bool Play(int actions)
    {
        while (Done < actions && !Failed) {
            if (Pick(100) < 12) {
                const int burst = 1 + Pick(3);
                Post([this, burst] {
                    if (W.Form().Control.Running) ++BurstsInRuns;
                    for (int i = 0; i < burst && !Failed; ++i) Step();
                });
            }
            Step();
            // A burst that no run delivered is delivered now, at the top.
            QCoreApplication::processEvents();
            CheckAtTop();
            if (Pick(100) < 5) WaitForCalculations();
            if (Done % 500 < 4) W.ClearMessages();
        }
        return !Failed;
    }

    // Everything a player sees of the inputs and results, folded into one number.
    size_t Digest()
    {
        QStringList all = WindowContents(W);
        all << W.Label("RunsLabel")->text() << W.Label("GridResultsLabel")->text();
        for (const char* name : PanelFields) all << W.Edit(name)->text();
        const QAbstractItemModel* grid = Grid()->model();
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount(); ++c) all << grid->index(r, c).data().toString();
        all << QString::number(Counter.Runs) << QString::number(Done);
        return qHash(all.join(u'|'));
    }

    // What the play went through, for the log.
    QString Summary() const
    {
        return QStringLiteral("%1 actions, %2 runs, %3 edits (%4 nested, %5 during a run), %6 bursts during a run, "
                              "%7 exact calculations (%8 cancelled), %9 reports with exact figures")
            .arg(Done)
            .arg(Counter.Runs)
            .arg(Edits)
            .arg(NestedEdits)
            .arg(EditsInRuns)
            .arg(BurstsInRuns)
            .arg(Calculations->Calls.load())
            .arg(Calculations->Cancelled.load())
            .arg(ExactReports);
    }

    // Closes the window as the player would, inside a run's dispatch when
    // one is going on at the next action.
    void CloseSoon()
    {
        Post([this] { W.Form().close(); });
        Step();
        QCoreApplication::processEvents();
    }

    std::shared_ptr<TSlowExactCounts> Calculations = std::make_shared<TSlowExactCounts>();

private:
    int Pick(int n) { return int(Rng() % uint32_t(n)); }
    // Posted calls belong to the player: any still pending when it goes are dropped.
    void Post(std::function<void()> call) { QTimer::singleShot(0, &Context, std::move(call)); }

    QStringList Ranks(bool attacker) const
    {
        QStringList captions;
        if (attacker)
            for (const QPushButton* rank : AttRanks) captions << rank->text();
        else
            for (const QPushButton* rank : DefRanks) captions << rank->text();
        return captions;
    }
    bool Ordered(bool attacker) const { return IsPermutation(Ranks(attacker)); }
    template <size_t N>
    const char* PickName(const char* const (&names)[N])
    {
        return names[Pick(int(N))];
    }
    QTableView* Grid() { return W.Find<QTableView>("StringGrid1"); }

    // One action and the checks after it.
    void Step()
    {
        if (Failed) return;
        Act();
        ++Done;
        CheckAnywhere();
    }

    void Act()
    {
        const int roll = Pick(1000);
        if (roll < 300) return ChangeCount();
        if (roll < 420) return ToggleOption();
        if (roll < 600) return PressButton();
        if (roll < 660) return ClickRank(Pick(2) == 0);
        if (roll < 720) return ChangeThresholdOrLimit();
        if (roll < 760) return EditSide(Pick(2) == 0);
        if (roll < 800) return ClickHeader();
        if (roll < 815) return ChooseMenu();
        if (roll < 830) return TypeIntoField();
        if (roll < 840) return ChangeRunLengths();
        if (roll < 900) return SwitchPage();
        if (roll < 910) return CopyReport();
        return PressButton();
    }

    void ChangeCount()
    {
        QSpinBox* count = PickCount();
        if (!count->isEnabled()) return;
        const int roll = Pick(100);
        if (roll < 70)
            count->setValue(Pick(4));
        else if (roll < 90)
            count->setValue(Pick(13));
        else if (roll < 99)
            count->stepBy(Pick(2) == 0 ? 1 : -1);
        else
            count->setValue(Pick(2) == 0 ? 999 : 60 + Pick(60));
    }

    void ToggleOption() { W.Check(PickName(OptionBoxes))->click(); }

    // Clicks as the player can: a hidden or disabled button does nothing.
    void PressButton()
    {
        QPushButton* button = W.Button(PickName(PlainButtons));
        if (button->isVisibleTo(&W.Form())) button->click();
    }

    QSpinBox* PickCount() { return Pick(2) == 0 ? AttCounts[Pick(AttKinds)] : DefCounts[Pick(DefKinds)]; }

    void ClickRank(bool attacker) { (attacker ? AttRanks[Pick(AttKinds)] : DefRanks[Pick(DefKinds)])->click(); }

    void ChangeThresholdOrLimit()
    {
        QSpinBox* field = Pick(4) == 0 ? W.Spin("RoundsSpinEdit") : Thresholds[Pick(3)];
        if (field->isEnabled()) field->setValue(Pick(3) == 0 ? Pick(1000) : Pick(8));
    }

    // Starts an edit; its feeder, posted first, is delivered by the edit's own wait.
    void EditSide(bool attacker)
    {
        if (EditsUnderWay >= 3) return ClickRank(attacker);
        Post([this, attacker] { Feed(attacker); });
        // Feeders make a stall impossible; should one happen all the same,
        // it fails the test instead of hanging it.
        QTimer stall;
        stall.setSingleShot(true);
        QObject::connect(&stall, &QTimer::timeout, &Context, [this] {
            Fail("a kill-order edit stalled");
            W.Button("DefaultAttKillOrderButton")->click();
            W.Button("DefaultDefKillOrderButton")->click();
        });
        stall.start(EventWaitMs);
        ++EditsUnderWay;
        ++Edits;
        NestedEdits += EditsUnderWay > 1;
        EditsInRuns += W.Form().Control.Running;
        W.Button(attacker ? "EditAttKillOrderButton" : "EditDefKillOrderButton")->click();
        --EditsUnderWay;
    }

    // Drives an edit: a few actions, mostly clicks on that side's ranks, and
    // again later while the side's order is incomplete.
    void Feed(bool attacker)
    {
        if (Failed) {  // no more play: end the edits at once, so that the failure is reported
            W.Button("DefaultAttKillOrderButton")->click();
            W.Button("DefaultDefKillOrderButton")->click();
            return;
        }
        const int actions = 1 + Pick(3);
        for (int i = 0; i < actions && !Failed; ++i) {
            if (Pick(10) < 7) {
                ClickRank(Pick(5) == 0 ? !attacker : attacker);
                ++Done;
                CheckAnywhere();
            } else {
                Step();
            }
        }
        if (!Ordered(attacker)) Post([this, attacker] { Feed(attacker); });
    }

    void ClickHeader() { W.Form().StringGrid1MouseUp(Pick(460) - 10, Pick(50) - 10); }

    void ChooseMenu() { W.Choose(PickName(MenuItems)); }

    // Typing, garbage included: the field keeps only what it accepts.
    void TypeIntoField()
    {
        static const char* const texts[] = {"7", "12", "x", "-3", "1000", ""};
        QSpinBox* field = PickCount();
        if (!field->isEnabled()) return;
        field->selectAll();
        QTest::keyClicks(field, PickName(texts));
    }

    // Run lengths: the manual Runs field as the player sets it, and the
    // length of automatic runs, which only a test can shorten.
    void ChangeRunLengths()
    {
        static const int manual[] = {0, 1, 40, 250, 260};
        static const int automatic[] = {1, 5, 20, 20, 260};
        QSpinBox* runs = W.Spin("RunsSpinEdit");
        if (Pick(2) == 0 && runs->isEnabled())
            runs->setValue(manual[Pick(5)]);
        else
            W.Form().AutoRollingRuns = automatic[Pick(5)];
    }

    void SwitchPage() { W.Find<QTabWidget>("PageControl1")->setCurrentIndex(Pick(3)); }

    void CopyReport()
    {
        QPushButton* copy = W.Button("CopyReportButton");
        if (!copy->isVisibleTo(&W.Form())) return;
        copy->click();
        Expect(QGuiApplication::clipboard()->text() == ReportText(W.Form()), "the clipboard differs from the report");
    }

    // Lets the calculations under way come in. Only at the top, where no
    // posted call of the player is pending: the wait dispatches events for
    // as long as the calculations take.
    void WaitForCalculations()
    {
        Expect(WaitForExactOdds(W.Form()), "an exact calculation never came back");
        CheckReport();
    }

    void Fail(const QString& what)
    {
        if (Failed) return;
        Failed = true;
        QTest::qFail(qPrintable(QStringLiteral("after action %1: %2").arg(Done).arg(what)), __FILE__, __LINE__);
    }

    void Expect(bool condition, const char* what)
    {
        if (!condition) Fail(QString::fromLatin1(what));
    }

    // What holds at every moment, inside runs and edits too.
    void CheckAnywhere()
    {
        for (const QSpinBox* count : AttCounts) Expect(InRange(count, 0, MaxCount), "attacker count out of range");
        for (const QSpinBox* count : DefCounts) Expect(InRange(count, 0, MaxCount), "defender count out of range");
        for (const QSpinBox* field : Thresholds) Expect(InRange(field, 0, MaxCount), "threshold out of range");
        Expect(InRange(W.Spin("RoundsSpinEdit"), 1, 999), "round limit out of range");
        Expect(InRange(W.Spin("RunsSpinEdit"), 0, 100000), "run length out of range");

        const bool attOrdered = Ordered(true);
        const bool defOrdered = Ordered(false);
        if (EditsUnderWay == 0) {
            Expect(attOrdered && defOrdered, "ranks are not a kill order with no edit under way");
            Expect(!W.Form().KillOrderIncomplete(), "order reported incomplete with no edit under way");
        } else {
            Expect(W.Form().KillOrderIncomplete(), "order reported complete during an edit");
        }
        for (int slot = 0; slot < 3; ++slot) {
            const TStoredBattleRec& memory = W.Form().BattleMemory[size_t(slot)];
            if (!Recalls[size_t(slot)]->isEnabled()) continue;
            QStringList att, def;
            for (const QString& c : memory.AttOrderCaption) att << c;
            for (const QString& c : memory.DefOrderCaption) def << c;
            Expect(IsPermutation(att) && IsPermutation(def), "a memory slot holds an incomplete order");
        }
        CheckPublication();
        CheckReport();
    }

    // The report's exact figures are those of the battle it describes: the
    // stand-in makes them from the infantry and armour counts.
    void CheckReport()
    {
        const QString report = ReportText(W.Form());
        const QStringList exact = ReportColumn(report, 2);
        if (exact.front().isEmpty()) return;
        ++ExactReports;
        TBattleSetupRec described;
        static const QRegularExpression count(QStringLiteral("(\\d+) (INF|ARM)\\b"));
        for (const QString& line : report.split(u'\n')) {
            const bool att = line.startsWith(QLatin1String("Attacker: "));
            if (!att && !line.startsWith(QLatin1String("Defender: "))) continue;
            for (const QRegularExpressionMatch& m : count.globalMatch(line)) {
                const int slot = m.captured(2) == QLatin1String("INF") ? 0 : 1;  // the same slots on both sides
                (att ? described.AttCount : described.DefCount)[slot] = m.captured(1).toInt();
            }
        }
        const std::vector<double> values = ExactValues(FakeOdds(described));
        bool same = true;
        for (int row = 0; row < PanelRows; ++row) same = same && Agrees(exact[row], values[size_t(row)]);
        Expect(same, "the report shows exact figures of another battle");
    }

    // The panel and the grid show the last publication: "Runs:" the battles
    // grouped into the outcome list, the grid one row per outcome.
    void CheckPublication()
    {
        const TOutcomeList& outcomes = W.Form().OutcomeList;
        if (outcomes.Size() == 0) return;  // this run has not published yet
        int64_t battles = 0;
        for (const TBattleResultsRec& outcome : outcomes.Entries()) battles += outcome.Instances;
        Expect(W.Label("RunsLabel")->text() == QStringLiteral("Runs: %1").arg(battles), "Runs: differs from the outcomes");
        const int rows = Grid()->model()->rowCount();
        Expect(rows == int(outcomes.Size()), "grid rows differ from the outcome list");
        Expect(W.Label("GridResultsLabel")->text().startsWith(QStringLiteral("Complete Results - %1 Instances").arg(rows)),
               "grid label differs from the grid");
    }

    // What holds whenever no handler is on the stack.
    void CheckAtTop()
    {
        if (Failed) return;
        Expect(!W.Form().Control.Running, "Running set with no run in progress");
        Expect(!W.Form().Control.SuppressRuns, "SuppressRuns left set");
        Expect(EditsUnderWay == 0, "an edit outlived its click");
        Expect(!W.Button("AbortButton")->isVisibleTo(&W.Form()), "Abort shown with no run in progress");
        Expect(W.Button("GoButton")->isVisibleTo(&W.Form()) == W.Action("ManualRolling")->isChecked(),
               "Go shown in the wrong rolling mode");
        // A shown report is up to date once no run is going on.
        TBattleSetupRec shown;
        if (W.Find<QWidget>("TabSheet2")->isVisible() && Pages(W.Form()).ShownSetup(shown)) {
            const QString runs = W.Label("RunsLabel")->text().mid(6);
            const QString battles = runs == QStringLiteral("1") ? QStringLiteral(" (1 battle)\n") : QStringLiteral(" (%1 battles)\n").arg(runs);
            Expect(ReportText(W.Form()).contains(battles), "the report's run differs from the panel's");
        }
    }

    static bool InRange(const QSpinBox* field, int low, int high)
    {
        return field->value() >= low && field->value() <= high;
    }

    TWindowFixture& W;
    TRunCounter Counter;
    std::mt19937 Rng;
    QObject Context;
    std::array<QSpinBox*, AttKinds> AttCounts{};
    std::array<QSpinBox*, DefKinds> DefCounts{};
    std::array<QPushButton*, AttKinds> AttRanks{};
    std::array<QPushButton*, DefKinds> DefRanks{};
    std::array<QSpinBox*, 3> Thresholds{};
    std::array<QPushButton*, 3> Recalls{};
    int Done = 0;
    int EditsUnderWay = 0;
    int Edits = 0;
    int NestedEdits = 0;
    int EditsInRuns = 0;
    int BurstsInRuns = 0;
    int ExactReports = 0;
    bool Failed = false;
};

}  // namespace

class RandomActionsTest : public QObject {
    Q_OBJECT

private slots:
    void sameSeedSamePlay();
    void randomPlayStartingInAutomaticRolling();
    void randomPlayStartingInManualRolling();
    void closingWhileCalculating();
};

void RandomActionsTest::sameSeedSamePlay()
{
    size_t digests[2] = {};
    for (size_t& digest : digests) {
        TWindowFixture w;
        TRandomPlayer player(w, 20040306u, false);
        QVERIFY(player.Play(400));
        digest = player.Digest();
        qInfo("%s", qPrintable(player.Summary()));
    }
    QCOMPARE(digests[0], digests[1]);
}

void RandomActionsTest::randomPlayStartingInAutomaticRolling()
{
    TWindowFixture w;
    TRandomPlayer player(w, 20040306u, false);
    QVERIFY(player.Play(5000));
    qInfo("%s", qPrintable(player.Summary()));
}

void RandomActionsTest::randomPlayStartingInManualRolling()
{
    TWindowFixture w;
    TRandomPlayer player(w, 1962u, true);
    QVERIFY(player.Play(5000));
    qInfo("%s", qPrintable(player.Summary()));
}

QTEST_MAIN(RandomActionsTest)
#include "RandomActionsTest.moc"

// The window closed at random moments, during runs and calculations: the
// calculations are cancelled, the worker joined, nothing is left running.
void RandomActionsTest::closingWhileCalculating()
{
    int cancelled = 0;
    for (uint32_t round = 0; round < 12; ++round) {
        std::shared_ptr<TSlowExactCounts> calculations;
        {
            TWindowFixture w;
            TRandomPlayer player(w, 1000u + round, round % 2 == 1, 40);
            calculations = player.Calculations;
            QVERIFY(player.Play(int(40 + 15 * round)));
            player.CloseSoon();
        }
        // The window has joined its threads: no calculation is still counting.
        cancelled += calculations->Cancelled.load();
        QCOMPARE(calculations.use_count(), 1L);
    }
    qInfo("%d calculations cancelled by edits and closes", cancelled);
    QVERIFY(cancelled > 0);
}
