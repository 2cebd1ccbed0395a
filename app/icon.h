// The window's icon: a black disc with three yellow wedges meeting at its
// centre, one at the top and two at the bottom. Drawn here, from one
// description, as pixels for the window and as SVG for the desktop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvo {

inline constexpr int kIconSizesPx[] = {32, 16};

// size × size pixels, row by row from the top, each 0xAARRGGBB. Only three
// colours occur: clear, black and yellow.
std::vector<std::uint32_t> IconPixels(int size);

// The same drawing as a scalable image.
std::string IconSvg();

}  // namespace kalvo
