// The errors the program's own arithmetic can raise. An error ends the
// handler it is raised in and goes back to the runtime, which reports it.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace kalvo {

// A value that does not fit where the program has to put it; the text names
// the value.
class OverflowError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the user is told when an error ends a handler.
std::string DescribeError(const std::exception& error);

// Runs one event handler for the runtime: what to tell the user if an error
// escaped it, nothing if it ran to its end. The runtime reports the error and
// ends the program, so no window is left frozen behind a failed handler.
template <typename Handler>
std::optional<std::string> RunHandler(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (const std::exception& error) {
    return DescribeError(error);
  }
  return std::nullopt;
}

}  // namespace kalvo
