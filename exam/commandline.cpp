#include "exam/commandline.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace exam {

namespace {

constexpr char HelpText[] = R"(Usage: kokugo-mogi [options]
A timed practice exam: the Japanese paper (kokugo I and II) of the national university
entrance test, with an 80-minute clock, a 34-slot answer sheet and marking.

Options:
  -h, --help        Show this help and exit.
  -v, --version     Show the version and exit.
  -platform <name>  Use this windowing system: xcb, wayland or offscreen.
  -display <name>   Open the window on this X display instead of $DISPLAY.

The program needs a graphical display: DISPLAY or WAYLAND_DISPLAY must be set.

Exit status: 0 when the program ends normally, 1 when there is no graphical display,
2 for a wrong command line.
)";

constexpr char NoDisplay[]
    = "kokugo-mogi: no graphical display (DISPLAY or WAYLAND_DISPLAY is not set)\n";

// The toolkit reads these from the same command line. Accepted without being listed, so that a
// session manager restoring the program with -session, say, still starts it.
constexpr const char16_t *ToolkitValueOptions[]
    = {u"platformpluginpath", u"platformtheme", u"plugin", u"qwindowgeometry", u"qwindowicon",
       u"qwindowtitle",       u"session",       u"style",  u"stylesheet"};

// Of the toolkit's options that take a value, only -style and -stylesheet also read it after
// "="; the others want it as the next word. "-platform=offscreen" would be passed over, and the
// toolkit would look for a display after all. Returns the option as given, or nothing.
QStringView valueTheToolkitIgnores(QStringView argument)
{
    const qsizetype equals = argument.indexOf(u'=');
    if (!argument.startsWith(u'-') || equals < 0)
        return {};
    const QStringView option = argument.first(equals);
    const QStringView name = option.sliced(option.startsWith(u"--") ? 2 : 1);
    const bool ignored = name == u"platform" || name == u"display"
        || (name != u"style" && name != u"stylesheet"
            && std::ranges::any_of(ToolkitValueOptions,
                                   [name](const char16_t *known) { return name == known; }));
    return ignored ? option : QStringView();
}

// True unless every windowing system asked for draws on its own, as offscreen does. The toolkit
// takes fallbacks after semicolons and arguments after a colon: "wayland;xcb", "xcb:x=y".
bool needsDisplay(const QString &platforms)
{
    if (platforms.isEmpty())
        return true;
    for (const QString &entry : platforms.split(u';', Qt::SkipEmptyParts)) {
        const QString name = entry.section(u':', 0, 0);
        if (name != u"xcb" && !name.startsWith(u"wayland"))
            return false;
    }
    return true;
}

int wrongCommandLine(const QString &message)
{
    std::fprintf(stderr, "kokugo-mogi: %s\nTry 'kokugo-mogi --help' for more information.\n",
                 qPrintable(message));
    return 2;
}

} // namespace

std::optional<int> readCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    // The toolkit's options are words after one dash: -platform, not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList {u"h"_s, u"help"_s});
    const QCommandLineOption version(QStringList {u"v"_s, u"version"_s});
    const QCommandLineOption platform(u"platform"_s, QString(), u"name"_s);
    const QCommandLineOption display(u"display"_s, QString(), u"name"_s);
    parser.addOptions({help, version, platform, display});
    for (const char16_t *name : ToolkitValueOptions)
        parser.addOption(QCommandLineOption(QString::fromUtf16(name), QString(), u"value"_s));
    parser.addOption(QCommandLineOption(u"reverse"_s));

    for (const QString &argument : std::as_const(arguments)) {
        if (argument == u"--")
            break;
        if (const QStringView option = valueTheToolkitIgnores(argument); !option.isEmpty()) {
            return wrongCommandLine(u"give the value of '%1' as the next word: '%1 %2'"_s.arg(
                option, QStringView(argument).sliced(option.size() + 1)));
        }
    }
    if (!parser.parse(arguments))
        return wrongCommandLine(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return wrongCommandLine(
            u"unexpected argument '%1'"_s.arg(parser.positionalArguments().first()));
    if (parser.isSet(help)) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::fputs("kokugo-mogi " KOKUGO_VERSION "\n", stdout);
        return 0;
    }

    const QString chosen
        = parser.isSet(platform) ? parser.value(platform) : qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool displayNamed = parser.isSet(display) || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (needsDisplay(chosen) && !displayNamed) {
        std::fputs(NoDisplay, stderr);
        return 1;
    }
    return std::nullopt;
}

} // namespace exam
