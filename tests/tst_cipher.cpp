#include "settings/cipher.h"
#include "tests/support/testenvironment.h"

#include <QRandomGenerator>

class TstCipher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void vectors_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("enciphered");
        const QByteArray key(kSettingsKey);
        QTest::newRow("two letters") << key << QByteArray("ab") << QByteArray::fromHex("d1d1");
        QTest::newRow("longer than the key")
            << key << QByteArray("Hello, world") << QByteArray::fromHex("b8d4d4e1df9b88ecdfe1d4d9");
        QTest::newRow("zero, CR, LF and wrap-around")
            << key << QByteArray::fromHex("ff000d0aff") << QByteArray::fromHex("6f6f757f6f");
        QTest::newRow("empty value") << key << QByteArray() << QByteArray();
        QTest::newRow("empty key") << QByteArray() << QByteArray("\x00\r\nabc", 6)
                                   << QByteArray("\x00\r\nabc", 6);
        QTest::newRow("key byte zero shifts nothing")
            << QByteArray("\x00", 1) << QByteArray("\xff\x01", 2) << QByteArray("\xff\x01", 2);
        QTest::newRow("key byte 255 is one down")
            << QByteArray("\xff", 1) << QByteArray("\x00\x01\x80", 3) << QByteArray("\xff\x00\x7f", 3);
        QTest::newRow("result bytes zero, CR and LF")
            << key << QByteArray::fromHex("909ea59b") << QByteArray::fromHex("000d0d10");
    }
    void vectors() {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, enciphered);
        const QByteArray original = plain;
        QCOMPARE(EncodeString(key, plain).toHex(), enciphered.toHex());
        QCOMPARE(DecodeString(key, enciphered).toHex(), plain.toHex());
        QCOMPARE(plain, original); // the value passed in is not touched

        QByteArray buffer = plain;
        Encode(key, buffer.data(), buffer.size());
        QCOMPARE(buffer.toHex(), enciphered.toHex());
        Decode(key, buffer.data(), buffer.size());
        QCOMPARE(buffer.toHex(), plain.toHex());
    }

    // The key position starts afresh with every call and runs on across line breaks.
    void keyRestartsAtEachCall() {
        const QByteArray key(kSettingsKey);
        QCOMPARE(EncodeString(key, QByteArray("a\nb")).toHex(), QByteArrayLiteral("d179ca"));
        QCOMPARE(EncodeString(key, QByteArray("b")).toHex(), QByteArrayLiteral("d2"));
        QCOMPARE(EncodeString(key, QByteArray("b")).toHex(), QByteArrayLiteral("d2"));
    }

    // Only the given length is touched: the byte after it stays as it was.
    void bufferLengthIsRespected() {
        QByteArray buffer("abcdef");
        Encode(QByteArray(kSettingsKey), buffer.data(), 3);
        QCOMPARE(buffer.mid(3), QByteArray("def"));
        Decode(QByteArray(kSettingsKey), buffer.data(), 0);
        QCOMPARE(buffer.mid(3), QByteArray("def"));
        Decode(QByteArray(kSettingsKey), buffer.data(), 3);
        QCOMPARE(buffer, QByteArray("abcdef"));
    }

    void roundTrips_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::newRow("settings key") << QByteArray(kSettingsKey);
        QTest::newRow("one byte") << QByteArray("\x9c", 1);
        QTest::newRow("key with zero and high bytes") << QByteArray("\x00\xff\x80k\r", 5);
        QTest::newRow("empty key") << QByteArray();
    }
    void roundTrips() {
        QFETCH(QByteArray, key);
        QRandomGenerator random(20261209);
        for (int length = 0; length <= 64; ++length) {
            for (int round = 0; round < 20; ++round) {
                QByteArray value(length, Qt::Uninitialized);
                for (char& c : value)
                    c = char(random.bounded(256));
                const QByteArray enciphered = EncodeString(key, value);
                QCOMPARE(enciphered.size(), value.size());
                QCOMPARE(DecodeString(key, enciphered), value);
                QCOMPARE(EncodeString(key, DecodeString(key, value)), value);
                if (!key.isEmpty() && key != QByteArray(key.size(), '\0') && length >= key.size())
                    QVERIFY(enciphered != value);
            }
        }
    }
};

TARNEL_TEST_MAIN(TstCipher)
#include "tst_cipher.moc"
