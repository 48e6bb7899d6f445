#include "exam/grading.h"

#include <QTest>

using namespace exam;

namespace {

Ticks allKeys()
{
    Ticks ticks {};
    for (int k = 1; k <= SlotCount; ++k)
        ticks[std::size_t(k - 1)] = slot(k).key;
    return ticks;
}

} // namespace

class TestGrading : public QObject
{
    Q_OBJECT

private slots:
    void answerKey_data();
    void answerKey();
    void slotVerdict_data();
    void slotVerdict();
    void largeQuestionsAreFiftyEach();
    void verdictsAreIndependent();
    void scoreText_data();
    void scoreText();
};

// The answer sheet as the paper's design gives it, typed from its tables and not from the
// program's: a wrong key, point or choice count in any slot fails its own row.
void TestGrading::answerKey_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("choices");
    QTest::addColumn<QList<int>>("key");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("largeQuestion");
    const auto row = [](int k, const char16_t *caption, int choices, const QList<int> &key,
                        int points, int largeQuestion) {
        QTest::addRow("slot_%d", k)
            << k << QString::fromUtf16(caption) << choices << key << points << largeQuestion;
    };
    // slot k, tab caption, choices n(k), key K(k), points P(k), large question
    row(1, u"1-問1-ｱ", 5, {1}, 2, 1);
    row(2, u"1-問1-ｲ", 5, {3}, 2, 1);
    row(3, u"1-問1-ｳ", 5, {5}, 2, 1);
    row(4, u"1-問1-ｴ", 5, {4}, 2, 1);
    row(5, u"1-問1-ｵ", 5, {3}, 2, 1);
    row(6, u"1-問2", 5, {3}, 7, 1);
    row(7, u"1-問3", 5, {4}, 7, 1);
    row(8, u"1-問4", 5, {1}, 7, 1);
    row(9, u"1-問5", 5, {5}, 7, 1);
    row(10, u"1-問6", 6, {1, 6}, 12, 1);
    row(11, u"2-問1-ｱ", 5, {2}, 4, 2);
    row(12, u"2-問1-ｲ", 5, {5}, 4, 2);
    row(13, u"2-問1-ｳ", 5, {3}, 4, 2);
    row(14, u"2-問2", 5, {4}, 7, 2);
    row(15, u"2-問3", 6, {2}, 7, 2);
    row(16, u"2-問4", 5, {5}, 8, 2);
    row(17, u"2-問5", 5, {3}, 8, 2);
    row(18, u"2-問6", 5, {4}, 8, 2);
    row(19, u"3-問1-ｱ", 5, {5}, 5, 3);
    row(20, u"3-問1-ｲ", 5, {5}, 5, 3);
    row(21, u"3-問1-ｳ", 5, {2}, 5, 3);
    row(22, u"3-問2", 5, {5}, 6, 3);
    row(23, u"3-問3", 5, {1}, 7, 3);
    row(24, u"3-問4", 5, {4}, 7, 3);
    row(25, u"3-問5", 6, {3}, 7, 3);
    row(26, u"3-問6", 5, {2}, 8, 3);
    row(27, u"4-問1-ｱ", 6, {5}, 3, 4);
    row(28, u"4-問1-ｲ", 6, {1}, 3, 4);
    row(29, u"4-問2-A", 6, {3}, 5, 4);
    row(30, u"4-問2-B", 6, {6}, 5, 4);
    row(31, u"4-問3", 7, {2, 4}, 7, 4);
    row(32, u"4-問4", 6, {3}, 7, 4);
    row(33, u"4-問5", 6, {2}, 8, 4);
    row(34, u"4-問6", 6, {1, 5}, 12, 4);
}

void TestGrading::answerKey()
{
    QFETCH(int, k);
    QFETCH(QString, caption);
    QFETCH(int, choices);
    QFETCH(QList<int>, key);
    QFETCH(int, points);
    QFETCH(int, largeQuestion);

    unsigned keyBits = 0;
    for (int i : key)
        keyBits |= 1u << (i - 1);
    QCOMPARE(slotCaption(k), caption);
    QCOMPARE(slot(k).choices, choices);
    QCOMPARE(unsigned(slot(k).key), keyBits);
    QCOMPARE(slot(k).points, points);
    QCOMPARE(slot(k).largeQuestion, largeQuestion);

    // Exactly that key earns exactly those points.
    Ticks ticks {};
    ticks[std::size_t(k - 1)] = ChoiceSet(keyBits);
    QCOMPARE(grade(ticks).total, points);
}

void TestGrading::slotVerdict_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("ticked"); // a ChoiceSet
    QTest::addColumn<int>("points");

    QTest::addRow("slot1_key_only") << 1 << int(choice(1)) << 2;
    QTest::addRow("slot1_key_and_extra") << 1 << int(choice(1) | choice(2)) << 0;
    QTest::addRow("slot1_all_five") << 1 << 0b11111 << 0;
    QTest::addRow("slot1_nothing") << 1 << 0 << 0;
    QTest::addRow("slot1_wrong_only") << 1 << int(choice(2)) << 0;
    QTest::addRow("slot10_first_key_half") << 10 << int(choice(1)) << 0;
    QTest::addRow("slot10_second_key_half") << 10 << int(choice(6)) << 0;
    QTest::addRow("slot10_both_keys") << 10 << int(choice(1) | choice(6)) << 12;
    QTest::addRow("slot10_both_keys_and_extra")
        << 10 << int(choice(1) | choice(3) | choice(6)) << 0;
    QTest::addRow("slot31_both_keys") << 31 << int(choice(2) | choice(4)) << 7;
    QTest::addRow("slot31_one_key") << 31 << int(choice(4)) << 0;
    QTest::addRow("slot31_seventh_box_extra") << 31 << int(choice(2) | choice(4) | choice(7)) << 0;
    QTest::addRow("slot34_both_keys") << 34 << int(choice(1) | choice(5)) << 12;
    QTest::addRow("slot34_one_key") << 34 << int(choice(5)) << 0;
    QTest::addRow("slot30_sixth_choice") << 30 << int(choice(6)) << 5;
    QTest::addRow("slot23_key") << 23 << int(choice(1)) << 7;
}

void TestGrading::slotVerdict()
{
    QFETCH(int, k);
    QFETCH(int, ticked);
    QFETCH(int, points);

    Ticks ticks {};
    ticks[std::size_t(k - 1)] = ChoiceSet(ticked);
    const Grade result = grade(ticks);
    QCOMPARE(result.total, points);
    for (int j = 1; j <= SlotCount; ++j)
        QCOMPARE(result.right[std::size_t(j - 1)], j == k && points > 0);
}

void TestGrading::largeQuestionsAreFiftyEach()
{
    QCOMPARE(grade(allKeys()).total, FullMarks);
    for (int largeQuestion = 1; largeQuestion <= 4; ++largeQuestion) {
        Ticks ticks = allKeys();
        for (int k = 1; k <= SlotCount; ++k) {
            if (slot(k).largeQuestion != largeQuestion)
                ticks[std::size_t(k - 1)] = 0;
        }
        QCOMPARE(grade(ticks).total, 50);
    }
}

// Spoiling one slot of a full sheet costs that slot's points and nothing else.
void TestGrading::verdictsAreIndependent()
{
    for (int k = 1; k <= SlotCount; ++k) {
        Ticks ticks = allKeys();
        ticks[std::size_t(k - 1)] = ChoiceSet((1u << slot(k).choices) - 1);
        const Grade result = grade(ticks);
        QCOMPARE(result.total, FullMarks - slot(k).points);
        QCOMPARE(std::count(result.right.begin(), result.right.end(), true), SlotCount - 1);
        QVERIFY(!result.right[std::size_t(k - 1)]);
    }
}

void TestGrading::scoreText_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("text");
    QTest::addRow("zero") << 0 << QStringLiteral("0");
    QTest::addRow("one_digit") << 7 << QStringLiteral("7");
    QTest::addRow("hundred") << 100 << QStringLiteral("100");
    QTest::addRow("full_marks") << 200 << QStringLiteral("200");
}

void TestGrading::scoreText()
{
    QFETCH(int, total);
    QFETCH(QString, text);
    QCOMPARE(exam::scoreText(total), text);
}

QTEST_APPLESS_MAIN(TestGrading)
#include "tst_grading.moc"
