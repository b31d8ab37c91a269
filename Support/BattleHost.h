#pragma once
// TBattleHost: what the windows beside the main window (battle files, the
// planner, the turn window) may ask of it. They read and write the battle only
// through here, so none of them needs the main window's own header.
#include <QString>
#include <cstdint>

#include "model/BattleSetup.h"

class TBattleHost {
public:
    // The battle in the controls; false while a kill order is being edited.
    virtual bool CurrentSetup(TBattleSetupRec& setup) const = 0;
    // The battle as battle memory would keep it: during a kill-order edit,
    // with the order the side had when the edit began.
    virtual TBattleSetupRec KeptBattle() const = 0;
    // Writes a battle into the controls through the window's own handlers,
    // with runs held back; no run follows. The window then holds the battle as
    // NormaliseBattle (model/Normalise.h) adjusts it.
    virtual void WriteBattle(const TBattleSetupRec& setup) = 0;
    // Gives a side a complete kill order (ranks by slot) and asks for a run.
    virtual void SetKillOrder(bool attacker, const int32_t* ranks) = 0;
    // Asks for a run of the battle in the controls.
    virtual void RequestRun() = 0;
    // A message box, or the tests' hook.
    virtual void ShowWarning(const QString& text) = 0;

protected:
    ~TBattleHost() = default;
};
