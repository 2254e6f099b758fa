#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

class RecipientTableModel;

// The seven fields split from one line of foreign text, in the order of a recipient row.
using ImportFields = std::array<QString, 7>;

// The separator of a foreign text, judged by its first four lines: ";" when any of them holds one, else ","
// when any holds a comma, else empty.
QString DetectSeparator(const QStringList& lines);

// Splits one line at `sep`, untrimmed, into at most seven fields; text after a seventh separator is
// dropped and fields the line does not reach stay empty. A field that begins with a quotation mark runs
// to its closing mark (a doubled mark inside stands for one) and loses the marks, so a separator inside
// it does not split; text between the closing mark and the next separator is kept as it stands. An
// unclosed mark runs to the end of the line. A mark anywhere else is an ordinary character.
ImportFields SplitFields(QStringView line, QStringView sep);

// Splits the record that starts at lines[next] as SplitFields does, except that a quoted field still open
// at the end of a line runs on into the next line (RFC 4180), each line break inside it becoming one
// blank; an unclosed mark runs to the end of the text. Leaves `next` at the line after the record.
ImportFields SplitRecord(const QStringList& lines, qsizetype& next, QStringView sep);

enum class ImportOutcome {
    Imported,
    EmptyText,  // only blanks: nothing was done
    NoSeparator // the table was not touched; the window asks for a separator
};

// Replaces the data rows of `model` by the records of the lines: record i goes to row i + 1 (a blank line
// outside quotes is a record that leaves its row empty), the rows below the text are emptied, every row
// is numbered, and the table grows to hold the records but never shrinks. The heading row stays.
ImportOutcome ImportLines(const QStringList& lines, const QString& sep, RecipientTableModel& model);

// Where the window's resizable parts go for a window of the given outer size (frame included).
struct ImportWindowLayout {
    int memoHeight;
    int groupTop;
    int groupLeft;
};
ImportWindowLayout importWindowLayout(int outerWidth, int outerHeight);
