#pragma once

#include "core/textfile.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QStringList>

#include <array>
#include <vector>

// The recipient list while the editor works on it: 8 columns (0 = row numbers, 1 to 7 = the fields of
// RecipientRow) and a heading row.
//
// Two ways in. The operations below (LoadListFile, SortByColumn, Cell, ...) count rows as the editor's
// grid does: row 0 is the heading row, data rows are 1 to RowCount() - 1. The Qt model interface that a
// QTableView uses shows the data rows only (Qt row r is row r + 1 here); the headings are its header data.
class RecipientTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 8;
    static constexpr int SendColumn = 6;
    // A cleared table: the heading row and 18 empty data rows.
    static constexpr int ClearedRowCount = 19;
    // ShowDescending leaves at least this many rows.
    static constexpr int DescendingMinRowCount = 20;

    using Row = std::array<QString, ColumnCount>;

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
    // A data row is used when one of its cells in columns 1 to 7 is not blank.
    bool IsRowUsed(int row) const;

    // Reads the list file into the table (the caller has cleared it and reset the sort state). Returns
    // the status text "Zeilen: " + the number of file lines, or an empty text when no file exists at
    // `path`, which leaves the table unchanged. Throws AppError when the file cannot be read.
    QString LoadListFile(const QString& path);
    // Turns the rows into file lines (ListText()); rows with a blank address are left out. Returns the
    // number of lines.
    int BuildListText();
    const QStringList& ListText() const { return m_listText; }
    // The encoding of the last file loaded; UTF-8 without mark (that of a new file) until one was.
    TextEncoding ListEncoding() const { return m_encoding; }
    // Writes ListText() atomically in ListEncoding(); throws AppError when it cannot.
    void WriteListText(const QString& path) const;

    void ClearTable();
    // Puts `rows` into data rows 1 to rows.size(), all eight cells, and empties every row below them; the
    // table grows to hold them but never shrinks. Fills a long table at once (the CSV import).
    void AssignRows(std::vector<Row> rows);
    void NumberRows();
    int CountUsedRows() const;
    // Removes one data row, or empties it when it is the only one. `currentRow` is the row that was
    // current before; the result is the row to make current afterwards.
    int DeleteTableRow(int row, int currentRow);
    // What the Remove rows command does with the range dialog's answer (from = VonZeile, to = BisZeile):
    // -1 deletes nothing, 0 deletes `currentRow`, otherwise the range is clamped to the table and deleted,
    // the last data row being emptied rather than removed. Resets the sort state in every case and numbers
    // the rows after a deletion. Returns the row to make current afterwards.
    int RemoveRowRange(int from, int to, int currentRow);

    void ResetSortState();
    // Sorts rows 1 to N ascending by the trimmed text of `column`, N being the number of rows with a
    // non-empty Name cell; rows with equal keys are ordered by their cells, row number first. In the sent
    // column the key is the stamp's date and time, and a blank cell or a text that is no date comes
    // before every date. Takes the snapshot: rows 1 to N in reverse, then the used rows below them.
    void SortByColumn(int column);
    // Replaces the table by the snapshot.
    void ShowDescending();

    // A mouse press on the table at (column, row); row 0 is the heading row, -1 anything outside the
    // cells. A left press on a heading sorts by that column or, when the column was last sorted
    // ascending, shows the descending order.
    void MouseDown(int column, int row, bool leftButton);
    enum class SortArrow { None, Ascending, Descending };
    // The arrow to draw in the heading of `column`.
    SortArrow HeadingArrow(int column) const;

    // The descending snapshot, counted like the table: row 0 is its (empty) heading row.
    int SnapshotRowCount() const { return int(m_snapshot.size()) + 1; }
    QString SnapshotCell(int column, int row) const;

    // Dates in the sent column are read, and texts compared, in this locale; the system's by default.
    void SetLocale(const QLocale& locale) { m_locale = locale; }
    QLocale locale() const { return m_locale; }

    // The editor's commands that change rows, beyond the operations above.
    // Insert row: one empty row at the end. False when the table cannot grow (no memory for it); the table
    // then keeps its rows.
    bool AppendRow();
    // Duplicate into column: the trimmed text of cell (column, row) goes into `column` of rows 1 to
    // CountUsedRows(), wherever the used rows stand. Returns the number of cells written: 0 when that
    // text is empty or no row is used.
    int DuplicateIntoColumn(int column, int row);

    // Sort state.
    int SortColumn = -1;
    bool SortedAscending = false;
    bool ShowingDescending = false;
    // For columns 1 to 7; index 0 is never set.
    std::array<bool, ColumnCount> AscendingMark{};

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
    void clearSnapshot() { m_snapshot.clear(); }

    Row m_headings;
    std::vector<Row> m_rows;
    std::vector<Row> m_snapshot;
    QStringList m_listText;
    TextEncoding m_encoding = TextEncoding::Utf8NoBom;
    QLocale m_locale = QLocale::system();
};
