// Kalvo: a die in 3-D that a click throws. Control goes straight to the
// windowing runtime, which raises the main window's events.
#include "win32/win32_runtime.h"

int main() { return kalvo::RunKalvo(); }
