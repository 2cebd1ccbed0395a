#include "timing/timer1_schedule.h"

namespace kalvo {
namespace {

constexpr std::int64_t kTickLeadUs = 400;

}  // namespace

Timer1Schedule::Timer1Schedule(std::int64_t frequency, std::int64_t now, std::int32_t interval_ms)
    : period_(frequency * interval_ms / 1000),
      lead_(frequency * kTickLeadUs / 1'000'000),
      next_(now + period_) {}

std::int64_t Timer1Schedule::NextTick(std::optional<std::int64_t> due) {
  // A tick within half a period before `due` is kept: woken late enough it
  // reaches `due` and draws, as it would have with no tick passed over.
  const std::int64_t from = due ? *due - period_ / 2 : next_;
  if (next_ < from) next_ += (from - next_ + period_ - 1) / period_ * period_;
  return next_;
}

void Timer1Schedule::Ticked(std::int64_t now) {
  if (!anchored_) {
    next_ = now - lead_;
    anchored_ = true;
  }
  while (next_ <= now) next_ += period_;
}

}  // namespace kalvo
