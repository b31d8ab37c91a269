#include "Dizorivurad/OutcomeGridModel.h"

#include <QCollator>
#include <QHash>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <numeric>

#include "format/Format.h"

const char* const GridHeaders[GridColumns] = {
    "Victor", "INF", "ARM", "FTR", "JFTR", "BMR", "BB", "AC", "TRN", "SUB", "%", "+%", "Instances",
};

const int GridColumnWidths[GridColumns] = {43, 36, 32, 32, 32, 32, 32, 32, 32, 32, 30, 43, 0};

namespace {

// Collation ranks of one column: texts the collator finds equal share a rank,
// so that the quadratic passes compare integers only. Each distinct text is
// collated once, however many rows carry it.
std::vector<int> CollationRanks(const std::vector<TGridRow>& rows, int column, const QCollator& collator)
{
    QHash<QStringView, int> known;
    std::vector<QStringView> distinct;
    std::vector<int> rank(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        const QStringView text = rows[r][static_cast<size_t>(column)];
        auto it = known.constFind(text);
        if (it == known.cend()) {
            it = known.insert(text, static_cast<int>(distinct.size()));
            distinct.push_back(text);
        }
        rank[r] = *it;
    }

    std::vector<int> order(distinct.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return collator.compare(distinct[size_t(a)], distinct[size_t(b)]) < 0; });
    std::vector<int> textRank(distinct.size());
    for (size_t k = 1; k < order.size(); ++k) {
        const bool greater = collator.compare(distinct[size_t(order[k - 1])], distinct[size_t(order[k])]) < 0;
        textRank[size_t(order[k])] = textRank[size_t(order[k - 1])] + (greater ? 1 : 0);
    }

    for (int& r : rank) r = textRank[size_t(r)];
    return rank;
}

// The rows in display order for the exchange passes: each position's sort
// key, its row, and whether its pass runs descending when it is the upper
// row of a pair. Keys and rows sit in their own arrays so that the inner
// loop scans keys only.
struct TPassOrder {
    std::vector<int32_t> Key;
    std::vector<int32_t> Row;
    std::vector<char> Descending;

    explicit TPassOrder(size_t n) : Key(n), Row(n), Descending(n)
    {
        std::iota(Row.begin(), Row.end(), 0);
    }
    void Exchange(size_t i, size_t j)
    {
        std::swap(Key[i], Key[j]);
        std::swap(Row[i], Row[j]);
        std::swap(Descending[i], Descending[j]);
    }
};

// One exchange pass over display positions a..b: for each i, each later j in
// turn, the rows at i and j change places when the row at i sorts after the
// row at j in the upper row's direction. Ties never exchange.
void ExchangePass(TPassOrder& at, size_t a, size_t b)
{
    const bool mixed = std::adjacent_find(at.Descending.begin() + ptrdiff_t(a), at.Descending.begin() + ptrdiff_t(b) + 1,
                                          std::not_equal_to<>()) != at.Descending.begin() + ptrdiff_t(b) + 1;
    if (mixed) {
        for (size_t i = a; i < b; ++i)
            for (size_t j = i + 1; j <= b; ++j)
                if (at.Descending[i] ? at.Key[i] < at.Key[j] : at.Key[i] > at.Key[j]) at.Exchange(i, j);
        return;
    }

    // One direction throughout: negating the keys of a descending pass makes
    // every exchange "upper key greater". The upper row then only changes at
    // a strictly smaller key, so the search between two exchanges is a plain
    // scan against a fixed key.
    int32_t* key = at.Key.data();
    int32_t* row = at.Row.data();
    const bool descending = at.Descending[a] != 0;
    if (descending)
        for (size_t p = a; p <= b; ++p) key[p] = -key[p];
    for (size_t i = a; i < b; ++i) {
        int32_t upperKey = key[i];
        int32_t upperRow = row[i];
        for (size_t j = i + 1;; ++j) {
            while (j <= b && key[j] >= upperKey) ++j;
            if (j > b) break;
            std::swap(upperKey, key[j]);
            std::swap(upperRow, row[j]);
        }
        key[i] = upperKey;
        row[i] = upperRow;
    }
    if (descending)
        for (size_t p = a; p <= b; ++p) key[p] = -key[p];
}

// "0%" to "100%", shared rather than built for every row.
const QString& PercentText(int q)
{
    static const std::array<QString, 101> texts = [] {
        std::array<QString, 101> t;
        for (int i = 0; i <= 100; ++i) t[size_t(i)] = QString::number(i) + u'%';
        return t;
    }();
    return texts[size_t(q)];
}

int64_t Instances(const TGridRow& row) { return row[GridInstancesColumn].toLongLong(); }

}  // namespace

void SortGridRows(std::vector<TGridRow>& rows, int column, const QCollator& collator)
{
    if (rows.size() < 2) return;
    const size_t last = rows.size() - 1;
    TPassOrder at(rows.size());

    if (column == GridShareColumn) {
        for (size_t p = 0; p < rows.size(); ++p) {
            at.Key[p] = rows[p][GridInstancesColumn].toInt();
            at.Descending[p] = true;
        }
        ExchangePass(at, 0, last);
    } else if (column >= GridVictorColumn && column < GridShareColumn) {
        const std::vector<int> victor = CollationRanks(rows, GridVictorColumn, collator);
        for (size_t p = 0; p < rows.size(); ++p) at.Key[p] = victor[p];
        ExchangePass(at, 0, last);

        if (column != GridVictorColumn) {
            // Within each victor's block: the attacker's survivors most first,
            // everyone else's fewest first (by text).
            const std::vector<int> units = CollationRanks(rows, column, collator);
            for (size_t a = 0; a <= last;) {
                size_t b = a;
                while (b < last && at.Key[b + 1] == at.Key[a]) ++b;
                for (size_t p = a; p <= b; ++p) {
                    const size_t r = size_t(at.Row[p]);
                    at.Descending[p] = rows[r][GridVictorColumn] == QLatin1String("ATT");
                    at.Key[p] = units[r];
                }
                ExchangePass(at, a, b);
                a = b + 1;
            }
        }
    } else {
        return;
    }

    // Rows move into display order in place, cycle by cycle: a grid of a few
    // thousand rows is not copied on every sort.
    std::vector<int32_t>& from = at.Row;
    for (size_t start = 0; start < from.size(); ++start) {
        size_t p = start;
        while (size_t(from[p]) != start) {
            const size_t next = size_t(from[p]);
            std::swap(rows[p], rows[next]);
            from[p] = int32_t(p);
            p = next;
        }
        from[p] = int32_t(p);
    }
}

void WriteRunningShares(std::vector<TGridRow>& rows)
{
    int64_t total = 0;
    for (const TGridRow& row : rows) total += Instances(row);

    int64_t running = 0;
    for (TGridRow& row : rows) {
        QString& text = row[GridRunningColumn];
        if (total <= 0) {  // only the empty start-up row: nothing to share out
            text.clear();
            continue;
        }
        running += Instances(row);
        const int64_t q = RoundHalfEven(static_cast<long double>(running) / static_cast<long double>(total) * 100);
        text = PercentText(q <= 99 ? int(std::max<int64_t>(q, 0)) : running == total ? 100 : 99);
    }
}

int TOutcomeGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Rows_.size());
}

int TOutcomeGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GridColumns;
}

QVariant TOutcomeGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return Cell(index.row(), index.column());
}

QVariant TOutcomeGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= GridColumns)
        return {};
    return Header(section);
}

Qt::ItemFlags TOutcomeGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TOutcomeGridModel::SetHeaders(const std::array<QString, GridColumns>& headers)
{
    Headers_ = headers;
    emit headerDataChanged(Qt::Horizontal, 0, GridColumns - 1);
}

TGridHeaderClicks::TGridHeaderClicks(QHeaderView* header, std::function<void(int, int)> handler)
    : QObject(header), Header(header), Handler(std::move(handler))
{
    header->viewport()->installEventFilter(this);
}

bool TGridHeaderClicks::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched == Header->viewport()) {
        const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
        // The header scrolls with the cells; the grid counts from its first column.
        Handler(p.x() + Header->offset(), p.y());
    }
    return QObject::eventFilter(watched, event);
}
