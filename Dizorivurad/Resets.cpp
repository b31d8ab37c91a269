// The three resets.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::ResetAttUnitsButtonClick() {}
void TForm1::ResetDefUnitsButtonClick() {}
void TForm1::ResetAllSettingsButtonClick() {}
