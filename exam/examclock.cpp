#include "exam/examclock.h"

#include <algorithm>

namespace exam {

namespace {

constexpr qint64 MsecsPerMinute = 60 * 1000;

qint64 minuteOf(qint64 msecs)
{
    // Floor division, so that times before the epoch still fall in the right minute.
    return msecs >= 0 ? msecs / MsecsPerMinute : -((-msecs + MsecsPerMinute - 1) / MsecsPerMinute);
}

} // namespace

void ExamClock::start(qint64 nowMsecs)
{
    m_startMinute = minuteOf(nowMsecs);
    m_left = ExamMinutes;
}

int ExamClock::minutesLeft(qint64 nowMsecs)
{
    const qint64 passed = minuteOf(nowMsecs) - m_startMinute;
    const qint64 left = std::clamp<qint64>(ExamMinutes - passed, 0, m_left);
    m_left = int(left);
    return m_left;
}

QString formatRemaining(int hours, int minutes, int seconds)
{
    const int total = std::max(0, hours * 3600 + minutes * 60 + seconds);
    const int h = total / 3600;
    const int m = total % 3600 / 60;
    return QString::number(h) + u':' + QChar(u'0' + m / 10) + QChar(u'0' + m % 10);
}

QString withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace exam
