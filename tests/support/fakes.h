// Stand-ins for the platform, the context calls and the scene, so the
// window's handlers run with no display and no GL. Every call is logged in
// order, so tests can check sequences as well as effects.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "app/form_runtime.h"
#include "app/frm_main.h"
#include "gl/module1.h"
#include "gl/wgl_api.h"
#include "render/scene.h"

namespace kalvo::testing {

using CallLog = std::vector<std::string>;

// A counter that ticks only when told: one count per microsecond.
class FakeCounter final : public CounterSource {
 public:
  static constexpr std::int64_t kFrequency = 1'000'000;
  std::int64_t Frequency() override { return frequency; }
  std::int64_t Count() override { return count; }
  void AdvanceMs(double ms) { count += static_cast<std::int64_t>(ms * 1000); }

  std::int64_t frequency = kFrequency;
  std::int64_t count = 0;
};

// Hands out queued values, then 0.5.
class ScriptedRandom final : public RandomSource {
 public:
  float Rnd() override {
    ++draws;
    if (queue.empty()) return 0.5F;
    const float r = queue.front();
    queue.pop_front();
    return r;
  }
  std::deque<float> queue;
  int draws = 0;
};

class FakeWgl final : public WglApi {
 public:
  explicit FakeWgl(CallLog& log) : log_(log) {}
  int ChoosePixelFormat(Hdc, const PIXELFORMATDESCRIPTOR& pfd) override {
    log_.push_back("ChoosePixelFormat");
    requested = pfd;
    return choose_result;
  }
  bool SetPixelFormat(Hdc, int, const PIXELFORMATDESCRIPTOR&) override {
    log_.push_back("SetPixelFormat");
    return set_result;
  }
  Hglrc wglCreateContext(Hdc) override {
    log_.push_back("wglCreateContext");
    return create_result;
  }
  bool wglMakeCurrent(Hdc hdc, Hglrc hglrc) override {
    log_.push_back(hglrc == Hglrc::kNone ? "wglMakeCurrent(none)" : "wglMakeCurrent");
    if (hglrc != Hglrc::kNone) current_dc = hdc;
    return hglrc == Hglrc::kNone || make_current_result;
  }
  bool wglDeleteContext(Hglrc hglrc) override {
    log_.push_back("wglDeleteContext");
    deleted.push_back(hglrc);
    return true;
  }

  int choose_result = 7;
  bool set_result = true;
  Hglrc create_result = Hglrc{0x1234};
  bool make_current_result = true;
  PIXELFORMATDESCRIPTOR requested;
  Hdc current_dc = Hdc::kNone;
  std::vector<Hglrc> deleted;

 private:
  CallLog& log_;
};

class FakeScene final : public Scene {
 public:
  explicit FakeScene(CallLog& log) : log_(log) {}
  void SetUpProjection() override { log_.push_back("SetUpProjection"); }
  void Clear() override { log_.push_back("Clear"); }
  void SetViewport(std::int32_t width, std::int32_t height) override {
    log_.push_back("SetViewport(" + std::to_string(width) + "," + std::to_string(height) + ")");
  }
  void Draw(const FrameView& view) override {
    log_.push_back("Draw");
    frames.push_back(view);
  }
  std::vector<FrameView> frames;

 private:
  CallLog& log_;
};

class FakePicture final : public PictureBox {
 public:
  explicit FakePicture(CallLog& log) : log_(log) {}
  Hdc hDC() override { return kHdc; }
  float ScaleWidth() override {
    Log("Picture1.ScaleWidth");
    return scale_width;
  }
  float ScaleHeight() override {
    Log("Picture1.ScaleHeight");
    return scale_height;
  }
  void SetWidth(float w) override {
    Log("Picture1.Width");
    width = w;
  }
  void SetHeight(float h) override {
    Log("Picture1.Height");
    height = h;
  }

  static constexpr Hdc kHdc{42};
  bool quiet = false;  // log nothing, allocate nothing
  float scale_width = 238;
  float scale_height = 189;
  float width = 0;
  float height = 0;

 private:
  void Log(const char* call) {
    if (!quiet) log_.emplace_back(call);
  }
  CallLog& log_;
};

class FakeRuntime final : public FormRuntime {
 public:
  explicit FakeRuntime(CallLog& log) : picture(log), log_(log) {}

  WindowState GetWindowState() override { return window_state; }
  float ScaleWidth() override { return client_width; }
  float ScaleHeight() override { return client_height; }
  void Unload() override {
    Log("Unload");
    if (unloaded) return;
    unloaded = true;
    if (form != nullptr) form->Form_Unload();
  }
  PictureBox& Picture1() override { return picture; }
  void SetTimer1Enabled(bool enabled) override {
    timer_enabled = enabled;
    Log(enabled ? "Timer1.Enabled=True" : "Timer1.Enabled=False");
  }
  void SwapBuffers(Hdc hdc) override {
    Log("SwapBuffers");
    swapped_dc = hdc;
  }
  void MsgBox(std::string_view prompt, std::string_view title) override {
    Log("MsgBox");
    message = prompt;
    message_title = title;
    // A platform may go on delivering ticks while the box is open.
    Tick();
  }
  void Randomize() override { Log("Randomize"); }
  RandomSource& Random() override { return random; }
  CounterSource& PerformanceCounter() override { return counter; }

  // Raises a tick as the runtime does: only while the timer is on.
  void Tick() {
    if (form != nullptr && timer_enabled && !unloaded) form->Timer1_Timer();
  }

  frmMain* form = nullptr;  // raised on for Unload and ticks
  bool quiet = false;       // log nothing, allocate nothing
  FakePicture picture;
  WindowState window_state = WindowState::kNormal;
  float client_width = 238;
  float client_height = 189;
  bool timer_enabled = true;
  bool unloaded = false;
  Hdc swapped_dc = Hdc::kNone;
  std::string message;
  std::string message_title;
  ScriptedRandom random;
  FakeCounter counter;

 private:
  void Log(const char* call) {
    if (!quiet) log_.emplace_back(call);
  }
  CallLog& log_;
};

// A window on fakes, loaded and ready unless told otherwise.
struct FakeWindow {
  CallLog log;
  FakeWgl wgl{log};
  Module1 module1{wgl};
  FakeScene scene{log};
  FakeRuntime runtime{log};
  frmMain form{runtime, module1, scene};

  FakeWindow() { runtime.form = &form; }
  FrameState& state() { return form.MutableState(); }
  // Load, then the first resize that showing the window raises.
  void Start() {
    form.Form_Load();
    form.Form_Resize();
  }
  // Ticks until `frames` frames have been drawn, 5 ms apart as Timer1 fires.
  void RunFrames(int frames) {
    const std::size_t target = scene.frames.size() + static_cast<std::size_t>(frames);
    for (int tick = 0; tick < 8 * frames + 8 && scene.frames.size() < target; ++tick) {
      runtime.counter.AdvanceMs(5);
      runtime.Tick();
    }
  }
  const FrameView& last_frame() const { return scene.frames.back(); }
};

}  // namespace kalvo::testing
