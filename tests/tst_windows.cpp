#include "examtestutil.h"

#include "exam/scorebands.h"
#include "platform/richtextpane.h"

#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTemporaryDir>

using namespace testutil;
using platform::forms::instance;

namespace {

// Slots whose points add up to `score`, found by a small subset-sum search over the key.
QList<int> slotsScoring(int score)
{
    std::array<int, exam::FullMarks + 1> via {};
    via.fill(-1);
    via[0] = 0;
    std::array<QList<int>, exam::FullMarks + 1> sets;
    for (int k = 1; k <= exam::SlotCount; ++k) {
        for (int total = exam::FullMarks; total >= exam::slot(k).points; --total) {
            const int from = total - exam::slot(k).points;
            if (via[std::size_t(total)] < 0 && via[std::size_t(from)] >= 0) {
                via[std::size_t(total)] = k;
                sets[std::size_t(total)] = sets[std::size_t(from)] + QList<int> {k};
            }
        }
    }
    return sets[std::size_t(score)];
}

QList<QWidget *> openPassLineWindows()
{
    QList<QWidget *> open;
    for (int w = 1; w <= reference::PassLineWindowCount; ++w)
        if (QWidget *window = instance(reference::passLineWindowName(w)))
            open << window;
    return open;
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpProgram(); }
    void init();
    void cleanup() { closeAllWindows(); }

    void bands_data();
    void bands();
    void passRateButton_data();
    void passRateButton();
    void noScoreOpensNothing();
    void oneInstancePerWindow();
    void closedWindowComesBackFresh();
    void passLineWindowDesign_data();
    void passLineWindowDesign();
    void helpWindowDesign();
    void aboutShowsOneHelpWindow();
    void accessKeys();
    void exitClosesEverything_data();
    void exitClosesEverything();
    void closingTheExamWindowLeavesOthersOpen();
    void darkThemeKeepsDesignColours();
    void darkThemeBoxesStandOut_data();
    void darkThemeBoxesStandOut();
    void processEndsOnExit_data();
    void processEndsOnExit();
    void processEndsOnExit_child();
    void commandLine_data();
    void commandLine();

private:
    void score(int total);
    QList<QImage> designColoured();
    ExamWindow *m_window = nullptr;
};

void TestWindows::init()
{
    m_window = openExamWindow();
    QVERIFY(m_window);
}

void TestWindows::score(int total)
{
    const QList<int> chosen = slotsScoring(total);
    QVERIFY2(total == 0 || !chosen.isEmpty(), "no set of slots gives that score");
    for (int k : chosen)
        tickKeys(m_window, k, k);
    clickButton(m_window, QStringLiteral("cmd得点"));
    QCOMPARE(caption(m_window, QStringLiteral("lbl得点")), QString::number(total));
}

void TestWindows::bands_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("window");
    const std::pair<int, int> rows[]
        = {{0, 6},  {1, 5},  {5, 5},  {9, 5},   {39, 5},  {40, 4},  {59, 4},  {60, 3},
           {79, 3}, {80, 2}, {99, 2}, {100, 1}, {101, 2}, {150, 2}, {199, 2}, {200, 2}};
    for (const auto &[score, window] : rows)
        QTest::addRow("score_%d", score) << QString::number(score) << window;
    QTest::addRow("empty") << QString() << exam::NoVerdict;
}

void TestWindows::bands()
{
    QFETCH(QString, text);
    QFETCH(int, window);
    QCOMPARE(exam::passLineWindow(text), window);
}

// Every boundary the Score button can write, read back by the real Pass-rate button.
void TestWindows::passRateButton_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("window");
    const std::pair<int, int> rows[]
        = {{0, 6},  {3, 5},  {5, 5},  {9, 5},  {39, 5},  {40, 4},  {59, 4},
           {60, 3}, {79, 3}, {80, 2}, {99, 2}, {100, 1}, {101, 2}, {200, 2}};
    for (const auto &[total, window] : rows)
        QTest::addRow("score_%d", total) << total << window;
}

void TestWindows::passRateButton()
{
    QFETCH(int, total);
    QFETCH(int, window);
    score(total);
    clickButton(m_window, QStringLiteral("cmd合格率"));
    const QList<QWidget *> open = openPassLineWindows();
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.first()->objectName(), reference::passLineWindowName(window));
    QVERIFY(open.first()->isVisible());
    QVERIFY(!open.first()->parentWidget());
    QVERIFY(!open.first()->isModal());
    QVERIFY(m_window->isEnabled());
}

void TestWindows::noScoreOpensNothing()
{
    clickButton(m_window, QStringLiteral("cmd合格率"));
    QVERIFY(openPassLineWindows().isEmpty());
    clickButton(m_window, QStringLiteral("cmd得点"));
    clickButton(m_window, QStringLiteral("cmdスタート"));
    clickButton(m_window, QStringLiteral("cmd合格率"));
    QVERIFY(openPassLineWindows().isEmpty());
}

void TestWindows::oneInstancePerWindow()
{
    score(0);
    clickButton(m_window, QStringLiteral("cmd合格率"));
    QWidget *first = instance(reference::passLineWindowName(6));
    clickButton(m_window, QStringLiteral("cmd合格率"));
    QCOMPARE(instance(reference::passLineWindowName(6)), first);
    QCOMPARE(QApplication::topLevelWidgets().count(first), 1);
    QCOMPARE(openPassLineWindows().size(), 1);

    score(100);
    clickButton(m_window, QStringLiteral("cmd合格率"));
    QCOMPARE(openPassLineWindows().size(), 2);
    QCOMPARE(instance(reference::passLineWindowName(6)), first);
    QVERIFY(instance(reference::passLineWindowName(1)));
}

void TestWindows::closedWindowComesBackFresh()
{
    score(0);
    clickButton(m_window, QStringLiteral("cmd合格率"));
    QPointer<QWidget> first = instance(reference::passLineWindowName(6));
    auto *pane = control<platform::RichTextPane>(first, QStringLiteral("RichTextBox1"));
    pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum());
    first->close();
    QVERIFY(!instance(reference::passLineWindowName(6)));
    QTRY_VERIFY(!first);

    clickButton(m_window, QStringLiteral("cmd合格率"));
    QWidget *second = instance(reference::passLineWindowName(6));
    QVERIFY(second);
    QCOMPARE(control<platform::RichTextPane>(second, QStringLiteral("RichTextBox1"))
                 ->verticalScrollBar()
                 ->value(),
             0);
}

void TestWindows::passLineWindowDesign_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("headline");
    QTest::addColumn<QColor>("headlineColour");
    QTest::addColumn<QRect>("headlineRect");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QColor>("commentColour");
    QTest::addColumn<QRect>("commentRect");

    const QColor pink(255, 128, 128);
    QTest::addRow("99")
        << 1 << QStringLiteral(" 合格率 ９９％") << QColor(255, 0, 0)
        << pixels(4680, 120, 2535, 375)
        << QStringLiteral(
               " あなたはカンニングの天才です・・・ バレなければ一流大学９９％合格です。")
        << pink << pixels(1440, 720, 9135, 255);
    QTest::addRow("80") << 2 << QStringLiteral(" 合格率 ８０％") << QColor(255, 192, 128)
                        << pixels(4680, 240, 2535, 375)
                        << QStringLiteral(" 一流大学までもう少しです。 一生懸命お祈りしましょう。")
                        << pink << pixels(2520, 840, 6975, 255);
    QTest::addRow("50") << 3 << QStringLiteral(" 合格率 ５０％") << QColor(255, 255, 128)
                        << pixels(4680, 120, 2535, 375)
                        << QStringLiteral(" 四流大学にリーチ。 合コン生活までもう少しです。")
                        << pink << pixels(2880, 720, 6255, 255);
    QTest::addRow("10") << 4 << QStringLiteral(" 合格率 １０％") << QColor(128, 255, 128)
                        << pixels(4680, 240, 2535, 375)
                        << QStringLiteral(" 浪人生活にリーチです。 機械の故障に期待しましょう。")
                        << pink << pixels(2640, 840, 6735, 255);
    QTest::addRow("0") << 5 << QStringLiteral(" 合格率 ０％") << QColor(128, 255, 255)
                       << pixels(4800, 120, 2295, 375)
                       << QStringLiteral(
                              " 受験料がもったいないです。 親に迷惑をかけるのはやめましょう。")
                       << pink << pixels(1920, 720, 7935, 255);
    QTest::addRow("none") << 6 << QStringLiteral(" 計測不能") << QColor(128, 128, 255)
                          << pixels(5040, 120, 1815, 375)
                          << QStringLiteral(
                                 " 裏口入学も無理です。 大学生になるには自分で経営しましょう。")
                          << QApplication::palette().color(QPalette::Button)
                          << pixels(2040, 720, 7695, 255);
}

void TestWindows::passLineWindowDesign()
{
    QFETCH(int, window);
    QFETCH(QString, headline);
    QFETCH(QColor, headlineColour);
    QFETCH(QRect, headlineRect);
    QFETCH(QString, comment);
    QFETCH(QColor, commentColour);
    QFETCH(QRect, commentRect);

    QWidget *form = platform::forms::show(reference::passLineWindowName(window));
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QCOMPARE(form->windowTitle(), QStringLiteral("合格ライン"));
    QCOMPARE(form->size(), QSize(792, 573));
    QCOMPARE(form->palette().color(QPalette::Window), QColor(255, 128, 128));

    auto *label1 = control<QLabel>(form, QStringLiteral("Label1"));
    auto *label2 = control<QLabel>(form, QStringLiteral("Label2"));
    QCOMPARE(label1->text(), headline);
    QCOMPARE(label1->palette().color(label1->backgroundRole()), headlineColour);
    QCOMPARE(label1->geometry(), headlineRect);
    QCOMPARE(label1->font().pixelSize(), 21);
    QCOMPARE(label2->text(), comment);
    QCOMPARE(label2->palette().color(label2->backgroundRole()), commentColour);
    QCOMPARE(label2->geometry(), commentRect);
    QCOMPARE(label2->font().pixelSize(), 16);
    QVERIFY(QFontMetrics(label1->font()).horizontalAdvance(headline) <= label1->width());
    QVERIFY(QFontMetrics(label2->font()).horizontalAdvance(comment) <= label2->width());

    auto *pane = control<platform::RichTextPane>(form, QStringLiteral("RichTextBox1"));
    QCOMPARE(pane->geometry().left(), 0);
    QCOMPARE(pane->geometry().bottom() + 1, 577);
    QVERIFY(pane->geometry().right() >= form->width() - 1);
    QCOMPARE(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(pane->toPlainText().startsWith(QStringLiteral("旧帝国大学")));
    QTRY_VERIFY(pane->verticalScrollBar()->maximum() > 0); // longer than the pane
    // Tab order: the pane first, then the headline and the comment.
    const QObjectList children = form->children();
    QVERIFY(children.indexOf(pane) < children.indexOf(label1));
    QVERIFY(children.indexOf(label1) < children.indexOf(label2));
}

void TestWindows::helpWindowDesign()
{
    m_window->mnuAbout_Click();
    QWidget *help = instance(reference::helpWindowName());
    QVERIFY(help);
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QCOMPARE(help->windowTitle(), QStringLiteral("バージョン情報"));
    QCOMPARE(help->size(), QSize(792, 573));
    auto *pane = control<platform::RichTextPane>(help, QStringLiteral("RichTextBox1"));
    QVERIFY(pane->geometry().contains(help->rect()));
    QCOMPARE(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QTRY_VERIFY(pane->verticalScrollBar()->maximum() > 0);
    QVERIFY(pane->toPlainText().contains(QStringLiteral("ソフトの説明")));
    QVERIFY(m_window->isEnabled());
}

void TestWindows::aboutShowsOneHelpWindow()
{
    m_window->mnuAbout_Click();
    QPointer<QWidget> first = instance(reference::helpWindowName());
    m_window->mnuAbout_Click();
    QCOMPARE(instance(reference::helpWindowName()), first.data());
    first->close();
    QTRY_VERIFY(!first);
    m_window->mnuAbout_Click();
    QVERIFY(instance(reference::helpWindowName()));
}

void TestWindows::accessKeys()
{
    m_window->activateWindow();
    QTest::keyClick(m_window, Qt::Key_H, Qt::AltModifier);
    QMenu *helpMenu = m_window->findChild<QMenu *>(QStringLiteral("mnuHelp"));
    QTRY_VERIFY(helpMenu->isVisible());
    QTest::keyClick(helpMenu, Qt::Key_A);
    QTRY_VERIFY(instance(reference::helpWindowName()));

    m_window->activateWindow();
    QTest::keyClick(m_window, Qt::Key_G, Qt::AltModifier);
    QMenu *gameMenu = m_window->findChild<QMenu *>(QStringLiteral("mnuGame"));
    QTRY_VERIFY(gameMenu->isVisible());
    QTest::keyClick(gameMenu, Qt::Key_Q);
    QTRY_VERIFY(!instance(ExamWindow::designName()));
    QVERIFY(!instance(reference::helpWindowName()));
}

void TestWindows::exitClosesEverything_data()
{
    QTest::addColumn<bool>("withOthers");
    QTest::addColumn<bool>("clockRunning");
    QTest::addRow("exam_window_only") << false << false;
    QTest::addRow("help_and_two_verdicts") << true << false;
    QTest::addRow("while_the_clock_runs") << true << true;
}

void TestWindows::exitClosesEverything()
{
    QFETCH(bool, withOthers);
    QFETCH(bool, clockRunning);
    if (withOthers) {
        score(0);
        clickButton(m_window, QStringLiteral("cmd合格率"));
        score(60);
        clickButton(m_window, QStringLiteral("cmd合格率"));
        m_window->mnuAbout_Click();
        QCOMPARE(openPassLineWindows().size(), 2);
    }
    if (clockRunning)
        clickButton(m_window, QStringLiteral("cmdスタート"));
    QPointer<QTimer> clock = timer(m_window);

    m_window->findChild<QAction *>(QStringLiteral("mnuExit"))->trigger();

    QVERIFY(!instance(ExamWindow::designName()));
    QVERIFY(openPassLineWindows().isEmpty());
    QVERIFY(!instance(reference::helpWindowName()));
    QVERIFY(!clock || !clock->isActive());
    QTRY_VERIFY(!clock);
    // Unloading creates nothing: no window was built for the verdicts that were not open.
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
}

void TestWindows::closingTheExamWindowLeavesOthersOpen()
{
    score(80);
    clickButton(m_window, QStringLiteral("cmd合格率"));
    QPointer<QTimer> clock = timer(m_window);
    clickButton(m_window, QStringLiteral("cmdスタート"));
    m_window->close();
    QVERIFY(!clock->isActive());
    QVERIFY(!instance(ExamWindow::designName()));
    QWidget *verdict = instance(reference::passLineWindowName(2));
    QVERIFY(verdict && verdict->isVisible());
}

// What sits on a colour or picture of the design: the average note, the answer sheet's tab rows,
// the time and the score in their pink boxes, and a verdict's headline and comment.
QList<QImage> TestWindows::designColoured()
{
    QWidget *client = m_window->centralWidget();
    // The note reaches a pixel under the reading pane, which follows the theme.
    const QRect column(0, 0, control(client, QStringLiteral("SSTab1"))->x(), client->height());
    const auto grab = [client, column](const QString &name) {
        return client->grab(control(client, name)->geometry() & column).toImage();
    };
    QList<QImage> regions {grab(QStringLiteral("Label4"))};
    clickButton(m_window, QStringLiteral("cmdスタート"));
    regions << grab(QStringLiteral("Label1"));
    tickKeys(m_window, 1, 10);
    clickButton(m_window, QStringLiteral("cmd得点"));
    regions << grab(QStringLiteral("Label2"));
    auto *sheet = control<platform::TabControl>(m_window, QStringLiteral("SSTab2"));
    const QRect tabRows(sheet->pos(), QSize(sheet->width(), sheet->tabRect(33).bottom() + 1));
    regions << client->grab(tabRows & client->rect()).toImage();
    clickButton(m_window, QStringLiteral("cmd合格率")); // 50 points
    QWidget *verdict = instance(reference::passLineWindowName(4));
    for (const QString &label : {QStringLiteral("Label1"), QStringLiteral("Label2")})
        regions << verdict->grab(control(verdict, label)->geometry()).toImage();
    return regions;
}

// Under a dark desktop theme the captions on the design's colours stay as the design draws them;
// the comment on the toolkit's button face follows the theme.
void TestWindows::darkThemeKeepsDesignColours()
{
    const QList<QImage> light = designColoured();
    closeAllWindows();
    const QPalette original = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(original); });
    const QPalette dark(QColor(53, 53, 53)); // white text, black base
    QApplication::setPalette(dark);
    m_window = openExamWindow();
    const QList<QImage> shown = designColoured();
    const char *names[] = {"note", "time", "score", "sheet tabs", "headline", "comment"};
    for (std::size_t i = 0; i < std::size(names); ++i)
        QVERIFY2(shown.at(qsizetype(i)) == light.at(qsizetype(i)), names[i]);

    auto *comment = control<QLabel>(platform::forms::show(reference::passLineWindowName(6)),
                                    QStringLiteral("Label2"));
    QCOMPARE(comment->palette().color(comment->foregroundRole()), QColor(Qt::white));
}

namespace {

// The contrast ratio of the web's accessibility guidelines, worked out here from its definition.
double contrastRatio(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

void TestWindows::darkThemeBoxesStandOut_data()
{
    QTest::addColumn<QColor>("face");
    QTest::addColumn<bool>("whileOpen");
    QTest::addRow("dark_grey_theme") << QColor(53, 53, 53) << false;
    QTest::addRow("black_theme") << QColor(0, 0, 0) << false;
    QTest::addRow("dark_theme_chosen_while_open") << QColor(53, 53, 53) << true;
}

// An unticked answer box under a dark theme stands at least 3:1 against the frame around it, by
// its edge or its fill, and its tick shows as well.
void TestWindows::darkThemeBoxesStandOut()
{
    QFETCH(QColor, face);
    QFETCH(bool, whileOpen);
    closeAllWindows();
    const QPalette original = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(original); });
    if (!whileOpen)
        QApplication::setPalette(QPalette(face));
    m_window = openExamWindow();
    QVERIFY(m_window);
    // The application's palette reaches open windows only from the event loop, which a test
    // does not run; a window's own palette, as a change of theme would, at once.
    if (whileOpen)
        m_window->setPalette(QPalette(face));

    QCheckBox *unticked = box(m_window, 1, 2);
    auto *frame = unticked->parentWidget();
    QStyleOptionButton option;
    option.initFrom(unticked);
    const QRect indicator
        = unticked->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, unticked);
    // From three pixels left of the box, the frame around it.
    const auto boxImage = [&] {
        return frame->grab(unticked->geometry().adjusted(-3, 0, 0, 0)).toImage();
    };
    const QImage shown = boxImage();
    const QPoint centre = indicator.center() + QPoint(3, 0);
    const QRgb around = shown.pixel(0, centre.y());
    const double fill = contrastRatio(shown.pixel(centre), around);
    const double edge = contrastRatio(shown.pixel(indicator.left() + 3, centre.y()), around);
    QVERIFY2(std::max(fill, edge) >= 3,
             qPrintable(
                 QStringLiteral("fill %1:1, edge %2:1").arg(fill, 0, 'f', 2).arg(edge, 0, 'f', 2)));

    unticked->setChecked(true);
    const QImage ticked = boxImage();
    double tick = 0;
    for (int y = indicator.top() + 2; y < indicator.bottom() - 1; ++y) {
        for (int x = indicator.left() + 5; x < indicator.right() + 2; ++x)
            tick = std::max(tick, contrastRatio(ticked.pixel(x, y), shown.pixel(centre)));
    }
    QVERIFY2(tick >= 3, qPrintable(QStringLiteral("tick %1:1").arg(tick, 0, 'f', 2)));
}

void TestWindows::processEndsOnExit_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("platform");
    QTest::addRow("exit_menu") << QStringLiteral("exit") << QStringLiteral("offscreen");
    QTest::addRow("close_buttons_exam_window_first")
        << QStringLiteral("close") << QStringLiteral("offscreen");
    QTest::addRow("exit_menu_on_wayland") << QStringLiteral("exit") << QStringLiteral("wayland");
}

// The program's process really ends when its last window closes, by Exit or one by one.
void TestWindows::processEndsOnExit()
{
    QFETCH(QString, scenario);
    QFETCH(QString, platform);
    if (platform == u"wayland" && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        QSKIP("needs a Wayland compositor: WAYLAND_DISPLAY is not set (./dev.sh test starts one)");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KOKUGO_CHILD"), scenario);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
#ifdef __SANITIZE_ADDRESS__
    // The window's decorations on Wayland bring in Mesa's EGL, which leaks in a driver it unloads
    // at exit, where no leak suppression can name it.
    environment.insert(QStringLiteral("QT_WAYLAND_DISABLE_WINDOWDECORATION"), QStringLiteral("1"));
#endif
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("processEndsOnExit_child")});
    QVERIFY(child.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    QCOMPARE(child.exitCode(), 0);
    QVERIFY2(output.contains(QStringLiteral("PASS   : TestWindows::processEndsOnExit_child")),
             qPrintable(output));
}

void TestWindows::processEndsOnExit_child()
{
    if (qEnvironmentVariableIsEmpty("KOKUGO_CHILD"))
        QSKIP("runs only in the child started by processEndsOnExit");
    QCOMPARE(QGuiApplication::platformName(), qEnvironmentVariable("QT_QPA_PLATFORM"));
    score(40);
    QVERIFY(!mark(m_window, slotsScoring(40).first())->isHidden());
    clickButton(m_window, QStringLiteral("cmd合格率"));
    m_window->mnuAbout_Click();
    clickButton(m_window, QStringLiteral("cmdスタート"));
    if (qEnvironmentVariable("KOKUGO_CHILD") == u"exit") {
        QTimer::singleShot(0, m_window->findChild<QAction *>(QStringLiteral("mnuExit")),
                           &QAction::trigger);
    } else {
        QTimer::singleShot(0, m_window, [this] {
            m_window->close();
            QTimer::singleShot(0, qApp, [] {
                // The program still runs with the verdict and help windows open.
                instance(reference::passLineWindowName(4))->close();
                instance(reference::helpWindowName())->close();
            });
        });
    }
    // Fails by timing out if the last window's closing did not end the event loop.
    QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(3); });
    QCOMPARE(QApplication::exec(), 0);
}

void TestWindows::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    // NAME=value sets a variable, NAME= leaves it unset, NAME alone passes on this test's own
    // (the row skips without it: ./dev.sh test runs an X server and a Wayland compositor).
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("standardOutput"); // a file, or empty to read what is printed
    QTest::addColumn<int>("status");             // -1: still running, its window open
    QTest::addColumn<QStringList>("output");
    QTest::addColumn<QString>("error");

    const auto words = [](const char *line) {
        return QString::fromLatin1(line).split(u' ');
    };
    const QString noDisplay = QStringLiteral(
        "kokugo-mogi: no graphical display (DISPLAY or WAYLAND_DISPLAY is not set)\n");
    QTest::addRow("no_display") << QStringList() << QStringList() << QString() << 1 << QStringList()
                                << noDisplay;
    QTest::addRow("no_display_for_wayland") << words("-platform wayland") << QStringList()
                                            << QString() << 1 << QStringList() << noDisplay;
    QTest::addRow("offscreen_needs_none") << words("-platform offscreen") << QStringList()
                                          << QString() << -1 << QStringList() << QString();
    QTest::addRow("offscreen_from_environment")
        << QStringList() << words("QT_QPA_PLATFORM=offscreen") << QString() << -1 << QStringList()
        << QString();

    // A display or windowing system that cannot be opened: one line, never the toolkit's abort.
    const QString noX
        = QStringLiteral("kokugo-mogi: cannot open a window on the X display ':77'\n");
    QTest::addRow("x_display_not_answering")
        << QStringList() << words("DISPLAY=:77") << QString() << 1 << QStringList() << noX;
    QTest::addRow("display_option_not_answering")
        << words("-display :77") << QStringList() << QString() << 1 << QStringList() << noX;
    const QString noFoo
        = QStringLiteral("kokugo-mogi: cannot open a window on the platform 'foo'\n");
    QTest::addRow("platform_not_installed") << words("-platform foo") << words("DISPLAY=:77")
                                            << QString() << 1 << QStringList() << noFoo;
    QTest::addRow("platform_not_installed_from_environment")
        << QStringList() << words("DISPLAY=:77 QT_QPA_PLATFORM=foo") << QString() << 1
        << QStringList() << noFoo;
    QTest::addRow("wayland_display_without_socket")
        << QStringList() << words("WAYLAND_DISPLAY=kokugo-no-such-socket") << QString() << 1
        << QStringList()
        << QStringLiteral("kokugo-mogi: cannot open a window on the Wayland display "
                          "'kokugo-no-such-socket'\n");
    const QString noWayland = QStringLiteral(
        "kokugo-mogi: cannot open a window on a Wayland display (WAYLAND_DISPLAY is not set)\n");
    QTest::addRow("wayland_asked_with_only_x") << words("-platform wayland") << words("DISPLAY")
                                               << QString() << 1 << QStringList() << noWayland;
    // Where the Wayland library itself would complain on standard error.
    QTest::addRow("wayland_asked_without_runtime_folder")
        << words("-platform wayland") << words("DISPLAY=:77 XDG_RUNTIME_DIR=") << QString() << 1
        << QStringList() << noWayland;
    QTest::addRow("x_asked_with_only_wayland")
        << words("-platform xcb") << words("WAYLAND_DISPLAY XDG_RUNTIME_DIR") << QString() << 1
        << QStringList()
        << QStringLiteral(
               "kokugo-mogi: cannot open a window on an X display (DISPLAY is not set)\n");

    const QStringList version {QStringLiteral("kokugo-mogi " KOKUGO_VERSION "\n")};
    QTest::addRow("version") << words("--version") << QStringList() << QString() << 0 << version
                             << QString();
    QTest::addRow("version_short")
        << words("-v") << QStringList() << QString() << 0 << version << QString();
    QTest::addRow("help") << words("--help") << QStringList() << QString() << 0
                          << QStringList {QStringLiteral("\n  -platform <name>"),
                                          QStringLiteral("\n  -display <name>"),
                                          QStringLiteral("\n  --minutes <n>"),
                                          QStringLiteral("\n  -h, --help")}
                          << QString();
    QTest::addRow("help_to_a_full_disk")
        << words("--help") << QStringList() << QStringLiteral("/dev/full") << 1 << QStringList()
        << QStringLiteral("kokugo-mogi: cannot write to standard output: No space left on "
                          "device\n");
    const QString tryHelp = QStringLiteral("Try 'kokugo-mogi --help' for more information.\n");
    QTest::addRow("unknown_option")
        << words("--colour") << QStringList() << QString() << 2 << QStringList()
        << QStringLiteral("kokugo-mogi: Unknown option 'colour'.\n") + tryHelp;
    // The toolkit would pass over the value and look for a display after all.
    QTest::addRow("value_glued_to_platform")
        << words("-platform=offscreen") << QStringList() << QString() << 2 << QStringList()
        << QStringLiteral("kokugo-mogi: give the value of '-platform' as the next word: "
                          "'-platform offscreen'\n")
            + tryHelp;

    // The sitting's length: whole minutes from 1 to 600.
    const QStringList offscreen = words("QT_QPA_PLATFORM=offscreen");
    QTest::addRow("minutes_shortest")
        << words("--minutes 1") << offscreen << QString() << -1 << QStringList() << QString();
    QTest::addRow("minutes_longest")
        << words("--minutes=600") << offscreen << QString() << -1 << QStringList() << QString();
    for (const char *value : {"0", "601", "-5", "abc", "1.5", ""}) {
        QTest::addRow("minutes_%s", *value ? value : "empty")
            << QStringList {QStringLiteral("--minutes"), QString::fromLatin1(value)} << offscreen
            << QString() << 2 << QStringList()
            << QStringLiteral("kokugo-mogi: --minutes wants a whole number of minutes from 1 to "
                              "600, not '%1'\n")
                    .arg(QString::fromLatin1(value))
                + tryHelp;
    }
    QTest::addRow("minutes_missing")
        << words("--minutes") << offscreen << QString() << 2 << QStringList()
        << QStringLiteral("kokugo-mogi: Missing value after '--minutes'.\n") + tryHelp;
}

// The real executable, started as from a terminal with no graphical display.
void TestWindows::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(QString, standardOutput);
    QFETCH(int, status);
    QFETCH(QStringList, output);
    QFETCH(QString, error);

    QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        childEnvironment.remove(QString::fromLatin1(name));
    // An empty one, so that no compositor of the desktop running the tests can answer.
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    childEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    for (const QString &variable : std::as_const(environment)) {
        const QString name = variable.section(u'=', 0, 0);
        const QString value = variable.section(u'=', 1);
        if (!variable.contains(u'=')) {
            if (qEnvironmentVariableIsEmpty(qPrintable(name)))
                QSKIP(qPrintable(name + QStringLiteral(" is not set: ./dev.sh test sets it")));
            childEnvironment.insert(name, qEnvironmentVariable(qPrintable(name)));
        } else if (value.isEmpty()) {
            childEnvironment.remove(name);
        } else {
            childEnvironment.insert(name, value);
        }
    }
    QProcess program;
    program.setProcessEnvironment(childEnvironment);
    if (!standardOutput.isEmpty())
        program.setStandardOutputFile(standardOutput);
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kokugo-mogi"),
                  arguments);
    QVERIFY(program.waitForStarted());
    if (status < 0) {
        // A program that refuses to start ends at once; one that runs is still there.
        QVERIFY2(!program.waitForFinished(1000), program.readAllStandardError().constData());
        program.kill();
        program.waitForFinished();
        return;
    }
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()), error);
    QCOMPARE(program.exitCode(), status);
    const QString printed = QString::fromUtf8(program.readAllStandardOutput());
    for (const QString &expected : std::as_const(output))
        QVERIFY2(printed.contains(expected), qPrintable(printed));
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
