#include "roll/roll.h"

#include <algorithm>
#include <cmath>

#include "app/input.h"

namespace kalvo {

std::int16_t OutcomeFor(float r) {
  const double face = std::trunc(static_cast<double>(r) * 6) + 1;
  return static_cast<std::int16_t>(std::clamp(face, 1.0, 6.0));
}

double SpinFor(float r) { return std::clamp(std::trunc(static_cast<double>(r) * 90), 0.0, 89.0); }

tVector FinalOrientation(std::int16_t outcome, double spin) {
  // The die is modelled with face 1 on +Z, 2 on -Y, 3 on +X, 4 on -X, 5 on +Y
  // and 6 on -Z. Each row turns its face to +Y; the spin is a turn about
  // the vertical only, so it changes the heading, never the face up.
  switch (outcome) {
    case 1:
      return {-90, 0, spin};
    case 2:
      return {180, spin, 0};
    case 3:
      return {0, spin, 90};
    case 4:
      return {0, spin, -90};
    case 5:
      return {0, spin, 0};
    default:
      return {90, 0, spin};
  }
}

void Picture1_MouseUp(std::int16_t Button, ThrowFlags flags, RandomSource& random) {
  if (Button == kLeftButton) {
    if (flags.blnThrown) return;
    flags.blnRolling = true;
    flags.blnThrown = true;
    // Outcome first, then the spin: two draws per throw.
    const std::int16_t outcome = OutcomeFor(random.NextUniform());
    flags.vecAngle = FinalOrientation(outcome, SpinFor(random.NextUniform()));
  } else if (Button == kRightButton) {
    flags.blnReset = true;
    flags.blnRolling = false;
    flags.blnThrown = false;
  }
}

}  // namespace kalvo
