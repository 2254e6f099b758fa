#pragma once

#include "core/textfile.h"

#include <QStringList>

class RecipientTableModel;

// The recipient list file as the editor reads and writes it: the file's lines go into the table, the
// table's rows come back as lines, written in the encoding of the file last loaded.
class RecipientListFile {
public:
    // Reads the list file into `table` (the caller has cleared it): line k goes to row k + 1, the table
    // grows to the number of lines + 1 and is numbered. A line's fields after the seventh stay with its
    // row, out of sight, and BuildListText writes them back after the seventh. Returns the status text
    // `linesPrefix` + the number of file lines, or an empty text when no file exists at `path`, which leaves
    // the table unchanged. Throws AppError when the file cannot be read.
    QString LoadListFile(const QString& path, RecipientTableModel& table,
                         const QString& linesPrefix = QStringLiteral("Zeilen: "));
    // Turns the table's rows into file lines (ListText()); rows with a blank address are left out.
    // Returns the number of lines.
    int BuildListText(const RecipientTableModel& table);
    const QStringList& ListText() const { return m_listText; }
    // The encoding of the last file loaded; UTF-8 without mark (that of a new file) until one was.
    TextEncoding ListEncoding() const { return m_encoding; }
    // Writes ListText() atomically in ListEncoding(); throws AppError when it cannot.
    void WriteListText(const QString& path) const;

private:
    QStringList m_listText;
    TextEncoding m_encoding = TextEncoding::Utf8NoBom;
};
