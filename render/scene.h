// What the window needs from the scene renderer, and nothing more. The frame
// state stays with the window; the renderer only reads a FrameView of it.
// Implemented with OpenGL by GlScene; tests substitute a recording fake.
#pragma once

#include <cstdint>

#include "render/scene_types.h"

namespace kalvo {

// The frame state that the drawing stages read, taken after the counters
// have advanced.
struct FrameView {
  double dblElapsed = 0;       // d: frames since the throw began, 0 while idle
  std::int32_t lngCount0 = 0;  // n: frames since the last reset
  bool blnRolling = false;
  tVector vecAngle;  // the die's final orientation
  Colour sngBlack{};
  Colour sngRed{};
};

class Scene {
 public:
  virtual ~Scene() = default;
  // Fixed projection and depth test, once after the context is made.
  virtual void SetUpProjection() = 0;
  virtual void Clear() = 0;
  virtual void SetViewport(std::int32_t width, std::int32_t height) = 0;
  // Camera, floor, die placement and die, in that order.
  virtual void Draw(const FrameView& view) = 0;
};

}  // namespace kalvo
