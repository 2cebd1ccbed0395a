// The browser's wait for a deadline on the counter. A browser timeout is
// whole milliseconds and fires on time, where the desktop's waits are finer
// and come late. Timer1's grid counts on a wake-up from just after its tick
// to 0.9 ms after (timing/timer1_schedule.h); a timeout rounded up lands
// anywhere in the millisecond after it, and one that lands past the grid's
// reach marks the next frame due after the tick meant for it, which then
// draws nothing: the frame comes a tick (5 ms) late. So the timeout is
// rounded to wake at most kSpinUs early, and the rest is spun out.
#pragma once

#include <cstdint>

#include "timing/cls_time_counter.h"

namespace kalvo {

inline constexpr std::int64_t kSpinUs = 750;

// The timeout for a deadline `counts` away: at most kSpinUs early, at most
// 1000 - kSpinUs late, on a timer that fires on time.
inline std::int64_t TimeoutMs(std::int64_t counts, std::int64_t frequency) {
  if (counts <= 0) return 0;
  return (counts * 1000 + frequency * (1000 - kSpinUs) / 1000) / frequency;
}

// Once the timeout has fired: spins until the deadline, if it is no further
// off than rounding leaves it, give or take the browser's coarse clock
// (always, unless the timer fired early).
inline void SpinTo(CounterSource& counter, std::int64_t deadline) {
  if (deadline - counter.Count() > counter.Frequency() / 1000) return;
  while (counter.Count() < deadline) {
  }
}

}  // namespace kalvo
