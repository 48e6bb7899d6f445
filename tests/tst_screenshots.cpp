#include "examtestutil.h"

#include "platform/richtextpane.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <memory>

using namespace testutil;

namespace {

enum class Tint { Red, Teal };

// Pixels within `area` that carry a shade of the pink or teal of a window's ground: the documents
// are black on white and the theme's colours are greys.
int tintedPixels(const QImage &shot, const QRect &area, Tint tint)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c(shot.pixel(x, y));
            const int lead = tint == Tint::Red ? c.red() - c.green() : c.green() - c.red();
            count += lead > 40 && std::abs(c.green() - c.blue()) < 16;
        }
    }
    return count;
}

} // namespace

// Screenshots of the real windows on a real X server (the test command runs Xvfb), taken with
// ImageMagick's import as a user would see them, and checked for what must be visible.
// They go to a fresh temporary folder, removed at the end; KOKUGO_SCREENSHOT_DIR keeps them
// instead, as tools/screenshots.sh does for the README.
class TestScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { closeAllWindows(); }

    void examWindowAtStart();
    void examWindowScored();
    void readingTabs();
    void verdictWindows_data();
    void verdictWindows();
    void helpWindow();
    void windowsOpenCentred();

private:
    QImage shoot(QWidget *window, const QString &name);
    std::unique_ptr<QTemporaryDir> m_scratch;
    QDir m_folder;
};

void TestScreenshots::initTestCase()
{
    if (QGuiApplication::platformName() != u"xcb")
        QSKIP("needs an X server, and none answers at DISPLAY (./dev.sh test starts one)");
    if (QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty())
        QSKIP("needs ImageMagick's import");
    setUpProgram();
    QString folder = qEnvironmentVariable("KOKUGO_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        m_scratch = std::make_unique<QTemporaryDir>();
        QVERIFY(m_scratch->isValid());
        folder = m_scratch->path();
    }
    m_folder.setPath(folder);
    QVERIFY(m_folder.mkpath(QStringLiteral(".")));
}

// The window's client area as X shows it.
QImage TestScreenshots::shoot(QWidget *window, const QString &name)
{
    window->raise();
    window->activateWindow();
    [&] {
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }();
    QTest::qWait(300); // let the X server finish drawing before import reads it
    const QString path = m_folder.filePath(name + QStringLiteral(".png"));
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    const QString crop = QStringLiteral("%1x%2+%3+%4")
                             .arg(window->width())
                             .arg(window->height())
                             .arg(origin.x())
                             .arg(origin.y());
    QProcess import;
    import.start(
        QStringLiteral("import"),
        {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"), crop, path});
    import.waitForFinished(30000);
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

void TestScreenshots::examWindowAtStart()
{
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    const QImage shot = shoot(window, QStringLiteral("exam-window"));
    QVERIFY(!shot.isNull());
    const QPoint client = window->centralWidget()->mapTo(window, QPoint(0, 0));
    // The pink box around the remaining time, and the yellow answer sheet.
    QCOMPARE(QColor(shot.pixel(client + QPoint(10, 106))), QColor(255, 128, 255));
    QCOMPARE(QColor(shot.pixel(client + QPoint(140, 540))), QColor(255, 255, 0));
}

void TestScreenshots::examWindowScored()
{
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    tickKeys(window, 1, 2);
    clickButton(window, QStringLiteral("cmd得点"));
    clickButton(window, QStringLiteral("cmdスタート"));
    tickKeys(window, 3, 10);
    clickBox(window, 2, 3);
    clickButton(window, QStringLiteral("cmd得点"));
    clickBox(window, 1, 1);
    QCOMPARE(caption(window, QStringLiteral("lbl得点")), QStringLiteral("48"));
    const QImage shot = shoot(window, QStringLiteral("exam-window-scored"));
    // The red ring beside slot 1's frame.
    QLabel *ring = mark(window, 1);
    const QPoint centre = ring->mapTo(window, QPoint(3 + 16, 3 + 2));
    int red = 0;
    for (int dy = -2; dy <= 2; ++dy) {
        const QColor pixel(shot.pixel(centre + QPoint(0, dy)));
        red += pixel.red() > 180 && pixel.green() < 100;
    }
    QVERIFY(red > 0);
}

// Each passage in its tab: the documents are shown in the Gothic face, not as boxes or mojibake.
// An underline is one line at one depth, with clear space below it: no stubs where the smaller
// okurigana and kaeriten meet it, and no characters of the next line touching it.
void TestScreenshots::readingTabs()
{
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    auto *reading = control<platform::TabControl>(window, QStringLiteral("SSTab1"));
    for (int tab = 1; tab < reading->count(); ++tab) {
        clickTab(reading, tab);
        const QImage shot = shoot(window, QStringLiteral("reading-%1").arg(tab));
        int dark = 0;
        for (int y = 80; y < 300; ++y)
            dark += QColor(shot.pixel(300, y)).value() < 100;
        QVERIFY2(dark > 10, "the passage shows text");

        platform::RichTextPane *pane = [&]() -> platform::RichTextPane * {
            for (auto *shown : window->findChildren<platform::RichTextPane *>())
                if (shown->isVisible())
                    return shown;
            return nullptr;
        }();
        QVERIFY(pane);
        const QWidget *view = pane->viewport();
        const QRect text(view->mapTo(window, QPoint(0, 0)), view->size());
        // A row dark for 20 pixels or more is an underline: no character's stroke is that long.
        int underlines = 0;
        for (int y = text.top(); y < text.bottom() - 2; ++y) {
            int start = -1;
            for (int x = text.left(); x <= text.right() + 1; ++x) {
                const bool ink = x <= text.right() && QColor(shot.pixel(x, y)).value() < 100;
                if (ink && start < 0)
                    start = x;
                if (ink || start < 0)
                    continue;
                if (x - start >= 20) {
                    ++underlines;
                    for (int below = y + 1; below <= y + 2; ++below) {
                        for (int under = start; under < x; ++under) {
                            QVERIFY2(QColor(shot.pixel(under, below)).value() > 235,
                                     qPrintable(QStringLiteral("%1: ink at %2, %3 under the line "
                                                               "from %4 to %5 at %6")
                                                    .arg(reading->tabText(tab))
                                                    .arg(under)
                                                    .arg(below)
                                                    .arg(start)
                                                    .arg(x - 1)
                                                    .arg(y)));
                        }
                    }
                }
                start = -1;
            }
        }
        if (reading->tabText(tab) != QStringLiteral("漢文"))
            continue;
        QVERIFY2(underlines >= 5, "the marked parts of the text are underlined");

        // The start of the text selected, over three lines: one band of colour, with no white
        // between its lines.
        QTextCursor selection(pane->document()->findBlockByNumber(2));
        selection.setPosition(selection.position() + 150, QTextCursor::KeepAnchor);
        pane->setTextCursor(selection);
        const QImage selected = shoot(window, QStringLiteral("reading-%1-selected").arg(tab));
        const QRgb highlight = pane->palette().color(QPalette::Highlight).rgb();
        int band = 0;
        for (int y = text.top(), run = 0; y <= text.bottom(); ++y) {
            bool coloured = false;
            for (int x = text.left(); x < text.left() + 60; ++x)
                coloured = coloured || selected.pixel(x, y) == highlight;
            run = coloured ? run + 1 : 0;
            band = std::max(band, run);
        }
        QVERIFY2(band >= 40, "the selection fills the space between its lines");
    }
}

void TestScreenshots::verdictWindows_data()
{
    QTest::addColumn<int>("number");
    for (int w = 1; w <= reference::PassLineWindowCount; ++w)
        QTest::addRow("window_%d", w) << w;
}

void TestScreenshots::verdictWindows()
{
    QFETCH(int, number);
    QWidget *window = platform::forms::show(reference::passLineWindowName(number));
    const QImage shot = shoot(window, QStringLiteral("pass-line-%1").arg(number));
    QCOMPARE(QColor(shot.pixel(5, 5)), QColor(255, 128, 128));
    auto *headline = control<QLabel>(window, QStringLiteral("Label1"));
    QCOMPARE(QColor(shot.pixel(headline->geometry().topRight() + QPoint(-2, 2))),
             headline->palette().color(QPalette::Window));
    // The pane's border and scroll bar are the theme's, with no pink of the window's in them.
    const QRect pane = control<QWidget>(window, QStringLiteral("RichTextBox1"))->geometry();
    QCOMPARE(tintedPixels(shot, pane & shot.rect(), Tint::Red), 0);
}

void TestScreenshots::helpWindow()
{
    QWidget *window = platform::forms::show(reference::helpWindowName());
    const QImage shot = shoot(window, QStringLiteral("help"));
    // The pane covers the client area, and its border is the theme's: no teal, not even a
    // darker shade of it, anywhere in the window.
    QCOMPARE(tintedPixels(shot, shot.rect(), Tint::Teal), 0);
}

// On a real X server, where windows are placed as a desktop places them.
void TestScreenshots::windowsOpenCentred()
{
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    window->mnuAbout_Click();
    platform::forms::show(reference::passLineWindowName(1));
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    for (QWidget *form :
         {static_cast<QWidget *>(window), platform::forms::instance(reference::helpWindowName()),
          platform::forms::instance(reference::passLineWindowName(1))}) {
        QVERIFY(QTest::qWaitForWindowExposed(form));
        // The whole window, frame and title bar included, where a window manager adds them.
        const QPoint offset = form->frameGeometry().center() - centre;
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(form->objectName()));
    }
}

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
