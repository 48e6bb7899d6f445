#include "exam/commandline.h"
#include "exam/startup.h"
#include "exam/windowingstart.h"
#include "platform/fonts.h"

#include <QApplication>

#include <optional>
#include <vector>

int main(int argc, char *argv[])
{
    exam::CommandLine commandLine = exam::readCommandLine(argc, argv);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    exam::Options &options = commandLine.options;

    // The windowing system goes to the toolkit as an argument, not through QT_QPA_PLATFORM, so
    // that programs started from this one choose their own.
    char platformOption[] = "-platform";
    std::vector<char *> arguments(argv, argv + argc);
    if (!options.platform.isEmpty())
        arguments.insert(arguments.begin() + 1, {platformOption, options.platform.data()});
    arguments.push_back(nullptr);
    int argumentCount = int(arguments.size()) - 1;

    std::optional<exam::WindowingStart> windowingStart(std::in_place, options.cannotOpen);
    QApplication app(argumentCount, arguments.data());
    windowingStart.reset();

    QApplication::setApplicationName(QStringLiteral("kokugo-mogi"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kokugo-mogi"));
    platform::installFontSubstitutions();
    const platform::FontListReader fontList;
    exam::defineWindows();
    exam::showExamWindow(options.sittingMinutes);
    return QApplication::exec();
}
