// Battle options: AA gun, Take w/ ground, Save Air, submarine retreats, withdrawal.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::AACheckBoxClick() {}
void TForm1::AdvAAButtonClick() {}
void TForm1::TakeWithCheckBoxClick() {}
void TForm1::SaveAirCheckBoxClick() {}
void TForm1::AttWithSubsAirOnlyCheckBoxClick() {}
void TForm1::DefWithSubs1stRndCheckBoxClick() {}
void TForm1::DefWithSubsAirOnlyCheckBoxClick() {}
void TForm1::WithdrawalButtonClick() {}
void TForm1::AttWithSpinEditChange() {}
void TForm1::DefWithSpinEditChange() {}
void TForm1::DefWithLessSpinEditChange() {}
