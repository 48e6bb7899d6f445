#include "platform/rtfreader.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray latin(const QByteArray &body)
{
    return R"({\rtf1\ansi\deff0 )" + body + '}';
}

QByteArray japanese(const QByteArray &body)
{
    return R"({\rtf1\ansi\ansicpg932\deff0\deflang1041 )" + body + '}';
}

// One entry per run: "b", "i", "u", "sub" or "sup", the size and any raise ("24-6" is 12 pt set
// 3 pt low), then the text; "|" between paragraphs.
QStringList describeRuns(const rtf::Document &doc)
{
    QStringList out;
    for (const rtf::Paragraph &paragraph : doc.paragraphs) {
        if (!out.isEmpty())
            out << u"|"_s;
        for (const rtf::Run &run : paragraph) {
            const rtf::CharFormat &f = run.format;
            QString entry;
            entry += f.bold ? "b"_L1 : ""_L1;
            entry += f.italic ? "i"_L1 : ""_L1;
            entry += f.underline ? "u"_L1 : ""_L1;
            entry += f.script == rtf::Script::Sub ? "sub"_L1
                : f.script == rtf::Script::Super  ? "sup"_L1
                                                  : ""_L1;
            entry += QString::number(f.halfPoints);
            if (f.raise != 0)
                entry += (f.raise > 0 ? "+"_L1 : ""_L1) + QString::number(f.raise);
            out << entry + u':' + run.text;
        }
    }
    return out;
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void documents_data();
    void documents();
    void runs_data();
    void runs();
    void malformed_data();
    void malformed();
    void noiseNeverBreaksTheReader();
};

void TestRtfReader::text_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    // Syntax
    QTest::newRow("control symbols") << latin(R"(a\\b\{c\}d)") << u"a\\b{c}d"_s;
    QTest::newRow("non-breaking space") << latin(R"(a\~b)") << u"a\u00A0b"_s;
    QTest::newRow("optional hyphen dropped") << latin(R"(ab\-cd)") << u"abcd"_s;
    QTest::newRow("non-breaking hyphen") << latin(R"(a\_b)") << u"a\u2011b"_s;
    QTest::newRow("one delimiter space eaten") << latin(R"(\f1  a)") << u" a"_s;
    QTest::newRow("negative parameter") << latin(R"(\fi-360 a)") << u"a"_s;
    QTest::newRow("parameter ends at a letter") << latin(R"(\f12x)") << u"x"_s;
    QTest::newRow("unknown control word") << latin(R"(a\zzz b)") << u"ab"_s;
    QTest::newRow("windows-1252 escapes") << latin(R"(caf\'e9 \'80)") << u"café €"_s;
    QTest::newRow("line and tab") << latin(R"(a\line b\tab c)") << u"a\u2028b\tc"_s;
    QTest::newRow("quotes and dashes") << latin(R"(\lquote a\rquote\emdash)") << u"‘a’—"_s;
    QTest::newRow("source line breaks ignored") << latin("a\r\nb\nc") << u"abc"_s;
    QTest::newRow("escaped line break ends paragraph") << latin("a\\\nb") << u"a\nb"_s;
    QTest::newRow("paragraphs") << latin(R"(a\par b\par)") << u"a\nb"_s;
    QTest::newRow("last paragraph without par") << latin(R"(a\par b)") << u"a\nb"_s;
    QTest::newRow("empty paragraphs kept") << latin(R"(\par\par a)") << u"\n\na"_s;
    QTest::newRow("binary data skipped") << latin(R"(a{\pict\bin4 }{}x}b)") << u"ab"_s;

    // Code page 932
    QTest::newRow("circled digit") << japanese(R"(\'87\'40)") << u"①"_s;
    QTest::newRow("roman numeral") << japanese(R"(\'87\'54)") << u"Ⅰ"_s;
    QTest::newRow("horizontal bar") << japanese(R"(\'81\'5c)") << u"―"_s;
    QTest::newRow("wave dash") << japanese(R"(\'81\'60)") << u"～"_s;
    QTest::newRow("half-width katakana") << japanese(R"(\'b1)") << u"ｱ"_s;
    QTest::newRow("undefined byte") << japanese(R"(\'a0)") << u"\uFFFD"_s;
    QTest::newRow("ascii unchanged") << japanese(R"(a\\b~)") << u"a\\b~"_s;
    QTest::newRow("pair over two escapes") << japanese(R"(\'82\'a0\'82\'a2)") << u"あい"_s;
    QTest::newRow("pair over a line break") << japanese("\\'82\r\n\\'a0") << u"あ"_s;
    QTest::newRow("raw pairs") << japanese("\x82\xa0\x82\xa2") << u"あい"_s;
    QTest::newRow("raw trail backslash") << japanese("\x83\x5c\x95\x5c") << u"ソ表"_s;
    QTest::newRow("raw trail braces") << japanese("\x83{\x83}") << u"ボマ"_s;
    QTest::newRow("lone lead byte dropped") << japanese(R"(\'82\u12354?\'82\'a2)") << u"あい"_s;
    QTest::newRow("escaped lead, literal trail") << japanese(R"(\'83A\'83\\)") << u"アソ"_s;

    // \uN and \ucN
    QTest::newRow("uc1 by default") << latin(R"(\u12354?x)") << u"あx"_s;
    QTest::newRow("uc0 skips nothing") << latin(R"(\uc0\u12354?)") << u"あ?"_s;
    QTest::newRow("uc inherited by inner group") << latin(R"(\uc0{\u12354?})") << u"あ?"_s;
    QTest::newRow("uc2 skips two escapes") << japanese(R"(\uc2\u12354\'82\'a0x)") << u"あx"_s;
    QTest::newRow("uc2 skips a raw pair") << japanese("\\uc2\\u12354 \x82\xa0x") << u"あx"_s;
    QTest::newRow("uc1 skips a whole raw pair") << japanese("\\u12354 \x83\x5cx") << u"あx"_s;
    QTest::newRow("control word counts as one") << latin(R"(\u12354\f1 x)") << u"あx"_s;
    QTest::newRow("negative value") << latin(R"(\u-143?)") << u"ｱ"_s;
    QTest::newRow("skipping stops at group start") << latin(R"(\u12354{x})") << u"あx"_s;
    QTest::newRow("skipping stops at group end") << latin(R"({\uc3\u12354}xy)") << u"あxy"_s;
    QTest::newRow("uc scoped to group") << latin(R"({\uc0\u12354}\u12356?)") << u"あい"_s;
    QTest::newRow("surrogate pair") << latin(R"(\u-10179?\u-8704?)") << u"😀"_s;
    QTest::newRow("lone high surrogate") << latin(R"(\u-10179?x)") << u"\uFFFDx"_s;
    QTest::newRow("u without digits") << latin(R"(a\u b)") << u"ab"_s;
    QTest::newRow("u out of range") << latin(R"(\u99999999999?x)") << u"x"_s;

    // Destinations whose text is not body text
    for (const char *dest : {R"(\fonttbl)",
                             R"(\colortbl)",
                             R"(\stylesheet)",
                             R"(\info)",
                             R"(\pict)",
                             R"(\object)",
                             R"(\header)",
                             R"(\headerl)",
                             R"(\headerr)",
                             R"(\headerf)",
                             R"(\footer)",
                             R"(\footerl)",
                             R"(\footerr)",
                             R"(\footerf)",
                             R"(\footnote)",
                             R"(\listtable)",
                             R"(\listoverridetable)",
                             R"(\rsidtbl)",
                             R"(\generator)",
                             R"(\xmlnstbl)",
                             R"(\*\unknown)"}) {
        QTest::addRow("%s", dest) << japanese("a{" + QByteArray(dest)
                                              + R"( hidden{\b deeper}\'82\'a0{\par}}b)")
                                  << u"ab"_s;
    }
    QTest::newRow("raw trail brace in skipped group")
        << japanese("{\\info{\\title \x83}}}a") << u"a"_s;
    QTest::newRow("field result shown")
        << latin(R"({\field{\*\fldinst HYPERLINK x}{\fldrslt y}})") << u"y"_s;
}

void TestRtfReader::text()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    const rtf::Document doc = rtf::read(rtf);
    QCOMPARE(doc.toPlainText(), text);
    QVERIFY(doc.wellFormed);
}

void TestRtfReader::documents_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("fonts");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<int>("language");

    QTest::newRow("word processor") << QByteArray(
        R"({\rtf1\ansi\ansicpg932\deff0\deflang1041{\fonttbl{\f0\fmodern\fprq1\fcharset128 )"
        R"(\'82\'6c\'82\'72 \'83\'53\'83\'56\'83\'62\'83\'4e;}})"
        R"(\viewkind4\uc1\pard\f0\fs18 \'82\'a0\'82\'a2\par})")
                                    << u"あい"_s << QStringList {u"ＭＳ ゴシック"_s} << 932 << 1041;
    QTest::newRow("fonts in table order")
        << QByteArray(R"({\rtf1\ansi\ansicpg932{\fonttbl{\f0\froman Times New Roman;})"
                      R"({\f1\fcharset128 \'82\'6c\'82\'72 \'96\'be\'92\'a9{\*\falt MS};})"
                      R"({\f2\fswiss Arial;}}x})")
        << u"x"_s << QStringList {u"Times New Roman"_s, u"ＭＳ 明朝"_s, u"Arial"_s} << 932 << 0;
    QTest::newRow("character set after code page")
        << QByteArray(R"({\rtf1\ansicpg932\ansi \'82\'a0})") << u"あ"_s << QStringList() << 932
        << 0;
    QTest::newRow("fonts without groups") << QByteArray(R"({\rtf1{\fonttbl\f0 A;\f1 B;}x})")
                                          << u"x"_s << QStringList {u"A"_s, u"B"_s} << 1252 << 0;
    QTest::newRow("unicode font name")
        << QByteArray(R"({\rtf1{\fonttbl{\f0 \u65325?\u65331? Gothic;}}x})") << u"x"_s
        << QStringList {u"ＭＳ Gothic"_s} << 1252 << 0;
    QTest::newRow("font name without semicolon")
        << QByteArray(R"({\rtf1{\fonttbl{\f0 A}{\f1 B;}}x})") << u"x"_s
        << QStringList {u"A"_s, u"B"_s} << 1252 << 0;
}

void TestRtfReader::documents()
{
    QFETCH(QByteArray, rtf);
    const rtf::Document doc = rtf::read(rtf);
    QTEST(doc.toPlainText(), "text");
    QTEST(doc.fontNames, "fonts");
    QTEST(doc.codePage, "codePage");
    QTEST(doc.defaultLanguage, "language");
    QVERIFY(doc.wellFormed);
}

void TestRtfReader::runs_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QStringList>("runs");

    QTest::newRow("bold group") << latin(R"(a{\b b}c)")
                                << QStringList {u"24:a"_s, u"b24:b"_s, u"24:c"_s};
    QTest::newRow("toggles") << latin(R"(\b a\b0 \i b\i0 c)")
                             << QStringList {u"b24:a"_s, u"i24:b"_s, u"24:c"_s};
    QTest::newRow("delimiter is not text")
        << latin(R"(\b x\b0  y)") << QStringList {u"b24:x"_s, u"24: y"_s};
    QTest::newRow("font size") << latin(R"(\fs36 a)") << QStringList {u"36:a"_s};
    QTest::newRow("font size clamps") << latin(R"(\fs99999999999 a)") << QStringList {u"3276:a"_s};
    QTest::newRow("plain resets") << latin(R"(\b\i\fs36 a\plain b)")
                                  << QStringList {u"bi36:a"_s, u"24:b"_s};
    QTest::newRow("equal formats merge") << latin(R"(a{\b0 b}{\b}c)") << QStringList {u"24:abc"_s};
    QTest::newRow("format outlives paragraph")
        << latin(R"(\b a\par\pard b)") << QStringList {u"b24:a"_s, u"|"_s, u"b24:b"_s};
    QTest::newRow("pair split by format change")
        << japanese(R"(\'82\'a0{\b \'82\'a2})") << QStringList {u"24:あ"_s, u"b24:い"_s};

    // Underline, and text set low or high
    QTest::newRow("underline and its ends")
        << latin(R"(\ul a\ul0 b\ul1 c\ulnone d)")
        << QStringList {u"u24:a"_s, u"24:b"_s, u"u24:c"_s, u"24:d"_s};
    QTest::newRow("sub, super, nosupersub") << latin(R"(\sub a\super b\nosupersub c)")
                                            << QStringList {u"sub24:a"_s, u"sup24:b"_s, u"24:c"_s};
    QTest::newRow("up and dn default to 3 pt")
        << latin(R"(\up a\dn b\up0 c\dn4 d\dn0 e)")
        << QStringList {u"24+6:a"_s, u"24-6:b"_s, u"24:c"_s, u"24-4:d"_s, u"24:e"_s};
    QTest::newRow("script and raise end apart")
        << latin(R"(\sub\up3 a\nosupersub b\up0 c)")
        << QStringList {u"sub24+3:a"_s, u"24+3:b"_s, u"24:c"_s};
    QTest::newRow("plain ends them all")
        << latin(R"(\ul\super\dn3 a\plain b)") << QStringList {u"usup24-3:a"_s, u"24:b"_s};
    QTest::newRow("pard keeps them") << latin(R"(\ul\sub\up2 a\par\pard b)")
                                     << QStringList {u"usub24+2:a"_s, u"|"_s, u"usub24+2:b"_s};
    QTest::newRow("groups nest and restore")
        << latin(R"(\ul a{\ulnone\dn4\fs12 b{\super\ul c}d}e)")
        << QStringList {u"u24:a"_s, u"12-4:b"_s, u"usup12-4:c"_s, u"12-4:d"_s, u"u24:e"_s};
    QTest::newRow("kaeriten and okurigana in an underline")
        << japanese(R"(\ul \'96\'b3{\up4\fs12 \'83\'56}{\dn3\fs12 \'89\'ba}\ulnone x)")
        << QStringList {u"u24:無"_s, u"u12+4:シ"_s, u"u12-3:下"_s, u"24:x"_s};
    QTest::newRow("absurd raise clamped")
        << latin(R"(\up99999999999 a\dn2000000 b)") << QStringList {u"24+72:a"_s, u"24-72:b"_s};
    QTest::newRow("negative raise is none")
        << latin(R"(\up-5 a\dn-99999999999 b)") << QStringList {u"24:ab"_s};
}

void TestRtfReader::runs()
{
    QFETCH(QByteArray, rtf);
    QTEST(describeRuns(rtf::read(rtf)), "runs");
}

void TestRtfReader::malformed_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wellFormed");

    const QByteArray cp932 = R"({\rtf1\ansicpg932 )";
    QTest::newRow("unclosed group") << QByteArray(R"({\rtf1 a{\b b)") << u"ab"_s << false;
    QTest::newRow("extra closing brace") << QByteArray(R"({\rtf1 a}})") << u"a"_s << false;
    QTest::newRow("whitespace after document") << QByteArray("{\\rtf1 a}\r\n") << u"a"_s << true;
    QTest::newRow("ends in control word") << QByteArray(R"({\rtf1 a\pa)") << u"a"_s << false;
    QTest::newRow("ends after backslash") << QByteArray(R"({\rtf1 a\)") << u"a"_s << false;
    QTest::newRow("escaped lead byte at end") << cp932 + R"(\'82\'a0\'82)" << u"あ"_s << false;
    QTest::newRow("raw lead byte at end") << cp932 + "\x82\xa0\x82" << u"あ"_s << false;
    QTest::newRow("lead byte before group end") << japanese(R"(\'82\'a0\'82)") << u"あ"_s << true;
    QTest::newRow("truncated hex keeps brace") << latin(R"(a\'4)") << u"a"_s << true;
    QTest::newRow("truncated hex at end") << QByteArray(R"({\rtf1 a\')") << u"a"_s << false;
    QTest::newRow("u without digits at end") << QByteArray(R"({\rtf1 a\u)") << u"a"_s << false;
    QTest::newRow("huge numbers") << latin(R"(\f99999999999999999999 a\li-99999999999999999 b)")
                                  << u"ab"_s << true;
    QTest::newRow("nul bytes") << latin(QByteArray("a") + '\0' + "b") << u"ab"_s << true;
    QTest::newRow("bin past the end") << QByteArray(R"({\rtf1 a\bin999999 xyz)") << u"a"_s << false;
    QTest::newRow("negative bin") << latin(R"(a\bin-5 b)") << u"ab"_s << true;
    QTest::newRow("not rtf") << QByteArray("plain text") << u"plain text"_s << false;
    QTest::newRow("nesting at the limit kept")
        << latin("a" + QByteArray(999, '{') + "x" + QByteArray(999, '}') + "b") << u"axb"_s << true;
    QTest::newRow("nesting past the limit ignored")
        << latin("a" + QByteArray(5000, '{') + "x" + QByteArray(5000, '}') + "b") << u"ab"_s
        << true;
    QTest::newRow("deep unclosed nesting") << QByteArray(100000, '{') + "x" << QString() << false;
    QTest::newRow("underline never ended")
        << QByteArray(R"({\rtf1 a\ul b\ulnone c\ul d)") << u"abcd"_s << false;
    QTest::newRow("ends inside a lowered group")
        << cp932 + R"(\'96\'b3{\dn3\fs12 \'83\'8c{\up)" << u"無レ"_s << false;
    QTest::newRow("ends inside a lowered pair")
        << cp932 + R"(\ul \'96\'b3{\dn3\fs12 \'83)" << u"無"_s << false;
}

void TestRtfReader::malformed()
{
    QFETCH(QByteArray, rtf);
    const rtf::Document doc = rtf::read(rtf);
    QTEST(doc.toPlainText(), "text");
    QTEST(doc.wellFormed, "wellFormed");
}

// Random mixes of syntax fragments and bytes; a sanitizer build turns any stray read into a
// failure.
void TestRtfReader::noiseNeverBreaksTheReader()
{
    static const QByteArray pieces[] = {
        "{",
        "}",
        "\\",
        "\\'",
        "\\'8",
        "\\'82",
        "\\u",
        "\\u-",
        "\\uc2",
        "\\uc99999999999",
        "\\bin",
        "\\bin3 ",
        "\\*",
        "\\fonttbl",
        "\\par",
        "\\pict",
        "\\ul",
        "\\ulnone ",
        "\\sub",
        "\\nosupersub",
        "\\up-99999999999",
        "\\dn",
        ";",
        "-",
        "99999999999",
        "\\ansicpg932 ",
        "\\ansicpg1252 ",
        "\x83",
        "\x95\x5c",
        "\r\n",
        " ",
        "a",
    };
    QRandomGenerator random(20240601);
    for (int round = 0; round < 300; ++round) {
        QByteArray input;
        while (input.size() < 2000) {
            if (random.bounded(3) == 0)
                input += char(random.bounded(256));
            else
                input += pieces[random.bounded(int(std::size(pieces)))];
        }
        const rtf::Document doc = rtf::read(input);
        QVERIFY(doc.toPlainText().size() <= input.size());
    }
}

QTEST_APPLESS_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
