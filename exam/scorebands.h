#pragma once

#include <QStringView>

// Which verdict window a score opens. The bands are tried from the top and the first that holds
// wins. The first band is a score of exactly 100, not 100 or more: 101 to 200 fall to the second.
namespace exam {

inline constexpr int NoVerdict = 0;

// The number (1 to 6) of the pass-line window for the score label's text, or NoVerdict when the
// label holds no score.
int passLineWindow(QStringView scoreText);

} // namespace exam
