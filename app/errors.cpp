#include "app/errors.h"

namespace kalvo {

std::string DescribeError(const std::exception& error) {
  return std::string("Kalvo has to close: ") + error.what() + ".";
}

}  // namespace kalvo
