#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Encodings a text file is read in and written back in. Ansi is Windows-1252 without a byte-order mark.
enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

struct TextFileContent {
    QStringList lines;
    TextEncoding encoding = TextEncoding::Ansi;
};

// Windows-1252 with a lossless round trip: the five bytes the code page leaves undefined
// (0x81 0x8D 0x8F 0x90 0x9D) map to the control characters of the same number and back.
QString ansiToUnicode(const QByteArray& bytes);
bool fitsAnsi(const QString& text);
// Characters the code page lacks become "?" (only for the fixed 8-bit settings format).
QByteArray unicodeToAnsi(const QString& text);

// Detects a byte-order mark (UTF-16 LE, UTF-16 BE, UTF-8, in that order); without one the bytes are Ansi.
QString decodeText(const QByteArray& bytes, TextEncoding* encoding = nullptr);
// Line ends are CR LF, lone LF or lone CR; a line break at the very end opens no further line.
QStringList splitLines(const QString& text);
// Each line followed by CR LF, with the encoding's mark. Ansi text holding a character the code page
// lacks is written as UTF-8 with its mark instead, so nothing is lost; `encoding` tells what was used.
QByteArray encodeLines(const QStringList& lines, TextEncoding* encoding);

// Reads a whole file; throws AppError with the system's reason when it cannot.
QByteArray readFileBytes(const QString& path);
TextFileContent readTextFile(const QString& path);
// Writes atomically (temporary file renamed over the target): a failed write leaves the old file.
// Returns the encoding actually written; throws AppError when the file cannot be written.
TextEncoding writeTextFile(const QString& path, const QStringList& lines, TextEncoding encoding);
// Atomic write of raw bytes; throws AppError on failure.
void writeFileAtomically(const QString& path, const QByteArray& bytes);
