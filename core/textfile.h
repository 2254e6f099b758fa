#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <optional>

// Encodings a text file is read in and written back in. Ansi is Windows-1252 without a byte-order mark;
// Utf8NoBom is UTF-8 without one, the platform's own encoding and the one new files are written in.
enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE, Utf8NoBom };

// The line break a file uses; a file read with mixed breaks is written back with its first one.
enum class LineBreak { CrLf, Lf, Cr };

// How a file's text is laid out in bytes, kept from reading to writing so that an unchanged file is
// written back byte for byte.
struct TextFormat {
    TextEncoding encoding = TextEncoding::Utf8NoBom;
    LineBreak lineBreak = LineBreak::CrLf;
    // A line break after the last line. Without one, an empty line list and a single empty line are the
    // same (empty) file.
    bool finalLineBreak = true;
};

struct TextFileContent : TextFormat {
    QStringList lines;
};

// Windows-1252 with a lossless round trip: the five bytes the code page leaves undefined
// (0x81 0x8D 0x8F 0x90 0x9D) map to the control characters of the same number and back.
QString ansiToUnicode(const QByteArray& bytes);
bool fitsAnsi(const QString& text);
// Each character the code page lacks becomes one "?" (only for the fixed 8-bit settings format).
QByteArray unicodeToAnsi(const QString& text);

// A byte-order mark decides (UTF-16 LE, UTF-16 BE, UTF-8, in that order). Without one, bytes that are
// valid UTF-8 (plain ASCII included) are Utf8NoBom, anything else Ansi.
QString decodeText(const QByteArray& bytes, TextEncoding* encoding = nullptr);
// Line ends are CR LF, lone LF or lone CR; a line break at the very end opens no further line.
QStringList splitLines(const QString& text);
// Each line followed by CR LF, with the encoding's mark. Ansi text holding a character the code page
// lacks is written as UTF-8 with its mark instead, so nothing is lost; `encoding` tells what was used.
QByteArray encodeLines(const QStringList& lines, TextEncoding* encoding);
// The lines in the given layout; as above, `format.encoding` may change from Ansi to Utf8.
QByteArray encodeLines(const QStringList& lines, TextFormat& format);

// Text edited as a whole (a multi-line editor) and the file lines it stands for: lines joined by LF, and
// back. Unlike splitLines, a break at the end keeps the empty line after it, so the two are inverses.
QString joinEditorLines(const QStringList& lines);
QStringList splitEditorText(const QString& text);

// A file's bytes as text lines with the layout they were found in.
TextFileContent parseTextFile(const QByteArray& bytes);
// Reads a whole file; throws AppError with the system's reason when it cannot.
QByteArray readFileBytes(const QString& path);
TextFileContent readTextFile(const QString& path);
// Writes atomically (temporary file renamed over the target): a failed write leaves the old file.
// Returns the encoding actually written; throws AppError when the file cannot be written.
TextEncoding writeTextFile(const QString& path, const QStringList& lines, TextEncoding encoding);
TextFormat writeTextFile(const QString& path, const QStringList& lines, TextFormat format);
// Atomic write of raw bytes; throws AppError on failure. The file keeps its permissions unless others are
// given, which then hold from the first byte on.
void writeFileAtomically(const QString& path, const QByteArray& bytes,
                         std::optional<QFileDevice::Permissions> permissions = std::nullopt);
// Where a write stages the complete new content just before it replaces the file: a hidden name of the
// program's own beside it, so a leftover of a killed write can be told apart and cleared away.
QString writeStagingPath(const QString& path);
