#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace exam {

// Milliseconds, read when the clock needs them.
using TimeSource = std::function<qint64()>;

// What a save keeps of a running clock, so that a later run can go on with it.
struct ClockState
{
    // The wall-clock time of Start, in milliseconds since the epoch: where the minutes begin.
    qint64 startedAt = 0;
    // The elapsed-clock reading at Start; it means something only in the boot that read it.
    qint64 elapsedAtStart = 0;
    // The time the clock had run at the save, on the elapsed clock.
    qint64 ran = 0;
    // The wall-clock time of the save.
    qint64 savedAt = 0;
    // The boot the elapsed clock belongs to; empty when the system cannot tell.
    QByteArray boot;

    friend bool operator==(const ClockState &, const ClockState &) = default;
};

// The exam clock, 80 minutes unless a sitting asks for another length. The remaining time falls
// by one minute at each wall-clock minute boundary after Start, but the minutes are counted on the
// elapsed clock, which never steps and goes on counting while the machine sleeps; the wall clock
// is read at Start only to learn where its minutes begin. So a wall clock set forward or back
// while the exam runs changes nothing, time asleep counts as exam time, and a late, doubled or
// skipped timer tick neither loses nor gains a minute.
class ExamClock
{
public:
    static constexpr int ExamMinutes = 80;
    // The longest sitting a state file may hold.
    static constexpr int MaxMinutes = 600;

    // wall: milliseconds since the epoch; elapsed: milliseconds on a clock that never steps.
    ExamClock(TimeSource wall, TimeSource elapsed, int minutes = ExamMinutes);

    void setTimeSources(TimeSource wall, TimeSource elapsed);

    // The sitting's length, from the next Start or resume on.
    void setMinutes(int minutes) { m_minutes = minutes; }
    int minutes() const { return m_minutes; }

    void start();

    // The clock as a save keeps it, read now, in the boot `boot`.
    ClockState state(const QByteArray &boot) const;

    // Goes on with a clock that an earlier run saved as `saved`; `boot` is this run's boot. In
    // the same boot the elapsed clock alone says how long the clock has run, exactly as if the
    // program had kept running. After a reboot (or where the boot is unknown) the best that can
    // be known is the time run at the save plus the wall-clock time since, never negative.
    void resume(const ClockState &saved, const QByteArray &boot);

    // The wall-clock time of Start.
    qint64 startedAt() const { return m_startedAt; }

    // The sitting's minutes less the wall-clock minute boundaries passed since Start, never
    // below 0 and never rising.
    int minutesLeft();

    // The minutes that were left when the clock had run `ran` ms.
    int minutesLeftAfter(qint64 ran) const;

private:
    TimeSource m_wall;
    TimeSource m_elapsed;
    int m_minutes = ExamMinutes;
    qint64 m_startedAt = 0;
    qint64 m_elapsedAtStart = 0;
    int m_left = 0;
};

// A time value from its parts, minutes above 59 carried into hours, shown as "h:mm": "1:20",
// "1:00", "0:59", "0:00".
QString formatRemaining(int hours, int minutes, int seconds);

// The folder as the program names files in it: ending in exactly one "/".
QString withTrailingSeparator(const QString &folder);

} // namespace exam
