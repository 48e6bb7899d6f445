#include "platform/controls.h"

#include <QVariant>

namespace platform {

void setDesignName(QObject *control, const QString &name, int index)
{
    control->setObjectName(name);
    if (index > 0)
        control->setProperty(IndexProperty, index);
}

int designIndex(const QObject *control)
{
    return control->property(IndexProperty).toInt();
}

QObject *findControl(const QObject *window, const QString &name, int index)
{
    const QList<QObject *> candidates = window->findChildren<QObject *>(name);
    for (QObject *candidate : candidates) {
        if (designIndex(candidate) == index)
            return candidate;
    }
    return nullptr;
}

} // namespace platform
