// Exchange of the attacker's and the defender's units.
//
// Only counts change sides; ranks, prices, variants and options stay where
// they are. Each count write that changes a value runs that field's handler,
// so the availability rules follow every step.
#include <QSpinBox>

#include "Dizorivurad/Dizorivurad.h"
#include "ui_Dizorivurad.h"

namespace {

// The defender's slot of each attacker kind; the jet fighter has none.
constexpr int DefSlotOf[AttKinds] = {dINF, dARM, dFTR, dBMR, dBB, dAC, dTRN, dSUB};

}  // namespace

void TForm1::FlipFlopButtonClick()
{
    const auto att = AttCountEdits();
    const auto def = DefCountEdits();
    const auto count = [&](int slot) { return att[slot]->value(); };

    if (count(aINF) + count(aARM) > 0 && count(aBB) > 0) {
        ShowWarning(QStringLiteral("Unable to flip/flop land units and a battleship."));
    } else if (count(aBB) + count(aAC) + count(aTRN) + count(aSUB) > 0 && count(aBMR) > 0) {
        ShowWarning(QStringLiteral("Unable to flip/flop sea units and a bomber."));
    } else {
        for (int k = 0; k < AttKinds; ++k) {
            const int a = att[k]->value();
            const int d = def[DefSlotOf[k]]->value();
            att[k]->setValue(d);
            def[DefSlotOf[k]]->setValue(a);
        }
        if (def[dJFTR]->value() > 0) {
            def[dJFTR]->setValue(0);
            ShowInformation(QStringLiteral("Defensive jet fighters have been set to zero."));
        }
    }
    // Asked for after a refusal too: automatic rolling then fights the unchanged setup.
    RequestRun();
}
