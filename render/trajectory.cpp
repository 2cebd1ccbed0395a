#include "render/trajectory.h"

#include <cmath>

namespace kalvo {
namespace {

constexpr double kSecondArcFrame = 50;
constexpr double kThirdArcFrame = 80;
constexpr double kRestFrame = 100;

// The arcs: x and z advance the same step every frame; y is a parabola in x.
// Each formula keeps its order of operations: x is stored before y is formed,
// the bracketed sums are formed first.
void AddThrow(double d, DiePlacement& placement) {
  if (d >= kRestFrame) {
    const double x = -2;
    const double y = std::pow((x + 1.6) + 0.2, 2.0) * (-10) + 0.4;
    placement.Add(GlTransform::Translate(static_cast<float>(x), static_cast<float>(y), 0.3F));
    return;
  }

  const double x = d * (-0.02);
  const double z = d * 0.003;
  double y = 0;
  double turn = d;  // the tumble turns the other way during the second arc
  if (d < kSecondArcFrame) {
    y = std::pow(x + 0.5, 2.0) * (-8) + 2;
  } else if (d < kThirdArcFrame) {
    y = std::pow((x + 1) + 0.3, 2.0) * (-11.1) + 1;
    turn = -d;
  } else {
    y = std::pow((x + 1.6) + 0.2, 2.0) * (-10) + 0.4;
  }
  placement.Add(
      GlTransform::Translate(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)));
  placement.Add(GlTransform::Rotate(static_cast<float>(turn * 10), 1, 0, 0));
  placement.Add(GlTransform::Rotate(static_cast<float>(turn * 5), 0, 1, 0));
  placement.Add(GlTransform::Rotate(static_cast<float>(turn), 0, 0, 1));
}

}  // namespace

float IdleSpinAngle(std::int32_t n, std::int32_t degrees_per_frame) {
  constexpr std::int64_t kFullTurn = 360;
  const std::int64_t turned = static_cast<std::int64_t>(n) * degrees_per_frame % kFullTurn;
  return static_cast<float>(turned < 0 ? turned + kFullTurn : turned);
}

DiePlacement DiePlacementFor(double d, std::int32_t n, const tVector& vecAngle) {
  DiePlacement placement;
  placement.Add(GlTransform::Rotate(90, 0, 1, 0));
  placement.Add(GlTransform::Translate(1.6F, -0.2F, -0.2F));

  if (d == 0) {
    placement.Add(GlTransform::Rotate(IdleSpinAngle(n, 20), 1, 0, 0));
    placement.Add(GlTransform::Rotate(IdleSpinAngle(n, 2), 0, 0, 1));
  } else {
    AddThrow(d, placement);
  }

  placement.Add(GlTransform::Rotate(static_cast<float>(vecAngle.X), 1, 0, 0));
  placement.Add(GlTransform::Rotate(static_cast<float>(vecAngle.Y), 0, 1, 0));
  placement.Add(GlTransform::Rotate(static_cast<float>(vecAngle.Z), 0, 0, 1));
  return placement;
}

}  // namespace kalvo
