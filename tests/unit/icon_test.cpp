#include "app/icon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace kalvo {
namespace {

constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kYellow = 0xFFFFFF00;

// At a fraction of the icon's width and height from its top left.
std::uint32_t At(const std::vector<std::uint32_t>& pixels, int size, double fx, double fy) {
  const int col = static_cast<int>(fx * size);
  const int row = static_cast<int>(fy * size);
  return pixels.at(static_cast<std::size_t>(row * size + col));
}

TEST(Icon, IsABlackDiscWithAWedgeAtTheTopAndTwoAtTheBottom) {
  for (int size : kIconSizesPx) {
    const auto pixels = IconPixels(size);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(size * size));
    EXPECT_EQ(std::set<std::uint32_t>(pixels.begin(), pixels.end()),
              (std::set<std::uint32_t>{kClear, kBlack, kYellow}))
        << size << ": three colours only";
    EXPECT_EQ(At(pixels, size, 0.02, 0.02), kClear) << size << ": corners lie outside the disc";
    EXPECT_EQ(At(pixels, size, 0.5, 0.25), kYellow) << size << ": the top wedge";
    EXPECT_EQ(At(pixels, size, 0.3, 0.68), kYellow) << size << ": the lower left wedge";
    EXPECT_EQ(At(pixels, size, 0.7, 0.68), kYellow) << size << ": the lower right wedge";
    EXPECT_EQ(At(pixels, size, 0.5, 0.8), kBlack) << size << ": black between the lower wedges";
    EXPECT_EQ(At(pixels, size, 0.25, 0.35), kBlack) << size << ": black between top and left";
  }
  // Only the larger image has room for the black rim beyond the wedges.
  EXPECT_EQ(At(IconPixels(32), 32, 0.5, 0.08), kBlack) << "the disc's rim above the top wedge";
}

TEST(Icon, SvgDrawsTheSameDiscAndThreeWedges) {
  const std::string svg = IconSvg();
  EXPECT_NE(svg.find("<circle"), std::string::npos);
  std::size_t wedges = 0;
  for (std::size_t at = svg.find("<path"); at != std::string::npos;
       at = svg.find("<path", at + 1)) {
    ++wedges;
  }
  EXPECT_EQ(wedges, 3U);
  EXPECT_NE(svg.find("#ffff00"), std::string::npos);
}

}  // namespace
}  // namespace kalvo
