#pragma once

#include <QString>
#include <QtGlobal>

// The 80-minute exam clock. The remaining time falls by one minute at each wall-clock minute
// boundary after Start. It is worked out afresh from the time since the epoch on every tick,
// so a late, early, doubled or skipped timer tick neither loses nor gains a minute, and a
// daylight-saving change counts for nothing.
namespace exam {

class ExamClock
{
public:
    static constexpr int ExamMinutes = 80;

    void start(qint64 nowMsecs);

    // Minutes left at nowMsecs: 80 less the minute boundaries passed since Start, never below 0.
    // It never rises: a wall clock set back holds the display, it never gives time back.
    int minutesLeft(qint64 nowMsecs);

private:
    qint64 m_startMinute = 0;
    int m_left = 0;
};

// A time value from its parts, minutes above 59 carried into hours, shown as "h:mm": "1:20",
// "1:00", "0:59", "0:00".
QString formatRemaining(int hours, int minutes, int seconds);

// The folder as the program names files in it: ending in exactly one "/".
QString withTrailingSeparator(const QString &folder);

} // namespace exam
