#include "examtestutil.h"

#include "platform/mciplayer.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

using namespace testutil;

namespace {

constexpr qint64 NineOClock = 1796720400000; // a minute boundary
constexpr qint64 Minute = 60000;

// The loudest 16-bit sample recorded so far, skipping the WAV header.
int peakOf(const QString &recording)
{
    QFile file(recording);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray data = file.readAll();
    int peak = 0;
    for (qsizetype i = 44; i + 1 < data.size(); i += 2) {
        const qint16 sample = qFromLittleEndian<qint16>(data.constData() + i);
        peak = std::max(peak, std::abs(int(sample)));
    }
    return peak;
}

// Sits a whole exam on an injected clock until time is up.
void runOutTheClock(ExamWindow *window)
{
    qint64 now = NineOClock + 17000;
    window->setTimeSources([&now] { return now; }, [&now] { return now; });
    clickButton(window, QStringLiteral("cmdスタート"));
    while (timer(window)->isActive() && now < NineOClock + 90 * Minute) {
        now += 1000;
        window->tmr時間_Timer();
    }
    const auto later = [] {
        return NineOClock + 90 * Minute;
    };
    window->setTimeSources(later, later);
}

} // namespace

// The chime heard: the test command runs a sound server whose only output is a null sink, and
// this test records that sink while the exam runs out.
class TestChime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpProgram(); }
    void cleanup() { closeAllWindows(); }

    void chimeIsHeardAtTimeUp();
    void noAudioDevice();
    void noAudioDevice_child();
};

void TestChime::chimeIsHeardAtTimeUp()
{
    const QString sink = qEnvironmentVariable("KOKUGO_TEST_SINK");
    if (sink.isEmpty())
        QSKIP("needs the sound server that ./dev.sh test starts (KOKUGO_TEST_SINK names its sink)");
    if (QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
        QSKIP("needs parec (pulseaudio-utils) to record the chime");
    QTemporaryDir folder;
    const QString recording = folder.filePath(QStringLiteral("chime.wav"));
    QProcess recorder;
    recorder.start(QStringLiteral("parec"),
                   {QStringLiteral("-d"), sink + QStringLiteral(".monitor"),
                    QStringLiteral("--file-format=wav"), recording});
    QVERIFY(recorder.waitForStarted());

    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    // As the program does once its window is drawn: the first tick then finds the module loaded.
    control<platform::MciPlayer>(window, QStringLiteral("MMControl1"))->loadModuleAhead();
    QTRY_VERIFY(QFile::exists(recording));
    runOutTheClock(window);
    QCOMPARE(caption(window, QStringLiteral("lbl秒")), QStringLiteral("0:00"));

    QTRY_VERIFY_WITH_TIMEOUT(peakOf(recording) > 3000, 15000);
    recorder.terminate();
    QVERIFY(recorder.waitForFinished(5000));
}

// Without a sound device the exam still runs out; the student is told once why nothing sounded,
// and the window asks for attention instead.
void TestChime::noAudioDevice()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KOKUGO_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/pulse"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("noAudioDevice_child")});
    QVERIFY(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("PASS   : TestChime::noAudioDevice_child")),
             qPrintable(output));
    QCOMPARE(output.count(QStringLiteral("the chime cannot sound")), 1);
    QVERIFY(output.contains(QStringLiteral("no audio output device")));
}

void TestChime::noAudioDevice_child()
{
    if (qEnvironmentVariableIsEmpty("KOKUGO_CHILD"))
        QSKIP("runs only in the child started by noAudioDevice");
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    QSignalSpy failed(control<platform::MciPlayer>(window, QStringLiteral("MMControl1")),
                      &platform::MciPlayer::playFailed);
    runOutTheClock(window);
    QCOMPARE(caption(window, QStringLiteral("lbl秒")), QStringLiteral("0:00"));
    QVERIFY(!timer(window)->isActive());
    QCOMPARE(failed.count(), 1);
}

QTEST_MAIN(TestChime)
#include "tst_chime.moc"
