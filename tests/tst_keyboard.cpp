#include "examtestutil.h"
#include "platform/preparer.h"
#include "platform/tabcontrol.h"

#include <QAccessible>
#include <QPlainTextEdit>
#include <QScrollBar>

using namespace testutil;

namespace {

QString spoken(QObject *object)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QString describe(const QWidget *widget)
{
    if (!widget)
        return QStringLiteral("(none)");
    const int index = platform::designIndex(widget);
    return index > 0 ? QStringLiteral("%1(%2)").arg(widget->objectName()).arg(index)
                     : widget->objectName();
}

} // namespace

// A student who cannot use the mouse, or hears the window through a screen reader, can still sit
// the whole paper.
class TestKeyboard : public QObject
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

    void everyControlHasASpokenName();
    void tabOrder();
    void sitThePaperByKeyboard();
    void controlKeysChangeTab_data();
    void controlKeysChangeTab();
    void bookletScrollsToItsLastLine_data();
    void bookletScrollsToItsLastLine();

private:
    QStringList tabChain(int presses);
    ExamWindow *m_window = nullptr;
};

void TestKeyboard::everyControlHasASpokenName()
{
    const QStringView circled = u"①②③④⑤⑥⑦";
    for (int k = 1; k <= exam::SlotCount; ++k) {
        for (int i = 1; i <= exam::slot(k).choices; ++i) {
            QCOMPARE(spoken(box(m_window, k, i)),
                     exam::slotCaption(k).toString() + u' ' + circled.at(i - 1));
        }
    }
    QCOMPARE(spoken(control(m_window, QStringLiteral("lbl秒"))), QStringLiteral("残り時間"));
    QCOMPARE(spoken(control(m_window, QStringLiteral("lbl得点"))), QStringLiteral("得点"));
    clickButton(m_window, QStringLiteral("cmdスタート"));
    QCOMPARE(spoken(control(m_window, QStringLiteral("lbl秒"))), QStringLiteral("残り時間 1:20"));
    clickButton(m_window, QStringLiteral("cmd得点"));
    QCOMPARE(spoken(control(m_window, QStringLiteral("lbl得点"))), QStringLiteral("得点 0"));
    QCOMPARE(spoken(control(m_window, QStringLiteral("cmd得点"))), QStringLiteral("得　点"));
    QCOMPARE(spoken(control(m_window, QStringLiteral("RichTextBox1"))), QStringLiteral("問題"));
}

QStringList TestKeyboard::tabChain(int presses)
{
    QStringList chain;
    for (int i = 0; i < presses; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        chain << describe(QApplication::focusWidget());
    }
    return chain;
}

// From Start down the left column, into the reading pane, then the answer sheet and its boxes,
// and round again.
void TestKeyboard::tabOrder()
{
    QCOMPARE(describe(QApplication::focusWidget()), QStringLiteral("cmdスタート"));
    QCOMPARE(tabChain(11),
             (QStringList {QStringLiteral("cmd得点"), QStringLiteral("cmd合格率"),
                           QStringLiteral("SSTab1"), QStringLiteral("RichTextBox1"),
                           QStringLiteral("SSTab2"), QStringLiteral("chk国語1(1)"),
                           QStringLiteral("chk国語1(2)"), QStringLiteral("chk国語1(3)"),
                           QStringLiteral("chk国語1(4)"), QStringLiteral("chk国語1(5)"),
                           QStringLiteral("cmdスタート")}));
}

// Arrow keys pick a tab, Tab reaches its boxes and Space ticks them; Score by keyboard too.
void TestKeyboard::sitThePaperByKeyboard()
{
    auto *sheet = control<platform::TabControl>(m_window, QStringLiteral("SSTab2"));
    sheet->setFocus();
    for (int k = 1; k <= exam::SlotCount; ++k) {
        QCOMPARE(sheet->currentIndex(), k - 1);
        for (int i = 1; i <= exam::slot(k).choices; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), box(m_window, k, i));
            if (exam::slot(k).key & exam::choice(i))
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        }
        sheet->setFocus();
        QTest::keyClick(sheet, Qt::Key_Right);
    }
    auto *score = control<QPushButton>(m_window, QStringLiteral("cmd得点"));
    score->setFocus();
    QTest::keyClick(score, Qt::Key_Space);
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QStringLiteral("200"));
}

// From a box of the answer sheet or from a reading pane, the keys that change tabs reach the tab
// control, round past either end, and take the focus on to the same place on the new page.
void TestKeyboard::controlKeysChangeTab_data()
{
    QTest::addColumn<QString>("tabs");
    QTest::addColumn<int>("from");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("focus");
    const int last = exam::SlotCount - 1;
    const auto ctrl = [](Qt::Key key) {
        return QKeyCombination(Qt::ControlModifier, key);
    };
    const QKeyCombination ctrlShiftTab(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Tab);
    // What X sends for Ctrl+Shift+Tab.
    const QKeyCombination ctrlBacktab(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Backtab);
    const auto row = [](const char *name, const QString &tabs, int from, QKeyCombination key,
                        int to, const QString &focus) {
        QTest::addRow("%s", name) << tabs << from << key << to << focus;
    };
    const QString sheet = QStringLiteral("SSTab2");
    const QString reading = QStringLiteral("SSTab1");
    const auto firstBox = [](int k) {
        return QStringLiteral("chk国語%1(1)").arg(k);
    };
    row("box_ctrl_tab", sheet, 0, ctrl(Qt::Key_Tab), 1, firstBox(2));
    row("box_ctrl_page_down", sheet, 4, ctrl(Qt::Key_PageDown), 5, firstBox(6));
    row("box_ctrl_shift_tab", sheet, 5, ctrlShiftTab, 4, firstBox(5));
    row("box_ctrl_page_up", sheet, 5, ctrl(Qt::Key_PageUp), 4, firstBox(5));
    row("box_last_ctrl_tab_wraps", sheet, last, ctrl(Qt::Key_Tab), 0, firstBox(1));
    row("box_first_ctrl_backtab_wraps", sheet, 0, ctrlBacktab, last, firstBox(last + 1));
    row("pane_ctrl_tab", reading, 0, ctrl(Qt::Key_Tab), 1, QStringLiteral("RichTextBox2"));
    row("pane_ctrl_page_down", reading, 0, ctrl(Qt::Key_PageDown), 1,
        QStringLiteral("RichTextBox2"));
    row("pane_ctrl_page_up_wraps", reading, 0, ctrl(Qt::Key_PageUp), 4,
        QStringLiteral("RichTextBox3"));
    row("pane_last_ctrl_page_down_wraps", reading, 4, ctrl(Qt::Key_PageDown), 0,
        QStringLiteral("RichTextBox1"));
    row("tab_itself_ctrl_tab", reading, 0, ctrl(Qt::Key_Tab), 1, reading);
}

void TestKeyboard::controlKeysChangeTab()
{
    QFETCH(QString, tabs);
    QFETCH(int, from);
    QFETCH(QKeyCombination, key);
    QFETCH(int, to);
    QFETCH(QString, focus);
    auto *control = testutil::control<platform::TabControl>(m_window, tabs);
    control->setCurrentIndex(from);
    control->setFocus();
    if (focus != tabs) {
        // Into the page, as a student gets there.
        QTest::keyClick(control, Qt::Key_Tab);
        QVERIFY(control->page(from)->isAncestorOf(QApplication::focusWidget()));
    }
    QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    QCOMPARE(control->currentIndex(), to);
    QCOMPARE(describe(QApplication::focusWidget()), focus);
}

// However the booklet is scrolled to its end, its last line ends at the bottom of the pane: the
// pane never scrolls past the end of the text, nor stops short of it. So does a passage that was
// laid out and drawn off screen before it was first shown.
void TestKeyboard::bookletScrollsToItsLastLine_data()
{
    QTest::addColumn<QKeyCombination>("key"); // pressed until the pane scrolls no further
    QTest::addColumn<int>("tab");             // of the reading pane
    QTest::addColumn<QString>("pane");
    const QKeyCombination ctrlEnd(Qt::ControlModifier, Qt::Key_End);
    const QString booklet = QStringLiteral("RichTextBox1");
    QTest::addRow("ctrl_end") << ctrlEnd << 0 << booklet;
    QTest::addRow("page_down") << QKeyCombination(Qt::Key_PageDown) << 0 << booklet;
    QTest::addRow("scroll_bar_dragged_down") << QKeyCombination() << 0 << booklet;
    QTest::addRow("prepared_passage_ctrl_end") << ctrlEnd << 1 << QStringLiteral("RichTextBox2");
    QTest::addRow("prepared_passage_scroll_bar_dragged_down")
        << QKeyCombination() << 4 << QStringLiteral("RichTextBox3");
}

void TestKeyboard::bookletScrollsToItsLastLine()
{
    QFETCH(QKeyCombination, key);
    QFETCH(int, tab);
    QFETCH(QString, pane);
    if (tab != 0) {
        platform::Preparer *preparer = platform::prepareTextPanes(m_window);
        m_window->update();
        QTRY_VERIFY(preparer->isDone());
        control<platform::TabControl>(m_window, QStringLiteral("SSTab1"))->setCurrentIndex(tab);
    }
    auto *booklet = control<QPlainTextEdit>(m_window, pane);
    QScrollBar *bar = booklet->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    // Where the end of the text is drawn, from the top of the pane.
    const auto endBottom = [booklet] {
        QTextCursor end(booklet->document());
        end.movePosition(QTextCursor::End);
        return booklet->cursorRect(end).bottom();
    };
    const int lineSpacing = booklet->fontMetrics().lineSpacing();
    if (key == QKeyCombination()) {
        // The range the pane settles on once shown, with no key pressed.
        QTRY_VERIFY((bar->setValue(bar->maximum()),
                     endBottom() > booklet->viewport()->height() - 2 * lineSpacing));
    } else {
        booklet->setFocus();
        for (int value = -1; value != bar->value();) {
            value = bar->value();
            QTest::keyClick(booklet, key.key(), key.keyboardModifiers());
        }
    }
    const int bottom = endBottom();
    QVERIFY2(bottom <= booklet->viewport()->height(), qPrintable(QString::number(bottom)));
    QVERIFY2(bottom > booklet->viewport()->height() - 2 * lineSpacing,
             qPrintable(QString::number(bottom)));
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
