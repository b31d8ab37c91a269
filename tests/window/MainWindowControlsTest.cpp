// The main window's form: every control with its start-up state, and the
// static texts.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <array>
#include <map>
#include <memory>

#include "tests/window/WindowTestSupport.h"
#include "format/Format.h"

namespace {

const QString Title = QStringLiteral("Varnholt Combat Simulator (March 6th 2004 Edition)");

}  // namespace

class MainWindowControlsTest : public TWindowTestCase {
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void staticTexts();
};

// ---- Every control of the form ------------------------------------------------------

namespace {

struct TRow {
    const char* Kind;  // class name, exact
    QString Text;
    int Min = 0, Max = 0, Step = 0, Value = 0;
    bool Enabled = true, Hidden = false, Checked = false;
};

void AddRow(const char* name, const TRow& row)
{
    QTest::newRow(name) << QString::fromLatin1(row.Kind) << row.Text << row.Min << row.Max << row.Step << row.Value
                        << row.Enabled << row.Hidden << row.Checked;
}

void Count(const char* name) { AddRow(name, {"QSpinBox", {}, 0, 999, 1, 0}); }
void ReadOnly(const char* name, const char* text) { AddRow(name, {"QLineEdit", QString::fromLatin1(text)}); }
void Button(const char* name, const char* text, bool enabled = true, bool hidden = false)
{
    AddRow(name, {"QPushButton", QString::fromUtf8(text), 0, 0, 0, 0, enabled, hidden});
}
void Check(const char* name, const char* text, bool checked, bool enabled)
{
    AddRow(name, {"QCheckBox", QString::fromUtf8(text), 0, 0, 0, 0, enabled, false, checked});
}
void Label(const char* name, const char* text) { AddRow(name, {"QLabel", QString::fromUtf8(text)}); }
void Group(const char* name, const char* title) { AddRow(name, {"QGroupBox", QString::fromUtf8(title)}); }
void Item(const char* name, const char* text, bool checkable, bool checked)
{
    AddRow(name, {"QAction", QString::fromUtf8(text), 0, 0, 0, 0, true, checkable, checked});
}

}  // namespace

void MainWindowControlsTest::controls_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hidden");  // for a QAction: checkable
    QTest::addColumn<bool>("checked");

    // Force panels: counts, to-hit and IPC fields, ranks, variants, options.
    for (const char* n : {"AttInfSpinEdit", "AttArmSpinEdit", "AttFtrSpinEdit", "AttBmrSpinEdit", "AttBBSpinEdit",
                          "AttACSpinEdit", "AttTrnSpinEdit", "AttSubSpinEdit", "DefInfSpinEdit", "DefArmSpinEdit",
                          "DefFtrSpinEdit", "DefJFtrSpinEdit", "DefBmrSpinEdit", "DefBBSpinEdit", "DefACSpinEdit",
                          "DefTrnSpinEdit", "DefSubSpinEdit"})
        Count(n);
    const char* attHit[][2] = {{"AttInfEdit", "1"}, {"AttArmEdit", "3"}, {"AttFtrEdit", "3"}, {"AttBmrEdit", "4"},
                               {"AttBBEdit", "4"},  {"AttACEdit", "1"},  {"AttTrnEdit", "0"}, {"AttSubEdit", "2"}};
    const char* defHit[][2] = {{"DefInfEdit", "2"}, {"DefArmEdit", "2"}, {"DefFtrEdit", "4"},
                               {"DefJFtrEdit", "5"}, {"DefBmrEdit", "1"}, {"DefBBEdit", "4"},
                               {"DefACEdit", "3"},  {"DefTrnEdit", "1"}, {"DefSubEdit", "2"}};
    const char* attIPC[][2] = {{"IPCValAttInfEdit", "3"},  {"IPCValAttArmEdit", "5"}, {"IPCValAttFtrEdit", "12"},
                               {"IPCValAttBmrEdit", "15"}, {"IPCValAttBBEdit", "24"}, {"IPCValAttACEdit", "18"},
                               {"IPCValAttTrnEdit", "8"},  {"IPCValAttSubEdit", "8"}};
    const char* defIPC[][2] = {{"IPCValDefInfEdit", "3"},  {"IPCValDefArmEdit", "5"},  {"IPCValDefFtrEdit", "12"},
                               {"IPCValDefJFtrEdit", "12"}, {"IPCValDefBmrEdit", "15"}, {"IPCValDefBBEdit", "24"},
                               {"IPCValDefACEdit", "18"},  {"IPCValDefTrnEdit", "8"},  {"IPCValDefSubEdit", "8"}};
    for (auto& f : attHit) ReadOnly(f[0], f[1]);
    for (auto& f : defHit) ReadOnly(f[0], f[1]);
    for (auto& f : attIPC) ReadOnly(f[0], f[1]);
    for (auto& f : defIPC) ReadOnly(f[0], f[1]);
    const char* attRank[][2] = {{"AttInfHitOrderButton", "1"}, {"AttArmHitOrderButton", "2"},
                                {"AttFtrHitOrderButton", "6"}, {"AttBmrHitOrderButton", "7"},
                                {"AttBBHitOrderButton", "8"},  {"AttACHitOrderButton", "5"},
                                {"AttTrnHitOrderButton", "3"}, {"AttSubHitOrderButton", "4"}};
    const char* defRank[][2] = {{"DefInfHitOrderButton", "1"}, {"DefArmHitOrderButton", "2"},
                                {"DefFtrHitOrderButton", "6"}, {"DefJFtrHitOrderButton", "7"},
                                {"DefBmrHitOrderButton", "5"}, {"DefBBHitOrderButton", "9"},
                                {"DefACHitOrderButton", "8"},  {"DefTrnHitOrderButton", "3"},
                                {"DefSubHitOrderButton", "4"}};
    for (auto& b : attRank) Button(b[0], b[1]);
    for (auto& b : defRank) Button(b[0], b[1]);
    Button("AttBmrButton", "B&omber");
    Button("AttSubButton", "&Submarine");
    Button("AttBBButton", "&Battleship");
    Button("DefBBButton", "&Battleship");
    for (const char* l : {"AttInfLabel", "DefInfLabel"}) Label(l, "Infantry");
    for (const char* l : {"AttArmLabel", "DefArmLabel"}) Label(l, "Armor");
    for (const char* l : {"AttFtrLabel", "DefFtrLabel"}) Label(l, "Fighter");
    for (const char* l : {"AttACLabel", "DefACLabel"}) Label(l, "Carrier");
    for (const char* l : {"AttTrnLabel", "DefTrnLabel"}) Label(l, "Transport");
    Label("DefJFtrLabel", "Jet Fighter");
    Label("DefBmrLabel", "Bomber");
    Label("DefSubLabel", "Submarine");
    Label("AttQtyLabel", "Qty");
    Label("AttToLabel", "To");
    Label("AttHitLabel", "Hit");
    Label("AttKLabel", "K");
    Label("AttOLabel", "O");
    Label("AttIPCValLabel", "IPC Val");
    Label("DefIPCValLabel", "IPC Val");
    Label("DefKLabel", "K");
    Label("DefOLabel", "O");
    Label("DefHitLabel", "Hit");
    Label("DefQtyLabel", "Qty");
    Check("TakeWithCheckBox", "&Take w/ ground", false, false);
    Check("AttIndTechCheckBox", "&Industrial Technology", false, true);
    Check("AttWithSubsAirOnlyCheckBox", "Retreat Subs against air only", false, true);
    Check("SaveAirCheckBox", "Save Air", false, false);
    Check("AACheckBox", "AA Gu&n?", false, true);
    Button("AdvAAButton", "Advanced AA Options");
    Check("DefIndTechCheckBox", "Industrial Technolog&y", false, true);
    Check("DefWithSubs1stRndCheckBox", "Retreat Subs after 1st round", false, false);
    Check("DefWithSubsAirOnlyCheckBox", "Retreat Subs against air only", false, false);

    // Panels and groups
    Group("AttGroupBox", "Attacker");
    Group("DefGroupBox", "Defender");
    Group("OptionsBox", "Options");
    Group("WithdrawlBox", "Withdrawal Options");
    Group("GroupBox1", "Battle Memory");
    Group("ProbabilityBox", "Average Results");

    // Options panel
    for (const char* b : {"ResetAttUnitsButton", "ResetDefUnitsButton", "EditAttKillOrderButton",
                          "EditDefKillOrderButton", "DefaultAttKillOrderButton", "DefaultDefKillOrderButton"})
        Button(b, "");
    Label("ResetUnitsLabel", "Reset Units");
    Label("EditKillOrderLabel", "Edit Basic Kill Order");
    Label("DefaultKillOrderLabel", "Default Kill Order");
    Button("AdvancedKillOrderButton", "Set &Advanced Kill Order");
    Button("FlipFlopButton", "<---- Flip-Flo&p Att/Def Units ---->");
    Button("ResetAllSettingsButton", "Rese&t ALL Units / Settings");
    Check("AllRoundsCheckBox", "&Calculate All Rounds", true, true);
    AddRow("RoundsSpinEdit", {"QSpinBox", {}, 1, 999, 1, 1, false});
    Button("WithdrawalButton", "&Enable");
    Label("AttWithLabel", "ATT Units <=");
    Label("AndLabel", "&&");
    Label("DefWithLabel", "DEF Units >=");
    Label("DefWithLessLabel", "DEF Units <=");
    for (const char* n : {"AttWithSpinEdit", "DefWithSpinEdit", "DefWithLessSpinEdit"})
        AddRow(n, {"QSpinBox", {}, 0, 999, 1, 0, false});
    Button("Mem1Button", "Mem 1");
    Button("Mem2Button", "Mem 2");
    Button("Mem3Button", "Mem 3");
    Button("Recall1Button", "Recall 1", false);
    Button("Recall2Button", "Recall 2", false);
    Button("Recall3Button", "Recall 3", false);

    // Average results and run controls
    const char* rows[][2] = {{"ProbAttWins", "ATT wins %"},          {"ProbDefWins", "DEF wins %"},
                             {"ProbBothDes", "Both dest. %"},        {"ProbBothRemain", "Both remain %"},
                             {"ProbAttWithdraws", "ATT with. %"},    {"AvgAttIPCLoss", "Avg Att IPC Loss"},
                             {"AvgDefIPCLoss", "Avg Def IPC Loss"}, {"AvgRounds", "Average Rounds"}};
    for (auto& r : rows) {
        Label(QByteArray(r[0]).append("Label").constData(), r[1]);
        for (int c = 1; c <= 4; ++c) ReadOnly(QByteArray(r[0]).append(QByteArray::number(c)).constData(), "0");
    }
    Label("Label32", "Previous");
    Label("RunsLabel", "&Runs:");
    Button("Button1", "Store Results");
    AddRow("RunsSpinEdit", {"QSpinBox", {}, 0, 100000, 250, 5000, false, true});
    Button("GoButton", "Go", false, true);
    Button("AbortButton", "Abort", true, true);

    // Pages and progress
    Label("GridResultsLabel", "Complete Results - 0 Instances (Sorted by %)");
    AddRow("TextResultsEdit", {"QPlainTextEdit", {}});
    Button("CopyReportButton", "Copy to C&lipboard");
    AddRow("OutcomeChart", {"QChartView", {}});
    AddRow("LossChart", {"QChartView", {}});
    AddRow("SurvivorChart", {"QChartView", {}});
    Label("ExactStatusLabel", "");
    Button("EnlargeButton", "Enlar&ge");
    AddRow("StringGrid1", {"QTableView", {}});
    AddRow("PageControl1", {"QTabWidget", {}});
    AddRow("ProgressBar1", {"QProgressBar", {}, 0, 100, 0, 0});

    // Menu
    AddRow("MainMenu1", {"QMenuBar", {}});
    Item("OpenBattle1", "&Open Battle...", false, false);
    Item("SaveBattleAs1", "&Save Battle As...", false, false);
    Item("Exit1", "E&xit", false, false);
    Item("KeepWindowOnTop1", "Keep Window On Top", true, false);
    Item("LowLuckMode", "Low Luck Mode", true, false);
    Item("RegularMode", "Regular Mode", true, true);
    Item("ManualRolling", "Manual Rolling", true, false);
    Item("AutoRolling", "Auto Rolling", true, true);
    Item("F3", "Abo&ut", false, false);
}

void MainWindowControlsTest::controls()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, step);
    QFETCH(int, value);
    QFETCH(bool, enabled);
    QFETCH(bool, hidden);
    QFETCH(bool, checked);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QObject* object = F().Form().findChild<QObject*>(name);
    QVERIFY2(object, "missing from the form");
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), kind);

    if (auto action = qobject_cast<QAction*>(object)) {
        QCOMPARE(action->text(), text);
        QCOMPARE(action->isCheckable(), hidden);
        QCOMPARE(action->isChecked(), checked);
        QVERIFY(action->isEnabled());
        return;
    }
    auto widget = qobject_cast<QWidget*>(object);
    QVERIFY(widget);
    if (kind != QLatin1String("QLabel") && kind != QLatin1String("QGroupBox")) {
        QCOMPARE(widget->isEnabled(), enabled);
        QCOMPARE(widget->isHidden(), hidden);
    }
    if (auto spin = qobject_cast<QSpinBox*>(object)) {
        QCOMPARE(spin->minimum(), min);
        QCOMPARE(spin->maximum(), max);
        QCOMPARE(spin->singleStep(), step);
        QCOMPARE(spin->value(), value);
    } else if (auto edit = qobject_cast<QLineEdit*>(object)) {
        QCOMPARE(edit->text(), text);
        QVERIFY(edit->isReadOnly());
        // To-hit and IPC fields are never reached with Tab; neither are the result fields.
        QVERIFY(!(edit->focusPolicy() & Qt::TabFocus));
    } else if (auto check = qobject_cast<QCheckBox*>(object)) {
        QCOMPARE(check->text(), text);
        QCOMPARE(check->isChecked(), checked);
    } else if (auto button = qobject_cast<QPushButton*>(object)) {
        QCOMPARE(button->text(), text);
        if (text.isEmpty()) QVERIFY2(!button->icon().isNull(), "a caption-less button needs its glyph");
    } else if (auto label = qobject_cast<QLabel*>(object)) {
        QCOMPARE(label->text(), text);
    } else if (auto group = qobject_cast<QGroupBox*>(object)) {
        QCOMPARE(group->title(), text);
    } else if (auto bar = qobject_cast<QProgressBar*>(object)) {
        QCOMPARE(bar->minimum(), min);
        QCOMPARE(bar->maximum(), max);
        QCOMPARE(bar->value(), 0);
    }
}

// ---- Texts written at show, pages, labels with "&" ----------------------------------------

void MainWindowControlsTest::staticTexts()
{
    QCOMPARE(F().Form().windowTitle(), Title);
    QCOMPARE(F().About().VersionLabel()->text(), QStringLiteral("Version: (March 6th 2004 Edition)"));
    QCOMPARE(F().About().windowTitle(), QStringLiteral("About"));

    auto pages = F().Find<QTabWidget>("PageControl1");
    QCOMPARE(pages->count(), 3);
    QCOMPARE(pages->tabText(0), QStringLiteral("Grid Results"));
    QCOMPARE(pages->tabText(1), QStringLiteral("Text Results"));
    QCOMPARE(pages->tabText(2), QStringLiteral("Graph Results"));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet1"));
    QVERIFY(F().Label("GridResultsLabel")->font().bold());
    QCOMPARE(F().Find<QTableView>("StringGrid1")->parent(), pages->widget(0));
    QCOMPARE(F().Find<QWidget>("TextResultsEdit")->parent(), pages->widget(1));
    QCOMPARE(F().Button("CopyReportButton")->parent(), pages->widget(1));
    QCOMPARE(F().Find<QWidget>("OutcomeChart")->parent(), pages->widget(2));
    QCOMPARE(F().Find<QWidget>("LossChart")->parent(), pages->widget(2));
    QCOMPARE(F().Find<QWidget>("SurvivorChart")->parent(), pages->widget(2));
    QCOMPARE(F().Button("EnlargeButton")->parent(), pages->widget(2));

    // "&&" must show one ampersand and "&Runs:" no ampersand: both labels need a buddy.
    QVERIFY(F().Label("AndLabel")->buddy());
    QCOMPARE(F().Label("RunsLabel")->buddy(), F().Spin("RunsSpinEdit"));

    // Read-only fields in the button-face colour.
    const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
    for (const char* n : {"AttInfEdit", "IPCValAttInfEdit", "DefSubEdit", "IPCValDefJFtrEdit"})
        QCOMPARE(F().Edit(n)->palette().color(QPalette::Base), face);
}

QTEST_MAIN(MainWindowControlsTest)
#include "MainWindowControlsTest.moc"
