#include "exam/grading.h"

namespace exam {

Grade grade(const Ticks &ticks)
{
    Grade result;
    for (std::size_t i = 0; i < Slots.size(); ++i) {
        result.right[i] = ticks[i] == Slots[i].key;
        if (result.right[i])
            result.total += Slots[i].points;
    }
    return result;
}

QString scoreText(int total)
{
    return QString::number(total);
}

} // namespace exam
