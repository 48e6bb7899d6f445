#include "platform/rtfreader.h"

#include <QDir>
#include <QFile>
#include <QTest>

// The fuzzer's seeds and every input that ever broke the reader under it, read again by every
// build, so that a fixed fault stays fixed in the ordinary and the sanitizer suites.
class TestRtfRegressions : public QObject
{
    Q_OBJECT

private slots:
    void readsCleanly_data();
    void readsCleanly();
};

void TestRtfRegressions::readsCleanly_data()
{
    QTest::addColumn<QString>("path");
    const QDir corpus(QStringLiteral(KOKUGO_FUZZ_CORPUS));
    const QDir regressions(QStringLiteral(KOKUGO_FUZZ_REGRESSIONS));
    // A wrong path would otherwise pass with nothing read.
    QVERIFY2(!corpus.isEmpty(QDir::Files), qPrintable(corpus.path()));
    QVERIFY2(regressions.exists(), qPrintable(regressions.path()));
    for (const QDir &dir : {corpus, regressions}) {
        for (const QString &file : dir.entryList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(dir.dirName() + u'/' + file)) << dir.filePath(file);
    }
}

// The same promises the fuzz target checks; a sanitizer build adds every stray read and leak.
void TestRtfRegressions::readsCleanly()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const rtf::Document doc = rtf::read(file.readAll());

    QVERIFY(doc.toPlainText().isValidUtf16());
    for (const rtf::Paragraph &paragraph : doc.paragraphs) {
        for (const rtf::Run &run : paragraph) {
            QVERIFY(!run.text.isEmpty());
            QVERIFY(run.format.halfPoints > 0 && run.format.halfPoints <= 3276);
        }
    }
    for (const QString &name : doc.fontNames)
        QVERIFY(!name.isEmpty() && name == name.trimmed());
}

QTEST_APPLESS_MAIN(TestRtfRegressions)
#include "tst_rtfregressions.moc"
