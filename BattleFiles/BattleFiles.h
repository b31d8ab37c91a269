#pragma once
// Battle files in the window: "&Open Battle...", "&Save Battle As...",
// "Recent &Battles", a battle file dropped on the window, and the file named
// on the command line. The file format itself is model/BattleFile.h.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "model/BattleSetup.h"

class QAction;
class QMenu;
class QWidget;
class TBattleHost;

class TBattleFiles : public QObject {
    Q_OBJECT

public:
    // The files of `host`'s battle: `window` takes the drops and parents the
    // dialogs; the menu items are the window's.
    TBattleFiles(QWidget* window, TBattleHost& host, QAction* open, QAction* save, QMenu* recent);

    // Opens a battle: the host writes it into its controls, then one run is
    // asked for. A file that
    // cannot be read is refused with a message, and the window stays as it was.
    bool Open(const QString& path);
    // Opens once the event loop runs: at start-up, and after a drop (the
    // program that dragged the file does not wait for the battle's run).
    void OpenLater(const QString& path);
    // Writes the window's battle atomically: a failed save says why and
    // leaves any old file as it was.
    bool Save(const QString& path);

    // The file the battle was last opened from or saved to (empty: none),
    // and whether the window's battle is no longer that file's.
    QString CurrentFile() const { return File; }
    bool Changed(const TBattleSetupRec& now) const;
    // Where "&Save Battle As..." proposes to save: a name made from the
    // battle, in the folder last used.
    QString ProposedSavePath() const;

    // The last battles opened or saved, newest first.
    QStringList RecentBattles() const;
    static constexpr int MaxRecent = 8;

    // Asks for a file name (save: where to save); an empty name cancels.
    // The file dialogs unless a test replaces it.
    static std::function<QString(bool save)> DialogHook;
    // The organisation under which QSettings keeps the recent battles; tests use their own.
    static QString SettingsOrganisation;

signals:
    // The battle now is the one of CurrentFile().
    void FileChanged();

protected:
    // Drops of battle files on the window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenClick();
    void SaveClick();
    QString AskForFile(bool save) const;
    void Remember(const QString& path);
    void FillRecentMenu();
    QString LastFolder() const;
    void Keep(const QString& path);

    QWidget* const Window;
    TBattleHost& Host;
    QMenu* const RecentMenu;
    QString File;
    TBattleSetupRec FileBattle;
};
