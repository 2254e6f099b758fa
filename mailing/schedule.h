#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// Whether a scheduled mailing is due at `now`: today is the scheduled date or later, and the time of day
// has reached the scheduled time, both taken as hour and minute. The two conditions are independent, so a
// schedule whose date has passed is due from its time of day on, on any later day.
bool ScheduleDue(const QDateTime& now, const QDate& date, const QTime& time);

// The schedule the main window shows: whether it is armed, and its date and time of day.
struct ScheduleSetting {
    bool armed = false;
    QDate date;
    QTime time;
};

// A stored schedule (both date-time numbers above 0) comes back armed at its date and time; otherwise the
// schedule is off and shows `now`.
ScheduleSetting restoredSchedule(double storedDate, double storedTime, const QDateTime& now);
