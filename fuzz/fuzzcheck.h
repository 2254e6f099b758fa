#pragma once

#include <QByteArray>
#include <QDebug>
#include <QString>

#include <cstdio>
#include <cstdlib>

// A property that must hold for every input. A failure aborts, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition, ...)                                                                           \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);         \
            qWarning().noquote() << __VA_ARGS__;                                                             \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

// Reads values off the front of the fuzzer's bytes; what is left is the rest.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(reinterpret_cast<const char*>(data)), m_size(size) {}

    bool empty() const { return m_size == 0; }
    uint8_t byte() {
        if (m_size == 0) return 0;
        --m_size;
        return uint8_t(*m_data++);
    }
    // Bytes up to the next 0xFF (dropped) or the end: a way to cut the input into fields.
    QByteArray field() {
        size_t n = 0;
        while (n < m_size && uint8_t(m_data[n]) != 0xFF)
            ++n;
        QByteArray bytes(m_data, qsizetype(n));
        const size_t used = n < m_size ? n + 1 : n;
        m_data += used;
        m_size -= used;
        return bytes;
    }
    QByteArray rest() {
        QByteArray bytes(m_data, qsizetype(m_size));
        m_data += m_size;
        m_size = 0;
        return bytes;
    }

private:
    const char* m_data;
    size_t m_size;
};

// Every 16-bit unit, lone surrogates included: text as a paste or a UTF-16 file can bring it.
inline QString utf16Text(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    return text;
}
