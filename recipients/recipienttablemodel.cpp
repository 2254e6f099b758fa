#include "recipients/recipienttablemodel.h"

#include "core/blank.h"
#include "recipients/formgridtexts.h"

#include <algorithm>
#include <new>

RecipientTableModel::RecipientTableModel(QObject* parent) : QAbstractTableModel(parent) {
    m_rows.resize(ClearedRowCount - 1);
    SetHeadings(0);
}

QStringList RecipientTableModel::headingTexts(int language) {
    return formGridTexts(language).headings;
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

void RecipientTableModel::ClearTable() {
    SetRowCount(ClearedRowCount);
    std::fill(m_rows.begin(), m_rows.end(), Row());
    changedRows(1, RowCount() - 1);
}

void RecipientTableModel::AssignRows(std::vector<Row> rows) {
    const int count = int(rows.size());
    const int oldCount = int(m_rows.size());
    if (count > oldCount) {
        // The rows take the table's place rather than being moved into a grown copy of it: a long list
        // is not held twice.
        beginInsertRows(QModelIndex(), oldCount, count - 1);
        m_rows.swap(rows);
        endInsertRows();
    } else {
        std::move(rows.begin(), rows.end(), m_rows.begin());
        std::fill(m_rows.begin() + count, m_rows.end(), Row());
    }
    changedRows(1, RowCount() - 1);
}

void RecipientTableModel::ReorderRows(const std::vector<int>& order) {
    std::vector<Row> reordered;
    reordered.reserve(order.size());
    for (const int from : order)
        reordered.push_back(std::move(m_rows[std::size_t(from)]));
    std::move(reordered.begin(), reordered.end(), m_rows.begin());
    changedRows(1, int(order.size()));
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
        rowAt(row) = Row();
        changedRows(row, row);
        if (RowCount() > 2) {
            beginRemoveRows(QModelIndex(), row - 1, row - 1);
            m_rows.erase(m_rows.begin() + (row - 1));
            endRemoveRows();
        }
    }
    return std::clamp(currentRow, 1, RowCount() - 1);
}

RecipientTableModel::RowRemoval RecipientTableModel::RemoveRowRange(int from, int to, int currentRow) {
    const int last = RowCount() - 1;
    if (from == -1 || from > last) return {0, currentRow};
    if (from == 0) {
        const int current = DeleteTableRow(currentRow, currentRow);
        NumberRows();
        return {1, current};
    }
    from = std::max(from, 1);
    to = std::max(std::min(to, last), from);
    // Deleting row `from` (to - from + 1) times, all at once: only a range that takes every data row
    // reaches the last one, which stays, emptied.
    int removeTo = to;
    if (from == 1 && to == last) {
        removeTo = last - 1;
        rowAt(last) = Row();
        changedRows(last, last);
    }
    if (removeTo >= from) {
        beginRemoveRows(QModelIndex(), from - 1, removeTo - 1);
        m_rows.erase(m_rows.begin() + (from - 1), m_rows.begin() + removeTo);
        endRemoveRows();
    }
    NumberRows();
    return {to - from + 1, std::min(from, RowCount() - 1)};
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
