#include "examtestutil.h"

#include <QPointer>

using namespace testutil;
using namespace Qt::StringLiterals;

namespace {

// Enough rounds that a widget left behind per opening cannot hide in the noise.
constexpr int Rounds = 20;

QStringList referenceWindowNames()
{
    QStringList names {reference::helpWindowName()};
    for (int w = 1; w <= reference::PassLineWindowCount; ++w)
        names << reference::passLineWindowName(w);
    return names;
}

// Lets the windows closed so far be destroyed.
void destroyClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The widgets that exist now but not in `before`, for the failure message.
QString extraWidgets(const QWidgetList &before)
{
    QStringList extra;
    for (QWidget *widget : QApplication::allWidgets()) {
        if (!before.contains(widget)) {
            extra << QString::fromLatin1(widget->metaObject()->className()) + u' '
                    + widget->objectName();
        }
    }
    return extra.join(u", ");
}

} // namespace

// Every window is built afresh each time it is shown and destroyed when it closes, so however
// often a student opens and closes them, nothing may pile up.
class TestLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { closeAllWindows(); }

    void windowOpenedAndClosedRepeatedly_data();
    void windowOpenedAndClosedRepeatedly();
    void exitWithEveryWindowOpen();

private:
    // Opens the window, makes it do its work and waits until it is on screen.
    static QWidget *open(const QString &name);
    void verifyNothingLeft();

    QWidgetList m_baseline;
};

void TestLifecycle::initTestCase()
{
    setUpProgram();
    // One round first: anything the toolkit builds once and keeps is not ours to count.
    QVERIFY(open(ExamWindow::designName()));
    for (const QString &name : referenceWindowNames())
        QVERIFY(open(name));
    closeAllWindows();
    m_baseline = QApplication::allWidgets();
}

QWidget *TestLifecycle::open(const QString &name)
{
    QWidget *window = platform::forms::show(name);
    if (!window || !QTest::qWaitForWindowExposed(window))
        return nullptr;
    if (auto *exam = dynamic_cast<ExamWindow *>(window)) {
        // Every reading page loads its document when first shown; the clock runs.
        auto *tabs = control<platform::TabControl>(exam, QStringLiteral("SSTab1"));
        for (int page = 0; page < tabs->count(); ++page)
            clickTab(tabs, page);
        clickBox(exam, 1, 1);
        exam->cmdスタート_Click();
    }
    return window;
}

void TestLifecycle::verifyNothingLeft()
{
    QCOMPARE(platform::forms::instance(ExamWindow::designName()), nullptr);
    for (const QString &name : referenceWindowNames())
        QCOMPARE(platform::forms::instance(name), nullptr);
    QVERIFY2(QApplication::allWidgets().size() == m_baseline.size(),
             qPrintable(u"left behind: "_s + extraWidgets(m_baseline)));
}

void TestLifecycle::windowOpenedAndClosedRepeatedly_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("exam") << ExamWindow::designName();
    QTest::newRow("help") << reference::helpWindowName();
    for (int w = 1; w <= reference::PassLineWindowCount; ++w)
        QTest::addRow("pass line %d", w) << reference::passLineWindowName(w);
}

void TestLifecycle::windowOpenedAndClosedRepeatedly()
{
    QFETCH(QString, name);
    for (int round = 0; round < Rounds; ++round) {
        const QPointer<QWidget> window = open(name);
        QVERIFY(window);
        QCOMPARE(platform::forms::instance(name), window.data());
        platform::forms::unload(name);
        destroyClosedWindows();
        QVERIFY2(!window, qPrintable(u"round "_s + QString::number(round)));
        verifyNothingLeft();
        if (QTest::currentTestFailed())
            return;
    }
}

void TestLifecycle::exitWithEveryWindowOpen()
{
    for (int round = 0; round < Rounds; ++round) {
        const QPointer<ExamWindow> exam = openExamWindow();
        QVERIFY(exam);
        QList<QPointer<QWidget>> windows {exam.data()};
        // The help window and a verdict through the program's own menu and buttons, the rest
        // directly, so that every window is open at once.
        exam->mnuAbout_Click();
        exam->cmd得点_Click();
        exam->cmd合格率_Click();
        for (const QString &name : referenceWindowNames()) {
            windows << open(name);
            QVERIFY2(windows.last(), qPrintable(name));
        }
        QVERIFY(open(ExamWindow::designName()) == exam);

        exam->mnuExit_Click();
        destroyClosedWindows();
        for (const QPointer<QWidget> &window : std::as_const(windows))
            QVERIFY2(!window, qPrintable(u"round "_s + QString::number(round)));
        verifyNothingLeft();
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
