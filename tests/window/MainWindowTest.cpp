// The main window as a whole: every control of the form with its start-up
// state, the frame, the menu, the About box, exit and close, the entry-field
// colours, the Tab order and a screenshot with nothing clipped.
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

#include "WindowTestSupport.h"
#include "format/Format.h"

namespace {

const QString Title = QStringLiteral("Varnholt Combat Simulator (March 6th 2004 Edition)");

// Room for text inside a control, as the style lays it out.
int TextRoom(const QWidget* w)
{
    const QStyle* style = w->style();
    if (auto box = qobject_cast<const QCheckBox*>(w))
        return box->width() - style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) -
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
    if (auto button = qobject_cast<const QPushButton*>(w))
        return button->width() - 8;  // frame plus a little air on each side
    if (auto label = qobject_cast<const QLabel*>(w))
        return label->contentsRect().width() - 2 * label->margin();
    if (auto edit = qobject_cast<const QLineEdit*>(w))
        return edit->width() - 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w) - 4;
    return w->width();
}

// Every line of the caption fits the control's width and height.
bool Fits(const QWidget* w, const QString& caption, QString* why)
{
    const QFontMetrics metrics(w->font());
    auto label = qobject_cast<const QLabel*>(w);
    const bool wraps = label && label->wordWrap();
    const QStringList lines = DisplayedText(caption).split(wraps ? u' ' : u'\n');
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    const int room = TextRoom(w);
    const int height = metrics.height() * int(lines.size());
    if (widest <= room && height <= w->height()) return true;
    *why = QStringLiteral("%1: \"%2\" needs %3x%4, has %5x%6")
               .arg(w->objectName(), caption)
               .arg(widest)
               .arg(height)
               .arg(room)
               .arg(w->height());
    return false;
}

QString CaptionOf(const QWidget* w)
{
    if (auto label = qobject_cast<const QLabel*>(w)) {
        // Without a buddy a label shows its "&" as they are.
        return label->buddy() ? label->text() : QString(label->text()).replace(u'&', QStringLiteral("&&"));
    }
    if (auto button = qobject_cast<const QAbstractButton*>(w)) return button->text();
    return {};
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TWindowFixture> Fixture;
    TWindowFixture& F() { return *Fixture; }

private slots:
    void init() { Fixture = std::make_unique<TWindowFixture>(); }
    void cleanup() { Fixture.reset(); }

    void controls_data();
    void controls();
    void staticTexts();
    void frame();
    void menu();
    void checkedMenuItemsStayChecked();
    void keepWindowOnTopTwice();
    void aboutIsModal_data();
    void aboutIsModal();
    void exitWithNothingRunning_data();
    void exitWithNothingRunning();
    void exitInsideNestedDispatchEndsEventLoop_data() { exitWithNothingRunning_data(); }
    void exitInsideNestedDispatchEndsEventLoop();
    void fieldColours();
    void tabOrder();
    void accelerators();
    void screenshotNothingClipped();
    void resultsFitTheirTexts();
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

void MainWindowTest::controls_data()
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

void MainWindowTest::controls()
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

void MainWindowTest::staticTexts()
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

// ---- Frame -------------------------------------------------------------------------------

void MainWindowTest::frame()
{
    TForm1& form = F().Form();
    QCOMPARE(form.centralWidget()->size(), QSize(662, 546));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.size(), form.minimumSize());

    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

    const QPoint offset = form.frameGeometry().center() - form.screen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, "the window is not centred on the screen");

    // A second show (restore after minimize) neither re-centres nor rewrites.
    form.move(form.pos() + QPoint(5, 5));
    const QPoint moved = form.pos();
    form.hide();
    form.show();
    QCOMPARE(form.pos(), moved);
}

// ---- Menu --------------------------------------------------------------------------------

void MainWindowTest::menu()
{
    auto bar = F().Find<QMenuBar>("MainMenu1");
    QCOMPARE(F().Form().menuBar(), bar);
    const QList<QAction*> top = bar->actions();
    QCOMPARE(top.size(), 3);
    QCOMPARE(top[0]->text(), QStringLiteral("&Main"));
    QCOMPARE(top[1]->text(), QStringLiteral("Ot&her"));
    QCOMPARE(top[2], F().Action("F3"));
    QVERIFY(!top[2]->menu());  // acts when clicked, opens nothing

    // The battle-file items come first; the original items keep their order.
    const QList<QAction*> main = top[0]->menu()->actions();
    QCOMPARE(main.size(), 5);
    QCOMPARE(main[0], F().Action("OpenBattle1"));
    QCOMPARE(main[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(main[1], F().Action("SaveBattleAs1"));
    QCOMPARE(main[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(main[2]->menu(), F().Find<QMenu>("RecentBattles1"));
    QCOMPARE(main[2]->text(), QStringLiteral("Recent &Battles"));
    QCOMPARE(main[3], F().Action("Exit1"));
    QCOMPARE(main[4], F().Action("KeepWindowOnTop1"));

    const QList<QAction*> other = top[1]->menu()->actions();
    QCOMPARE(other.size(), 7);
    QCOMPARE(other[0], F().Action("LowLuckMode"));
    QCOMPARE(other[1], F().Action("RegularMode"));
    QVERIFY(other[2]->isSeparator());
    QCOMPARE(other[3], F().Action("ManualRolling"));
    QCOMPARE(other[4], F().Action("AutoRolling"));
    // Added after the original items.
    QVERIFY(other[5]->isSeparator());
    QCOMPARE(other[6], F().Action("BattlePlanner1"));
    QCOMPARE(other[6]->text(), QStringLiteral("Battle &Planner..."));
}

void MainWindowTest::checkedMenuItemsStayChecked()
{
    // A click on a checked item runs its handler, which finds it checked and
    // leaves the marks alone; Qt's own toggle must not clear it.
    F().Choose("RegularMode");
    QVERIFY(F().Action("RegularMode")->isChecked());
    QVERIFY(!F().Action("LowLuckMode")->isChecked());
    F().Choose("AutoRolling");
    QVERIFY(F().Action("AutoRolling")->isChecked());
    QVERIFY(!F().Action("ManualRolling")->isChecked());
}

void MainWindowTest::keepWindowOnTopTwice()
{
    TForm1& form = F().Form();
    F().Choose("KeepWindowOnTop1");
    QVERIFY(F().Action("KeepWindowOnTop1")->isChecked());
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(form.isVisible());
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));

    F().Choose("KeepWindowOnTop1");
    QVERIFY(!F().Action("KeepWindowOnTop1")->isChecked());
    QVERIFY(!(form.windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), Title);
    QCOMPARE(form.centralWidget()->size(), QSize(662, 546));
}

// ---- About ---------------------------------------------------------------------------------

void MainWindowTest::aboutIsModal_data()
{
    QTest::addColumn<bool>("byOK");
    QTest::newRow("OK") << true;
    QTest::newRow("close box") << false;
}

void MainWindowTest::aboutIsModal()
{
    QFETCH(bool, byOK);
    bool opened = false;
    QWidget* modal = nullptr;
    WhenModalOpens([&](QWidget* dialog) {
        opened = true;
        modal = dialog;
        QVERIFY(dialog->isModal());
        QCOMPARE(dialog->size(), QSize(434, 303));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(F().About().VersionLabel()->text(), QStringLiteral("Version: (March 6th 2004 Edition)"));
        auto ok = dialog->findChild<QPushButton*>(QStringLiteral("Button1"));
        QVERIFY(ok);
        QCOMPARE(ok->text(), QStringLiteral("&OK"));
        auto note = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        QVERIFY(note->isReadOnly());
        QVERIFY(!note->toPlainText().isEmpty());
        const QString dir = qEnvironmentVariable("VARNHOLT_SHOT_DIR");
        if (byOK && !dir.isEmpty()) QVERIFY(dialog->grab().save(QDir(dir).filePath(QStringLiteral("AboutBox.png"))));
        if (byOK)
            QTest::mouseClick(ok, Qt::LeftButton);
        else
            dialog->close();
    });
    F().Choose("F3");  // returns when the box is closed
    QVERIFY(opened);
    QCOMPARE(modal, static_cast<QWidget*>(&F().About()));
    QVERIFY(!F().About().isVisible());
    QVERIFY(!QApplication::activeModalWidget());
}

// ---- Exit and close -------------------------------------------------------------------------

void MainWindowTest::exitWithNothingRunning_data()
{
    QTest::addColumn<bool>("byCloseBox");
    QTest::newRow("E&xit") << false;
    QTest::newRow("close box") << true;
}

void MainWindowTest::exitWithNothingRunning()
{
    QFETCH(bool, byCloseBox);
    TForm1& form = F().Form();
    if (byCloseBox)
        QVERIFY(form.close());
    else
        F().Choose("Exit1");
    QVERIFY(form.Control.StopRequested);
    QVERIFY(!form.Control.Running);
    QVERIFY(F().Action("ManualRolling")->isChecked());
    QVERIFY(F().Action("AutoRolling")->isChecked());
    // "Manual Rolling" got its mark without its handler: the Go button stays hidden.
    QVERIFY(F().Button("GoButton")->isHidden());
    QVERIFY(F().Messages().empty());
}

void MainWindowTest::exitInsideNestedDispatchEndsEventLoop()
{
    // A run dispatches window events between battles; "E&xit" chosen there must
    // end the program once the run has returned, not start the run over, and
    // must leave the window alive while the run still uses it.
    QFETCH(bool, byCloseBox);
    TForm1& form = F().Form();
    bool runReturned = false;
    bool windowUsable = false;
    QTimer::singleShot(0, &form, [&] {
        form.Control.Running = true;
        QTimer::singleShot(0, &form, [&] {
            if (byCloseBox)
                form.close();
            else
                F().Choose("Exit1");
        });
        while (!form.Control.StopRequested) QCoreApplication::processEvents();
        windowUsable = F().Spin("AttInfSpinEdit")->value() == 0;  // touches the window after the close
        form.Control.Running = false;
        runReturned = true;
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(2); });  // guard against a loop that never ends
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(runReturned);
    QVERIFY(windowUsable);
    QVERIFY(F().Action("ManualRolling")->isChecked());
}

// ---- Colours ---------------------------------------------------------------------------------

void MainWindowTest::fieldColours()
{
    const QPalette& system = QApplication::palette();
    const uint32_t entry = system.color(QPalette::Active, QPalette::Base).rgba();
    const uint32_t disabled = system.color(QPalette::Active, QPalette::Dark).rgba();
    QVERIFY(entry != disabled);

    TForm1& form = F().Form();
    for (const char* n : {"AttInfSpinEdit", "AttSubSpinEdit", "DefJFtrSpinEdit", "DefSubSpinEdit"})
        QCOMPARE(TForm1::FieldColour(F().Spin(n)), entry);
    for (const char* n : {"AttWithSpinEdit", "DefWithSpinEdit", "DefWithLessSpinEdit", "RoundsSpinEdit"})
        QCOMPARE(TForm1::FieldColour(F().Spin(n)), disabled);

    // The colour really shows: sample the field left of its right-aligned digits.
    auto shown = [](QWidget* field) {
        const QImage image = field->grab().toImage();
        return image.pixel(image.width() / 5, image.height() / 2);
    };
    QCOMPARE(shown(F().Spin("RoundsSpinEdit")), QColor::fromRgba(disabled).rgb());
    QCOMPARE(shown(F().Spin("AttInfSpinEdit")), QColor::fromRgba(entry).rgb());

    // Painting, reading and restoring (battle memory keeps the colour as a number).
    QSpinBox* count = F().Spin("AttACSpinEdit");
    count->setEnabled(false);
    TForm1::PaintField(count, false);
    QCOMPARE(TForm1::FieldColour(count), disabled);
    QCOMPARE(shown(count), QColor::fromRgba(disabled).rgb());
    TForm1::SetFieldColour(count, entry);
    QCOMPARE(TForm1::FieldColour(count), entry);
    Q_UNUSED(form);
}

// ---- Tab order ---------------------------------------------------------------------------------

void MainWindowTest::tabOrder()
{
    const QStringList expected = {
        // Attacker: counts, options, variant buttons, ranks
        "AttInfSpinEdit", "AttArmSpinEdit", "AttFtrSpinEdit", "AttBmrSpinEdit", "AttBBSpinEdit", "AttACSpinEdit",
        "AttTrnSpinEdit", "AttSubSpinEdit", "TakeWithCheckBox", "AttIndTechCheckBox", "AttWithSubsAirOnlyCheckBox",
        "SaveAirCheckBox", "AttBmrButton", "AttBBButton", "AttSubButton", "AttInfHitOrderButton",
        "AttArmHitOrderButton", "AttFtrHitOrderButton", "AttBmrHitOrderButton", "AttBBHitOrderButton",
        "AttACHitOrderButton", "AttTrnHitOrderButton", "AttSubHitOrderButton",
        // Defender
        "DefInfSpinEdit", "DefArmSpinEdit", "DefFtrSpinEdit", "DefJFtrSpinEdit", "DefBmrSpinEdit", "DefBBSpinEdit",
        "DefACSpinEdit", "DefTrnSpinEdit", "DefSubSpinEdit", "AACheckBox", "AdvAAButton", "DefIndTechCheckBox",
        "DefWithSubs1stRndCheckBox", "DefWithSubsAirOnlyCheckBox", "DefBBButton", "DefInfHitOrderButton",
        "DefArmHitOrderButton", "DefFtrHitOrderButton", "DefJFtrHitOrderButton", "DefBmrHitOrderButton",
        "DefBBHitOrderButton", "DefACHitOrderButton", "DefTrnHitOrderButton", "DefSubHitOrderButton",
        // Options
        "ResetAttUnitsButton", "ResetDefUnitsButton", "EditAttKillOrderButton", "EditDefKillOrderButton",
        "DefaultAttKillOrderButton", "DefaultDefKillOrderButton", "AdvancedKillOrderButton", "FlipFlopButton",
        "ResetAllSettingsButton", "AllRoundsCheckBox", "RoundsSpinEdit", "WithdrawalButton", "AttWithSpinEdit",
        "DefWithSpinEdit", "DefWithLessSpinEdit", "Mem1Button", "Mem2Button", "Mem3Button", "Recall1Button",
        "Recall2Button", "Recall3Button",
        // Average results, pages
        "GoButton", "AbortButton", "RunsSpinEdit", "Button1", "PageControl1", "TextResultsEdit", "CopyReportButton",
        "EnlargeButton"};

    // Walk the focus chain once round from the first count.
    QWidget* first = F().Spin("AttInfSpinEdit");
    QStringList visited;
    QWidget* w = first;
    do {
        const bool ownPart = qobject_cast<QTabBar*>(w->parentWidget());  // the page control's scroll buttons
        if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() && !ownPart && w->window() == &F().Form())
            visited << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != first);
    // Inner widgets of composite controls (a spin box's line edit) have no names of their own here.
    QStringList relevant;
    for (const QString& name : visited)
        if (expected.contains(name)) relevant << name;
    QCOMPARE(relevant, expected);
    // Nothing else is a tab stop except these (the grid is reached by clicking).
    for (const QString& name : visited)
        QVERIFY2(expected.contains(name) || name.startsWith(QLatin1String("qt_")), qPrintable(name));
}

// Alt and a letter reach one control: no two controls of the window share
// a letter, nor two items of one menu. The original captions have two
// such pairs, which stay as they are; a new control takes a letter of its own.
void MainWindowTest::accelerators()
{
    TForm1& form = F().Form();
    std::map<QString, QStringList> window;
    std::map<QString, std::map<QString, QStringList>> menus;
    const auto add = [](std::map<QString, QStringList>& scope, const QString& text, const QString& name) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (!key.isEmpty()) scope[key.toString()] << name;
    };
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (w->window() != &form) continue;
        if (auto button = qobject_cast<QAbstractButton*>(w)) add(window, button->text(), w->objectName());
        if (auto label = qobject_cast<QLabel*>(w); label && label->buddy()) add(window, label->text(), w->objectName());
        if (auto group = qobject_cast<QGroupBox*>(w)) add(window, group->title(), w->objectName());
    }
    auto pages = F().Find<QTabWidget>("PageControl1");
    for (int i = 0; i < pages->count(); ++i) add(window, pages->tabText(i), pages->widget(i)->objectName());
    for (QAction* title : form.menuBar()->actions()) {
        QMenu* menu = title->menu();
        add(window, title->text(), menu ? menu->objectName() : title->objectName());
        if (menu)
            for (QAction* item : menu->actions()) add(menus[menu->objectName()], item->text(), item->objectName());
    }
    QStringList shared;
    for (auto& [key, names] : window)
        if (names.size() > 1) {
            names.sort();
            shared << key + QStringLiteral(": ") + names.join(u' ');
        }
    QCOMPARE(shared, QStringList({"Alt+B: AttBBButton DefBBButton", "Alt+T: ResetAllSettingsButton TakeWithCheckBox"}));
    for (const auto& [menu, items] : menus)
        for (const auto& [key, names] : items) QVERIFY2(names.size() == 1, qPrintable(menu + u' ' + names.join(u' ')));
}

// ---- Screenshot and clipping -----------------------------------------------------------------------

void MainWindowTest::screenshotNothingClipped()
{
    TForm1& form = F().Form();
    const QString dir = qEnvironmentVariable("VARNHOLT_SHOT_DIR");
    if (!dir.isEmpty()) {
        QVERIFY(form.grab().save(QDir(dir).filePath(QStringLiteral("MainWindow.png"))));
    }

    QStringList clipped;
    QString why;
    const auto check = [&](QWidget* w, const QString& caption) {
        if (!caption.isEmpty() && !Fits(w, caption, &why)) clipped << why;
    };
    for (QWidget* root : {static_cast<QWidget*>(&form), static_cast<QWidget*>(&F().About())}) {
        for (QWidget* w : root->findChildren<QWidget*>()) {
            if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) check(w, CaptionOf(w));
        }
    }

    // Captions that handlers write later must fit as well.
    check(F().Button("AttBmrButton"), QStringLiteral("Hvy B&omber"));
    check(F().Button("AttSubButton"), QStringLiteral("&Super Sub"));
    check(F().Button("AttBBButton"), QStringLiteral("2 Hit &BB"));
    check(F().Button("DefBBButton"), QStringLiteral("2 Hit &BB"));
    check(F().Button("WithdrawalButton"), QStringLiteral("Disabl&e"));
    check(F().Label("RunsLabel"), QStringLiteral("Runs: 100000"));
    check(F().Label("GridResultsLabel"), QStringLiteral("Complete Results - 9999 Instances (Sorted by Victor)"));
    for (const char* n : {"AttInfHitOrderButton", "DefSubHitOrderButton"}) check(F().Button(n), QStringLiteral("9"));
    for (const char* n : {"IPCValAttBBEdit", "IPCValDefBBEdit"}) check(F().Edit(n), QStringLiteral("24"));
    for (const char* n : {"ProbAttWins1", "ProbDefWins4", "AvgRounds1", "AvgDefIPCLoss2"}) {
        check(F().Edit(n), QStringLiteral("99.9"));
        check(F().Edit(n), QStringLiteral("<1"));
    }
    // Spin boxes show their largest value in full.
    for (QSpinBox* spin : form.findChildren<QSpinBox*>()) {
        const int room = spin->style()
                             ->subControlRect(QStyle::CC_SpinBox, nullptr, QStyle::SC_SpinBoxEditField, spin)
                             .width();
        const int needed = QFontMetrics(spin->font()).horizontalAdvance(QString::number(spin->maximum())) + 4;
        if (room > 0 && needed > room)
            clipped << QStringLiteral("%1: %2 needs %3, has %4")
                           .arg(spin->objectName())
                           .arg(spin->maximum())
                           .arg(needed)
                           .arg(room);
        else if (spin->findChild<QLineEdit*>()->width() < needed)
            clipped << QStringLiteral("%1: edit %2 < %3")
                           .arg(spin->objectName())
                           .arg(spin->findChild<QLineEdit*>()->width())
                           .arg(needed);
    }
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));

    // A land battle: the sea-only counts are disabled by the force panels' rules.
    F().UseManualRolling();
    F().Spin("AttInfSpinEdit")->setValue(3);
    F().Spin("DefInfSpinEdit")->setValue(2);
    if (!dir.isEmpty()) QVERIFY(form.grab().save(QDir(dir).filePath(QStringLiteral("MainWindowLand.png"))));
    const QRgb grey = QApplication::palette().color(QPalette::Active, QPalette::Dark).rgb();
    for (QSpinBox* count : form.findChildren<QSpinBox*>()) {
        if (count->isEnabled()) continue;
        const QImage image = count->grab().toImage();
        QCOMPARE(QColor(image.pixel(image.width() / 5, image.height() / 2)).rgb(), grey);
    }

    // Every control lies inside its parent.
    for (QWidget* w : form.centralWidget()->findChildren<QWidget*>()) {
        if (w->isWindow() || !w->parentWidget() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
        if (w->geometry().isEmpty()) continue;  // a part Qt keeps at no size (the grid's corner button)
        if (qobject_cast<QTabWidget*>(w->parentWidget()) || w->parentWidget()->objectName().startsWith(QLatin1String("qt_")))
            continue;  // pages are laid out by the page control
        const QRect inside = w->parentWidget()->rect();
        QVERIFY2(inside.contains(w->geometry()), qPrintable(w->objectName()));
    }
}

// ---- Average results and grid with large figures -------------------------------------------------

namespace {

// Width a read-only field really shows its text in: the style's contents
// rectangle, less the text margins, less the 2 px that QLineEdit keeps
// inside them on either side.
int ShownRoom(const QLineEdit* field)
{
    QStyleOptionFrame panel;
    panel.initFrom(field);
    panel.rect = field->contentsRect();
    panel.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, field) : 0;
    const QRect contents = field->style()->subElementRect(QStyle::SE_LineEditContents, &panel, field);
    const QMargins margins = field->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2;
}

const char* const PanelRowNames[PanelRows] = {"ProbAttWins",      "ProbDefWins",   "ProbBothDes",
                                              "ProbBothRemain",   "ProbAttWithdraws",
                                              "AvgAttIPCLoss",    "AvgDefIPCLoss", "AvgRounds"};

}  // namespace

void MainWindowTest::resultsFitTheirTexts()
{
    TForm1& form = F().Form();
    F().UseManualRolling();

    // The widest texts the panel gets: averages of the largest forces in IPC
    // (999 of every kind), small averages in fixed notation, percentages.
    const QString point = QLocale().decimalPoint();
    auto shown = [&](const std::string& text) { return QString::fromStdString(text).replace(u'.', point); };
    QStringList texts = {QStringLiteral("1.23E3"), QStringLiteral("9.29E4"), QStringLiteral("<1"),
                         QStringLiteral("10.4"),   QStringLiteral("100")};
    texts << shown(PercentRule(999.0L * 93)) << shown(AverageRule(999.0L * 105)) << shown(AverageRule(0.0004L))
          << shown(AverageRule(0.00001L)) << shown(AverageRule(9.96L)) << shown(PercentRule(99.6L));
    QCOMPARE(texts[5], QStringLiteral("9.29E4").replace(u'.', point));

    // A run of 200 battles that ended 200 different ways (every kind of
    // victor), with the largest averages in column 1, stored into the other three.
    RunTotals totals;
    totals.Battles = 200;
    totals.AttWins = 200;
    totals.AttIPCLoss = 200LL * 999 * 93;
    totals.DefIPCLoss = 200LL * 999 * 105;
    totals.TotalRounds = 200LL * 999;
    std::vector<TBattleResultsRec> batch(200);
    for (int b = 0; b < 200; ++b) {
        TBattleResultsRec& end = batch[size_t(b)];
        end.Victor = std::array{TVictor::ATT, TVictor::DEF, TVictor::BothD, TVictor::With, TVictor::RndLmt}[b % 5];
        end.AttCount[0] = 10 + b;
        end.DefCount[0] = 10 + b % 90;
        end.DefCount[3] = 10;
    }
    TRunHost& host = form;
    host.RunStarting();
    host.Publish(totals, batch.data(), int(batch.size()), true);
    for (int i = 0; i < 3; ++i) F().Button("Button1")->click();
    QCOMPARE(F().Edit("AvgDefIPCLoss4")->text(), shown("1.05E5"));

    auto view = F().Find<QTableView>("StringGrid1");
    QCOMPARE(view->model()->rowCount(), 200);
    QTRY_VERIFY(view->verticalScrollBar()->isVisible());
    const QString dir = qEnvironmentVariable("VARNHOLT_SHOT_DIR");
    if (!dir.isEmpty()) QVERIFY(form.grab().save(QDir(dir).filePath(QStringLiteral("ResultsLarge.png"))));

    // Every visible column in full beside the scroll bar; nothing to scroll sideways.
    const int columns = view->horizontalHeader()->length();
    QVERIFY2(view->viewport()->width() >= columns,
             qPrintable(QStringLiteral("viewport %1 < columns %2").arg(view->viewport()->width()).arg(columns)));
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);

    // The cells' texts ("Rnd Lmt", "13/13", "<1%", "100%") from their left
    // indent up to the grid line; the view draws them whole, never elided.
    QStringList clipped;
    QCOMPARE(view->textElideMode(), Qt::ElideNone);
    const QFontMetrics cells(view->font());
    const int indent = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const int line = view->showGrid() ? 1 : 0;
    for (int column = 0; column < view->model()->columnCount(); ++column) {
        if (view->isColumnHidden(column)) continue;
        const int room = view->columnWidth(column) - line - indent;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QString text = view->model()->index(row, column).data().toString();
            if (cells.horizontalAdvance(text) > room)
                clipped << QStringLiteral("grid column %1: \"%2\" needs %3, has %4")
                               .arg(column)
                               .arg(text)
                               .arg(cells.horizontalAdvance(text))
                               .arg(room);
        }
    }

    // Every text in every field, shown whole.
    for (const char* row : PanelRowNames) {
        for (int column = 1; column <= 4; ++column) {
            QLineEdit* field = F().Edit(QByteArray(row).append(QByteArray::number(column)).constData());
            const QString before = field->text();
            for (const QString& text : texts) {
                field->setText(text);
                const int needed = QFontMetrics(field->font()).horizontalAdvance(text);
                if (needed > ShownRoom(field))
                    clipped << QStringLiteral("%1: \"%2\" needs %3, has %4")
                                   .arg(field->objectName(), text)
                                   .arg(needed)
                                   .arg(ShownRoom(field));
            }
            field->setText(before);
        }
    }
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));

    // The arrangement: the panel at the bottom left, the pages at the bottom
    // right, the progress bar above the right end of the pages.
    const QRect panel = F().Find<QGroupBox>("ProbabilityBox")->geometry();
    const QRect pages = F().Find<QTabWidget>("PageControl1")->geometry();
    const QRect progress = F().Find<QProgressBar>("ProgressBar1")->geometry();
    QVERIFY(panel.right() < pages.left());
    QCOMPARE(progress.right(), pages.right());
    QVERIFY(progress.bottom() < pages.top());
    QVERIFY(form.centralWidget()->rect().contains(pages));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
