// Force entry panels: counts, variant buttons, Industrial Technology, and the
// availability rules that keep land-only and sea-only inputs apart.
//
// Every handler applies the rules it needs and then asks for a run. A rule
// that clears a check box does so through setChecked, so the box's own
// handler runs exactly when its mark really changes, as a player's click
// would; resets, battle memory and flip-flop rely on that cascade.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "Dizorivurad/Dizorivurad.h"
#include "model/Normalise.h"
#include "ui_Dizorivurad.h"

namespace {

const QString Bomber = QStringLiteral("B&omber");
const QString HeavyBomber = QStringLiteral("Hvy B&omber");
const QString Submarine = QStringLiteral("&Submarine");
const QString SuperSub = QStringLiteral("&Super Sub");
const QString Battleship = QStringLiteral("&Battleship");
const QString TwoHitBattleship = QStringLiteral("2 Hit &BB");

void SetCountAvailable(QSpinBox* count, bool available)
{
    count->setEnabled(available);
    TForm1::PaintField(count, available);
}

// An option that becomes unavailable also loses its mark.
void SetOptionAvailable(QCheckBox* option, bool available)
{
    option->setEnabled(available);
    if (!available) option->setChecked(false);
}

void ShowPrices(QLineEdit* const* fields, const int32_t* prices, int kinds)
{
    for (int k = 0; k < kinds; ++k) fields[k]->setText(QString::number(prices[k]));
}

}  // namespace

// ---- Availability rules -------------------------------------------------------

// Every count of either side under the rule.
void TForm1::SetCountsAvailable(TCountRule rule, bool available)
{
    const auto att = AttCountEdits();
    const auto def = DefCountEdits();
    for (int k = 0; k < AttKinds; ++k)
        if (AttCountRule[k] == rule) SetCountAvailable(att[k], available);
    for (int k = 0; k < DefKinds; ++k)
        if (DefCountRule[k] == rule) SetCountAvailable(def[k], available);
}

// A land battle locks out the sea-only counts. Only the attacker's own ground
// counts decide whether "Take w/ ground" is offered; the plain form (defender
// ground units, AA gun, Take w/ ground itself) leaves that box alone.
void TForm1::LandRule(bool attackerForm)
{
    TBattleSetupRec setup;
    ReadControls(setup);
    const bool land = IsLandBattle(setup);

    SetCountsAvailable(TCountRule::SeaOnly, !land);

    if (attackerForm) SetOptionAvailable(ui->TakeWithCheckBox, land);
}

// A sea battle locks out the land-only counts and options; the options keep
// their marks. "Take w/ ground" is never re-enabled here: only the attacker's
// own ground counts offer it again.
void TForm1::SeaRule()
{
    TBattleSetupRec setup;
    ReadControls(setup);
    const bool sea = IsSeaBattle(setup);

    SetCountsAvailable(TCountRule::LandOnly, !sea);

    ui->AACheckBox->setEnabled(!sea);
    if (sea) ui->TakeWithCheckBox->setEnabled(false);
}

// The predicates are the model's, which a battle coming from a file or the
// odds tool meets too (model/Normalise.h).
void TForm1::SaveAirRule()
{
    TBattleSetupRec setup;
    ReadControls(setup);
    SetOptionAvailable(ui->SaveAirCheckBox, SaveAirAvailable(setup));
}

void TForm1::SubRetreatRule()
{
    TBattleSetupRec setup;
    ReadControls(setup);
    const bool subs = DefSubRetreatAvailable(setup);
    SetOptionAvailable(ui->DefWithSubs1stRndCheckBox, subs);
    SetOptionAvailable(ui->DefWithSubsAirOnlyCheckBox, subs);
}

// ---- Counts -------------------------------------------------------------------

void TForm1::AttInfSpinEditChange()
{
    LandRule(true);
    SaveAirRule();
    RequestRun();
}

void TForm1::AttArmSpinEditChange()
{
    LandRule(true);
    SaveAirRule();
    RequestRun();
}

void TForm1::AttFtrSpinEditChange()
{
    SaveAirRule();
    RequestRun();
}

void TForm1::AttBmrSpinEditChange()
{
    SaveAirRule();
    RequestRun();
}

void TForm1::AttBBSpinEditChange() { RequestRun(); }

void TForm1::AttACSpinEditChange()
{
    SeaRule();
    RequestRun();
}

void TForm1::AttTrnSpinEditChange()
{
    SeaRule();
    RequestRun();
}

void TForm1::AttSubSpinEditChange()
{
    SeaRule();
    RequestRun();
}

void TForm1::DefInfSpinEditChange()
{
    LandRule(false);
    RequestRun();
}

void TForm1::DefArmSpinEditChange()
{
    LandRule(false);
    RequestRun();
}

void TForm1::DefFtrSpinEditChange() { RequestRun(); }

void TForm1::DefBmrSpinEditChange()
{
    LandRule(false);
    RequestRun();
}

void TForm1::DefBBSpinEditChange()
{
    SeaRule();
    RequestRun();
}

void TForm1::DefACSpinEditChange()
{
    SeaRule();
    RequestRun();
}

void TForm1::DefTrnSpinEditChange()
{
    SeaRule();
    RequestRun();
}

// Also bound to the jet fighter count, for which both rules find nothing new.
void TForm1::DefSubSpinEditChange()
{
    SeaRule();
    SubRetreatRule();
    RequestRun();
}

// ---- Unit variants --------------------------------------------------------------

void TForm1::AttBmrButtonClick()
{
    ui->AttBmrButton->setText(ui->AttBmrButton->text() == Bomber ? HeavyBomber : Bomber);
    RequestRun();
}

// The caption and the to-hit value change together: the engine reads the value.
void TForm1::AttSubButtonClick()
{
    const bool super = ui->AttSubButton->text() == Submarine;
    ui->AttSubButton->setText(super ? SuperSub : Submarine);
    ui->AttSubEdit->setText(QString::number(super ? SuperSubAttack : DefaultAttValue[aSUB]));
    RequestRun();
}

// One switch for both sides, whichever button was pressed.
void TForm1::AttBBButtonClick()
{
    const QString& caption = ui->AttBBButton->text() == Battleship ? TwoHitBattleship : Battleship;
    ui->AttBBButton->setText(caption);
    ui->DefBBButton->setText(caption);
    RequestRun();
}

// ---- Industrial Technology ------------------------------------------------------

void TForm1::AttIndTechCheckBoxClick()
{
    ShowPrices(AttIPCFields().data(), ui->AttIndTechCheckBox->isChecked() ? TechAttIPC : DefaultAttIPC, AttKinds);
    RequestRun();
}

void TForm1::DefIndTechCheckBoxClick()
{
    ShowPrices(DefIPCFields().data(), ui->DefIndTechCheckBox->isChecked() ? TechDefIPC : DefaultDefIPC, DefKinds);
    RequestRun();
}
