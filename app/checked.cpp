#include "app/checked.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "app/errors.h"

namespace kalvo {
namespace {

// The value an error names, written without printf, whose floating-point
// formatting would be a third of the browser's download: whole numbers
// exactly, the rest by their power of two.
std::string Shown(double whole) {
  if (std::isnan(whole)) return "NaN";
  if (std::isinf(whole)) return whole < 0 ? "-infinity" : "infinity";
  if (std::fabs(whole) < 0x1p63) return std::to_string(static_cast<std::int64_t>(whole));
  return std::string(whole < 0 ? "about -2^" : "about 2^") + std::to_string(std::ilogb(whole));
}

}  // namespace

std::int32_t RoundToInt32(double value, std::string_view what) {
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  // Written so that NaN fails the test too.
  if (!(whole >= std::numeric_limits<std::int32_t>::min() &&
        whole <= std::numeric_limits<std::int32_t>::max())) {
    throw OverflowError(std::string(what) + ", " + Shown(whole) +
                        ", does not fit in a 32-bit integer");
  }
  return static_cast<std::int32_t>(whole);
}

}  // namespace kalvo
