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

} // namespace platform
