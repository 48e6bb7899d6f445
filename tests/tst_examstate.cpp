#include "exam/examstate.h"

#include <QTest>

using namespace exam;

namespace {

// A state file: the header, the minutes, a ticks line with one word per slot, all "-" but those
// given, and the clock line.
QByteArray stateFile(const QHash<int, QByteArray> &ticks, const QByteArray &clock = "stopped",
                     const QByteArray &minutes = "80")
{
    QByteArray file = "kokugo-mogi exam state 2\nminutes " + minutes + "\nticks";
    for (int k = 1; k <= 34; ++k)
        file += ' ' + ticks.value(k, "-");
    return file + "\nclock " + clock + '\n';
}

QByteArray version1(const QHash<int, QByteArray> &ticks, const QByteArray &clock)
{
    return stateFile(ticks, clock).replace("state 2\nminutes 80", "state 1");
}

QByteArray running(const QByteArray &elapsed, const QByteArray &boot)
{
    return "started 1796720400123 elapsed " + elapsed + " ran 65000 saved 1796720465123 boot "
        + boot;
}

constexpr char Boot[] = "8c1c0a5e-7d2f-4b6e-9a41-3f0d2c6b5e17";

} // namespace

// The state file as the program writes it, written out by hand here, and the files it must
// refuse: cut short by a crash, from another version, or made to tick boxes that do not exist.
class TestExamState : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
};

void TestExamState::decode_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<SavedExam>("exam");

    const SavedExam none;
    QTest::addRow("nothing_ticked_clock_stopped") << stateFile({}) << true << none;
    SavedExam running;
    running.ticks[0] = 0b1;        // slot 1: choice 1
    running.ticks[9] = 0b100001;   // slot 10: choices 1 and 6
    running.ticks[30] = 0b1000000; // slot 31: choice 7, the most any slot has
    running.ticks[33] = 0b111111;  // slot 34: all six
    running.clock = ClockState {1796720400123, 10800123, 65000, 1796720465123, Boot};
    const QHash<int, QByteArray> ticks {{1, "1"}, {10, "16"}, {31, "7"}, {34, "123456"}};
    const QByteArray good = stateFile(ticks, ::running("10800123", Boot));
    QTest::addRow("ticked_clock_started") << good << true << running;
    SavedExam unknownBoot = running;
    unknownBoot.clock->boot.clear();
    QTest::addRow("boot_unknown") << stateFile(ticks, ::running("10800123", "-")) << true
                                  << unknownBoot;
    // Taken up after a reboot, a sitting can have run longer than the machine has been on.
    SavedExam beforeBoot = running;
    beforeBoot.clock->elapsedAtStart = -4000;
    QTest::addRow("started_before_this_boot")
        << stateFile(ticks, ::running("-4000", Boot)) << true << beforeBoot;
    SavedExam longer;
    longer.minutes = 104;
    QTest::addRow("sitting_of_104_minutes") << stateFile({}, "stopped", "104") << true << longer;
    longer.minutes = 600;
    QTest::addRow("sitting_of_600_minutes") << stateFile({}, "stopped", "600") << true << longer;

    // The first version: 80 minutes, and only the wall-clock time of Start, as if saved then in
    // a boot that cannot be known. It is read, never written.
    const auto old = [](const char *name, const QByteArray &file, const SavedExam &exam) {
        QTest::addRow("%s", name) << file << true << exam;
    };
    SavedExam oldRunning = running;
    oldRunning.clock = ClockState {1796720400123, 0, 0, 1796720400123, {}};
    old("version_1_started", version1(ticks, "started 1796720400123"), oldRunning);
    oldRunning.clock = ClockState {};
    oldRunning.ticks = {};
    old("version_1_started_at_the_epoch", version1({}, "started 0"), oldRunning);
    old("version_1_stopped", version1({}, "stopped"), none);

    const auto bad = [&none](const char *name, const QByteArray &file) {
        QTest::addRow("%s", name) << file << false << none;
    };
    bad("empty", QByteArray());
    bad("cut_after_the_header", good.left(good.indexOf('\n') + 1));
    bad("cut_in_the_ticks", good.left(60));
    bad("cut_in_the_time", good.chopped(4));
    bad("no_final_newline", good.chopped(1));
    bad("line_after_the_end", good + "clock stopped\n");
    bad("crlf_line_ends", QByteArray(good).replace("\n", "\r\n"));
    bad("next_version", QByteArray(good).replace("state 2", "state 3"));
    bad("version_1_with_minutes", QByteArray(good).replace("state 2", "state 1"));
    bad("version_2_without_minutes", version1({}, "stopped").replace("state 1", "state 2"));
    bad("version_2_with_the_old_clock", stateFile({}, "started 1796720400123"));
    bad("no_minutes", stateFile({}, "stopped", ""));
    bad("no_minutes_at_all", stateFile({}, "stopped", "0"));
    bad("601_minutes", stateFile({}, "stopped", "601"));
    bad("minutes_signed", stateFile({}, "stopped", "+80"));
    bad("clock_words_out_of_order", stateFile({}, "started 1 ran 2 elapsed 3 saved 4 boot -"));
    bad("clock_word_missing", stateFile({}, "started 1 elapsed 2 ran 3 saved 4"));
    bad("clock_word_extra", stateFile({}, ::running("1", Boot) + " late 5"));
    bad("negative_ran", stateFile({}, "started 1 elapsed 2 ran -3 saved 4 boot -"));
    bad("minus_zero_elapsed", stateFile({}, ::running("-0", Boot)));
    bad("empty_boot", stateFile({}, ::running("1", "")));
    bad("boot_in_capitals", stateFile({}, ::running("1", "8C1C0A5E")));
    bad("boot_too_long", stateFile({}, ::running("1", QByteArray(65, 'a'))));
    bad("another_program", "[Exam]\nticks=1\n");
    bad("choice_6_of_a_5_choice_slot", stateFile({{1, "6"}}));
    bad("choice_7_of_a_6_choice_slot", stateFile({{30, "7"}}));
    bad("choice_8_of_a_7_choice_slot", stateFile({{31, "8"}}));
    bad("choice_0", stateFile({{2, "0"}}));
    bad("choice_twice", stateFile({{2, "11"}}));
    bad("choices_out_of_order", stateFile({{10, "61"}}));
    bad("empty_word", stateFile({{2, ""}}));
    bad("nul_in_the_ticks", stateFile({{3, QByteArray("1\0", 2)}}));
    bad("33_slots", stateFile({}).replace(" -\n", "\n"));
    bad("35_slots", stateFile({}).replace(" -\n", " - -\n"));
    bad("clock_neither_started_nor_stopped", stateFile({}, "running"));
    bad("negative_time", version1({}, "started -5"));
    bad("signed_time", version1({}, "started +5"));
    bad("leading_zero", version1({}, "started 05"));
    bad("time_past_the_year_9999", version1({}, "started 253402300800000"));
    bad("time_beyond_64_bits", version1({}, "started 99999999999999999999999"));
    bad("saved_past_the_year_9999",
        stateFile({}, "started 1 elapsed 2 ran 3 saved 253402300800000 boot -"));
    bad("huge", stateFile({}) + QByteArray(1 << 20, '\n'));
}

void TestExamState::decode()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, valid);
    QFETCH(SavedExam, exam);
    const std::optional<SavedExam> decoded = decodeExam(file);
    QCOMPARE(decoded.has_value(), valid);
    if (valid) {
        QVERIFY(*decoded == exam);
        // Every file is written in the newest version, and read back as it was.
        if (file.startsWith("kokugo-mogi exam state 2\n"))
            QCOMPARE(encodeExam(exam), file);
        QVERIFY(decodeExam(encodeExam(exam)) == exam);
    }
}

QTEST_APPLESS_MAIN(TestExamState)
#include "tst_examstate.moc"
