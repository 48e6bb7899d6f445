#pragma once

#include "exam/answerkey.h"

#include <QString>

#include <array>

// Marking is all or nothing per slot: a slot is right when the ticked choices are exactly its
// key. No partial credit, no deduction for wrong or missing answers.
namespace exam {

using Ticks = std::array<ChoiceSet, SlotCount>; // index k - 1 holds the ticks of slot k

struct Grade
{
    std::array<bool, SlotCount> right {};
    int total = 0;
};

Grade grade(const Ticks &ticks);

// The score as the score label shows it: plain decimal digits, "0" for none.
QString scoreText(int total);

} // namespace exam
