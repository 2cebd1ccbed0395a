// The main window: its frame state and the handlers the runtime raises, one
// at a time, on the UI thread. It owns the frame state and the pacing timer;
// the context belongs to Module1, the drawing to render/, the window itself
// to the runtime.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "app/form_design.h"
#include "app/input.h"
#include "gl/module1.h"
#include "render/gl_scene.h"
#include "render/scene_types.h"
#include "timing/cls_time_counter.h"

namespace kalvo {

class Runtime;

inline constexpr std::string_view kInitGlFailed = "OpenGLの初期化に失敗しました。";
inline constexpr int kTimer1IntervalMs = 5;  // how often the pacing is tested
inline constexpr std::int32_t kFrameIntervalMs = 20;

// The state the handlers share. All zero when the window is created.
struct FrameState {
  bool blnClosing = false;
  bool blnViewportDirty = false;
  bool blnReset = false;
  bool blnRolling = false;
  bool blnThrown = false;
  tVector vecAngle;
  std::unique_ptr<clsTimeCounter> objCounter;
  Colour sngBlack{};
  Colour sngRed{};
  std::array<std::int32_t, 2> lngCount{};
};

// The first stage of a frame, and the only one that changes state: a pending
// reset, then one step of the frame counters.
void ResetAndAdvance(FrameState& state);

// The face up once a throw's die has come to rest (from the throw's 100th
// frame on, where it lies still); none while it spins or flies.
std::optional<std::int16_t> FaceAtRest(const FrameState& state);

class frmMain {
 public:
  frmMain(Runtime& runtime, Module1& module1) : runtime_(runtime), module1_(module1) {}

  void Form_Load();
  void Form_Resize();
  void Form_KeyDown(std::int16_t KeyCode);
  void Form_Unload();
  void Timer1_Timer();
  void Picture1_MouseUp(std::int16_t Button);

  // Draws and presents one frame; every call advances the animation one step.
  void DrawFrame();

  // The counter reading (of runtime.PerformanceCounter()) before which a
  // Timer1 tick cannot draw: until then isInterval answers False and the tick
  // changes nothing, so the runtime may sleep through those ticks. Empty while
  // the next tick matters whenever it comes (it makes the counter or sets its
  // mark). This keeps the 20 ms rule here rather than in each platform.
  std::optional<std::int64_t> NextFrameDueCount() const;

  const FrameState& State() const { return state_; }

 private:
  void InitColors();

  Runtime& runtime_;
  Module1& module1_;
  FrameState state_;
};

}  // namespace kalvo
