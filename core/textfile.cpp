#include "core/textfile.h"

#include "core/apperror.h"
#include "core/interfacetexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Windows-1252 0x80..0x9F; the undefined five keep their own number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte for a character, or -1 when the code page has none.
int ansiByte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c) return int(0x80 + i);
    return -1;
}

const QByteArray kBomUtf8("\xEF\xBB\xBF", 3);
const QByteArray kBomUtf16LE("\xFF\xFE", 2);
const QByteArray kBomUtf16BE("\xFE\xFF", 2);

// The mark has been taken off already: a U+FEFF after it is text (Qt's decoder would drop it too).
QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
}

QByteArray encodeWith(QStringConverter::Encoding encoding, const QString& text) {
    QStringEncoder encoder(encoding, QStringConverter::Flag::Stateless);
    return encoder(text);
}

} // namespace

QString ansiToUnicode(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *out++ = QChar(u >= 0x80 && u < 0xA0 ? kHighControls[u - 0x80] : char16_t(u));
    }
    return text;
}

bool fitsAnsi(const QString& text) {
    for (QChar c : text)
        if (ansiByte(c.unicode()) < 0) return false;
    return true;
}

QByteArray unicodeToAnsi(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const int b = ansiByte(c.unicode());
        bytes.append(char(b < 0 ? '?' : b));
        // A character beyond the 16-bit range is one character, however many units it takes.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ++i;
    }
    return bytes;
}

QString decodeText(const QByteArray& bytes, TextEncoding* encoding) {
    TextEncoding found = TextEncoding::Ansi;
    QString text;
    if (bytes.startsWith(kBomUtf16LE)) {
        found = TextEncoding::Utf16LE;
        text = decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    } else if (bytes.startsWith(kBomUtf16BE)) {
        found = TextEncoding::Utf16BE;
        text = decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    } else if (bytes.startsWith(kBomUtf8)) {
        found = TextEncoding::Utf8;
        text = decodeWith(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3));
    } else {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        text = decoder(bytes);
        if (decoder.hasError()) {
            text = ansiToUnicode(bytes);
        } else {
            found = TextEncoding::Utf8NoBom;
        }
    }
    if (encoding) *encoding = found;
    return text;
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}

QByteArray encodeLines(const QStringList& lines, TextEncoding* encoding) {
    TextFormat format;
    format.encoding = *encoding;
    const QByteArray bytes = encodeLines(lines, format);
    *encoding = format.encoding;
    return bytes;
}

QByteArray encodeLines(const QStringList& lines, TextFormat& format) {
    const QLatin1String lineBreak = format.lineBreak == LineBreak::Lf   ? QLatin1String("\n")
                                    : format.lineBreak == LineBreak::Cr ? QLatin1String("\r")
                                                                        : QLatin1String("\r\n");
    QString text;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + lineBreak.size();
    text.reserve(size);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        text += lines.at(i);
        if (format.finalLineBreak || i + 1 < lines.size()) text += lineBreak;
    }
    if (format.encoding == TextEncoding::Ansi && !fitsAnsi(text)) format.encoding = TextEncoding::Utf8;
    switch (format.encoding) {
    case TextEncoding::Ansi:
        return unicodeToAnsi(text);
    case TextEncoding::Utf8:
        return kBomUtf8 + encodeWith(QStringConverter::Utf8, text);
    case TextEncoding::Utf8NoBom:
        return encodeWith(QStringConverter::Utf8, text);
    case TextEncoding::Utf16LE:
        return kBomUtf16LE + encodeWith(QStringConverter::Utf16LE, text);
    case TextEncoding::Utf16BE:
        return kBomUtf16BE + encodeWith(QStringConverter::Utf16BE, text);
    }
    return {};
}

QString joinEditorLines(const QStringList& lines) {
    return lines.join(QLatin1Char('\n'));
}

QStringList splitEditorText(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
            start = i + 1;
        }
    }
    lines.append(text.mid(start));
    return lines;
}

QByteArray readFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(fileErrorTexts(interfaceLanguage()).cannotOpen.arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(fileErrorTexts(interfaceLanguage()).cannotRead.arg(path, file.errorString()));
    return bytes;
}

TextFileContent readTextFile(const QString& path) {
    return parseTextFile(readFileBytes(path));
}

TextFileContent parseTextFile(const QByteArray& bytes) {
    TextFileContent content;
    const QString text = decodeText(bytes, &content.encoding);
    content.lines = splitLines(text);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\n') {
            content.lineBreak = LineBreak::Lf;
            break;
        }
        if (text.at(i) == u'\r') {
            if (i + 1 == text.size() || text.at(i + 1) != u'\n') content.lineBreak = LineBreak::Cr;
            break;
        }
    }
    content.finalLineBreak = text.endsWith(u'\n') || text.endsWith(u'\r');
    return content;
}

QString writeStagingPath(const QString& path) {
    const QFileInfo target(path);
    return target.absolutePath() + QLatin1String("/.") + target.fileName() + QLatin1String(".tarnel-new");
}

namespace {

void removeWriteLeftovers(const QString& path) {
    const QString staged = QFileInfo(writeStagingPath(path)).fileName();
    QDir folder = QFileInfo(path).absoluteDir();
    // The staged content itself, and the named temporary file ("<name>.XXXXXX") Qt writes it through
    // where the file system has no unnamed ones.
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    for (const QString& name : names) {
        if (name == staged ||
            (name.size() == staged.size() + 7 && name.startsWith(staged + QLatin1Char('.'))))
            folder.remove(name);
    }
}

} // namespace

void writeFileAtomically(const QString& path, const QByteArray& bytes,
                         std::optional<QFileDevice::Permissions> permissions) {
    // Through a symbolic link the file it names is replaced, not the link.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString finalPath = canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
    const QFileInfo target(finalPath);
    // QSaveFile writes into an unnamed file where it can and gives it a name only when it is complete, but
    // it can only rename that name over an existing file: a kill between the two would leave a file of a
    // random name behind. So the complete content gets a name of our own first, and a leftover of an
    // earlier, killed write is cleared away.
    removeWriteLeftovers(finalPath);
    const QString staged = writeStagingPath(finalPath);
    QSaveFile file(staged);
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(fileErrorTexts(interfaceLanguage()).cannotCreate.arg(path, file.errorString()));
    if (!permissions && target.exists()) permissions = target.permissions();
    if (permissions && !file.setPermissions(*permissions)) {
        file.cancelWriting();
        throw AppError(fileErrorTexts(interfaceLanguage()).cannotProtect.arg(path, file.errorString()));
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw AppError(fileErrorTexts(interfaceLanguage()).cannotWrite.arg(path, file.errorString()));
    if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(finalPath).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(staged);
        throw AppError(fileErrorTexts(interfaceLanguage()).cannotWrite.arg(path, reason));
    }
}

TextEncoding writeTextFile(const QString& path, const QStringList& lines, TextEncoding encoding) {
    const QByteArray bytes = encodeLines(lines, &encoding);
    writeFileAtomically(path, bytes);
    return encoding;
}

TextFormat writeTextFile(const QString& path, const QStringList& lines, TextFormat format) {
    const QByteArray bytes = encodeLines(lines, format);
    writeFileAtomically(path, bytes);
    return format;
}
