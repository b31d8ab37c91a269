// The battle as the windows beside the main one read and write it
// (TBattleHost): battle files, the planner, the turn window.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include "Dizorivurad/BattleHistory.h"
#include "Dizorivurad/Dizorivurad.h"
#include "model/BattleFile.h"
#include "model/Normalise.h"
#include "ui_Dizorivurad.h"

TBattleSetupRec TForm1::KeptBattle() const
{
    TBattleSetupRec s;
    ReadControls(s);
    // During a kill-order edit a side is kept with the order it had when the
    // edit began, as battle memory keeps it.
    QString att[AttKinds], def[DefKinds];
    CompleteOrderCaptions(true, att);
    CompleteOrderCaptions(false, def);
    for (int i = 0; i < AttKinds; ++i) s.AttOrder[i] = att[i].toInt();
    for (int i = 0; i < DefKinds; ++i) s.DefOrder[i] = def[i].toInt();
    return s;
}

// The writes of a battle memory recall, in its order (counts before the check
// marks their rules may clear, thresholds after all counts, the round limit
// after "Calculate All Rounds"), then the switches that only a click changes;
// the handlers' run requests are held back, and the caller asks for one.
// The battle written is the normalised one: a check mark the rules would
// clear is never set, and a threshold is written already limited, so the
// window ends up with the same battle whatever it held before.
void TForm1::WriteBattle(const TBattleSetupRec& battle) { WriteControls(NormaliseBattle(battle).Setup); }

// A battle the window held before (undo, redo): written as a recall writes
// it, then each threshold put back as it was. The window limits a threshold
// only as it is entered, so one may stand above a total lowered afterwards;
// writing it after the counts would limit it.
void TForm1::RestoreBattle(const TBattleSetupRec& s)
{
    WriteControls(s);
    if (!s.Withdrawal) return;
    const int32_t thresholds[3] = {s.AttWith, s.DefWith, s.DefWithLess};
    const auto with = WithdrawalFields();
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker quiet(with[i]);
        with[i]->setValue(thresholds[i]);
    }
}

void TForm1::WriteControls(const TBattleSetupRec& s)
{
    // One change of the undo history, named after what the player pressed
    // (an opened file, a side window's button); before the runs are let go.
    const TBattleHistory::TChange change(*History, History->Activation());
    const TRunsSuppressed suppressed(Control);
    const auto att = AttCountEdits();
    for (int i = 0; i < AttKinds; ++i) att[i]->setValue(s.AttCount[i]);
    ui->TakeWithCheckBox->setChecked(s.TakeWith);
    ui->AttIndTechCheckBox->setChecked(HasAttTech(s));
    ui->AttWithSubsAirOnlyCheckBox->setChecked(s.AttWithSubsAirOnly);
    ui->SaveAirCheckBox->setChecked(s.SaveAir);
    // Writing every rank of a side also ends an edit of that side under way.
    const auto attRanks = AttHitOrderButtons();
    for (int i = 0; i < AttKinds; ++i) attRanks[i]->setText(QString::number(s.AttOrder[i]));

    const auto def = DefCountEdits();
    for (int i = 0; i < DefKinds; ++i) def[i]->setValue(s.DefCount[i]);
    ui->AACheckBox->setChecked(s.AAGun);
    ui->DefIndTechCheckBox->setChecked(HasDefTech(s));
    ui->DefWithSubs1stRndCheckBox->setChecked(s.DefWithSubs1stRnd);
    ui->DefWithSubsAirOnlyCheckBox->setChecked(s.DefWithSubsAirOnly);
    const auto defRanks = DefHitOrderButtons();
    for (int i = 0; i < DefKinds; ++i) defRanks[i]->setText(QString::number(s.DefOrder[i]));

    TBattleSetupRec now;
    ReadControls(now);
    if (now.Withdrawal != s.Withdrawal) WithdrawalButtonClick();
    const int32_t thresholds[3] = {s.AttWith, s.DefWith, s.DefWithLess};
    const auto with = WithdrawalFields();
    for (int i = 0; i < 3; ++i) with[i]->setValue(s.Withdrawal ? thresholds[i] : 0);

    ui->AllRoundsCheckBox->setChecked(s.AllRounds);
    ui->RoundsSpinEdit->setValue(s.Rounds);

    if (now.HvyBomber != s.HvyBomber) AttBmrButtonClick();
    if (HasSuperSub(now) != HasSuperSub(s)) AttSubButtonClick();
    if (now.TwoHitBB != s.TwoHitBB) AttBBButtonClick();
    if (now.LowLuck != s.LowLuck) s.LowLuck ? LowLuckModeClick() : RegularModeClick();
}
