#include "platform/label.h"

namespace platform {

void Label::setAutoSize(bool on)
{
    m_autoSize = on;
    m_designWidth = width();
    fitToCaption();
}

void Label::setCaption(const QString &caption)
{
    if (caption == text())
        return;
    setText(caption);
    fitToCaption();
}

void Label::fitToCaption()
{
    if (!m_autoSize)
        return;
    const QString caption = text();
    const int captionWidth = caption.isEmpty()
        ? m_designWidth
        : fontMetrics().horizontalAdvance(caption) + 2 * (margin() + frameWidth());
    resize(captionWidth, height());
}

} // namespace platform
