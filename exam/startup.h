#pragma once

// Start-up: the program's windows are defined, and the exam window opens in its design-time
// state. No other window opens at start-up.
namespace exam {

void defineWindows();

// Opens the exam window. If the last run ended abnormally (a crash, a kill, a power cut), its
// state file is still there, and the window takes up that run's ticks and clock. From then on
// the window keeps its state in that file; a second instance keeps none.
void showExamWindow();

} // namespace exam
