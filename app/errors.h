// The run-time errors the program's own arithmetic can raise. An error ends
// the handler it is raised in and goes back to the runtime, which reports it.
#pragma once

#include <stdexcept>
#include <string>

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

}  // namespace kalvo
