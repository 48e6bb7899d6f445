#include "examtestutil.h"

#include "platform/rawpicture.h"
#include "platform/richtextpane.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <cmath>
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

// The device pixel under the middle of a logical pixel of `widget`, in a shot of `window`.
QPoint devicePixel(const QWidget *window, const QWidget *widget, QPoint logical)
{
    const QPointF middle = QPointF(widget->mapTo(window, logical)) + QPointF(0.5, 0.5);
    const qreal ratio = window->devicePixelRatioF();
    return QPoint(int(std::floor(middle.x() * ratio)), int(std::floor(middle.y() * ratio)));
}

QPoint devicePixel(const QWidget *window, QPoint logical)
{
    return devicePixel(window, window, logical);
}

// The ring's red, measured by how far the green falls from the ground's.
struct RingPixels
{
    QRect bounds;    // of the pixels at least half red
    int red = 0;     // at least half red
    int partial = 0; // between a tenth and nine tenths red: the soft edge
};

RingPixels ringPixels(const QImage &image, QRect area, int ground)
{
    RingPixels ring;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const double redness = double(ground - qGreen(image.pixel(x, y))) / ground;
            if (redness >= 0.5) {
                ++ring.red;
                ring.bounds |= QRect(x, y, 1, 1);
            }
            ring.partial += redness > 0.1 && redness < 0.9;
        }
    }
    return ring;
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
    void ringAtScreenResolution();
    void sheetTabSeparators();
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
    // X gives a window's pixels only while all of it is on the screen, which at a scale factor
    // of 2 takes a screen of 1600 by 1200 or so.
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    const bool fits = window->screen()->geometry().contains(window->frameGeometry());
    closeAllWindows();
    if (!fits)
        QSKIP("the exam window does not fit the screen at this scale factor");
}

// The window's client area as X shows it, in device pixels: a window at a scale factor of 2 is
// shot at twice its size in logical pixels.
QImage TestScreenshots::shoot(QWidget *window, const QString &name)
{
    window->raise();
    window->activateWindow();
    [&] {
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }();
    QTest::qWait(300); // let the X server finish drawing before import reads it
    const QString path = m_folder.filePath(name + QStringLiteral(".png"));
    // The window itself, which X holds in device pixels.
    QProcess import;
    import.start(QStringLiteral("import"),
                 {QStringLiteral("-window"), QString::number(window->winId()), path});
    import.waitForFinished(30000);
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

void TestScreenshots::examWindowAtStart()
{
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    const QImage shot = shoot(window, QStringLiteral("exam-window"));
    QVERIFY(!shot.isNull());
    QWidget *client = window->centralWidget();
    // The pink box around the remaining time, and the yellow answer sheet.
    QCOMPARE(QColor(shot.pixel(devicePixel(window, client, QPoint(10, 106)))),
             QColor(255, 128, 255));
    QCOMPARE(QColor(shot.pixel(devicePixel(window, client, QPoint(140, 540)))),
             QColor(255, 255, 0));
    // The sheet's tab strip is yellow throughout, the background picture nowhere: above a tab
    // that is not current, and right of the last row's ten tabs.
    auto *sheet = control<platform::TabControl>(window, QStringLiteral("SSTab2"));
    const QRect secondRow = sheet->tabRect(13), last = sheet->tabRect(33);
    for (const QPoint gap : {QPoint(secondRow.center().x(), secondRow.top()),
                             QPoint(secondRow.center().x(), secondRow.top() + 1),
                             QPoint(last.right() + 2, last.center().y()),
                             QPoint(last.right() + last.width(), last.top()),
                             QPoint(sheet->tabRect(11).center().x(), last.bottom())}) {
        QVERIFY2(gap.x() < client->width() - sheet->x(), "inside the window");
        QCOMPARE(QColor(shot.pixel(devicePixel(window, sheet, gap))), QColor(255, 255, 0));
    }
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
    int red = 0;
    for (int dy = -2; dy <= 2; ++dy) {
        const QColor pixel(shot.pixel(devicePixel(window, ring, QPoint(3 + 16, 3 + 2 + dy))));
        red += pixel.red() > 180 && pixel.green() < 100;
    }
    QVERIFY(red > 0);
}

// On a screen of 1.5 or 2 device pixels a pixel the ring is drawn for it: the 1x ring's shape,
// scaled, with an edge as sharp as the 1x ring's on a 1x screen, not one scaled up soft.
void TestScreenshots::ringAtScreenResolution()
{
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    const qreal ratio = window->devicePixelRatioF();
    if (ratio == 1)
        QSKIP("on a 1x screen the ring is the design's picture itself");
    clickTab(control<platform::TabControl>(window, QStringLiteral("SSTab2")), 0);
    tickKeys(window, 1, 1);
    clickButton(window, QStringLiteral("cmd得点"));
    const QImage shot = shoot(window, QStringLiteral("ring"));
    QLabel *label = mark(window, 1);
    QVERIFY(label->isVisible());
    const QRectF inside(label->mapTo(window, label->contentsRect().topLeft()),
                        label->contentsRect().size());
    const QRect area = QRectF(inside.topLeft() * ratio, inside.size() * ratio).toAlignedRect();
    const int ground = qGreen(shot.pixel(area.center()));
    const RingPixels shown = ringPixels(shot, area, ground);

    // The 1x ring scaled smoothly to this screen, on the same ground.
    const QImage design = platform::rawPictureResource(QStringLiteral(":/data/maru.raw"));
    QImage scaled(design.size() * ratio, QImage::Format_RGB32);
    scaled.fill(shot.pixel(area.center()));
    {
        QPainter painter(&scaled);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(scaled.rect(), design);
    }
    const RingPixels expected = ringPixels(scaled, scaled.rect(), ground);

    // The same ring: as large, as much red, and red where the scaled one is.
    QVERIFY2(qAbs(shown.bounds.width() - expected.bounds.width()) <= 1,
             qPrintable(QStringLiteral("%1 device pixels across, scaled %2")
                            .arg(shown.bounds.width())
                            .arg(expected.bounds.width())));
    QVERIFY(qAbs(shown.bounds.height() - expected.bounds.height()) <= 1);
    QVERIFY2(
        qAbs(shown.red - expected.red) <= expected.red / 10,
        qPrintable(QStringLiteral("%1 red pixels, scaled %2").arg(shown.red).arg(expected.red)));
    int apart = 0;
    const QPoint offset = shown.bounds.topLeft() - expected.bounds.topLeft();
    for (int y = 0; y < scaled.height(); ++y) {
        for (int x = 0; x < scaled.width(); ++x) {
            const QPoint at = QPoint(x, y) + offset;
            if (!area.contains(at))
                continue;
            const int difference = qAbs(qGreen(shot.pixel(at)) - qGreen(scaled.pixel(x, y)));
            apart += difference > ground / 2;
        }
    }
    QVERIFY2(apart <= expected.red / 20, qPrintable(QStringLiteral("%1 pixels apart").arg(apart)));
    // Sharper: the soft edge is about one device pixel wide, not `ratio` of them.
    QVERIFY2(shown.partial * ratio < expected.partial * 1.25,
             qPrintable(QStringLiteral("%1 soft edge pixels, scaled %2")
                            .arg(shown.partial)
                            .arg(expected.partial)));
}

// The lines between the answer sheet's tabs are all as wide as each other, at a fractional scale
// too, where a line one logical pixel wide would cover one device pixel or two.
void TestScreenshots::sheetTabSeparators()
{
    ExamWindow *window = openExamWindow();
    QVERIFY(window);
    const QImage shot = shoot(window, QStringLiteral("sheet-tabs"));
    auto *sheet = control<platform::TabControl>(window, QStringLiteral("SSTab2"));
    const qreal ratio = window->devicePixelRatioF();
    // Across the right edge of each tab of the second row, halfway down it: the black line, and
    // captions too far from the edge to reach it.
    QList<int> widths;
    for (int i = 12; i < 24; ++i) {
        const QRect tab = sheet->tabRect(i);
        const QPoint middle = devicePixel(window, sheet, QPoint(tab.right(), tab.center().y()));
        int width = 0;
        for (int x = middle.x() - int(3 * ratio); x <= middle.x() + int(ratio) + 1; ++x)
            width += x < shot.width() && shot.pixel(x, middle.y()) == qRgb(0, 0, 0);
        widths << width;
    }
    QStringList shown;
    for (int width : std::as_const(widths))
        shown << QString::number(width);
    QVERIFY2(widths.first() > 0 && widths.count(widths.first()) == widths.size(),
             qPrintable(QStringLiteral("device pixels wide: ") + shown.join(u' ')));
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
            dark += QColor(shot.pixel(devicePixel(window, QPoint(300, y)))).value() < 100;
        QVERIFY2(dark > 10, "the passage shows text");

        platform::RichTextPane *pane = [&]() -> platform::RichTextPane * {
            for (auto *shown : window->findChildren<platform::RichTextPane *>())
                if (shown->isVisible())
                    return shown;
            return nullptr;
        }();
        QVERIFY(pane);
        const QWidget *view = pane->viewport();
        // In the shot's device pixels.
        const qreal ratio = window->devicePixelRatioF();
        const QRect text(devicePixel(window, view, QPoint(0, 0)),
                         devicePixel(window, view, QPoint(view->width() - 1, view->height() - 1)));
        const int clearRows = int(std::floor(2 * ratio));
        const auto isInk = [&](int x, int y) {
            return QColor(shot.pixel(x, y)).value() < 100;
        };
        // A row dark for 20 logical pixels or more is an underline: no character's stroke is that
        // long. Its clear space is checked below its last row.
        int underlines = 0;
        for (int y = text.top(); y < text.bottom() - clearRows; ++y) {
            int start = -1;
            for (int x = text.left(); x <= text.right() + 1; ++x) {
                const bool ink = x <= text.right() && isInk(x, y);
                if (ink && start < 0)
                    start = x;
                if (ink || start < 0)
                    continue;
                if (x - start >= 20 * ratio && !(isInk(start, y + 1) && isInk(x - 1, y + 1))) {
                    ++underlines;
                    for (int below = y + 1; below <= y + clearRows; ++below) {
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
            for (int x = text.left(); x < text.left() + 60 * ratio; ++x)
                coloured = coloured || selected.pixel(x, y) == highlight;
            run = coloured ? run + 1 : 0;
            band = std::max(band, run);
        }
        QVERIFY2(band >= 40 * ratio, "the selection fills the space between its lines");
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
    QCOMPARE(QColor(shot.pixel(devicePixel(window, QPoint(5, 5)))), QColor(255, 128, 128));
    auto *headline = control<QLabel>(window, QStringLiteral("Label1"));
    QCOMPARE(
        QColor(shot.pixel(devicePixel(window, headline->geometry().topRight() + QPoint(-2, 2)))),
        headline->palette().color(QPalette::Window));
    // The pane's border and scroll bar are the theme's, with no pink of the window's in them.
    const QRect pane = control<QWidget>(window, QStringLiteral("RichTextBox1"))->geometry();
    const QRect paneInShot(devicePixel(window, pane.topLeft()),
                           devicePixel(window, pane.bottomRight()));
    QCOMPARE(tintedPixels(shot, paneInShot & shot.rect(), Tint::Red), 0);
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
