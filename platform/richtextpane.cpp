#include "platform/richtextpane.h"

#include "platform/fonts.h"
#include "platform/rtfreader.h"
#include "platform/tabcontrol.h"

#include <QEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace platform {

namespace {

constexpr int DefaultHalfPoints = 18; // the documents' 9 pt

// Underlined characters carry this mark instead of the font's underline: runs of smaller text
// would each draw their own at their own depth and thickness, so the pane draws one line itself.
constexpr int UnderlinedProperty = QTextFormat::UserProperty + 1;

// Pixels of space opened above every line of a formatted document. Its lines otherwise touch, and
// the underline below one line would run into the raised okurigana of the next.
constexpr int LineGap = 2;

// The plain layout, with every line of a block moved down to leave the gap above it. A block's
// lines are moved once each time they are laid out: a fresh layout starts at the top.
class GappedLayout : public QPlainTextDocumentLayout
{
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

    QRectF blockBoundingRect(const QTextBlock &block) const override
    {
        const QRectF laidOut = QPlainTextDocumentLayout::blockBoundingRect(block);
        QTextLayout *layout = block.layout();
        if (!block.isVisible() || layout->lineCount() == 0 || layout->lineAt(0).y() > 0)
            return laidOut;
        for (int i = 0; i < layout->lineCount(); ++i) {
            QTextLine line = layout->lineAt(i);
            line.setPosition(line.position() + QPointF(0, LineGap * (i + 1)));
        }
        return QPlainTextDocumentLayout::blockBoundingRect(block);
    }
};

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
    if (source.underline)
        format.setProperty(UnderlinedProperty, true);
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
    if (m_formatted)
        drawBetweenTheLines(event->rect());
    if (m_rangePending)
        QTimer::singleShot(0, this, [this] { keepToTheEnd(); });
}

// One line under each stretch of underlined characters on a line, at the depth and thickness of
// the 9-pt text whatever the sizes within it; and the selection carried across the gaps between
// the lines it covers.
void RichTextPane::drawBetweenTheLines(const QRect &area)
{
    const QFontMetricsF metrics(font());
    const int thickness = std::max(1, qRound(metrics.lineWidth()));
    // The middle of the line below the baseline where the font draws its own: a whole pixel or
    // more down, but within the descent.
    const qreal depth = std::min(qCeil(metrics.underlinePos()) + 0.5, metrics.descent() - 0.5);
    const QTextCursor cursor = textCursor();
    const int selectionStart = cursor.selectionStart();
    const int selectionEnd = cursor.selectionEnd();
    // The colours the pane paints the selection in.
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QPointF origin = contentOffset();
    QPainter painter(viewport());

    // A stretch of a line from left to right, in the viewport's pixels; empty when none.
    struct Span
    {
        int left = 0;
        int right = 0;
        bool isEmpty() const { return left >= right; }
    };
    Span selectedAbove; // on the line above
    // From the block above the pane, whose last line holds the selection above the first gap.
    QTextBlock first = firstVisibleBlock();
    if (first.previous().isValid())
        first = first.previous();
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingGeometry(block).translated(origin);
        if (box.top() > area.bottom())
            break;
        if (!block.isVisible())
            continue;
        // Stretches of underlined characters, from the start of the document, end excluded.
        QList<std::pair<int, int>> stretches;
        for (const QTextLayout::FormatRange &range : block.textFormats()) {
            if (!range.format.boolProperty(UnderlinedProperty))
                continue;
            const int start = block.position() + range.start;
            if (!stretches.isEmpty() && stretches.last().second == start)
                stretches.last().second = start + range.length;
            else
                stretches.append({start, start + range.length});
        }
        const QTextLayout *layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const int lineStart = block.position() + line.textStart();
            const int lineEnd = lineStart + line.textLength();
            const auto x = [&](int position) {
                return qRound(box.left() + line.cursorToX(position - block.position()));
            };
            const auto span = [&](int from, int to) {
                from = std::max(from, lineStart);
                to = std::min(to, lineEnd);
                return from < to ? Span {x(from), x(to)} : Span {};
            };
            const int top = qRound(box.top() + line.y());

            const auto selected = span(selectionStart, selectionEnd);
            if (!selected.isEmpty() && !selectedAbove.isEmpty() && selectionStart < lineStart) {
                const int left = std::max(selected.left, selectedAbove.left);
                const int right = std::min(selected.right, selectedAbove.right);
                if (left < right)
                    painter.fillRect(QRect(left, top - LineGap, right - left, LineGap),
                                     palette().color(group, QPalette::Highlight));
            }
            selectedAbove = selected;

            const qreal middle = box.top() + line.y() + line.ascent() + depth;
            const int y = qCeil(middle - thickness / 2.0 - 0.5);
            const auto underline = [&](Span part, const QColor &colour) {
                if (!part.isEmpty())
                    painter.fillRect(QRect(part.left, y, part.right - part.left, thickness),
                                     colour);
            };
            for (const auto &[start, end] : stretches) {
                underline(span(start, end), palette().color(QPalette::Text));
                // Over the selection the text turns to the highlighted colour, and so does its
                // line.
                underline(span(std::max(start, selectionStart), std::min(end, selectionEnd)),
                          palette().color(group, QPalette::HighlightedText));
            }
        }
    }
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

    auto *formatted = new QTextDocument(this);
    formatted->setDocumentLayout(new GappedLayout(formatted));
    formatted->setDefaultFont(font());
    formatted->setDocumentMargin(document()->documentMargin());
    formatted->setUndoRedoEnabled(false);
    setDocument(formatted);
    m_formatted = true;

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
