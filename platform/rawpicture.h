#pragma once

#include <QByteArrayView>
#include <QImage>

// Pictures embedded as raw pixels (made from the design's GIF and PNG files while building), so
// that showing them needs no image decoder: see tools/rawpicture.cpp for the form.
namespace platform {

// The picture, or a null image when the data is not a whole raw picture. An indexed picture comes
// back with its colours looked up: RGB32 when they are all opaque.
QImage rawPicture(QByteArrayView data);

QImage rawPictureResource(const QString &resource);

// The picture for a screen of this many device pixels a logical pixel, of the same logical size
// as the 1x picture: the one drawn for that ratio (":/data/maru@2x.raw" beside ":/data/maru.raw"),
// else the next larger one drawn (the largest past 2) scaled to it. Only that one is read.
QImage rawPictureResource(const QString &resource, qreal devicePixelRatio);

} // namespace platform
