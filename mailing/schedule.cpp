#include "mailing/schedule.h"

#include "core/datetimenumber.h"

#include <QTimer>

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

ScheduledStart::ScheduledStart(bool& armedFlag, QObject* parent)
    : QObject(parent), m_armed(armedFlag), m_timer(new QTimer(this)) {
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(20000);
    connect(m_timer, &QTimer::timeout, this, &ScheduledStart::tick);
}

void ScheduledStart::setArmed(bool armed) {
    if (armed)
        m_timer->start();
    else
        m_timer->stop();
    m_armed = armed;
}

ScheduleSetting ScheduledStart::restore(double storedDate, double storedTime, const QDateTime& now) {
    const ScheduleSetting schedule = restoredSchedule(storedDate, storedTime, now);
    if (schedule.armed) setArmed(true);
    return schedule;
}

bool ScheduledStart::startsNow(bool busy, const std::function<bool()>& online, const QDateTime& now,
                               const QDate& date, const QTime& time) {
    // A tick already on its way when the schedule was disarmed has nothing to do.
    if (!m_timer->isActive() || busy) return false;
    if (!online() || !ScheduleDue(now, date, time)) return false;
    m_timer->stop();
    return true;
}
