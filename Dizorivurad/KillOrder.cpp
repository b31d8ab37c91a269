// Basic kill orders: editing through the hit-order buttons, defaults, the advanced order.
//
// A rank lives as the caption of its kind's hit-order button. Editing a side
// empties its captions and waits, dispatching the window's events, until the
// player has given every kind a rank again; the empty captions show which
// kinds are still to be clicked. Edits nest: the one started last ends first.
//
// No battle may read an incomplete order, so while any edit is under way
// KillOrderIncomplete() is true and neither RequestRun nor Go starts a run.
// Requests made meanwhile are held: every edit ends with a request of its
// own, and the one made when the last edit ends starts the run in automatic
// rolling, on all the changes made meanwhile. An edit started while a run
// yields holds that run inside the edit's dispatch; its closing request then
// makes the run start over, or in manual rolling lets it go on with the new
// ranks. In manual rolling Go has to be pressed again after the edit.
#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <algorithm>

#include "Dizorivurad/BattleHistory.h"
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

namespace {

bool AllRanksSet(QPushButton* const* buttons, int kinds)
{
    for (int i = 0; i < kinds; ++i)
        if (buttons[i]->text().isEmpty()) return false;
    return true;
}

void SetRanks(QPushButton* const* buttons, const int32_t* ranks, int kinds)
{
    for (int i = 0; i < kinds; ++i) buttons[i]->setText(QString::number(ranks[i]));
}

// A click during an edit gives the clicked kind one more than the highest
// rank shown on its side; a kind that has a rank keeps it.
void AssignNextRank(QPushButton* const* buttons, int kinds, QObject* clicked)
{
    auto* button = qobject_cast<QPushButton*>(clicked);
    if (!button || !button->text().isEmpty()) return;
    int highest = 0;
    bool mine = false;
    for (int i = 0; i < kinds; ++i) {
        mine = mine || buttons[i] == button;
        const QString caption = buttons[i]->text();
        if (!caption.isEmpty()) highest = std::max(highest, caption.toInt());
    }
    if (mine) button->setText(QString::number(highest + 1));
}

}  // namespace

void TForm1::EditKillOrder(QPushButton* const* buttons, int kinds, TOrderEdit& edit)
{
    // Keep the last complete order for battle memory and for an edit that
    // the closing program abandons. A second click while the side is being
    // edited finds it incomplete and keeps the snapshot it has.
    if (AllRanksSet(buttons, kinds))
        for (int i = 0; i < kinds; ++i) edit.Before[i] = buttons[i]->text();
    for (int i = 0; i < kinds; ++i) buttons[i]->setText(QString());

    // The side keeps its order in the undo history until its last rank is
    // set; other changes made meanwhile are steps of their own.
    ++edit.Depth;
    const TBattleHistory::TSuspended change = History->Suspend();
    while (!Closing && !AllRanksSet(buttons, kinds))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    History->Resume(change);
    --edit.Depth;

    if (!AllRanksSet(buttons, kinds)) {
        // Abandoned because the program is closing: nothing may read an
        // incomplete order, so the side gets back the order it started from.
        for (int i = 0; i < kinds; ++i) buttons[i]->setText(edit.Before[i]);
        return;
    }
    RequestRun();
}

void TForm1::EditAttKillOrderButtonClick()
{
    EditKillOrder(AttHitOrderButtons().data(), AttKinds, AttOrderEdit);
}

void TForm1::EditDefKillOrderButtonClick()
{
    EditKillOrder(DefHitOrderButtons().data(), DefKinds, DefOrderEdit);
}

void TForm1::AttHitOrderButtonClick()
{
    AssignNextRank(AttHitOrderButtons().data(), AttKinds, sender());
}

void TForm1::DefHitOrderButtonClick()
{
    AssignNextRank(DefHitOrderButtons().data(), DefKinds, sender());
}

void TForm1::WriteDefaultRanks(bool attacker)
{
    if (attacker)
        SetRanks(AttHitOrderButtons().data(), DefaultAttOrder, AttKinds);
    else
        SetRanks(DefHitOrderButtons().data(), DefaultDefOrder, DefKinds);
}

void TForm1::DefaultAttKillOrderButtonClick() { SetKillOrder(true, DefaultAttOrder); }

void TForm1::DefaultDefKillOrderButtonClick() { SetKillOrder(false, DefaultDefOrder); }

// Writing every rank of a side ends an edit of that side, as the defaults do.
// Ranks that are not an order are not written.
void TForm1::SetKillOrder(bool attacker, const int32_t* ranks)
{
    // A side window's "Use" is a change of its own (named after what the
    // player pressed); the default buttons' is part of theirs.
    const TBattleHistory::TChange change(*History, History->Activation());
    const int kinds = attacker ? AttKinds : DefKinds;
    if (!IsKillOrder(ranks, kinds)) return;
    if (attacker) SetRanks(AttHitOrderButtons().data(), ranks, kinds);
    else SetRanks(DefHitOrderButtons().data(), ranks, kinds);
    RequestRun();
}

void TForm1::AdvancedKillOrderButtonClick()
{
    ShowWarning(QStringLiteral("Feature Coming Soon... Not implemented yet."));
}

bool TForm1::KillOrderIncomplete() const
{
    return AttOrderEdit.Depth > 0 || DefOrderEdit.Depth > 0 ||
           !AllRanksSet(AttHitOrderButtons().data(), AttKinds) ||
           !AllRanksSet(DefHitOrderButtons().data(), DefKinds);
}

void TForm1::CompleteOrderCaptions(bool attacker, QString* captions) const
{
    const int kinds = attacker ? AttKinds : DefKinds;
    const auto att = AttHitOrderButtons();
    const auto def = DefHitOrderButtons();
    QPushButton* const* buttons = attacker ? att.data() : def.data();
    const TOrderEdit& edit = attacker ? AttOrderEdit : DefOrderEdit;
    const bool set = AllRanksSet(buttons, kinds);
    for (int i = 0; i < kinds; ++i) captions[i] = set ? buttons[i]->text() : edit.Before[i];
}
