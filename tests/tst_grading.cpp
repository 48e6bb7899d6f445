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
    void answerKeyRows();
    void slotVerdict_data();
    void slotVerdict();
    void largeQuestionsAreFiftyEach();
    void verdictsAreIndependent();
    void scoreText_data();
    void scoreText();
};

// The rows that the booklet and the answer sheet must agree with.
void TestGrading::answerKeyRows()
{
    QCOMPARE(slotCaption(1), u"1-問1-ｱ");
    QCOMPARE(slotCaption(30), u"4-問2-B");
    QCOMPARE(slotCaption(34), u"4-問6");
    int boxes = 0;
    QList<int> twoChoiceSlots;
    for (int k = 1; k <= SlotCount; ++k) {
        boxes += slot(k).choices;
        if (std::popcount(unsigned(slot(k).key)) == 2)
            twoChoiceSlots.append(k);
    }
    QCOMPARE(boxes, 182);
    QCOMPARE(twoChoiceSlots, (QList<int> {10, 31, 34}));
    QCOMPARE(slot(31).choices, 7);
    QCOMPARE(slot(10).key, ChoiceSet(choice(1) | choice(6)));
    QCOMPARE(slot(31).key, ChoiceSet(choice(2) | choice(4)));
    QCOMPARE(slot(34).key, ChoiceSet(choice(1) | choice(5)));
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
