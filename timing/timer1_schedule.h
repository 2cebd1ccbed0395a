// When Timer1 ticks: every 5 ms on a steady grid of the high-resolution
// counter, anchored on the first tick, where the pacing timer starts
// counting; so every fourth tick after a frame falls exactly 20 ms on.
// The shared runtime follows it; the backends only wait for what it says.
#pragma once

#include <cstdint>
#include <optional>

namespace kalvo {

class Timer1Schedule {
 public:
  Timer1Schedule(std::int64_t frequency, std::int64_t now, std::int32_t interval_ms);

  // The counter reading the next tick is due at. Ticks well before `due`
  // (the window's NextFrameDueCount) could not draw unless woken more than
  // half a period late, so the grid passes over them and nobody wakes for
  // them; every frame still comes on its tick.
  std::int64_t NextTick(std::optional<std::int64_t> due);

  // A tick raised at `now`. Wake-ups come late, never early, so the grid is
  // anchored a little before the first tick: later ones then land within
  // half a millisecond even when woken up to 0.9 ms late. A slow frame
  // skips whole ticks rather than leaving the grid.
  void Ticked(std::int64_t now);

 private:
  std::int64_t period_;
  std::int64_t lead_;
  std::int64_t next_;
  bool anchored_ = false;
};

}  // namespace kalvo
