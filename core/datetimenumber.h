#pragma once

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>

#include <optional>

// Date-time numbers: days since 30 December 1899, the fraction is the time of day; 0 means "none".
// Negative numbers count days backwards while the fraction still runs forward from midnight.
double dateTimeToNumber(const QDateTime& dateTime);
// Invalid for a number outside the years 1 to 9999, infinity or NaN.
QDateTime numberToDateTime(double number);
double dateToNumber(const QDate& date);
double timeToNumber(const QTime& time);

// The regional text form: the locale's short date with a four-digit year, a blank and the time with
// seconds and without a time zone; the time is left out at exactly midnight. Empty for an invalid one.
QString regionalDateFormat(const QLocale& locale = QLocale::system());
QString regionalTimeFormat(const QLocale& locale = QLocale::system());
QString dateTimeToRegionalText(const QDateTime& dateTime, const QLocale& locale = QLocale::system());
// Parses what dateTimeToRegionalText writes (date alone or date and time); nullopt when it cannot.
std::optional<QDateTime> regionalTextToDateTime(const QString& text,
                                                const QLocale& locale = QLocale::system());

// Reads many texts of one locale, working the formats out once and remembering the date and time
// parts it has read (a mailing run stamps many rows with the same day). Not for use by two threads.
class RegionalDateTimeReader {
public:
    explicit RegionalDateTimeReader(const QLocale& locale = QLocale::system());
    // As regionalTextToDateTime, without building a QDateTime (which asks for the time zone);
    // false when the text is no date, and `date` and `time` are then left alone.
    bool read(const QString& text, QDate* date, QTime* time) const;

private:
    QDate dateOf(const QString& text) const;
    QTime timeOf(const QString& text) const;

    QLocale m_locale;
    QString m_dateFormat;
    QString m_timeFormat;
    mutable QHash<QString, QDate> m_dates;
    mutable QHash<QString, QTime> m_times;
};
