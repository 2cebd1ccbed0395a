#include "timing/cls_time_counter.h"

#include <limits>
#include <stdexcept>

namespace kalvo {
namespace {

constexpr std::int64_t kMsPerSecond = 1000;

// numerator / denominator rounded half to even, for numerator >= 0 and
// denominator > 0.
std::int64_t DivideRoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t quotient = numerator / denominator;
  const std::int64_t twice_remainder = 2 * (numerator % denominator);
  if (twice_remainder > denominator || (twice_remainder == denominator && quotient % 2 != 0)) {
    return quotient + 1;
  }
  return quotient;
}

// Rounds towards minus infinity, for denominator > 0.
std::int64_t FloorDivide(std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t quotient = numerator / denominator;
  return numerator % denominator < 0 ? quotient - 1 : quotient;
}

}  // namespace

std::int64_t CountsToMilliseconds(std::int64_t counts, std::int64_t frequency) {
  // Rounding half to even is symmetric: round the magnitude, then sign it.
  const bool negative = counts < 0;
  const std::int64_t magnitude = negative ? -counts : counts;
  // Whole seconds first, so counts × 1000 never has to fit in 64 bits.
  const std::int64_t seconds = magnitude / frequency;
  const std::int64_t rest = magnitude % frequency;
  const std::int64_t ms =
      seconds * kMsPerSecond + DivideRoundHalfEven(rest * kMsPerSecond, frequency);
  return negative ? -ms : ms;
}

// Half to even reaches ms from ms - 1/2 on, that very point only when ms is
// even: counts × 1000 / f >= ms - 1/2, i.e. 2000 × counts >= (2 ms - 1) × f,
// strictly when ms is odd. Both sides are split by 2000 so nothing overflows.
std::int64_t FirstCountsReaching(std::int64_t ms, std::int64_t frequency) {
  constexpr std::int64_t kHalfMsPerSecond = 2 * kMsPerSecond;
  const std::int64_t seconds = FloorDivide(ms, kMsPerSecond);
  const std::int64_t rest_ms = ms - seconds * kMsPerSecond;
  // 2 ms - 1 = 2000 × whole + half_ms, with 0 <= half_ms < 2000.
  const std::int64_t whole = rest_ms == 0 ? seconds - 1 : seconds;
  const std::int64_t half_ms = rest_ms == 0 ? kHalfMsPerSecond - 1 : 2 * rest_ms - 1;
  const std::int64_t per_half_ms = frequency / kHalfMsPerSecond;
  const std::int64_t leftover = (frequency % kHalfMsPerSecond) * half_ms;
  std::int64_t counts = whole * frequency + half_ms * per_half_ms + leftover / kHalfMsPerSecond;
  const bool exact = leftover % kHalfMsPerSecond == 0;
  if (!exact || ms % 2 != 0) ++counts;
  return counts;
}

clsTimeCounter::clsTimeCounter(CounterSource& counter)
    : counter_(counter), curFrequency(counter.Frequency()), origin_(counter.Count()) {
  if (curFrequency <= 0 || curFrequency > std::numeric_limits<std::int64_t>::max() / kMsPerSecond) {
    throw std::runtime_error("the high-resolution counter reports no usable frequency");
  }
}

std::int64_t clsTimeCounter::getTime() {
  return CountsToMilliseconds(counter_.Count() - origin_, curFrequency);
}

std::int64_t clsTimeCounter::getInterval() {
  const std::int64_t now = getTime();
  const std::int64_t elapsed = lngLast ? now - *lngLast : 0;
  lngLast = now;
  return elapsed;
}

bool clsTimeCounter::isInterval(std::int32_t lngTime) {
  const std::int64_t now = getTime();
  if (!lngLast) {
    lngLast = now;
    return false;
  }
  if (now < *lngLast + lngTime) return false;
  lngLast = now;
  return true;
}

std::optional<std::int64_t> clsTimeCounter::dueCount(std::int32_t lngTime) const {
  if (!lngLast) return std::nullopt;
  return origin_ + FirstCountsReaching(*lngLast + lngTime, curFrequency);
}

}  // namespace kalvo
