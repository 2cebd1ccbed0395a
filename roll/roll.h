// Turns a mouse-button release on the picture into a throw with a random
// outcome, or into a request to return to the idle spin. Draws nothing: the
// frame loop reads the flags it leaves at its next frame.
#pragma once

#include <cstdint>

// The orientation is the scene's own type: the scene gives its three angles
// their meaning and order, the throw only chooses them.
#include "render/scene_types.h"
#include "roll/random_source.h"

namespace kalvo {

// The members of the window's frame state that a release writes.
struct ThrowFlags {
  bool& blnReset;
  bool& blnRolling;
  bool& blnThrown;
  tVector& vecAngle;
};

// A left release: throws, unless a throw is already out (then nothing, and
// no draw).
void ThrowDie(ThrowFlags flags, RandomSource& random);

// A right release: asks the next frame to return to the idle spin.
void RequestReset(ThrowFlags flags);

// trunc(r × 6) + 1: 1 to 6, each equally likely for r uniform in [0, 1).
// Held at 6 even for r = 1, which a generator should never give.
std::int16_t OutcomeFor(float r);

// trunc(r × 90): whole degrees 0 to 89; held at 89 even for r = 1.
double SpinFor(float r);

// The orientation that turns the face `outcome` up (+y), turned `spin`
// degrees about the vertical.
tVector FinalOrientation(std::int16_t outcome, double spin);

// The face that an orientation turns up (+y): the one whose outward normal
// ends up highest. FinalOrientation's inverse, worked out from the geometry
// rather than its table.
std::int16_t FaceUp(const tVector& vecAngle);

}  // namespace kalvo
