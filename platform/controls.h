#pragma once

#include <QObject>
#include <QString>

// Controls are found by their design names: the objectName, and for a member of a control array
// the dynamic property "index" (from 1) as well.
namespace platform {

inline constexpr char IndexProperty[] = "index";

void setDesignName(QObject *control, const QString &name, int index = 0);

// The index of a control-array member, or 0 for a control that is not in an array.
int designIndex(const QObject *control);

QObject *findControl(const QObject *window, const QString &name, int index = 0);

template<typename T>
T *control(const QObject *window, const QString &name, int index = 0)
{
    return qobject_cast<T *>(findControl(window, name, index));
}

} // namespace platform
