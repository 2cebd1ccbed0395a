#include "render/camera.h"

namespace kalvo {
namespace {

constexpr double kMoveStartFrame = 100;  // the die has come to rest
constexpr double kMoveFrames = 20;

}  // namespace

CameraPose CameraFor(bool blnRolling, double d) {
  if (!blnRolling || d < kMoveStartFrame) return {-1, -6, -30, 5};
  // After the move the pose holds the move's last values, computed the same way.
  const double t = d < kMoveStartFrame + kMoveFrames ? d - kMoveStartFrame : kMoveFrames;
  return {t / 40 - 1, t / 7 - 6, t * 1.5 - 30, t / 0.5 + 5};
}

}  // namespace kalvo
