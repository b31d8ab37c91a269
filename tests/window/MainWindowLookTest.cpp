// How the main window looks: a screenshot with nothing clipped, and result
// fields that fit their texts.
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

class MainWindowLookTest : public TWindowTestCase {
    Q_OBJECT

private slots:
    void screenshotNothingClipped();
    void resultsFitTheirTexts();
};

void MainWindowLookTest::screenshotNothingClipped()
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

void MainWindowLookTest::resultsFitTheirTexts()
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


QTEST_MAIN(MainWindowLookTest)
#include "MainWindowLookTest.moc"
