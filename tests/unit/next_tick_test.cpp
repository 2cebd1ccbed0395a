#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/fakes.h"
#include "timing/cls_time_counter.h"

namespace kalvo {
namespace {

TEST(FirstCountsReaching, IsTheExactInverseOfTheRounding) {
  // 2000 Hz puts half milliseconds on whole counts: ties round to even.
  constexpr std::int64_t kFrequencies[] = {1000, 2000, 3000, 3'579'545, 1'000'000'000};
  constexpr std::int64_t kMs[] = {-3, -1, 0, 1, 2, 3, 19, 20, 999, 1000, 1001, 17'280'000'003};
  for (const std::int64_t frequency : kFrequencies) {
    for (const std::int64_t ms : kMs) {
      const std::int64_t counts = FirstCountsReaching(ms, frequency);
      EXPECT_GE(CountsToMilliseconds(counts, frequency), ms) << frequency << " Hz, " << ms;
      EXPECT_LT(CountsToMilliseconds(counts - 1, frequency), ms) << frequency << " Hz, " << ms;
    }
  }
}

// Ticks 5 ms apart, aimed 0.4 ms early, woken late by varying amounts (some
// moving the mark): sleeping until the due count moves no frame.
TEST(NextFrameDueCount, SleepingThroughTicksMovesNoFrame) {
  constexpr std::int64_t kLateUs[] = {0, 850, 300, 1300, 100, 600, 450, 20};
  testing::Window every_tick;
  testing::Window when_due;
  every_tick.Start();
  when_due.Start();
  int wake_ups = 0;
  for (std::int64_t tick = 0; tick < 800; ++tick) {
    const std::int64_t aimed = 7'000'000 + tick * 5000 - 400;
    every_tick.runtime.counter.count = aimed + kLateUs[tick % 8];
    every_tick.runtime.Tick();
    const auto due = when_due.form.NextFrameDueCount();
    if (due && aimed < *due) continue;
    ++wake_ups;
    when_due.runtime.counter.count = aimed + kLateUs[tick % 8];
    when_due.runtime.Tick();
    ASSERT_EQ(when_due.runtime.Swaps(), every_tick.runtime.Swaps()) << "tick " << tick;
  }
  EXPECT_EQ(when_due.runtime.Swaps(), every_tick.runtime.Swaps());
  EXPECT_LE(wake_ups, every_tick.runtime.Swaps() + 1) << "one per frame";
}

}  // namespace
}  // namespace kalvo
