#pragma once

#include <QtGlobal>

namespace platform {

// Milliseconds on a clock that never steps and goes on counting while the machine sleeps
// (CLOCK_BOOTTIME where the system has it, otherwise a steady clock). Only differences between
// two readings in one run mean anything: the clock starts afresh at each boot.
qint64 elapsedMsecs();

} // namespace platform
