#pragma once
// Puts a battle into the main window for a benchmark: its counts and AA gun
// entered with runs held back (so entering starts nothing), automatic
// rolling left in force, and every later run seeded with the given seed.
#include <QCheckBox>
#include <QSpinBox>

#include "Dizorivurad/Dizorivurad.h"
#include "model/BattleSetup.h"

inline void EnterBattle(TForm1& form, const TBattleSetupRec& setup, uint32_t seed)
{
    static const char* const attNames[AttKinds] = {"AttInfSpinEdit", "AttArmSpinEdit", "AttFtrSpinEdit",
                                                   "AttBmrSpinEdit", "AttBBSpinEdit",  "AttACSpinEdit",
                                                   "AttTrnSpinEdit", "AttSubSpinEdit"};
    static const char* const defNames[DefKinds] = {"DefInfSpinEdit", "DefArmSpinEdit", "DefFtrSpinEdit",
                                                   "DefJFtrSpinEdit", "DefBmrSpinEdit", "DefBBSpinEdit",
                                                   "DefACSpinEdit",  "DefTrnSpinEdit", "DefSubSpinEdit"};
    form.SeedHook = [seed] { return seed; };
    form.Control.SuppressRuns = true;
    for (int k = 0; k < AttKinds; ++k) form.findChild<QSpinBox*>(attNames[k])->setValue(setup.AttCount[k]);
    for (int k = 0; k < DefKinds; ++k) form.findChild<QSpinBox*>(defNames[k])->setValue(setup.DefCount[k]);
    form.findChild<QCheckBox*>("AACheckBox")->setChecked(setup.AAGun);
    form.Control.SuppressRuns = false;
}
