#pragma once

#include "exam/examclock.h"
#include "exam/grading.h"

#include <QByteArray>

#include <optional>

// What the exam keeps on disk while it runs, so that a crash or a power cut loses nothing: the
// sitting's length, the ticks, and the clock. A small text file, version 2:
//
//   kokugo-mogi exam state 2
//   minutes 80                   the sitting's length, 1 to 600
//   ticks 1 - 35 ... 16          one word per slot: the ticked choices in rising order, "-" none
//   clock started 1796720400000 elapsed 10800123 ran 65000 saved 1796720465000 boot 8c1c...
//
// The clock line: the wall-clock time of Start; the elapsed-clock reading then; how long the
// clock had run at the save; the wall-clock time of the save (all in milliseconds); and the boot
// the elapsed clock belongs to, "-" where the system cannot tell. "clock stopped" before any
// Start and after Score.
//
// Version 1, which lacked the minutes and kept only "clock started <ms>", is still read: its
// sitting was 80 minutes, and its clock is taken up by the wall clock alone.
//
// Reading is strict: anything but exactly this, with only choices the slot offers, is refused.
namespace exam {

struct SavedExam
{
    int minutes = ExamClock::ExamMinutes;
    Ticks ticks {};
    std::optional<ClockState> clock;

    friend bool operator==(const SavedExam &, const SavedExam &) = default;
};

// Far more than a saved exam takes; a larger file is not one.
inline constexpr qsizetype MaxSavedExamSize = 1024;

QByteArray encodeExam(const SavedExam &exam);

std::optional<SavedExam> decodeExam(const QByteArray &data);

} // namespace exam
