// The run-time errors the program's own arithmetic can raise. An error ends
// the handler it is raised in and goes back to the runtime, which reports it.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace kalvo {

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

inline RuntimeError OverflowError() { return {6, "Overflow"}; }

// "Run-time error '6':\n\nOverflow", as the user is shown it. Errors that did
// not come from the program's arithmetic are shown by their own text.
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
