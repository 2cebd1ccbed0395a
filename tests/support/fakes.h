// The platform stood in for: a backend with a fake clock, context calls that
// fail one by one, a scripted generator, and the shared runtime on them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/frm_main.h"
#include "app/runtime.h"
#include "gl/module1.h"
#include "render/gl_scene.h"
#include "tests/support/gl_recorder.h"

namespace kalvo::testing {

using CallLog = std::vector<std::string>;

// One count per microsecond, moved only by the test.
class FakeCounter final : public CounterSource {
 public:
  std::int64_t Frequency() override { return frequency; }
  std::int64_t Count() override { return count; }
  std::int64_t frequency = 1'000'000;
  std::int64_t count = 0;
};

// Hands out the queued values, then 0.5.
class ScriptedRandom final : public RandomSource {
 public:
  void SeedFromClock() override { ++seeds; }
  float NextUniform() override {
    ++draws;
    const float r = queue.empty() ? 0.5F : queue.front();
    if (!queue.empty()) queue.pop_front();
    return r;
  }
  std::deque<float> queue;
  int draws = 0;
  int seeds = 0;
};

class FakeWgl final : public WglApi {
 public:
  int ChoosePixelFormat(Hdc, const PIXELFORMATDESCRIPTOR&) override { return Log("Choose", 7); }
  bool SetPixelFormat(Hdc, int, const PIXELFORMATDESCRIPTOR&) override { return Log("Set", 1); }
  Hglrc wglCreateContext(Hdc) override { return static_cast<Hglrc>(Log("Create", 0x1234)); }
  bool wglMakeCurrent(Hdc, Hglrc hglrc) override {
    return hglrc == Hglrc::kNone ? Log("MakeNoneCurrent", 1) : Log("MakeCurrent", 1);
  }
  bool wglDeleteContext(Hglrc hglrc) override {
    deleted.push_back(hglrc);
    return Log("Delete", 1);
  }
  std::string failing;  // the step that fails
  CallLog log;
  std::vector<Hglrc> deleted;

 private:
  int Log(const char* step, int success) {
    log.emplace_back(step);
    return failing == step ? 0 : success;
  }
};

// A window of a given shape, a fake clock, and a log of what the runtime asked.
class FakeBackend final : public Backend {
 public:
  static constexpr Hdc kHdc{42};

  WglApi& Wgl() override { return wgl; }
  Hdc Picture1Hdc() override { return kHdc; }
  CounterSource& Counter() override { return counter; }
  WindowShape Shape() override { return shape; }
  void Show() override { log.emplace_back("Show"); }
  void Swap(Hdc hdc) override {
    EXPECT_EQ(hdc, kHdc) << "a frame presented on another surface";
    frames.push_back(counter.count);
  }
  void ShowMessageBox(std::string_view text, std::string_view title, bool error) override {
    log.push_back(std::string(error ? "Error " : "Message ") + std::string(title) + ": " +
                  std::string(text));
    if (while_box_is_up) while_box_is_up();
  }
  void Close() override { log.emplace_back("Close"); }
  void Log(std::string_view line) override { lines.emplace_back(line); }

  FakeWgl wgl;
  FakeCounter counter;
  WindowShape shape{238, 189, WindowState::kNormal};
  std::function<void()> while_box_is_up;  // what a platform's modal loop may do
  CallLog log;
  CallLog lines;
  std::vector<std::int64_t> frames;  // the counter at each swap
};

// The shared runtime on the fake platform, drawing through the real scene
// into the GL recording.
struct Window {
  FakeBackend backend;
  ScriptedRandom random;
  Runtime runtime{backend, random};

  Window() { Gl().Clear(); }
  const FrameState& state() const { return runtime.Frame(); }
  int Swaps() const { return static_cast<int>(backend.frames.size()); }
  // Sleeps to each time the runtime asks for, until `frames` more are drawn.
  void RunFrames(int frames) {
    const int target = Swaps() + frames;
    for (int wake = 0; wake < 8 * frames + 8 && Swaps() < target; ++wake) {
      const std::optional<std::int64_t> next = runtime.RunDue();
      if (!next) return;
      backend.counter.count = std::max(backend.counter.count, *next);
    }
  }
  void Click(std::int16_t button) {
    runtime.Handle(MouseDown{button});
    runtime.Handle(MouseUp{button});
  }
};

}  // namespace kalvo::testing
