// The browser's wait for a deadline on the counter. Timer1's grid counts on
// wake-ups that come a little late, from just after a tick to 0.9 ms after
// (timing/timer1_schedule.h), as the desktop's do. A browser timeout is
// whole milliseconds, and fires a little after it falls due, never before
// (Chromium: 0.2 to 0.6 ms late on an idle machine): rounded up, it lands
// anywhere in the 1.6 ms after the tick; spun out to the tick exactly, it
// lands on the grid's edge. A frame marked past the grid's reach, or a tick
// woken just short of it, leaves the tick meant for the next frame with
// nothing to draw, and that frame comes a tick (5 ms) late. So the wait aims
// kAfterTickUs past the deadline: the timeout is rounded to fall due at most
// kSpinUs before that, and what is left when it fires is spun out. A longer
// spin would hold frames closer to their ticks (they wander by up to 0.85 ms
// now) for CPU; a shorter one would let them wander out of the grid's reach.
#pragma once

#include <cstdint>
#include <optional>

#include "timing/cls_time_counter.h"

namespace kalvo {

inline constexpr std::int64_t kAfterTickUs = 300;
inline constexpr std::int64_t kSpinUs = 750;

// What a wake-up waits for: the tick, or the frame's due reading if later.
// The grid keeps a tick that falls a little before a frame is due, counting
// on the wake-up to come late enough to draw (timing/timer1_schedule.h).
// Woken on time instead, that tick would find nothing due, and the frame
// would wait a whole tick more (25 ms after the last); after a timeout that
// fired late, every next tick falls so.
inline std::int64_t WaitTarget(std::int64_t tick, std::optional<std::int64_t> due) {
  return due && *due > tick ? *due : tick;
}

// Counts from now to where the wait for `deadline` ends.
inline std::int64_t WaitEnd(std::int64_t deadline, std::int64_t frequency) {
  return deadline + frequency * kAfterTickUs / 1'000'000;
}

// The timeout for a deadline `counts` away: due at most kSpinUs before the
// wait's end, at most 1000 - kSpinUs after.
inline std::int64_t TimeoutMs(std::int64_t counts, std::int64_t frequency) {
  const std::int64_t to_end = WaitEnd(counts, frequency);
  if (to_end <= 0) return 0;
  return (to_end * 1000 + frequency * (1000 - kSpinUs) / 1000) / frequency;
}

// Once the timeout has fired: spins until the wait's end, if it is no
// further off than rounding leaves it, give or take the browser's coarse
// clock (always, unless the timer fired early).
inline void SpinTo(CounterSource& counter, std::int64_t deadline) {
  const std::int64_t end = WaitEnd(deadline, counter.Frequency());
  if (end - counter.Count() > counter.Frequency() / 1000) return;
  while (counter.Count() < end) {
  }
}

}  // namespace kalvo
