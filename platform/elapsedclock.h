#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace platform {

// Milliseconds on a clock that never steps and goes on counting while the machine sleeps
// (CLOCK_BOOTTIME where the system has it, otherwise a steady clock). Only differences between
// two readings in one boot mean anything: the clock starts afresh at each boot.
qint64 elapsedMsecs();

// What tells this boot from every other, so that a reading of the elapsed clock saved by an
// earlier run can be known to belong to this boot or not; empty where the system cannot tell.
// Read once and kept.
QByteArray bootIdentity();

} // namespace platform
