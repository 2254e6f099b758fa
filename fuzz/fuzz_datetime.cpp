// The regional date-time reader (sent stamps in the list, the schedule in the settings file) and the
// date-time numbers. What the reader accepts, written back in the same locale, must read back as the same
// date and time, and contain nothing that would split a list line; a number turned into a date and time
// and back must come out the same to the second.
#include "core/datetimenumber.h"
#include "fuzz/fuzzcheck.h"

#include <QLocale>

#include <cmath>
#include <cstring>

namespace {

const QLocale& localeFor(uint8_t choice) {
    static const QLocale locales[] = {
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale::c(),
        QLocale(QLocale::English, QLocale::UnitedKingdom),
        QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::German, QLocale::Switzerland),
        QLocale(QLocale::Dutch, QLocale::Netherlands),
        QLocale(QLocale::Polish, QLocale::Poland),
    };
    return locales[choice % (sizeof locales / sizeof locales[0])];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    const QLocale& locale = localeFor(mode >> 1);

    if (mode & 1) {
        // A date-time number as it could stand in memory: any double.
        double number = 0;
        const QByteArray raw = in.rest().leftJustified(sizeof number, '\0', true);
        std::memcpy(&number, raw.constData(), sizeof number);
        const QDateTime dateTime = numberToDateTime(number);
        if (!dateTime.isValid()) return 0;
        const double back = dateTimeToNumber(dateTime);
        FUZZ_CHECK(numberToDateTime(back) == dateTime, number << back << dateTime);
        // The whole part counts days from the epoch, backwards too; the fraction is the time of day, running
        // forward from that day's midnight. The date and time are that moment to the nearest second.
        double whole = 0;
        const double fraction = std::fabs(std::modf(number, &whole));
        const double moment = (whole + fraction) * 86400;
        const double got = QDate(1899, 12, 30).daysTo(dateTime.date()) * 86400.0 +
                           dateTime.time().msecsSinceStartOfDay() / 1000.0;
        FUZZ_CHECK(std::fabs(got - moment) <= 0.5 + 1e-3, number << back << dateTime);
        return 0;
    }

    const QString text = QString::fromUtf8(in.rest());
    const RegionalDateTimeReader reader(locale);
    QDate date;
    QTime time;
    if (!reader.read(text, &date, &time)) return 0;
    FUZZ_CHECK(date.isValid() && time.isValid(), text << date << time);
    // The reader remembers what it has read; asking again gives the same.
    QDate date2;
    QTime time2;
    FUZZ_CHECK(reader.read(text, &date2, &time2) && date2 == date && time2 == time, text);

    const QString written = dateTimeToRegionalText(QDateTime(date, time, Qt::UTC), locale);
    FUZZ_CHECK(!written.contains(u';') && !written.contains(u'\r') && !written.contains(u'\n'), written);
    QDate date3;
    QTime time3;
    FUZZ_CHECK(RegionalDateTimeReader(locale).read(written, &date3, &time3), text << written);
    FUZZ_CHECK(date3 == date && time3 == QTime(time.hour(), time.minute(), time.second()),
               text << written << date << time << date3 << time3);
    return 0;
}
