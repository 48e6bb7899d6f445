#include "exam/commandline.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace exam {

namespace {

constexpr char HelpText[] = R"(Usage: kokugo-mogi [options]
A timed practice exam: the Japanese paper (kokugo I and II) of the national university
entrance test, with an 80-minute clock, a 34-slot answer sheet and marking.

Options:
  -h, --help        Show this help and exit.
  -v, --version     Show the version and exit.
  --minutes <n>     Make the sitting n minutes long, from 1 to 600 (80 unless given):
                    104 or 120 for 1.3 or 1.5 times the time.
  -platform <name>  Use this windowing system: xcb, wayland or offscreen.
  -display <name>   Open the window on this X display instead of $DISPLAY.

The program needs a graphical display: DISPLAY or WAYLAND_DISPLAY must be set. With only
one of them set it uses that one, X11 (xcb) or Wayland, unless -platform or
QT_QPA_PLATFORM says otherwise.

Exit status: 0 when the program ends normally, 1 when no window can be opened (no display,
a display that does not answer, a windowing system that is not installed or cannot start)
or this help cannot be written, 2 for a wrong command line.
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

// The windowing systems of a platform setting, in the order the toolkit tries them: it takes
// fallbacks after semicolons and arguments after a colon ("wayland;xcb", "xcb:x=y").
QStringList platformNames(const QString &platforms)
{
    QStringList names;
    for (const QString &entry : platforms.split(u';', Qt::SkipEmptyParts))
        names << entry.section(u':', 0, 0);
    return names;
}

bool needsXDisplay(QStringView name)
{
    return name == u"xcb";
}
bool needsWaylandDisplay(QStringView name)
{
    return name.startsWith(u"wayland");
}

// True unless every windowing system asked for draws on its own, as offscreen does.
bool needsDisplay(const QStringList &names)
{
    return names.isEmpty() || std::ranges::all_of(names, [](const QString &name) {
               return needsXDisplay(name) || needsWaylandDisplay(name);
           });
}

// The one line that replaces the toolkit's abort when none of `names` opens.
QByteArray cannotOpen(const QStringList &names, const QString &xDisplay,
                      const QString &waylandDisplay)
{
    QStringList targets;
    for (const QString &name : names) {
        if (needsXDisplay(name)) {
            targets << (xDisplay.isEmpty() ? u"an X display (DISPLAY is not set)"_s
                                           : u"the X display '%1'"_s.arg(xDisplay));
        } else if (needsWaylandDisplay(name)) {
            targets << (waylandDisplay.isEmpty()
                            ? u"a Wayland display (WAYLAND_DISPLAY is not set)"_s
                            : u"the Wayland display '%1'"_s.arg(waylandDisplay));
        } else {
            targets << u"the platform '%1'"_s.arg(name);
        }
    }
    return u"kokugo-mogi: cannot open a window on %1\n"_s.arg(targets.join(u" or "_s))
        .toLocal8Bit();
}

// The Wayland client library finds a display named by a relative WAYLAND_DISPLAY only in
// XDG_RUNTIME_DIR, and without that folder writes its own complaint to standard error.
bool waylandUnreachable(const QStringList &names, const QString &waylandDisplay)
{
    return std::ranges::all_of(names, [](const QString &name) { return needsWaylandDisplay(name); })
        && !waylandDisplay.startsWith(u'/') && qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR");
}

// A whole number of minutes written in digits alone, so that "1.5" or "+5" is refused rather
// than read as something the student did not mean.
std::optional<int> sittingMinutes(const QString &value)
{
    if (value.isEmpty()
        || !std::ranges::all_of(value, [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const int minutes = value.toInt(&ok);
    if (!ok || minutes < 1 || minutes > ExamClock::MaxMinutes)
        return std::nullopt;
    return minutes;
}

CommandLine wrongCommandLine(const QString &message)
{
    std::fprintf(stderr, "kokugo-mogi: %s\nTry 'kokugo-mogi --help' for more information.\n",
                 qPrintable(message));
    return {2, {}};
}

// The help or the version, then the end. Standard output is closed here so that a write that
// fails late, on a full disk say, is reported too.
CommandLine printAndEnd(const char *text)
{
    bool written = std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0;
    int error = errno;
    if (std::fclose(stdout) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written)
        return {0, {}};
    std::fprintf(stderr, "kokugo-mogi: cannot write to standard output: %s\n",
                 std::strerror(error));
    return {1, {}};
}

} // namespace

CommandLine readCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    // The toolkit's options are words after one dash: -platform, not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList {u"h"_s, u"help"_s});
    const QCommandLineOption version(QStringList {u"v"_s, u"version"_s});
    const QCommandLineOption minutes(u"minutes"_s, QString(), u"n"_s);
    const QCommandLineOption platform(u"platform"_s, QString(), u"name"_s);
    const QCommandLineOption display(u"display"_s, QString(), u"name"_s);
    parser.addOptions({help, version, minutes, platform, display});
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
    if (parser.isSet(help))
        return printAndEnd(HelpText);
    if (parser.isSet(version))
        return printAndEnd("kokugo-mogi " KOKUGO_VERSION "\n");

    CommandLine commandLine;
    Options &options = commandLine.options;
    if (parser.isSet(minutes)) {
        const std::optional<int> length = sittingMinutes(parser.value(minutes));
        if (!length) {
            return wrongCommandLine(
                u"--minutes wants a whole number of minutes from 1 to %1, not '%2'"_s.arg(
                    QString::number(ExamClock::MaxMinutes), parser.value(minutes)));
        }
        options.sittingMinutes = *length;
    }

    const QString xDisplay
        = parser.isSet(display) ? parser.value(display) : qEnvironmentVariable("DISPLAY");
    const QString waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    QString chosen
        = parser.isSet(platform) ? parser.value(platform) : qEnvironmentVariable("QT_QPA_PLATFORM");
    if (chosen.isEmpty()) {
        // -display names an X server whatever else is set; otherwise the one display named.
        // With both named the toolkit tries Wayland, then X.
        if (parser.isSet(display) || (!xDisplay.isEmpty() && waylandDisplay.isEmpty()))
            options.platform = "xcb";
        else if (xDisplay.isEmpty() && !waylandDisplay.isEmpty())
            options.platform = "wayland";
        chosen
            = options.platform.isEmpty() ? u"wayland;xcb"_s : QString::fromLatin1(options.platform);
    }
    const QStringList names = platformNames(chosen);
    if (needsDisplay(names) && xDisplay.isEmpty() && waylandDisplay.isEmpty()) {
        std::fputs(NoDisplay, stderr);
        return {1, {}};
    }
    options.cannotOpen = cannotOpen(names, xDisplay, waylandDisplay);
    if (waylandUnreachable(names, waylandDisplay)) {
        std::fputs(options.cannotOpen.constData(), stderr);
        return {1, {}};
    }
    return commandLine;
}

} // namespace exam
