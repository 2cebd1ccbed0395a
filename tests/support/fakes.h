// The platform, stood in for: a runtime with a fake clock and a scripted
// generator, context calls that can fail one by one, and a window on them
// drawing through the real scene into the GL recording.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/form_runtime.h"
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
  float NextUniform() override {
    ++draws;
    const float r = queue.empty() ? 0.5F : queue.front();
    if (!queue.empty()) queue.pop_front();
    return r;
  }
  std::deque<float> queue;
  int draws = 0;
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

// The picture's size is what the window last set it to, as a control's is.
class FakePicture final : public PictureBox {
 public:
  Hdc hDC() override { return kHdc; }
  float ScaleWidth() override { return width; }
  float ScaleHeight() override { return height; }
  void SetWidth(float w) override { width = w; }
  void SetHeight(float h) override { height = h; }
  static constexpr Hdc kHdc{42};
  float width = 236;  // a little inside the client area until fitted
  float height = 188;
};

class FakeRuntime final : public FormRuntime {
 public:
  WindowState GetWindowState() override { return state; }
  float ScaleWidth() override { return client_width; }
  float ScaleHeight() override { return client_height; }
  void Unload() override {
    log.emplace_back("Unload");
    if (!unloaded && form != nullptr) form->Form_Unload();
    unloaded = true;
  }
  PictureBox& Picture1() override { return picture; }
  void SetTimer1Enabled(bool enabled) override { timer_enabled = enabled; }
  void SwapBuffers(Hdc hdc) override {
    log.push_back(hdc == FakePicture::kHdc ? "Swap" : "Swap elsewhere");
  }
  void ShowMessage(std::string_view prompt, std::string_view title) override {
    log.push_back("ShowMessage " + std::string(title) + ": " + std::string(prompt));
    for (int tick = 0; tick < 5; ++tick) {  // a platform may go on ticking while the box is up
      counter.count += 5000;
      Tick();
    }
  }
  void SeedRandomFromClock() override { log.emplace_back("SeedRandomFromClock"); }
  RandomSource& Random() override { return random; }
  CounterSource& PerformanceCounter() override { return counter; }

  // A tick, as the runtime raises it: only while the timer is on.
  void Tick() {
    if (form != nullptr && timer_enabled && !unloaded) form->Timer1_Timer();
  }
  int Swaps() const { return static_cast<int>(std::count(log.begin(), log.end(), "Swap")); }

  frmMain* form = nullptr;
  FakePicture picture;
  WindowState state = WindowState::kNormal;
  float client_width = 238;
  float client_height = 189;
  bool timer_enabled = true;
  bool unloaded = false;
  CallLog log;
  ScriptedRandom random;
  FakeCounter counter;
};

// A platform for the shared runtime: a window of a given shape, a fake clock,
// and a log of what the runtime asked of it.
class FakeBackend final : public Backend {
 public:
  WglApi& Wgl() override { return wgl; }
  Hdc Picture1Hdc() override { return FakePicture::kHdc; }
  CounterSource& Counter() override { return counter; }
  WindowShape Shape() override { return shape; }
  void Show() override { log.emplace_back("Show"); }
  void Swap() override { frames.push_back(counter.count); }
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

// frmMain on the fakes, drawing into the GL recording.
struct Window {
  FakeWgl wgl;
  Module1 module1{wgl};
  FakeRuntime runtime;
  frmMain form{runtime, module1};

  Window() {
    runtime.form = &form;
    Gl().Clear();
  }
  const FrameState& state() const { return form.State(); }
  // Load, then the resize that showing the window raises: the first frame.
  void Start() {
    form.Form_Load();
    form.Form_Resize();
  }
  // 5 ms ticks until `frames` more frames have been drawn (or give up).
  void RunFrames(int frames) {
    const int target = runtime.Swaps() + frames;
    for (int tick = 0; tick < 8 * frames + 8 && runtime.Swaps() < target; ++tick) {
      runtime.counter.count += 5000;
      runtime.Tick();
    }
  }
};

}  // namespace kalvo::testing
