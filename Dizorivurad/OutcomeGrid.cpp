// The outcome grid: rewrite, Sortgrid and header clicks.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::StringGrid1MouseUp(int, int) {}
void TForm1::Sortgrid(int) {}
void TForm1::SetUpGrid() {}
