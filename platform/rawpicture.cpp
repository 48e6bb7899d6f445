#include "platform/rawpicture.h"

#include <QResource>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

constexpr quint32 MaxSide = 8192;
constexpr quint32 MaxColours = 256;

// Besides 1x, the ratios tools/make_pictures.sh draws every picture at, smallest first.
constexpr qreal DrawnRatios[] = {1.25, 1.5, 2};

class Input
{
public:
    explicit Input(QByteArrayView data) : m_data(data) { }

    bool take(quint32 &value)
    {
        if (m_data.size() - m_at < 4)
            return false;
        value = qFromLittleEndian<quint32>(m_data.data() + m_at);
        m_at += 4;
        return true;
    }

    const char *take(qsizetype bytes)
    {
        if (bytes < 0 || m_data.size() - m_at < bytes)
            return nullptr;
        const char *start = m_data.data() + m_at;
        m_at += bytes;
        return start;
    }

private:
    QByteArrayView m_data;
    qsizetype m_at = 0;
};

// Whether every pixel names a colour of the table. The indices ORed together, eight at a time,
// bound the largest of them; only when that bound does not fit is each pixel looked at.
bool indicesFit(QByteArrayView pixels, quint32 colourCount)
{
    quint64 bits = 0;
    qsizetype at = 0;
    for (; at + 8 <= pixels.size(); at += 8)
        bits |= qFromUnaligned<quint64>(pixels.data() + at);
    for (; at < pixels.size(); ++at)
        bits |= quint8(pixels[at]);
    quint32 bound = 0;
    for (; bits != 0; bits >>= 8)
        bound |= quint32(bits & 0xff);
    if (bound < colourCount)
        return true;
    return std::all_of(pixels.begin(), pixels.end(),
                       [colourCount](char index) { return quint8(index) < colourCount; });
}

} // namespace

QImage rawPicture(QByteArrayView data)
{
    Input input(data);
    const char *magic = input.take(4);
    quint32 width = 0, height = 0, format = 0, colourCount = 0;
    if (!magic || QByteArrayView(magic, 4) != "KMPX" || !input.take(width) || !input.take(height)
        || !input.take(format) || !input.take(colourCount))
        return {};
    if (width == 0 || height == 0 || width > MaxSide || height > MaxSide
        || colourCount > MaxColours)
        return {};
    const bool indexed = format == QImage::Format_Indexed8;
    if (!indexed && format != QImage::Format_ARGB32_Premultiplied)
        return {};

    QList<QRgb> colours(colourCount);
    for (QRgb &colour : colours) {
        if (!input.take(colour))
            return {};
    }
    const qsizetype lineBytes = qsizetype(width) * (indexed ? 1 : 4);
    const char *pixels = input.take(lineBytes * height);
    if (!pixels
        || (indexed && !indicesFit(QByteArrayView(pixels, lineBytes * height), colourCount)))
        return {};

    // An indexed picture is looked up into 32-bit pixels here, straight from the data: drawn, it
    // would be converted anyway, and a pixmap takes a 32-bit image over without a copy.
    const bool opaque = std::all_of(colours.cbegin(), colours.cend(),
                                    [](QRgb colour) { return qAlpha(colour) == 255; });
    for (QRgb &colour : colours)
        colour = qPremultiply(colour);
    QImage image(int(width), int(height),
                 indexed && opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    const QRgb *table = colours.constData();
    for (int y = 0; y < int(height); ++y) {
        const char *line = pixels + y * lineBytes;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        // Most rows of a patterned background repeat the one above: copied whole, they are
        // several times faster than looked up pixel by pixel.
        if (y > 0 && std::memcmp(line, line - lineBytes, std::size_t(lineBytes)) == 0) {
            std::memcpy(out, image.constScanLine(y - 1), std::size_t(width) * sizeof(QRgb));
        } else if (indexed) {
            for (quint32 x = 0; x < width; ++x)
                out[x] = table[quint8(line[x])];
        } else {
            for (quint32 x = 0; x < width; ++x)
                out[x] = qFromLittleEndian<quint32>(line + 4 * x);
        }
    }
    return image;
}

QImage rawPictureResource(const QString &resource)
{
    // Straight from the resource, without the copy a QFile would read it into.
    const QResource file(resource);
    return file.isValid() ? rawPicture(file.uncompressedData()) : QImage();
}

QImage rawPictureResource(const QString &resource, qreal devicePixelRatio)
{
    constexpr qreal Near = 0.001; // a ratio worked out from a screen's size and DPI is not exact
    if (devicePixelRatio <= 1 + Near)
        return rawPictureResource(resource);
    const auto *drawn = std::find_if(
        std::begin(DrawnRatios), std::end(DrawnRatios),
        [devicePixelRatio](qreal ratio) { return ratio >= devicePixelRatio - Near; });
    const qreal ratio
        = drawn == std::end(DrawnRatios) ? DrawnRatios[std::size(DrawnRatios) - 1] : *drawn;
    const qsizetype dot = resource.lastIndexOf(u'.');
    QImage image = rawPictureResource(resource.left(dot) + u'@' + QString::number(ratio) + u'x'
                                      + resource.mid(dot));
    if (image.isNull())
        return image;
    if (qAbs(ratio - devicePixelRatio) > Near) {
        image = image.scaled((QSizeF(image.size()) * devicePixelRatio / ratio).toSize(),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

} // namespace platform
