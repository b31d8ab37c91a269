#include "BattleFiles/BattleFiles.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <string_view>

#include "Support/BattleHost.h"
#include "Support/SaveText.h"
#include "model/BattleFile.h"
#include "model/Normalise.h"

std::function<QString(bool save)> TBattleFiles::DialogHook;
QString TBattleFiles::SettingsOrganisation = QStringLiteral("varnholt");

namespace {

const QString RecentKey = QStringLiteral("RecentBattles");
const QString Suffix = QStringLiteral("vbattle");
const QString Filter = QStringLiteral("Battle files (*.vbattle);;All files (*)");

QSettings Settings() { return QSettings(TBattleFiles::SettingsOrganisation, QStringLiteral("varnholt")); }

// The local battle file a drag carries, or an empty string.
QString DraggedBattle(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().front();
    if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).suffix() != Suffix) return {};
    return url.toLocalFile();
}

// Two setups fight the same battles: the round limit counts only with a
// limit, the thresholds only with withdrawal.
bool SameBattle(TBattleSetupRec a, TBattleSetupRec b)
{
    for (TBattleSetupRec* s : {&a, &b}) {
        if (s->AllRounds) s->Rounds = 1;
        if (!s->Withdrawal) s->AttWith = s->DefWith = s->DefWithLess = 0;
    }
    return a == b;
}

// What the player sees of an adjusted member: the caption of its control.
QString Caption(const TAdjustment& a)
{
    static const std::pair<const char*, const char*> Captions[] = {
        {"SaveAir", "Save Air"},
        {"DefWithSubs1stRnd", "Retreat Subs after 1st round"},
        {"DefWithSubsAirOnly", "defender's Retreat Subs against air only"},
        {"AttWith", "ATT Units <="},
        {"DefWith", "DEF Units >="},
        {"DefWithLess", "DEF Units <="},
    };
    for (const auto& [member, caption] : Captions)
        if (std::string_view(member) == a.Member) return QString::fromUtf8(caption);
    return QString::fromUtf8(a.Member);
}

QString Value(const TAdjustment& a, int32_t v) { return a.Switch ? (v ? QStringLiteral("on") : QStringLiteral("off")) : QString::number(v); }

// One line per adjustment: what, from, to and why.
QString AdjustmentLines(const std::vector<TAdjustment>& adjustments)
{
    QString lines;
    for (const TAdjustment& a : adjustments)
        lines += QStringLiteral("\n%1: from %2 to %3, %4")
                     .arg(Caption(a), Value(a, a.From), Value(a, a.To), QString::fromStdString(a.Why));
    return lines;
}

}  // namespace

TBattleFiles::TBattleFiles(QWidget* window, TBattleHost& host, QAction* open, QAction* save, QMenu* recent)
    : QObject(window), Window(window), Host(host), RecentMenu(recent)
{
    connect(open, &QAction::triggered, this, &TBattleFiles::OpenClick);
    connect(save, &QAction::triggered, this, &TBattleFiles::SaveClick);
    FillRecentMenu();
    // A drop goes to the innermost widget that takes drops: the window, or an
    // entry field under the pointer, which would take the file's name as text.
    Window->setAcceptDrops(true);
    Window->installEventFilter(this);
    for (QWidget* field : Window->findChildren<QWidget*>())
        if (field->acceptDrops()) field->installEventFilter(this);
}

// ---- Open ------------------------------------------------------------------------

bool TBattleFiles::Open(const QString& path)
{
    const TBattleFileRead read = ReadBattleFile(QFile::encodeName(path).toStdString());
    if (!read.Setup) {
        Host.ShowWarning(QStringLiteral("Cannot open the battle file \"%1\":\n%2")
                              .arg(QDir::toNativeSeparators(path), QString::fromStdString(read.Error)));
        return false;
    }
    const TNormalisedBattle battle = NormaliseBattle(*read.Setup);
    Host.WriteBattle(battle.Setup);
    Keep(path);
    if (!battle.Adjustments.empty() || !SameBattle(Host.KeptBattle(), battle.Setup))
        Host.ShowWarning(QStringLiteral("Some settings of \"%1\" are not possible in this window and were adjusted.")
                             .arg(QFileInfo(path).fileName()) +
                         AdjustmentLines(battle.Adjustments));
    Host.RequestRun();
    return true;
}

bool TBattleFiles::Changed(const TBattleSetupRec& now) const { return !File.isEmpty() && !SameBattle(now, FileBattle); }

// The battle now is the file's.
void TBattleFiles::Keep(const QString& path)
{
    Remember(path);
    File = QFileInfo(path).absoluteFilePath();
    FileBattle = Host.KeptBattle();
    emit FileChanged();
}

void TBattleFiles::OpenLater(const QString& path)
{
    QTimer::singleShot(0, this, [this, path] { Open(path); });
}

// ---- Save ------------------------------------------------------------------------

bool TBattleFiles::Save(const QString& path)
{
    const std::string text = BattleFileText(Host.KeptBattle());
    const QString error = SaveTextAtomically(path, text);
    if (!error.isEmpty()) {
        Host.ShowWarning(QStringLiteral("Cannot save the battle to \"%1\":\n%2").arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    Keep(path);
    return true;
}

// ---- Menu items and drops -----------------------------------------------------------

QString TBattleFiles::LastFolder() const
{
    const QStringList recent = RecentBattles();
    return recent.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                            : QFileInfo(recent.front()).absolutePath();
}

QString TBattleFiles::ProposedSavePath() const
{
    const QString name = QString::fromStdString(BattleFileName(Host.KeptBattle())) + u'.' + Suffix;
    return QDir(LastFolder()).filePath(name);
}

QString TBattleFiles::AskForFile(bool save) const
{
    if (DialogHook) return DialogHook(save);
    if (!save) return QFileDialog::getOpenFileName(Window, QStringLiteral("Open Battle"), LastFolder(), Filter);
    QString path = QFileDialog::getSaveFileName(Window, QStringLiteral("Save Battle As"), ProposedSavePath(), Filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += u'.' + Suffix;
    return path;
}

void TBattleFiles::OpenClick()
{
    const QString path = AskForFile(false);
    if (!path.isEmpty()) Open(path);
}

void TBattleFiles::SaveClick()
{
    const QString path = AskForFile(true);
    if (!path.isEmpty()) Save(path);
}

bool TBattleFiles::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (DraggedBattle(drag->mimeData()).isEmpty()) return false;
        drag->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = DraggedBattle(drop->mimeData());
        if (path.isEmpty()) return false;
        drop->acceptProposedAction();
        OpenLater(path);
        return true;
    }
    return false;
}

// ---- Recent battles -------------------------------------------------------------------

QStringList TBattleFiles::RecentBattles() const { return Settings().value(RecentKey).toStringList(); }

void TBattleFiles::Remember(const QString& path)
{
    QStringList recent = RecentBattles();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > MaxRecent) recent.removeLast();
    Settings().setValue(RecentKey, recent);
    FillRecentMenu();
}

void TBattleFiles::FillRecentMenu()
{
    QMenu* menu = RecentMenu;
    menu->clear();
    const QStringList recent = RecentBattles();
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        QString name = QFileInfo(path).fileName();
        name.replace(u'&', QStringLiteral("&&"));
        QAction* item = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        item->setToolTip(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this, [this, path] { Open(path); });
    }
    menu->setEnabled(!recent.isEmpty());
}
