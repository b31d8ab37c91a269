// Battle memory: Mem and Recall.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::MemButtonClick() {}
void TForm1::RecallButtonClick() {}
