// Drives the window with a million random events and checks after each one
// that its frame state still makes sense.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "app/frm_main.h"
#include "roll/roll.h"
#include "tests/support/fakes.h"

namespace kalvo {
namespace {

using testing::FakeWindow;

// Whether angle is one the throw can store: a row of the outcome table with a
// whole spin of 0 to 89, or the zero it starts with.
bool IsStorableAngle(const tVector& angle) {
  if (angle == tVector{}) return true;
  for (std::int16_t outcome = 1; outcome <= 6; ++outcome) {
    for (int spin = 0; spin < 90; ++spin) {
      if (FinalOrientation(outcome, spin) == angle) return true;
    }
  }
  return false;
}

std::string Describe(const FrameState& s) {
  return "lngCount=(" + std::to_string(s.lngCount[0]) + "," + std::to_string(s.lngCount[1]) +
         ") rolling=" + std::to_string(s.blnRolling) + " thrown=" + std::to_string(s.blnThrown) +
         " reset=" + std::to_string(s.blnReset);
}

TEST(RandomEvents, AMillionEventsKeepTheFrameStateSound) {
  constexpr int kEvents = 1'000'000;
  std::mt19937 rng(12345);
  auto pick = [&rng](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  };

  auto window = std::make_unique<FakeWindow>();
  window->Start();
  int windows = 1;
  for (int event = 0; event < kEvents; ++event) {
    FakeWindow& w = *window;
    const int kind = pick(0, 99);
    if (kind < 50) {
      w.runtime.counter.AdvanceMs(pick(0, 60));
      w.runtime.Tick();
    } else if (kind < 70) {
      // Mostly left and right, sometimes any button the runtime could report.
      const int button = pick(0, 3) == 0 ? pick(-32768, 32767) : pick(1, 2);
      w.form.Picture1_MouseUp(
          static_cast<std::int16_t>(button), static_cast<std::int16_t>(pick(0, 7)),
          static_cast<float>(pick(-100, 5000)), static_cast<float>(pick(-100, 5000)));
    } else if (kind < 85) {
      w.runtime.window_state = pick(0, 5) == 0 ? WindowState::kMinimized : WindowState::kNormal;
      const float width = static_cast<float>(pick(0, 16384));
      const float height = static_cast<float>(pick(0, 16384));
      w.runtime.client_width = width;
      w.runtime.client_height = height;
      w.runtime.picture.scale_width = width;
      w.runtime.picture.scale_height = height;
      w.form.Form_Resize();
    } else {
      // Any key with any modifiers; Escape one time in 2000, so that
      // windows live long enough to get somewhere.
      const int key = pick(0, 1999) == 0 ? kKeyEscape : pick(-32768, 32767);
      w.form.Form_KeyDown(static_cast<std::int16_t>(key), static_cast<std::int16_t>(pick(0, 7)));
    }

    const FrameState& s = w.form.State();
    ASSERT_LE(0, s.lngCount[1]) << "event " << event << ": " << Describe(s);
    ASSERT_LE(s.lngCount[1], s.lngCount[0]) << "event " << event << ": " << Describe(s);
    ASSERT_TRUE(IsStorableAngle(s.vecAngle)) << "event " << event;
    ASSERT_TRUE(!s.blnRolling || s.blnThrown) << "rolling without a throw, event " << event;
    if (!w.scene.frames.empty()) {
      const FrameView& view = w.scene.frames.back();
      ASSERT_EQ(view.dblElapsed == 0, !view.blnRolling)
          << "event " << event << ": d = " << view.dblElapsed;
      ASSERT_EQ(view.dblElapsed, std::trunc(view.dblElapsed));
    }
    // Keep memory flat: the fakes log every call.
    w.log.clear();
    w.scene.frames.clear();

    if (w.runtime.unloaded) {
      ASSERT_TRUE(s.blnClosing);
      ASSERT_EQ(w.module1.hRC(), Hglrc::kNone) << "closing released the context";
      window = std::make_unique<FakeWindow>();
      window->Start();
      ++windows;
    }
  }
  std::printf("%d events over %d windows\n", kEvents, windows);
}

}  // namespace
}  // namespace kalvo
