#include "roll/roll.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

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

namespace {

using Direction = std::array<double, 3>;

// v turned by `degrees` about the x (0), y (1) or z (2) axis, as glRotate
// turns it.
Direction Turned(const Direction& v, double degrees, std::size_t axis) {
  const double radians = degrees * std::numbers::pi / 180;
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  const std::size_t a = (axis + 1) % 3;  // the two coordinates that move
  const std::size_t b = (axis + 2) % 3;
  Direction turned = v;
  turned.at(a) = v.at(a) * c - v.at(b) * s;
  turned.at(b) = v.at(a) * s + v.at(b) * c;
  return turned;
}

}  // namespace

std::int16_t FaceUp(const tVector& vecAngle) {
  // The outward normals of faces 1 to 6, as the die is modelled.
  constexpr std::array<Direction, 6> kNormals{
      {{0, 0, 1}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}};
  std::int16_t up = 1;
  double highest = -2;
  for (std::int16_t face = 1; face <= 6; ++face) {
    // Applied about x, then y, then z: the last turn meets the model first.
    const Direction normal =
        Turned(Turned(Turned(kNormals.at(static_cast<std::size_t>(face - 1)), vecAngle.Z, 2),
                      vecAngle.Y, 1),
               vecAngle.X, 0);
    if (normal[1] > highest) {
      highest = normal[1];
      up = face;
    }
  }
  return up;
}

void ThrowDie(ThrowFlags flags, RandomSource& random) {
  if (flags.blnThrown) return;
  flags.blnRolling = true;
  flags.blnThrown = true;
  // Outcome first, then the spin: two draws per throw.
  const std::int16_t outcome = OutcomeFor(random.NextUniform());
  flags.vecAngle = FinalOrientation(outcome, SpinFor(random.NextUniform()));
}

void RequestReset(ThrowFlags flags) {
  flags.blnReset = true;
  flags.blnRolling = false;
  flags.blnThrown = false;
}

}  // namespace kalvo
