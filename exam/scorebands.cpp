#include "exam/scorebands.h"

#include <QString>

#include <array>

namespace exam {

namespace {

struct Band
{
    bool (*holds)(int score);
    int window;
};

constexpr std::array<Band, 6> Bands = {{
    {[](int score) { return score == 100; }, 1},
    {[](int score) { return score >= 80; }, 2},
    {[](int score) { return score >= 60; }, 3},
    {[](int score) { return score >= 40; }, 4},
    {[](int score) { return score >= 1; }, 5},
    {[](int score) { return score == 0; }, 6},
}};

} // namespace

int passLineWindow(QStringView scoreText)
{
    bool ok = false;
    const int score = scoreText.toInt(&ok);
    if (!ok)
        return NoVerdict;
    for (const Band &band : Bands) {
        if (band.holds(score))
            return band.window;
    }
    return NoVerdict;
}

} // namespace exam
