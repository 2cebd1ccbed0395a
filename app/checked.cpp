#include "app/checked.h"

#include <cmath>
#include <limits>

#include "app/errors.h"

namespace kalvo {

std::int32_t CLng(double value) {
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  // Written so that NaN fails the test too.
  if (!(whole >= std::numeric_limits<std::int32_t>::min() &&
        whole <= std::numeric_limits<std::int32_t>::max())) {
    throw OverflowError();
  }
  return static_cast<std::int32_t>(whole);
}

}  // namespace kalvo
