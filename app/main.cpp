// Kalvo: a die in 3-D that a click throws. Control goes straight to the
// windowing runtime of the platform it is built for, which raises the main
// window's events.
#include "app/runtime.h"

int main() { return kalvo::RunKalvo(); }
