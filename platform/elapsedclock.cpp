#include "platform/elapsedclock.h"

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

} // namespace platform
