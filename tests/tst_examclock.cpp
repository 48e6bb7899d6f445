#include "exam/examclock.h"

#include <QRandomGenerator>
#include <QTest>

using namespace exam;

namespace {

constexpr qint64 Second = 1000;
constexpr qint64 Minute = 60 * Second;
// 2026-12-08 09:00:00 UTC, a minute boundary.
constexpr qint64 NineOClock = 1796720400000;

} // namespace

class TestExamClock : public QObject
{
    Q_OBJECT

private slots:
    void format_data();
    void format();
    void firstStepComesAtTheNextBoundary_data();
    void firstStepComesAtTheNextBoundary();
    void wholeRunWithJitter_data();
    void wholeRunWithJitter();
    void lateAndDoubledTicks();
    void restartWhileRunning();
    void clockSetBackHoldsTheTime();
    void suspendedMachineCatchesUp();
    void neverBelowZero();
    void programFolder_data();
    void programFolder();
};

void TestExamClock::format_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("text");
    QTest::addRow("start") << 80 << QStringLiteral("1:20");
    QTest::addRow("sixty_one") << 61 << QStringLiteral("1:01");
    QTest::addRow("one_hour") << 60 << QStringLiteral("1:00");
    QTest::addRow("fifty_nine") << 59 << QStringLiteral("0:59");
    QTest::addRow("ten") << 10 << QStringLiteral("0:10");
    QTest::addRow("one") << 1 << QStringLiteral("0:01");
    QTest::addRow("time_up") << 0 << QStringLiteral("0:00");
}

void TestExamClock::format()
{
    QFETCH(int, minutes);
    QFETCH(QString, text);
    QCOMPARE(formatRemaining(0, minutes, 0), text);
}

void TestExamClock::firstStepComesAtTheNextBoundary_data()
{
    QTest::addColumn<qint64>("pressedBeforeBoundary");
    QTest::addRow("10s_before") << 10 * Second;
    QTest::addRow("59s_before") << 59 * Second;
    QTest::addRow("just_after_a_boundary") << 59999LL;
    QTest::addRow("1ms_before") << 1LL;
}

void TestExamClock::firstStepComesAtTheNextBoundary()
{
    QFETCH(qint64, pressedBeforeBoundary);
    const qint64 boundary = NineOClock + 5 * Minute;
    ExamClock clock;
    clock.start(boundary - pressedBeforeBoundary);
    QCOMPARE(clock.minutesLeft(boundary - pressedBeforeBoundary), 80);
    QCOMPARE(clock.minutesLeft(boundary - 1), 80);
    QCOMPARE(clock.minutesLeft(boundary), 79);
    QCOMPARE(clock.minutesLeft(boundary + Minute - 1), 79);
    QCOMPARE(clock.minutesLeft(boundary + Minute), 78);
}

void TestExamClock::wholeRunWithJitter_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 20261208u, 4242u})
        QTest::addRow("seed_%u", seed) << seed;
}

// Ticks every 0.9 to 1.1 seconds, so some minutes get no tick in second 0 and some get two:
// time is still up exactly on the first tick at or after the 80th boundary.
void TestExamClock::wholeRunWithJitter()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    const qint64 pressed = NineOClock + random.bounded(60000);
    ExamClock clock;
    clock.start(pressed);

    const qint64 timeUp = NineOClock + 80 * Minute;
    int shown = 80;
    qint64 now = pressed;
    while (shown > 0) {
        now += 900 + random.bounded(201);
        const int left = clock.minutesLeft(now);
        QVERIFY2(left == shown || left == shown - 1,
                 qPrintable(QStringLiteral("jumped from %1 to %2").arg(shown).arg(left)));
        QCOMPARE(left, int(80 - (now - NineOClock) / Minute));
        shown = left;
    }
    QVERIFY(now >= timeUp);
    QVERIFY(now < timeUp + 1100);
}

// A tick late in second 59 and the next in second 1 still count the minute; two ticks in the
// same second 0 count it once.
void TestExamClock::lateAndDoubledTicks()
{
    ExamClock clock;
    clock.start(NineOClock + 30 * Second);
    QCOMPARE(clock.minutesLeft(NineOClock + 59 * Second + 900), 80);
    QCOMPARE(clock.minutesLeft(NineOClock + Minute + 1000), 79);
    QCOMPARE(clock.minutesLeft(NineOClock + 2 * Minute + 50), 78);
    QCOMPARE(clock.minutesLeft(NineOClock + 2 * Minute + 950), 78);
}

void TestExamClock::restartWhileRunning()
{
    ExamClock clock;
    clock.start(NineOClock);
    QCOMPARE(clock.minutesLeft(NineOClock + 30 * Minute + 5 * Second), 50);
    clock.start(NineOClock + 30 * Minute + 20 * Second);
    QCOMPARE(clock.minutesLeft(NineOClock + 30 * Minute + 59 * Second), 80);
    QCOMPARE(clock.minutesLeft(NineOClock + 31 * Minute), 79);

    // Start after run-out.
    QCOMPARE(clock.minutesLeft(NineOClock + 200 * Minute), 0);
    clock.start(NineOClock + 200 * Minute + Second);
    QCOMPARE(clock.minutesLeft(NineOClock + 200 * Minute + 2 * Second), 80);
}

void TestExamClock::clockSetBackHoldsTheTime()
{
    ExamClock clock;
    clock.start(NineOClock);
    QCOMPARE(clock.minutesLeft(NineOClock + 10 * Minute), 70);
    QCOMPARE(clock.minutesLeft(NineOClock + 5 * Minute), 70);      // set back five minutes
    QCOMPARE(clock.minutesLeft(NineOClock - 10 * Minute), 70);     // even before Start
    QCOMPARE(clock.minutesLeft(NineOClock + 10 * Minute + 1), 70); // back where it was
    QCOMPARE(clock.minutesLeft(NineOClock + 11 * Minute), 69);
}

void TestExamClock::suspendedMachineCatchesUp()
{
    ExamClock clock;
    clock.start(NineOClock + 15 * Second);
    QCOMPARE(clock.minutesLeft(NineOClock + 3 * Minute), 77);
    QCOMPARE(clock.minutesLeft(NineOClock + 13 * Minute + 2 * Second), 67);
}

void TestExamClock::neverBelowZero()
{
    ExamClock clock;
    clock.start(NineOClock);
    QCOMPARE(clock.minutesLeft(NineOClock + 79 * Minute), 1);
    QCOMPARE(clock.minutesLeft(NineOClock + 80 * Minute), 0);
    QCOMPARE(clock.minutesLeft(NineOClock + 1000 * Minute), 0);
    QCOMPARE(formatRemaining(0, -5, 0), QStringLiteral("0:00"));
}

void TestExamClock::programFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("chime");
    QTest::addRow("ordinary") << QStringLiteral("/usr/lib/kokugo-mogi")
                              << QStringLiteral("/usr/lib/kokugo-mogi/Zikan.wav");
    QTest::addRow("already_ends_in_slash")
        << QStringLiteral("/opt/exam/") << QStringLiteral("/opt/exam/Zikan.wav");
    QTest::addRow("root") << QStringLiteral("/") << QStringLiteral("/Zikan.wav");
}

void TestExamClock::programFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, chime);
    QCOMPARE(withTrailingSeparator(folder) + QStringLiteral("Zikan.wav"), chime);
}

QTEST_APPLESS_MAIN(TestExamClock)
#include "tst_examclock.moc"
