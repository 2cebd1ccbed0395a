// The main window as it is designed: its caption, the title of its message
// boxes, and its client area at start-up. Platforms make the window from it.
#pragma once

#include <cstdint>
#include <string_view>

namespace kalvo {

inline constexpr std::string_view kCaption = "Kalvo 1.0.0";
inline constexpr std::string_view kAppTitle = "Kalvo";

// The client area at start-up, in twips: 238 × 189 pixels at 96 dots an inch.
inline constexpr std::int32_t kClientWidthTwips = 3570;
inline constexpr std::int32_t kClientHeightTwips = 2835;
// Picture1 at start-up, a little inside it until the first resize fits it.
inline constexpr std::int32_t kPicture1WidthTwips = 3540;
inline constexpr std::int32_t kPicture1HeightTwips = 2820;
inline constexpr std::int32_t kTwipsPerInch = 1440;
inline constexpr std::int32_t kDefaultDpi = 96;

// A length in twips as whole pixels at `dpi` dots an inch, halves away from
// zero (3570 twips: 238 at 96, 357 at 144, 476 at 192).
constexpr std::int32_t TwipsToPixels(std::int32_t twips, std::int32_t dpi) {
  const std::int64_t scaled = std::int64_t{twips} * dpi * 2;
  const std::int64_t pixels = (scaled + kTwipsPerInch) / (std::int64_t{2} * kTwipsPerInch);
  return static_cast<std::int32_t>(pixels);
}

}  // namespace kalvo
