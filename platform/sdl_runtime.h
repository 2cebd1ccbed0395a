// The windowing runtime over SDL2: the only code that includes SDL. It makes
// the window, raises frmMain's events one at a time on this thread, runs the
// 5 ms window timer on a steady schedule, shows message boxes, and reports
// any error that escapes a handler before ending the program.
#pragma once

namespace kalvo {

// Runs the program: creates frmMain, raises its events until no window is
// left, and returns the process's exit status (0 after a normal close).
int RunKalvo();

}  // namespace kalvo
