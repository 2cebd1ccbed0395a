// A windowing runtime for driving frmMain outside the program's event loop:
// the benchmarks call its handlers and DrawFrame directly. The picture's size
// and what a swap does are the benchmark's to set; the rest does nothing.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>
#include <utility>

#include "app/form_runtime.h"

namespace kalvo::bench {

// Counts one per nanosecond; frmMain reads it only from Timer1_Timer.
class SteadyCounter final : public CounterSource {
 public:
  std::int64_t Frequency() override { return 1'000'000'000; }
  std::int64_t Count() override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

// Always the same value, so every throw lands the same way.
class FixedRandom final : public RandomSource {
 public:
  float NextUniform() override { return 0.5F; }
};

class BenchRuntime final : public FormRuntime, public PictureBox {
 public:
  BenchRuntime(Hdc hdc, std::function<void()> swap) : hdc_(hdc), swap_(std::move(swap)) {}

  void SetSize(int width, int height) {
    width_ = static_cast<float>(width);
    height_ = static_cast<float>(height);
  }

  // FormRuntime
  WindowState GetWindowState() override { return WindowState::kNormal; }
  float ScaleWidth() override { return width_; }
  float ScaleHeight() override { return height_; }
  void Unload() override { unloaded_ = true; }
  PictureBox& Picture1() override { return *this; }
  void SetTimer1Enabled(bool /*enabled*/) override {}
  void SwapBuffers(Hdc /*hdc*/) override { swap_(); }
  void ShowMessage(std::string_view /*prompt*/, std::string_view /*title*/) override {}
  void SeedRandomFromClock() override {}
  RandomSource& Random() override { return random_; }
  CounterSource& PerformanceCounter() override { return counter_; }

  // PictureBox
  Hdc hDC() override { return hdc_; }
  void SetWidth(float /*width*/) override {}
  void SetHeight(float /*height*/) override {}

  bool unloaded() const { return unloaded_; }

 private:
  Hdc hdc_;
  std::function<void()> swap_;
  float width_ = 238;
  float height_ = 189;
  bool unloaded_ = false;
  SteadyCounter counter_;
  FixedRandom random_;
};

}  // namespace kalvo::bench
