#include "exam/startup.h"
#include "platform/fonts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kokugo-mogi"));
    QApplication::setApplicationDisplayName(QStringLiteral("国語Ⅰ・Ⅱ 模擬試験"));
    platform::installFontSubstitutions();
    exam::defineWindows();
    exam::showExamWindow();
    return QApplication::exec();
}
