// The three resets.
//
// A reset is a batch of control writes. Counts and check marks go through
// their controls so that each handler that really changes something runs and
// re-applies the availability rules (and puts back the list prices when an
// Industrial Technology box is unchecked); captions are written silently.
// Runs are suppressed meanwhile, so the handlers' requests start nothing; a
// run that was yielding when the reset was clicked is only marked to stop and
// starts over on the reset inputs once the reset has returned. No reset asks
// for a run of its own.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::ZeroCounts(bool attacker)
{
    if (attacker)
        for (QSpinBox* count : AttCountEdits()) count->setValue(0);
    else
        for (QSpinBox* count : DefCountEdits()) count->setValue(0);
}

void TForm1::ResetAttUnitsButtonClick()
{
    TRunsSuppressed suppressed(Control);
    ZeroCounts(true);
    ui->AttBmrButton->setText(QStringLiteral("B&omber"));
    ui->AttSubButton->setText(QStringLiteral("&Submarine"));
    ui->AttSubEdit->setText(QStringLiteral("2"));
    ui->TakeWithCheckBox->setChecked(false);
    ui->AttIndTechCheckBox->setChecked(false);
}

void TForm1::ResetDefUnitsButtonClick()
{
    TRunsSuppressed suppressed(Control);
    ZeroCounts(false);
    ui->AACheckBox->setChecked(false);
    ui->DefIndTechCheckBox->setChecked(false);
}

void TForm1::ResetAllSettingsButtonClick()
{
    TRunsSuppressed suppressed(Control);

    ZeroCounts(true);
    ui->AttBmrButton->setText(QStringLiteral("B&omber"));
    ui->AttSubButton->setText(QStringLiteral("&Submarine"));
    ui->AttSubEdit->setText(QStringLiteral("2"));
    ui->AttBBButton->setText(QStringLiteral("&Battleship"));
    ui->TakeWithCheckBox->setChecked(false);
    ui->AttIndTechCheckBox->setChecked(false);
    ui->AttWithSubsAirOnlyCheckBox->setChecked(false);
    ui->SaveAirCheckBox->setChecked(false);
    // Writing every rank of a side also ends an edit of that side under way.
    WriteDefaultRanks(true);

    ZeroCounts(false);
    ui->DefBBButton->setText(QStringLiteral("&Battleship"));
    ui->AACheckBox->setChecked(false);
    ui->DefIndTechCheckBox->setChecked(false);
    ui->DefWithSubs1stRndCheckBox->setChecked(false);
    ui->DefWithSubsAirOnlyCheckBox->setChecked(false);
    WriteDefaultRanks(false);

    ui->WithdrawalButton->setText(QStringLiteral("&Enable"));
    const auto with = WithdrawalFields();
    for (QSpinBox* field : with) field->setValue(0);
    for (QSpinBox* field : with) {
        field->setEnabled(false);
        PaintField(field, false);
    }

    ui->AllRoundsCheckBox->setChecked(true);
}
