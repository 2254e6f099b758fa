#include "core/textfile.h"

#include "core/apperror.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

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

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
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
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (QChar c : text) {
        const int b = ansiByte(c.unicode());
        *out++ = char(b < 0 ? '?' : b);
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
        text = ansiToUnicode(bytes);
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
    QString text;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString& line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    if (*encoding == TextEncoding::Ansi && !fitsAnsi(text)) *encoding = TextEncoding::Utf8;
    switch (*encoding) {
    case TextEncoding::Ansi:
        return unicodeToAnsi(text);
    case TextEncoding::Utf8:
        return kBomUtf8 + encodeWith(QStringConverter::Utf8, text);
    case TextEncoding::Utf16LE:
        return kBomUtf16LE + encodeWith(QStringConverter::Utf16LE, text);
    case TextEncoding::Utf16BE:
        return kBomUtf16BE + encodeWith(QStringConverter::Utf16BE, text);
    }
    return {};
}

QByteArray readFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    return bytes;
}

TextFileContent readTextFile(const QString& path) {
    const QByteArray bytes = readFileBytes(path);
    TextFileContent content;
    content.lines = splitLines(decodeText(bytes, &content.encoding));
    return content;
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw AppError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}

TextEncoding writeTextFile(const QString& path, const QStringList& lines, TextEncoding encoding) {
    const QByteArray bytes = encodeLines(lines, &encoding);
    writeFileAtomically(path, bytes);
    return encoding;
}
