#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTime>

#include <functional>

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

class QTimer;

// The armed schedule of the main window: a tick every 20 seconds while armed, and the decision on each tick
// whether the run starts now. A schedule is used once: the caller disarms it after the run it started.
class ScheduledStart : public QObject {
    Q_OBJECT
public:
    // `armedFlag` is the shared state's: a run started while it is set knows it runs unattended.
    explicit ScheduledStart(bool& armedFlag, QObject* parent = nullptr);

    QTimer* timer() const { return m_timer; }
    void setArmed(bool armed);
    // A stored schedule comes back armed (see restoredSchedule); returns what the pickers show.
    ScheduleSetting restore(double storedDate, double storedTime, const QDateTime& now);
    // On a tick: whether the run starts now - armed, not busy, `online()` (asked only then) and due. A yes
    // stops the tick first, so none during the run starts another; the schedule stays armed until the
    // caller disarms it after the run.
    bool startsNow(bool busy, const std::function<bool()>& online, const QDateTime& now, const QDate& date,
                   const QTime& time);

Q_SIGNALS:
    void tick();

private:
    bool& m_armed;
    QTimer* m_timer;
};
