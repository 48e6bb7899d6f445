#include "examtestutil.h"

#include "exam/startup.h"
#include "platform/elapsedclock.h"
#include "platform/mciplayer.h"
#include "platform/soundbackend.h"

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>

using namespace testutil;

namespace {

constexpr qint64 Second = 1000;
constexpr qint64 Minute = 60 * Second;
constexpr qint64 NineOClock = 1796720400000; // a minute boundary
// The wall clock when each test begins.
constexpr qint64 Now = NineOClock + 42 * Second;

// The elapsed clock the window reads when each test begins.
constexpr qint64 Up = Now - NineOClock + 7;

// A state file as the program writes it: the minutes, a ticks line with one word per slot, all
// "-" but those given, and the clock.
QByteArray stateFile(const QHash<int, QByteArray> &ticks, const QByteArray &clock, int minutes = 80)
{
    QByteArray file
        = "kokugo-mogi exam state 2\nminutes " + QByteArray::number(minutes) + "\nticks";
    for (int k = 1; k <= exam::SlotCount; ++k)
        file += ' ' + ticks.value(k, "-");
    return file + "\nclock " + clock + '\n';
}

// A clock started at `startedAt` by the wall clock that had run `ran` at its last save, `saved`
// ago by the wall clock. In this boot the elapsed clock says it has run `sinceStart` by now.
QByteArray clockLine(qint64 startedAt, qint64 sinceStart, qint64 ran, qint64 saved,
                     const QByteArray &boot)
{
    return "started " + QByteArray::number(startedAt) + " elapsed "
        + QByteArray::number(Up - sinceStart) + " ran " + QByteArray::number(ran) + " saved "
        + QByteArray::number(Now - saved) + " boot " + (boot.isEmpty() ? "-" : boot);
}

QByteArray startedAgo(qint64 msecs, qint64 ranAtSave = Minute)
{
    return clockLine(Now - msecs, msecs, ranAtSave, msecs - ranAtSave, platform::bootIdentity());
}

// Where the program tells the student that the answers are not kept.
QWidget *stateWarning()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == u"stateWarning" && widget->isVisible())
            return widget;
    }
    return nullptr;
}

// The ticked boxes as "slot(choice)", in sheet order.
QStringList tickedBoxes(const QWidget *window)
{
    QStringList ticked;
    for (int k = 1; k <= exam::SlotCount; ++k) {
        for (int i = 1; i <= exam::slot(k).choices; ++i) {
            if (box(window, k, i)->isChecked())
                ticked << QStringLiteral("%1(%2)").arg(k).arg(i);
        }
    }
    return ticked;
}

// Runs one test function of `program` (this test or a copy of it) in a child process, with
// KOKUGO_CHILD and `environment` set, and checks that it passed.
void runChild(const QString &program, const QString &function,
              const QProcessEnvironment &environment, QString *output)
{
    QProcess child;
    QProcessEnvironment full = QProcessEnvironment::systemEnvironment();
    full.insert(QStringLiteral("KOKUGO_CHILD"), QStringLiteral("1"));
    full.insert(environment);
    child.setProcessEnvironment(full);
    child.start(program, {function});
    QVERIFY(child.waitForFinished(60000));
    *output = QString::fromLocal8Bit(child.readAllStandardOutput());
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(*output + errors));
    QVERIFY2(output->contains(QStringLiteral("PASS   : TestClockWindow::") + function),
             qPrintable(*output));
}

QProcessEnvironment stateHome(const QString &folder, const QString &scenario)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("XDG_STATE_HOME"), folder);
    environment.insert(QStringLiteral("KOKUGO_SCENARIO"), scenario);
    return environment;
}

} // namespace

// The exam clock through the real window: the tick handler is driven with injected clocks, so an
// 80-minute exam runs in a moment. Also the exam's state file: an exam left behind by a crash is
// taken up at the next start, a normal end leaves nothing behind.
class TestClockWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { closeAllWindows(); }

    void startShowsTheFullTimeAndClearsTheScore();
    void ticksBetweenBoundariesChangeNothing();
    void wholeExamRunsOutWithOneChime();
    void scoreStopsTheClockThenStartRestarts();
    void startRestartsFromAnyState();
    void exitWhileRunningPlaysNoChime();
    void chimeMissingAtStartThenBack_data();
    void chimeMissingAtStartThenBack();
    void chimeMissingAtStartThenBack_child();
    void playerOpensTheFileOnce();
    void resumesAnExamLeftBehind_data();
    void resumesAnExamLeftBehind();
    void normalEndLeavesNothingBehind_data();
    void normalEndLeavesNothingBehind();
    void somethingElseInItsPlace_data();
    void somethingElseInItsPlace();
    void survivesAKill();
    void unwritableStateFolder();
    void sitting_child();

private:
    void tickAt(qint64 now)
    {
        m_now = now;
        m_window->tmr時間_Timer();
    }
    QString remaining() const { return caption(m_window, QStringLiteral("lbl秒")); }
    // Ticks once a second, no later than `until`, while the timer runs.
    void runUntil(qint64 until)
    {
        while (timer(m_window)->isActive() && m_now + Second <= until)
            tickAt(m_now + Second);
    }

    // Outlives the program's lock on it, which is held until the very end.
    static QTemporaryDir &privateStateHome()
    {
        static QTemporaryDir folder;
        return folder;
    }
    static QString stateFilePath()
    {
        return privateStateHome().filePath(QStringLiteral("kokugo-mogi/exam.state"));
    }

    ExamWindow *m_window = nullptr;
    qint64 m_now = 0;
};

void TestClockWindow::initTestCase()
{
    setUpProgram();
    // Never the user's own state; a child keeps the folder it is given.
    if (qEnvironmentVariableIsEmpty("KOKUGO_CHILD")) {
        QVERIFY(privateStateHome().isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(privateStateHome().path()));
    }
}

void TestClockWindow::init()
{
    m_window = openExamWindow();
    QVERIFY(m_window);
    m_now = Now;
    // The elapsed clock counts from boot, not from the epoch.
    m_window->setTimeSources([this] { return m_now; }, [this] { return m_now - NineOClock + 7; });
}

void TestClockWindow::startShowsTheFullTimeAndClearsTheScore()
{
    QCOMPARE(remaining(), QString());
    clickButton(m_window, QStringLiteral("cmd得点"));
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QStringLiteral("0"));

    clickButton(m_window, QStringLiteral("cmdスタート"));
    QCOMPARE(remaining(), QStringLiteral("1:20"));
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QString());
    QVERIFY(timer(m_window)->isActive());
    QCOMPARE(m_window->RemainMinutes, 80);
    QCOMPARE(m_window->RemainHours, 0);
    QCOMPARE(m_window->RemainSeconds, 0);
}

void TestClockWindow::ticksBetweenBoundariesChangeNothing()
{
    clickButton(m_window, QStringLiteral("cmdスタート"));
    runUntil(NineOClock + Minute - 1);
    QCOMPARE(remaining(), QStringLiteral("1:20"));
    tickAt(NineOClock + Minute + 300);
    QCOMPARE(remaining(), QStringLiteral("1:19"));
    QCOMPARE(m_window->RemainMinutes, 79);
}

void TestClockWindow::wholeExamRunsOutWithOneChime()
{
    auto *player = control<platform::MciPlayer>(m_window, QStringLiteral("MMControl1"));
    QSignalSpy commands(player, &platform::MciPlayer::commandDone);
    clickButton(m_window, QStringLiteral("cmdスタート"));

    runUntil(NineOClock + 20 * Minute + 500);
    QCOMPARE(remaining(), QStringLiteral("1:00"));
    tickAt(NineOClock + 21 * Minute + 100);
    QCOMPARE(remaining(), QStringLiteral("0:59"));

    runUntil(NineOClock + 79 * Minute + 59 * Second);
    QCOMPARE(remaining(), QStringLiteral("0:01"));
    QVERIFY(timer(m_window)->isActive());
    int plays = 0;
    for (const QList<QVariant> &command : std::as_const(commands))
        plays += command.at(0).toString() == u"Play";
    QCOMPARE(plays, 0);

    tickAt(NineOClock + 80 * Minute + 700);
    QCOMPARE(remaining(), QStringLiteral("0:00"));
    QVERIFY(!timer(m_window)->isActive());
    QCOMPARE(commands.at(commands.size() - 2).at(0).toString(), QStringLiteral("Prev"));
    QCOMPARE(commands.last().at(0).toString(), QStringLiteral("Play"));
    for (const QList<QVariant> &command : std::as_const(commands))
        plays += command.at(0).toString() == u"Play";
    QCOMPARE(plays, 1);
    QCOMPARE(player->fileName(),
             QCoreApplication::applicationDirPath() + QStringLiteral("/Zikan.wav"));
}

void TestClockWindow::scoreStopsTheClockThenStartRestarts()
{
    clickButton(m_window, QStringLiteral("cmdスタート"));
    runUntil(NineOClock + 30 * Minute + 5 * Second);
    QCOMPARE(remaining(), QStringLiteral("0:50"));
    clickButton(m_window, QStringLiteral("cmd得点"));
    QVERIFY(!timer(m_window)->isActive());
    QCOMPARE(remaining(), QString());
    QCOMPARE(m_window->RemainMinutes, 50);

    m_now = NineOClock + 31 * Minute + 10 * Second;
    clickButton(m_window, QStringLiteral("cmdスタート"));
    QCOMPARE(remaining(), QStringLiteral("1:20"));
    tickAt(NineOClock + 32 * Minute);
    QCOMPARE(remaining(), QStringLiteral("1:19"));
}

void TestClockWindow::startRestartsFromAnyState()
{
    clickButton(m_window, QStringLiteral("cmdスタート"));
    runUntil(NineOClock + 81 * Minute);
    QCOMPARE(remaining(), QStringLiteral("0:00"));
    QVERIFY(!timer(m_window)->isActive());

    clickButton(m_window, QStringLiteral("cmdスタート")); // after run-out
    QCOMPARE(remaining(), QStringLiteral("1:20"));
    QVERIFY(timer(m_window)->isActive());
    runUntil(m_now + 3 * Minute);
    QCOMPARE(remaining(), QStringLiteral("1:17"));
    clickButton(m_window, QStringLiteral("cmdスタート")); // while running
    QCOMPARE(remaining(), QStringLiteral("1:20"));
}

void TestClockWindow::exitWhileRunningPlaysNoChime()
{
    clickButton(m_window, QStringLiteral("cmdスタート"));
    QPointer<QTimer> clock = timer(m_window);
    m_window->mnuExit_Click();
    QVERIFY(!clock || !clock->isActive());
}

// The program carries on without its chime, or without the module that sounds it: the clock
// still stops at "0:00", the student is told once why nothing sounded, and the window asks for
// attention instead. A chime that is back before the next time-up is opened at the next tick and
// sounds. The run happens in a copy of this test with only one of the two beside it.
void TestClockWindow::chimeMissingAtStartThenBack_data()
{
    QTest::addColumn<QString>("present"); // the one of the two copied beside the test
    QTest::addColumn<QString>("warning"); // said once; %1 stands for the copy's folder
    QTest::addRow("chime_missing") << QString::fromLatin1(platform::SoundModuleFileName)
                                   << QStringLiteral("%1/Zikan.wav cannot be read");
    QTest::addRow("sound_module_missing")
        << QStringLiteral("Zikan.wav") << QStringLiteral("the sound module cannot be loaded");
}

void TestClockWindow::chimeMissingAtStartThenBack()
{
    QFETCH(QString, present);
    QFETCH(QString, warning);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString copy = folder.filePath(QStringLiteral("tst_clockwindow"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner));
    const QString here = QCoreApplication::applicationDirPath() + u'/';
    QVERIFY(QFile::copy(here + present, folder.filePath(present)));
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("KOKUGO_CHIME"), here + QStringLiteral("Zikan.wav"));

    QString output;
    runChild(copy, QStringLiteral("chimeMissingAtStartThenBack_child"), environment, &output);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(output.count(warning.replace(QStringLiteral("%1"), folder.path())), 1);
}

void TestClockWindow::chimeMissingAtStartThenBack_child()
{
    if (qEnvironmentVariableIsEmpty("KOKUGO_CHIME"))
        QSKIP("runs only in the copy made by chimeMissingAtStartThenBack");
    const QString chime = QCoreApplication::applicationDirPath() + QStringLiteral("/Zikan.wav");
    const bool chimeMissing = !QFile::exists(chime);
    auto *player = control<platform::MciPlayer>(m_window, QStringLiteral("MMControl1"));
    QSignalSpy failed(player, &platform::MciPlayer::playFailed);
    clickButton(m_window, QStringLiteral("cmdスタート"));
    runUntil(NineOClock + 90 * Minute);
    QCOMPARE(remaining(), QStringLiteral("0:00"));
    QVERIFY(!timer(m_window)->isActive());
    QCOMPARE(failed.count(), 1);

    if (chimeMissing)
        QVERIFY(QFile::copy(qEnvironmentVariable("KOKUGO_CHIME"), chime));
    clickButton(m_window, QStringLiteral("cmdスタート"));
    tickAt(m_now + Second);
    if (chimeMissing)
        QTRY_VERIFY(player->isOpen());
    runUntil(m_now + 90 * Minute);
    QCOMPARE(remaining(), QStringLiteral("0:00"));
    QCOMPARE(player->isOpen(), chimeMissing);
    // The second time-up sounds, where the machine has an audio output and the module is there.
    QCOMPARE(failed.count(), chimeMissing && !QMediaDevices::audioOutputs().isEmpty() ? 1 : 2);
}

// The tick opens the player every second; only the first open reads the file.
void TestClockWindow::playerOpensTheFileOnce()
{
    auto *player = control<platform::MciPlayer>(m_window, QStringLiteral("MMControl1"));
    clickButton(m_window, QStringLiteral("cmdスタート"));
    runUntil(NineOClock + 10 * Minute);
    QCOMPARE(player->openCount(), 1);
    clickButton(m_window, QStringLiteral("cmdスタート"));
    runUntil(NineOClock + 12 * Minute);
    QCOMPARE(player->openCount(), 1);
}

// An exam left behind in the state file is taken up at the next start, through the program's own
// start-up: its length, its ticks, and its clock if it was started, running on or run out; a
// time-up that passed meanwhile is announced then, once. A file the program did not write is
// reported once, removed, and the exam starts afresh.
void TestClockWindow::resumesAnExamLeftBehind_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("chimes");
    QTest::addColumn<bool>("valid");

    const QHash<int, QByteArray> ticks {{1, "1"}, {10, "16"}, {34, "5"}};
    const QStringList ticked {QStringLiteral("1(1)"), QStringLiteral("10(1)"),
                              QStringLiteral("10(6)"), QStringLiteral("34(5)")};
    const QByteArray boot = platform::bootIdentity();
    // Started at 8:30:42, so 30 boundaries have passed by 9:00:42.
    QTest::addRow("clock_running_for_30min") << stateFile(ticks, startedAgo(30 * Minute)) << ticked
                                             << QStringLiteral("0:50") << true << false << true;
    QTest::addRow("clock_started_in_the_last_minute")
        << stateFile({}, startedAgo(79 * Minute + 30 * Second)) << QStringList()
        << QStringLiteral("0:01") << true << false << true;
    // The wall clock was 10 minutes ahead at Start and is right now; the elapsed clock counts.
    QTest::addRow("same_boot_started_in_the_future")
        << stateFile(ticks, clockLine(Now + 10 * Minute, 30 * Minute, Minute, 0, boot)) << ticked
        << QStringLiteral("0:50") << true << false << true;
    // After a reboot: 20 minutes run at the save, 5 minutes ago.
    QTest::addRow("after_a_reboot")
        << stateFile(ticks, clockLine(Now - 30 * Minute, 0, 20 * Minute, 5 * Minute, "0ther"))
        << ticked << QStringLiteral("0:55") << true << false << true;
    QTest::addRow("sitting_of_104_minutes")
        << stateFile({}, startedAgo(30 * Minute), 104) << QStringList() << QStringLiteral("1:14")
        << true << false << true;
    QTest::addRow("time_ran_out_while_away")
        << stateFile(ticks, startedAgo(125 * Minute, 60 * Minute)) << ticked
        << QStringLiteral("0:00") << false << true << true;
    QTest::addRow("time_ran_out_before_the_crash")
        << stateFile(ticks, startedAgo(125 * Minute, 85 * Minute)) << ticked
        << QStringLiteral("0:00") << false << false << true;
    QTest::addRow("first_version")
        << stateFile(ticks, "started " + QByteArray::number(Now - 30 * Minute))
               .replace("state 2\nminutes 80", "state 1")
        << ticked << QStringLiteral("0:50") << true << false << true;
    QTest::addRow("scored_before_the_crash")
        << stateFile(ticks, "stopped") << ticked << QString() << false << false << true;
    QTest::addRow("box_that_does_not_exist") << stateFile({{1, "6"}}, "stopped") << QStringList()
                                             << QString() << false << false << false;
    QTest::addRow("cut_short") << stateFile(ticks, startedAgo(Minute)).chopped(3) << QStringList()
                               << QString() << false << false << false;
}

void TestClockWindow::resumesAnExamLeftBehind()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, ticked);
    QFETCH(QString, shown);
    QFETCH(bool, running);
    QFETCH(bool, chimes);
    QFETCH(bool, valid);
    if (QTest::currentDataTag() == QByteArrayView("same_boot_started_in_the_future")
        && platform::bootIdentity().isEmpty())
        QSKIP("the system does not tell its boots apart");
    QVERIFY(QDir().mkpath(QFileInfo(stateFilePath()).path()));
    QFile saved(stateFilePath());
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write(file);
    saved.close();
    auto *player = control<platform::MciPlayer>(m_window, QStringLiteral("MMControl1"));
    QSignalSpy commands(player, &platform::MciPlayer::commandDone);
    QSignalSpy failed(player, &platform::MciPlayer::playFailed);

    // One warning about the state, and only for a file the program did not write.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^kokugo-mogi: (?!the chime)")));
    if (!valid)
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("is not a state this program saved")));
    exam::showExamWindow(); // takes the window open on the injected clocks
    QCOMPARE(tickedBoxes(m_window), ticked);
    QCOMPARE(remaining(), shown);
    QCOMPARE(timer(m_window)->isActive(), running);
    QTRY_COMPARE(QFile::exists(stateFilePath()), valid);
    QStringList said;
    for (const QList<QVariant> &command : std::as_const(commands))
        said << command.at(0).toString();
    // The chime, or where it cannot sound the window's alert and bell, as at "0:00".
    QCOMPARE(said.count(QStringLiteral("Play")), chimes ? 1 : 0);
    QCOMPARE(failed.count(), chimes && QMediaDevices::audioOutputs().isEmpty() ? 1 : 0);

    if (running) {
        const int minutes = m_window->RemainMinutes;
        tickAt(NineOClock + Minute);
        QCOMPARE(int(m_window->RemainMinutes), minutes - 1);
    }
    if (!valid || shown.isEmpty())
        return;
    // Saved afresh in this boot with the time run so far, so a time-up is announced only once.
    const auto savedClock = [] {
        QFile now(stateFilePath());
        const std::optional<exam::SavedExam> exam
            = now.open(QIODevice::ReadOnly) ? exam::decodeExam(now.readAll()) : std::nullopt;
        return exam && exam->clock ? exam->clock : std::nullopt;
    };
    QTRY_VERIFY(savedClock() && savedClock()->savedAt >= Now);
    QCOMPARE(savedClock()->boot, platform::bootIdentity());
    if (shown == u"0:00")
        QVERIFY(savedClock()->ran >= 80 * Minute - 42 * Second);
}

void TestClockWindow::normalEndLeavesNothingBehind_data()
{
    QTest::addColumn<bool>("exit");
    QTest::addColumn<bool>("help");
    QTest::addRow("exit") << true << false;
    QTest::addRow("close_button") << false << false;
    // The program lives on with the help window, but the sitting is over.
    QTest::addRow("close_button_help_left_open") << false << true;
}

void TestClockWindow::normalEndLeavesNothingBehind()
{
    QFETCH(bool, exit);
    QFETCH(bool, help);
    exam::showExamWindow();
    clickBox(m_window, 3, 2);
    clickButton(m_window, QStringLiteral("cmdスタート"));
    QTRY_VERIFY(QFile::exists(stateFilePath()));
    if (help)
        m_window->mnuAbout_Click();
    // A save still on its way must not bring the file back.
    clickBox(m_window, 4, 1);
    if (exit)
        m_window->mnuExit_Click();
    else
        m_window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!QFile::exists(stateFilePath()));
    QCOMPARE(platform::forms::instance(reference::helpWindowName()) != nullptr, help);
    // The lock is free at once, so the next start is a normal one.
    QLockFile lock(QFileInfo(stateFilePath()).path() + QStringLiteral("/exam.lock"));
    QVERIFY(lock.tryLock(0));
    lock.unlock();
    QVERIFY(!QFile::exists(stateFilePath()));

    exam::showExamWindow();
    auto *next = dynamic_cast<ExamWindow *>(platform::forms::instance(ExamWindow::designName()));
    QVERIFY(next);
    QCOMPARE(tickedBoxes(next), QStringList());
    QCOMPARE(caption(next, QStringLiteral("lbl秒")), QString());
    QVERIFY(!timer(next)->isActive());
}

// What stands where the state file goes: a link is never written through but replaced, whether
// it was there at the start or put there during the sitting; a folder, a pipe or a file that
// cannot be read is reported once, to the student too, and left as it is.
void TestClockWindow::somethingElseInItsPlace_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<bool>("kept");
    QTest::addRow("link_at_the_start")
        << QStringLiteral("link") << QStringLiteral("is a symbolic link") << false;
    QTest::addRow("link_swapped_in_during_the_sitting")
        << QStringLiteral("swap") << QString() << false;
    QTest::addRow("folder") << QStringLiteral("folder")
                            << QStringLiteral("is a folder, not a state file; it is left alone")
                            << true;
    QTest::addRow("pipe") << QStringLiteral("pipe") << QStringLiteral("is a pipe") << true;
    QTest::addRow("unreadable") << QStringLiteral("unreadable")
                                << QStringLiteral("cannot be read \\(.+\\); it is left as it is")
                                << true;
}

void TestClockWindow::somethingElseInItsPlace()
{
    QFETCH(QString, what);
    QFETCH(QString, warning);
    QFETCH(bool, kept);
    if (what == u"unreadable" && ::geteuid() == 0)
        QSKIP("the superuser reads every file");
    const QString path = stateFilePath();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QTemporaryFile target;
    QVERIFY(target.open());
    target.write("someone else's\n");
    target.close();
    const QByteArray path8 = QFile::encodeName(path);
    if (what == u"link")
        QVERIFY(QFile::link(target.fileName(), path));
    else if (what == u"folder")
        QVERIFY(QDir().mkdir(path));
    else if (what == u"pipe")
        QCOMPARE(::mkfifo(path8.constData(), 0600), 0);
    else if (what == u"unreadable")
        QVERIFY(QFile::copy(target.fileName(), path) && QFile::setPermissions(path, {}));
    const bool told = kept;

    QTest::failOnWarning(QRegularExpression(QStringLiteral("^kokugo-mogi: (?!the chime)")));
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    exam::showExamWindow();
    if (what == u"swap") {
        clickBox(m_window, 1, 1);
        QTRY_VERIFY(QFileInfo(path).isFile());
        QVERIFY(QFile::remove(path) && QFile::link(target.fileName(), path));
    }
    clickBox(m_window, 2, 3);
    clickBox(m_window, 2, 4);
    QCOMPARE(stateWarning() != nullptr, told);
    if (!kept) {
        QTRY_VERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
        QTRY_VERIFY(QFile(path).size() > 0);
    }
    QFile untouched(target.fileName());
    QVERIFY(untouched.open(QIODevice::ReadOnly));
    QCOMPARE(untouched.readAll(), QByteArray("someone else's\n"));

    closeAllWindows();
    QCOMPARE(QFileInfo::exists(path), kept);
    if (what == u"folder")
        QDir().rmdir(path);
    else
        QFile::remove(path);
}

// A run killed outright after ticks and Start is taken up by the next start, ticks and running
// clock. A second start meanwhile brings that sitting forward and ends at once; one that finds the
// sitting's program hung says so and runs a sitting of its own. Neither touches the first one's.
void TestClockWindow::survivesAKill()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString self = QCoreApplication::applicationFilePath();
    const QString function = QStringLiteral("sitting_child");

    QProcess sitter;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KOKUGO_CHILD"), QStringLiteral("1"));
    environment.insert(stateHome(folder.path(), QStringLiteral("sit")));
    sitter.setProcessEnvironment(environment);
    sitter.start(self, {function});
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += sitter.readAllStandardOutput()).contains("sitting"), 30000);

    // The program itself, started again.
    QProcess second;
    second.setProcessEnvironment(environment);
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/kokugo-mogi");
    second.start(program);
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(!second.readAllStandardError().contains("kokugo-mogi:"));

    ::kill(pid_t(sitter.processId()), SIGSTOP);
    second.start(program);
    QByteArray complaint;
    QTRY_VERIFY_WITH_TIMEOUT(
        (complaint += second.readAllStandardError()).contains("and does not answer"), 30000);
    second.kill();
    QVERIFY(second.waitForFinished(10000));
    ::kill(pid_t(sitter.processId()), SIGCONT);

    sitter.kill();
    QVERIFY(sitter.waitForFinished(10000));
    QCOMPARE(sitter.exitStatus(), QProcess::CrashExit);
    QString output;
    runChild(self, function, stateHome(folder.path(), QStringLiteral("resume")), &output);
    if (QTest::currentTestFailed())
        return;
    runChild(self, function, stateHome(folder.path(), QStringLiteral("fresh")), &output);
}

// The exam goes on, with one warning.
void TestClockWindow::unwritableStateFolder()
{
    QTemporaryFile inTheWay;
    QVERIFY(inTheWay.open());
    QString output;
    runChild(QCoreApplication::applicationFilePath(), QStringLiteral("sitting_child"),
             stateHome(inTheWay.fileName(), QStringLiteral("intrude")), &output);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(output.count(QStringLiteral("will not survive a crash")), 1);
}

// One start of the program in a child, on the real clocks; what it does is KOKUGO_SCENARIO.
void TestClockWindow::sitting_child()
{
    const QString scenario = qEnvironmentVariable("KOKUGO_SCENARIO");
    if (scenario.isEmpty())
        QSKIP("runs only in the children of survivesAKill and unwritableStateFolder");
    closeAllWindows(); // the window init opened runs on made-up clocks
    exam::showExamWindow();
    auto *window = dynamic_cast<ExamWindow *>(platform::forms::instance(ExamWindow::designName()));
    QVERIFY(window);
    const QStringList sat {QStringLiteral("2(3)"), QStringLiteral("31(1)"),
                           QStringLiteral("31(4)")};

    if (scenario == u"sit") {
        clickBox(window, 2, 3);
        clickBox(window, 31, 1);
        clickBox(window, 31, 4);
        clickButton(window, QStringLiteral("cmdスタート"));
        std::puts("sitting");
        std::fflush(stdout);
        QTest::qWait(60000);
        QFAIL("was not killed");
    } else if (scenario == u"resume") {
        QCOMPARE(tickedBoxes(window), sat);
        QVERIFY(timer(window)->isActive());
        const QString shown = caption(window, QStringLiteral("lbl秒"));
        QVERIFY2(shown == u"1:20" || shown == u"1:19" || shown == u"1:18", qPrintable(shown));
        window->mnuExit_Click();
    } else {
        QCOMPARE(tickedBoxes(window), QStringList());
        QCOMPARE(caption(window, QStringLiteral("lbl秒")), QString());
        if (scenario == u"intrude") {
            clickBox(window, 5, 5);
            clickButton(window, QStringLiteral("cmdスタート"));
            window->mnuExit_Click();
        }
    }
}

QTEST_MAIN(TestClockWindow)
#include "tst_clockwindow.moc"
