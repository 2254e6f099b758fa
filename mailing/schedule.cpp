#include "mailing/schedule.h"

#include "core/datetimenumber.h"

bool ScheduleDue(const QDateTime& now, const QDate& date, const QTime& time) {
    if (now.date() < date) return false;
    const QTime clock = now.time();
    if (clock.hour() != time.hour()) return clock.hour() > time.hour();
    return clock.minute() >= time.minute();
}

ScheduleSetting restoredSchedule(double storedDate, double storedTime, const QDateTime& now) {
    if (storedDate > 0 && storedTime > 0)
        return {true, numberToDateTime(storedDate).date(), numberToDateTime(storedTime).time()};
    return {false, now.date(), now.time()};
}
