#include "core/datetimenumber.h"
#include "tests/support/testenvironment.h"

#include <limits>

class TstDateTime : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void numbers_data() {
        QTest::addColumn<double>("number");
        QTest::addColumn<QDateTime>("dateTime");
        QTest::newRow("zero is the epoch") << 0.0 << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
        QTest::newRow("one day") << 1.0 << QDateTime(QDate(1899, 12, 31), QTime(0, 0));
        QTest::newRow("noon, 1 Jan 1900") << 2.5 << QDateTime(QDate(1900, 1, 1), QTime(12, 0));
        QTest::newRow("a recent stamp")
            << 46365.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0 << QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9));
        QTest::newRow("last second of a day")
            << 46365.0 + 86399 / 86400.0 << QDateTime(QDate(2026, 12, 9), QTime(23, 59, 59));
        QTest::newRow("before the epoch, fraction runs forward")
            << -1.25 << QDateTime(QDate(1899, 12, 29), QTime(6, 0));
        QTest::newRow("time only") << 0.75 << QDateTime(QDate(1899, 12, 30), QTime(18, 0));
    }
    void numbers() {
        QFETCH(double, number);
        QFETCH(QDateTime, dateTime);
        QCOMPARE(numberToDateTime(number), dateTime);
        QCOMPARE(dateTimeToNumber(dateTime), number);
    }

    // A number from a damaged or foreign file must not overflow the conversion to whole days.
    void numbersBeyondTheCalendarGiveNothing_data() {
        QTest::addColumn<double>("number");
        QTest::newRow("1e300") << 1e300;
        QTest::newRow("-1e300") << -1e300;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("1 January 10000, noon") << 2958466.5;
    }
    void numbersBeyondTheCalendarGiveNothing() {
        QFETCH(double, number);
        QVERIFY(!numberToDateTime(number).isValid());
        QCOMPARE(dateTimeToRegionalText(numberToDateTime(number)), QString());
        QCOMPARE(numberToDateTime(2958465.5), QDateTime(QDate(9999, 12, 31), QTime(12, 0)));
        QCOMPARE(numberToDateTime(-693593.5), QDateTime(QDate(1, 1, 1), QTime(12, 0)));
    }

    void numbersAreExactToTheSecond() {
        // Every second of a day survives the trip through a double, and a fraction that rounds up
        // to the next midnight moves to the next day.
        const QDate day(2024, 2, 29);
        for (int s = 0; s < 86400; s += 7) {
            const QDateTime dt(day, QTime(0, 0).addSecs(s));
            QCOMPARE(numberToDateTime(dateTimeToNumber(dt)), dt);
        }
        QCOMPARE(numberToDateTime(10.9999999999), QDateTime(QDate(1900, 1, 10), QTime(0, 0)));
        // Before the epoch the day counts backwards but its time still runs forward, to the next midnight.
        QCOMPARE(numberToDateTime(-1.9999999999), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
        QCOMPARE(numberToDateTime(-0.9999999999), QDateTime(QDate(1899, 12, 31), QTime(0, 0)));
        QCOMPARE(dateToNumber(QDate(2012, 9, 13)), 41165.0);
        QCOMPARE(timeToNumber(QTime(6, 0, 0, 999)), 0.25);
    }

    void regionalText_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDateTime>("dateTime");
        QTest::addColumn<QString>("text");
        const QDateTime afternoon(QDate(2026, 12, 9), QTime(14, 5, 9));
        const QDateTime midnight(QDate(2031, 1, 2), QTime(0, 0));
        const QDateTime morning(QDate(1999, 3, 4), QTime(0, 0, 1));
        QTest::newRow("de_DE") << "de_DE" << afternoon << "09.12.2026 14:05:09";
        QTest::newRow("de_DE midnight: date only") << "de_DE" << midnight << "02.01.2031";
        QTest::newRow("de_DE one second past midnight") << "de_DE" << morning << "04.03.1999 00:00:01";
        QTest::newRow("de_DE epoch") << "de_DE" << QDateTime(QDate(1899, 12, 30), QTime(0, 0))
                                     << "30.12.1899";
        QTest::newRow("en_US") << "en_US" << afternoon << "12/9/2026 2:05:09 PM";
        QTest::newRow("en_US midnight") << "en_US" << midnight << "1/2/2031";
        QTest::newRow("en_US morning") << "en_US" << morning << "3/4/1999 12:00:01 AM";
        QTest::newRow("C") << "C" << afternoon << QString();
        QTest::newRow("C midnight") << "C" << midnight << QString();
        QTest::newRow("en_GB") << "en_GB" << afternoon << "09/12/2026 14:05:09";
        QTest::newRow("fr_FR") << "fr_FR" << morning << QString();
    }
    // Written text parses back to the same second in every locale, with a four-digit year.
    void regionalText() {
        QFETCH(QString, locale);
        QFETCH(QDateTime, dateTime);
        QFETCH(QString, text);
        const QLocale l(locale);
        const QString written = dateTimeToRegionalText(dateTime, l);
        if (!text.isEmpty()) QCOMPARE(written, text);
        QVERIFY2(written.contains(QString::number(dateTime.date().year())), qPrintable(written));
        QVERIFY(!regionalTimeFormat(l).contains(QLatin1Char('t')));
        const auto back = regionalTextToDateTime(written, l);
        QVERIFY2(back.has_value(), qPrintable(written));
        QCOMPARE(*back, dateTime);
    }

    void unreadableTextGivesNothing_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("failure text") << "Fehler beim Mailversand";
        QTest::newRow("date of another locale") << "12/9/2026 2:05:09 PM";
        QTest::newRow("no such day") << "31.02.2026";
        QTest::newRow("date and rubbish") << "09.12.2026 later";
    }
    void unreadableTextGivesNothing() {
        QFETCH(QString, text);
        QVERIFY(!regionalTextToDateTime(text, QLocale(QStringLiteral("de_DE"))).has_value());
    }

    // One reader over many texts, repeated parts among them, gives what a fresh parse gives.
    void readerOverManyTexts() {
        const QLocale l(QStringLiteral("de_DE"));
        const RegionalDateTimeReader reader(l);
        const QStringList texts{"09.12.2026 14:05:09", "09.12.2026 14:05:10",        "09.12.2026",
                                "31.02.2026 14:05:09", "Fehler 09.12.2026 14:05:09", "09.12.2026 14:05:09",
                                "10.12.2026 14:05:09", " 09.12.2026 14:05:10 ",      "09.12.2026 later"};
        for (const QString& text : texts) {
            QDate date(1999, 1, 1);
            QTime time(1, 2, 3);
            const bool read = reader.read(text, &date, &time);
            const auto fresh = regionalTextToDateTime(text, l);
            QCOMPARE(read, fresh.has_value());
            const QDateTime expected = fresh ? *fresh : QDateTime(QDate(1999, 1, 1), QTime(1, 2, 3));
            QCOMPARE(QDateTime(date, time), expected);
        }
    }
};

TARNEL_TEST_MAIN(TstDateTime)
#include "tst_datetime.moc"
