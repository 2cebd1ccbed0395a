#include "app/checked.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/errors.h"

namespace kalvo {
namespace {

TEST(CLng, RoundsHalvesToEven) {
  EXPECT_EQ(CLng(2.5), 2);
  EXPECT_EQ(CLng(3.5), 4);
  EXPECT_EQ(CLng(-2.5), -2);
  EXPECT_EQ(CLng(-3.5), -4);
  EXPECT_EQ(CLng(2.4999999), 2);
  EXPECT_EQ(CLng(2.5000001), 3);
  EXPECT_EQ(CLng(0.0), 0);
}

TEST(CLng, RaisesOverflowOutsideThe32BitRange) {
  EXPECT_EQ(CLng(2147483647.0), 2147483647);
  EXPECT_EQ(CLng(-2147483648.0), -2147483648);
  EXPECT_EQ(CLng(2147483647.4), 2147483647);
  for (double bad : {2147483647.5, -2147483648.6, 1e300, std::nan(""),
                     std::numeric_limits<double>::infinity()}) {
    try {
      CLng(bad);
      ADD_FAILURE() << "no error for " << bad;
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.number(), 6) << bad;
    }
  }
}

TEST(DescribeError, ShowsTheErrorNumberOfRuntimeErrors) {
  EXPECT_EQ(DescribeError(OverflowError()), "Run-time error '6':\n\nOverflow");
  EXPECT_EQ(DescribeError(std::runtime_error("no counter")), "no counter");
}

}  // namespace
}  // namespace kalvo
