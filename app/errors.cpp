#include "app/errors.h"

namespace kalvo {

std::string DescribeError(const std::exception& error) {
  if (const auto* runtime = dynamic_cast<const RuntimeError*>(&error)) {
    return "Run-time error '" + std::to_string(runtime->number()) + "':\n\n" + runtime->what();
  }
  return error.what();
}

}  // namespace kalvo
