#include "exam/commandline.h"
#include "exam/startup.h"
#include "platform/fonts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (const std::optional<int> status = exam::readCommandLine(argc, argv))
        return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kokugo-mogi"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kokugo-mogi"));
    platform::installFontSubstitutions();
    exam::defineWindows();
    exam::showExamWindow();
    return QApplication::exec();
}
