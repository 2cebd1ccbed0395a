#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/timer1_schedule.h"
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

// Four seconds of Timer1 as a runtime raises it, each tick woken late by
// its own amount (seven of them, so frames meet them all): the counter
// readings of the frames drawn, and the wake-ups.
std::vector<std::int64_t> Frames(const std::int64_t (&late_us)[7], bool sleep_through,
                                 int& wake_ups) {
  testing::Window w;
  w.Start();
  Timer1Schedule schedule(w.runtime.counter.frequency, w.runtime.counter.count, 5);
  std::vector<std::int64_t> frames;
  for (;;) {
    const auto due = sleep_through ? w.form.NextFrameDueCount() : std::nullopt;
    const std::int64_t tick = schedule.NextTick(due);
    if (tick > 4'000'000) return frames;
    w.runtime.counter.count = tick + late_us[(tick / 5000) % 7];
    schedule.Ticked(w.runtime.counter.count);
    const int swaps = w.runtime.Swaps();
    w.runtime.Tick();
    ++wake_ups;
    if (w.runtime.Swaps() > swaps) frames.push_back(w.runtime.counter.count);
  }
}

TEST(Timer1Schedule, FramesComeEvery20MsAndSleepingThroughTicksMovesNone) {
  // Woken up to 0.9 ms late, as the grid allows for; then well past it.
  constexpr std::int64_t kOnTime[] = {0, 850, 300, 600, 100, 450, 20};
  constexpr std::int64_t kLate[] = {0, 1300, 2400, 950, 100, 1300, 450};
  int every_tick = 0;
  int when_due = 0;
  const std::vector<std::int64_t> frames = Frames(kOnTime, false, every_tick);
  ASSERT_EQ(frames.size(), 199U) << "one frame each 20 ms after the first tick";
  for (std::size_t i = 1; i < frames.size(); ++i) {
    EXPECT_EQ(CountsToMilliseconds(frames[i] - frames[0], 1'000'000) % 20, 0) << "frame " << i;
  }
  EXPECT_EQ(Frames(kOnTime, true, when_due), frames);
  EXPECT_GE(every_tick, 4 * 199);
  EXPECT_LE(when_due, 200) << "the first tick's, then one a frame";
  EXPECT_EQ(Frames(kLate, true, when_due), Frames(kLate, false, every_tick));
}

}  // namespace
}  // namespace kalvo
