// Run control: RequestRun, Go and Abort, rolling and luck modes, the round limit, and the setup read from the controls.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::GoButtonClick() {}
void TForm1::AbortButtonClick() {}
void TForm1::AutoRollingClick() {}
void TForm1::ManualRollingClick() {}
void TForm1::RegularModeClick() {}
void TForm1::LowLuckModeClick() {}
void TForm1::AllRoundsCheckBoxClick() {}
void TForm1::RoundsSpinEditChange() {}
void TForm1::RequestRun() {}
void TForm1::ReadSetup(TBattleSetupRec&) {}
int TForm1::RunSize() { return 0; }
bool TForm1::RestartOnStop() { return false; }
void TForm1::BattleStarting(int, int) {}
void TForm1::AfterBattle() {}
