// The main window as a whole: construction and wiring, show and close,
// the "&Main" menu, "Abo&ut", message boxes and the entry-field colours.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>

#include "About/AboutForm.h"
#include "BattleFiles/BattleFiles.h"
#include "Planner/PlannerForm.h"
#include "Dizorivurad/BattleHistory.h"
#include "Turn/TurnForm.h"
#include "Dizorivurad/Dizorivurad.h"
#include "Pages/ResultPages.h"
#include "ui_Dizorivurad.h"

std::function<void(bool warning, const QString& text)> TForm1::MessageHook;

namespace {

constexpr int ClientWidth = 662;
constexpr int ClientHeight = 546;
const QString Edition = QStringLiteral("March 6th 2004 Edition");

// The check marks of the menu belong to the handlers: each one looks at its
// item as it was before the click ("if it was not checked: check it ...").
// Qt toggles a checkable action before it emits triggered, so the toggle is
// undone first; a click on a checked item therefore never clears it by itself.
// Each item's choice is one change of the battle's undo history.
void ConnectMenuItem(TForm1* form, QAction* item, void (TForm1::*handler)())
{
    QObject::connect(item, &QAction::triggered, form, [form, item, handler](bool checked) {
        if (item->isCheckable()) {
            const QSignalBlocker blocker(item);
            item->setChecked(!checked);
        }
        const TBattleHistory::TChange change(form->UndoHistory(), ChangeNameOf(item->text()));
        (form->*handler)();
    });
}

// Read-only to-hit and IPC fields look like part of the panel, not like entries.
void PaintButtonFace(QLineEdit* field)
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Active, QPalette::Button));
    field->setPalette(palette);
}

void SetGlyph(QPushButton* button, QStyle::StandardPixmap glyph)
{
    button->setIcon(button->style()->standardIcon(glyph, nullptr, button));
    button->setIconSize(QSize(14, 14));
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TForm1)
{
    ui->setupUi(this);

    // Fixed frame: minimize and close only, client area 662 x 546 under the menu.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    centralWidget()->setFixedSize(ClientWidth, ClientHeight);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();  // fix the frame now, before a native window exists

    // Glyph buttons of the options panel: the attacker's point left, the defender's right.
    SetGlyph(ui->ResetAttUnitsButton, QStyle::SP_ArrowLeft);
    SetGlyph(ui->ResetDefUnitsButton, QStyle::SP_ArrowRight);
    SetGlyph(ui->EditAttKillOrderButton, QStyle::SP_FileDialogDetailedView);
    SetGlyph(ui->EditDefKillOrderButton, QStyle::SP_FileDialogDetailedView);
    SetGlyph(ui->DefaultAttKillOrderButton, QStyle::SP_MediaSeekBackward);
    SetGlyph(ui->DefaultDefKillOrderButton, QStyle::SP_MediaSeekForward);

    // Start-up colours: every count is an enabled entry; the withdrawal
    // thresholds and the round limit start disabled.
    for (QSpinBox* count : AttCountEdits()) PaintField(count, true);
    for (QSpinBox* count : DefCountEdits()) PaintField(count, true);
    for (QSpinBox* field : {ui->AttWithSpinEdit, ui->DefWithSpinEdit, ui->DefWithLessSpinEdit, ui->RoundsSpinEdit})
        PaintField(field, field->isEnabled());
    for (QLineEdit* field : {ui->AttInfEdit, ui->AttArmEdit, ui->AttFtrEdit, ui->AttBmrEdit, ui->AttBBEdit,
                             ui->AttACEdit, ui->AttTrnEdit, ui->AttSubEdit, ui->DefInfEdit, ui->DefArmEdit,
                             ui->DefFtrEdit, ui->DefJFtrEdit, ui->DefBmrEdit, ui->DefBBEdit, ui->DefACEdit,
                             ui->DefTrnEdit, ui->DefSubEdit, ui->IPCValAttInfEdit, ui->IPCValAttArmEdit,
                             ui->IPCValAttFtrEdit, ui->IPCValAttBmrEdit, ui->IPCValAttBBEdit, ui->IPCValAttACEdit,
                             ui->IPCValAttTrnEdit, ui->IPCValAttSubEdit, ui->IPCValDefInfEdit, ui->IPCValDefArmEdit,
                             ui->IPCValDefFtrEdit, ui->IPCValDefJFtrEdit, ui->IPCValDefBmrEdit, ui->IPCValDefBBEdit,
                             ui->IPCValDefACEdit, ui->IPCValDefTrnEdit, ui->IPCValDefSubEdit})
        PaintButtonFace(field);

    // The result fields are frameless cells one pixel apart; QLineEdit keeps
    // 2 px of air on either side of its text, 1 px is enough here and gives
    // the widest figures ("9.29E4", "0.0004") the room they need.
    for (QLineEdit* result : ui->ProbabilityBox->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly))
        result->setTextMargins(-1, 0, -1, 0);

    // Every handler that a control runs is a change of the battle's undo
    // history, named after the control; the handlers it runs in turn belong
    // to the same change.
    auto onValue = [this](QSpinBox* field, void (TForm1::*handler)()) {
        connect(field, &QSpinBox::valueChanged, this, [this, field, handler] {
            const TBattleHistory::TChange change(*History, ChangeName(field));
            (this->*handler)();
        });
    };
    auto onToggle = [this](QCheckBox* box, void (TForm1::*handler)()) {
        connect(box, &QCheckBox::toggled, this, [this, box, handler] {
            const TBattleHistory::TChange change(*History, ChangeName(box));
            (this->*handler)();
        });
    };
    auto onClick = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, button, handler] {
            const TBattleHistory::TChange change(*History, ChangeName(button));
            (this->*handler)();
        });
    };

    // Force entry panels
    onValue(ui->AttInfSpinEdit, &TForm1::AttInfSpinEditChange);
    onValue(ui->AttArmSpinEdit, &TForm1::AttArmSpinEditChange);
    onValue(ui->AttFtrSpinEdit, &TForm1::AttFtrSpinEditChange);
    onValue(ui->AttBmrSpinEdit, &TForm1::AttBmrSpinEditChange);
    onValue(ui->AttBBSpinEdit, &TForm1::AttBBSpinEditChange);
    onValue(ui->AttACSpinEdit, &TForm1::AttACSpinEditChange);
    onValue(ui->AttTrnSpinEdit, &TForm1::AttTrnSpinEditChange);
    onValue(ui->AttSubSpinEdit, &TForm1::AttSubSpinEditChange);
    onValue(ui->DefInfSpinEdit, &TForm1::DefInfSpinEditChange);
    onValue(ui->DefArmSpinEdit, &TForm1::DefArmSpinEditChange);
    onValue(ui->DefFtrSpinEdit, &TForm1::DefFtrSpinEditChange);
    onValue(ui->DefJFtrSpinEdit, &TForm1::DefSubSpinEditChange);
    onValue(ui->DefBmrSpinEdit, &TForm1::DefBmrSpinEditChange);
    onValue(ui->DefBBSpinEdit, &TForm1::DefBBSpinEditChange);
    onValue(ui->DefACSpinEdit, &TForm1::DefACSpinEditChange);
    onValue(ui->DefTrnSpinEdit, &TForm1::DefTrnSpinEditChange);
    onValue(ui->DefSubSpinEdit, &TForm1::DefSubSpinEditChange);
    onClick(ui->AttBmrButton, &TForm1::AttBmrButtonClick);
    onClick(ui->AttSubButton, &TForm1::AttSubButtonClick);
    onClick(ui->AttBBButton, &TForm1::AttBBButtonClick);
    onClick(ui->DefBBButton, &TForm1::AttBBButtonClick);
    onToggle(ui->AttIndTechCheckBox, &TForm1::AttIndTechCheckBoxClick);
    onToggle(ui->DefIndTechCheckBox, &TForm1::DefIndTechCheckBoxClick);

    // Kill orders
    for (QPushButton* rank : AttHitOrderButtons()) onClick(rank, &TForm1::AttHitOrderButtonClick);
    for (QPushButton* rank : DefHitOrderButtons()) onClick(rank, &TForm1::DefHitOrderButtonClick);
    onClick(ui->EditAttKillOrderButton, &TForm1::EditAttKillOrderButtonClick);
    onClick(ui->EditDefKillOrderButton, &TForm1::EditDefKillOrderButtonClick);
    onClick(ui->DefaultAttKillOrderButton, &TForm1::DefaultAttKillOrderButtonClick);
    onClick(ui->DefaultDefKillOrderButton, &TForm1::DefaultDefKillOrderButtonClick);
    onClick(ui->AdvancedKillOrderButton, &TForm1::AdvancedKillOrderButtonClick);

    // Battle options
    onToggle(ui->AACheckBox, &TForm1::AACheckBoxClick);
    onClick(ui->AdvAAButton, &TForm1::AdvAAButtonClick);
    onToggle(ui->TakeWithCheckBox, &TForm1::TakeWithCheckBoxClick);
    onToggle(ui->SaveAirCheckBox, &TForm1::SaveAirCheckBoxClick);
    onToggle(ui->AttWithSubsAirOnlyCheckBox, &TForm1::AttWithSubsAirOnlyCheckBoxClick);
    onToggle(ui->DefWithSubs1stRndCheckBox, &TForm1::DefWithSubs1stRndCheckBoxClick);
    onToggle(ui->DefWithSubsAirOnlyCheckBox, &TForm1::DefWithSubsAirOnlyCheckBoxClick);
    onClick(ui->WithdrawalButton, &TForm1::WithdrawalButtonClick);
    onValue(ui->AttWithSpinEdit, &TForm1::AttWithSpinEditChange);
    onValue(ui->DefWithSpinEdit, &TForm1::DefWithSpinEditChange);
    onValue(ui->DefWithLessSpinEdit, &TForm1::DefWithLessSpinEditChange);

    // Resets, flip-flop, battle memory
    onClick(ui->ResetAttUnitsButton, &TForm1::ResetAttUnitsButtonClick);
    onClick(ui->ResetDefUnitsButton, &TForm1::ResetDefUnitsButtonClick);
    onClick(ui->ResetAllSettingsButton, &TForm1::ResetAllSettingsButtonClick);
    onClick(ui->FlipFlopButton, &TForm1::FlipFlopButtonClick);
    for (QPushButton* mem : {ui->Mem1Button, ui->Mem2Button, ui->Mem3Button}) onClick(mem, &TForm1::MemButtonClick);
    for (QPushButton* recall : {ui->Recall1Button, ui->Recall2Button, ui->Recall3Button})
        onClick(recall, &TForm1::RecallButtonClick);

    // Run control and results
    onToggle(ui->AllRoundsCheckBox, &TForm1::AllRoundsCheckBoxClick);
    onValue(ui->RoundsSpinEdit, &TForm1::RoundsSpinEditChange);
    onClick(ui->GoButton, &TForm1::GoButtonClick);
    onClick(ui->AbortButton, &TForm1::AbortButtonClick);
    onClick(ui->Button1, &TForm1::Button1Click);

    // Menu
    ConnectMenuItem(this, ui->Exit1, &TForm1::Exit1Click);
    ConnectMenuItem(this, ui->KeepWindowOnTop1, &TForm1::KeepWindowOnTop1Click);
    ConnectMenuItem(this, ui->LowLuckMode, &TForm1::LowLuckModeClick);
    ConnectMenuItem(this, ui->RegularMode, &TForm1::RegularModeClick);
    ConnectMenuItem(this, ui->ManualRolling, &TForm1::ManualRollingClick);
    ConnectMenuItem(this, ui->AutoRolling, &TForm1::AutoRollingClick);
    ConnectMenuItem(this, ui->F3, &TForm1::F3Click);
    ConnectMenuItem(this, ui->BattlePlanner1, &TForm1::BattlePlanner1Click);
    ConnectMenuItem(this, ui->TurnOdds1, &TForm1::TurnOdds1Click);

    TPageWidgets pages;
    pages.TextPage = ui->TabSheet2;
    pages.GraphPage = ui->TabSheet3;
    pages.Report = ui->TextResultsEdit;
    pages.CopyReport = ui->CopyReportButton;
    pages.ExactStatus = ui->ExactStatusLabel;
    pages.Enlarge = ui->EnlargeButton;
    pages.Charts[int(TChartKind::Outcomes)] = ui->OutcomeChart;
    pages.Charts[int(TChartKind::Losses)] = ui->LossChart;
    pages.Charts[int(TChartKind::Survivors)] = ui->SurvivorChart;
    Pages = new TResultPages(pages, OutcomeList, this);
    // With neither side left the pages say "No battle"; the panel and the
    // grid keep the last run's figures, as after every run.
    connect(this, &TForm1::RunRequested, Pages, [this] {
        TBattleSetupRec setup;
        ReadControls(setup);
        Pages->BattleChanged(setup.Empty());
    });
    Files = new TBattleFiles(this, *this, ui->OpenBattle1, ui->SaveBattleAs1, ui->RecentBattles1);
    connect(Files, &TBattleFiles::FileChanged, this, &TForm1::ShowTitle);
    connect(this, &TForm1::RunRequested, this, &TForm1::ShowTitle);
    SetUpHistory();
}

TForm1::~TForm1()
{
    delete Pages;  // joins the exact odds' threads while the window is whole
    delete ui;
}

// ---- Messages ---------------------------------------------------------------------

void TForm1::ShowWarning(const QString& text)
{
    if (MessageHook) {
        MessageHook(true, text);
        return;
    }
    QMessageBox::warning(this, tr("Warning"), text, QMessageBox::Ok);
}

void TForm1::ShowInformation(const QString& text)
{
    if (MessageHook) {
        MessageHook(false, text);
        return;
    }
    QMessageBox::information(this, tr("Information"), text, QMessageBox::Ok);
}

// ---- Entry colours ------------------------------------------------------------------

void TForm1::PaintField(QWidget* field, bool entry)
{
    const QPalette& system = QApplication::palette();
    const QColor colour = system.color(QPalette::Active, entry ? QPalette::Base : QPalette::Dark);
    SetFieldColour(field, colour.rgba());
}

uint32_t TForm1::FieldColour(const QWidget* field)
{
    return field->palette().color(QPalette::Active, QPalette::Base).rgba();
}

void TForm1::SetFieldColour(QWidget* field, uint32_t argb)
{
    // The same colour in every colour group: a disabled field must show the
    // disabled colour, not the style's own idea of a disabled base. The usual
    // disabled text is about as light as the button shadow, so darken it to
    // keep the value readable.
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, QColor::fromRgba(argb));
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     QApplication::palette().color(QPalette::Active, QPalette::Shadow).darker(200));
    field->setPalette(palette);
}

// ---- Show and close -------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (Shown) return;  // minimize/restore and the stay-on-top switch show the window again
    Shown = true;
    if (const QScreen* desktop = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(desktop->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    Exit1Click();
    event->accept();
}

void TForm1::FormShow()
{
    SetUpGrid();
    ShowTitle();
    if (AboutForm) AboutForm->VersionLabel()->setText(QStringLiteral("Version: (%1)").arg(Edition));
}

// The caption, after the name of the battle file while the battle is the one
// in a file; "[*]" marks it once the battle has changed.
void TForm1::ShowTitle()
{
    const QString caption = QStringLiteral("Varnholt Combat Simulator (%1)").arg(Edition);
    const QString file = Files ? Files->CurrentFile() : QString();
    if (file.isEmpty()) {
        setWindowTitle(caption);
        return;
    }
    setWindowTitle(QFileInfo(file).fileName() + QStringLiteral("[*] - ") + caption);
    setWindowModified(Files->Changed(KeptBattle()));
}

// ---- Menu -------------------------------------------------------------------------------

void TForm1::Exit1Click()
{
    // A run in progress ends after its current battle; with "Manual Rolling"
    // checked it does not start over. Its handler must not run: it would show
    // the Go button and change nothing else that matters now.
    Control.StopRequested = true;
    {
        const QSignalBlocker blocker(ui->ManualRolling);
        ui->ManualRolling->setChecked(true);
    }
    if (Closing) return;  // the close that quitting causes comes back here
    Closing = true;
    Pages->Close();
    // Ends the main event loop once the handlers on the stack (a run, a
    // kill-order wait) have returned; the window itself stays alive until then.
    QCoreApplication::quit();
}

void TForm1::KeepWindowOnTop1Click()
{
    const bool onTop = !ui->KeepWindowOnTop1->isChecked();
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);  // hides a visible window
    ui->KeepWindowOnTop1->setChecked(onTop);
    if (visible) show();
}

void TForm1::F3Click()
{
    if (!AboutForm) return;
    // Above a stay-on-top main window the box must stay on top as well.
    AboutForm->setWindowFlag(Qt::WindowStaysOnTopHint, ui->KeepWindowOnTop1->isChecked());
    AboutForm->exec();
}

// A window of its own beside the main window, made on first use.
void TForm1::BattlePlanner1Click()
{
    if (!PlannerForm) {
        PlannerForm = new TPlannerForm(this, *this);
        connect(this, &TForm1::RunRequested, PlannerForm, &TPlannerForm::BattleChanged);
    }
    PlannerForm->show();
    PlannerForm->raise();
    PlannerForm->activateWindow();
}

// The turn window reads the battle only when asked to: it follows no run.
void TForm1::TurnOdds1Click()
{
    if (!TurnForm) TurnForm = new TTurnForm(this, *this);
    TurnForm->show();
    TurnForm->raise();
    TurnForm->activateWindow();
}

void TForm1::OpenTurnFile(const QString& path)
{
    TurnOdds1Click();
    TurnForm->Open(path);
}

// ---- Control groups ---------------------------------------------------------------------

std::array<QLineEdit*, AttKinds> TForm1::AttIPCFields() const
{
    return {ui->IPCValAttInfEdit, ui->IPCValAttArmEdit, ui->IPCValAttFtrEdit, ui->IPCValAttBmrEdit,
            ui->IPCValAttBBEdit,  ui->IPCValAttACEdit,  ui->IPCValAttTrnEdit, ui->IPCValAttSubEdit};
}

std::array<QLineEdit*, DefKinds> TForm1::DefIPCFields() const
{
    return {ui->IPCValDefInfEdit, ui->IPCValDefArmEdit, ui->IPCValDefFtrEdit,
            ui->IPCValDefJFtrEdit, ui->IPCValDefBmrEdit, ui->IPCValDefBBEdit,
            ui->IPCValDefACEdit,  ui->IPCValDefTrnEdit, ui->IPCValDefSubEdit};
}

std::array<QSpinBox*, AttKinds> TForm1::AttCountEdits() const
{
    return {ui->AttInfSpinEdit, ui->AttArmSpinEdit, ui->AttFtrSpinEdit, ui->AttBmrSpinEdit,
            ui->AttBBSpinEdit,  ui->AttACSpinEdit,  ui->AttTrnSpinEdit, ui->AttSubSpinEdit};
}

std::array<QSpinBox*, DefKinds> TForm1::DefCountEdits() const
{
    return {ui->DefInfSpinEdit, ui->DefArmSpinEdit, ui->DefFtrSpinEdit, ui->DefJFtrSpinEdit, ui->DefBmrSpinEdit,
            ui->DefBBSpinEdit,  ui->DefACSpinEdit,  ui->DefTrnSpinEdit, ui->DefSubSpinEdit};
}

std::array<QPushButton*, AttKinds> TForm1::AttHitOrderButtons() const
{
    return {ui->AttInfHitOrderButton, ui->AttArmHitOrderButton, ui->AttFtrHitOrderButton,
            ui->AttBmrHitOrderButton, ui->AttBBHitOrderButton,  ui->AttACHitOrderButton,
            ui->AttTrnHitOrderButton, ui->AttSubHitOrderButton};
}

std::array<QPushButton*, DefKinds> TForm1::DefHitOrderButtons() const
{
    return {ui->DefInfHitOrderButton, ui->DefArmHitOrderButton, ui->DefFtrHitOrderButton,
            ui->DefJFtrHitOrderButton, ui->DefBmrHitOrderButton, ui->DefBBHitOrderButton,
            ui->DefACHitOrderButton,  ui->DefTrnHitOrderButton, ui->DefSubHitOrderButton};
}
