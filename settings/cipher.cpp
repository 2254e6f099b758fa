#include "settings/cipher.h"

namespace {

// Shifts each byte by the key byte at its position (negated for deciphering), modulo 256.
void shift(QByteArrayView key, char* buffer, qsizetype length, bool forward) {
    const qsizetype keyLength = key.size();
    if (keyLength == 0 || length <= 0) return;
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned k = static_cast<unsigned char>(key[i % keyLength]);
        const unsigned d = static_cast<unsigned char>(buffer[i]);
        buffer[i] = char((forward ? d + k : d + 256u - k) & 0xFFu);
    }
}

} // namespace

void Encode(QByteArrayView key, char* buffer, qsizetype length) {
    shift(key, buffer, length, true);
}

void Decode(QByteArrayView key, char* buffer, qsizetype length) {
    shift(key, buffer, length, false);
}

QByteArray EncodeString(QByteArrayView key, const QByteArray& value) {
    QByteArray result(value.constData(), value.size()); // a detached copy; the value stays as it is
    Encode(key, result.data(), result.size());
    return result;
}

QByteArray DecodeString(QByteArrayView key, const QByteArray& value) {
    QByteArray result(value.constData(), value.size());
    Decode(key, result.data(), result.size());
    return result;
}
