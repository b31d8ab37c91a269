// Run control: RequestRun, Go and Abort, rolling and luck modes, the round
// limit, and the setup read from the controls.
//
// A run is performed inside the handler that asked for it. Between two
// battles the run dispatches the window's pending events (AfterBattle); a
// handler that runs there only marks the run to stop, and in automatic rolling
// the run then starts over with the new inputs.
//
// Reading the setup: the engine wants the controls' setup at the start of
// every battle, but reading and parsing ~70 controls costs several times as
// much as a typical battle. Every change of an input during a run happens in
// a handler, and every handler runs inside an event dispatched from
// AfterBattle (the results display, which the run calls between battles
// outside any event, writes no input). So while a run is going, an
// application-wide event filter counts the events delivered; the setup is read
// from the controls at the first battle of every run (a restart included) and
// again whenever at least one event has been delivered since the last read,
// and is otherwise the one read before.
#include <algorithm>
#include <chrono>
#include <iterator>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "Dizorivurad/BattleHistory.h"
#include "Dizorivurad/Dizorivurad.h"
#include "Pages/ResultPages.h"
#include "ui_Dizorivurad.h"

// Counts the events the application delivers while it is installed.
class TForm1::TEventCounter : public QObject {
public:
    using QObject::QObject;
    uint64_t Count = 0;
    bool Installed = false;

protected:
    bool eventFilter(QObject*, QEvent*) override
    {
        ++Count;
        return false;
    }
};

namespace {

constexpr int64_t PollInterval = 250'000;  // ns
constexpr int64_t PaintInterval = 16'000'000;  // ns: one frame of a 60 Hz screen
const QString HeavyBomber = QStringLiteral("Hvy B&omber");
const QString TwoHitBattleship = QStringLiteral("2 Hit &BB");
const QString DisableWithdrawal = QStringLiteral("Disabl&e");

// After "Exit" the "Manual Rolling" mark is set while "Auto Rolling" keeps
// its own; from then on no run may start or start over.
bool AutoRolling(const Ui::TForm1* ui)
{
    return ui->AutoRolling->isChecked() && !ui->ManualRolling->isChecked();
}

// A text that is not a number reads as the field's minimum.
int32_t ReadNumber(const QLineEdit* field, int32_t minimum)
{
    bool ok = false;
    const int value = field->text().toInt(&ok);
    return ok ? value : minimum;
}

// An empty or garbled rank reads as 0, which no kill order contains.
int32_t ReadRank(const QPushButton* button)
{
    bool ok = false;
    const int rank = button->text().toInt(&ok);
    return ok ? rank : 0;
}

// b / n as a percentage, rounded to the nearest integer, an exact half to the even one.
int ProgressPercent(int b, int n)
{
    const int64_t scaled = int64_t(b) * 100;
    int64_t q = scaled / n;
    const int64_t twice = 2 * (scaled % n);
    if (twice > n || (twice == n && (q & 1))) ++q;
    return int(q);
}

int64_t SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// ---- Run protocol ----------------------------------------------------------------

void TForm1::RequestRun()
{
    emit RunRequested();
    if (!AutoRolling(ui)) return;
    if (Control.Running) {
        Control.StopRequested = true;
        return;
    }
    // The engine must never read a kill order that is being edited; the edit
    // makes its own request once its last rank is set.
    if (KillOrderIncomplete()) return;
    GoButtonClick();
}

void TForm1::GoButtonClick()
{
    // One run at a time: Go can be pressed during an automatic run after a
    // switch to manual rolling, and must not start a second run inside it.
    if (Control.Running) return;
    // Before the cursor and the buttons change, or they would stay changed.
    if (Control.SuppressRuns || Closing) return;
    if (KillOrderIncomplete()) return;

    const bool manual = ui->ManualRolling->isChecked();
    if (manual) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        ui->AbortButton->move(ui->GoButton->pos());
        ui->GoButton->hide();
        ui->AbortButton->show();
    }

    if (!RunEvents) RunEvents = new TEventCounter(this);
    qApp->installEventFilter(RunEvents);
    RunEvents->Installed = true;
    SetupCacheValid = false;
    NextPollAt = 0;
    HoldPaints();

    // What the player changes while the run lets events through is a change
    // of its own, apart from the one that started the run.
    const TBattleHistory::TSuspended change = History->Suspend();
    RunBattles(Control, *this);
    History->Resume(change);

    qApp->removeEventFilter(RunEvents);
    RunEvents->Installed = false;
    SetupCacheValid = false;

    Control.Running = false;
    ui->AbortButton->hide();
    if (ui->ManualRolling->isChecked()) ui->GoButton->show();
    if (manual) QApplication::restoreOverrideCursor();
    // Last, so that the run's final figures and the buttons as they now are
    // are on the screen when the run returns.
    ReleasePaints();
}

void TForm1::AbortButtonClick()
{
    Control.StopRequested = true;
    ui->AbortButton->hide();
    // In automatic rolling the Go button stays hidden.
    if (ui->ManualRolling->isChecked()) ui->GoButton->show();
}

// ---- Rolling and luck modes ----------------------------------------------------
//
// The menu wiring hands each handler its item's mark as it was before the
// click, so a click on the item that is already checked changes nothing and
// leaves the mark on; the run request follows either way.

void TForm1::AutoRollingClick()
{
    if (!ui->AutoRolling->isChecked()) {
        ui->AutoRolling->setChecked(true);
        ui->ManualRolling->setChecked(false);
        ui->GoButton->setEnabled(false);
        ui->GoButton->hide();
        // A manual run in progress starts over as an automatic one, which
        // only the next input change stops: Abort has nothing left to do.
        ui->AbortButton->hide();
        ui->RunsSpinEdit->setEnabled(false);
        ui->RunsSpinEdit->hide();
    }
    RequestRun();
}

void TForm1::ManualRollingClick()
{
    if (!ui->ManualRolling->isChecked()) {
        ui->ManualRolling->setChecked(true);
        ui->AutoRolling->setChecked(false);
        ui->GoButton->setEnabled(true);
        // While a manual run goes on, Go stays behind the Abort button.
        if (ui->AbortButton->isHidden()) ui->GoButton->show();
        ui->RunsSpinEdit->setEnabled(true);
        ui->RunsSpinEdit->show();
    }
    RequestRun();
}

void TForm1::RegularModeClick()
{
    if (!ui->RegularMode->isChecked()) {
        ui->RegularMode->setChecked(true);
        ui->LowLuckMode->setChecked(false);
    }
    RequestRun();
}

void TForm1::LowLuckModeClick()
{
    if (!ui->LowLuckMode->isChecked()) {
        ui->LowLuckMode->setChecked(true);
        ui->RegularMode->setChecked(false);
    }
    RequestRun();
}

// ---- Round limit -----------------------------------------------------------------

// Setting the limit to 1 runs its own handler only when the value changes.
void TForm1::AllRoundsCheckBoxClick()
{
    const bool allRounds = ui->AllRoundsCheckBox->isChecked();
    ui->RoundsSpinEdit->setEnabled(!allRounds);
    PaintField(ui->RoundsSpinEdit, !allRounds);
    ui->RoundsSpinEdit->setValue(1);
    RequestRun();
}

void TForm1::RoundsSpinEditChange() { RequestRun(); }

// ---- The run host ------------------------------------------------------------------

int TForm1::RunSize() { return ui->AutoRolling->isChecked() ? AutoRollingRuns : ui->RunsSpinEdit->value(); }

uint32_t TForm1::RunSeed() { return SeedHook ? SeedHook() : ClockSeed(); }

bool TForm1::RestartOnStop() { return !ui->ManualRolling->isChecked(); }

void TForm1::BattleStarting(int b, int n)
{
    if (b == 1) SetupCacheValid = false;  // a run or a restart reads the controls afresh
    const int percent = ProgressPercent(b, n);
    if (ui->ProgressBar1->value() != percent) ui->ProgressBar1->setValue(percent);
}

// The only place where other handlers run during a run. The program's own
// posted events (queued calls, repaints, ...) are delivered after every
// battle. Input from the window system, timers and notifiers need a poll of
// the system, which costs several times a typical battle; it is made after
// every battle too unless the last one is less than PollInterval old, so a
// click is handled at most a fraction of a millisecond later than otherwise.
void TForm1::AfterBattle()
{
    const int64_t now = SteadyNanoseconds();
    if (now >= NextPollAt) {
        NextPollAt = now + PollInterval;
        QCoreApplication::processEvents();
    } else {
        QCoreApplication::sendPostedEvents();
    }
}

// ---- Painting during a run ----------------------------------------------------------
//
// A publication every 250 battles, a battle every fraction of a microsecond:
// painting each publication would cost the run several times its battles.
// The texts are still written at every publication; only the painting waits
// for the next frame. Every repaint of the window goes through one update
// request to the window itself (a widget's repaint() included), so holding
// that request back holds back all painting, and one delivered request paints
// everything that changed meanwhile. Held requests are delivered by a timer,
// which also runs in the nested waits of a kill-order edit or a dialog.

bool TForm1::event(QEvent* event)
{
    if (PaintsHeld && event->type() == QEvent::UpdateRequest) {
        const int64_t now = SteadyNanoseconds();
        if (now < NextPaintAt) {
            // The window's painter now waits for this request: until it is
            // delivered, later changes post none of their own.
            PaintPending = true;
            if (!PaintClock->isActive()) PaintClock->start(int((NextPaintAt - now + 999'999) / 1'000'000));
            return true;
        }
        NextPaintAt = now + PaintInterval;
        PaintPending = false;
    }
    return QMainWindow::event(event);
}

void TForm1::HoldPaints()
{
    if (!PaintClock) {
        PaintClock = new QTimer(this);
        PaintClock->setSingleShot(true);
        PaintClock->setTimerType(Qt::PreciseTimer);
        // Should the timer fire early, the request is held again.
        connect(PaintClock, &QTimer::timeout, this, &TForm1::DeliverHeldPaint);
    }
    PaintsHeld = true;
    PaintPending = false;
    // What the click or key that started the run changed is painted one
    // frame later, with the run's first figures.
    NextPaintAt = SteadyNanoseconds() + PaintInterval;
}

void TForm1::ReleasePaints()
{
    PaintsHeld = false;
    if (PaintClock) PaintClock->stop();
    DeliverHeldPaint();
}

void TForm1::DeliverHeldPaint()
{
    if (!PaintPending) return;
    PaintPending = false;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(this, &request);
}

void TForm1::ReadSetup(TBattleSetupRec& setup)
{
    const bool current = SetupCacheValid && RunEvents && RunEvents->Installed && RunEvents->Count == SetupReadAt;
    if (!current) {
        ReadControls(SetupCache);
        SetupCacheValid = true;
        if (RunEvents) SetupReadAt = RunEvents->Count;
    }
    setup = SetupCache;
    if (Pages->SetupDue()) Pages->SetupRead(setup, ui->ManualRolling->isChecked());  // to the exact odds
}

bool TForm1::CurrentSetup(TBattleSetupRec& setup) const
{
    if (KillOrderIncomplete()) return false;
    ReadControls(setup);
    return true;
}

void TForm1::ReadControls(TBattleSetupRec& setup) const
{
    const std::array<QSpinBox*, AttKinds> attCounts = AttCountEdits();
    const std::array<QSpinBox*, DefKinds> defCounts = DefCountEdits();
    for (int k = 0; k < AttKinds; ++k) setup.AttCount[k] = attCounts[k]->value();
    for (int k = 0; k < DefKinds; ++k) setup.DefCount[k] = defCounts[k]->value();

    // The transport's field is shown but never read: transports do not fire.
    const QLineEdit* const attValues[AttKinds] = {ui->AttInfEdit, ui->AttArmEdit, ui->AttFtrEdit, ui->AttBmrEdit,
                                                  ui->AttBBEdit,  ui->AttACEdit,  nullptr,         ui->AttSubEdit};
    const QLineEdit* const defValues[DefKinds] = {ui->DefInfEdit, ui->DefArmEdit, ui->DefFtrEdit,
                                                  ui->DefJFtrEdit, ui->DefBmrEdit, ui->DefBBEdit,
                                                  ui->DefACEdit,  ui->DefTrnEdit, ui->DefSubEdit};
    for (int k = 0; k < AttKinds; ++k)
        setup.AttValue[k] = attValues[k] ? ReadNumber(attValues[k], 0) : DefaultAttValue[k];
    for (int k = 0; k < DefKinds; ++k) setup.DefValue[k] = ReadNumber(defValues[k], 0);

    const std::array<QLineEdit*, AttKinds> attPrices = AttIPCFields();
    const std::array<QLineEdit*, DefKinds> defPrices = DefIPCFields();
    for (int k = 0; k < AttKinds; ++k) setup.AttIPC[k] = ReadNumber(attPrices[k], 0);
    for (int k = 0; k < DefKinds; ++k) setup.DefIPC[k] = ReadNumber(defPrices[k], 0);

    const std::array<QPushButton*, AttKinds> attRanks = AttHitOrderButtons();
    const std::array<QPushButton*, DefKinds> defRanks = DefHitOrderButtons();
    for (int k = 0; k < AttKinds; ++k) setup.AttOrder[k] = ReadRank(attRanks[k]);
    for (int k = 0; k < DefKinds; ++k) setup.DefOrder[k] = ReadRank(defRanks[k]);
    // No run starts while an order is being edited, and an edit begun during a
    // run holds that run until its last rank is set, so the ranks are complete
    // here. Should a side's ranks ever not form an order all the same, that
    // side fights with its default order: the casualty steps index by rank.
    if (!IsKillOrder(setup.AttOrder, AttKinds))
        std::copy(std::begin(DefaultAttOrder), std::end(DefaultAttOrder), setup.AttOrder);
    if (!IsKillOrder(setup.DefOrder, DefKinds))
        std::copy(std::begin(DefaultDefOrder), std::end(DefaultDefOrder), setup.DefOrder);

    setup.HvyBomber = ui->AttBmrButton->text() == HeavyBomber;
    setup.TwoHitBB = ui->DefBBButton->text() == TwoHitBattleship;
    setup.AAGun = ui->AACheckBox->isChecked();
    setup.TakeWith = ui->TakeWithCheckBox->isChecked();
    setup.SaveAir = ui->SaveAirCheckBox->isChecked();
    setup.AttWithSubsAirOnly = ui->AttWithSubsAirOnlyCheckBox->isChecked();
    setup.DefWithSubsAirOnly = ui->DefWithSubsAirOnlyCheckBox->isChecked();
    setup.DefWithSubs1stRnd = ui->DefWithSubs1stRndCheckBox->isChecked();
    setup.Withdrawal = ui->WithdrawalButton->text() == DisableWithdrawal;
    setup.AttWith = ui->AttWithSpinEdit->value();
    setup.DefWith = ui->DefWithSpinEdit->value();
    setup.DefWithLess = ui->DefWithLessSpinEdit->value();
    setup.AllRounds = ui->AllRoundsCheckBox->isChecked();
    setup.Rounds = ui->RoundsSpinEdit->value();
    setup.LowLuck = ui->LowLuckMode->isChecked();
}
