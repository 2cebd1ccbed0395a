// The browser's wait (platform/web/web_wait.h) on a fake clock: where a
// wake-up lands, and the frames Timer1's grid then draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/web/web_wait.h"
#include "timing/cls_time_counter.h"
#include "timing/timer1_schedule.h"

namespace kalvo {
namespace {

// Microseconds. Each reading takes one, as a spin's reading would.
class FakeClock final : public CounterSource {
 public:
  std::int64_t Frequency() override { return 1'000'000; }
  std::int64_t Count() override {
    const std::int64_t reading = now++;
    return coarse ? reading / 100 * 100 : reading;
  }
  bool coarse = false;
  std::int64_t now = 1'000'000;
};

// A browser timeout of `ms` armed now, firing `latency_us` after it is due.
void Sleep(FakeClock& clock, std::int64_t ms, std::int64_t latency_us) {
  clock.now += ms * 1000 + latency_us;
}

// Just past the deadline, where Timer1's grid counts on a wake-up, never
// before it, and with no more than a short spin.
TEST(BrowserWait, WakesJustPastTheDeadlineWithAShortSpin) {
  for (const std::int64_t latency : {0, 150, 400}) {
    // Every phase of the millisecond, over a frame's distance.
    for (std::int64_t away = 1; away <= 21'000; away += 7) {
      FakeClock clock;
      const std::int64_t deadline = clock.now + away;
      Sleep(clock, TimeoutMs(away, clock.Frequency()), latency);
      const std::int64_t woken = clock.now;
      SpinTo(clock, deadline);
      // Give or take the spin's last two readings.
      const std::int64_t past = clock.now - deadline;
      ASSERT_GE(past, kAfterTickUs) << away << " µs away, " << latency << " µs latency";
      ASSERT_LE(past, kAfterTickUs + 1000 - kSpinUs + latency + 2) << away << " µs away";
      ASSERT_LE(clock.now - woken, kSpinUs + 2) << "spun too long; " << away << " µs away";
    }
  }
}

// The runtime's RunDue at each wake-up, with drawing taking up to 3 ms, the
// timer firing up to 0.4 ms late (one time in ten up to 2.5 ms: a busy page)
// and the clock read in 0.1 ms steps. A late wake-up delays its own frame,
// and may leave the next on the tick after its due reading, but no frame
// waits a whole tick more.
TEST(BrowserWait, EveryFrameComes20MsAfterTheLastUnlessItsWakeUpWasLate) {
  FakeClock clock;
  clock.coarse = true;
  Timer1Schedule schedule(clock.Frequency(), clock.now, 5);
  std::optional<clsTimeCounter> counter;
  std::vector<std::int64_t> frames;  // getTime() at each
  std::vector<bool> late;            // whether its wake-up was
  std::uint32_t seed = 7;
  const auto random_us = [&seed](std::uint32_t below) {
    seed = seed * 1'103'515'245U + 12'345U;
    return static_cast<std::int64_t>((seed >> 8) % below);
  };
  while (frames.size() < 300) {
    const std::optional<std::int64_t> due =
        counter ? counter->dueCount(20) : std::optional<std::int64_t>{};
    const std::int64_t tick = schedule.NextTick(due);
    const std::int64_t target = WaitTarget(tick, due);
    const bool busy = random_us(10) == 0;
    Sleep(clock, TimeoutMs(target - clock.now, clock.Frequency()),
          busy ? 400 + random_us(2100) : random_us(400));
    SpinTo(clock, target);
    const std::int64_t now = clock.Count();
    if (now < tick) continue;
    schedule.Ticked(now);
    if (!counter) {
      clock.now += 150;  // the first tick's code runs slowly: compiled on its first call
      counter.emplace(clock);
    }
    if (counter->isInterval(20)) {
      frames.push_back(counter->getTime());
      late.push_back(busy);
      clock.now += random_us(3000);
    }
  }
  int delayed = 0;
  for (std::size_t i = 1; i < frames.size(); ++i) {
    const std::int64_t gap = frames[i] - frames[i - 1];
    const bool after_late = late[i] || late[i - 1];
    if (after_late && gap > 20) ++delayed;
    ASSERT_EQ(gap, after_late ? std::clamp<std::int64_t>(gap, 20, 23) : 20) << "frame " << i;
  }
  EXPECT_GT(delayed, 5) << "the busy wake-ups should have delayed some frames";
}

}  // namespace
}  // namespace kalvo
