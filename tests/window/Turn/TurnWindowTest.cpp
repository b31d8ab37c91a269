// The turn window: battles taken from the main window, the figures that
// follow each change, names, files, and a battle put back in the main window.
// A screenshot of a turn goes to VARNHOLT_SHOT_DIR.
#include <QDir>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "Turn/TurnForm.h"
#include "format/TurnTexts.h"
#include "tests/window/WindowTestSupport.h"

namespace {

void EnterCounts(TWindowFixture& w, std::initializer_list<std::pair<int, int>> att,
                 std::initializer_list<std::pair<int, int>> def)
{
    for (const char* name : AttCountNames) w.Spin(name)->setValue(0);
    for (const char* name : DefCountNames) w.Spin(name)->setValue(0);
    for (auto [slot, n] : att) w.Spin(AttCountNames[slot])->setValue(n);
    for (auto [slot, n] : def) w.Spin(DefCountNames[slot])->setValue(n);
}

bool Settled(const TTurnForm* turn) { return !turn->Working() && turn->ShownOdds().has_value(); }

}  // namespace

class TurnWindowTest : public QObject {
    Q_OBJECT

private slots:
    void battlesFiguresFilesAndTheMainWindow();
};

void TurnWindowTest::battlesFiguresFilesAndTheMainWindow()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 200);
    w.Choose("TurnOdds1");
    auto* turn = w.Form().findChild<TTurnForm*>();
    QVERIFY(turn);
    QVERIFY(QTest::qWaitForWindowExposed(turn));
    QVERIFY(!turn->isModal());
    auto* table = Find<QTableWidget>(*turn, "BattleTable");

    // Two battles from the main window; the figures follow each at once.
    EnterCounts(w, {{aINF, 3}, {aARM, 1}}, {{dINF, 2}});
    Find<QPushButton>(*turn, "AddButton")->click();
    EnterCounts(w, {{aFTR, 2}}, {{dFTR, 1}});
    Find<QPushButton>(*turn, "AddButton")->click();
    QCOMPARE(table->rowCount(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(turn), 60000);
    std::vector<TBattleSetupRec> setups;
    for (const TTurnBattle& b : turn->Battles()) setups.push_back(b.Setup);
    const TTurnOdds expected = ComputeTurnOdds(setups);
    QCOMPARE(turn->ShownOdds()->All, expected.All);
    QCOMPARE(turn->ShownOdds()->SwingMean, expected.SwingMean);
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("Take the territory"));
    QCOMPARE(table->item(1, 2)->text(), QStringLiteral("Win the battle"));
    QCOMPARE(table->item(1, 3)->text(), QString::fromStdString(TurnPercent(expected.Battles[1].Probability)));
    QVERIFY(Find<QLabel>(*turn, "AllLabel")->text().endsWith(QString::fromStdString(TurnPercent(expected.All))));
    QVERIFY(Find<QLabel>(*turn, "RangeLabel")->text().startsWith(QStringLiteral("In 19 turns of 20")));

    // A name is edited in the table and kept to 40 characters.
    table->item(0, 0)->setText(QString(50, u'n'));
    QCOMPARE(turn->Battles()[0].Name, std::string(40, 'n'));

    // Saved, removed, opened again: the same turn and figures.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("turn.vturn"));
    TTurnForm::DialogHook = [&](bool) { return path; };
    Find<QPushButton>(*turn, "SaveButton")->click();
    const std::vector<TTurnBattle> saved = turn->Battles();
    table->selectRow(1);
    Find<QPushButton>(*turn, "RemoveButton")->click();
    QCOMPARE(table->rowCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(turn), 60000);
    QCOMPARE(turn->ShownOdds()->Exactly.size(), size_t(2));
    Find<QPushButton>(*turn, "OpenButton")->click();
    TTurnForm::DialogHook = nullptr;
    QVERIFY(turn->Battles() == saved);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(turn), 60000);
    QCOMPARE(turn->ShownOdds()->All, expected.All);

    // A refused file changes nothing; `varnholt FILE.vturn` opens through the main window.
    QVERIFY(!turn->Open(dir.filePath(QStringLiteral("missing.vturn"))));
    QVERIFY(!w.Messages().empty() && w.Messages().back().Text.contains(QStringLiteral("Cannot open the turn file")));
    QVERIFY(turn->Battles() == saved);
    Find<QPushButton>(*turn, "RemoveButton")->click();
    w.Form().OpenTurnFile(path);
    QVERIFY(turn->Battles() == saved);

    const QString shots = qEnvironmentVariable("VARNHOLT_SHOT_DIR", QDir::currentPath());
    QVERIFY(turn->grab().save(QDir(shots).filePath(QStringLiteral("turn-window.png"))));

    // The first battle back in the main window, and a run of it follows.
    const int runs = counter.Runs;
    table->selectRow(0);
    Find<QPushButton>(*turn, "ShowButton")->click();
    QCOMPARE(w.Spin(AttCountNames[aINF])->value(), 3);
    QCOMPARE(w.Spin(DefCountNames[dFTR])->value(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(counter.Runs > runs, 60000);
}

QTEST_MAIN(TurnWindowTest)
#include "TurnWindowTest.moc"
