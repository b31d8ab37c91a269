// The pages' life: exact odds beside every run, and when the pages write.
//
// The setup that a run (or restart) reads for its first battle goes to a
// worker thread; a newer setup cancels the older calculation. The result comes
// back by a queued signal and is kept with the setup it belongs to; the pages
// show it only beside a run of that setup.
#include "Pages/ResultPages.h"

#include <QChartView>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include "Pages/ChartWindow.h"

namespace {

// Calls back when its widget is shown, or double-clicked.
class TWidgetWatcher : public QObject {
public:
    TWidgetWatcher(QObject* parent, QEvent::Type type, std::function<void()> seen)
        : QObject(parent), Type(type), Seen(std::move(seen))
    {
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == Type) Seen();
        return false;
    }

private:
    QEvent::Type Type;
    std::function<void()> Seen;
};

// The watcher belongs to `owner`: it goes with the pages.
void Watch(QObject* owner, QObject* object, QEvent::Type type, std::function<void()> seen)
{
    object->installEventFilter(new TWidgetWatcher(owner, type, std::move(seen)));
}

}  // namespace

TResultPages::TResultPages(const TPageWidgets& widgets, TOutcomeList& live, QObject* parent)
    : QObject(parent), Form(widgets), Live(live)
{
    setObjectName(QStringLiteral("ResultPages"));
    ExactCalculation = [](const TBattleSetupRec& setup, const std::atomic<bool>* cancel) {
        return ComputeExactOdds(setup, cancel);
    };
    connect(&Worker, &TJobSignals::Finished, this, &TResultPages::Finished);
    RefreshTimer.setSingleShot(true);
    connect(&RefreshTimer, &QTimer::timeout, this, [this] { Refresh(true); });
    // A page brought into view catches up at once: by a tab switch, or with the window.
    for (QWidget* page : {Form.TextPage, Form.GraphPage}) Watch(this, page, QEvent::Show, [this] { Refresh(true); });

    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(8);
    Form.Report->setFont(fixed);
    connect(Form.CopyReport, &QPushButton::clicked, this, &TResultPages::CopyReport);

    QChartView* const* views = Form.Charts;
    auto enlarge = new QMenu(Form.Enlarge);
    for (int k = 0; k < ChartKinds; ++k) {
        const auto kind = TChartKind(k);
        PageCharts.push_back(TResultChart::Make(kind, views[k], false));
        Watch(this, views[k]->viewport(), QEvent::MouseButtonDblClick, [this, kind] { Enlarge(kind); });
        enlarge->addAction(ChartTitle(kind), this, [this, kind] { Enlarge(kind); });
    }
    Form.Enlarge->setMenu(enlarge);
}

TResultPages::~TResultPages() { Worker.Stop(); }

void TResultPages::Close()
{
    Closing = true;
    Worker.CancelAll();  // the destructor waits; a cancelled calculation ends within milliseconds
}

bool TResultPages::ShownSetup(TBattleSetupRec& setup) const
{
    if (NoBattle || !ShownKnown) return false;
    setup = Shown;
    return true;
}

void TResultPages::SetupRead(const TBattleSetupRec& setup, bool manual)
{
    RunSetupDue = false;
    RunSetupKnown = true;
    RunSetup = setup;
    RunManual = manual;
    // An empty setup fights nothing; the same setup again (a restart, Go
    // once more) keeps the calculation under way or the result in.
    if (Closing || setup.Empty() || (Requested && setup == RequestSetup)) return;
    Requested = true;
    RequestSetup = setup;
    Odds.reset();
    // The job owns its copies of the setup and of the calculation.
    RequestId = Worker.Start([setup, calculation = ExactCalculation](const std::atomic<bool>& cancel,
                                                                     const TJobWorker<TExactOdds>::TPost&) {
        TExactOdds odds = calculation(setup, &cancel);
        return odds.Status == TExactStatus::Cancelled ? std::nullopt : std::optional<TExactOdds>(std::move(odds));
    });
}

void TResultPages::Finished(quint64 id)
{
    std::optional<TExactOdds> odds = Worker.Take(id);
    if (id != RequestId || !odds) return;  // cancelled, or of an older setup
    Odds = std::move(odds);
    if (RequestSetup != Shown) return;  // its run has not published yet
    MarkDirty();
    Refresh(true);
}

void TResultPages::MarkDirty()
{
    ReportDirty = true;
    for (auto& chart : PageCharts) chart->Dirty = true;
    for (TChartWindow* window : Windows)
        if (window) window->Chart().Dirty = true;
}

void TResultPages::RunStarting()
{
    RunSetupDue = true;
    RunSetupKnown = false;
    // Live is about to fill with this run's outcomes; the shown run's wait aside.
    if (ShownOutcomesIn) std::swap(Live, ShownBefore);
    ShownOutcomesIn = false;
}

void TResultPages::BattleChanged(bool empty)
{
    if (empty == NoBattle) return;
    NoBattle = empty;
    MarkDirty();
    Refresh(true);
}

void TResultPages::Published(const RunTotals& totals, bool last)
{
    NoBattle = false;
    ShownKnown = RunSetupKnown;
    Shown = RunSetup;
    ShownManual = RunManual;
    ShownTotals = totals;
    ShownOutcomesIn = true;
    MarkDirty();
    Refresh(last);
}

TResultPages::TExactState TResultPages::ExactState() const
{
    if (NoBattle || !ShownKnown || !Requested || RequestSetup != Shown) return TExactState::None;
    if (!Odds) return TExactState::Pending;
    switch (Odds->Status) {
    case TExactStatus::Done: return TExactState::Done;
    case TExactStatus::TooLarge: return TExactState::TooLarge;
    default: return TExactState::Failed;  // a cancelled result is never kept
    }
}

const TExactOdds* TResultPages::ShownDone() const { return ExactState() == TExactState::Done ? &*Odds : nullptr; }

QString TResultPages::StatusReason() const
{
    const TExactState state = ExactState();
    return state == TExactState::TooLarge || state == TExactState::Failed ? QString::fromStdString(Odds->Reason)
                                                                         : QString();
}

TChartData TResultPages::ChartData() const
{
    if (NoBattle) {
        TChartData none;
        none.NoBattle = true;
        return none;
    }
    if (!ShownKnown) return {};
    return {&Shown, &ShownTotals, &ShownOutcomes(), ShownDone()};
}

void TResultPages::Enlarge(TChartKind kind)
{
    std::erase_if(Windows, [](const QPointer<TChartWindow>& w) { return w.isNull(); });
    for (TChartWindow* window : Windows)
        if (window->Chart().Kind() == kind) {
            window->raise();
            window->activateWindow();
            return;
        }
    auto window = new TChartWindow(kind, Form.GraphPage->window());
    Watch(this, window, QEvent::Show, [this] { Refresh(true); });
    Windows.emplace_back(window);
    window->show();
}

// Writes what is shown and out of date: at once when `now`, else at most
// every RefreshInterval (a timer catches up with the rest).
void TResultPages::Refresh(bool now)
{
    constexpr int RefreshInterval = 100;  // ms
    const bool report = ReportDirty && Form.TextPage->isVisible();
    const bool page = Form.GraphPage->isVisible() && PageCharts.front()->Dirty;
    bool windows = false;
    for (TChartWindow* window : Windows) windows = windows || (window && window->isVisible() && window->Chart().Dirty);
    if (!report && !page && !windows) return;
    if (!now && SinceWrite.isValid() && SinceWrite.elapsed() < RefreshInterval) {
        if (!RefreshTimer.isActive()) RefreshTimer.start(int(RefreshInterval - SinceWrite.elapsed()));
        return;
    }
    RefreshTimer.stop();
    SinceWrite.start();
    if (report) WriteReport();
    if (page || windows) WriteCharts(page);
}

void TResultPages::WriteCharts(bool pageShown)
{
    const TChartData data = ChartData();
    if (pageShown) {
        ++ChartWrites;
        for (auto& chart : PageCharts) {
            chart->Write(data);
            chart->Dirty = false;
        }
        Form.ExactStatus->setText(StatusText());
        Form.ExactStatus->setToolTip(StatusReason());
    }
    for (TChartWindow* window : Windows)
        if (window && window->isVisible() && window->Chart().Dirty) {
            window->Chart().Write(data);
            window->Chart().Dirty = false;
        }
}
