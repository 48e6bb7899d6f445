// Prints the program's speed and memory figures beside those of an empty Qt main window of the
// same size, measured in the same run. Nothing here asserts: the figures are for reading.
//
//   kokugo-bench            every figure (takes a little over a minute: the idle clock)
//   kokugo-bench --quick    without the minute of idle clock

#include "exam/answerkey.h"
#include "exam/examwindow.h"
#include "exam/startup.h"
#include "platform/controls.h"
#include "platform/fonts.h"
#include "platform/forms.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int ClientWidth = 792;
constexpr int ClientHeight = 554;

long peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(status.readAll());
    const auto match = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(text);
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QWidget *makeWindow(bool exam)
{
    if (exam) {
        platform::installFontSubstitutions();
        exam::defineWindows();
        exam::showExamWindow();
        return platform::forms::instance(ExamWindow::designName());
    }
    auto *window = new QMainWindow;
    window->setCentralWidget(new QWidget);
    window->resize(ClientWidth, ClientHeight);
    window->show();
    return window;
}

void waitUntilExposed(QWidget *window)
{
    while (!window->windowHandle() || !window->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();
}

// Child: show the window, report, and (for the idle figure) let the clock run for `idleMsecs`.
int runChild(const QString &kind, int idleMsecs)
{
    const bool exam = kind == u"exam";
    QWidget *window = makeWindow(exam);
    waitUntilExposed(window);
    std::printf("shown %ld\n", peakMemoryKiB());
    std::fflush(stdout);
    if (idleMsecs <= 0)
        return 0;
    if (exam)
        dynamic_cast<ExamWindow *>(window)->cmdスタート_Click();
    const double before = cpuSeconds();
    QTimer::singleShot(idleMsecs, qApp, &QCoreApplication::quit);
    QApplication::exec();
    std::printf("idle %.3f\n", cpuSeconds() - before);
    return 0;
}

struct ChildFigures
{
    double startupMsecs = 0;
    long peakKiB = 0;
};

ChildFigures startChild(const QString &kind)
{
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), kind});
    ChildFigures figures;
    while (child.waitForReadyRead(30000)) {
        const QByteArray line = child.readLine();
        if (line.startsWith("shown")) {
            figures.startupMsecs = double(clock.nsecsElapsed()) / 1e6;
            figures.peakKiB = line.mid(6).trimmed().toLong();
            break;
        }
    }
    child.waitForFinished(30000);
    return figures;
}

// The exam's state goes to a folder of the benchmark's own, never the user's; the children
// started below inherit it. On the build's disk rather than in a memory file system, so that a
// save costs what it costs in a home folder. Static: it must outlive the program's lock in it.
void useOwnStateFolder()
{
    static QTemporaryDir folder(QCoreApplication::applicationDirPath()
                                + QStringLiteral("/bench-state-XXXXXX"));
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder.path()));
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

template<typename F>
double microsecondsPerCall(int calls, F &&call)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < calls; ++i)
        call(i);
    return double(clock.nsecsElapsed()) / 1e3 / calls;
}

void row(const char *what, const QString &program, const QString &empty)
{
    std::printf("%-40s %16s %16s\n", what, qPrintable(program), qPrintable(empty));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == u"--child")
        return runChild(arguments.value(2), arguments.value(3).toInt());
    const bool quick = arguments.contains(QStringLiteral("--quick"));
    useOwnStateFolder();

    // Start-up and memory, each in fresh processes, median of several runs.
    QList<double> examStartups, emptyStartups;
    long examPeak = 0, emptyPeak = 0;
    for (int run = 0; run < 7; ++run) {
        const ChildFigures exam = startChild(QStringLiteral("exam"));
        const ChildFigures empty = startChild(QStringLiteral("empty"));
        examStartups << exam.startupMsecs;
        emptyStartups << empty.startupMsecs;
        examPeak = std::max(examPeak, exam.peakKiB);
        emptyPeak = std::max(emptyPeak, empty.peakKiB);
    }

    // The handlers, in this process.
    platform::installFontSubstitutions();
    exam::defineWindows();
    exam::showExamWindow();
    auto *window = dynamic_cast<ExamWindow *>(platform::forms::instance(ExamWindow::designName()));
    waitUntilExposed(window);
    for (int k = 1; k <= exam::SlotCount; k += 2)
        platform::control<QCheckBox>(window, QStringLiteral("chk国語") + QString::number(k), 1)
            ->setChecked(true);
    const double score = microsecondsPerCall(2000, [&](int) { window->cmd得点_Click(); });
    // Each tick of a box writes the exam's state to disk, whole, before it returns.
    auto *box = platform::control<QCheckBox>(window, QStringLiteral("chk国語2"), 1);
    const double tickSave = microsecondsPerCall(500, [&](int) { box->toggle(); });

    qint64 now = 1796720400000; // a minute boundary
    window->setTimeSources([&now] { return now; }, [&now] { return now; });
    window->cmdスタート_Click();
    window->tmr時間_Timer(); // the first tick opens the chime
    const double quietTick = microsecondsPerCall(20000, [&](int) {
        window->tmr時間_Timer(); // the same second: nothing to count
    });
    const double countingTick = microsecondsPerCall(7900, [&](int i) {
        if (i % 79 == 0)
            window->cmdスタート_Click();
        now += 60000;
        window->tmr時間_Timer();
    });

    std::printf("%-40s %16s %16s\n", "", "kokugo-mogi", "empty window");
    row("start-up to first shown window (ms)", QString::number(median(examStartups), 'f', 1),
        QString::number(median(emptyStartups), 'f', 1));
    row("peak memory (MiB)", QString::number(double(examPeak) / 1024, 'f', 1),
        QString::number(double(emptyPeak) / 1024, 'f', 1));
    row("Score handler (us)", QString::number(score, 'f', 1), QStringLiteral("-"));
    row("ticking a box, with its save (us)", QString::number(tickSave, 'f', 1),
        QStringLiteral("-"));
    row("non-counting tick (us)", QString::number(quietTick, 'f', 2), QStringLiteral("-"));
    row("counting tick (us)", QString::number(countingTick, 'f', 2), QStringLiteral("-"));

    if (!quick) {
        // A minute of running clock in each, side by side.
        QProcess examChild, emptyChild;
        const QString minute = QString::number(60000);
        examChild.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), QStringLiteral("exam"), minute});
        emptyChild.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--child"), QStringLiteral("empty"), minute});
        examChild.waitForFinished(120000);
        emptyChild.waitForFinished(120000);
        auto idle = [](QProcess &child) {
            const QString output = QString::fromLatin1(child.readAllStandardOutput());
            const auto match = QRegularExpression(QStringLiteral("idle ([0-9.]+)")).match(output);
            return match.hasMatch() ? QString::number(match.captured(1).toDouble() * 1000, 'f', 0)
                                    : QStringLiteral("?");
        };
        row("CPU over a minute of idle clock (ms)", idle(examChild), idle(emptyChild));
    }
    std::fflush(stdout);
    return 0;
}
