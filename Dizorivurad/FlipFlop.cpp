// Exchange of the attacker's and the defender's units.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::FlipFlopButtonClick() {}
