#include "exam/examwindow.h"
#include "platform/fonts.h"
#include "platform/label.h"
#include "platform/rawpicture.h"
#include "platform/richtextpane.h"
#include "platform/rtfreader.h"
#include "platform/tabcontrol.h"
#include "reference/referencewindows.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <QSoundEffect>
#include <QTest>
#include <QTextBlock>
#include <QtEndian>

#include <string_view>

namespace {

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/data/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList lines(const QString &name)
{
    return rtf::read(resource(name)).toPlainText().split(u'\n');
}

double fullWidthPercent(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() >= u'０' && c.unicode() <= u'９')
            c = QChar(c.unicode() - u'０' + u'0');
        else if (c == u'．')
            c = u'.';
    }
    return text.toDouble();
}

struct ShownText
{
    const QWidget *widget;
    QFont font;
    QString text;
};

// "終了(&Q)" draws "終了(Q)" with the Q underlined.
QString withoutMnemonic(QString caption)
{
    return caption.remove(u'&');
}

// Every text the window draws itself, each with the font it is drawn in: captions, menus, tabs
// and the documents of its panes. The title bar is the desktop's.
QList<ShownText> shownTexts(QWidget *window)
{
    QList<ShownText> texts;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const QFont font = widget->font();
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            texts.append({widget, font, label->text()});
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            texts.append({widget, font, withoutMnemonic(button->text())});
        } else if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
            texts.append({widget, font, frame->title()});
        } else if (auto *tabs = qobject_cast<platform::TabControl *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i)
                texts.append({widget, font, tabs->tabText(i)});
        } else if (auto *menus = qobject_cast<QMenuBar *>(widget)) {
            for (const QAction *menu : menus->actions())
                texts.append({widget, font, withoutMnemonic(menu->text())});
        } else if (auto *menu = qobject_cast<QMenu *>(widget)) {
            for (const QAction *item : menu->actions())
                texts.append({widget, font, withoutMnemonic(item->text())});
        } else if (auto *pane = qobject_cast<QPlainTextEdit *>(widget)) {
            if (auto *document = qobject_cast<platform::RichTextPane *>(pane))
                document->load();
            for (QTextBlock block = pane->document()->begin(); block.isValid();
                 block = block.next()) {
                for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
                    const QTextFragment part = fragment.fragment();
                    texts.append({widget, part.charFormat().font().resolve(font), part.text()});
                }
            }
        }
    }
    // Shown while the exam runs and after scoring.
    for (const QString &name : {QStringLiteral("lbl秒"), QStringLiteral("lbl得点")}) {
        if (auto *label = window->findChild<platform::Label *>(name))
            texts.append({label, label->font(), QStringLiteral("0123456789:")});
    }
    return texts;
}

// Whether the character leaves a visible mark, drawn black on white as a label draws it: a
// quarter of the way to black at least, in one pixel.
bool drawsInk(const QFont &font, char32_t c)
{
    const QFontMetrics metrics(font);
    // The format of a window's backing store: glyphs come from the same rasteriser and cache.
    QImage image(metrics.height() * 3, metrics.height() * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    // Every attribute as given: the painter fills the unset ones from its own default font.
    QFont exact = font;
    exact.setResolveMask(QFont::AllPropertiesResolved);
    QPainter painter(&image);
    painter.setFont(exact);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(metrics.height() / 2, metrics.height()), QString::fromUcs4(&c, 1));
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (std::any_of(line, line + image.width(), [](QRgb pixel) { return qGray(pixel) < 192; }))
            return true;
    }
    return false;
}

} // namespace

// The documents, pictures and chime the program is built with.
class TestMedia : public QObject
{
    Q_OBJECT

private slots:
    void documentsAreCleanJapanese_data();
    void documentsAreCleanJapanese();
    void everyCharacterDraws_data();
    void everyCharacterDraws();
    void passLineTable();
    void helpSections();
    void pictures();
    void picturesForFinerScreens_data();
    void picturesForFinerScreens();
    void damagedRawPicture_data();
    void damagedRawPicture();
    void chime();
};

void TestMedia::documentsAreCleanJapanese_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("paper"); // underlines, kaeriten and okurigana as a printed paper
    for (const char *name :
         {"booklet.rtf", "passage1.rtf", "passage2.rtf", "passage3.rtf", "passage4.rtf"})
        QTest::addRow("%s", name) << QString::fromLatin1(name) << true;
    for (const char *name : {"help.rtf", "passlines.rtf"})
        QTest::addRow("%s", name) << QString::fromLatin1(name) << false;
}

// Code page 932, Japanese, one face at 9 pt, plain but for the paper's underlines and its small
// text set low or high: no replacement character anywhere.
void TestMedia::documentsAreCleanJapanese()
{
    QFETCH(QString, name);
    QFETCH(bool, paper);
    const QByteArray source = resource(name);
    QVERIFY(!source.isEmpty());
    const rtf::Document document = rtf::read(source);
    QVERIFY(document.wellFormed);
    QCOMPARE(document.codePage, 932);
    QCOMPARE(document.defaultLanguage, 1041);
    QCOMPARE(document.fontNames, QStringList {QStringLiteral("ＭＳ ゴシック")});
    const QString text = document.toPlainText();
    QVERIFY(!text.contains(QChar::ReplacementCharacter));
    QVERIFY(!text.contains(u'\u30fb' + QString(u'\u30fb') + u'\u30fb' + u'?'));
    for (const rtf::Paragraph &paragraph : document.paragraphs) {
        for (const rtf::Run &run : paragraph) {
            const rtf::CharFormat &f = run.format;
            QVERIFY(!f.bold && !f.italic);
            QVERIFY(paper || !f.underline);
            // Small text by size and distance: \sub and \super would shrink it a second time.
            QCOMPARE(f.script, rtf::Script::Normal);
            if (f.raise == 0) {
                QCOMPARE(f.halfPoints, 18);
            } else {
                QVERIFY2(paper && f.halfPoints == 12 && std::abs(f.raise) <= 6,
                         qPrintable(run.text));
            }
        }
    }
    static const QRegularExpression decoration(QStringLiteral(R"(\\(b|i|cf[1-9]|trowd|cell)\b)"));
    QVERIFY2(!QString::fromLatin1(source).contains(decoration), "plain text only");
}

void TestMedia::everyCharacterDraws_data()
{
    QTest::addColumn<int>("window"); // 0: the exam window, -1: help, 1 to 6: the verdicts
    QTest::addRow("exam_window") << 0;
    QTest::addRow("help_window") << -1;
    for (int w = 1; w <= reference::PassLineWindowCount; ++w)
        QTest::addRow("pass_line_window_%d", w) << w;
}

// Every character a window shows draws ink at the size and weight it is shown in. A character
// the face lacks would be an empty box, and a stroke that hinting rounds away would leave a gap
// ("x86 64" for "x86_64").
void TestMedia::everyCharacterDraws()
{
    QFETCH(int, window);
    platform::installFontSubstitutions();
    std::unique_ptr<QWidget> shown(window == 0        ? new ExamWindow
                                       : window == -1 ? reference::createHelpWindow()
                                                      : reference::createPassLineWindow(window));
    QHash<QString, QSet<char32_t>> checked; // by QFont::key()
    QStringList blank;
    int characters = 0;
    for (const auto &[widget, font, text] : shownTexts(shown.get())) {
        // The design's fonts look up no fallback, so they must be the Gothic face itself; the
        // menus' popups keep the desktop's font.
        if (font.styleStrategy() & QFont::NoFontMerging && !checked.contains(font.key()))
            QVERIFY2(QFontInfo(font).family() == u"IPAGothic",
                     qPrintable(QStringLiteral("%1 %2 is drawn in %3")
                                    .arg(QString::fromLatin1(widget->metaObject()->className()),
                                         widget->objectName(), QFontInfo(font).family())));
        const QFontMetrics metrics(font);
        QSet<char32_t> &done = checked[font.key()];
        for (const char32_t c : text.toUcs4()) {
            // Spaces and invisible format characters (the word joiner that keeps kunten with
            // their character) draw nothing by design.
            if (QChar::isSpace(c) || QChar::category(c) == QChar::Other_Format || done.contains(c))
                continue;
            done.insert(c);
            ++characters;
            if (!metrics.inFontUcs4(c) || !drawsInk(font, c)) {
                blank << QStringLiteral("U+%1 %2 at %3 px%4")
                             .arg(uint(c), 4, 16, QChar(u'0'))
                             .arg(QString::fromUcs4(&c, 1))
                             .arg(font.pixelSize())
                             .arg(font.bold() ? QStringLiteral(" bold") : QString());
            }
        }
    }
    QVERIFY2(blank.isEmpty(), qPrintable(blank.join(QStringLiteral(", "))));
    QVERIFY(characters > 10);
}

void TestMedia::passLineTable()
{
    const QStringList text = lines(QStringLiteral("passlines.rtf"));
    const QStringList titles {QStringLiteral("旧帝国大学"), QStringLiteral("学部名"),
                              QStringLiteral("受験科目"),
                              QStringLiteral("合格ライン（１科目平均）")};
    qsizetype at = 0;
    for (const QString &title : titles) {
        at = text.first().indexOf(title, at);
        QVERIFY2(at >= 0, qPrintable(title));
    }

    QList<QStringList> entries;
    QStringList block;
    for (const QString &line : text.mid(1) + QStringList {QString()}) {
        if (line.trimmed().isEmpty()) {
            if (!block.isEmpty())
                entries << block;
            block.clear();
        } else {
            block << line;
        }
    }
    QCOMPARE(entries.size(), 21);

    const QStringList universities {QStringLiteral("北海道"), QStringLiteral("東北"),
                                    QStringLiteral("東京"),   QStringLiteral("名古屋"),
                                    QStringLiteral("京都"),   QStringLiteral("大阪"),
                                    QStringLiteral("九州")};
    const QStringList faculties {QStringLiteral("法"), QStringLiteral("工"), QStringLiteral("医")};
    static const QRegularExpression passLine(QStringLiteral("([０-９]{2}．[０-９])％$"));
    QHash<QString, double> lines;
    for (int e = 0; e < entries.size(); ++e) {
        const QStringList &entry = entries[e];
        QCOMPARE(entry.size(), 5);
        const QString university = universities[e / 3];
        const QString faculty = faculties[e % 3];
        const QString first = entry.first().trimmed();
        if (e % 3 == 0)
            QVERIFY2(first.startsWith(university), qPrintable(first));
        else
            QVERIFY2(!first.startsWith(universities[e / 3]), qPrintable(first));
        QVERIFY2(first.contains(faculty + QStringLiteral("学部")), qPrintable(first));
        const auto match = passLine.match(entry.first());
        QVERIFY2(match.hasMatch(), qPrintable(entry.first()));
        const double percent = fullWidthPercent(match.captured(1));
        QVERIFY(percent >= 80.0 && percent <= 96.0);
        lines.insert(university + faculty, percent);

        static const QList<QRegularExpression> groups {
            QRegularExpression(QStringLiteral("\u3000国\u3000*―国語Ⅰ・Ⅱ")),
            QRegularExpression(QStringLiteral("^\u3000+地歴(・公民)?\u3000*―.+から１つ$")),
            QRegularExpression(QStringLiteral("^\u3000+数\u3000*―.+必須.+から１つ$")),
            QRegularExpression(QStringLiteral("^\u3000+理\u3000*―.+から[１２]つ$"))};
        for (int g = 0; g < 4; ++g)
            QVERIFY2(entry[g].contains(groups[g]), qPrintable(entry[g]));
        QCOMPARE(entry[4].trimmed(), QStringLiteral("外"));
    }
    QCOMPARE(lines.value(QStringLiteral("北海道法")), 80.3);
    QCOMPARE(lines.value(QStringLiteral("東京医")), 96.0);
    QCOMPARE(lines.value(QStringLiteral("九州医")), 94.0);
}

void TestMedia::helpSections()
{
    const QStringList text = lines(QStringLiteral("help.rtf"));
    const QString all = text.join(u'\n');
    QVERIFY(text.first().contains(QStringLiteral("○○○○○\u3000ソフトの説明\u3000○○○○○")));
    qsizetype at = 0;
    for (const QString &heading : {QStringLiteral("★はじめに"), QStringLiteral("【"),
                                   QStringLiteral("★同梱包ファイルについて"),
                                   QStringLiteral("※補足"), QStringLiteral("★学習手順")}) {
        const qsizetype next = all.indexOf(heading, at);
        QVERIFY2(next > at, qPrintable(heading));
        at = next;
    }
    QVERIFY(all.contains(QStringLiteral("kokugo-mogi")));
    QVERIFY(all.contains(QStringLiteral("Zikan.wav")));
    QVERIFY(all.indexOf(QStringLiteral("１．"), at) > at);
    QVERIFY(all.indexOf(QStringLiteral("「スタート」"), at) > at);
    QVERIFY(all.indexOf(QStringLiteral("「得　点」"), at) > at
            || all.indexOf(QStringLiteral("「得点」"), at) > at);
}

void TestMedia::pictures()
{
    // The design's GIF, and the raw pixels made from it that the program embeds: the same picture.
    const QImage design = QImage(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../data/background.gif"))
                              .convertToFormat(QImage::Format_RGB32);
    const QImage background = platform::rawPictureResource(QStringLiteral(":/data/background.raw"))
                                  .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(design.size(), QSize(794, 567));
    QCOMPARE(background, design);
    // A yellow field with white motifs.
    int yellow = 0, white = 0;
    for (int y = 0; y < background.height(); ++y) {
        for (int x = 0; x < background.width(); ++x) {
            const QColor pixel(background.pixel(x, y));
            yellow += pixel.red() > 230 && pixel.green() > 200 && pixel.blue() < 160;
            white += pixel.red() > 240 && pixel.green() > 240 && pixel.blue() > 240;
        }
    }
    const int area = background.width() * background.height();
    QVERIFY(yellow > area * 8 / 10);
    QVERIFY(white > area / 100);

    const QImage mark = platform::rawPictureResource(QStringLiteral(":/data/maru.raw"))
                            .convertToFormat(QImage::Format_ARGB32);
    // Premultiplied, as the program draws it; the anti-aliased edge would round otherwise.
    QCOMPARE(platform::rawPictureResource(QStringLiteral(":/data/maru.raw")),
             QImage(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../data/maru.png"))
                 .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    QCOMPARE(mark.size(), QSize(32, 32));
    QCOMPARE(qAlpha(mark.pixel(16, 16)), 0); // transparent inside
    for (const QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)})
        QCOMPARE(qAlpha(mark.pixel(corner)), 0); // and outside
    int opaqueRed = 0, partial = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb pixel = mark.pixel(x, y);
            if (qAlpha(pixel) == 255 && qRed(pixel) > 180 && qGreen(pixel) < 60
                && qBlue(pixel) < 60)
                ++opaqueRed;
            else if (qAlpha(pixel) > 0 && qAlpha(pixel) < 255)
                ++partial; // the anti-aliased edge
        }
    }
    QVERIFY(opaqueRed > 100);
    QVERIFY(partial > 30);
}

void TestMedia::picturesForFinerScreens_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QString>("design"); // the picture drawn for that ratio; none: scaled
    // Shrunk back to 1x, the pixels that may differ clearly from the 1x picture's: a background
    // half a 1x pixel off has over 3000 (of its 9660 white), a ring half a pixel off over 90.
    QTest::addColumn<int>("pixelsApart");
    for (const char *name : {"background", "maru"}) {
        const int pixelsApart = name == std::string_view("maru") ? 40 : 2400;
        const QString picture = QString::fromLatin1(name);
        const QString extension
            = picture == u"maru" ? QStringLiteral(".png") : QStringLiteral(".gif");
        for (const double ratio : {1.25, 1.5, 2.0}) {
            QTest::addRow("%s_%gx", name, ratio)
                << picture << ratio << picture + u'@' + QString::number(ratio) + u'x' + extension
                << pixelsApart;
        }
        QTest::addRow("%s_1.75x_from_2x", name) << picture << 1.75 << QString() << pixelsApart;
        QTest::addRow("%s_3x_from_2x", name) << picture << 3.0 << QString() << pixelsApart;
    }
}

// A picture for a screen of more device pixels a pixel covers the 1x picture's logical size and,
// shrunk back to 1x, is that picture: its pattern lines up with the 1x one. One drawn for the
// ratio is exactly its design file.
void TestMedia::picturesForFinerScreens()
{
    QFETCH(QString, picture);
    QFETCH(double, ratio);
    QFETCH(QString, design);
    QFETCH(int, pixelsApart);
    const QString resource = QStringLiteral(":/data/") + picture + QStringLiteral(".raw");
    const QImage one
        = platform::rawPictureResource(resource).convertToFormat(QImage::Format_ARGB32);
    const QImage fine = platform::rawPictureResource(resource, ratio);
    QCOMPARE(fine.devicePixelRatio(), ratio);
    QCOMPARE(fine.deviceIndependentSize().toSize(), one.size());
    if (!design.isEmpty()) {
        QImage drawn = QImage(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../data/") + design)
                           .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        drawn.setDevicePixelRatio(ratio);
        QCOMPARE(fine.convertToFormat(QImage::Format_ARGB32_Premultiplied), drawn);
    }

    const QImage shrunk = fine.scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
    int apart = 0;
    for (int y = 0; y < one.height(); ++y) {
        for (int x = 0; x < one.width(); ++x) {
            const QRgb a = one.pixel(x, y), b = shrunk.pixel(x, y);
            apart += qAbs(qAlpha(a) - qAlpha(b)) > 40 || qAbs(qBlue(a) - qBlue(b)) > 40;
        }
    }
    QVERIFY2(apart <= pixelsApart, qPrintable(QString::number(apart)));
}

void TestMedia::damagedRawPicture_data()
{
    QTest::addColumn<QByteArray>("data");
    QFile file(QStringLiteral(":/data/maru.raw"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    QVERIFY(!platform::rawPicture(good).isNull());
    QByteArray hugeSide = good;
    hugeSide[4] = char(0xff);
    hugeSide[7] = char(0x7f);
    QByteArray wrongFormat = good;
    wrongFormat[12] = char(99);
    QTest::addRow("empty") << QByteArray();
    QTest::addRow("wrong_magic") << QByteArray("XXXX") + good.mid(4);
    QTest::addRow("header_only") << good.left(20);
    QTest::addRow("one_byte_short") << good.chopped(1);
    QTest::addRow("huge_side") << hugeSide;
    QTest::addRow("unknown_format") << wrongFormat;

    // An indexed picture whose pixel names a colour the table lacks.
    QByteArray badIndex("KMPX");
    for (quint32 value : {2u, 1u, quint32(QImage::Format_Indexed8), 1u, 0xff000000u})
        badIndex.append(reinterpret_cast<const char *>(&value), 4);
    badIndex.append("\x00\x05", 2);
    QTest::addRow("index_outside_table") << badIndex;
}

void TestMedia::damagedRawPicture()
{
    QFETCH(QByteArray, data);
    QVERIFY(platform::rawPicture(data).isNull());
}

// The chime beside the program: 16-bit PCM, a few seconds, loud but not clipped, and loadable by
// the sound layer the player uses.
void TestMedia::chime()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Zikan.wav");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    QVERIFY(wav.startsWith("RIFF") && wav.mid(8, 4) == "WAVE");
    const qsizetype fmt = wav.indexOf("fmt ");
    const qsizetype data = wav.indexOf("data");
    QVERIFY(fmt > 0 && data > fmt);
    const char *format = wav.constData() + fmt + 8;
    QCOMPARE(qFromLittleEndian<quint16>(format), quint16(1)); // PCM
    const int channels = qFromLittleEndian<quint16>(format + 2);
    const int rate = int(qFromLittleEndian<quint32>(format + 4));
    QCOMPARE(qFromLittleEndian<quint16>(format + 14), quint16(16));
    const qsizetype bytes = qFromLittleEndian<quint32>(wav.constData() + data + 4);
    const double seconds = double(bytes) / (rate * channels * 2);
    QVERIFY2(seconds >= 2 && seconds <= 12, qPrintable(QString::number(seconds)));

    int peak = 0;
    double energy = 0;
    const qsizetype samples = bytes / 2;
    for (qsizetype i = 0; i < samples; ++i) {
        const int sample = qFromLittleEndian<qint16>(wav.constData() + data + 8 + 2 * i);
        peak = std::max(peak, std::abs(sample));
        energy += double(sample) * sample;
    }
    QVERIFY2(peak < 32767, "clipped");
    QVERIFY(peak > 20000); // normalised
    QVERIFY(std::sqrt(energy / double(samples)) > 1000);

    QSoundEffect effect;
    effect.setSource(QUrl::fromLocalFile(path));
    QTRY_VERIFY(effect.status() == QSoundEffect::Ready || effect.status() == QSoundEffect::Error);
    QCOMPARE(effect.status(), QSoundEffect::Ready);
}

QTEST_MAIN(TestMedia)
#include "tst_media.moc"
