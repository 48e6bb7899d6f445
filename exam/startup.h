#pragma once

// Start-up: the program's windows are defined, and the exam window opens in its design-time
// state. No other window opens at start-up.
namespace exam {

void defineWindows();

void showExamWindow();

} // namespace exam
