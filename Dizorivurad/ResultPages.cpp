// Exact odds beside every run. The setup that a run (or restart) reads for its
// first battle goes to a worker thread; a newer setup cancels the older
// calculation. The result comes back by a queued signal and is kept with the
// setup it belongs to; the pages show it only beside a run of that setup.
#include <QEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>

#include "Dizorivurad/ResultPages.h"
#include "ui_Dizorivurad.h"

namespace {

class TShowWatcher : public QObject {
public:
    TShowWatcher(QObject* parent, std::function<void()> shown) : QObject(parent), Shown(std::move(shown)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show) Shown();
        return false;
    }

private:
    std::function<void()> Shown;
};

}  // namespace

void TForm1::SetUpPages()
{
    ExactCalculation = [](const TBattleSetupRec& setup, const std::atomic<bool>* cancel) {
        return ComputeExactOdds(setup, cancel);
    };
    Pages = new TPagesState;
    connect(&Pages->Worker, &TExactWorker::Finished, this, &TForm1::ExactOddsFinished, Qt::QueuedConnection);
    Pages->Refresh.setSingleShot(true);
    connect(&Pages->Refresh, &QTimer::timeout, this, [this] { RefreshPages(true); });
    // A page brought into view catches up at once: by a tab switch, or with the window.
    for (QWidget* page : {ui->TabSheet2, ui->TabSheet3}) page->installEventFilter(new TShowWatcher(page, [this] {
        RefreshPages(true);
    }));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(8);
    ui->TextResultsEdit->setFont(fixed);
    connect(ui->CopyReportButton, &QPushButton::clicked, this, &TForm1::CopyReportButtonClick);
    SetUpCharts();
}

void TForm1::ClosePages()
{
    if (!Pages) return;
    Pages->Worker.Stop();
    delete Pages;
    Pages = nullptr;
}

void TForm1::CancelExactOdds()
{
    if (Pages) Pages->Worker.CancelAll();
}

bool TForm1::ExactOddsPending() const { return Pages->Worker.Busy(); }

bool TForm1::PagesSetup(TBattleSetupRec& setup) const
{
    if (!Pages->ShownKnown) return false;
    setup = Pages->ShownSetup;
    return true;
}

void TForm1::RunSetupRead(const TBattleSetupRec& setup)
{
    RunSetupDue = false;
    TPagesState& p = *Pages;
    p.RunSetupKnown = true;
    p.RunSetup = setup;
    p.RunManual = ui->ManualRolling->isChecked();
    // An empty setup fights nothing; the same setup again (a restart, Go
    // once more) keeps the calculation under way or the result in.
    if (Closing || setup.Empty() || (p.Requested && setup == p.RequestSetup)) return;
    p.Requested = true;
    p.RequestSetup = setup;
    p.Odds.reset();
    p.RequestId = p.Worker.Start(setup, ExactCalculation);
}

void TForm1::ExactOddsFinished(quint64 id)
{
    TPagesState& p = *Pages;
    std::optional<TExactOdds> odds = p.Worker.Take(id);
    if (id != p.RequestId || !odds) return;  // cancelled, or of an older setup
    p.Odds = std::move(odds);
    if (p.RequestSetup != p.ShownSetup) return;  // its run has not published yet
    p.ReportDirty = p.ChartsDirty = true;
    RefreshPages(true);
}

void TForm1::PagesRunStarting()
{
    RunSetupDue = true;
    TPagesState& p = *Pages;
    p.RunSetupKnown = false;
    // OutcomeList is about to fill with this run's outcomes; the shown run's
    // wait aside (a swap: nothing is copied).
    if (p.ShownOutcomes) std::swap(OutcomeList, p.ShownBefore);
    p.ShownOutcomes = false;
}

const TOutcomeList& TForm1::ShownOutcomeList() const
{
    return Pages->ShownOutcomes ? OutcomeList : Pages->ShownBefore;
}

void TForm1::PagesPublished(const RunTotals& totals, bool last)
{
    TPagesState& p = *Pages;
    p.ShownKnown = p.RunSetupKnown;
    p.ShownSetup = p.RunSetup;
    p.ShownManual = p.RunManual;
    p.ShownTotals = totals;
    p.ShownOutcomes = true;
    p.ReportDirty = p.ChartsDirty = true;
    RefreshPages(last);
}

// Writes the shown page when it is out of date: at once when `now`, else at
// most every RefreshInterval (a timer catches up with the rest).
void TForm1::RefreshPages(bool now)
{
    constexpr int RefreshInterval = 100;  // ms
    if (!Pages) return;  // the window is going
    TPagesState& p = *Pages;
    const bool report = p.ReportDirty && ui->TabSheet2->isVisible();
    const bool charts = p.ChartsDirty && ui->TabSheet3->isVisible();
    if (!report && !charts) return;
    if (!now && p.SinceWrite.isValid() && p.SinceWrite.elapsed() < RefreshInterval) {
        if (!p.Refresh.isActive()) p.Refresh.start(int(RefreshInterval - p.SinceWrite.elapsed()));
        return;
    }
    p.Refresh.stop();
    p.SinceWrite.start();
    if (report) WriteReport();
    if (charts) WriteCharts();
}
