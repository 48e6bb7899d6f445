#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

namespace exam {

// Milliseconds, read when the clock needs them.
using TimeSource = std::function<qint64()>;

// The 80-minute exam clock. The remaining time falls by one minute at each wall-clock minute
// boundary after Start, but the minutes are counted on the elapsed clock, which never steps and
// goes on counting while the machine sleeps; the wall clock is read once, at Start, only to learn
// where its minutes begin. So a wall clock set forward or back while the exam runs changes
// nothing, time asleep counts as exam time, and a late, doubled or skipped timer tick neither
// loses nor gains a minute.
class ExamClock
{
public:
    static constexpr int ExamMinutes = 80;

    // wall: milliseconds since the epoch; elapsed: milliseconds on a clock that never steps.
    ExamClock(TimeSource wall, TimeSource elapsed);

    void setTimeSources(TimeSource wall, TimeSource elapsed);

    void start();

    // Goes on with an exam that an earlier run of the program started at `startedAt` (wall
    // clock, milliseconds since the epoch). The time since then can only come from the wall
    // clock, the one clock that survives a restart; a start in the future counts as now.
    void resume(qint64 startedAt);

    // The wall-clock time of Start, as resume() takes it.
    qint64 startedAt() const { return m_startedAt; }

    // 80 less the wall-clock minute boundaries passed since Start, never below 0 and never
    // rising.
    int minutesLeft();

private:
    // Starts the count at the elapsed-clock reading `now`, `since` ms after the wall clock read
    // `startedAt`.
    void begin(qint64 startedAt, qint64 now, qint64 since);

    TimeSource m_wall;
    TimeSource m_elapsed;
    qint64 m_startedAt = 0;
    // The elapsed-clock reading of the last wall-clock minute boundary before Start.
    qint64 m_boundaryBeforeStart = 0;
    int m_left = 0;
};

// A time value from its parts, minutes above 59 carried into hours, shown as "h:mm": "1:20",
// "1:00", "0:59", "0:00".
QString formatRemaining(int hours, int minutes, int seconds);

// The folder as the program names files in it: ending in exactly one "/".
QString withTrailingSeparator(const QString &folder);

} // namespace exam
