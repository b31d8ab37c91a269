// The main window as a whole: the frame, the menu, the About box, exit and
// close, the entry-field colours, the Tab order and the accelerators.
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

class MainWindowTest : public TWindowTestCase {
    Q_OBJECT

private slots:
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
};


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
    QCOMPARE(top.size(), 4);
    QCOMPARE(top[0]->text(), QStringLiteral("&Main"));
    QCOMPARE(top[1]->text(), QStringLiteral("Ot&her"));
    QCOMPARE(top[2], F().Action("F3"));
    QVERIFY(!top[2]->menu());  // acts when clicked, opens nothing
    // Undo and redo come after the original menus, disabled while there is nothing to take back.
    QCOMPARE(top[3]->text(), QStringLiteral("&Edit"));
    const QList<QAction*> edit = top[3]->menu()->actions();
    QCOMPARE(edit, QList<QAction*>({F().Action("Undo1"), F().Action("Redo1")}));
    QCOMPARE(edit[0]->text(), QStringLiteral("&Undo"));
    QCOMPARE(edit[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    QCOMPARE(edit[1]->text(), QStringLiteral("&Redo"));
    QCOMPARE(edit[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    QVERIFY(!edit[0]->isEnabled() && !edit[1]->isEnabled());

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
    QCOMPARE(other.size(), 8);
    QCOMPARE(other[0], F().Action("LowLuckMode"));
    QCOMPARE(other[1], F().Action("RegularMode"));
    QVERIFY(other[2]->isSeparator());
    QCOMPARE(other[3], F().Action("ManualRolling"));
    QCOMPARE(other[4], F().Action("AutoRolling"));
    // Added after the original items.
    QVERIFY(other[5]->isSeparator());
    QCOMPARE(other[6], F().Action("BattlePlanner1"));
    QCOMPARE(other[6]->text(), QStringLiteral("Battle &Planner..."));
    QCOMPARE(other[7], F().Action("TurnOdds1"));
    QCOMPARE(other[7]->text(), QStringLiteral("&Turn Odds..."));
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
// such pairs, which stay as they are; a new control takes a letter of its own
// unless its caption is given with its letter.
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
    // The "&Edit" menu's caption is given as well, and shares its letter with
    // the withdrawal button ("&Enable" / "Disabl&e").
    QCOMPARE(shared, QStringList({"Alt+B: AttBBButton DefBBButton", "Alt+E: Edit1 WithdrawalButton",
                                  "Alt+T: ResetAllSettingsButton TakeWithCheckBox"}));
    for (const auto& [menu, items] : menus)
        for (const auto& [key, names] : items) QVERIFY2(names.size() == 1, qPrintable(menu + u' ' + names.join(u' ')));
}

// ---- Screenshot and clipping -----------------------------------------------------------------------


QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
