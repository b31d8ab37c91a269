// Undo and redo: the "&Edit" menu, and the name of the change each control
// of the window starts. The steps themselves are TBattleHistory's, found from
// the battle; this file only names them.
#include <QAction>
#include <algorithm>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "Dizorivurad/BattleHistory.h"
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

namespace {

// "&Undo Reset ALL": the menu item names the step it would take back.
void ShowStep(QAction* item, const QString& verb, const QString& step)
{
    item->setText(step.isEmpty() ? verb : verb + u' ' + step);
}

}  // namespace

void TForm1::SetUpHistory()
{
    History = new TBattleHistory(
        *this, [this] { return Control.SuppressRuns; }, [this](const TBattleSetupRec& s) { RestoreBattle(s); }, this);
    connect(this, &TForm1::RunRequested, History, &TBattleHistory::Changed);
    QUndoStack& steps = History->Steps();
    ui->Undo1->setEnabled(false);
    ui->Redo1->setEnabled(false);
    connect(&steps, &QUndoStack::canUndoChanged, ui->Undo1, &QAction::setEnabled);
    connect(&steps, &QUndoStack::canRedoChanged, ui->Redo1, &QAction::setEnabled);
    connect(&steps, &QUndoStack::undoTextChanged, ui->Undo1,
            [this](const QString& step) { ShowStep(ui->Undo1, QStringLiteral("&Undo"), step); });
    connect(&steps, &QUndoStack::redoTextChanged, ui->Redo1,
            [this](const QString& step) { ShowStep(ui->Redo1, QStringLiteral("&Redo"), step); });
    connect(ui->Undo1, &QAction::triggered, History, &TBattleHistory::Undo);
    connect(ui->Redo1, &QAction::triggered, History, &TBattleHistory::Redo);
}

QString TForm1::ChangeName(const QObject* control) const
{
    const auto att = AttCountEdits();
    for (int k = 0; k < AttKinds; ++k)
        if (att[k] == control) return QStringLiteral("ATT ") + QString::fromLatin1(UnitInfo(AttKindOrder[k]).Name);
    const auto def = DefCountEdits();
    for (int k = 0; k < DefKinds; ++k)
        if (def[k] == control) return QStringLiteral("DEF ") + QString::fromLatin1(UnitInfo(DefKindOrder[k]).Name);
    const auto attRanks = AttHitOrderButtons();
    const auto defRanks = DefHitOrderButtons();
    if (control == ui->EditAttKillOrderButton ||
        std::find(attRanks.begin(), attRanks.end(), control) != attRanks.end())
        return QStringLiteral("ATT Kill Order");
    if (control == ui->EditDefKillOrderButton ||
        std::find(defRanks.begin(), defRanks.end(), control) != defRanks.end())
        return QStringLiteral("DEF Kill Order");

    struct TNamed {
        const QObject* Control;
        const char* Name;
    };
    const TNamed named[] = {
        {ui->DefaultAttKillOrderButton, "Default ATT Kill Order"},
        {ui->DefaultDefKillOrderButton, "Default DEF Kill Order"},
        {ui->ResetAttUnitsButton, "Reset ATT Units"},
        {ui->ResetDefUnitsButton, "Reset DEF Units"},
        {ui->ResetAllSettingsButton, "Reset ALL"},
        {ui->FlipFlopButton, "Flip-Flop"},
        {ui->AttBmrButton, "Hvy Bomber"},
        {ui->AttSubButton, "Super Sub"},
        {ui->AttBBButton, "2 Hit BB"},
        {ui->DefBBButton, "2 Hit BB"},
        {ui->AttIndTechCheckBox, "ATT Industrial Technology"},
        {ui->DefIndTechCheckBox, "DEF Industrial Technology"},
        {ui->AttWithSubsAirOnlyCheckBox, "ATT Retreat Subs against air only"},
        {ui->DefWithSubsAirOnlyCheckBox, "DEF Retreat Subs against air only"},
        {ui->WithdrawalButton, "Withdrawal"},
        {ui->AttWithSpinEdit, "ATT Units <="},
        {ui->DefWithSpinEdit, "DEF Units >="},
        {ui->DefWithLessSpinEdit, "DEF Units <="},
        {ui->RoundsSpinEdit, "Round Limit"},
    };
    for (const TNamed& n : named)
        if (n.Control == control) return QString::fromUtf8(n.Name);
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) return ChangeNameOf(button->text());
    if (auto* item = qobject_cast<const QAction*>(control)) return ChangeNameOf(item->text());
    return {};
}
