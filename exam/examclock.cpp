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

ExamClock::ExamClock(TimeSource wall, TimeSource elapsed, int minutes)
    : m_wall(std::move(wall)), m_elapsed(std::move(elapsed)), m_minutes(minutes)
{ }

void ExamClock::setTimeSources(TimeSource wall, TimeSource elapsed)
{
    m_wall = std::move(wall);
    m_elapsed = std::move(elapsed);
}

void ExamClock::start()
{
    m_startedAt = m_wall();
    m_elapsedAtStart = m_elapsed();
    m_left = m_minutes;
}

ClockState ExamClock::state(const QByteArray &boot) const
{
    const qint64 now = m_elapsed();
    return {m_startedAt, m_elapsedAtStart, now - m_elapsedAtStart, m_wall(), boot};
}

void ExamClock::resume(const ClockState &saved, const QByteArray &boot)
{
    const qint64 now = m_elapsed();
    const bool sameBoot = !boot.isEmpty() && boot == saved.boot;
    const qint64 ran = sameBoot ? now - saved.elapsedAtStart
                                : saved.ran + std::max<qint64>(0, m_wall() - saved.savedAt);
    m_startedAt = saved.startedAt;
    m_elapsedAtStart = now - std::max<qint64>(0, ran);
    m_left = m_minutes;
}

int ExamClock::minutesLeftAfter(qint64 ran) const
{
    const qint64 passed = minuteOf(ran + pastTheMinute(m_startedAt));
    return int(std::clamp<qint64>(m_minutes - passed, 0, m_minutes));
}

int ExamClock::minutesLeft()
{
    m_left = std::min(m_left, minutesLeftAfter(m_elapsed() - m_elapsedAtStart));
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
