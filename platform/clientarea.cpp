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
    const QRegion pictured = event->region().intersected(m_picture.rect());
    for (const QRect &rect : pictured)
        painter.drawPixmap(rect, m_picture, rect);
    for (const QRect &rect : event->region().subtracted(pictured))
        painter.fillRect(rect, palette().window());
}

} // namespace platform
