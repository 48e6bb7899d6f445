#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// A reader for the RTF that word processors write, enough to show the program's documents:
// Japanese text in code page 932 (\ansicpg932), \'hh escapes, raw 8-bit bytes, \uN with \ucN,
// paragraphs, line breaks and tabs, bold, italic, underline, font size, and text set lowered or
// raised (sub- and superscript, \dnN and \upN). Destinations that hold no body
// text (font table, colour table, stylesheet, info, every \* destination) are skipped, though
// the font names are kept so that a document can be checked for the faces it asks for.
//
// Malformed input never crashes or hangs the reader: unbalanced braces, truncated escapes, a
// lead byte at the very end and binary noise give whatever text can be recovered.
namespace rtf {

// \sub and \super: set lowered or raised and smaller, as the viewer chooses; \nosupersub ends them.
enum class Script : quint8 { Normal, Sub, Super };

struct CharFormat
{
    bool bold = false;
    bool italic = false;
    bool underline = false; // \ul; \ul0 and \ulnone end it
    Script script = Script::Normal;
    int raise = 0;       // \upN (positive) or \dnN (negative) in half-points, size unchanged
    int halfPoints = 24; // \fsN: font size in half-points; RTF's default is 12 pt
    friend bool operator==(const CharFormat &, const CharFormat &) = default;
};

struct Run
{
    QString text;
    CharFormat format;
    friend bool operator==(const Run &, const Run &) = default;
};

// One \par-terminated paragraph. \line appears in a run as QChar::LineSeparator, \tab as '\t'.
using Paragraph = QList<Run>;

struct Document
{
    QList<Paragraph> paragraphs;
    QStringList fontNames;   // from \fonttbl, in table order, without the trailing ';'
    int codePage = 1252;     // \ansicpgN
    int defaultLanguage = 0; // \deflangN
    // False when braces were unbalanced, input ended inside a group, or there was text outside
    // the document's group.
    bool wellFormed = true;

    // The text of every paragraph, joined with '\n'.
    QString toPlainText() const;
};

Document read(QByteArrayView rtf);

} // namespace rtf
