// Publication of a run's figures: "Runs:", the average results panel, Store Results.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::Button1Click() {}
void TForm1::Publish(const RunTotals&, const TBattleResultsRec*, int, bool) {}
void TForm1::RunStarting() {}
