#include "platform/rawpicture.h"

#include <QFile>
#include <QtEndian>

namespace platform {

namespace {

constexpr quint32 MaxSide = 8192;
constexpr quint32 MaxColours = 256;

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
    QImage image(int(width), int(height), static_cast<QImage::Format>(format));
    const qsizetype lineBytes = qsizetype(width) * (indexed ? 1 : 4);
    for (int y = 0; y < int(height); ++y) {
        const char *line = input.take(lineBytes);
        if (!line)
            return {};
        if (indexed) {
            memcpy(image.scanLine(y), line, size_t(lineBytes));
        } else {
            auto *pixels = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (quint32 x = 0; x < width; ++x)
                pixels[x] = qFromLittleEndian<quint32>(line + 4 * x);
        }
    }
    if (indexed) {
        // Every pixel must name a colour of the table.
        image.setColorTable(colours);
        for (int y = 0; y < int(height); ++y) {
            const uchar *line = image.constScanLine(y);
            for (quint32 x = 0; x < width; ++x) {
                if (line[x] >= colourCount)
                    return {};
            }
        }
    }
    return image;
}

QImage rawPictureResource(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return rawPicture(file.readAll());
}

} // namespace platform
