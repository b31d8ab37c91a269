#pragma once
// What the window benchmarks share: a shown main window offscreen, and a
// battle entered into it.
#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <benchmark/benchmark.h>
#include <functional>

#include "Dizorivurad/Dizorivurad.h"
#include "model/BattleSetup.h"

// The battle's counts and AA gun entered with runs held back (so entering
// starts nothing), automatic rolling left in force, and every later run
// seeded with the given seed.
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

// Runs the registered benchmarks against a shown main window, after prepare
// (which may refuse with a non-zero exit status) has set it up.
inline int RunWindowBenchmarks(int argc, char** argv, TForm1*& form, const std::function<int(TForm1&)>& prepare)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    TForm1::MessageHook = [](bool, const QString&) {};

    TForm1 window;
    window.show();
    QCoreApplication::processEvents();
    form = &window;
    if (const int status = prepare(window)) return status;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
