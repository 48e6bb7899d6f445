#include "platform/clientarea.h"

#include <QPaintEvent>
#include <QPainter>

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

void ClientArea::paintEvent(QPaintEvent *event)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(event->rect(), m_picture, event->rect());
}

} // namespace platform
