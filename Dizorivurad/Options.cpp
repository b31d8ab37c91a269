// Battle options: AA gun, Take w/ ground, Save Air, submarine retreats, withdrawal.
// Availability of these controls belongs to the force panels' rules; the
// handlers here only apply the land rule where an option makes a land battle.
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>

#include "Dizorivurad/Dizorivurad.h"
#include "model/Normalise.h"
#include "ui_Dizorivurad.h"

void TForm1::AACheckBoxClick()
{
    LandRule(false);
    RequestRun();
}

void TForm1::AdvAAButtonClick()
{
    ShowWarning(QStringLiteral("Feature Coming Soon... Not implemented yet."));
}

void TForm1::TakeWithCheckBoxClick()
{
    LandRule(false);
    RequestRun();
}

void TForm1::SaveAirCheckBoxClick() { RequestRun(); }
void TForm1::AttWithSubsAirOnlyCheckBoxClick() { RequestRun(); }
void TForm1::DefWithSubs1stRndCheckBoxClick() { RequestRun(); }
void TForm1::DefWithSubsAirOnlyCheckBoxClick() { RequestRun(); }

std::array<QSpinBox*, 3> TForm1::WithdrawalFields() const
{
    return {ui->AttWithSpinEdit, ui->DefWithSpinEdit, ui->DefWithLessSpinEdit};
}

// Withdrawal is in force while the button offers to disable it. Turning it
// off greys the thresholds first and then zeroes them one by one, each
// through its own handler.
void TForm1::WithdrawalButtonClick()
{
    const bool on = ui->WithdrawalButton->text() == QLatin1String("&Enable");
    ui->WithdrawalButton->setText(on ? QStringLiteral("Disabl&e") : QStringLiteral("&Enable"));
    const auto fields = WithdrawalFields();
    for (QSpinBox* field : fields) {
        field->setEnabled(on);
        PaintField(field, on);
    }
    if (!on)
        for (QSpinBox* field : fields) field->setValue(0);
    RequestRun();
}

bool TForm1::ThresholdWithinTotal(QSpinBox* threshold, bool attacker)
{
    TBattleSetupRec setup;
    ReadControls(setup);
    const int total = SideTotal(setup, attacker);
    if (threshold->value() <= total) return true;
    threshold->setValue(total);
    return false;
}

// A threshold above its side's unit total is lowered to the total. Lowering
// it runs this handler again for the lowered value, and that run makes the
// request, so a clamped entry asks for one run, not two.
void TForm1::AttWithSpinEditChange()
{
    if (ThresholdWithinTotal(ui->AttWithSpinEdit, true)) RequestRun();
}

void TForm1::DefWithSpinEditChange()
{
    if (ThresholdWithinTotal(ui->DefWithSpinEdit, false)) RequestRun();
}

void TForm1::DefWithLessSpinEditChange()
{
    if (ThresholdWithinTotal(ui->DefWithLessSpinEdit, false)) RequestRun();
}
