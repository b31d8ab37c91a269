// Force entry panels: counts, variant buttons, Industrial Technology, and the availability rules.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::AttInfSpinEditChange() {}
void TForm1::AttArmSpinEditChange() {}
void TForm1::AttFtrSpinEditChange() {}
void TForm1::AttBmrSpinEditChange() {}
void TForm1::AttBBSpinEditChange() {}
void TForm1::AttACSpinEditChange() {}
void TForm1::AttTrnSpinEditChange() {}
void TForm1::AttSubSpinEditChange() {}
void TForm1::DefInfSpinEditChange() {}
void TForm1::DefArmSpinEditChange() {}
void TForm1::DefFtrSpinEditChange() {}
void TForm1::DefBmrSpinEditChange() {}
void TForm1::DefBBSpinEditChange() {}
void TForm1::DefACSpinEditChange() {}
void TForm1::DefTrnSpinEditChange() {}
void TForm1::DefSubSpinEditChange() {}
void TForm1::AttBmrButtonClick() {}
void TForm1::AttSubButtonClick() {}
void TForm1::AttBBButtonClick() {}
void TForm1::AttIndTechCheckBoxClick() {}
void TForm1::DefIndTechCheckBoxClick() {}
void TForm1::LandRule(bool) {}
void TForm1::SeaRule() {}
void TForm1::SaveAirRule() {}
void TForm1::SubRetreatRule() {}
