#pragma once

#include "exam/examclock.h"

#include <QByteArray>

#include <optional>

namespace exam {

// What the command line asks of a program that goes on to open its window.
struct Options
{
    int sittingMinutes = ExamClock::ExamMinutes;
    // The windowing system the toolkit is to use because only one display is named ("xcb" for
    // DISPLAY or -display, "wayland" for WAYLAND_DISPLAY); empty where -platform or
    // QT_QPA_PLATFORM chooses, or the toolkit itself.
    QByteArray platform;
    // What to say, as one line, if the toolkit can open none of the windowing systems it tries.
    QByteArray cannotOpen;
};

struct CommandLine
{
    // Set when the program is to end at once: after --help or --version (0, or 1 if they could
    // not be written), with no display to show a window on (1), or for a command line it does
    // not understand (2).
    std::optional<int> exitStatus;
    Options options;
};

// Reads the command line before any window exists, saying on standard error why it ends.
CommandLine readCommandLine(int argc, char *argv[]);

} // namespace exam
