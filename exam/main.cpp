#include "exam/startup.h"
#include "platform/fonts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kokugo-mogi"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kokugo-mogi"));
    platform::installFontSubstitutions();
    exam::defineWindows();
    exam::showExamWindow();
    return QApplication::exec();
}
