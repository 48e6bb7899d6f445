#include "platform/richtextpane.h"

#include "platform/fonts.h"
#include "platform/rtfreader.h"

#include <QFile>
#include <QTextCursor>
#include <QTextDocument>

namespace platform {

namespace {

constexpr int DefaultHalfPoints = 18; // the documents' 9 pt

bool isPlain(const rtf::Document &document)
{
    for (const rtf::Paragraph &paragraph : document.paragraphs) {
        for (const rtf::Run &run : paragraph) {
            if (run.format.bold || run.format.italic || run.format.halfPoints != DefaultHalfPoints)
                return false;
        }
    }
    return true;
}

} // namespace

RichTextPane::RichTextPane(const QString &resource, ScrollBars scrollBars, QWidget *parent)
    : QPlainTextEdit(parent), m_resource(resource)
{
    setFont(designFont(9));
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
        setPlainText(source.toPlainText());
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
            QTextCharFormat format;
            format.setFontWeight(run.format.bold ? QFont::Bold : QFont::Normal);
            format.setFontItalic(run.format.italic);
            // Half-points to pixels at 96 dots per inch.
            format.setProperty(QTextFormat::FontPixelSize, run.format.halfPoints * 2 / 3);
            cursor.insertText(run.text, format);
        }
    }
    cursor.endEditBlock();
    moveCursor(QTextCursor::Start);
}

} // namespace platform
