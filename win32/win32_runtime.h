// The windowing runtime over Win32: the window, its device context and the
// GL context on it, frmMain's events raised one at a time on this thread,
// the 5 ms window timer on a high-resolution waitable timer, message boxes,
// and any error that escapes a handler reported before the program ends.
#pragma once

namespace kalvo {

// Runs the program: creates frmMain, raises its events until no window is
// left, and returns the process's exit status (0 after a normal close).
int RunKalvo();

}  // namespace kalvo
