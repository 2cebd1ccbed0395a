#include "render/readback.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstddef>

namespace kalvo {

RgbImage ReadBackBuffer(int width, int height) {
  RgbImage image;
  if (width <= 0 || height <= 0) return image;
  image.width = width;
  image.height = height;
  const auto row_bytes = static_cast<std::size_t>(width) * 3;
  image.rgb.resize(row_bytes * static_cast<std::size_t>(height));

  glReadBuffer(GL_BACK);
  // Rows of any width, packed without padding.
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());

  // OpenGL counts rows from the bottom.
  for (std::size_t top = 0, bottom = static_cast<std::size_t>(height) - 1; top < bottom;
       ++top, --bottom) {
    std::swap_ranges(image.rgb.begin() + static_cast<std::ptrdiff_t>(top * row_bytes),
                     image.rgb.begin() + static_cast<std::ptrdiff_t>((top + 1) * row_bytes),
                     image.rgb.begin() + static_cast<std::ptrdiff_t>(bottom * row_bytes));
  }
  return image;
}

}  // namespace kalvo
