#include "examtestutil.h"

#include "platform/richtextpane.h"

#include <QGroupBox>
#include <QMenuBar>

using namespace testutil;

namespace {

struct Tick
{
    int slot;
    int choice;
};

} // namespace

Q_DECLARE_METATYPE(QList<Tick>)

class TestExamWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpProgram(); }
    void init()
    {
        m_window = openExamWindow();
        QVERIFY(m_window);
    }
    void cleanup() { closeAllWindows(); }

    void designTimeState();
    void leftColumn_data();
    void leftColumn();
    void answerSheetLayout();
    void readingPane();
    void sheetTabShowsOnlyItsSlot();
    void scoring_data();
    void scoring();
    void scoreStopsTheClockAndKeepsTheTicks();
    void rescoringStartsAfresh();
    void threeDigitScoreStaysBeforeTheUnit();
    void resizingMovesNothing();

private:
    ExamWindow *m_window = nullptr;
};

void TestExamWindow::designTimeState()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("frm国語ⅠⅡ"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("問題 （国語Ⅰ・Ⅱ）"));
    QCOMPARE(m_window->centralWidget()->size(), QSize(792, 554));
    QCOMPARE(caption(m_window, QStringLiteral("lbl秒")), QString());
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QString());
    QVERIFY(!timer(m_window)->isActive());
    QCOMPARE(timer(m_window)->interval(), 1000);
    QCOMPARE(control<platform::TabControl>(m_window, QStringLiteral("SSTab1"))->currentIndex(), 0);
    QCOMPARE(control<platform::TabControl>(m_window, QStringLiteral("SSTab2"))->currentIndex(), 0);
    QVERIFY(control(m_window, QStringLiteral("MMControl1"))->isHidden());
    QCOMPARE(QApplication::focusWidget(), control(m_window, QStringLiteral("cmdスタート")));
    for (int k = 1; k <= exam::SlotCount; ++k) {
        QVERIFY2(mark(m_window, k)->isHidden(), qPrintable(QString::number(k)));
        for (int i = 1; i <= exam::slot(k).choices; ++i)
            QVERIFY(!box(m_window, k, i)->isChecked());
    }

    const QList<QMenu *> menus = m_window->menuBar()->findChildren<QMenu *>();
    QStringList menuCaptions;
    for (QAction *action : m_window->menuBar()->actions())
        menuCaptions << action->text() << action->menu()->actions().value(0)->text();
    QCOMPARE(menuCaptions,
             (QStringList {QStringLiteral("ゲーム(&G)"), QStringLiteral("終了(&Q)"),
                           QStringLiteral("ヘルプ(&H)"), QStringLiteral("バージョン情報(&A)")}));
    QVERIFY(m_window->findChild<QAction *>(QStringLiteral("mnuExit")));
    QVERIFY(m_window->findChild<QAction *>(QStringLiteral("mnuAbout")));
}

void TestExamWindow::leftColumn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pixelSize");

    QTest::addRow("start") << QStringLiteral("cmdスタート") << pixels(360, 840, 1215, 495)
                           << QStringLiteral("スタート") << 12;
    QTest::addRow("time_frame") << QStringLiteral("Label1") << pixels(120, 1560, 1695, 375)
                                << QStringLiteral("あと 　　　分") << 16;
    QTest::addRow("time") << QStringLiteral("lbl秒") << pixels(720, 1560, 735, 375) << QString()
                          << 19;
    QTest::addRow("score_button") << QStringLiteral("cmd得点") << pixels(360, 3240, 1215, 495)
                                  << QStringLiteral("得　点") << 12;
    QTest::addRow("average") << QStringLiteral("Label4") << pixels(0, 3960, 1935, 255)
                             << QStringLiteral("（平均 112,92 点）") << 12;
    QTest::addRow("unit") << QStringLiteral("Label2") << pixels(240, 4320, 1335, 375)
                          << QStringLiteral("点") << 19;
    QTest::addRow("score") << QStringLiteral("lbl得点") << pixels(675, 4320, 210, 315) << QString()
                           << 21;
    QTest::addRow("pass_rate") << QStringLiteral("cmd合格率") << pixels(360, 6000, 1215, 495)
                               << QStringLiteral("合格率") << 13;
}

void TestExamWindow::leftColumn()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(int, pixelSize);

    QWidget *widget = control(m_window, name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->font().pixelSize(), pixelSize);
    QVERIFY(widget->font().bold());
    QCOMPARE(QFontInfo(widget->font()).family(), QStringLiteral("IPAGothic"));
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), text);
        QVERIFY(button->isEnabled());
    } else {
        QCOMPARE(qobject_cast<QLabel *>(widget)->text(), text);
    }
    // Every caption fits its box.
    QVERIFY(QFontMetrics(widget->font()).horizontalAdvance(text) <= geometry.width());
}

void TestExamWindow::answerSheetLayout()
{
    auto *sheet = control<platform::TabControl>(m_window, QStringLiteral("SSTab2"));
    QCOMPARE(sheet->count(), 34);
    QCOMPARE(sheet->rowCount(), 3);
    QCOMPARE(sheet->tabRect(11).top(), sheet->tabRect(0).top());
    QCOMPARE(sheet->tabRect(12).top(), sheet->tabRect(0).bottom() + 1);
    QCOMPARE(sheet->tabRect(33).top(), sheet->tabRect(24).top());
    const QFontMetrics metrics(sheet->font());
    const QStringView choices = u"①②③④⑤⑥⑦";
    int boxes = 0;
    for (int k = 1; k <= exam::SlotCount; ++k) {
        QCOMPARE(sheet->tabText(k - 1), exam::slotCaption(k));
        QVERIFY(metrics.horizontalAdvance(sheet->tabText(k - 1)) < sheet->tabRect(k - 1).width());
        // The last tab of each row still lies inside the window's client area.
        QVERIFY(sheet->x() + sheet->tabRect(k - 1).right() < m_window->centralWidget()->width());

        auto *frame = control<QGroupBox>(m_window, QStringLiteral("Frame") + QString::number(k));
        QVERIFY(frame);
        QCOMPARE(frame->title(), QStringLiteral("答え"));
        QCOMPARE(frame->parentWidget(), sheet->page(k - 1));
        QCOMPARE(mark(m_window, k)->parentWidget(), sheet->page(k - 1));
        QVERIFY(mark(m_window, k)->geometry().right() < frame->geometry().left());
        QVERIFY(!mark(m_window, k)->pixmap().isNull());
        QVERIFY(frame->geometry().top() * 15 >= 885); // below the three tab rows
        QVERIFY(!box(m_window, k, exam::slot(k).choices + 1));
        int previousRight = 0;
        for (int i = 1; i <= exam::slot(k).choices; ++i) {
            QCheckBox *checkBox = box(m_window, k, i);
            QVERIFY(checkBox);
            QCOMPARE(checkBox->parentWidget(), frame);
            QCOMPARE(checkBox->text(), choices.mid(i - 1, 1));
            QVERIFY(checkBox->geometry().left() > previousRight);
            QVERIFY(frame->rect().contains(checkBox->geometry()));
            previousRight = checkBox->geometry().right();
            ++boxes;
        }
    }
    QCOMPARE(boxes, 182);
}

void TestExamWindow::readingPane()
{
    auto *reading = control<platform::TabControl>(m_window, QStringLiteral("SSTab1"));
    const QStringList captions {QStringLiteral("問題"), QStringLiteral("文章１"),
                                QStringLiteral("文章２"), QStringLiteral("文章３"),
                                QStringLiteral("漢文")};
    const QStringList panes {QStringLiteral("RichTextBox1"), QStringLiteral("RichTextBox2"),
                             QStringLiteral("RichTextBox4"), QStringLiteral("RichTextBox5"),
                             QStringLiteral("RichTextBox3")};
    QCOMPARE(reading->count(), 5);
    QCOMPARE(reading->rowCount(), 1);
    for (int tab = 0; tab < reading->count(); ++tab) {
        QCOMPARE(reading->tabText(tab), captions[tab]);
        clickTab(reading, tab);
        QCOMPARE(reading->currentIndex(), tab);
        const QList<platform::RichTextPane *> shown = [&] {
            QList<platform::RichTextPane *> visible;
            for (auto *pane : m_window->findChildren<platform::RichTextPane *>())
                if (pane->isVisible())
                    visible << pane;
            return visible;
        }();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first()->objectName(), panes[tab]);
        QVERIFY(shown.first()->isReadOnly());
        QVERIFY(!shown.first()->toPlainText().isEmpty());
        QCOMPARE(shown.first()->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff, tab != 0);
    }
    QCOMPARE(control(m_window, QStringLiteral("RichTextBox1"))->geometry(),
             pixels(120, 360, 9855, 5535));
    QCOMPARE(control(m_window, QStringLiteral("RichTextBox3"))->geometry(),
             pixels(240, 480, 9615, 5295));
}

// Picking "4-問2-B" shows slot 30 and nothing of any other slot; a mark set on a hidden page
// shows as soon as its page is picked.
void TestExamWindow::sheetTabShowsOnlyItsSlot()
{
    clickButton(m_window, QStringLiteral("cmd得点"));
    auto *sheet = control<platform::TabControl>(m_window, QStringLiteral("SSTab2"));
    clickBox(m_window, 30, 6);
    QCOMPARE(sheet->currentIndex(), 29);
    clickTab(sheet, 0);
    clickButton(m_window, QStringLiteral("cmd得点"));
    QVERIFY(!mark(m_window, 30)->isVisible());
    QVERIFY(!mark(m_window, 30)->isHidden());

    clickTab(sheet, 29);
    for (int k = 1; k <= exam::SlotCount; ++k) {
        QCOMPARE(control(m_window, QStringLiteral("Frame") + QString::number(k))->isVisible(),
                 k == 30);
        QCOMPARE(box(m_window, k, 1)->isVisible(), k == 30);
        QCOMPARE(mark(m_window, k)->isVisible(), k == 30);
    }
}

void TestExamWindow::scoring_data()
{
    QTest::addColumn<QList<Tick>>("ticks");
    QTest::addColumn<QString>("score");
    QTest::addColumn<QList<int>>("right");

    QTest::addRow("nothing_ticked") << QList<Tick> {} << QStringLiteral("0") << QList<int> {};
    QTest::addRow("slot1_key") << QList<Tick> {{1, 1}} << QStringLiteral("2") << QList<int> {1};
    QTest::addRow("slot1_key_and_extra")
        << QList<Tick> {{1, 1}, {1, 2}} << QStringLiteral("0") << QList<int> {};
    QTest::addRow("slot1_all_five") << QList<Tick> {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}}
                                    << QStringLiteral("0") << QList<int> {};
    QTest::addRow("slot10_one_half")
        << QList<Tick> {{10, 6}} << QStringLiteral("0") << QList<int> {};
    QTest::addRow("slot10_both_in_reverse_order")
        << QList<Tick> {{10, 6}, {10, 1}} << QStringLiteral("12") << QList<int> {10};
    QTest::addRow("slot10_both_and_extra")
        << QList<Tick> {{10, 1}, {10, 6}, {10, 3}} << QStringLiteral("0") << QList<int> {};
    QTest::addRow("slot31_seven_choices")
        << QList<Tick> {{31, 2}, {31, 4}, {32, 3}} << QStringLiteral("14") << QList<int> {31, 32};
    QTest::addRow("slot34_and_wrong_neighbour")
        << QList<Tick> {{34, 1}, {34, 5}, {33, 1}} << QStringLiteral("12") << QList<int> {34};
    QTest::addRow("ticked_then_unticked")
        << QList<Tick> {{6, 3}, {6, 3}, {7, 4}} << QStringLiteral("7") << QList<int> {7};
    QTest::addRow("two_ticks_in_one_slot_stay")
        << QList<Tick> {{12, 2}, {12, 4}} << QStringLiteral("0") << QList<int> {};
}

void TestExamWindow::scoring()
{
    QFETCH(QList<Tick>, ticks);
    QFETCH(QString, score);
    QFETCH(QList<int>, right);

    for (const Tick &tick : ticks)
        clickBox(m_window, tick.slot, tick.choice);
    clickButton(m_window, QStringLiteral("cmd得点"));

    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), score);
    for (int k = 1; k <= exam::SlotCount; ++k)
        QCOMPARE(!mark(m_window, k)->isHidden(), right.contains(k));
}

void TestExamWindow::scoreStopsTheClockAndKeepsTheTicks()
{
    clickButton(m_window, QStringLiteral("cmdスタート"));
    QVERIFY(timer(m_window)->isActive());
    tickKeys(m_window, 1, exam::SlotCount);
    clickBox(m_window, 12, 4);

    clickButton(m_window, QStringLiteral("cmd得点"));
    QVERIFY(!timer(m_window)->isActive());
    QCOMPARE(caption(m_window, QStringLiteral("lbl秒")), QString());
    QVERIFY(control(m_window, QStringLiteral("cmdスタート"))->isEnabled());
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QStringLiteral("196"));
    QVERIFY(box(m_window, 12, 4)->isChecked());
    QVERIFY(box(m_window, 12, 5)->isChecked());
    QVERIFY(box(m_window, 34, 1)->isChecked() && box(m_window, 34, 5)->isChecked());
}

void TestExamWindow::rescoringStartsAfresh()
{
    for (int largeQuestion = 0; largeQuestion < 4; ++largeQuestion) {
        const int first[] = {1, 11, 19, 27};
        const int last[] = {10, 18, 26, 34};
        tickKeys(m_window, first[largeQuestion], last[largeQuestion]);
        clickButton(m_window, QStringLiteral("cmd得点"));
        QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QString::number(50));
        tickKeys(m_window, first[largeQuestion], last[largeQuestion]); // untick them again
    }

    clickBox(m_window, 2, 1); // wrong
    clickButton(m_window, QStringLiteral("cmd得点"));
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QStringLiteral("0"));
    QVERIFY(mark(m_window, 2)->isHidden());

    clickBox(m_window, 2, 1);
    clickBox(m_window, 2, 3); // moved to the key
    clickButton(m_window, QStringLiteral("cmd得点"));
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QStringLiteral("2"));
    QVERIFY(!mark(m_window, 2)->isHidden());
    clickButton(m_window, QStringLiteral("cmd得点"));
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QStringLiteral("2"));
    QVERIFY(!mark(m_window, 2)->isHidden());

    clickBox(m_window, 2, 3); // unticked again
    clickButton(m_window, QStringLiteral("cmd得点"));
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QStringLiteral("0"));
    QVERIFY(mark(m_window, 2)->isHidden());
}

void TestExamWindow::threeDigitScoreStaysBeforeTheUnit()
{
    tickKeys(m_window, 1, exam::SlotCount);
    clickButton(m_window, QStringLiteral("cmd得点"));
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QStringLiteral("200"));

    auto *score = control<QLabel>(m_window, QStringLiteral("lbl得点"));
    auto *unit = control<QLabel>(m_window, QStringLiteral("Label2"));
    const int unitTextLeft
        = unit->geometry().right() - QFontMetrics(unit->font()).horizontalAdvance(unit->text());
    QCOMPARE(score->x(), 45);
    QVERIFY(score->width() >= QFontMetrics(score->font()).horizontalAdvance(QStringLiteral("200")));
    QVERIFY(score->geometry().right() < unitTextLeft);
    QVERIFY(m_window->centralWidget()->children().indexOf(score)
            > m_window->centralWidget()->children().indexOf(unit));
    QVERIFY(
        m_window->centralWidget()->children().indexOf(control(m_window, QStringLiteral("lbl秒")))
        > m_window->centralWidget()->children().indexOf(
            control(m_window, QStringLiteral("Label1"))));
}

void TestExamWindow::resizingMovesNothing()
{
    QHash<QWidget *, QRect> before;
    for (QWidget *child : m_window->centralWidget()->findChildren<QWidget *>())
        before.insert(child, child->geometry());
    m_window->resize(m_window->width() + 200, m_window->height() + 150);
    m_window->showMaximized();
    QTRY_VERIFY(m_window->centralWidget()->width() > 792);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(it.key()->geometry(), it.value());
}

QTEST_MAIN(TestExamWindow)
#include "tst_examwindow.moc"
