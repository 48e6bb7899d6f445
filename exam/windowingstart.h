#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace exam {

// Stands between the toolkit and standard error while QApplication opens its windowing system,
// from construction to destruction. The toolkit's messages are held back meanwhile and go out as
// usual once a windowing system is open. Where it can open none, the toolkit would abort with
// advice to reinstall the program; the program prints the line `cannotOpen` instead and ends
// with status 1. Any other fatal message aborts as always.
class WindowingStart
{
public:
    explicit WindowingStart(const QByteArray &cannotOpen);
    ~WindowingStart();
    Q_DISABLE_COPY_MOVE(WindowingStart)
};

} // namespace exam
