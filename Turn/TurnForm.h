#pragma once
// TTurnForm: the turn odds beside the main window. A turn is a list of named
// battles taken from the main window; the window shows each battle's goal,
// its chance and expected IPC swing, and for the whole turn the chance that
// all goals, or at least k of them, are met and the spread of the turn's
// swing. The figures are worked out on worker threads after every change, a
// newer turn cancelling the older work; a battle worked out once is not
// worked out again while it stays in the turn.
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Support/JobWorker.h"
#include "engine/advice/TurnOdds.h"
#include "model/TurnFile.h"

class TBattleHost;
class TTurnCharts;

namespace Ui {
class TTurnForm;
}

class TTurnForm : public QWidget {
    Q_OBJECT

public:
    // A window of its own, owned by `owner`, reading and writing `host`'s battle.
    TTurnForm(QWidget* owner, TBattleHost& host);
    ~TTurnForm() override;

    // Replaces the turn with a turn file's battles; a refused file changes
    // nothing and is reported through the host.
    bool Open(const QString& path);
    // Writes the turn to path in one step (a failed write leaves any old file).
    bool Save(const QString& path);

    const std::vector<TTurnBattle>& Battles() const { return Turn; }
    // The figures on show (none while they are being worked out).
    const std::optional<TTurnOdds>& ShownOdds() const { return Odds; }
    bool Working() const { return Busy; }

    // Tests: answers the file dialogs (save: true for "Save Turn As").
    static std::function<QString(bool save)> DialogHook;

    Ui::TTurnForm* ui;

public slots:
    void AddButtonClick();
    void ReplaceButtonClick();
    void ShowButtonClick();
    void RemoveButtonClick();
    void OpenButtonClick();
    void SaveButtonClick();

private:
    void NameEdited(int row, int column);
    void TurnChanged();
    void Finished(quint64 id);
    void WriteTable();
    void WriteFigures();
    void WriteButtons();
    int SelectedRow() const;
    const TBattleOddsOfTurn* KnownOdds(const TBattleSetupRec& setup) const;
    QString AskPath(bool save);

    TBattleHost& Host;
    std::vector<TTurnBattle> Turn;
    TJobWorker<TTurnOdds> Worker;
    std::unique_ptr<TTurnCharts> Charts;
    uint64_t JobId = 0;
    bool Busy = false;
    std::optional<TTurnOdds> Odds;
    // Battles worked out, by setup: kept while a battle of that setup is in the turn.
    std::vector<std::pair<TBattleSetupRec, TBattleOddsOfTurn>> Known;
    bool Writing = false;  // the table is being rewritten: its edits are not the player's
};
