// Value types the scene shares with the rest of the program: the die's final
// orientation and the pip colours. No OpenGL here, so logic can use them.
#pragma once

#include <array>

namespace kalvo {

// Three angles in degrees, applied to the die about x, then y, then z.
struct tVector {
  double X = 0;
  double Y = 0;
  double Z = 0;
  friend bool operator==(const tVector&, const tVector&) = default;
};

// Red, green, blue and alpha, each 0 to 1.
using Colour = std::array<float, 4>;

}  // namespace kalvo
