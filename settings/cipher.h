#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Byte-wise Vigenère scrambling of stored values. Not encryption: the key is a constant of the program.
// Every byte value passes through (zero, CR and LF included), the key position restarts at each call
// and an empty key or empty data leave the data unchanged.

// The key the settings file is scrambled with.
inline constexpr char kSettingsKey[] = "pohu";

void Encode(QByteArrayView key, char* buffer, qsizetype length);
void Decode(QByteArrayView key, char* buffer, qsizetype length);
QByteArray EncodeString(QByteArrayView key, const QByteArray& value);
QByteArray DecodeString(QByteArrayView key, const QByteArray& value);
