#pragma once
// The outcome grid's cells: 13 text columns under a header row, the sort
// passes that reorder them, the running "+%" column, and the header-click
// hook of the view. The cells hold texts only; every figure in them was
// formatted when the grid was rewritten.
#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <functional>
#include <vector>

class QCollator;
class QHeaderView;

constexpr int GridColumns = 13;
constexpr int GridVictorColumn = 0;
constexpr int GridShareColumn = 10;      // "%"
constexpr int GridRunningColumn = 11;    // "+%"
constexpr int GridInstancesColumn = 12;  // hidden

extern const char* const GridHeaders[GridColumns];
// Column widths in pixels, not counting the grid line right of each column;
// width 0 hides the column.
extern const int GridColumnWidths[GridColumns];
constexpr int GridLineWidth = 1;
constexpr int GridRowHeight = 14;

using TGridRow = std::array<QString, GridColumns>;

// Reorders the rows by a column (0 to 10) with the grid's exchange sort:
// column 0 ascending by victor, column 10 descending by instances, a unit
// column ascending within each victor's block (descending in the "ATT"
// block). Texts compare with the collator; ties never exchange, so the order
// of equal rows is the one the exchange passes leave. Any other column
// leaves the rows as they are.
void SortGridRows(std::vector<TGridRow>& rows, int column, const QCollator& collator);

// Column "+%": the running total of the instances down the rows, as a share
// of all instances. A running share that rounds to 100 before the last row
// reads "99%", so that only the last row claims 100%.
void WriteRunningShares(std::vector<TGridRow>& rows);

class TOutcomeGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const QString& Header(int column) const { return Headers_[static_cast<size_t>(column)]; }
    void SetHeaders(const std::array<QString, GridColumns>& headers);

    const std::vector<TGridRow>& Rows() const { return Rows_; }
    const QString& Cell(int row, int column) const
    {
        return Rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
    }

    // Every change of the rows goes through here: the view is told once,
    // after all cells are written, however many rows change.
    template <class Change>
    void Rewrite(Change&& change)
    {
        beginResetModel();
        change(Rows_);
        endResetModel();
    }

private:
    std::array<QString, GridColumns> Headers_;
    std::vector<TGridRow> Rows_;
};

// Hands mouse releases on a table's header row to a handler, in the grid's
// own coordinates (x from the left edge of the first column, y from the top
// of the header row).
class TGridHeaderClicks : public QObject {
    Q_OBJECT

public:
    TGridHeaderClicks(QHeaderView* header, std::function<void(int x, int y)> handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHeaderView* Header;
    std::function<void(int, int)> Handler;
};
