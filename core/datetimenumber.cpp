#include "core/datetimenumber.h"

#include <QRegularExpression>

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr qint64 kSecondsPerDay = 86400;
// 1 January 0001 and 31 December 9999 as date-time numbers.
constexpr double kFirstDay = -693593;
constexpr double kLastDay = 2958465;

// Qt's short formats often carry a two-digit year, which reads back into the wrong century.
QString widenYear(QString format) {
    static const QRegularExpression year(QStringLiteral("y+"));
    return format.replace(year, QStringLiteral("yyyy"));
}

} // namespace

double dateToNumber(const QDate& date) {
    return double(kEpoch.daysTo(date));
}

double timeToNumber(const QTime& time) {
    return time.msecsSinceStartOfDay() / 1000 / double(kSecondsPerDay);
}

double dateTimeToNumber(const QDateTime& dateTime) {
    const double days = dateToNumber(dateTime.date());
    const double fraction = timeToNumber(dateTime.time());
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime numberToDateTime(double number) {
    // Beyond the years 1 to 9999 (or not a number at all) the conversion to whole days would overflow.
    if (!(number >= kFirstDay - 1 && number <= kLastDay + 1)) return {};
    double whole = 0;
    const double fraction = std::fabs(std::modf(number, &whole));
    qint64 seconds = std::llround(fraction * kSecondsPerDay);
    qint64 days = qint64(whole);
    if (seconds >= kSecondsPerDay) { // a fraction that rounds up to the next midnight
        seconds -= kSecondsPerDay;
        ++days; // the time of day runs forward before the epoch too
    }
    return QDateTime(kEpoch.addDays(days), QTime(0, 0).addSecs(int(seconds)));
}

QString regionalDateFormat(const QLocale& locale) {
    return widenYear(locale.dateFormat(QLocale::ShortFormat));
}

QString regionalTimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    // Drop the time-zone part ("t", "tt", ...) with the blanks that join it to the rest.
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}

QString dateTimeToRegionalText(const QDateTime& dateTime, const QLocale& locale) {
    if (!dateTime.isValid()) return {};
    QString text = locale.toString(dateTime.date(), regionalDateFormat(locale));
    if (dateTime.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(dateTime.time(), regionalTimeFormat(locale));
    return text;
}

std::optional<QDateTime> regionalTextToDateTime(const QString& text, const QLocale& locale) {
    QDate date;
    QTime time;
    if (!RegionalDateTimeReader(locale).read(text, &date, &time)) return std::nullopt;
    return QDateTime(date, time);
}

RegionalDateTimeReader::RegionalDateTimeReader(const QLocale& locale)
    : m_locale(locale), m_dateFormat(regionalDateFormat(locale)), m_timeFormat(regionalTimeFormat(locale)) {}

QDate RegionalDateTimeReader::dateOf(const QString& text) const {
    auto found = m_dates.constFind(text);
    if (found == m_dates.cend()) found = m_dates.insert(text, m_locale.toDate(text, m_dateFormat));
    return *found;
}

QTime RegionalDateTimeReader::timeOf(const QString& text) const {
    auto found = m_times.constFind(text);
    if (found == m_times.cend()) found = m_times.insert(text, m_locale.toTime(text, m_timeFormat));
    return *found;
}

bool RegionalDateTimeReader::read(const QString& text, QDate* date, QTime* time) const {
    const QString trimmed = text.trimmed();
    const QDate dateOnly = m_locale.toDate(trimmed, m_dateFormat);
    if (dateOnly.isValid()) {
        *date = dateOnly;
        *time = QTime(0, 0);
        return true;
    }
    // The date format may hold blanks itself, so try each blank as the split point.
    for (qsizetype at = trimmed.indexOf(QLatin1Char(' ')); at > 0;
         at = trimmed.indexOf(QLatin1Char(' '), at + 1)) {
        const QDate datePart = dateOf(trimmed.left(at));
        if (!datePart.isValid()) continue;
        const QTime timePart = timeOf(trimmed.mid(at + 1).trimmed());
        if (timePart.isValid()) {
            *date = datePart;
            *time = timePart;
            return true;
        }
    }
    return false;
}
