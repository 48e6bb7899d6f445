#include "exam/examclock.h"

#include <algorithm>

namespace exam {

namespace {

constexpr qint64 MsecsPerMinute = 60 * 1000;

// Floor division and its remainder, so that times before the epoch fall in the right minute.
qint64 minuteOf(qint64 msecs)
{
    return msecs >= 0 ? msecs / MsecsPerMinute : -((-msecs + MsecsPerMinute - 1) / MsecsPerMinute);
}

qint64 pastTheMinute(qint64 msecs)
{
    return msecs - minuteOf(msecs) * MsecsPerMinute;
}

} // namespace

ExamClock::ExamClock(TimeSource wall, TimeSource elapsed)
    : m_wall(std::move(wall)), m_elapsed(std::move(elapsed))
{ }

void ExamClock::setTimeSources(TimeSource wall, TimeSource elapsed)
{
    m_wall = std::move(wall);
    m_elapsed = std::move(elapsed);
}

void ExamClock::start()
{
    begin(m_wall(), m_elapsed(), 0);
}

void ExamClock::resume(qint64 startedAt)
{
    const qint64 now = m_wall();
    begin(startedAt, m_elapsed(), std::max<qint64>(0, now - startedAt));
}

void ExamClock::begin(qint64 startedAt, qint64 now, qint64 since)
{
    m_startedAt = startedAt;
    m_boundaryBeforeStart = now - since - pastTheMinute(startedAt);
    m_left = ExamMinutes;
}

int ExamClock::minutesLeft()
{
    const qint64 passed = minuteOf(m_elapsed() - m_boundaryBeforeStart);
    m_left = int(std::clamp<qint64>(ExamMinutes - passed, 0, m_left));
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
