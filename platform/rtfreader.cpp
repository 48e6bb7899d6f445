#include "platform/rtfreader.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rtf {

QString Document::toPlainText() const
{
    QStringList lines;
    lines.reserve(paragraphs.size());
    for (const Paragraph &paragraph : paragraphs) {
        QString line;
        for (const Run &run : paragraph)
            line += run.text;
        lines.append(line);
    }
    return lines.join(u'\n');
}

namespace {

// Real documents nest a dozen groups at most; anything deeper is ignored rather than followed.
constexpr qsizetype maxDepth = 1000;
// Numeric parameters stop growing here, so no arithmetic on them can overflow.
constexpr int paramLimit = 1'000'000'000;
// The largest size word processors offer (1638 pt).
constexpr int maxHalfPoints = 3276;
// \upN and \dnN beyond this (36 pt) would only move text out of its line.
constexpr int maxRaise = 72;
// RTF's \up and \dn without a parameter.
constexpr int defaultRaise = 6;

enum class Op : quint8 {
    SkipDest,
    FontTable,
    CharSet,
    AnsiCpg,
    DefLang,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Script,
    Up,
    Down,
    FontSize,
    Plain,
    Par,
    Char,
    Unicode,
    UnicodeSkip,
    Bin,
};

struct Word
{
    std::string_view name;
    Op op;
    int value = 0; // the character of Op::Char, the code page of Op::CharSet, the Op::Script
};

// Sorted by name for binary search; the static_assert below keeps it that way.
constexpr std::array words {
    Word {"aftncn", Op::SkipDest},
    Word {"aftnsep", Op::SkipDest},
    Word {"aftnsepc", Op::SkipDest},
    Word {"annotation", Op::SkipDest},
    Word {"ansi", Op::CharSet, 1252},
    Word {"ansicpg", Op::AnsiCpg},
    Word {"b", Op::Bold},
    Word {"bin", Op::Bin},
    Word {"bkmkend", Op::SkipDest},
    Word {"bkmkstart", Op::SkipDest},
    Word {"bullet", Op::Char, u'\u2022'},
    Word {"cell", Op::Char, u'\t'},
    Word {"colortbl", Op::SkipDest},
    Word {"datastore", Op::SkipDest},
    Word {"deflang", Op::DefLang},
    Word {"dn", Op::Down},
    Word {"emdash", Op::Char, u'\u2014'},
    Word {"emspace", Op::Char, u'\u2003'},
    Word {"endash", Op::Char, u'\u2013'},
    Word {"enspace", Op::Char, u'\u2002'},
    Word {"filetbl", Op::SkipDest},
    Word {"fldinst", Op::SkipDest},
    Word {"fonttbl", Op::FontTable},
    Word {"footer", Op::SkipDest},
    Word {"footerf", Op::SkipDest},
    Word {"footerl", Op::SkipDest},
    Word {"footerr", Op::SkipDest},
    Word {"footnote", Op::SkipDest},
    Word {"fs", Op::FontSize},
    Word {"ftncn", Op::SkipDest},
    Word {"ftnsep", Op::SkipDest},
    Word {"ftnsepc", Op::SkipDest},
    Word {"generator", Op::SkipDest},
    Word {"header", Op::SkipDest},
    Word {"headerf", Op::SkipDest},
    Word {"headerl", Op::SkipDest},
    Word {"headerr", Op::SkipDest},
    Word {"i", Op::Italic},
    Word {"info", Op::SkipDest},
    Word {"ldblquote", Op::Char, u'\u201C'},
    Word {"line", Op::Char, u'\u2028'},
    Word {"listoverridetable", Op::SkipDest},
    Word {"listtable", Op::SkipDest},
    Word {"lquote", Op::Char, u'\u2018'},
    Word {"mac", Op::CharSet, 10000},
    Word {"nestcell", Op::Char, u'\t'},
    Word {"nestrow", Op::Par},
    Word {"nonshppict", Op::SkipDest},
    Word {"nosupersub", Op::Script, int(Script::Normal)},
    Word {"object", Op::SkipDest},
    Word {"par", Op::Par},
    Word {"pc", Op::CharSet, 437},
    Word {"pca", Op::CharSet, 850},
    Word {"pict", Op::SkipDest},
    Word {"plain", Op::Plain},
    Word {"qmspace", Op::Char, u'\u2005'},
    Word {"rdblquote", Op::Char, u'\u201D'},
    Word {"revtbl", Op::SkipDest},
    Word {"row", Op::Par},
    Word {"rquote", Op::Char, u'\u2019'},
    Word {"rsidtbl", Op::SkipDest},
    Word {"sect", Op::Par},
    Word {"stylesheet", Op::SkipDest},
    Word {"sub", Op::Script, int(Script::Sub)},
    Word {"super", Op::Script, int(Script::Super)},
    Word {"tab", Op::Char, u'\t'},
    Word {"themedata", Op::SkipDest},
    Word {"u", Op::Unicode},
    Word {"uc", Op::UnicodeSkip},
    Word {"ul", Op::Underline},
    Word {"ulnone", Op::UnderlineNone},
    Word {"up", Op::Up},
    Word {"xmlnstbl", Op::SkipDest},
};
static_assert(std::ranges::is_sorted(words, {}, &Word::name));

const Word *findWord(std::string_view name)
{
    const auto it = std::ranges::lower_bound(words, name, {}, &Word::name);
    return it != words.end() && it->name == name ? &*it : nullptr;
}

enum class Dest : quint8 { Body, FontTable, Skip };

struct GroupState
{
    CharFormat format;
    int unicodeSkip = 1;
    Dest dest = Dest::Body;
};

struct Token
{
    enum Kind : quint8 { End, Open, Close, ControlWord, ControlSymbol, Byte, Text };
    Kind kind = End;
    std::string_view name; // ControlWord
    bool hasParam = false;
    int param = 0;
    uchar byte = 0;              // ControlSymbol, Byte (a \'hh escape)
    const uchar *text = nullptr; // Text: raw bytes, double-byte pairs never split
    qsizetype size = 0;
};

// Where decoded text goes: the body's current run or the font name being read. Bytes wait in
// `pending` until something else is appended, so a double-byte character written as two
// escapes, or split over a line break, is decoded as one.
struct Sink
{
    QString text;
    std::string pending;
    bool leadPending = false; // pending ends with a lead byte still waiting for its trail byte
    char16_t highSurrogate = 0;
};

bool isAsciiLetter(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(uchar c)
{
    return c >= '0' && c <= '9';
}

int hexValue(uchar c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Reader
{
public:
    explicit Reader(QByteArrayView rtf)
        : m_pos(reinterpret_cast<const uchar *>(rtf.data())), m_end(m_pos + rtf.size())
    {
        setCodePage(1252);
    }

    Document run();

private:
    bool next(Token &token);
    void readControl(Token &token);
    void readText(Token &token);
    bool nextEscapedByte(uchar &byte);

    void handleWord(const Token &token);
    void handleSymbol(uchar symbol);
    void handleText(const uchar *text, qsizetype size);
    qsizetype skipFallback(const uchar *text, qsizetype size);
    void closeGroup();

    Sink *contentSink();
    void appendBytes(Sink &sink, const uchar *bytes, qsizetype size);
    void appendChar(Sink &sink, char16_t ch);
    void flushBytes(Sink &sink);
    void flush(Sink &sink);
    void closeRun();
    void endParagraph();
    void finishFontName();
    void setCodePage(int codePage);

    bool isLead(uchar c) const
    {
        return m_doubleByte && c >= 0x81
            && (m_codePage932 ? c <= 0x9F || (c >= 0xE0 && c <= 0xFC) : c <= 0xFE);
    }
    static bool isTrail(uchar c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

    const uchar *m_pos;
    const uchar *const m_end;

    Document m_doc;
    std::vector<GroupState> m_stack;
    qsizetype m_overflowDepth = 0; // groups opened beyond maxDepth, ignored with their content
    int m_fallbackToSkip = 0;      // characters after \uN still to be skipped

    QStringDecoder m_decoder;
    bool m_doubleByte = false;
    bool m_codePage932 = false;
    bool m_codePageGiven = false; // by \ansicpgN

    Sink m_body;
    Sink m_fontName;
    CharFormat m_runFormat;
    Paragraph m_paragraph;
};

Document Reader::run()
{
    while (m_pos < m_end && (*m_pos == ' ' || *m_pos == '\r' || *m_pos == '\n' || *m_pos == '\t'))
        ++m_pos;
    if (m_pos == m_end || *m_pos != '{')
        m_doc.wellFormed = false;

    const bool startsWithGroup = m_doc.wellFormed;

    m_stack.reserve(32);
    m_stack.emplace_back();
    Token token;
    while (next(token)) {
        switch (token.kind) {
        case Token::Open:
            m_fallbackToSkip = 0;
            if (m_overflowDepth > 0 || qsizetype(m_stack.size()) > maxDepth)
                ++m_overflowDepth;
            else
                m_stack.push_back(m_stack.back());
            continue;
        case Token::Close:
            m_fallbackToSkip = 0;
            if (m_overflowDepth > 0) {
                --m_overflowDepth;
            } else if (m_stack.size() == 1) {
                m_doc.wellFormed = false;
            } else {
                closeGroup();
                if (m_stack.size() == 1 && startsWithGroup) {
                    // The document is complete; anything after it but whitespace is damage.
                    for (; m_pos < m_end; ++m_pos) {
                        if (*m_pos > ' ')
                            m_doc.wellFormed = false;
                    }
                }
            }
            continue;
        default:
            break;
        }

        if (token.kind == Token::ControlWord && token.name == "bin") {
            // Binary data is skipped whatever the state, or its bytes would be read as syntax.
            const qsizetype size = token.hasParam ? std::max(token.param, 0) : 0;
            m_pos += std::min(size, qsizetype(m_end - m_pos));
        }
        if (m_overflowDepth > 0)
            continue;
        if (m_fallbackToSkip > 0) {
            if (token.kind != Token::Text) {
                --m_fallbackToSkip;
                continue;
            }
            const qsizetype skipped = skipFallback(token.text, token.size);
            token.text += skipped;
            token.size -= skipped;
        }
        if (m_stack.back().dest == Dest::Skip)
            continue;

        switch (token.kind) {
        case Token::ControlWord:
            handleWord(token);
            break;
        case Token::ControlSymbol:
            handleSymbol(token.byte);
            break;
        case Token::Byte: {
            // Japanese text is written as \'hh escapes, two to a character; those that follow
            // one another are appended together.
            uchar bytes[256];
            qsizetype count = 0;
            bytes[count++] = token.byte;
            while (count < qsizetype(sizeof bytes) && nextEscapedByte(bytes[count]))
                ++count;
            appendBytes(*contentSink(), bytes, count);
            break;
        }
        case Token::Text:
            handleText(token.text, token.size);
            break;
        default:
            break;
        }
    }

    if (m_stack.size() > 1 || m_overflowDepth > 0)
        m_doc.wellFormed = false;
    finishFontName();
    closeRun();
    if (!m_paragraph.isEmpty())
        m_doc.paragraphs.append(std::exchange(m_paragraph, {}));
    return std::move(m_doc);
}

bool Reader::next(Token &token)
{
    while (m_pos < m_end) {
        const uchar c = *m_pos;
        switch (c) {
        case '{':
            ++m_pos;
            token.kind = Token::Open;
            return true;
        case '}':
            ++m_pos;
            token.kind = Token::Close;
            return true;
        case '\\':
            readControl(token);
            if (token.kind == Token::End)
                continue;
            return true;
        default:
            if (c < 0x20 && c != '\t') {
                ++m_pos; // line breaks in the source mean nothing; other controls are noise
                continue;
            }
            readText(token);
            return true;
        }
    }
    token.kind = Token::End;
    return false;
}

void Reader::readControl(Token &token)
{
    token.kind = Token::End;
    ++m_pos; // the backslash
    if (m_pos == m_end)
        return;
    const uchar c = *m_pos;

    if (isAsciiLetter(c)) {
        const uchar *start = m_pos;
        while (m_pos < m_end && isAsciiLetter(*m_pos))
            ++m_pos;
        token.kind = Token::ControlWord;
        token.name = std::string_view(reinterpret_cast<const char *>(start), m_pos - start);
        token.hasParam = false;
        token.param = 0;
        bool negative = false;
        if (m_pos + 1 < m_end && *m_pos == '-' && isDigit(m_pos[1])) {
            negative = true;
            ++m_pos;
        }
        if (m_pos < m_end && isDigit(*m_pos)) {
            int value = 0;
            for (; m_pos < m_end && isDigit(*m_pos); ++m_pos)
                value = value < paramLimit / 10 ? value * 10 + (*m_pos - '0') : paramLimit;
            token.hasParam = true;
            token.param = negative ? -value : value;
        }
        if (m_pos < m_end && *m_pos == ' ')
            ++m_pos;
        return;
    }

    ++m_pos;
    if (c == '\'') {
        const int high = m_pos < m_end ? hexValue(*m_pos) : -1;
        const int low = high >= 0 && m_pos + 1 < m_end ? hexValue(m_pos[1]) : -1;
        if (low < 0) {
            // A truncated escape is dropped, but its digit is consumed and the next brace kept.
            if (high >= 0)
                ++m_pos;
            return;
        }
        m_pos += 2;
        token.kind = Token::Byte;
        token.byte = uchar(high * 16 + low);
        return;
    }
    if (c == '\r' || c == '\n') {
        token.kind = Token::ControlWord;
        token.name = "par";
        token.hasParam = false;
        return;
    }
    token.kind = Token::ControlSymbol;
    token.byte = c;
}

void Reader::readText(Token &token)
{
    const uchar *start = m_pos;
    while (m_pos < m_end) {
        const uchar c = *m_pos;
        if (c < 0x20 ? c != '\t' : c == '\\' || c == '{' || c == '}')
            break;
        // A trail byte may look like '\', '{' or '}'; it belongs to its lead byte.
        m_pos += isLead(c) && m_pos + 1 < m_end && isTrail(m_pos[1]) ? 2 : 1;
    }
    token.kind = Token::Text;
    token.text = start;
    token.size = m_pos - start;
}

// Reads a \'hh escape that follows at once, if one does.
bool Reader::nextEscapedByte(uchar &byte)
{
    if (m_end - m_pos < 4 || m_pos[0] != '\\' || m_pos[1] != '\'')
        return false;
    const int high = hexValue(m_pos[2]);
    const int low = hexValue(m_pos[3]);
    if (high < 0 || low < 0)
        return false;
    byte = uchar(high * 16 + low);
    m_pos += 4;
    return true;
}

qsizetype Reader::skipFallback(const uchar *text, qsizetype size)
{
    qsizetype i = 0;
    while (i < size && m_fallbackToSkip > 0) {
        const qsizetype step = isLead(text[i]) && i + 1 < size ? 2 : 1;
        i += step;
        m_fallbackToSkip = std::max(0, m_fallbackToSkip - int(step));
    }
    return i;
}

void Reader::closeGroup()
{
    const Dest closing = m_stack.back().dest;
    m_stack.pop_back();
    if (closing == Dest::FontTable)
        finishFontName();
}

void Reader::handleWord(const Token &token)
{
    const Word *word = findWord(token.name);
    if (!word)
        return;
    GroupState &state = m_stack.back();
    switch (word->op) {
    case Op::Bin:
        break;
    case Op::SkipDest:
        state.dest = Dest::Skip;
        break;
    case Op::FontTable:
        finishFontName();
        state.dest = Dest::FontTable;
        break;
    // The character set words only give a default; \ansicpgN wherever it stands wins.
    case Op::CharSet:
        if (!m_codePageGiven)
            setCodePage(word->value);
        break;
    case Op::AnsiCpg:
        if (token.hasParam && token.param > 0) {
            setCodePage(token.param);
            m_codePageGiven = true;
        }
        break;
    case Op::DefLang:
        if (token.hasParam)
            m_doc.defaultLanguage = token.param;
        break;
    case Op::Bold:
        state.format.bold = !token.hasParam || token.param != 0;
        break;
    case Op::Italic:
        state.format.italic = !token.hasParam || token.param != 0;
        break;
    case Op::Underline:
        state.format.underline = !token.hasParam || token.param != 0;
        break;
    case Op::UnderlineNone:
        state.format.underline = false;
        break;
    case Op::Script:
        state.format.script = Script(word->value);
        break;
    // A negative distance is not a direction: RTF gives the direction by the word.
    case Op::Up:
        state.format.raise = token.hasParam ? std::clamp(token.param, 0, maxRaise) : defaultRaise;
        break;
    case Op::Down:
        state.format.raise
            = -(token.hasParam ? std::clamp(token.param, 0, maxRaise) : defaultRaise);
        break;
    case Op::FontSize:
        if (token.hasParam && token.param > 0)
            state.format.halfPoints = std::min(token.param, maxHalfPoints);
        break;
    case Op::Plain:
        state.format = CharFormat();
        break;
    case Op::Par:
        if (state.dest == Dest::Body)
            endParagraph();
        break;
    case Op::Char:
        appendChar(*contentSink(), char16_t(word->value));
        break;
    case Op::Unicode:
        if (!token.hasParam)
            break;
        if (token.param >= -0x8000 && token.param <= 0xFFFF)
            appendChar(*contentSink(),
                       char16_t(token.param < 0 ? token.param + 0x10000 : token.param));
        m_fallbackToSkip = state.unicodeSkip;
        break;
    case Op::UnicodeSkip:
        if (token.hasParam)
            state.unicodeSkip = std::max(token.param, 0);
        break;
    }
}

void Reader::handleSymbol(uchar symbol)
{
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        appendBytes(*contentSink(), &symbol, 1);
        break;
    case '~':
        appendChar(*contentSink(), u'\u00A0');
        break;
    case '_':
        appendChar(*contentSink(), u'\u2011');
        break;
    case '*':
        m_stack.back().dest = Dest::Skip;
        break;
    default: // '-' (optional hyphen) and the rest show nothing
        break;
    }
}

void Reader::handleText(const uchar *text, qsizetype size)
{
    if (m_stack.back().dest != Dest::FontTable) {
        appendBytes(*contentSink(), text, size);
        return;
    }
    // ';' ends a font name; it is never a trail byte, so a plain search is safe.
    while (size > 0) {
        const auto *semicolon = static_cast<const uchar *>(std::memchr(text, ';', size_t(size)));
        const qsizetype part = semicolon ? semicolon - text : size;
        appendBytes(m_fontName, text, part);
        if (!semicolon)
            break;
        finishFontName();
        text += part + 1;
        size -= part + 1;
    }
}

Sink *Reader::contentSink()
{
    if (m_stack.back().dest == Dest::FontTable)
        return &m_fontName;
    // Text takes the format of the group it appears in; a change starts a new run.
    if (m_stack.back().format != m_runFormat) {
        closeRun();
        m_runFormat = m_stack.back().format;
    }
    return &m_body;
}

void Reader::appendBytes(Sink &sink, const uchar *bytes, qsizetype size)
{
    if (size <= 0)
        return;
    if (sink.highSurrogate) {
        sink.text.append(QChar::ReplacementCharacter);
        sink.highSurrogate = 0;
    }
    sink.pending.append(reinterpret_cast<const char *>(bytes), size_t(size));
    if (m_doubleByte) {
        for (qsizetype i = 0; i < size; ++i)
            sink.leadPending = !sink.leadPending && isLead(bytes[i]);
    }
}

void Reader::appendChar(Sink &sink, char16_t ch)
{
    flushBytes(sink);
    if (QChar::isLowSurrogate(ch)) {
        if (sink.highSurrogate)
            sink.text.append(QChar(sink.highSurrogate)).append(QChar(ch));
        else
            sink.text.append(QChar::ReplacementCharacter);
        sink.highSurrogate = 0;
        return;
    }
    if (sink.highSurrogate) {
        sink.text.append(QChar::ReplacementCharacter);
        sink.highSurrogate = 0;
    }
    if (QChar::isHighSurrogate(ch))
        sink.highSurrogate = ch;
    else if (ch != 0)
        sink.text.append(QChar(ch));
}

void Reader::flushBytes(Sink &sink)
{
    if (sink.leadPending) {
        sink.pending.pop_back(); // a lead byte with no trail byte decodes to nothing
        sink.leadPending = false;
    }
    if (sink.pending.empty())
        return;
    const QByteArrayView bytes(sink.pending.data(), qsizetype(sink.pending.size()));
    const qsizetype start = sink.text.size();
    if (m_decoder.isValid()) {
        sink.text.resize(start + m_decoder.requiredSpace(bytes.size()));
        const QChar *end = m_decoder.appendToBuffer(sink.text.data() + start, bytes);
        sink.text.resize(end - sink.text.constData());
        // The converter marks an undefined single byte with SUB; show it as the usual U+FFFD.
        QChar *out = sink.text.data();
        for (qsizetype i = start; i < sink.text.size(); ++i) {
            if (out[i] == u'\x1A')
                out[i] = QChar::ReplacementCharacter;
        }
    } else {
        sink.text.append(QLatin1StringView(bytes));
    }
    sink.pending.clear();
}

void Reader::flush(Sink &sink)
{
    flushBytes(sink);
    if (sink.highSurrogate) {
        sink.text.append(QChar::ReplacementCharacter);
        sink.highSurrogate = 0;
    }
}

void Reader::closeRun()
{
    flush(m_body);
    if (!m_body.text.isEmpty())
        m_paragraph.append(Run {std::exchange(m_body.text, {}), m_runFormat});
}

void Reader::endParagraph()
{
    closeRun();
    m_doc.paragraphs.append(std::exchange(m_paragraph, {}));
}

void Reader::finishFontName()
{
    flush(m_fontName);
    const QString name = m_fontName.text.trimmed();
    if (!name.isEmpty())
        m_doc.fontNames.append(name);
    m_fontName.text.clear();
}

void Reader::setCodePage(int codePage)
{
    // Bytes already read belong to the previous code page.
    flush(m_body);
    flush(m_fontName);
    m_doc.codePage = codePage;
    m_codePage932 = codePage == 932;
    m_doubleByte = m_codePage932 || codePage == 936 || codePage == 949 || codePage == 950;
    QByteArray name;
    switch (codePage) {
    case 932:
        name = "Shift_JIS"; // the converter maps it as Windows does (0x8740 is ①, 0x8160 is ～)
        break;
    case 10000:
        name = "macintosh";
        break;
    case 437:
    case 850:
        name = "IBM" + QByteArray::number(codePage);
        break;
    default:
        name = "windows-" + QByteArray::number(codePage);
        break;
    }
    m_decoder = QStringDecoder(name.constData());
}

} // namespace

Document read(QByteArrayView rtf)
{
    return Reader(rtf).run();
}

} // namespace rtf
