#include "platform/elapsedclock.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace platform {

qint64 elapsedMsecs()
{
#ifdef CLOCK_BOOTTIME
    timespec now {};
    if (clock_gettime(CLOCK_BOOTTIME, &now) == 0)
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#endif
    // Stops while the machine sleeps, but never steps.
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QByteArray bootIdentity()
{
    static const QByteArray identity = [] {
#ifdef CLOCK_BOOTTIME
        // Without CLOCK_BOOTTIME the elapsed clock is not the one this boot identity goes with.
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        const QByteArray id
            = file.open(QIODevice::ReadOnly) ? file.read(65).trimmed() : QByteArray();
        // Letters, digits and dashes, as the state file keeps it.
        const bool plain = id.size() <= 64 && std::all_of(id.begin(), id.end(), [](char c) {
                               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-';
                           });
        if (plain)
            return id;
#endif
        return QByteArray();
    }();
    return identity;
}

} // namespace platform
