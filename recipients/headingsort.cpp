#include "recipients/headingsort.h"

#include "recipients/recipienttablemodel.h"

HeadingSort::HeadingSort(RecipientTableModel& table, QObject* parent) : QObject(parent), m_table(table) {
    const auto count = [this] { ++m_tableChanges; };
    connect(&table, &QAbstractItemModel::dataChanged, this, count);
    connect(&table, &QAbstractItemModel::rowsInserted, this, count);
    connect(&table, &QAbstractItemModel::rowsRemoved, this, count);
    connect(&table, &QAbstractItemModel::modelReset, this, count);
    connect(&table, &QAbstractItemModel::layoutChanged, this, count);
}

void HeadingSort::ResetSortState() {
    SortedAscending = false;
    ShowingDescending = false;
    AscendingMark.fill(false);
    m_sort.ClearSnapshot();
    m_snapshotColumn = -1;
    emit arrowsChanged();
}

void HeadingSort::SortByColumn(int column) {
    if (column < 0 || column >= RecipientTableModel::ColumnCount) return;
    SortedAscending = true;
    ShowingDescending = false;
    if (!m_sort.SortByColumn(m_table, column)) ResetSortState();
    emit arrowsChanged();
}

void HeadingSort::ShowDescending() {
    ShowingDescending = true;
    m_sort.ShowDescending(m_table);
    emit arrowsChanged();
}

void HeadingSort::MouseDown(int column, int row, bool leftButton) {
    SortColumn = -1;
    if (row == 0 && leftButton && column >= 0 && column < RecipientTableModel::ColumnCount) {
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
    emit arrowsChanged();
}

void HeadingSort::Press(int column, int row, bool leftButton) {
    const bool showsDescending = row == 0 && leftButton && column >= 1 &&
                                 column < RecipientTableModel::ColumnCount &&
                                 AscendingMark[std::size_t(column)];
    if (showsDescending && (m_snapshotColumn != column || m_snapshotChanges != m_tableChanges))
        SortByColumn(column);
    MouseDown(column, row, leftButton);
    if (row == 0 && leftButton && column >= 0 && !showsDescending) {
        m_snapshotColumn = column;
        m_snapshotChanges = m_tableChanges;
    }
}

HeadingSort::SortArrow HeadingSort::HeadingArrow(int column) const {
    if (column != SortColumn || !SortedAscending) return SortArrow::None;
    return ShowingDescending ? SortArrow::Descending : SortArrow::Ascending;
}
