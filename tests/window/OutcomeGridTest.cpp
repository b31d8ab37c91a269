// The outcome grid: the texts of its rows, the sort passes, the "+%" column,
// header clicks and when a publication rewrites it. Publications are handed
// to the form as the run driver hands them.
#include <QCollator>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <random>

#include "Dizorivurad/OutcomeGridModel.h"
#include "tests/window/ResultsTestSupport.h"

namespace {

constexpr int L = GridLineWidth;
constexpr int HeaderY = 5;

// The grid's sort written the plain way: exchange passes over the texts
// themselves, each comparison collating two cells.
void PlainExchangeSort(std::vector<TGridRow>& rows, int column, const QCollator& collator)
{
    auto pass = [&](size_t a, size_t b, auto exchange) {
        for (size_t i = a; i < b; ++i)
            for (size_t j = i + 1; j <= b; ++j)
                if (exchange(rows[i], rows[j])) std::swap(rows[i], rows[j]);
    };
    if (rows.size() < 2) return;
    const size_t last = rows.size() - 1;
    if (column == 10) {
        pass(0, last, [](const TGridRow& i, const TGridRow& j) { return i[12].toLongLong() < j[12].toLongLong(); });
        return;
    }
    pass(0, last, [&](const TGridRow& i, const TGridRow& j) { return collator.compare(i[0], j[0]) > 0; });
    if (column == 0) return;
    for (size_t a = 0; a <= last;) {
        size_t b = a;
        while (b < last && collator.compare(rows[b + 1][0], rows[b][0]) == 0) ++b;
        pass(a, b, [&](const TGridRow& i, const TGridRow& j) {
            const int order = collator.compare(i[size_t(column)], j[size_t(column)]);
            return i[0] == QLatin1String("ATT") ? order < 0 : order > 0;
        });
        a = b + 1;
    }
}

}  // namespace

class OutcomeGridTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TForm1::MessageHook = [](bool, const QString&) {}; }

    void startUpGrid()
    {
        TForm1 form;
        form.show();
        QCOMPARE(GridRows(form), 1);  // the header and one empty row
        QCOMPARE(GridRow(form, 0), QStringList(13, QString()));
        QCOMPARE(form.SortColumn, 10);
        QCOMPARE(GridLabel(form), QStringLiteral("Complete Results - 0 Instances (Sorted by %)"));

        const QAbstractItemModel& model = *Grid(form)->model();
        QStringList headers;
        for (int c = 0; c < 13; ++c) headers << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"Victor", "INF", "ARM", "FTR", "JFTR", "BMR", "BB", "AC", "TRN", "SUB",
                                       "%", "+%", "Instances"}));
        QVERIFY(Grid(form)->isColumnHidden(12));
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);
        QVERIFY(!Grid(form)->isSortingEnabled());
    }

    // 249 and 1 of 250: the frequent row rounds to 100 % but may not claim
    // the whole run in the running total; the rare row closes it.
    void sharesAndRunningTotal()
    {
        TForm1 form;
        form.show();
        TPublisher run(form);
        run.StartRun();
        run.Fight(Def(1)).Fight(Att(2), 249).Publish();

        QCOMPARE(GridRows(form), 2);
        QCOMPARE(GridColumn(form, 0), QStringList({"ATT", "DEF"}));
        QCOMPARE(GridColumn(form, 10), QStringList({"100%", "<1%"}));
        QCOMPARE(GridColumn(form, 11), QStringList({"99%", "100%"}));
        QCOMPARE(GridColumn(form, 12), QStringList({"249", "1"}));
        QCOMPARE(GridLabel(form), QStringLiteral("Complete Results - 2 Instances (Sorted by %)"));

        // Exact halves go to the even neighbour: 2.5 -> 2, 3.5 -> 4, 97.5 -> 98.
        run.StartRun();
        run.Fight(Att(1), 188).Fight(Att(2), 7).Fight(Att(3), 5).Publish();
        QCOMPARE(GridColumn(form, 1), QStringList({"1", "2", "3"}));
        QCOMPARE(GridColumn(form, 10), QStringList({"94%", "4%", "2%"}));
        QCOMPARE(GridColumn(form, 11), QStringList({"94%", "98%", "100%"}));
    }

    // Sorted by victor, a running share below one half reads 0 %; the last row
    // is the only one to read 100 %.
    void runningTotalInVictorOrder()
    {
        TForm1 form;
        form.show();
        form.SortColumn = 0;
        TPublisher run(form);
        run.StartRun();
        run.Fight(Att(1), 1).Fight(Def(1), 998).Fight(Outcome(TVictor::With, {1}), 1).Publish();
        QCOMPARE(GridColumn(form, 0), QStringList({"ATT", "DEF", "With."}));
        QCOMPARE(GridColumn(form, 10), QStringList({"<1%", "100%", "<1%"}));
        QCOMPARE(GridColumn(form, 11), QStringList({"0%", "99%", "100%"}));
    }

    void oneOutcome()
    {
        TForm1 form;
        form.show();
        TPublisher run(form);
        run.StartRun();
        run.Fight(Outcome(TVictor::BothD), 250).Publish();
        QCOMPARE(GridRow(form, 0), QStringList({"Both D.", "0", "0", "0", "0", "0", "0", "0", "0", "0", "100%",
                                                "100%", "250"}));

        // Header clicks need two outcomes: nothing is sorted or relabelled.
        QSignalSpy resets(Grid(form)->model(), &QAbstractItemModel::modelReset);
        const QString label = GridLabel(form);
        form.StringGrid1MouseUp(L + 20, HeaderY);
        form.StringGrid1MouseUp(L + 60, HeaderY);
        QCOMPARE(form.SortColumn, 10);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(GridLabel(form), label);
    }

    // Unit columns follow the victor: the attacker's survivors with no jet
    // fighters, the defender's, both sides' as pairs, or nothing left.
    void unitColumnsByVictor()
    {
        TForm1 form;
        form.show();
        form.SortColumn = 0;
        TPublisher run(form);
        run.StartRun();
        run.Fight(Outcome(TVictor::ATT, {1, 2, 3, 4, 5, 6, 7, 8}))
            .Fight(Outcome(TVictor::DEF, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9}))
            .Fight(Outcome(TVictor::With, {3, 0, 2, 1, 0, 0, 0, 12}, {0, 1, 0, 2, 0, 0, 0, 0, 0}))
            .Fight(Outcome(TVictor::RndLmt, {0, 0, 0, 0, 1, 0, 0, 0}, {0, 0, 0, 0, 0, 2, 0, 0, 10}))
            .Fight(Outcome(TVictor::BothD))
            .Publish();

        QCOMPARE(GridRow(form, 0).mid(0, 10), QStringList({"ATT", "1", "2", "3", "0", "4", "5", "6", "7", "8"}));
        QCOMPARE(GridRow(form, 1).mid(0, 10), QStringList({"Both D.", "0", "0", "0", "0", "0", "0", "0", "0", "0"}));
        QCOMPARE(GridRow(form, 2).mid(0, 10), QStringList({"DEF", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
        QCOMPARE(GridRow(form, 3).mid(0, 10),
                 QStringList({"Rnd Lmt", "0/0", "0/0", "0/0", "0/0", "0/0", "1/2", "0/0", "0/0", "0/10"}));
        QCOMPARE(GridRow(form, 4).mid(0, 10),
                 QStringList({"With.", "3/0", "0/1", "2/0", "0/2", "1/0", "0/0", "0/0", "0/0", "12/0"}));
        QCOMPARE(GridColumn(form, 10), QStringList(5, "20%"));
    }

    // Digits compare as text: 10 sorts before 9. The attacker's block runs
    // from most to fewest, every other block the other way.
    void unitColumnSortsByTextWithinVictor()
    {
        TForm1 form;
        form.show();
        TPublisher run(form);
        run.StartRun();
        run.Fight(Def(9), 1).Fight(Att(10), 2).Fight(Def(2), 3).Fight(Att(9), 4).Fight(Def(10), 5).Fight(Att(2), 6);
        run.Publish();

        form.StringGrid1MouseUp(L + 60, HeaderY);  // "INF"
        QCOMPARE(form.SortColumn, 1);
        QCOMPARE(GridColumn(form, 0), QStringList({"ATT", "ATT", "ATT", "DEF", "DEF", "DEF"}));
        QCOMPARE(GridColumn(form, 1), QStringList({"9", "2", "10", "10", "2", "9"}));
        QCOMPARE(GridLabel(form), QStringLiteral("Complete Results - 6 Instances (Sorted by INF)"));
        // "+%" follows the new order: 4, 10, 12, 17, 20, 21 of 21 battles.
        QCOMPARE(GridColumn(form, 11), QStringList({"19%", "48%", "57%", "81%", "95%", "100%"}));

        // The sort column holds for the next run's grid.
        run.StartRun();
        run.Fight(Att(3)).Fight(Att(30)).Publish();
        QCOMPARE(GridColumn(form, 1), QStringList({"30", "3"}));
    }

    // The sort compares ranks computed once per distinct text; it must leave
    // exactly the order of exchange passes over the texts, ties included.
    void sortMatchesPlainExchangePasses_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << QStringLiteral("C");
        QTest::newRow("en_US") << QStringLiteral("en_US");
        QTest::newRow("de_DE") << QStringLiteral("de_DE");
    }
    void sortMatchesPlainExchangePasses()
    {
        QFETCH(QString, locale);
        QCollator collator{QLocale(locale)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        // Case variants of the victors make a block mix directions.
        const char* const victors[] = {"ATT", "DEF", "Both D.", "With.", "Rnd Lmt", "att", "Att", "def"};
        std::mt19937 dice(20040306);
        for (int grid = 0; grid < 200; ++grid) {
            std::vector<TGridRow> rows(1 + dice() % 40);
            for (size_t r = 0; r < rows.size(); ++r) {
                rows[r][0] = victors[dice() % (grid % 3 == 0 ? 8 : 5)];
                for (int c = 1; c <= 9; ++c) {
                    rows[r][size_t(c)] = QString::number(dice() % 12);
                    if (dice() % 3 == 0) rows[r][size_t(c)] += u'/' + QString::number(dice() % 3);
                }
                rows[r][11] = QString::number(r);  // tells equal rows apart
                rows[r][12] = QString::number(1 + dice() % 6);
            }
            for (int column = 0; column <= 10; ++column) {
                std::vector<TGridRow> fast = rows, plain = rows;
                SortGridRows(fast, column, collator);
                PlainExchangeSort(plain, column, collator);
                if (fast != plain) QFAIL(qPrintable(QStringLiteral("grid %1 column %2").arg(grid).arg(column)));
            }
        }
    }

    void headerClickBounds_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("header");
        QTest::newRow("Victor left") << 0 << 0 << "Victor";
        QTest::newRow("Victor line") << L + 42 << 0 << "Victor";
        QTest::newRow("INF") << L + 43 << 1 << "INF";
        QTest::newRow("INF line") << L + 79 << 1 << "INF";
        QTest::newRow("ARM") << L + 80 << 2 << "ARM";
        QTest::newRow("JFTR") << L + 178 << 4 << "JFTR";
        QTest::newRow("SUB line") << L + 343 << 9 << "SUB";
        QTest::newRow("%") << L + 344 << 10 << "%";
        QTest::newRow("+% sorts by %") << L + 375 << 10 << "%";
        QTest::newRow("+% line") << L + 418 << 10 << "%";
        QTest::newRow("beyond keeps JFTR") << L + 419 << 4 << "JFTR";
        QTest::newRow("far beyond keeps JFTR") << 2000 << 4 << "JFTR";
    }
    void headerClickBounds()
    {
        QFETCH(int, x);
        QFETCH(int, column);
        QFETCH(QString, header);
        TForm1 form;
        form.show();
        TPublisher run(form);
        run.StartRun();
        run.Fight(Def(1), 3).Fight(Att(2), 2).Publish();
        form.StringGrid1MouseUp(L + 178, HeaderY);  // JFTR
        QCOMPARE(form.SortColumn, 4);

        QSignalSpy resets(Grid(form)->model(), &QAbstractItemModel::modelReset);
        form.StringGrid1MouseUp(x, HeaderY);
        QCOMPARE(form.SortColumn, column);
        QCOMPARE(resets.count(), 1);  // sorted again even when the column stays
        QCOMPARE(GridLabel(form), QStringLiteral("Complete Results - 2 Instances (Sorted by %1)").arg(header));
    }

    // Clicks below the header row sort nothing.
    void clickBelowHeader()
    {
        TForm1 form;
        form.show();
        TPublisher run(form);
        run.StartRun();
        run.Fight(Def(1), 3).Fight(Att(2), 2).Publish();
        QSignalSpy resets(Grid(form)->model(), &QAbstractItemModel::modelReset);
        const int headerHeight = Grid(form)->horizontalHeader()->height();
        form.StringGrid1MouseUp(L + 20, headerHeight + 1);
        QCOMPARE(form.SortColumn, 10);
        QCOMPARE(resets.count(), 0);

        // A real click on a cell does not reach the header either.
        const QRect cell = Grid(form)->visualRect(Grid(form)->model()->index(0, 0));
        QTest::mouseClick(Grid(form)->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(resets.count(), 0);
    }

    // A real mouse release on the header, at each column's first and last
    // pixel, picks that column: the columns on screen line up with the bounds.
    void headerClicksOnScreen()
    {
        TForm1 form;
        form.show();
        TPublisher run(form);
        run.StartRun();
        run.Fight(Def(1), 3).Fight(Att(2), 2).Publish();

        QHeaderView& header = *Grid(form)->horizontalHeader();
        for (int column = 0; column <= 11; ++column) {
            const int left = header.sectionViewportPosition(column);
            const int right = left + header.sectionSize(column) - 1;
            for (int x : {left, right}) {
                form.SortColumn = -1;
                QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, QPoint(x, header.height() / 2));
                QCOMPARE(form.SortColumn, column == 11 ? 10 : column);
            }
        }
    }

    // A new outcome allows one more rewrite; once the outcomes are all known
    // the grid rests until the last publication of the run.
    void rewritesFollowNewOutcomes()
    {
        TForm1 form;
        form.show();
        QSignalSpy resets(Grid(form)->model(), &QAbstractItemModel::modelReset);
        TPublisher run(form);
        run.StartRun();
        std::vector<int> rewrittenAt;
        for (int publication = 1; publication <= 400; ++publication) {
            run.Fight(Att(1), 150).Fight(Def(1), 99).Fight(Outcome(TVictor::BothD), 1);
            if (publication == 10) run.Fight(Att(2), 1);  // a fourth outcome, late
            const int before = int(resets.count());
            run.Publish(publication == 400);
            if (resets.count() > before) rewrittenAt.push_back(publication);
        }
        QCOMPARE(rewrittenAt, std::vector<int>({1, 2, 3, 10, 400}));
        QCOMPARE(form.GridRewrites, 5);
        QCOMPARE(GridBattles(form), qint64(run.Totals.Battles));
        QCOMPARE(GridRows(form), 4);

        // Between rewrites the grid shows the figures of its last rewrite.
        run.StartRun();
        rewrittenAt.clear();
        for (int publication = 1; publication <= 5; ++publication) {
            run.Fight(Att(1), 250);
            const int before = int(resets.count());
            run.Publish();
            if (resets.count() > before) rewrittenAt.push_back(publication);
        }
        QCOMPARE(rewrittenAt, std::vector<int>({1}));
        QCOMPARE(GridBattles(form), qint64(250));
    }

    // A new run leaves the grid alone until it rewrites it.
    void newRunKeepsGridUntilRewrite()
    {
        TForm1 form;
        form.show();
        TPublisher run(form);
        run.StartRun();
        run.Fight(Att(1), 400).Fight(Def(2), 200).Publish(true);
        const QStringList rows = GridColumn(form, 1);
        const QString label = GridLabel(form);

        run.StartRun();
        QCOMPARE(GridColumn(form, 1), rows);
        QCOMPARE(GridLabel(form), label);
        QCOMPARE(form.GridRewrites, 0);
        QCOMPARE(int(form.OutcomeList.Size()), 0);

        run.Fight(Def(5), 250).Publish();
        QCOMPARE(GridColumn(form, 0), QStringList({"DEF"}));
        QCOMPARE(GridColumn(form, 1), QStringList({"5"}));
        QCOMPARE(GridBattles(form), qint64(250));
    }
};

QTEST_MAIN(OutcomeGridTest)
#include "OutcomeGridTest.moc"
