#pragma once

#include <QString>

class QWidget;

namespace platform {
class Preparer;
}

// The reference windows: the help window and the six pass-line (verdict) windows. They have no
// code of their own; each is built from its design when it is shown.
namespace reference {

inline constexpr int PassLineWindowCount = 6;

QString helpWindowName();
QWidget *createHelpWindow();

// Window 1 to 6, from "99 %" down to "cannot be measured".
QString passLineWindowName(int window);
QWidget *createPassLineWindow(int window);

// Queues on `preparer` what makes these windows' first frames quick, without making them: their
// documents and the verdicts' captions drawn off screen once.
void prepareAhead(platform::Preparer *preparer);

} // namespace reference
