#include "exam/examstate.h"

#include <QTest>

using namespace exam;

namespace {

// A state file: the header, a ticks line with one word per slot, all "-" but those given, and
// the clock line.
QByteArray stateFile(const QHash<int, QByteArray> &ticks, const QByteArray &clock = "stopped")
{
    QByteArray file = "kokugo-mogi exam state 1\nticks";
    for (int k = 1; k <= 34; ++k)
        file += ' ' + ticks.value(k, "-");
    return file + "\nclock " + clock + '\n';
}

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
    running.startedAt = 1796720400123;
    const QHash<int, QByteArray> ticks {{1, "1"}, {10, "16"}, {31, "7"}, {34, "123456"}};
    const QByteArray good = stateFile(ticks, "started 1796720400123");
    QTest::addRow("ticked_clock_started") << good << true << running;
    SavedExam epoch;
    epoch.startedAt = 0;
    QTest::addRow("started_at_the_epoch") << stateFile({}, "started 0") << true << epoch;

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
    bad("next_version", QByteArray(good).replace("state 1", "state 2"));
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
    bad("negative_time", stateFile({}, "started -5"));
    bad("signed_time", stateFile({}, "started +5"));
    bad("leading_zero", stateFile({}, "started 05"));
    bad("time_past_the_year_9999", stateFile({}, "started 253402300800000"));
    bad("time_beyond_64_bits", stateFile({}, "started 99999999999999999999999"));
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
        QCOMPARE(encodeExam(exam), file);
    }
}

QTEST_APPLESS_MAIN(TestExamState)
#include "tst_examstate.moc"
