// Preloaded into a child of the benchmark: every sync waits 50 ms first, as on a busy hard disk
// or an SD card.

#include <dlfcn.h>
#include <time.h>

namespace {

using Sync = int (*)(int);

void wait50ms()
{
    timespec delay {0, 50'000'000};
    while (nanosleep(&delay, &delay) != 0) { }
}

Sync next(const char *name)
{
    // The system's own, behind this one.
    return reinterpret_cast<Sync>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd)
{
    static const Sync real = next("fsync");
    wait50ms();
    return real(fd);
}

extern "C" int fdatasync(int fd)
{
    static const Sync real = next("fdatasync");
    wait50ms();
    return real(fd);
}
