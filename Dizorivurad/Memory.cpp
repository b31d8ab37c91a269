// Battle memory: Mem and Recall.
//
// A slot is a snapshot of control contents. Recall writes it back as a
// sequence of ordinary control changes whose order matters: a value or check
// mark that really changes runs its control's handler (availability rules,
// threshold limits, the round-limit reset, a run request), while captions,
// enabled states and colours are written silently. Check marks therefore come
// after the counts whose rules may clear them, thresholds after all counts,
// and the round limit after "Calculate All Rounds".
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

namespace {

int Slot(const QObject* sender, const QPushButton* first, const QPushButton* second,
         const QPushButton* third)
{
    if (sender == first) return 0;
    if (sender == second) return 1;
    if (sender == third) return 2;
    return -1;
}

}  // namespace

void TForm1::MemButtonClick()
{
    const int k = Slot(sender(), ui->Mem1Button, ui->Mem2Button, ui->Mem3Button);
    if (k < 0) return;
    TStoredBattleRec& m = BattleMemory[k];

    const auto att = AttCountEdits();
    for (int i = 0; i < AttKinds; ++i) m.AttCount[i] = att[i]->value();
    m.TakeWith = ui->TakeWithCheckBox->isChecked();
    m.AttIndTech = ui->AttIndTechCheckBox->isChecked();
    // While a side is being edited its slot gets the order the side had when
    // the edit began: a slot never holds an order that a battle could not read.
    CompleteOrderCaptions(true, m.AttOrderCaption);

    const auto def = DefCountEdits();
    for (int i = 0; i < DefKinds; ++i) m.DefCount[i] = def[i]->value();
    m.AAGun = ui->AACheckBox->isChecked();
    m.DefIndTech = ui->DefIndTechCheckBox->isChecked();
    CompleteOrderCaptions(false, m.DefOrderCaption);

    m.WithdrawalCaption = ui->WithdrawalButton->text();
    const auto with = WithdrawalFields();
    for (int i = 0; i < 3; ++i) {
        m.WithEnabled[i] = with[i]->isEnabled();
        m.WithColor[i] = FieldColour(with[i]);
        m.WithValue[i] = with[i]->value();
    }
    m.Rounds = ui->RoundsSpinEdit->value();
    m.AllRounds = ui->AllRoundsCheckBox->isChecked();
    m.SaveAir = ui->SaveAirCheckBox->isChecked();
    m.AttWithSubsAirOnly = ui->AttWithSubsAirOnlyCheckBox->isChecked();
    m.DefWithSubsAirOnly = ui->DefWithSubsAirOnlyCheckBox->isChecked();
    m.DefWithSubs1stRnd = ui->DefWithSubs1stRndCheckBox->isChecked();
    m.VariantCaption[0] = ui->AttBmrButton->text();
    m.VariantCaption[1] = ui->AttSubButton->text();
    m.VariantCaption[2] = ui->AttBBButton->text();
    m.VariantCaption[3] = ui->DefBBButton->text();

    QPushButton* const recall[] = {ui->Recall1Button, ui->Recall2Button, ui->Recall3Button};
    recall[k]->setEnabled(true);
}

void TForm1::RecallButtonClick()
{
    const int k = Slot(sender(), ui->Recall1Button, ui->Recall2Button, ui->Recall3Button);
    // A disabled Recall button stands for a slot that was never stored.
    if (k < 0 || !static_cast<QPushButton*>(sender())->isEnabled()) return;
    // A copy: a run started by one of the writes lets events through, and a
    // Mem of this slot meanwhile must not change the rest of this recall.
    const TStoredBattleRec m = BattleMemory[k];

    const auto att = AttCountEdits();
    for (int i = 0; i < AttKinds; ++i) att[i]->setValue(m.AttCount[i]);            // 1
    ui->TakeWithCheckBox->setChecked(m.TakeWith);                                  // 2
    ui->AttIndTechCheckBox->setChecked(m.AttIndTech);                              // 3
    ui->AttWithSubsAirOnlyCheckBox->setChecked(m.AttWithSubsAirOnly);              // 4
    ui->SaveAirCheckBox->setChecked(m.SaveAir);                                    // 5
    const auto attRanks = AttHitOrderButtons();
    for (int i = 0; i < AttKinds; ++i) attRanks[i]->setText(m.AttOrderCaption[i]); // 6

    const auto def = DefCountEdits();
    for (int i = 0; i < DefKinds; ++i) def[i]->setValue(m.DefCount[i]);            // 7
    ui->AACheckBox->setChecked(m.AAGun);                                           // 8
    ui->DefIndTechCheckBox->setChecked(m.DefIndTech);                              // 9
    ui->DefWithSubs1stRndCheckBox->setChecked(m.DefWithSubs1stRnd);                // 10
    ui->DefWithSubsAirOnlyCheckBox->setChecked(m.DefWithSubsAirOnly);              // 11
    const auto defRanks = DefHitOrderButtons();
    for (int i = 0; i < DefKinds; ++i) defRanks[i]->setText(m.DefOrderCaption[i]); // 12

    ui->WithdrawalButton->setText(m.WithdrawalCaption);                            // 13
    const auto with = WithdrawalFields();
    for (int i = 0; i < 3; ++i) with[i]->setValue(m.WithValue[i]);                 // 14
    for (int i = 0; i < 3; ++i) with[i]->setEnabled(m.WithEnabled[i]);             // 15
    for (int i = 0; i < 3; ++i) SetFieldColour(with[i], m.WithColor[i]);           // 16

    ui->AllRoundsCheckBox->setChecked(m.AllRounds);                                // 17
    ui->RoundsSpinEdit->setValue(m.Rounds);                                        // 18

    ui->AttBmrButton->setText(m.VariantCaption[0]);                                // 19
    ui->AttSubButton->setText(m.VariantCaption[1]);
    ui->AttSubEdit->setText(m.VariantCaption[1] == QLatin1String("&Super Sub") ? QStringLiteral("3")
                                                                               : QStringLiteral("2"));
    ui->AttBBButton->setText(m.VariantCaption[2]);
    ui->DefBBButton->setText(m.VariantCaption[3]);
}
