// Conversions that either give an exact answer or fail loudly.
#pragma once

#include <cstdint>
#include <string_view>

namespace kalvo {

// Nearest 32-bit integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Throws OverflowError, naming `what`, for values outside the 32-bit range
// and for NaN.
std::int32_t RoundToInt32(double value, std::string_view what);

}  // namespace kalvo
