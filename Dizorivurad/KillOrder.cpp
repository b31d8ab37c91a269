// Basic kill orders: editing through the hit-order buttons, defaults, the advanced order.
// (placeholder: filled in by its owner)
#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

void TForm1::EditAttKillOrderButtonClick() {}
void TForm1::EditDefKillOrderButtonClick() {}
void TForm1::AttHitOrderButtonClick() {}
void TForm1::DefHitOrderButtonClick() {}
void TForm1::DefaultAttKillOrderButtonClick() {}
void TForm1::DefaultDefKillOrderButtonClick() {}
void TForm1::AdvancedKillOrderButtonClick() {}
bool TForm1::KillOrderIncomplete() const { return false; }
