#include "app/checked.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "app/errors.h"

namespace kalvo {

std::int32_t RoundToInt32(double value, std::string_view what) {
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  // Written so that NaN fails the test too.
  if (!(whole >= std::numeric_limits<std::int32_t>::min() &&
        whole <= std::numeric_limits<std::int32_t>::max())) {
    std::array<char, 32> shown{};
    std::snprintf(shown.data(), shown.size(), "%.10g", value);
    throw OverflowError(std::string(what) + ", " + shown.data() +
                        ", does not fit in a 32-bit integer");
  }
  return static_cast<std::int32_t>(whole);
}

}  // namespace kalvo
