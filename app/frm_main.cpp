#include "app/frm_main.h"

#include <limits>

#include "app/checked.h"
#include "app/runtime.h"
#include "roll/roll.h"

namespace kalvo {
namespace {

// The idle spin turns 20° and 2° a frame, so it repeats every 180 frames.
constexpr std::int32_t kSpinPeriodFrames = 180;
constexpr std::int32_t kThrowRestFrame = 100;

}  // namespace

void frmMain::Form_Load() {
  runtime_.SeedRandomFromClock();
  state_.blnRolling = false;
  if (!module1_.InitGL(runtime_.Picture1().hDC())) {
    // No context to draw with: no tick may reach DrawFrame while the message is up.
    runtime_.Timer1().Enabled = false;
    runtime_.ShowMessage(kInitGlFailed, kAppTitle);
    runtime_.Unload();
    return;
  }
  InitColors();
  state_.blnViewportDirty = true;
  SetUpProjection();
}

void frmMain::Form_Resize() {
  if (runtime_.GetWindowState() == WindowState::kMinimized) return;
  runtime_.Picture1().SetWidth(runtime_.ScaleWidth());
  runtime_.Picture1().SetHeight(runtime_.ScaleHeight());
  state_.blnViewportDirty = true;
  DrawFrame();
}

void frmMain::Form_KeyDown(std::int16_t KeyCode) {
  if (KeyCode != kKeyEscape) return;
  state_.blnClosing = true;
  runtime_.Unload();
}

void frmMain::Form_Unload() {
  state_.blnClosing = true;
  module1_.ReleaseGL();
}

void frmMain::Timer1_Timer() {
  // Off while a tick is handled, so ticks never pile up behind a slow frame.
  runtime_.Timer1().Enabled = false;
  if (state_.blnClosing) return;
  if (!state_.objCounter) {
    state_.objCounter = std::make_unique<clsTimeCounter>(runtime_.PerformanceCounter());
  }
  if (state_.objCounter->isInterval(kFrameIntervalMs)) DrawFrame();
  runtime_.Timer1().Enabled = true;
}

std::optional<std::int64_t> frmMain::NextFrameDueCount() const {
  if (!state_.objCounter) return std::nullopt;
  return state_.objCounter->dueCount(kFrameIntervalMs);
}

void frmMain::Picture1_MouseUp(std::int16_t Button) {
  const ThrowFlags flags{state_.blnReset, state_.blnRolling, state_.blnThrown, state_.vecAngle};
  if (Button == kLeftButton) {
    ThrowDie(flags, runtime_.Random());
  } else if (Button == kRightButton) {
    RequestReset(flags);
  }
}

void frmMain::DrawFrame() {
  ResetAndAdvance(state_);
  ClearBuffers();
  if (state_.blnViewportDirty) {
    const std::int32_t width =
        RoundToInt32(runtime_.Picture1().ScaleWidth(), "the picture's width");
    const std::int32_t height =
        RoundToInt32(runtime_.Picture1().ScaleHeight(), "the picture's height");
    SetViewport(width, height);
  }
  state_.blnViewportDirty = false;

  const auto& count = state_.lngCount;
  DrawScene(FrameView{
      .dblElapsed = static_cast<double>(count[0] - count[1]),
      .lngCount0 = count[0],
      .blnRolling = state_.blnRolling,
      .vecAngle = state_.vecAngle,
      .sngBlack = state_.sngBlack,
      .sngRed = state_.sngRed,
  });
  runtime_.SwapBuffers(runtime_.Picture1().hDC());
}

void frmMain::InitColors() {
  state_.sngBlack = {0, 0, 0, 1};
  state_.sngRed = {1, 0, 0, 1};
}

// lngCount(1) stands still while a throw is out, so lngCount(0) - lngCount(1)
// counts the throw's frames.
void ResetAndAdvance(FrameState& state) {
  auto& count = state.lngCount;
  if (state.blnReset) {
    state.blnReset = false;
    state.blnRolling = false;
    count = {0, 0};
  }
  if (count[0] == std::numeric_limits<std::int32_t>::max()) {
    // After 2^31 - 1 frames without a reset (497 days at 50 frames a second)
    // both counters move back by whole spin periods: d and the spin's phase
    // stay as they were. Only a final view held that long cannot move back;
    // it simply holds.
    const std::int32_t shift = count[1] - count[1] % kSpinPeriodFrames;
    count[0] -= shift;
    count[1] -= shift;
    if (shift == 0) return;
  }
  ++count[0];
  if (!state.blnRolling) ++count[1];
}

std::optional<std::int16_t> FaceAtRest(const FrameState& state) {
  const auto& count = state.lngCount;
  if (!state.blnRolling || count[0] - count[1] < kThrowRestFrame) return std::nullopt;
  return FaceUp(state.vecAngle);
}

}  // namespace kalvo
