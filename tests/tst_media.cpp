#include "platform/rtfreader.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSoundEffect>
#include <QTest>
#include <QtEndian>

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

} // namespace

// The documents, pictures and chime the program is built with.
class TestMedia : public QObject
{
    Q_OBJECT

private slots:
    void documentsAreCleanJapanese_data();
    void documentsAreCleanJapanese();
    void passLineTable();
    void helpSections();
    void pictures();
    void chime();
};

void TestMedia::documentsAreCleanJapanese_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"booklet.rtf", "passage1.rtf", "passage2.rtf", "passage3.rtf",
                             "passage4.rtf", "help.rtf", "passlines.rtf"})
        QTest::addRow("%s", name) << QString::fromLatin1(name);
}

// Code page 932, Japanese, one face at 9 pt, plain: no replacement character anywhere.
void TestMedia::documentsAreCleanJapanese()
{
    QFETCH(QString, name);
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
            QVERIFY(!run.format.bold && !run.format.italic);
            QCOMPARE(run.format.halfPoints, 18);
        }
    }
    static const QRegularExpression decoration(
        QStringLiteral(R"(\\(b|i|ul|cf[1-9]|trowd|cell)\b)"));
    QVERIFY2(!QString::fromLatin1(source).contains(decoration), "plain text only");
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
    const QImage background(QStringLiteral(":/data/background.gif"));
    QCOMPARE(background.size(), QSize(794, 567));
    QVERIFY(QColor(background.pixel(400, 300)).yellow() > 0
            || QColor(background.pixel(0, 0)).red() > 200);

    const QImage mark
        = QImage(QStringLiteral(":/data/maru.png")).convertToFormat(QImage::Format_ARGB32);
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
