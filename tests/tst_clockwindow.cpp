#include "examtestutil.h"

#include "exam/startup.h"
#include "platform/mciplayer.h"
#include "platform/soundbackend.h"

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdio>

using namespace testutil;

namespace {

constexpr qint64 Second = 1000;
constexpr qint64 Minute = 60 * Second;
constexpr qint64 NineOClock = 1796720400000; // a minute boundary
// The wall clock when each test begins.
constexpr qint64 Now = NineOClock + 42 * Second;

// A state file as the program writes it: a ticks line with one word per slot, all "-" but those
// given, and the clock.
QByteArray stateFile(const QHash<int, QByteArray> &ticks, const QByteArray &clock)
{
    QByteArray file = "kokugo-mogi exam state 1\nticks";
    for (int k = 1; k <= exam::SlotCount; ++k)
        file += ' ' + ticks.value(k, "-");
    return file + "\nclock " + clock + '\n';
}

QByteArray startedAgo(qint64 msecs)
{
    return "started " + QByteArray::number(Now - msecs);
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
// start-up: its ticks, and its clock if it was started, running on or run out. A file the program
// did not write is reported once, removed, and the exam starts afresh.
void TestClockWindow::resumesAnExamLeftBehind_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("valid");

    const QHash<int, QByteArray> ticks {{1, "1"}, {10, "16"}, {34, "5"}};
    const QStringList ticked {QStringLiteral("1(1)"), QStringLiteral("10(1)"),
                              QStringLiteral("10(6)"), QStringLiteral("34(5)")};
    // Started at 8:30:42, so 30 boundaries have passed by 9:00:42.
    QTest::addRow("clock_running_for_30min") << stateFile(ticks, startedAgo(30 * Minute)) << ticked
                                             << QStringLiteral("0:50") << true << true;
    QTest::addRow("clock_started_in_the_last_minute")
        << stateFile({}, startedAgo(79 * Minute + 30 * Second)) << QStringList()
        << QStringLiteral("0:01") << true << true;
    QTest::addRow("time_ran_out_while_away") << stateFile(ticks, startedAgo(125 * Minute)) << ticked
                                             << QStringLiteral("0:00") << false << true;
    QTest::addRow("scored_before_the_crash")
        << stateFile(ticks, "stopped") << ticked << QString() << false << true;
    QTest::addRow("box_that_does_not_exist")
        << stateFile({{1, "6"}}, "stopped") << QStringList() << QString() << false << false;
    QTest::addRow("cut_short") << stateFile(ticks, startedAgo(Minute)).chopped(3) << QStringList()
                               << QString() << false << false;
}

void TestClockWindow::resumesAnExamLeftBehind()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, ticked);
    QFETCH(QString, shown);
    QFETCH(bool, running);
    QFETCH(bool, valid);
    QVERIFY(QDir().mkpath(QFileInfo(stateFilePath()).path()));
    QFile saved(stateFilePath());
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write(file);
    saved.close();
    auto *player = control<platform::MciPlayer>(m_window, QStringLiteral("MMControl1"));
    QSignalSpy commands(player, &platform::MciPlayer::commandDone);

    // One warning about the state, and only for a file the program did not write.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^kokugo-mogi: (?!the chime)")));
    if (!valid)
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("is not a state this program saved")));
    exam::showExamWindow(); // takes the window open on the injected clocks
    QCOMPARE(tickedBoxes(m_window), ticked);
    QCOMPARE(remaining(), shown);
    QCOMPARE(timer(m_window)->isActive(), running);
    QCOMPARE(QFile::exists(stateFilePath()), valid);
    QCOMPARE(commands.count(), 0);

    if (running) {
        const int minutes = m_window->RemainMinutes;
        tickAt(NineOClock + Minute);
        QCOMPARE(int(m_window->RemainMinutes), minutes - 1);
    }
}

void TestClockWindow::normalEndLeavesNothingBehind_data()
{
    QTest::addColumn<bool>("exit");
    QTest::addRow("exit") << true;
    QTest::addRow("close_button") << false;
}

void TestClockWindow::normalEndLeavesNothingBehind()
{
    QFETCH(bool, exit);
    exam::showExamWindow();
    clickBox(m_window, 3, 2);
    clickButton(m_window, QStringLiteral("cmdスタート"));
    QVERIFY(QFile::exists(stateFilePath()));
    if (exit)
        m_window->mnuExit_Click();
    else
        m_window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!QFile::exists(stateFilePath()));

    exam::showExamWindow();
    auto *next = dynamic_cast<ExamWindow *>(platform::forms::instance(ExamWindow::designName()));
    QVERIFY(next);
    QCOMPARE(tickedBoxes(next), QStringList());
    QCOMPARE(caption(next, QStringLiteral("lbl秒")), QString());
    QVERIFY(!timer(next)->isActive());
}

// A run killed outright after ticks and Start is taken up by the next start, ticks and running
// clock. A second instance meanwhile neither takes it up nor overwrites it.
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

    QString output;
    runChild(self, function, stateHome(folder.path(), QStringLiteral("intrude")), &output);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(output.count(QStringLiteral("another kokugo-mogi is running")), 1);

    sitter.kill();
    QVERIFY(sitter.waitForFinished(10000));
    QCOMPARE(sitter.exitStatus(), QProcess::CrashExit);
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
