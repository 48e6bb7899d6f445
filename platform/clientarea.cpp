#include "platform/clientarea.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

namespace platform {

ClientArea::ClientArea(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

void ClientArea::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

// The picture covers the client area at its designed size; only a window enlarged beyond the
// picture needs plain background around it, so nothing is painted twice.
void ClientArea::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    // A picture drawn for a finer screen covers the same logical area in more of its own pixels.
    const qreal ratio = m_picture.devicePixelRatio();
    const QRegion pictured
        = event->region().intersected(QRect(QPoint(), m_picture.deviceIndependentSize().toSize()));
    for (const QRect &rect : pictured) {
        painter.drawPixmap(QRectF(rect), m_picture,
                           QRectF(QPointF(rect.topLeft()) * ratio, QSizeF(rect.size()) * ratio));
    }
    for (const QRect &rect : event->region().subtracted(pictured))
        painter.fillRect(rect, palette().window());
}

} // namespace platform
