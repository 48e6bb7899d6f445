#pragma once

#include <optional>

namespace exam {

// Reads the command line before any window exists. Returns the exit status when the program is
// to end at once: after --help or --version (0), with no display to show a window on (1), or
// for a command line it does not understand (2). Otherwise the exam window may open.
std::optional<int> readCommandLine(int argc, char *argv[]);

} // namespace exam
