// Prints the program's speed and memory figures in three columns, all measured in the same run:
//
//   kokugo-mogi    the program itself;
//   text window    a window of the same client size that shows one line of Japanese text in the
//                  program's face ("ＭＳ ゴシック", set in IPAGothic): it loads the fonts as the
//                  program does, so it is the least any window of the program could take;
//   empty window   an empty Qt main window of the same size.
//
// The two floors are kokugo-bench-window, an executable beside this one that links only Qt
// Widgets: started from this program, they would carry all of the program's libraries.
//
// Start-up runs from starting a fresh process to that process seeing its first window exposed;
// peak memory is that process's high-water mark then. The other rows are measured in this
// process ("-" where a row means nothing for a window without a clock). Nothing here asserts:
// the figures are for reading. ./dev.sh bench runs it offscreen unless QT_QPA_PLATFORM says
// otherwise.
//
//   kokugo-bench              every figure (takes a little over a minute: the idle clock)
//   kokugo-bench --quick      without the minute of idle clock
//   kokugo-bench --runs N     start each window N times for the start-up median (default 11)
//   kokugo-bench --help       this list
//   kokugo-bench --child exam [IDLE_MS]
//                             the program's window alone, as the benchmark starts it: prints
//                             "shown" and the peak memory once the window is exposed, then, given
//                             IDLE_MS, the CPU seconds used over that many milliseconds of running
//                             clock. Handy under a profiler; kokugo-bench-window text|empty does
//                             the same for the floors.
//   kokugo-bench --slow-disk  ticks boxes in the exam window and prints the time each takes the
//                             window; the benchmark runs it with every sync made 50 ms slow.

#include "benchmark/childreport.h"
#include "exam/answerkey.h"
#include "exam/examwindow.h"
#include "exam/scorebands.h"
#include "exam/startup.h"
#include "platform/controls.h"
#include "platform/fonts.h"
#include "platform/forms.h"
#include "platform/label.h"
#include "platform/preparer.h"
#include "platform/tabcontrol.h"
#include "reference/referencewindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <optional>

namespace {

using namespace bench;

enum class Kind { Exam, Text, Empty };

constexpr std::array<const char *, 3> KindNames = {"exam", "text", "empty"};

// Child: the program's window; for the idle figure its clock runs for `idleMsecs`.
int runExamChild(int idleMsecs)
{
    platform::installFontSubstitutions();
    const platform::FontListReader fontList;
    exam::defineWindows();
    exam::showExamWindow();
    auto *window = dynamic_cast<ExamWindow *>(platform::forms::instance(ExamWindow::designName()));
    reportShown(window);
    if (idleMsecs > 0)
        window->cmdスタート_Click();
    return reportIdle(idleMsecs);
}

struct ChildFigures
{
    double startupMsecs = 0;
    long peakKiB = 0;
};

// Starts one window alone in a fresh process, on this process's platform: the program's window
// in this executable, the floors in the minimal one beside it.
void startChild(QProcess &child, Kind kind, const QStringList &more = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    child.setProcessEnvironment(environment);
    const QString name = QString::fromLatin1(KindNames[std::size_t(kind)]);
    if (kind == Kind::Exam)
        child.start(QCoreApplication::applicationFilePath(),
                    QStringList {QStringLiteral("--child"), name} + more);
    else
        child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kokugo-bench-window"),
                    QStringList {name} + more);
}

// A window that never shows ends the benchmark: its figures would mean nothing.
ChildFigures timeChild(Kind kind)
{
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    startChild(child, kind);
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
    if (figures.startupMsecs <= 0) {
        std::fprintf(stderr, "kokugo-bench: the %s window did not show\n%s",
                     KindNames[std::size_t(kind)], child.readAllStandardError().constData());
        std::exit(1);
    }
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

// The first column padded to 50 places on a terminal, where a full-width character takes two.
void row(const char *what, const QString &program, const QString &text, const QString &empty)
{
    const QString name = QString::fromUtf8(what);
    const auto places
        = std::accumulate(name.cbegin(), name.cend(), qsizetype(0), [](qsizetype sum, QChar c) {
              return sum + (c.unicode() >= 0x1100 ? 2 : 1);
          });
    std::printf("%s%*s %14s %14s %14s\n", what, int(std::max<qsizetype>(0, 50 - places)), "",
                qPrintable(program), qPrintable(text), qPrintable(empty));
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

// A tick of a box on a disk whose syncs take 50 ms, as the window feels it: in a child with the
// slow syncs preloaded, in microseconds, or nothing if the child did not say.
std::optional<double> slowDiskTick()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KOKUGO_SLOWSYNC));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--slow-disk")});
    child.waitForFinished(60000);
    const QString output = QString::fromLatin1(child.readAllStandardOutput());
    const auto match = QRegularExpression(QStringLiteral("tick ([0-9.]+)")).match(output);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

// The child's side: each tick is followed by the events that come before the next, so the saves
// really reach the disk one after another while the ticks are timed.
int runSlowDisk()
{
    platform::installFontSubstitutions();
    exam::defineWindows();
    exam::showExamWindow();
    auto *window = dynamic_cast<ExamWindow *>(platform::forms::instance(ExamWindow::designName()));
    waitUntilDrawn(window);
    auto *box = platform::control<QCheckBox>(window, QStringLiteral("chk国語2"), 1);
    QElapsedTimer clock;
    qint64 ticking = 0;
    constexpr int Ticks = 40;
    for (int i = 0; i < Ticks; ++i) {
        clock.start();
        box->toggle();
        ticking += clock.nsecsElapsed();
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 20)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    window->close();
    std::printf("tick %.1f\n", double(ticking) / 1e3 / Ticks);
    return 0;
}

constexpr char Usage[] = "usage: kokugo-bench [--quick] [--runs N]\n"
                         "       kokugo-bench --child exam [IDLE_MS]\n"
                         "       kokugo-bench --slow-disk\n"
                         "Prints start-up, memory and handler figures of kokugo-mogi beside a\n"
                         "window showing one line of text in its face and an empty window.\n"
                         "  --quick    leave out the minute of idle clock\n"
                         "  --runs N   fresh processes per window for the start-up median (11)\n";

struct Options
{
    bool quick = false;
    int runs = 11;
    int child = -1; // a Kind, when started as one window alone
    int idleMsecs = 0;
    bool slowDisk = false;
};

// Reads this program's own options, which all begin with "--", and leaves the rest to Qt. Returns
// the exit status when the program should stop here.
std::optional<int> parseOptions(int argc, char *argv[], Options &options)
{
    auto number = [](const char *text, int &value) {
        bool valid = false;
        value = QByteArray(text).toInt(&valid);
        return valid && value >= 0;
    };
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView option(argv[i]);
        bool valid = true;
        if (option == "--help" || option == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (option == "--slow-disk") {
            options.slowDisk = true;
        } else if (option == "--quick") {
            options.quick = true;
        } else if (option == "--runs") {
            valid = i + 1 < argc && number(argv[++i], options.runs) && options.runs > 0;
        } else if (option == "--child") {
            valid = i + 1 < argc && QByteArrayView(argv[++i]) == "exam";
            options.child = int(Kind::Exam);
            if (valid && i + 1 < argc && argv[i + 1][0] != '-')
                valid = number(argv[++i], options.idleMsecs);
        } else {
            valid = !option.startsWith("--");
        }
        if (!valid) {
            std::fprintf(stderr, "kokugo-bench: bad option %s\n%s", argv[i], Usage);
            return 2;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    // Before the application object, so that --help and mistakes need no display.
    Options options;
    if (const std::optional<int> status = parseOptions(argc, argv, options))
        return *status;
    QApplication app(argc, argv);
    if (options.child >= 0)
        return runExamChild(options.idleMsecs);
    useOwnStateFolder();
    if (options.slowDisk)
        return runSlowDisk();
    const bool quick = options.quick;
    const int runs = options.runs;

    // Start-up and memory, each in fresh processes taking turns, median of several runs.
    constexpr std::array<Kind, 3> Kinds = {Kind::Exam, Kind::Text, Kind::Empty};
    std::array<QList<double>, 3> startups;
    std::array<long, 3> peaks {};
    for (int run = 0; run < runs; ++run) {
        for (const Kind kind : Kinds) {
            const ChildFigures figures = timeChild(kind);
            startups[std::size_t(kind)] << figures.startupMsecs;
            peaks[std::size_t(kind)] = std::max(peaks[std::size_t(kind)], figures.peakKiB);
        }
    }
    std::array<double, 3> startup {};
    for (const Kind kind : Kinds)
        startup[std::size_t(kind)] = median(startups[std::size_t(kind)]);

    // The handlers, in this process.
    platform::installFontSubstitutions();
    exam::defineWindows();
    exam::showExamWindow();
    auto *window = dynamic_cast<ExamWindow *>(platform::forms::instance(ExamWindow::designName()));
    waitUntilDrawn(window);
    QCoreApplication::processEvents();
    // What the window prepares after its first frame, as a student's first seconds would let it.
    // Half a second more lets the sound module it loads on a worker thread finish too.
    if (auto *preparer = window->findChild<platform::Preparer *>()) {
        while (!preparer->isDone())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    for (QElapsedTimer settling; !settling.isValid() || settling.elapsed() < 500;) {
        if (!settling.isValid())
            settling.start();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }

    // A switch of the reading pane's tab, to the end of its repaint: the first to each passage
    // (prepared ahead, so only shown), then a second to the first.
    platform::TabControl *reading
        = platform::control<platform::TabControl>(window, QStringLiteral("SSTab1"));
    auto switchTo = [reading](int index) {
        return microsecondsPerCall(1, [&](int) {
            reading->setCurrentIndex(index);
            reading->repaint();
        });
    };
    std::array<double, 4> firstSwitch {};
    for (int passage = 1; passage <= 4; ++passage)
        firstSwitch[std::size_t(passage - 1)] = switchTo(passage);
    switchTo(0);
    const double secondSwitch = switchTo(1);
    switchTo(0);

    for (int k = 1; k <= exam::SlotCount; k += 2)
        platform::control<QCheckBox>(window, QStringLiteral("chk国語") + QString::number(k), 1)
            ->setChecked(true);
    const double score = microsecondsPerCall(2000, [&](int) { window->cmd得点_Click(); });
    // Each tick of a box hands the exam's state to the thread that writes it.
    auto *box = platform::control<QCheckBox>(window, QStringLiteral("chk国語2"), 1);
    const double tickSave = microsecondsPerCall(500, [&](int) { box->toggle(); });

    // A window opened from the exam window, to the end of its first frame.
    auto firstFrameOf = [](auto open, const QString &name) {
        return microsecondsPerCall(1, [&](int) {
            open();
            waitUntilDrawn(platform::forms::instance(name));
        });
    };
    const double verdictWindow = firstFrameOf(
        [window] { window->cmd合格率_Click(); },
        reference::passLineWindowName(exam::passLineWindow(
            platform::control<platform::Label>(window, QStringLiteral("lbl得点"))->caption())));
    const double helpWindow
        = firstFrameOf([window] { window->mnuAbout_Click(); }, reference::helpWindowName());

    qint64 now = 1796720400000; // a minute boundary
    window->setTimeSources([&now] { return now; }, [&now] { return now; });
    window->cmdスタート_Click();
    // The first tick opens the chime: its module was loaded ahead, the file is read now.
    const double firstTick = microsecondsPerCall(1, [&](int) { window->tmr時間_Timer(); });
    const double quietTick = microsecondsPerCall(20000, [&](int) {
        window->tmr時間_Timer(); // the same second: nothing to count
    });
    const double countingTick = microsecondsPerCall(7900, [&](int i) {
        if (i % 79 == 0)
            window->cmdスタート_Click();
        now += 60000;
        window->tmr時間_Timer();
    });

    const QString none = QStringLiteral("-");
    std::printf("%-50s %14s %14s %14s\n", "", "kokugo-mogi", "text window", "empty window");
    row(qPrintable(QStringLiteral("start-up to first shown window (ms, median of %1)").arg(runs)),
        fixed(startup[0], 1), fixed(startup[1], 1), fixed(startup[2], 1));
    const double floor = startup[std::size_t(Kind::Text)];
    row("start-up, times the text window's", fixed(startup[0] / floor, 2),
        fixed(startup[1] / floor, 2), fixed(startup[2] / floor, 2));
    row("peak memory (MiB)", fixed(double(peaks[0]) / 1024, 1), fixed(double(peaks[1]) / 1024, 1),
        fixed(double(peaks[2]) / 1024, 1));
    row("Score handler (us)", fixed(score, 1), none, none);
    row("ticking a box, with its save (us)", fixed(tickSave, 1), none, none);
    for (int passage = 1; passage <= 4; ++passage)
        row(qPrintable(QStringLiteral("first switch to %1 (us)").arg(reading->tabText(passage))),
            fixed(firstSwitch[std::size_t(passage - 1)], 0), none, none);
    row("second switch to a passage (us)", fixed(secondSwitch, 0), none, none);
    row("first verdict window (us)", fixed(verdictWindow, 0), none, none);
    row("help window (us)", fixed(helpWindow, 0), none, none);
    const std::optional<double> slowTick = slowDiskTick();
    row("ticking a box, syncs taking 50 ms (us)",
        slowTick ? fixed(*slowTick, 1) : QStringLiteral("?"), none, none);
    row("first tick after Start (us)", fixed(firstTick, 0), none, none);
    row("non-counting tick (us)", fixed(quietTick, 2), none, none);
    row("counting tick (us)", fixed(countingTick, 2), none, none);

    if (!quick) {
        // A minute of running clock in the program, beside the other two windows idle.
        std::array<QProcess, 3> children;
        for (const Kind kind : Kinds)
            startChild(children[std::size_t(kind)], kind, {QString::number(60000)});
        for (QProcess &child : children)
            child.waitForFinished(120000);
        auto idle = [](QProcess &child) {
            const QString output = QString::fromLatin1(child.readAllStandardOutput());
            const auto match = QRegularExpression(QStringLiteral("idle ([0-9.]+)")).match(output);
            return match.hasMatch() ? QString::number(match.captured(1).toDouble() * 1000, 'f', 0)
                                    : QStringLiteral("?");
        };
        row("CPU over a minute of idle clock (ms)", idle(children[0]), idle(children[1]),
            idle(children[2]));
    }
    std::fflush(stdout);
    return 0;
}
