#include "app/icon.h"

#include <array>
#include <cmath>
#include <numbers>
#include <sstream>

namespace kalvo {
namespace {

// In units of the icon's half-width, centre at the origin, y up.
constexpr double kDiscRadius = 0.97;
constexpr double kWedgeRadius = 0.8;
constexpr double kWedgeHalfAngleDeg = 30;
constexpr std::array<double, 3> kWedgeCentresDeg = {90, 210, 330};  // top, lower left, lower right

constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kYellow = 0xFFFFFF00;

double AngleGap(double a_deg, double b_deg) {
  const double gap = std::fmod(std::fabs(a_deg - b_deg), 360.0);
  return gap > 180 ? 360 - gap : gap;
}

std::uint32_t ColourAt(double x, double y) {
  const double r = std::hypot(x, y);
  if (r > kDiscRadius) return kClear;
  if (r <= kWedgeRadius) {
    const double angle = std::atan2(y, x) * 180 / std::numbers::pi;
    for (double centre : kWedgeCentresDeg) {
      if (AngleGap(angle, centre) <= kWedgeHalfAngleDeg) return kYellow;
    }
  }
  return kBlack;
}

}  // namespace

std::vector<std::uint32_t> IconPixels(int size) {
  // Each pixel takes the colour most of its 4 × 4 samples fall on: crisp
  // edges, no blended colours.
  constexpr int kSamples = 4;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) *
                                    static_cast<std::size_t>(size));
  const double half = size / 2.0;
  for (int row = 0; row < size; ++row) {
    for (int col = 0; col < size; ++col) {
      std::array<int, 3> votes{};  // clear, black, yellow
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = (col + (sx + 0.5) / kSamples - half) / half;
          const double y = (half - row - (sy + 0.5) / kSamples) / half;
          const std::uint32_t c = ColourAt(x, y);
          ++votes[c == kClear ? 0 : c == kBlack ? 1 : 2];
        }
      }
      std::uint32_t colour = kClear;
      if (votes[1] + votes[2] > votes[0]) colour = votes[2] > votes[1] ? kYellow : kBlack;
      pixels[(static_cast<std::size_t>(row) * static_cast<std::size_t>(size)) +
             static_cast<std::size_t>(col)] = colour;
    }
  }
  return pixels;
}

std::string IconSvg() {
  // A 200-unit box; the SVG's y runs down, so angles turn the other way.
  constexpr double kHalf = 100;
  std::ostringstream svg;
  svg << R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="200" viewBox="0 0 200 200">)"
      << '\n';
  svg << R"(  <circle cx="100" cy="100" r=")" << kDiscRadius * kHalf << R"(" fill="#000000"/>)"
      << '\n';
  for (double centre : kWedgeCentresDeg) {
    const double from = (centre - kWedgeHalfAngleDeg) * std::numbers::pi / 180;
    const double to = (centre + kWedgeHalfAngleDeg) * std::numbers::pi / 180;
    const double r = kWedgeRadius * kHalf;
    svg << R"(  <path d="M100,100 L)" << kHalf + r * std::cos(from) << ','
        << kHalf - r * std::sin(from) << " A" << r << ',' << r << " 0 0,0 "
        << kHalf + r * std::cos(to) << ',' << kHalf - r * std::sin(to) << R"( Z" fill="#ffff00"/>)"
        << '\n';
  }
  svg << "</svg>\n";
  return svg.str();
}

}  // namespace kalvo
