// Kalvo's own input codes, as every platform hands them to the runtime and
// the runtime to the window's handlers. Each backend maps its system's keys
// and buttons onto these; nothing else knows the system's codes.
#pragma once

#include <cstdint>

namespace kalvo {

// Key codes: only Escape means anything to Kalvo. Letters are their capital,
// digits and Return, Space, Tab and Backspace their ASCII code; 0 is any other.
inline constexpr std::int16_t kKeyEscape = 27;

// Mouse buttons.
inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;
inline constexpr std::int16_t kX1Button = 8;
inline constexpr std::int16_t kX2Button = 16;

// The shift state: a bit for each modifier held.
inline constexpr std::int16_t kShiftMask = 1;
inline constexpr std::int16_t kCtrlMask = 2;
inline constexpr std::int16_t kAltMask = 4;

}  // namespace kalvo
