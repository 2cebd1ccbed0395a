// The window's handlers, raised as the runtime raises them, on a fake
// runtime and a fake clock, drawing through the real scene into the GL
// recording.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "app/errors.h"
#include "app/input.h"
#include "roll/roll.h"
#include "tests/support/fakes.h"

namespace kalvo {
namespace {

using testing::Gl;
using testing::Window;

std::vector<double> Viewports() {
  std::vector<double> sizes;
  for (const auto& call : Gl().Named("glViewport")) {
    EXPECT_EQ(call.args[0] + call.args[1], 0);
    sizes.insert(sizes.end(), {call.args[2], call.args[3]});
  }
  return sizes;
}

TEST(FormLoad, SeedsThenSetsUpTheContextColoursAndProjectionAndTheFirstResizeDraws) {
  Window w;
  w.form.Picture1_MouseUp(kLeftButton, 0, 5, 5);  // a throw before the load sets blnRolling
  w.form.Form_Load();
  EXPECT_EQ(w.runtime.log, testing::CallLog{"SeedRandomFromClock"})
      << "seeded, and nothing drawn yet";
  EXPECT_EQ(w.wgl.log, (testing::CallLog{"Choose", "Set", "Create", "MakeCurrent"}));
  EXPECT_FALSE(w.state().blnRolling);
  EXPECT_EQ(w.state().sngRed, (Colour{1, 0, 0, 1}));
  EXPECT_EQ(w.state().sngBlack, (Colour{0, 0, 0, 1}));
  ASSERT_EQ(Gl().Named("glFrustum").size(), 1U);
  EXPECT_EQ(Gl().Named("glFrustum")[0].args, (std::vector<double>{-1, 1, -1, 1, 2, 10, 1}))
      << "on the projection matrix";
  EXPECT_FALSE(Gl().projection_current) << "the modelview is left current";
  EXPECT_EQ(Gl().enabled, std::vector<double>{GL_DEPTH_TEST});

  w.runtime.client_width = 300.4F;
  w.runtime.client_height = 200.5F;
  w.form.Form_Resize();
  EXPECT_FLOAT_EQ(w.runtime.picture.width, 300.4F) << "the picture fills the client area";
  EXPECT_FLOAT_EQ(w.runtime.picture.height, 200.5F);
  EXPECT_EQ(Viewports(), (std::vector<double>{300, 200})) << "halves round to even";
  EXPECT_EQ(w.runtime.Swaps(), 1);
  EXPECT_EQ(w.state().lngCount, (std::array<std::int32_t, 2>{1, 1}));
}

TEST(FormLoad, FailedSetUpSaysSoAndClosesWithoutDrawing) {
  for (const char* failing : {"Choose", "Set", "Create", "MakeCurrent"}) {
    Window w;
    w.wgl.failing = failing;
    w.form.Form_Load();
    EXPECT_EQ(w.runtime.log,
              (testing::CallLog{"SeedRandomFromClock",
                                "ShowMessage Kalvo: OpenGLの初期化に失敗しました。", "Unload"}))
        << failing << ": a tick during the box must draw nothing";
    EXPECT_TRUE(w.state().blnClosing) << failing;
    EXPECT_FALSE(w.state().blnViewportDirty) << failing;
    EXPECT_EQ(w.state().sngRed, Colour{}) << failing;
    EXPECT_TRUE(Gl().calls.empty()) << failing;
  }
}

TEST(FormResize, FitsThePictureAndDrawsAtOnceUnlessMinimised) {
  Window w;
  w.Start();
  w.RunFrames(3);
  EXPECT_EQ(Viewports().size(), 2U) << "paced frames leave a clean viewport alone";
  w.runtime.state = WindowState::kMinimized;
  w.runtime.client_width = 10;
  w.form.Form_Resize();
  EXPECT_EQ(w.runtime.Swaps(), 4) << "minimised: no frame";
  EXPECT_FLOAT_EQ(w.runtime.picture.width, 238) << "minimised: no fitting";
  w.RunFrames(2);
  EXPECT_EQ(w.state().lngCount[0], 6) << "the animation goes on while minimised";
  w.runtime.state = WindowState::kMaximized;
  w.runtime.client_width = 640;
  w.runtime.client_height = 480;
  w.form.Form_Resize();
  EXPECT_EQ(w.runtime.Swaps(), 7);
  EXPECT_EQ(Viewports(), (std::vector<double>{238, 189, 640, 480}));
}

TEST(Timer1, PacesFramesAtMostOnePer20MsAndStopsForGood) {
  Window w;
  w.form.Form_Load();
  for (int tick = 1; tick <= 40; ++tick) {  // 200 ms of 5 ms ticks
    w.runtime.counter.count += 5000;
    w.runtime.Tick();
    EXPECT_TRUE(w.runtime.timer_enabled);
    EXPECT_EQ(w.runtime.Swaps(), (tick - 1) / 4) << "tick " << tick << ": the first only "
                                                 << "starts the pacing, then every fourth draws";
  }
  w.form.Form_KeyDown(kKeyEscape, 0);
  w.runtime.counter.count += 50'000;
  w.form.Timer1_Timer();
  EXPECT_FALSE(w.runtime.timer_enabled) << "closing: the timer stays off";
  EXPECT_EQ(w.runtime.Swaps(), 9);
}

TEST(Timer1, AnErrorInAFrameLeavesTheTimerOffAndGoesToTheRuntime) {
  Window w;
  w.Start();
  w.RunFrames(1);
  w.runtime.client_width = 3e9F;  // a picture too wide for any viewport
  EXPECT_THROW(w.form.Form_Resize(), OverflowError);
  EXPECT_TRUE(w.state().blnViewportDirty) << "the viewport was not set";
  EXPECT_EQ(w.state().lngCount[0], 3) << "the counters had already moved";
  w.runtime.counter.count += 20'000;
  EXPECT_THROW(w.form.Timer1_Timer(), OverflowError);
  EXPECT_FALSE(w.runtime.timer_enabled);
  EXPECT_EQ(w.state().lngCount[0], 4);
}

TEST(FormKeyDown, EscapeClosesWhateverModifiersAndOtherKeysDoNothing) {
  for (std::int16_t shift = 0; shift < 8; ++shift) {
    Window w;
    w.Start();
    for (const int key : {0, 13, 32, 65, 112})
      w.form.Form_KeyDown(static_cast<std::int16_t>(key), shift);
    EXPECT_FALSE(w.runtime.unloaded);
    w.form.Form_KeyDown(kKeyEscape, shift);
    EXPECT_TRUE(w.state().blnClosing);
    EXPECT_TRUE(w.runtime.unloaded) << "shift " << shift;
    EXPECT_EQ(w.wgl.log.back(), "Delete") << "the unload releases the context";
  }
}

TEST(PictureMouseUp, LeftThrowsOnceRightResetsOthersDoNothing) {
  Window w;
  w.Start();
  const FrameState& s = w.state();
  for (const int button : {4, 0, 3, 8, 16, -1}) {
    w.form.Picture1_MouseUp(static_cast<std::int16_t>(button), 0, 5, 5);
  }
  EXPECT_FALSE(s.blnRolling || s.blnThrown || s.blnReset) << "other buttons throw nothing";
  EXPECT_EQ(w.runtime.random.draws, 0);

  w.runtime.random.queue = {0.0F, 0.999F};  // outcome 1, then a spin of 89
  w.form.Picture1_MouseUp(kLeftButton, 0, 5, 5);
  EXPECT_TRUE(s.blnRolling && s.blnThrown);
  EXPECT_EQ(s.vecAngle, (tVector{-90, 0, 89}));
  for (std::int16_t button : {kLeftButton, kMiddleButton, std::int16_t{0}}) {
    w.form.Picture1_MouseUp(button, 0, 5, 5);
  }
  EXPECT_EQ(w.runtime.random.draws, 2) << "no draw while a throw is out";
  EXPECT_EQ(s.vecAngle, (tVector{-90, 0, 89}));
  w.RunFrames(3);
  EXPECT_EQ(s.lngCount[0] - s.lngCount[1], 3) << "d counts the throw's frames";
  w.form.Form_Resize();
  EXPECT_EQ(s.lngCount[0] - s.lngCount[1], 4) << "a resize's frame counts too";

  w.form.Picture1_MouseUp(kRightButton, 0, 5, 5);
  EXPECT_TRUE(s.blnReset && !s.blnRolling && !s.blnThrown);
  EXPECT_EQ(s.vecAngle, (tVector{-90, 0, 89})) << "a reset keeps the last orientation";
  // Right then left before the next frame: the throw is drawn, but the
  // pending reset clears it, and left clicks wait for the next right one.
  w.form.Picture1_MouseUp(kLeftButton, 0, 5, 5);
  w.RunFrames(1);
  EXPECT_EQ(s.lngCount, (std::array<std::int32_t, 2>{1, 1}));
  EXPECT_FALSE(s.blnReset || s.blnRolling);
  EXPECT_TRUE(s.blnThrown);
}

TEST(FaceAtRest, NamesTheThrowsFaceFromItsHundredthFrameUntilTheReset) {
  Window w;
  w.Start();
  const FrameState& s = w.state();
  w.RunFrames(5);
  EXPECT_EQ(FaceAtRest(s), std::nullopt) << "the idle spin shows no face";
  w.runtime.random.queue = {0.5F, 0.5F};  // outcome 4
  w.form.Picture1_MouseUp(kLeftButton, 0, 5, 5);
  w.RunFrames(99);
  EXPECT_EQ(FaceAtRest(s), std::nullopt) << "still in flight at frame 99";
  w.RunFrames(1);
  EXPECT_EQ(FaceAtRest(s), std::optional<std::int16_t>{4});
  w.RunFrames(50);
  EXPECT_EQ(FaceAtRest(s), std::optional<std::int16_t>{4});
  w.form.Picture1_MouseUp(kRightButton, 0, 5, 5);
  EXPECT_EQ(FaceAtRest(s), std::nullopt) << "a reset picks the die up at once";
}

// After 2^31 - 1 frames without a reset, both counters step back by whole
// 180-frame spin periods: the spin's phase and d stay, nothing overflows.
TEST(DrawFrame, CountersStepBackAtTheirLimitKeepingSpinAndThrow) {
  constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max();
  const struct {
    bool rolling;
    std::array<std::int32_t, 2> before, after;
  } rows[] = {
      {false, {kMost, kMost}, {128, 128}},       // kMost is 127 past a whole period
      {true, {kMost, kMost - 150}, {308, 157}},  // d goes on from 150 to 151
      {true, {kMost, 100}, {kMost, 100}},        // a final view held this long holds
  };
  for (const auto& r : rows) {
    FrameState state;
    state.blnRolling = r.rolling;
    state.lngCount = r.before;
    ResetAndAdvance(state);
    EXPECT_EQ(state.lngCount, r.after) << r.before[1];
  }
}

}  // namespace
}  // namespace kalvo
