#include "platform/richtextpane.h"

#include "platform/fonts.h"
#include "platform/rtfreader.h"

#include <QFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace platform {

RichTextPane::RichTextPane(const QString &resource, ScrollBars scrollBars, QWidget *parent)
    : QTextEdit(parent), m_resource(resource)
{
    setFont(designFont(9));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setTabChangesFocus(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    if (scrollBars == ScrollBars::Both) {
        // With a horizontal scroll bar the lines keep the breaks the document gives them.
        setLineWrapMode(QTextEdit::NoWrap);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    } else {
        setLineWrapMode(QTextEdit::WidgetWidth);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
}

void RichTextPane::showEvent(QShowEvent *event)
{
    load();
    QTextEdit::showEvent(event);
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

    auto *document = new QTextDocument(this);
    document->setUndoRedoEnabled(false);
    document->setDefaultFont(designFont(9));
    QTextCursor cursor(document);
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
    setDocument(document);
}

} // namespace platform
