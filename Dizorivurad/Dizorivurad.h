#pragma once
// TForm1: the main window. Its controls are the store of the battle setup;
// the handlers below apply the window's rules and ask for runs. Handlers are
// split by concern over several source files:
//   MainWindow.cpp  construction, FormShow, close/exit, menu, About, the
//                   "Battle &Planner..." window (Planner/PlannerForm), the
//                   "&Turn Odds..." window (Turn/TurnForm)
//   ForcePanels.cpp force entry panels and their availability rules
//   RunControl.cpp  RequestRun, Go/Abort, rolling and luck modes, round limit,
//                   the setup read from the controls
//   Results.cpp     publication: "Runs:", the average results panel, Store Results
//   OutcomeGrid.cpp outcome grid rewrite, Sortgrid, header clicks
//   KillOrder.cpp   basic kill-order editing and defaults
//   Options.cpp     battle options and the withdrawal group
//   Memory.cpp      battle memory (Mem / Recall)
//   FlipFlop.cpp    exchange of attacker and defender units
//   Resets.cpp      the three resets
//   BattleHost.cpp  the battle as the windows beside this one read and write it
//   Undo.cpp        the "&Edit" menu: undo and redo (steps: BattleHistory.h)
// The "Text Results" and "Graph Results" pages and the exact odds behind them
// are a class of their own, TResultPages (Pages/), told about each run.
// Battle files (open, save, recent, drops) are TBattleFiles (BattleFiles/);
// they and the planner reach the battle through TBattleHost (BattleHost.cpp).
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>

#include "Support/BattleHost.h"
#include "engine/battle/Driver.h"
#include "engine/battle/Outcomes.h"
#include "model/BattleSetup.h"

class QSpinBox;
class QLineEdit;
class QPushButton;
class QCheckBox;
class QCloseEvent;
class QShowEvent;
class TAboutForm;
class TBattleFiles;
class TBattleHistory;

namespace Ui {
class TForm1;
}

// One battle-memory slot: a snapshot of the force panels and battle options.
struct TStoredBattleRec {
    int32_t AttCount[AttKinds] = {};
    bool TakeWith = false;
    bool AttIndTech = false;
    QString AttOrderCaption[AttKinds];
    int32_t DefCount[DefKinds] = {};
    bool AAGun = false;
    bool DefIndTech = false;
    bool WithEnabled[3] = {};
    QString DefOrderCaption[DefKinds];
    QString WithdrawalCaption;
    uint32_t WithColor[3] = {};
    int32_t WithValue[3] = {};
    int32_t Rounds = 0;
    bool AllRounds = false;
    bool SaveAir = false;
    bool AttWithSubsAirOnly = false;
    bool DefWithSubsAirOnly = false;
    bool DefWithSubs1stRnd = false;
    QString VariantCaption[4];
};

class TForm1 : public QMainWindow, public TRunHost, public TBattleHost {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The About box that FormShow writes into and "Abo&ut" shows.
    void SetAboutForm(TAboutForm* about) { AboutForm = about; }

    // Message boxes go through here; a test replaces the hook so that no
    // dialog blocks it. Warning is true for warnings, false for information.
    static std::function<void(bool warning, const QString& text)> MessageHook;
    void ShowWarning(const QString& text) override;
    void ShowInformation(const QString& text);

    // The setup as the engine reads it from the controls.
    void ReadSetup(TBattleSetupRec& setup) override;

    // ---- Run-control protocol -------------------------------------------------
    TRunControl Control;  // Running, StopRequested, SuppressRuns
    void RequestRun() override;
    // Seed of every run; the clock unless a test fixes it.
    std::function<uint32_t()> SeedHook;
    // Battles of a run in automatic rolling; randomized tests shorten it.
    int AutoRollingRuns = 100000;
    // True while a basic kill order is being edited: no battle may be fought then.
    bool KillOrderIncomplete() const;
    // The setup in the controls; false while a kill order is being edited.
    bool CurrentSetup(TBattleSetupRec& setup) const override;
    // Gives a side the kill order (ranks by slot, a complete order) as
    // "Default Kill Order" does, and requests a run.
    void SetKillOrder(bool attacker, const int32_t* ranks) override;
    // TBattleHost (BattleHost.cpp): the battle as battle memory keeps it, and
    // a battle written into the controls as a recall writes it.
    TBattleSetupRec KeptBattle() const override;
    void WriteBattle(const TBattleSetupRec& setup) override;
    // A battle the window held before, put back exactly (undo and redo).
    void RestoreBattle(const TBattleSetupRec& setup);

    // ---- Results (current run) ------------------------------------------------
    TOutcomeList OutcomeList;
    int GridRewrites = 0;
    int SortColumn = 10;
    void Sortgrid(int column);

    // ---- Battle memory ----------------------------------------------------------
    std::array<TStoredBattleRec, 3> BattleMemory{};

    Ui::TForm1* ui;
    // Open, save and recent battle files; drops on the window.
    TBattleFiles* Files = nullptr;
    // Undo and redo of the battle (Undo.cpp).
    TBattleHistory& UndoHistory() { return *History; }

public slots:
    // Force entry panels
    void AttInfSpinEditChange();
    void AttArmSpinEditChange();
    void AttFtrSpinEditChange();
    void AttBmrSpinEditChange();
    void AttBBSpinEditChange();
    void AttACSpinEditChange();
    void AttTrnSpinEditChange();
    void AttSubSpinEditChange();
    void DefInfSpinEditChange();
    void DefArmSpinEditChange();
    void DefFtrSpinEditChange();
    void DefBmrSpinEditChange();
    void DefBBSpinEditChange();
    void DefACSpinEditChange();
    void DefTrnSpinEditChange();
    void DefSubSpinEditChange();  // also the jet fighter count
    void AttBmrButtonClick();
    void AttSubButtonClick();
    void AttBBButtonClick();      // both battleship buttons
    void AttIndTechCheckBoxClick();
    void DefIndTechCheckBoxClick();

    // Run control and menu
    void GoButtonClick();
    void AbortButtonClick();
    void AutoRollingClick();
    void ManualRollingClick();
    void RegularModeClick();
    void LowLuckModeClick();
    void AllRoundsCheckBoxClick();
    void RoundsSpinEditChange();

    // Window and menu
    void FormShow();
    void ShowTitle();
    void Exit1Click();
    void KeepWindowOnTop1Click();
    void F3Click();
    void BattlePlanner1Click();
    void TurnOdds1Click();
    // Opens the turn window with a turn file (`varnholt FILE.vturn`).
    void OpenTurnFile(const QString& path);

    // Results
    void Button1Click();  // "Store Results"
    void StringGrid1MouseUp(int x, int y);

    // Kill orders
    void EditAttKillOrderButtonClick();
    void EditDefKillOrderButtonClick();
    void AttHitOrderButtonClick();
    void DefHitOrderButtonClick();
    void DefaultAttKillOrderButtonClick();
    void DefaultDefKillOrderButtonClick();
    void AdvancedKillOrderButtonClick();

    // Battle options
    void AACheckBoxClick();
    void AdvAAButtonClick();
    void TakeWithCheckBoxClick();
    void SaveAirCheckBoxClick();
    void AttWithSubsAirOnlyCheckBoxClick();
    void DefWithSubs1stRndCheckBoxClick();
    void DefWithSubsAirOnlyCheckBoxClick();
    void WithdrawalButtonClick();
    void AttWithSpinEditChange();
    void DefWithSpinEditChange();
    void DefWithLessSpinEditChange();

    // Battle memory, flip-flop, resets
    void MemButtonClick();
    void RecallButtonClick();
    void FlipFlopButtonClick();
    void ResetAttUnitsButtonClick();
    void ResetDefUnitsButtonClick();
    void ResetAllSettingsButtonClick();

signals:
    // A handler asked for a run: the setup may have changed.
    void RunRequested();

protected:
    // Holds the window's repaints back to screen rate during a run.
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Writes the controls in a recall's order through their handlers.
    void WriteControls(const TBattleSetupRec& setup);

    // TRunHost
    int RunSize() override;
    uint32_t RunSeed() override;
    bool RestartOnStop() override;
    void BattleStarting(int b, int n) override;
    void Publish(const RunTotals& totals, const TBattleResultsRec* batch, int count, bool last) override;
    void AfterBattle() override;
    void RunStarting() override;

    // Availability rules of the force panels: one function each, called by
    // every handler that needs them.
    void LandRule(bool attackerForm);
    void SeaRule();
    void SetCountsAvailable(TCountRule rule, bool available);
    void SaveAirRule();
    void SubRetreatRule();

    // Control groups in each side's slot order.
    std::array<QSpinBox*, AttKinds> AttCountEdits() const;
    std::array<QSpinBox*, DefKinds> DefCountEdits() const;
    std::array<QLineEdit*, AttKinds> AttIPCFields() const;
    std::array<QLineEdit*, DefKinds> DefIPCFields() const;
    std::array<QPushButton*, AttKinds> AttHitOrderButtons() const;
    std::array<QPushButton*, DefKinds> DefHitOrderButtons() const;

public:
    // Entry colours of count and threshold fields: the window colour while
    // enabled, the button-shadow colour while disabled. The colour is kept as
    // a 32-bit ARGB value so that battle memory can store and restore it.
    static void PaintField(QWidget* field, bool entry);
    static uint32_t FieldColour(const QWidget* field);
    static void SetFieldColour(QWidget* field, uint32_t argb);

private:
    // Grid part of FormShow (OutcomeGrid.cpp).
    void SetUpGrid();

    TAboutForm* AboutForm = nullptr;
    class TPlannerForm* PlannerForm = nullptr;  // made when first asked for
    class TTurnForm* TurnForm = nullptr;        // made when first asked for
    bool Shown = false;
    bool Closing = false;  // Exit asked for: nested waits must end

    // ---- Undo.cpp ----
    TBattleHistory* History = nullptr;
    void SetUpHistory();
    // The name of the change that a control of the window starts ("Reset ALL").
    QString ChangeName(const QObject* control) const;

    // ---- State of RunControl.cpp (add members here) ----
    // The setup of the last battle, kept while nothing could have changed the
    // controls: no event has been delivered since it was read.
    class TEventCounter;
    TEventCounter* RunEvents = nullptr;  // installed on the application during a run
    uint64_t SetupReadAt = 0;            // RunEvents' count when SetupCache was read
    bool SetupCacheValid = false;
    TBattleSetupRec SetupCache;
    void ReadControls(TBattleSetupRec& setup) const;
    int64_t NextPollAt = 0;  // steady clock, ns: when AfterBattle next polls the system
    // Repaints at screen rate: while a run goes on, the window's update
    // requests are held back until one frame has passed since the last paint;
    // a timer delivers the one held back, and the run's end delivers it at once.
    bool PaintsHeld = false;
    bool PaintPending = false;   // an update request was held back
    int64_t NextPaintAt = 0;     // steady clock, ns
    class QTimer* PaintClock = nullptr;
    void HoldPaints();
    void ReleasePaints();
    void DeliverHeldPaint();

    // ---- State of Results.cpp / OutcomeGrid.cpp (add members here) ----
    // The cells of StringGrid1, created with the grid's layout on first use.
    class TOutcomeGridModel* GridModel = nullptr;
    TOutcomeGridModel& Grid();
    void RewriteGrid(int32_t battles);
    void WriteGridLabel(int column);

    // The "Text Results" and "Graph Results" pages, told about every run.
    class TResultPages* Pages = nullptr;

    // ---- State of KillOrder.cpp (add members here) ----
    // One side's basic kill-order edit. Depth counts the edits of the side
    // under way: a second click of its edit button while it is being edited
    // nests a second wait. Before is the last complete order the side had
    // before an edit emptied its captions (slots 0..kinds-1 in use).
    struct TOrderEdit {
        int Depth = 0;
        QString Before[DefKinds];
    };
    TOrderEdit AttOrderEdit;
    TOrderEdit DefOrderEdit;
    void EditKillOrder(QPushButton* const* buttons, int kinds, TOrderEdit& edit);
    // The side's hit-order captions as battle memory keeps them: the captions
    // themselves when every rank is set, otherwise the complete order the
    // side had when its edit began.
    void CompleteOrderCaptions(bool attacker, QString* captions) const;
    // Writes the default ranks of a side (which ends an edit of that side).
    void WriteDefaultRanks(bool attacker);

    // ---- State of Options.cpp / Memory.cpp / FlipFlop.cpp / Resets.cpp (add members here) ----
    // The three withdrawal thresholds: "ATT Units <=", "DEF Units >=", "DEF Units <=".
    std::array<QSpinBox*, 3> WithdrawalFields() const;
    // Clamps a threshold to its side's unit total; false when it had to be
    // lowered (the nested handler run for the lowered value then asks for the run).
    bool ThresholdWithinTotal(QSpinBox* threshold, bool attacker);
    void ZeroCounts(bool attacker);
};
