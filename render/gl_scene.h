// The frame's drawing stages with OpenGL 1.1 immediate mode: clear, viewport,
// camera, floor, die placement and die. Owns no state; it draws what the
// FrameView says on whatever context is current.
#pragma once

#include "render/scene.h"

namespace kalvo {

class GlScene final : public Scene {
 public:
  void SetUpProjection() override;
  void Clear() override;
  void SetViewport(std::int32_t width, std::int32_t height) override;
  void Draw(const FrameView& view) override;
};

}  // namespace kalvo
