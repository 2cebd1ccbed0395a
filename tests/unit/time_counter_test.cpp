#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "tests/support/fakes.h"
#include "timing/cls_time_counter.h"

namespace kalvo {
namespace {

using testing::FakeCounter;

constexpr std::int64_t kMsPerDay = 86'400'000;

TEST(CountsToMilliseconds, RoundsHalfToEven) {
  // 1000 counts a second: one count is one millisecond, halves need 2000.
  EXPECT_EQ(CountsToMilliseconds(5, 2000), 2);   // 2.5 -> 2
  EXPECT_EQ(CountsToMilliseconds(7, 2000), 4);   // 3.5 -> 4
  EXPECT_EQ(CountsToMilliseconds(9, 2000), 4);   // 4.5 -> 4
  EXPECT_EQ(CountsToMilliseconds(11, 2000), 6);  // 5.5 -> 6
  EXPECT_EQ(CountsToMilliseconds(1'000'499, 1'000'000), 1000);
  EXPECT_EQ(CountsToMilliseconds(1'000'501, 1'000'000), 1001);
  EXPECT_EQ(CountsToMilliseconds(-5, 2000), -2);
}

TEST(CountsToMilliseconds, StaysExactWhereCountTimesThousandOverflows) {
  // A nanosecond counter after 200 days: count × 1000 is past 2^63.
  const std::int64_t count = 200 * kMsPerDay * 1'000'000 + 1'500'000;
  EXPECT_EQ(CountsToMilliseconds(count, 1'000'000'000), 200 * kMsPerDay + 2);
}

TEST(ClsTimeCounter, FirstCallOnlySetsTheMark) {
  FakeCounter counter;
  clsTimeCounter timer(counter);
  counter.AdvanceMs(500);
  EXPECT_FALSE(timer.isInterval(20)) << "the first call has no mark to measure from";
  counter.AdvanceMs(19);
  EXPECT_FALSE(timer.isInterval(20)) << "19 ms after the mark";
  counter.AdvanceMs(1);
  EXPECT_TRUE(timer.isInterval(20)) << "20 ms after the mark";
  EXPECT_FALSE(timer.isInterval(20)) << "a True answer moves the mark to now";
}

TEST(ClsTimeCounter, LateAnswerIsNotMadeUpLater) {
  FakeCounter counter;
  clsTimeCounter timer(counter);
  EXPECT_FALSE(timer.isInterval(20));  // mark at m = 0
  counter.AdvanceMs(27);
  EXPECT_TRUE(timer.isInterval(20));  // m + 27: late, the mark moves to 27
  counter.AdvanceMs(19);
  EXPECT_FALSE(timer.isInterval(20)) << "m + 46 is only 19 ms after the late answer";
  counter.AdvanceMs(1);
  EXPECT_TRUE(timer.isInterval(20)) << "m + 47";
}

TEST(ClsTimeCounter, ZeroOrNegativeIntervalAnswersTrueAfterTheFirstCall) {
  for (std::int32_t interval : {0, -1, -1000}) {
    FakeCounter counter;
    clsTimeCounter timer(counter);
    EXPECT_FALSE(timer.isInterval(interval));
    EXPECT_TRUE(timer.isInterval(interval)) << "interval " << interval;
    EXPECT_TRUE(timer.isInterval(interval)) << "interval " << interval;
  }
}

TEST(ClsTimeCounter, MeasuresHalfMillisecondsToEven) {
  FakeCounter counter;  // microseconds
  clsTimeCounter timer(counter);
  counter.count += 2500;
  EXPECT_EQ(timer.getTime(), 2);
  counter.count += 1000;
  EXPECT_EQ(timer.getTime(), 4);
}

TEST(ClsTimeCounter, GetIntervalSharesTheMarkWithIsInterval) {
  FakeCounter counter;
  clsTimeCounter timer(counter);
  EXPECT_EQ(timer.getInterval(), 0) << "no mark yet";
  counter.AdvanceMs(12);
  EXPECT_EQ(timer.getInterval(), 12);
  counter.AdvanceMs(15);
  EXPECT_FALSE(timer.isInterval(20)) << "getInterval restarted the interval 15 ms ago";
  counter.AdvanceMs(5);
  EXPECT_TRUE(timer.isInterval(20));
  counter.AdvanceMs(3);
  EXPECT_EQ(timer.getInterval(), 3) << "measured from the mark isInterval set";
}

TEST(ClsTimeCounter, MarkAtTimeZeroIsStillAMark) {
  FakeCounter counter;
  clsTimeCounter timer(counter);
  EXPECT_FALSE(timer.isInterval(20));  // mark at getTime() == 0
  counter.AdvanceMs(20);
  EXPECT_TRUE(timer.isInterval(20)) << "a mark at 0 must not read as no mark";
}

// Pacing must not depend on how long the machine has been up, nor break when
// its uptime passes 2^31 ms (24.8 days) while Kalvo runs.
TEST(ClsTimeCounter, PacesAtAnyUptime) {
  const std::int64_t limit_ms = std::int64_t{1} << 31;
  for (std::int64_t start_ms : {std::int64_t{0}, limit_ms + 1000, limit_ms - 30, 400 * kMsPerDay}) {
    FakeCounter counter;
    counter.frequency = 1'000'000'000;  // nanoseconds, as on Linux
    counter.count = start_ms * 1'000'000;
    clsTimeCounter timer(counter);
    int answers = 0;
    for (int tick = 0; tick < 40; ++tick) {  // 200 ms of 5 ms ticks, crossing the limit
      counter.count += 5'000'000;
      if (timer.isInterval(20)) ++answers;
    }
    EXPECT_EQ(answers, 9) << "from " << start_ms
                          << " ms: one True every fourth tick after the first";
  }
}

TEST(ClsTimeCounter, RefusesACounterWithoutFrequency) {
  FakeCounter counter;
  counter.frequency = 0;
  EXPECT_THROW(clsTimeCounter{counter}, std::runtime_error);
}

}  // namespace
}  // namespace kalvo
