// The outcome grid: rewrite, Sortgrid and header clicks.
#include <QCollator>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableView>

#include "Dizorivurad/Dizorivurad.h"
#include "Dizorivurad/OutcomeGridModel.h"
#include "format/Format.h"
#include "ui_Dizorivurad.h"

namespace {

// Unit columns 1 to 9 follow the defender's kinds; the attacker's slot for
// each, -1 for jet fighters, which only the defender has.
constexpr int AttSlotOfColumn[DefKinds] = {aINF, aARM, aFTR, -1, aBMR, aBB, aAC, aTRN, aSUB};

// Right edge of each column's header, grid line included, beyond the line
// width L; a click on "+%" sorts by "%".
struct THeaderBound {
    int X;
    int Column;
};
constexpr THeaderBound HeaderBounds[] = {
    {42, 0}, {79, 1}, {112, 2}, {145, 3}, {178, 4}, {211, 5},
    {244, 6}, {277, 7}, {310, 8}, {343, 9}, {374, 10}, {418, 10},
};

// Unit counts as texts; the counts a battle can leave are shared rather than
// built for every cell of every rewrite.
QString Count(int32_t n)
{
    static const std::array<QString, MaxCount + 1> texts = [] {
        std::array<QString, MaxCount + 1> t;
        for (int i = 0; i <= MaxCount; ++i) t[size_t(i)] = QString::number(i);
        return t;
    }();
    return n >= 0 && n <= MaxCount ? texts[size_t(n)] : QString::number(n);
}

QString Victor(TVictor victor)
{
    static const QString texts[] = {
        QString::fromLatin1(VictorText(TVictor::None)),  QString::fromLatin1(VictorText(TVictor::ATT)),
        QString::fromLatin1(VictorText(TVictor::DEF)),   QString::fromLatin1(VictorText(TVictor::BothD)),
        QString::fromLatin1(VictorText(TVictor::With)),  QString::fromLatin1(VictorText(TVictor::RndLmt)),
    };
    return texts[size_t(victor)];
}

TGridRow OutcomeRow(const TBattleResultsRec& outcome, int32_t battles)
{
    TGridRow row;
    row[GridVictorColumn] = Victor(outcome.Victor);
    for (int kind = 0; kind < DefKinds; ++kind) {
        const int att = AttSlotOfColumn[kind];
        const int32_t attCount = att < 0 ? 0 : outcome.AttCount[att];
        QString& cell = row[size_t(1 + kind)];
        switch (outcome.Victor) {
        case TVictor::ATT: cell = Count(attCount); break;
        case TVictor::DEF: cell = Count(outcome.DefCount[kind]); break;
        case TVictor::With:
        case TVictor::RndLmt: cell = Count(attCount) + u'/' + Count(outcome.DefCount[kind]); break;
        case TVictor::BothD: cell = QStringLiteral("0"); break;
        case TVictor::None: break;
        }
    }
    row[GridShareColumn] = QString::fromStdString(ShareText(outcome.Instances, battles));
    row[GridInstancesColumn] = Count(outcome.Instances);
    return row;
}

// Grid texts collate in the user's language, letter case aside.
void SortAndShare(std::vector<TGridRow>& rows, int column)
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    SortGridRows(rows, column, collator);
    WriteRunningShares(rows);
}

void SetColumnWidths(QTableView& view)
{
    // A section spans its column and the grid line at its right, so that the
    // header-click bounds fall on the section edges.
    for (int column = 0; column < GridColumns; ++column) {
        const int width = GridColumnWidths[column];
        view.setColumnHidden(column, width == 0);
        if (width > 0) view.setColumnWidth(column, width + GridLineWidth);
    }
}

}  // namespace

TOutcomeGridModel& TForm1::Grid()
{
    if (GridModel) return *GridModel;

    GridModel = new TOutcomeGridModel(this);
    QTableView& view = *ui->StringGrid1;
    view.setModel(GridModel);
    view.setSortingEnabled(false);  // the header sorts through StringGrid1MouseUp
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setSelectionBehavior(QAbstractItemView::SelectItems);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view.setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    view.setWordWrap(false);
    view.setCornerButtonEnabled(false);

    QHeaderView& rows = *view.verticalHeader();
    rows.hide();
    rows.setMinimumSectionSize(0);
    rows.setSectionResizeMode(QHeaderView::Fixed);
    rows.setDefaultSectionSize(GridRowHeight);

    QHeaderView& header = *view.horizontalHeader();
    header.setSectionsClickable(false);
    header.setSectionsMovable(false);
    header.setHighlightSections(false);
    header.setSortIndicatorShown(false);
    header.setStretchLastSection(false);
    header.setMinimumSectionSize(0);
    header.setSectionResizeMode(QHeaderView::Fixed);
    new TGridHeaderClicks(&header, [this](int x, int y) { StringGrid1MouseUp(x, y); });

    SetColumnWidths(view);
    return *GridModel;
}

void TForm1::SetUpGrid()
{
    TOutcomeGridModel& grid = Grid();
    grid.Rewrite([](std::vector<TGridRow>& rows) { rows.assign(1, TGridRow{}); });
    SetColumnWidths(*ui->StringGrid1);
    std::array<QString, GridColumns> headers;
    for (int column = 0; column < GridColumns; ++column) headers[size_t(column)] = QString::fromLatin1(GridHeaders[column]);
    grid.SetHeaders(headers);
    SortColumn = 10;
}

void TForm1::RewriteGrid(int32_t battles)
{
    const int column = SortColumn;
    Grid().Rewrite([&](std::vector<TGridRow>& rows) {
        rows.clear();
        rows.reserve(OutcomeList.Size());
        for (const TBattleResultsRec& outcome : OutcomeList.Entries()) rows.push_back(OutcomeRow(outcome, battles));
        SortAndShare(rows, column);
    });
    WriteGridLabel(column);
}

void TForm1::Sortgrid(int column)
{
    Grid().Rewrite([&](std::vector<TGridRow>& rows) { SortAndShare(rows, column); });
    WriteGridLabel(column);
}

void TForm1::WriteGridLabel(int column)
{
    const TOutcomeGridModel& grid = Grid();
    const QString header = column >= 0 && column < GridColumns ? grid.Header(column) : QString();
    ui->GridResultsLabel->setText(QStringLiteral("Complete Results - %1 Instances (Sorted by %2)")
                                      .arg(QString::number(grid.rowCount()), header));
}

void TForm1::StringGrid1MouseUp(int x, int y)
{
    // Only the header row sorts, and only a grid of two outcomes or more.
    if (y > ui->StringGrid1->horizontalHeader()->height() || Grid().rowCount() < 2) return;
    for (const THeaderBound& bound : HeaderBounds) {
        if (x <= GridLineWidth + bound.X) {
            SortColumn = bound.Column;
            break;
        }
    }
    Sortgrid(SortColumn);
}
