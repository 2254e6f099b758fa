#pragma once

#include "recipients/recipienttablemodel.h"

#include <QLocale>

#include <vector>

// Sorting the recipient table by a column, and the descending snapshot the sort leaves for showing the
// reverse order.
class RecipientSort {
public:
    // ShowDescending leaves at least this many rows.
    static constexpr int DescendingMinRowCount = 20;

    // Sorts rows 1 to N of `table` ascending by the trimmed text of `column`, N being the number of rows
    // with a non-empty Name cell; rows with equal keys are ordered by their cells, row number first. In
    // the sent column the key is the stamp's date and time, and a blank cell or a text that is no date
    // comes before every date; in column 0 the row number's value (10 after 9). Takes the snapshot: rows 1 to
    // N in reverse, then the used rows below them. False when no row has a name: the table is left as it was
    // and the snapshot empty.
    bool SortByColumn(RecipientTableModel& table, int column);
    // Replaces the table by the snapshot, in at least DescendingMinRowCount rows. False, and the table
    // unchanged, when there is no snapshot.
    bool ShowDescending(RecipientTableModel& table) const;
    void ClearSnapshot() { m_snapshot.clear(); }

    // The descending snapshot, counted like the table: row 0 is its (empty) heading row.
    int SnapshotRowCount() const { return int(m_snapshot.size()) + 1; }
    QString SnapshotCell(int column, int row) const;

    // Dates in the sent column are read, and texts compared, in this locale; the system's by default.
    void SetLocale(const QLocale& locale) { m_locale = locale; }
    QLocale locale() const { return m_locale; }

private:
    // The data rows (0 = row 1) of the first `count` rows in sorted order.
    std::vector<int> sortedOrder(const RecipientTableModel& table, int column, int count) const;

    std::vector<RecipientTableModel::Row> m_snapshot;
    QLocale m_locale = QLocale::system();
};
