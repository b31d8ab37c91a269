#include "Dizorivurad/BattleHistory.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QUndoCommand>

namespace {

// Enough for an evening's setups; each step keeps two battles of a few
// hundred bytes.
constexpr int StepsKept = 1000;

}  // namespace

QString ChangeNameOf(QString caption)
{
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(u'&');
    caption.replace(u'\x01', u'&');
    while (caption.endsWith(u'.') || caption.endsWith(u'?')) caption.chop(1);
    return caption.trimmed();
}

// One step: the battle before and after it. The first redo comes with the
// push, when the change has already been made.
class TBattleStep : public QUndoCommand {
public:
    TBattleStep(TBattleHistory& history, const QString& name, quint64 serial, const TBattleSetupRec& before,
                const TBattleSetupRec& after)
        : QUndoCommand(name), History(history), Serial(serial), Before(before), After(after)
    {
    }
    int id() const override { return 1; }
    // A change that a run interrupted (a recall writes on after each run)
    // stays one step.
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* later = static_cast<const TBattleStep*>(other);
        if (later->Serial != Serial) return false;
        After = later->After;
        return true;
    }
    void undo() override { History.Apply(Before); }
    void redo() override
    {
        if (Done) History.Apply(After);
        Done = true;
    }

private:
    TBattleHistory& History;
    quint64 Serial;
    TBattleSetupRec Before, After;
    bool Done = false;
};

TBattleHistory::TBattleHistory(TBattleHost& host, std::function<bool()> held,
                               std::function<void(const TBattleSetupRec&)> restore, QObject* parent)
    : QObject(parent), Host(host), Restore(std::move(restore)), Held(std::move(held)), Settled(host.KeptBattle())
{
    Stack.setUndoLimit(StepsKept);
    qApp->installEventFilter(this);
}

void TBattleHistory::Enter(const QString& name)
{
    if (Depth++ == 0) {
        Name = name;
        Serial += 1;
    }
}

void TBattleHistory::Leave()
{
    if (--Depth == 0) Settle(Name, Serial);
}

TBattleHistory::TSuspended TBattleHistory::Suspend()
{
    if (Depth == 0) Settle(LastActivation, ++Serial);
    else Settle(Name, Serial);
    const TSuspended suspended{Depth, Name, Serial};
    Depth = 0;
    return suspended;
}

void TBattleHistory::Resume(const TSuspended& suspended)
{
    // Changes made meanwhile are settled, each at its own end.
    Depth = suspended.Depth;
    Name = suspended.Name;
    Serial = suspended.Serial;
}

void TBattleHistory::Changed()
{
    if (Posted || Applying) return;
    Posted = true;
    QTimer::singleShot(0, this, [this] {
        Posted = false;
        if (Depth == 0) Settle(LastActivation, ++Serial);
    });
}

void TBattleHistory::Settle(const QString& name, quint64 serial)
{
    if (Applying || Held()) return;
    const TBattleSetupRec now = Host.KeptBattle();
    if (now == Settled) return;
    const TBattleSetupRec before = Settled;
    Settled = now;
    Stack.push(new TBattleStep(*this, name.isEmpty() ? QStringLiteral("Change") : name, serial, before, now));
}

void TBattleHistory::Apply(const TBattleSetupRec& battle)
{
    Applying = true;
    Restore(battle);
    Settled = Host.KeptBattle();
    Applying = false;
}

// The stack's index moves when undo() returns; the run comes after that, so
// that an undo asked for during the run undoes the step before.
void TBattleHistory::Undo()
{
    if (!Stack.canUndo()) return;
    Stack.undo();
    Host.RequestRun();
}

void TBattleHistory::Redo()
{
    if (!Stack.canRedo()) return;
    Stack.redo();
    Host.RequestRun();
}

// Names what the player presses or chooses anywhere in the program; and in
// the main window's entry fields Ctrl+Z and Ctrl+Shift+Z are the battle's
// undo and redo, not the field's own (its text is the count, whose change is
// a step).
bool TBattleHistory::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // The spin box hands the event to its text field itself.
        auto* field = qobject_cast<QAbstractSpinBox*>(watched);
        if (!field) field = qobject_cast<QAbstractSpinBox*>(watched->parent());
        const auto* key = static_cast<QKeyEvent*>(event);
        if (field && field->window() == parent() &&
            (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)))
            return true;  // not taken by the field: the menu's shortcut fires
        break;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            if (menu->activeAction()) LastActivation = ChangeNameOf(menu->activeAction()->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(watched)) {
            // A dialog's buttons answer what opened it: that names the change.
            const QWidget* window = button->window();
            if (qobject_cast<const QDialog*>(window)) break;
            LastActivation = window == parent() ? ChangeNameOf(button->text())
                                                : ChangeNameOf(window->windowTitle() + u' ' + button->text());
        }
        break;
    case QEvent::Shortcut:
        if (auto* action = qobject_cast<QAction*>(watched)) LastActivation = ChangeNameOf(action->text());
        break;
    case QEvent::Drop: LastActivation = QStringLiteral("Open Battle"); break;
    default: break;
    }
    return false;
}
