// The source of the throw's chance: uniform single-precision values in [0, 1).
#pragma once

#include <cstdint>
#include <ctime>
#include <random>

namespace kalvo {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // From the system clock, so that each start throws differently.
  virtual void SeedFromClock() = 0;
  virtual float NextUniform() = 0;  // the next value, 0 <= r < 1
};

// A Mersenne twister cut down to 24 bits, the float's precision, so every
// value is exact and the largest is 1 - 2^-24. (std::generate_canonical<float>
// may round up to 1.0.)
class UniformGenerator final : public RandomSource {
 public:
  void Seed(std::uint32_t seed) { engine_.seed(seed); }
  void SeedFromClock() override {
    // The wall clock's seconds, and the process's own clock for what differs
    // within a second. Not std::chrono's clocks: they can throw a
    // system_error, whose messages the browser build would have to carry.
    const auto seconds = static_cast<std::uint64_t>(std::time(nullptr));
    const auto ticks = static_cast<std::uint32_t>(std::clock());
    Seed(static_cast<std::uint32_t>(seconds ^ (seconds >> 32U)) ^ (ticks * 2654435761U));
  }
  float NextUniform() override {
    constexpr float kUnit = 1.0F / 16777216.0F;  // 2^-24
    return static_cast<float>(engine_() >> 8U) * kUnit;
  }

 private:
  std::mt19937 engine_;
};

}  // namespace kalvo
