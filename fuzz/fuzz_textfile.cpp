// Text decoding and line splitting: any bytes, with or without a byte-order mark, read as a file would be.
// Where the reader promises a lossless round trip (valid text in its encoding, one kind of line break),
// writing the lines back in the layout read must give the same bytes; and what was written must always
// read back as the same lines.
#include "core/textfile.h"
#include "fuzz/fuzzcheck.h"

#include <QStringDecoder>

namespace {

bool validUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder(bytes); // the decoder works only when its result is taken
    return !decoder.hasError();
}

bool validUtf16(QByteArrayView bytes, bool littleEndian) {
    if (bytes.size() % 2 != 0) return false;
    bool expectLow = false;
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const auto lo = uint8_t(bytes[littleEndian ? i : i + 1]);
        const auto hi = uint8_t(bytes[littleEndian ? i + 1 : i]);
        const char16_t unit = char16_t(lo | hi << 8);
        const bool high = unit >= 0xD800 && unit < 0xDC00;
        const bool low = unit >= 0xDC00 && unit < 0xE000;
        if (expectLow != low) return false;
        expectLow = high;
    }
    return !expectLow;
}

// Whether the body after the mark is text the encoding can give back unchanged.
bool losslessBody(const QByteArray& bytes, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Ansi:
    case TextEncoding::Utf8NoBom:
        return true; // chosen only for valid UTF-8; anything else is 8-bit, where every byte maps back
    case TextEncoding::Utf8:
        return validUtf8(QByteArrayView(bytes).sliced(3));
    case TextEncoding::Utf16LE:
        return validUtf16(QByteArrayView(bytes).sliced(2), true);
    case TextEncoding::Utf16BE:
        return validUtf16(QByteArrayView(bytes).sliced(2), false);
    }
    return false;
}

// How many kinds of line break (CR LF, lone LF, lone CR) the text uses.
int lineBreakKinds(const QString& text) {
    bool crlf = false, lf = false, cr = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') {
                crlf = true;
                ++i;
            } else {
                cr = true;
            }
        } else if (text.at(i) == u'\n') {
            lf = true;
        }
    }
    return int(crlf) + int(lf) + int(cr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const TextFileContent content = parseTextFile(bytes);
    TextEncoding detected = TextEncoding::Ansi;
    const QString text = decodeText(bytes, &detected);
    FUZZ_CHECK(detected == content.encoding, bytes.toHex());
    FUZZ_CHECK(splitLines(text) == content.lines, bytes.toHex());
    for (const QString& line : content.lines)
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'), bytes.toHex());

    TextFormat format = content;
    const QByteArray written = encodeLines(content.lines, format);
    // 8-bit text read from bytes always fits the code page again.
    FUZZ_CHECK(format.encoding == content.encoding, bytes.toHex());
    if (losslessBody(bytes, content.encoding) && lineBreakKinds(text) <= 1)
        FUZZ_CHECK(written == bytes, "read" << bytes.toHex() << "wrote" << written.toHex());

    // Whatever was read, what is written reads back as the same lines in the same encoding.
    const TextFileContent again = parseTextFile(written);
    FUZZ_CHECK(again.lines == content.lines, bytes.toHex() << written.toHex());
    FUZZ_CHECK(again.encoding == content.encoding, bytes.toHex() << written.toHex());

    // A multi-line editor holding the lines gives them back unchanged.
    const QStringList edited = splitEditorText(joinEditorLines(content.lines));
    FUZZ_CHECK(edited == (content.lines.isEmpty() ? QStringList{QString()} : content.lines), bytes.toHex());
    return 0;
}
