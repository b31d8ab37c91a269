#pragma once
// TBattleHistory: undo and redo of the battle in the main window.
//
// A step is found from the battle itself, not from the handlers: the battle
// as memory keeps it (TBattleHost::KeptBattle) is compared with the battle
// after the last step whenever a change has settled, and a difference is one
// step. A change settles
//   - when the outermost of the window's handlers that it ran returns (a
//     control's handler and the cascade it causes are one change),
//   - when a run is about to start inside it (what the player does during the
//     run is a change of its own; a handler that goes on after the run, as a
//     recall does, adds to the same step),
//   - once the window is back to its events after a run request that no
//     handler of the window made (a side window writing through TBattleHost).
// While a basic kill order is being edited the side is kept with the order it
// had, so the edit becomes one step when its last rank is set.
// Undo and redo write the whole battle back through the window's own
// handlers (WriteBattle) and ask for one run.
#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>

#include "Support/BattleHost.h"

// A caption as the name of a change: no accelerator marks, no "..." or "?"
// at its end ("AA Gu&n?": "AA Gun").
QString ChangeNameOf(QString caption);

class TBattleHistory : public QObject {
    Q_OBJECT

public:
    // `held`: true while the window writes a batch of controls with its runs
    // held back (a reset); the batch ends inside a change, or before the next
    // run request's settling.
    // `restore` puts a battle the window held back exactly.
    TBattleHistory(TBattleHost& host, std::function<bool()> held,
                   std::function<void(const TBattleSetupRec&)> restore, QObject* parent);

    QUndoStack& Steps() { return Stack; }

    // One change the player made with a control of the window, named after
    // it; changes made while it is under way are part of it.
    class TChange {
    public:
        TChange(TBattleHistory& history, const QString& name) : History(history) { History.Enter(name); }
        ~TChange() { History.Leave(); }
        TChange(const TChange&) = delete;
        TChange& operator=(const TChange&) = delete;

    private:
        TBattleHistory& History;
    };

    // The change under way is settled, and until Resume the window's events
    // start changes of their own: a run, or the wait of a kill-order edit.
    struct TSuspended {
        int Depth = 0;
        QString Name;
        quint64 Serial = 0;
    };
    TSuspended Suspend();
    void Resume(const TSuspended& suspended);

    // A run request: the battle may have changed.
    void Changed();

    // What the player last pressed or chose, outside the window's own
    // controls too: the name of a change that a side window writes.
    QString Activation() const { return LastActivation; }

    // Undo and redo of the last step, each followed by one run.
    void Undo();
    void Redo();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TBattleStep;
    void Enter(const QString& name);
    void Leave();
    void Settle(const QString& name, quint64 serial);
    // Writes a battle of the history into the window; no run.
    void Apply(const TBattleSetupRec& battle);

    TBattleHost& Host;
    const std::function<void(const TBattleSetupRec&)> Restore;
    std::function<bool()> Held;
    QUndoStack Stack;
    TBattleSetupRec Settled;  // the battle after the last step
    int Depth = 0;            // handlers of the change under way
    QString Name;             // what started it
    quint64 Serial = 0;       // which change it is: a step it adds to grows
    bool Applying = false;
    bool Posted = false;
    QString LastActivation;
};
