// Comparing recorded calls with expected ones, argument by argument.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/gl_recorder.h"

namespace kalvo::testing {

inline std::string Describe(const GlCall& call) {
  std::ostringstream out;
  out.precision(9);
  out << call.name << "(";
  for (std::size_t i = 0; i < call.args.size(); ++i) out << (i ? ", " : "") << call.args[i];
  out << ")";
  return out.str();
}

// Exact: the arguments are single-precision values as passed, so each
// expected value is written as the float the caller should have passed.
inline ::testing::AssertionResult IsCall(const GlCall& call, std::string_view name,
                                         std::initializer_list<double> args) {
  bool same = call.name == name && call.args.size() == args.size();
  for (std::size_t i = 0; same && i < args.size(); ++i) same = call.args[i] == args.begin()[i];
  if (same) return ::testing::AssertionSuccess();
  GlCall wanted{std::string(name), std::vector<double>(args), {}};
  return ::testing::AssertionFailure()
         << "expected " << Describe(wanted) << ", got " << Describe(call);
}

}  // namespace kalvo::testing
