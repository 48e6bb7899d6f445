#pragma once

// What every window the benchmark starts reports on its standard output, so that the benchmark
// reads the program and the floor windows alike.

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <sys/resource.h>

#include <cstdio>

namespace bench {

// The exam window's client area, in pixels.
constexpr int ClientWidth = 792;
constexpr int ClientHeight = 554;

// Never inlined, so that a profiler can stop at the first frame: for instance
// valgrind --tool=callgrind --dump-before='bench::peakMemoryKiB*' writes the instructions up to
// it in the first part.
[[gnu::noinline]] inline long peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(status.readAll());
    const auto match = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(text);
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

inline double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Until the window's first frame is drawn: what the program leaves until after that frame is not
// counted in its start-up, as a student does not wait for it.
inline void waitUntilDrawn(QWidget *window)
{
    // Any of the window's widgets: a window wholly covered by opaque children is never painted
    // itself.
    class PaintWatch : public QObject
    {
    public:
        explicit PaintWatch(QWidget *window) : m_window(window) { }
        bool painted = false;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && watched->isWidgetType()
                && static_cast<QWidget *>(watched)->window() == m_window)
                painted = true;
            return false;
        }

    private:
        QWidget *m_window;
    } watch(window);
    qApp->installEventFilter(&watch);
    while (!watch.painted || !window->windowHandle() || !window->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    qApp->removeEventFilter(&watch);
}

// "shown" and the peak memory, once the window is exposed and drawn.
inline void reportShown(QWidget *window)
{
    waitUntilDrawn(window);
    std::printf("shown %ld\n", peakMemoryKiB());
    std::fflush(stdout);
}

// Runs the event loop for `idleMsecs` and prints the CPU time it took; nothing when not asked.
inline int reportIdle(int idleMsecs)
{
    if (idleMsecs <= 0)
        return 0;
    const double before = cpuSeconds();
    QTimer::singleShot(idleMsecs, qApp, &QCoreApplication::quit);
    QApplication::exec();
    std::printf("idle %.3f\n", cpuSeconds() - before);
    return 0;
}

} // namespace bench
