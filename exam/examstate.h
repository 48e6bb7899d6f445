#pragma once

#include "exam/grading.h"

#include <QByteArray>

#include <optional>

// What the exam keeps on disk while it runs, so that a crash or a power cut loses nothing: the
// ticks, and when the clock was started. A small text file, version 1:
//
//   kokugo-mogi exam state 1
//   ticks 1 - 35 ... 16          one word per slot: the ticked choices in rising order, "-" none
//   clock started 1796720400000  milliseconds since the epoch; "clock stopped" before any Start
//                                and after Score
//
// Reading is strict: anything but exactly this, with only choices the slot offers, is refused.
namespace exam {

struct SavedExam
{
    Ticks ticks {};
    // By the wall clock: the elapsed clock starts afresh at each boot.
    std::optional<qint64> startedAt;

    friend bool operator==(const SavedExam &, const SavedExam &) = default;
};

// Far more than a saved exam takes; a larger file is not one.
inline constexpr qsizetype MaxSavedExamSize = 1024;

QByteArray encodeExam(const SavedExam &exam);

std::optional<SavedExam> decodeExam(const QByteArray &data);

} // namespace exam
