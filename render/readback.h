// Reads back what the current context has drawn, for tests and tools that
// check or save a picture. It owns no context and draws nothing; the frame
// itself never calls it.
#pragma once

#include <cstdint>
#include <vector>

namespace kalvo {

// 8-bit RGB, rows from the top, as image files keep them.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// The back buffer's pixels from (0, 0) to (width, height), read before the
// swap, which may leave the back buffer undefined.
RgbImage ReadBackBuffer(int width, int height);

}  // namespace kalvo
