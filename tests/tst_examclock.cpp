#include "exam/examclock.h"

#include <QRandomGenerator>
#include <QTest>

using namespace exam;

namespace {

constexpr qint64 Second = 1000;
constexpr qint64 Minute = 60 * Second;
// 2026-12-08 09:00:00 UTC, a minute boundary.
constexpr qint64 NineOClock = 1796720400000;
// Any reading of the elapsed clock: it counts from boot, not from the epoch.
constexpr qint64 BootTime = 3 * 3600 * Second + 123;

// Both clocks of a machine, moved on by hand.
struct Machine
{
    qint64 wall = NineOClock;
    qint64 elapsed = BootTime;

    void wait(qint64 msecs)
    {
        wall += msecs;
        elapsed += msecs;
    }
    ExamClock clock()
    {
        return ExamClock([this] { return wall; }, [this] { return elapsed; });
    }
};

} // namespace

class TestExamClock : public QObject
{
    Q_OBJECT

private slots:
    void format_data();
    void format();
    void firstStepComesAtTheNextBoundary_data();
    void firstStepComesAtTheNextBoundary();
    void wholeRun_data();
    void wholeRun();
    void restartWhileRunning();
    void resumeAfterRestart_data();
    void resumeAfterRestart();
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
    QTest::addRow("below_zero") << -5 << QStringLiteral("0:00");
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
    Machine machine;
    machine.wall = NineOClock + 5 * Minute - pressedBeforeBoundary;
    ExamClock clock = machine.clock();
    clock.start();
    QCOMPARE(clock.minutesLeft(), 80);
    machine.wait(pressedBeforeBoundary - 1);
    QCOMPARE(clock.minutesLeft(), 80);
    machine.wait(1);
    QCOMPARE(clock.minutesLeft(), 79);
    machine.wait(Minute - 1);
    QCOMPARE(clock.minutesLeft(), 79);
    machine.wait(1);
    QCOMPARE(clock.minutesLeft(), 78);
}

// A whole exam ticked every 0.9 to 1.1 seconds, with now and then a doubled tick (two within
// 20 ms) or a skipped one (none for 2 seconds), so some minutes get no tick in second 0 and some
// get two. On the way the wall clock may be set forward or back, and the machine may sleep.
// Whatever happens, the time shown after every tick is 80 less the wall-clock minute boundaries
// that real time has passed since Start, counting time asleep and ignoring the wall clock's steps.
void TestExamClock::wholeRun_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<qint64>("stepAt"); // real time since Start, or -1 for none
    QTest::addColumn<qint64>("wallStep");
    QTest::addColumn<qint64>("sleepAt"); // real time since Start, or -1 for none
    QTest::addColumn<qint64>("sleep");
    for (quint32 seed : {1u, 2u, 3u, 20261208u, 4242u})
        QTest::addRow("jitter_seed_%u", seed) << seed << -1LL << 0LL << -1LL << 0LL;
    QTest::addRow("wall_clock_set_forward_45min")
        << 5u << 20 * Minute << 45 * Minute << -1LL << 0LL;
    QTest::addRow("wall_clock_set_back_30min") << 6u << 20 * Minute << -30 * Minute << -1LL << 0LL;
    QTest::addRow("wall_clock_set_back_before_start")
        << 7u << 3 * Minute << -26 * 3600 * Second << -1LL << 0LL;
    QTest::addRow("wall_clock_set_forward_25s") << 8u << 10 * Minute << 25 * Second << -1LL << 0LL;
    QTest::addRow("wall_clock_forward_in_last_minute")
        << 9u << 79 * Minute + 10 * Second << 10 * Minute << -1LL << 0LL;
    QTest::addRow("wall_clock_back_in_last_minute")
        << 10u << 79 * Minute + 10 * Second << -10 * Minute << -1LL << 0LL;
    QTest::addRow("suspend_10min") << 11u << -1LL << 0LL << 30 * Minute << 10 * Minute;
    QTest::addRow("suspend_past_time_up") << 12u << -1LL << 0LL << 75 * Minute << 3 * 3600 * Second;
    QTest::addRow("suspend_then_wall_clock_back")
        << 13u << 50 * Minute << -15 * Minute << 40 * Minute << 7 * Minute;
}

void TestExamClock::wholeRun()
{
    QFETCH(quint32, seed);
    QFETCH(qint64, stepAt);
    QFETCH(qint64, wallStep);
    QFETCH(qint64, sleepAt);
    QFETCH(qint64, sleep);
    QRandomGenerator random(seed);
    Machine machine;
    const qint64 pressed = random.bounded(60000); // ms past the wall-clock minute
    machine.wall += pressed;
    ExamClock clock = machine.clock();
    clock.start();

    qint64 real = 0; // time since Start, asleep or awake
    int shown = 80;
    bool slept = false;
    while (shown > 0) {
        const quint32 kind = random.bounded(20);
        const qint64 tick = kind == 0 ? random.bounded(20)         // doubled
            : kind == 1               ? 1900 + random.bounded(201) // skipped
                                      : 900 + random.bounded(201);
        machine.wait(tick);
        real += tick;
        if (stepAt >= 0 && real - tick < stepAt && real >= stepAt)
            machine.wall += wallStep;
        const bool wakes = sleepAt >= 0 && real - tick < sleepAt && real >= sleepAt;
        if (wakes) {
            machine.wait(sleep);
            real += sleep;
            slept = true;
        }

        const int left = clock.minutesLeft();
        const int expected = int(std::max<qint64>(0, 80 - (pressed + real) / Minute));
        QVERIFY2(left == expected,
                 qPrintable(QStringLiteral("%1 s after Start: %2 left, expected %3")
                                .arg(real / 1000)
                                .arg(left)
                                .arg(expected)));
        QVERIFY2(wakes || left == shown || left == shown - 1,
                 qPrintable(QStringLiteral("jumped from %1 to %2").arg(shown).arg(left)));
        shown = left;
    }
    // Time is up on the first tick at or after the 80th boundary, or on waking past it.
    const qint64 timeUp = 80 * Minute - pressed;
    QVERIFY(real >= timeUp);
    QVERIFY(real < timeUp + 2100 || (slept && sleepAt < timeUp));
}

void TestExamClock::restartWhileRunning()
{
    Machine machine;
    ExamClock clock = machine.clock();
    clock.start();
    machine.wait(30 * Minute + 5 * Second);
    QCOMPARE(clock.minutesLeft(), 50);
    machine.wait(15 * Second);
    clock.start();
    QCOMPARE(clock.startedAt(), NineOClock + 30 * Minute + 20 * Second);
    machine.wait(39 * Second);
    QCOMPARE(clock.minutesLeft(), 80);
    machine.wait(Second);
    QCOMPARE(clock.minutesLeft(), 79);

    // Start after run-out.
    machine.wait(200 * Minute);
    QCOMPARE(clock.minutesLeft(), 0);
    clock.start();
    machine.wait(Second);
    QCOMPARE(clock.minutesLeft(), 80);
}

// After a crash the exam goes on with the clock its last save kept. In the same boot the elapsed
// clock alone says how long it has run, whatever the wall clock did; after a reboot, the time it
// had run at the save plus the wall-clock time since, never negative. The minutes still begin
// where the wall clock's minutes began at Start, and from then on the elapsed clock counts.
void TestExamClock::resumeAfterRestart_data()
{
    QTest::addColumn<ClockState>("saved");
    QTest::addColumn<QByteArray>("boot");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("leftAMinuteLater");
    // At restart the wall clock says 9:00:20 and the machine has been up 10 hours.
    const qint64 now = NineOClock + 20 * Second;
    const qint64 up = 10 * 60 * Minute;
    const QByteArray boot = "8c1c0a5e-7d2f-4b6e-9a41-3f0d2c6b5e17";
    const QByteArray earlierBoot = "0f3e9b2a-1c4d-4e5f-8a6b-7c8d9e0f1a2b";
    // Started 30 minutes ago at second 20, saved a minute later, in this boot.
    const ClockState thirtyAgo {now - 30 * Minute, up - 30 * Minute, Minute, now - 29 * Minute,
                                boot};
    QTest::addRow("same_boot") << thirtyAgo << boot << 50 << 49;
    ClockState stepped = thirtyAgo;
    stepped.savedAt += 45 * Minute; // the wall clock stepped forward before the crash
    QTest::addRow("same_boot_wall_forward_before_crash") << stepped << boot << 50 << 49;
    stepped.savedAt -= 105 * Minute; // or back an hour
    QTest::addRow("same_boot_wall_back_an_hour") << stepped << boot << 50 << 49;
    // The wall clock was 10 minutes ahead at Start and has been put right since.
    ClockState inTheFuture = thirtyAgo;
    inTheFuture.startedAt = now + 10 * Minute;
    QTest::addRow("in_the_future") << inTheFuture << boot << 50 << 49;
    ClockState fullTime = thirtyAgo;
    fullTime.elapsedAtStart = up - 80 * Minute;
    QTest::addRow("same_boot_time_up_while_down") << fullTime << boot << 0 << 0;

    // After a reboot: run a minute at the save, 29 minutes of wall clock since.
    ClockState rebooted = thirtyAgo;
    rebooted.boot = earlierBoot;
    rebooted.elapsedAtStart = 3 * 60 * Minute; // a reading of the earlier boot: meaningless now
    QTest::addRow("after_a_reboot") << rebooted << boot << 50 << 49;
    QTest::addRow("boot_unknown_now") << thirtyAgo << QByteArray() << 50 << 49;
    rebooted.boot.clear();
    QTest::addRow("boot_unknown_then") << rebooted << boot << 50 << 49;
    QTest::addRow("boot_unknown_both") << rebooted << QByteArray() << 50 << 49;
    // The wall clock was set back past the save: only the minute run at the save counts.
    ClockState setBack = rebooted;
    setBack.savedAt = now + 2 * 60 * Minute;
    QTest::addRow("after_a_reboot_saved_in_the_future") << setBack << boot << 79 << 78;
    ClockState longAgo = rebooted;
    longAgo.ran = 79 * Minute;
    longAgo.savedAt = now - Minute;
    QTest::addRow("after_a_reboot_time_up_while_down") << longAgo << boot << 0 << 0;
    // What a file of the first version says: only the wall-clock time of Start.
    QTest::addRow("start_only_a_day_ago")
        << ClockState {now - 24 * 60 * Minute, 0, 0, now - 24 * 60 * Minute, {}} << boot << 0 << 0;
    QTest::addRow("start_only_at_the_epoch") << ClockState {} << boot << 0 << 0;
}

void TestExamClock::resumeAfterRestart()
{
    QFETCH(ClockState, saved);
    QFETCH(QByteArray, boot);
    QFETCH(int, left);
    QFETCH(int, leftAMinuteLater);
    Machine machine;
    machine.wall = NineOClock + 20 * Second;
    machine.elapsed = 10 * 60 * Minute;
    ExamClock clock = machine.clock();
    clock.resume(saved, boot);
    QCOMPARE(clock.startedAt(), saved.startedAt);
    QCOMPARE(clock.minutesLeft(), left);
    machine.wall -= 2 * Minute; // set back: it no longer matters
    machine.elapsed += Minute;
    QCOMPARE(clock.minutesLeft(), leftAMinuteLater);

    // Saved again and taken up in the same boot, the clock is where it was.
    ExamClock again = machine.clock();
    again.resume(clock.state(boot), boot);
    QCOMPARE(again.minutesLeft(), leftAMinuteLater);
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
