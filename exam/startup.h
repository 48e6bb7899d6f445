#pragma once

// Start-up: the program's windows are defined, and the exam window opens in its design-time
// state. No other window opens at start-up.
namespace exam {

void defineWindows();

// Opens the exam window for a sitting of `sittingMinutes` (1 to 600). If the last run ended
// abnormally (a crash, a kill, a power cut), its state file is still there, and the window takes
// up that run's sitting instead: its length, ticks and clock. From then on the window keeps its
// state in that file.
//
// One sitting at a time: while another copy of the program runs one, that copy is asked to bring
// its window to the front, no window opens here and the program ends with status 0 once its
// event loop runs. A copy that does not answer is reported to the student, and this one runs its
// sitting, saving as soon as the other lets go.
void showExamWindow(int sittingMinutes = 80);

} // namespace exam
