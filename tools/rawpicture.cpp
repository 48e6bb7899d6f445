// Turns the design's pictures (the background GIF, the mark PNG) into raw pixels while the
// program is built. Reading GIF or PNG at start-up cost the program more than a whole empty
// window takes to appear: the image plugins are loaded and the picture decoded. Raw pixels are
// only copied out of the program's resources.
//
//   kokugo-rawpicture in.gif|in.png out.raw
//
// The raw form, all numbers little-endian 32-bit: "KMPX", width, height, QImage::Format,
// colour-table size, the colour table (QRgb), then the scan lines, each width pixels wide with
// no padding (one byte a pixel for an indexed picture, four otherwise).

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QtEndian>

#include <cstdio>

namespace {

void put(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: kokugo-rawpicture in.gif|in.png out.raw\n");
        return 2;
    }
    QImage image(arguments[1]);
    if (image.isNull()) {
        std::fprintf(stderr, "kokugo-rawpicture: cannot read %s\n", qPrintable(arguments[1]));
        return 1;
    }
    // A picture of 256 colours or fewer (the GIF) is kept indexed: a quarter of the bytes to copy
    // out of the resources, and exactly the same pixels.
    if (image.format() != QImage::Format_Indexed8) {
        const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        image = indexed.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                == image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
            ? indexed
            : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

    QByteArray out("KMPX");
    put(out, quint32(image.width()));
    put(out, quint32(image.height()));
    put(out, quint32(image.format()));
    const QList<QRgb> colours = image.colorTable();
    put(out, quint32(colours.size()));
    for (QRgb colour : colours)
        put(out, colour);
    const int lineBytes = image.width() * (image.depth() / 8);
    for (int y = 0; y < image.height(); ++y) {
        if (image.depth() == 8) {
            out.append(reinterpret_cast<const char *>(image.constScanLine(y)), lineBytes);
        } else {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                put(out, line[x]);
        }
    }

    QFile file(arguments[2]);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size()) {
        std::fprintf(stderr, "kokugo-rawpicture: cannot write %s\n", qPrintable(arguments[2]));
        return 1;
    }
    return 0;
}
