// Conversions with the runtime's rules: round to nearest, ties to even, and
// an overflow error for what does not fit.
#pragma once

#include <cstdint>

namespace kalvo {

// Nearest 32-bit integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Throws OverflowError for values outside the 32-bit range and for NaN.
std::int32_t CLng(double value);

}  // namespace kalvo
