#include "recipients/recipienttablemodel.h"

#include "core/blank.h"
#include "core/datetimenumber.h"
#include "core/interfacetexts.h"
#include "core/recipientline.h"

#include <QCollator>
#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <new>
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

} // namespace

RecipientTableModel::RecipientTableModel(QObject* parent) : QAbstractTableModel(parent) {
    m_rows.resize(ClearedRowCount - 1);
    SetHeadings(0);
}

QStringList RecipientTableModel::headingTexts(int language) {
    if (isGerman(language))
        return {QString(),
                QStringLiteral("     Name"),
                QStringLiteral("     Vorname"),
                QStringLiteral("     Email"),
                QStringLiteral("     Thema"),
                QStringLiteral("     Textdatei"),
                QStringLiteral("     Gesendet"),
                QStringLiteral("     Anhang")};
    return {QString(),
            QStringLiteral("     Name"),
            QStringLiteral("     Prename"),
            QStringLiteral("     Email"),
            QStringLiteral("     Subject"),
            QStringLiteral("     Message file"),
            QStringLiteral("     Send"),
            QStringLiteral("     Attachment")};
}

void RecipientTableModel::SetHeadings(int language) {
    const QStringList texts = headingTexts(language);
    for (int c = 0; c < ColumnCount; ++c)
        m_headings[std::size_t(c)] = texts.at(c);
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void RecipientTableModel::SetRowCount(int count) {
    count = std::max(count, 2);
    const int dataRows = count - 1;
    const int oldDataRows = int(m_rows.size());
    if (dataRows > oldDataRows) {
        beginInsertRows(QModelIndex(), oldDataRows, dataRows - 1);
        m_rows.resize(std::size_t(dataRows));
        endInsertRows();
    } else if (dataRows < oldDataRows) {
        beginRemoveRows(QModelIndex(), dataRows, oldDataRows - 1);
        m_rows.resize(std::size_t(dataRows));
        endRemoveRows();
    }
}

QString RecipientTableModel::Cell(int column, int row) const {
    if (column < 0 || column >= ColumnCount) return {};
    if (row == 0) return m_headings[std::size_t(column)];
    if (!isDataRow(row)) return {};
    return rowAt(row)[std::size_t(column)];
}

void RecipientTableModel::SetCell(int column, int row, const QString& text) {
    if (column < 0 || column >= ColumnCount) return;
    if (row == 0) {
        m_headings[std::size_t(column)] = text;
        emit headerDataChanged(Qt::Horizontal, column, column);
        return;
    }
    if (!isDataRow(row)) return;
    rowAt(row)[std::size_t(column)] = text;
    changedRows(row, row, column, column);
}

bool RecipientTableModel::IsRowUsed(int row) const {
    if (!isDataRow(row)) return false;
    const Row& cells = rowAt(row);
    return std::any_of(cells.begin() + 1, cells.end(), [](const QString& cell) { return !isBlank(cell); });
}

QString RecipientTableModel::LoadListFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return {};
    const TextFileContent content = readTextFile(path);
    m_encoding = content.encoding;
    m_listText.clear();
    const int lineCount = int(content.lines.size());
    if (lineCount + 1 >= RowCount()) SetRowCount(lineCount + 1);
    for (int k = 0; k < lineCount; ++k) {
        const QString& line = content.lines.at(k);
        if (isBlank(line)) continue;
        const RecipientRow fields = SplitRecipientLine(line);
        Row& cells = rowAt(k + 1);
        for (int c = 1; c <= RecipientRow::FieldCount; ++c)
            cells[std::size_t(c)] = fields.field(c);
    }
    NumberRows();
    changedRows(1, RowCount() - 1);
    return QStringLiteral("Zeilen: ") + QString::number(lineCount);
}

int RecipientTableModel::BuildListText() {
    m_listText.clear();
    m_listText.reserve(qsizetype(m_rows.size()));
    RecipientRow fields;
    for (const Row& cells : m_rows) {
        for (int c = 1; c <= RecipientRow::FieldCount; ++c)
            fields.field(c) = cells[std::size_t(c)];
        const QString line = JoinRecipientLine(fields);
        if (!isBlank(line)) m_listText.append(line);
    }
    return int(m_listText.size());
}

void RecipientTableModel::WriteListText(const QString& path) const {
    writeTextFile(path, m_listText, m_encoding);
}

void RecipientTableModel::ClearTable() {
    SetRowCount(ClearedRowCount);
    for (Row& cells : m_rows)
        cells.fill(QString());
    changedRows(1, RowCount() - 1);
}

void RecipientTableModel::AssignRows(std::vector<Row> rows) {
    const int count = int(rows.size());
    if (count + 1 > RowCount()) SetRowCount(count + 1);
    std::move(rows.begin(), rows.end(), m_rows.begin());
    std::fill(m_rows.begin() + count, m_rows.end(), Row());
    changedRows(1, RowCount() - 1);
}

void RecipientTableModel::NumberRows() {
    for (int r = 1; r < RowCount(); ++r)
        rowAt(r)[0] = QString::number(r);
    changedRows(1, RowCount() - 1, 0, 0);
}

int RecipientTableModel::CountUsedRows() const {
    int used = 0;
    for (int r = 1; r < RowCount(); ++r)
        if (IsRowUsed(r)) ++used;
    return used;
}

int RecipientTableModel::DeleteTableRow(int row, int currentRow) {
    if (isDataRow(row)) {
        rowAt(row).fill(QString());
        changedRows(row, row);
        if (RowCount() > 2) {
            beginRemoveRows(QModelIndex(), row - 1, row - 1);
            m_rows.erase(m_rows.begin() + (row - 1));
            endRemoveRows();
        }
    }
    return std::clamp(currentRow, 1, RowCount() - 1);
}

int RecipientTableModel::RemoveRowRange(int from, int to, int currentRow) {
    ResetSortState();
    if (from == -1) return currentRow;
    if (from == 0) {
        const int current = DeleteTableRow(currentRow, currentRow);
        NumberRows();
        return current;
    }
    const int last = RowCount() - 1;
    from = std::min(std::max(from, 1), last);
    to = std::max(std::min(to, last), from);
    // Deleting row `from` (to - from + 1) times, all at once: only a range that takes every data row
    // reaches the last one, which stays, emptied.
    int removeTo = to;
    if (from == 1 && to == last) {
        removeTo = last - 1;
        rowAt(last).fill(QString());
        changedRows(last, last);
    }
    if (removeTo >= from) {
        beginRemoveRows(QModelIndex(), from - 1, removeTo - 1);
        m_rows.erase(m_rows.begin() + (from - 1), m_rows.begin() + removeTo);
        endRemoveRows();
    }
    NumberRows();
    return std::min(from, RowCount() - 1);
}

bool RecipientTableModel::AppendRow() {
    const int row = int(m_rows.size());
    try {
        m_rows.reserve(m_rows.size() + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    beginInsertRows(QModelIndex(), row, row);
    m_rows.emplace_back();
    endInsertRows();
    return true;
}

int RecipientTableModel::DuplicateIntoColumn(int column, int row) {
    if (column < 1 || column >= ColumnCount) return 0;
    const QString text = trimBlank(Cell(column, row));
    const int used = CountUsedRows();
    if (text.isEmpty() || used == 0) return 0;
    for (int r = 1; r <= used; ++r)
        rowAt(r)[std::size_t(column)] = text;
    changedRows(1, used, column, column);
    return used;
}

void RecipientTableModel::ResetSortState() {
    SortedAscending = false;
    ShowingDescending = false;
    AscendingMark.fill(false);
    clearSnapshot();
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void RecipientTableModel::SortByColumn(int column) {
    if (column < 0 || column >= ColumnCount) return;
    SortedAscending = true;
    ShowingDescending = false;
    clearSnapshot();

    const int named = int(
        std::count_if(m_rows.begin(), m_rows.end(), [](const Row& cells) { return !cells[1].isEmpty(); }));
    if (named == 0) {
        ResetSortState();
        return;
    }

    // Reading a sent stamp and making a collation key take microseconds a row, so a long table is
    // worked on in slices, one thread each. Each slice has its own collator and reader, made here.
    struct Item {
        int row;    // index into m_rows
        bool dated; // the sent column holds a date (false in other columns too)
        QCollatorSortKey key;
    };
    struct Slice {
        int first;
        int last;
        QCollator collator;
        RegionalDateTimeReader stamps;
        std::vector<Item> items;
    };
    auto makeItems = [this, column](Slice* slice) {
        slice->items.reserve(std::size_t(slice->last - slice->first));
        for (int i = slice->first; i < slice->last; ++i) {
            const Row& cells = m_rows[std::size_t(i)];
            QString key = trimBlank(cells[std::size_t(column)]);
            bool dated = false;
            if (column == SendColumn) {
                // A row never sent, or one holding a failure text, goes before every date.
                QDate date;
                QTime time;
                dated = slice->stamps.read(key, &date, &time);
                key = dated ? dateKey(date, time) : QString();
            }
            slice->items.push_back({i, dated, slice->collator.sortKey(sortItem(key, cells))});
        }
    };
    constexpr int kRowsPerSlice = 5000;
    const int sliceCount =
        std::clamp(int(std::thread::hardware_concurrency()), 1, std::max(1, named / kRowsPerSlice));
    std::vector<Slice> slices;
    slices.reserve(std::size_t(sliceCount));
    for (int s = 0; s < sliceCount; ++s) {
        slices.push_back({named * s / sliceCount,
                          named * (s + 1) / sliceCount,
                          QCollator(m_locale),
                          RegionalDateTimeReader(m_locale),
                          {}});
        slices.back().collator.setCaseSensitivity(Qt::CaseInsensitive);
    }
    std::vector<std::thread> threads;
    for (std::size_t s = 1; s < slices.size(); ++s)
        threads.emplace_back(makeItems, &slices[s]);
    makeItems(&slices[0]);
    for (std::thread& thread : threads)
        thread.join();
    std::vector<Item> items;
    items.reserve(std::size_t(named));
    for (Slice& slice : slices)
        std::move(slice.items.begin(), slice.items.end(), std::back_inserter(items));

    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        if (a.dated != b.dated) return b.dated;
        return a.key.compare(b.key) < 0;
    });

    std::vector<Row> sorted;
    sorted.reserve(items.size());
    for (const Item& item : items)
        sorted.push_back(std::move(m_rows[std::size_t(item.row)]));
    std::move(sorted.begin(), sorted.end(), m_rows.begin());

    // The snapshot: the sorted rows in reverse, then the used rows below them as they stand, so that
    // showing the descending order loses none of them.
    m_snapshot.assign(m_rows.rbegin() + (std::ptrdiff_t(m_rows.size()) - named), m_rows.rend());
    for (int r = named + 1; r < RowCount(); ++r)
        if (IsRowUsed(r)) m_snapshot.push_back(rowAt(r));

    changedRows(1, named);
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void RecipientTableModel::ShowDescending() {
    ShowingDescending = true;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (m_snapshot.empty()) return;
    SetRowCount(std::max(SnapshotRowCount(), DescendingMinRowCount));
    std::copy(m_snapshot.begin(), m_snapshot.end(), m_rows.begin());
    std::fill(m_rows.begin() + std::ptrdiff_t(m_snapshot.size()), m_rows.end(), Row());
    changedRows(1, RowCount() - 1);
}

void RecipientTableModel::MouseDown(int column, int row, bool leftButton) {
    SortColumn = -1;
    if (row == 0 && leftButton && column >= 0 && column < ColumnCount) {
        SortColumn = column;
        if (column >= 1 && AscendingMark[std::size_t(column)]) {
            ShowDescending();
            AscendingMark[std::size_t(column)] = false;
        } else {
            SortByColumn(column);
            if (column >= 1) {
                AscendingMark.fill(false);
                AscendingMark[std::size_t(column)] = true;
            }
        }
    }
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

RecipientTableModel::SortArrow RecipientTableModel::HeadingArrow(int column) const {
    if (column != SortColumn || !SortedAscending) return SortArrow::None;
    return ShowingDescending ? SortArrow::Descending : SortArrow::Ascending;
}

QString RecipientTableModel::SnapshotCell(int column, int row) const {
    if (column < 0 || column >= ColumnCount || row < 1 || row >= SnapshotRowCount()) return {};
    return m_snapshot[std::size_t(row - 1)][std::size_t(column)];
}

void RecipientTableModel::changedRows(int first, int last, int firstColumn, int lastColumn) {
    if (first > last) return;
    emit dataChanged(index(first - 1, firstColumn), index(last - 1, lastColumn));
}

int RecipientTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount() - 1;
}

int RecipientTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecipientTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Cell(index.column(), index.row() + 1);
    case Qt::TextAlignmentRole:
        // Row numbers stand at the right edge of their column.
        if (index.column() == 0) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

bool RecipientTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid) || index.column() == 0)
        return false;
    const int row = index.row() + 1;
    const QString text = value.toString();
    if (Cell(index.column(), row) == text) return true;
    SetCell(index.column(), row, text);
    emit cellEdited(index.column(), row);
    return true;
}

Qt::ItemFlags RecipientTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Column 0 is the fixed column of row numbers.
    if (index.column() == 0) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant RecipientTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return m_headings[std::size_t(section)];
    return QAbstractTableModel::headerData(section, orientation, role);
}
