// Kalvo's own input codes, as every platform hands them to the runtime and
// the runtime to the window's handlers. The handlers read only whether a key
// is Escape and which button was let go, so that is all a backend maps.
#pragma once

#include <cstdint>

namespace kalvo {

// Key codes: Escape, or 0 for any other key.
inline constexpr std::int16_t kKeyEscape = 27;

// Mouse buttons: left or right, or 0 for any other.
inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;

}  // namespace kalvo
