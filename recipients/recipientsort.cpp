#include "recipients/recipientsort.h"

#include "core/blank.h"
#include "core/datetimenumber.h"

#include <QCollator>

#include <algorithm>
#include <iterator>
#include <thread>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// What a row is sorted by: its key, a "#" and the texts of its eight cells, each followed by CR LF.
QString sortItem(const QString& key, const RecipientTableModel::Row& row) {
    qsizetype size = key.size() + 1;
    for (const QString& cell : row)
        size += cell.size() + 2;
    QString item;
    item.reserve(size);
    item += key;
    item += QLatin1Char('#');
    for (const QString& cell : row) {
        item += cell;
        item += kLineEnd;
    }
    return item;
}

// A sent stamp as text whose order is time order: yyyyMMddhhmmss.
QString dateKey(const QDate& date, const QTime& time) {
    return QString::asprintf("%04d%02d%02d%02d%02d%02d", date.year(), date.month(), date.day(), time.hour(),
                             time.minute(), time.second());
}

struct SortItem {
    int row;     // 0 = data row 1
    bool ranked; // the key is a date (sent column) or a row number (column 0); false in other columns
    QCollatorSortKey key;
};

// A row number as text whose order is number order.
QString numberKey(uint number) {
    return QStringLiteral("%1").arg(number, 10, 10, QLatin1Char('0'));
}

// Reading a sent stamp and making a collation key take microseconds a row, so a long table is worked
// on in slices, one thread each. Each slice has its own collator and reader.
struct Slice {
    Slice(int first, int last, const QLocale& locale)
        : first(first), last(last), collator(locale), stamps(locale) {
        collator.setCaseSensitivity(Qt::CaseInsensitive);
    }

    void makeItems(const RecipientTableModel& table, int column) {
        items.reserve(std::size_t(last - first));
        for (int i = first; i < last; ++i) {
            const RecipientTableModel::Row& cells = table.RowAt(i + 1);
            QString key = trimBlank(cells[std::size_t(column)]);
            bool ranked = false;
            if (column == RecipientTableModel::SendColumn) {
                // A row never sent, or one holding a failure text, goes before every date.
                QDate date;
                QTime time;
                ranked = stamps.read(key, &date, &time);
                key = ranked ? dateKey(date, time) : QString();
            } else if (column == 0) {
                // Row numbers in number order, so that this sort restores the order the list was loaded in.
                const uint number = key.toUInt(&ranked);
                if (ranked) key = numberKey(number);
            }
            items.push_back({i, ranked, collator.sortKey(sortItem(key, cells))});
        }
    }

    int first;
    int last;
    QCollator collator;
    RegionalDateTimeReader stamps;
    std::vector<SortItem> items;
};

} // namespace

std::vector<int> RecipientSort::sortedOrder(const RecipientTableModel& table, int column, int count) const {
    constexpr int kRowsPerSlice = 5000;
    const int sliceCount =
        std::clamp(int(std::thread::hardware_concurrency()), 1, std::max(1, count / kRowsPerSlice));
    std::vector<Slice> slices;
    slices.reserve(std::size_t(sliceCount));
    for (int s = 0; s < sliceCount; ++s)
        slices.emplace_back(count * s / sliceCount, count * (s + 1) / sliceCount, m_locale);
    std::vector<std::thread> threads;
    for (std::size_t s = 1; s < slices.size(); ++s)
        threads.emplace_back([&table, column, slice = &slices[s]] { slice->makeItems(table, column); });
    slices[0].makeItems(table, column);
    for (std::thread& thread : threads)
        thread.join();

    std::vector<SortItem> items;
    items.reserve(std::size_t(count));
    for (Slice& slice : slices)
        std::move(slice.items.begin(), slice.items.end(), std::back_inserter(items));
    std::stable_sort(items.begin(), items.end(), [](const SortItem& a, const SortItem& b) {
        if (a.ranked != b.ranked) return b.ranked;
        return a.key.compare(b.key) < 0;
    });
    std::vector<int> order;
    order.reserve(items.size());
    for (const SortItem& item : items)
        order.push_back(item.row);
    return order;
}

bool RecipientSort::SortByColumn(RecipientTableModel& table, int column) {
    if (column < 0 || column >= RecipientTableModel::ColumnCount) return false;
    ClearSnapshot();
    int named = 0;
    for (int r = 1; r < table.RowCount(); ++r)
        if (!table.RowAt(r)[1].isEmpty()) ++named;
    if (named == 0) return false;

    table.ReorderRows(sortedOrder(table, column, named));

    // The snapshot: the sorted rows in reverse, then the used rows below them as they stand, so that
    // showing the descending order loses none of them.
    m_snapshot.reserve(std::size_t(named));
    for (int r = named; r >= 1; --r)
        m_snapshot.push_back(table.RowAt(r));
    for (int r = named + 1; r < table.RowCount(); ++r)
        if (table.IsRowUsed(r)) m_snapshot.push_back(table.RowAt(r));
    return true;
}

bool RecipientSort::ShowDescending(RecipientTableModel& table) const {
    if (m_snapshot.empty()) return false;
    table.SetRowCount(std::max(SnapshotRowCount(), DescendingMinRowCount));
    table.AssignRows(m_snapshot);
    return true;
}

QString RecipientSort::SnapshotCell(int column, int row) const {
    if (column < 0 || column >= RecipientTableModel::ColumnCount || row < 1 || row >= SnapshotRowCount())
        return {};
    return m_snapshot[std::size_t(row - 1)][std::size_t(column)];
}
