// The frame's drawing stages with OpenGL 1.1 immediate mode: clear, viewport,
// camera, floor, die placement and die. Owns no state; it draws what the
// FrameView says on whatever context is current. The frame state stays with
// the window.
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

// Fixed projection and depth test, once after the context is made.
void SetUpProjection();
void ClearBuffers();
void SetViewport(std::int32_t width, std::int32_t height);
// Camera, floor, die placement and die, in that order.
void DrawScene(const FrameView& view);

}  // namespace kalvo
