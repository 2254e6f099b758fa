#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <vector>

// The recipient list while the editor works on it: 8 columns (0 = row numbers, 1 to 7 = the fields of
// RecipientRow) and a heading row. Reading and writing the list file is RecipientListFile's job, sorting
// RecipientSort's.
//
// Two ways in. The operations below (Cell, NumberRows, DeleteTableRow, ...) count rows as the editor's
// grid does: row 0 is the heading row, data rows are 1 to RowCount() - 1. The Qt model interface that a
// QTableView uses shows the data rows only (Qt row r is row r + 1 here); the headings are its header data.
class RecipientTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 8;
    static constexpr int SendColumn = 6;
    // A cleared table: the heading row and 18 empty data rows.
    static constexpr int ClearedRowCount = 19;

    // One data row: its eight cells and, out of sight, whatever its line in the list file held after the
    // seventh field, which travels with the row and is written back with it.
    struct Row : std::array<QString, ColumnCount> {
        QString Extra;
    };

    explicit RecipientTableModel(QObject* parent = nullptr);

    // The eight headings for the interface language; column 0 has none.
    static QStringList headingTexts(int language);
    void SetHeadings(int language);

    // Row 0 is the heading row. Reading outside the table gives empty text, writing outside does nothing.
    int RowCount() const { return int(m_rows.size()) + 1; }
    // At least the heading row and one data row remain.
    void SetRowCount(int count);
    QString Cell(int column, int row) const;
    void SetCell(int column, int row, const QString& text);
    // Data row `row`, 1 to RowCount() - 1.
    const Row& RowAt(int row) const { return m_rows[std::size_t(row - 1)]; }
    // A data row is used when one of its cells in columns 1 to 7 is not blank.
    bool IsRowUsed(int row) const;

    void ClearTable();
    // Puts `rows` into data rows 1 to rows.size() and empties every row below them; the table grows to
    // hold them but never shrinks. Fills a long table at once (loading, the CSV import).
    void AssignRows(std::vector<Row> rows);
    // Puts data rows 1 to order.size() into a new order: row j + 1 becomes the row that stood at
    // order[j] + 1. `order` holds each of 0 to order.size() - 1 once.
    void ReorderRows(const std::vector<int>& order);
    void NumberRows();
    int CountUsedRows() const;
    // Removes one data row, or empties it when it is the only one. `currentRow` is the row that was
    // current before; the result is the row to make current afterwards.
    int DeleteTableRow(int row, int currentRow);
    // What the Remove rows command does with the range dialog's answer (from = VonZeile, to = BisZeile):
    // -1 deletes nothing, 0 deletes `currentRow`, otherwise the rows from `from` to `to` are deleted, `to`
    // cut to the last data row, which is emptied rather than removed when the range takes every row. A
    // range that starts beyond the last data row deletes nothing: the table has no such rows. Numbers the
    // rows after a deletion.
    struct RowRemoval {
        int deleted;    // rows deleted (or emptied); 0 when nothing was
        int currentRow; // the row to make current afterwards
    };
    RowRemoval RemoveRowRange(int from, int to, int currentRow);

    // The editor's commands that change rows, beyond the operations above.
    // Insert row: one empty row at the end. False when the table cannot grow (no memory for it); the table
    // then keeps its rows.
    bool AppendRow();
    // Duplicate into column: the trimmed text of cell (column, row) goes into `column` of rows 1 to
    // CountUsedRows(), wherever the used rows stand. Returns the number of cells written: 0 when that
    // text is empty or no row is used.
    int DuplicateIntoColumn(int column, int row);

    // QAbstractTableModel: data rows only, columns 1 to 7 editable in place.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // A cell's text was changed in place through setData (not by the operations above).
    void cellEdited(int column, int row);

private:
    bool isDataRow(int row) const { return row >= 1 && row < RowCount(); }
    Row& rowAt(int row) { return m_rows[std::size_t(row - 1)]; }
    const Row& rowAt(int row) const { return m_rows[std::size_t(row - 1)]; }
    void changedRows(int first, int last, int firstColumn = 0, int lastColumn = ColumnCount - 1);

    Row m_headings;
    std::vector<Row> m_rows;
};
