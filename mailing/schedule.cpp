#include "mailing/schedule.h"

bool ScheduleDue(const QDateTime& now, const QDate& date, const QTime& time) {
    if (now.date() < date) return false;
    const QTime clock = now.time();
    if (clock.hour() != time.hour()) return clock.hour() > time.hour();
    return clock.minute() >= time.minute();
}
