// The frame pacing timer: whole milliseconds on the high-resolution counter.
// It owns the interval mark; the counter itself comes in through CounterSource,
// which the platform implements and tests replace with a fake clock.
#pragma once

#include <cstdint>
#include <optional>

namespace kalvo {

// A monotonic counter and its rate, as the platform reports them.
class CounterSource {
 public:
  virtual ~CounterSource() = default;
  virtual std::int64_t Frequency() = 0;  // counts per second
  virtual std::int64_t Count() = 0;
};

class clsTimeCounter {
 public:
  // Reads the counter's frequency once. Throws std::runtime_error when the
  // platform has no usable counter (a frequency of zero or less).
  explicit clsTimeCounter(CounterSource& counter);

  // Milliseconds since this object was made, rounded half to even. Counting
  // from construction in 64 bits keeps the scale valid at any uptime.
  std::int64_t getTime();

  // Milliseconds since the mark (0 when there is none); moves the mark to now.
  std::int64_t getInterval();

  // Whether at least lngTime ms have passed since the mark. The first call
  // only sets the mark. A True answer moves the mark to now, so True answers
  // are always at least lngTime ms apart.
  bool isInterval(std::int32_t lngTime);

  // The earliest counter reading at which isInterval(lngTime) can answer
  // True, exact under the rounding of getTime; empty while there is no mark,
  // since then any call matters (it sets the mark). Calls before it answer
  // False and change nothing, so a caller may sleep until it.
  std::optional<std::int64_t> dueCount(std::int32_t lngTime) const;

 private:
  CounterSource& counter_;
  std::int64_t curFrequency;
  std::int64_t origin_;
  std::optional<std::int64_t> lngLast;
};

// counts × 1000 / frequency, rounded to the nearest whole number, ties to even.
// Exact for any count; frequency must be positive.
std::int64_t CountsToMilliseconds(std::int64_t counts, std::int64_t frequency);

// The fewest counts for which CountsToMilliseconds reaches ms: the inverse
// of the rounding. Exact for any ms; frequency must be positive.
std::int64_t FirstCountsReaching(std::int64_t ms, std::int64_t frequency);

}  // namespace kalvo
