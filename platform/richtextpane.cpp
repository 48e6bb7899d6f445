#include "platform/richtextpane.h"

#include "platform/fonts.h"
#include "platform/rtfreader.h"
#include "platform/tabcontrol.h"

#include <QEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace platform {

namespace {

constexpr int DefaultHalfPoints = 18; // the documents' 9 pt

bool isPlain(const rtf::Document &document)
{
    for (const rtf::Paragraph &paragraph : document.paragraphs) {
        for (const rtf::Run &run : paragraph) {
            if (run.format != rtf::CharFormat {.halfPoints = DefaultHalfPoints})
                return false;
        }
    }
    return true;
}

QTextCharFormat charFormat(const rtf::CharFormat &source)
{
    QTextCharFormat format;
    format.setFontWeight(source.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(source.italic);
    format.setFontUnderline(source.underline);
    // Half-points to pixels at 96 dots per inch.
    const int pixels = std::max(1, source.halfPoints * 2 / 3);
    format.setProperty(QTextFormat::FontPixelSize, pixels);
    if (source.script == rtf::Script::Sub)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    else if (source.script == rtf::Script::Super)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (source.raise != 0) {
        // Qt takes the distance in percent of the text's own height. At most half of it keeps
        // raised or lowered text beside its line instead of in the next.
        const double percent = 100.0 * source.raise / source.halfPoints;
        format.setBaselineOffset(std::clamp(percent, -50.0, 50.0));
    }
    return format;
}

} // namespace

RichTextPane::RichTextPane(const QString &resource, ScrollBars scrollBars, QWidget *parent)
    : QPlainTextEdit(parent), m_resource(resource)
{
    setFont(designFont(9));
    // Behind the frame too: where a scale above 1 gives the style's one-pixel frame line more
    // device pixels than it draws, the window's colour would show between it and the text.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setTabChangesFocus(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    if (scrollBars == ScrollBars::Both) {
        // With a horizontal scroll bar the lines keep the breaks the document gives them.
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    } else {
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
}

void RichTextPane::showEvent(QShowEvent *event)
{
    load();
    QPlainTextEdit::showEvent(event);
}

// Scrolled so that its text may run off the top, the pane sizes its scroll range by lines alone;
// kept to the end of the text, it lays out the last screenful to find where that end is. That
// layout waits until the first frame is drawn, or until the student first touches the pane.
void RichTextPane::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (m_rangePending)
        QTimer::singleShot(0, this, [this] { keepToTheEnd(); });
}

bool RichTextPane::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
        keepToTheEnd();
    // The keys that change tabs belong to the tab control the pane sits in.
    if (event->type() == QEvent::KeyPress
        && TabControl::pageStep(static_cast<QKeyEvent *>(event)) != 0) {
        event->ignore();
        return false;
    }
    return QPlainTextEdit::event(event);
}

bool RichTextPane::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Wheel:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        keepToTheEnd();
        break;
    default:
        break;
    }
    return QPlainTextEdit::viewportEvent(event);
}

void RichTextPane::keepToTheEnd()
{
    if (std::exchange(m_rangePending, false))
        setCenterOnScroll(false);
}

void RichTextPane::drawOffScreen(const QRect &part)
{
    load();
    // The format of a window's backing store, so that the same cache of glyphs serves both.
    QImage picture(part.size(), QImage::Format_RGB32);
    render(&picture, QPoint(), QRegion(part));
}

void RichTextPane::load()
{
    if (m_loaded)
        return;
    m_loaded = true;

    QFile file(m_resource);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Cannot read the document %s", qPrintable(m_resource));
        return;
    }
    const rtf::Document source = rtf::read(file.readAll());
    if (isPlain(source)) {
        // Every paragraph takes a line at least: a document surely longer than the pane gets its
        // scroll bar before it is laid out, so that its lines are laid out once, at their final
        // width, and not again when the scroll bar appears.
        if (qreal(source.paragraphs.size()) * QFontMetricsF(font()).height() > viewport()->height())
            setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_rangePending = true;
        setCenterOnScroll(true);
        setPlainText(source.toPlainText());
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        return;
    }

    QTextCursor cursor(document());
    cursor.beginEditBlock();
    bool first = true;
    for (const rtf::Paragraph &paragraph : source.paragraphs) {
        if (!first)
            cursor.insertBlock();
        first = false;
        for (const rtf::Run &run : paragraph) {
            // Raised or lowered text (okurigana, kaeriten) belongs to the character before it: a
            // word joiner keeps a line from breaking between them.
            const bool attached = run.format.raise != 0 || run.format.script != rtf::Script::Normal;
            cursor.insertText(attached ? QChar(0x2060) + run.text : run.text,
                              charFormat(run.format));
        }
    }
    cursor.endEditBlock();
    moveCursor(QTextCursor::Start);
}

} // namespace platform
