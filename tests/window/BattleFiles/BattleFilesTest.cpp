// Battle files in the window: a saved battle opens to the same controls and
// the same seeded run (in a fresh window too), refused files change nothing,
// a failed save keeps the old file, drops, and the recent list.
#include <QDir>
#include <QMenu>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <sys/resource.h>

#include "BattleFiles/BattleFiles.h"
#include "tests/window/WindowTestSupport.h"

namespace {

constexpr int Battles = 2000;
constexpr uint32_t TestSeed = 20040306;  // TRunCounter's seed

// A land battle with every switch a file keeps, in low luck.
void LandSetup(TWindowFixture& w)
{
    w.Spin("AttInfSpinEdit")->setValue(4);
    w.Spin("AttArmSpinEdit")->setValue(2);
    w.Spin("AttFtrSpinEdit")->setValue(2);
    w.Spin("AttBmrSpinEdit")->setValue(1);
    w.Check("TakeWithCheckBox")->setChecked(true);
    w.Check("AttIndTechCheckBox")->setChecked(true);
    w.Check("SaveAirCheckBox")->setChecked(true);
    EditKillOrder(w, true, {aARM, aINF, aFTR, aSUB, aTRN, aAC, aBMR, aBB});
    w.Spin("DefInfSpinEdit")->setValue(5);
    w.Spin("DefJFtrSpinEdit")->setValue(1);
    w.Check("AACheckBox")->setChecked(true);
    w.Check("DefIndTechCheckBox")->setChecked(true);
    w.Button("WithdrawalButton")->click();
    w.Spin("AttWithSpinEdit")->setValue(2);
    w.Spin("DefWithSpinEdit")->setValue(4);
    w.Check("AllRoundsCheckBox")->setChecked(false);
    w.Spin("RoundsSpinEdit")->setValue(6);
    w.Button("AttBmrButton")->click();  // Hvy B&omber
    w.Choose("LowLuckMode");
}

// A sea battle with the submarine and battleship variants.
void SeaSetup(TWindowFixture& w)
{
    w.Spin("AttSubSpinEdit")->setValue(3);
    w.Spin("AttBBSpinEdit")->setValue(1);
    w.Spin("AttFtrSpinEdit")->setValue(2);
    w.Spin("DefSubSpinEdit")->setValue(2);
    w.Spin("DefACSpinEdit")->setValue(1);
    w.Check("DefWithSubs1stRndCheckBox")->setChecked(true);
    w.Button("AttSubButton")->click();  // &Super Sub
    w.Button("DefBBButton")->click();   // 2 Hit &BB
}

QStringList Outcomes(TForm1& form)
{
    QStringList rows;
    for (const TBattleResultsRec& o : form.OutcomeList.Entries()) {
        QString row = QString::number(int(o.Victor));
        for (int32_t n : o.AttCount) row += u' ' + QString::number(n);
        for (int32_t n : o.DefCount) row += u' ' + QString::number(n);
        rows << row + u' ' + QString::number(o.Instances);
    }
    return rows;
}

QStringList Contents(TWindowFixture& w)
{
    return WindowContents(w) << QStringLiteral("LowLuck=%1").arg(w.Action("LowLuckMode")->isChecked());
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The end states of the odds tool's seeded run of a battle file, as rows of counts.
QStringList ToolOutcomes(const QString& path)
{
    QProcess tool;
    tool.start(QStringLiteral(ODDS_TOOL), {QStringLiteral("--setup"), path, QStringLiteral("--seed"),
                                           QString::number(TestSeed), QStringLiteral("--battles"),
                                           QString::number(Battles), QStringLiteral("--json")});
    if (!tool.waitForFinished(EventWaitMs) || tool.exitCode() != 0) return {QStringLiteral("the tool failed")};
    QStringList rows;
    for (const QJsonValue o : QJsonDocument::fromJson(tool.readAllStandardOutput())[QLatin1String("outcomes")].toArray()) {
        QString row;
        for (const QJsonValue n : o[QLatin1String("AttCount")].toArray()) row += QString::number(n.toInt()) + u' ';
        for (const QJsonValue n : o[QLatin1String("DefCount")].toArray()) row += QString::number(n.toInt()) + u' ';
        rows << row + QString::number(o[QLatin1String("Instances")].toInt());
    }
    return rows;
}

QStringList WithoutVictor(const QStringList& outcomes)
{
    QStringList rows;
    for (const QString& row : outcomes) rows << row.section(u' ', 1);
    return rows;
}

}  // namespace

class BattleFilesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void savedBattleOpensToTheSameRun_data();
    void savedBattleOpensToTheSameRun();
    void refusedFileChangesNothing();
    void failedSaveSaysWhyAndKeepsTheOldFile();
    void droppedBattleFileOpens();  // and an adjusted one
    void adjustedFileSaysWhatChangedAndTheTitleNamesIt();
    void recentBattlesKeepTheLastEight();

private:
    QTemporaryDir Dir;
    QString Path(const char* name) const { return Dir.filePath(QString::fromLatin1(name)); }
};

void BattleFilesTest::initTestCase()
{
    // The recent list goes to the test's own folder, not to the player's settings.
    QVERIFY(Dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Dir.path());
    TBattleFiles::SettingsOrganisation = QStringLiteral("varnholt-tests");
}

void BattleFilesTest::cleanupTestCase()
{
    TBattleFiles::DialogHook = nullptr;
}

void BattleFilesTest::savedBattleOpensToTheSameRun_data()
{
    QTest::addColumn<bool>("land");
    QTest::newRow("land") << true;
    QTest::newRow("sea") << false;
}

// Saved through the menu, reset, opened through the menu: the same controls
// and, with the same seed, the same run; the odds tool's run of the file too.
void BattleFilesTest::savedBattleOpensToTheSameRun()
{
    QFETCH(bool, land);
    const QString path = Path(land ? "land.vbattle" : "sea.vbattle");
    TBattleFiles::DialogHook = [path](bool) { return path; };

    QStringList contents, outcomes;
    {
        TWindowFixture w;
        TRunCounter runs(w.Form(), Battles);
        TEditWatchdog watchdog(w);
        land ? LandSetup(w) : SeaSetup(w);
        contents = Contents(w);
        outcomes = Outcomes(w.Form());
        QVERIFY(!outcomes.isEmpty());
        w.Choose("SaveBattleAs1");
        QVERIFY(w.Messages().empty());

        w.Button("ResetAllSettingsButton")->click();
        w.Choose("RegularMode");
        QVERIFY(Contents(w) != contents);
        const int before = runs.Runs;
        w.Choose("OpenBattle1");
        QVERIFY(w.Messages().empty());
        QCOMPARE(runs.Runs, before + 1);  // one run for the whole battle
        QCOMPARE(Contents(w), contents);
        QCOMPARE(Outcomes(w.Form()), outcomes);
    }

    // Another process: the odds tool fights the file's battle with the same seed.
    QCOMPARE(ToolOutcomes(path), WithoutVictor(outcomes));
}

// A file whose battle the window's rules adjust: the message names every
// adjustment; the window and the odds tool fight the same adjusted battle;
// the title names the file and marks a change; Save proposes the battle's name.
void BattleFilesTest::adjustedFileSaysWhatChangedAndTheTitleNamesIt()
{
    const QString path = Path("adjusted.vbattle");
    WriteFile(path, R"({"format": "varnholt-battle", "version": 1, "setup": {"AttCount": [0,0,2,0,0,0,0,0],
                        "DefCount": [1,0,0,0,0,0,0,0,0], "SaveAir": true, "DefWithSubs1stRnd": true,
                        "Withdrawal": true, "AttWith": 50, "DefWith": 40}})");
    TWindowFixture w;
    TRunCounter runs(w.Form(), Battles);
    QVERIFY(w.Form().Files->Open(path));
    QCOMPARE(w.Messages().size(), size_t{1});
    const QStringList lines = w.Messages()[0].Text.split(u'\n');
    QCOMPARE(lines.mid(1), QStringList({
        QStringLiteral("Save Air: from on to off, needs attacking infantry or armor to lose and fighters or bombers to save"),
        QStringLiteral("Retreat Subs after 1st round: from on to off, the defender has no submarines"),
        QStringLiteral("ATT Units <=: from 50 to 2, limited to the attacker's 2 units"),
        QStringLiteral("DEF Units >=: from 40 to 1, limited to the defender's 1 unit"),
    }));
    QVERIFY(!w.Check("SaveAirCheckBox")->isChecked());
    QCOMPARE(w.Spin("DefWithSpinEdit")->value(), 1);
    QCOMPARE(ToolOutcomes(path), WithoutVictor(Outcomes(w.Form())));

    const QString caption = QStringLiteral("adjusted.vbattle[*] - ");
    QVERIFY(w.Form().windowTitle().startsWith(caption));
    QVERIFY(!w.Form().isWindowModified());
    w.Spin("DefInfSpinEdit")->setValue(3);
    QVERIFY(w.Form().isWindowModified());
    QCOMPARE(w.Form().Files->ProposedSavePath(), Path("2 FTR v 3 INF.vbattle"));
    w.Spin("DefInfSpinEdit")->setValue(1);
    QVERIFY(!w.Form().isWindowModified());
}

void BattleFilesTest::refusedFileChangesNothing()
{
    const QByteArray head = R"({"format": "varnholt-battle", "version": )";
    const struct {
        const char* Name;
        QByteArray Bytes;  // null: made below
        const char* Reason;
    } cases[] = {
        {"member.vbattle", head + R"(1, "setup": {"AttCount": [1,0,0,0,0,0,0,0], "Colour": 1}})", "setup.Colour"},
        {"newer.vbattle", head + R"(2, "setup": {}})", "newer version"},
        {"truncated.vbattle", head + R"(1, "setup": {"AttCount": [1,0,)", "not valid JSON"},
        {"folder.vbattle", {}, "folder"},
        {"missing.vbattle", {}, "No such file"},
    };
    QVERIFY(QDir(Dir.path()).mkpath(QStringLiteral("folder.vbattle")));
    TWindowFixture w;
    TRunCounter runs(w.Form(), Battles);
    w.Spin("AttInfSpinEdit")->setValue(2);
    w.Spin("DefInfSpinEdit")->setValue(1);
    const QStringList contents = Contents(w);
    const int before = runs.Runs;
    for (const auto& c : cases) {
        const QString path = Path(c.Name);
        if (!c.Bytes.isNull()) WriteFile(path, c.Bytes);
        w.ClearMessages();
        QVERIFY(!w.Form().Files->Open(path));
        QCOMPARE(w.Messages().size(), size_t{1});
        QVERIFY2(w.Messages()[0].Text.contains(QLatin1String(c.Reason)), qPrintable(w.Messages()[0].Text));
        QCOMPARE(Contents(w), contents);
    }
    QCOMPARE(runs.Runs, before);
    QVERIFY(w.Form().Files->RecentBattles().filter(QStringLiteral("missing")).isEmpty());
}

void BattleFilesTest::failedSaveSaysWhyAndKeepsTheOldFile()
{
    TWindowFixture w;
    TRunCounter runs(w.Form(), Battles);
    // A full disk, even for the superuser: no file may grow past 16 bytes.
    const QString path = Path("old.vbattle");
    WriteFile(path, "old");
    rlimit was{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &was), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = was;
    full.rlim_cur = 16;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
    const bool saved = w.Form().Files->Save(path);
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, oldSignal);
    QVERIFY2(w.Messages()[0].Text.contains(QLatin1String("File too large")), qPrintable(w.Messages()[0].Text));
    QVERIFY(!saved);
    QCOMPARE(w.Messages().size(), size_t{1});
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
}

void BattleFilesTest::droppedBattleFileOpens()
{
    const QString path = Path("dropped.vbattle");
    WriteFile(path, R"({"format": "varnholt-battle", "version": 1, "setup": {"AttCount": [0,0,0,0,0,0,0,2]}})");
    TWindowFixture w;
    TRunCounter runs(w.Form(), Battles);
    // On the window, and on an entry field, which would otherwise take the name as text.
    auto drop = [](QWidget* target, const QString& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    };
    QWidget* field = w.Spin("DefInfSpinEdit")->findChild<QLineEdit*>();
    QVERIFY(!drop(&w.Form(), Path("notes.txt")));
    QVERIFY(drop(&w.Form(), path));
    QTRY_COMPARE(w.Spin("AttSubSpinEdit")->value(), 2);
    w.Spin("AttSubSpinEdit")->setValue(0);
    QVERIFY(drop(field, path));
    QTRY_COMPARE(w.Spin("AttSubSpinEdit")->value(), 2);
    QCOMPARE(w.Spin("DefInfSpinEdit")->value(), 0);
    QVERIFY(w.Messages().empty());

    // A battle the window cannot hold as it is: its rules adjust it, and it says so.
    const QString high = Path("high.vbattle");
    WriteFile(high, R"({"format": "varnholt-battle", "version": 1, "setup": {"AttCount": [2,0,0,0,0,0,0,0],
                        "Withdrawal": true, "AttWith": 5}})");
    QVERIFY(w.Form().Files->Open(high));
    QCOMPARE(w.Spin("AttWithSpinEdit")->value(), 2);
    QCOMPARE(w.Messages().size(), size_t{1});
    QVERIFY(w.Messages()[0].Text.contains(QLatin1String("adjusted")));
}

void BattleFilesTest::recentBattlesKeepTheLastEight()
{
    TWindowFixture w;
    TRunCounter runs(w.Form(), Battles);
    QStringList saved;
    for (int i = 0; i < 10; ++i) {
        saved.prepend(Path(qPrintable(QStringLiteral("r&%1.vbattle").arg(i % 9))));
        QVERIFY(w.Form().Files->Save(saved.front()));
    }
    saved.removeDuplicates();  // the tenth saves r&0 again: it moves to the top
    QCOMPARE(w.Form().Files->RecentBattles(), saved.mid(0, TBattleFiles::MaxRecent));
    const QList<QAction*> items = w.Find<QMenu>("RecentBattles1")->actions();
    QCOMPARE(items.size(), TBattleFiles::MaxRecent);
    QCOMPARE(items[0]->text(), QStringLiteral("&1 r&&0.vbattle"));
    w.Spin("AttInfSpinEdit")->setValue(7);
    items[1]->trigger();  // r&8: the empty battle saved before
    QCOMPARE(w.Spin("AttInfSpinEdit")->value(), 0);
}

QTEST_MAIN(BattleFilesTest)
#include "BattleFilesTest.moc"
