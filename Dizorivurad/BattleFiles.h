#pragma once
// Battle files in the window: "&Open Battle...", "&Save Battle As...",
// "Recent &Battles", a battle file dropped on the window, and the file named
// on the command line. The file format itself is model/BattleFile.h.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "model/BattleSetup.h"

class TForm1;

class TBattleFiles : public QObject {
    Q_OBJECT

public:
    explicit TBattleFiles(TForm1* form);

    // Opens a battle: the controls are written through the window's own
    // handlers with runs held back, then one run is asked for. A file that
    // cannot be read is refused with a message, and the window stays as it was.
    bool Open(const QString& path);
    // Opens once the event loop runs: at start-up, and after a drop (the
    // program that dragged the file does not wait for the battle's run).
    void OpenLater(const QString& path);
    // Writes the window's battle atomically: a failed save says why and
    // leaves any old file as it was.
    bool Save(const QString& path);

    // The last battles opened or saved, newest first.
    QStringList RecentBattles() const;
    static constexpr int MaxRecent = 8;

    // Asks for a file name (save: where to save); an empty name cancels.
    // The file dialogs unless a test replaces it.
    static std::function<QString(bool save)> DialogHook;
    // The organisation under which QSettings keeps the recent battles; tests use their own.
    static QString SettingsOrganisation;

protected:
    // Drops of battle files on the window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenClick();
    void SaveClick();
    QString AskForFile(bool save) const;
    void Apply(const TBattleSetupRec& setup);
    TBattleSetupRec WindowBattle() const;
    void Remember(const QString& path);
    void FillRecentMenu();

    TForm1* const Form;
};
