#pragma once

#include "recipients/recipientsort.h"

#include <QObject>

#include <array>

class RecipientTableModel;

// The heading row of the editor's table as its sort control: which column shows an arrow and which
// way it points, and what the next left press on a heading does.
class HeadingSort : public QObject {
    Q_OBJECT
public:
    explicit HeadingSort(RecipientTableModel& table, QObject* parent = nullptr);

    RecipientSort& Sort() { return m_sort; }
    const RecipientSort& Sort() const { return m_sort; }

    // The column whose heading shows the arrow, -1 for none.
    int SortColumn = -1;
    // The last sort put the rows into ascending order.
    bool SortedAscending = false;
    // The descending snapshot is what the table shows now.
    bool ShowingDescending = false;
    // For columns 1 to 7: set for the one column last sorted ascending; index 0 is never set.
    std::array<bool, RecipientTableModel::ColumnCount> AscendingMark{};

    // Clears SortedAscending, ShowingDescending and every mark, and empties the snapshot; SortColumn
    // stays.
    void ResetSortState();
    // Sorts ascending and takes the snapshot; a table without a named row resets the sort state.
    void SortByColumn(int column);
    // Replaces the table by the snapshot.
    void ShowDescending();

    // A mouse press on the table at (column, row); row 0 is the heading row, -1 anything outside the
    // cells. A left press on a heading sorts by that column or, when the column was last sorted
    // ascending, shows the descending order.
    void MouseDown(int column, int row, bool leftButton);
    // MouseDown as the editor's table reports it. The snapshot holds the table as the last sort left it:
    // when it was taken by another column, or the table has changed since, the column is sorted afresh
    // first, so the descending order shown is that of the rows as they are now and no edit is lost.
    void Press(int column, int row, bool leftButton);

    enum class SortArrow { None, Ascending, Descending };
    // The arrow to draw in the heading of `column`.
    SortArrow HeadingArrow(int column) const;

signals:
    // The arrows may have changed: the headings want painting again.
    void arrowsChanged();

private:
    RecipientTableModel& m_table;
    RecipientSort m_sort;
    // Counts every change the table reports, whoever made it, to tell whether the snapshot is still
    // that of the rows shown.
    quint64 m_tableChanges = 0;
    quint64 m_snapshotChanges = 0;
    int m_snapshotColumn = -1;
};
