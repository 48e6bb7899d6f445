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
    updateAccessibleName();
}

void Label::setSpokenName(const QString &name)
{
    m_spokenName = name;
    updateAccessibleName();
}

void Label::setBackColor(const QColor &color)
{
    QPalette colours = palette();
    colours.setColor(QPalette::Window, color);
    setPalette(colours);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
}

void Label::setForeColor(const QColor &color)
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, color);
    setPalette(colours);
    setForegroundRole(QPalette::WindowText);
}

void Label::updateAccessibleName()
{
    if (m_spokenName.isEmpty())
        return;
    const QString caption = text();
    setAccessibleName(caption.isEmpty() ? m_spokenName : m_spokenName + u' ' + caption);
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
