#include "app/frm_main.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/errors.h"
#include "roll/roll.h"
#include "tests/support/fakes.h"

namespace kalvo {
namespace {

using testing::CallLog;
using testing::FakeWindow;

int Count(const CallLog& log, const std::string& call) {
  return static_cast<int>(std::count(log.begin(), log.end(), call));
}

TEST(FormLoad, SeedsFirstThenSetsUpTheContextAndTheProjection) {
  FakeWindow w;
  w.state().blnRolling = true;
  w.form.Form_Load();
  EXPECT_EQ(w.log, (CallLog{"Randomize", "ChoosePixelFormat", "SetPixelFormat", "wglCreateContext",
                            "wglMakeCurrent", "SetUpProjection"}));
  EXPECT_EQ(w.wgl.current_dc, testing::FakePicture::kHdc) << "the context is on Picture1";
  EXPECT_FALSE(w.state().blnRolling);
  EXPECT_TRUE(w.state().blnViewportDirty);
  EXPECT_EQ(w.state().sngBlack, (Colour{0, 0, 0, 1}));
  EXPECT_EQ(w.state().sngRed, (Colour{1, 0, 0, 1}));
  EXPECT_TRUE(w.scene.frames.empty()) << "loading draws nothing";
}

TEST(FormLoad, FailedSetUpSaysSoAndClosesWithoutDrawing) {
  FakeWindow w;
  w.wgl.create_result = Hglrc::kNone;
  // The fake delivers a tick while the message box is up, as a platform may.
  w.form.Form_Load();
  EXPECT_EQ(w.runtime.message, "OpenGLの初期化に失敗しました。");
  EXPECT_EQ(w.runtime.message_title, "Kalvo");
  EXPECT_TRUE(w.runtime.unloaded);
  EXPECT_TRUE(w.state().blnClosing) << "unloading raised Form_Unload";
  EXPECT_EQ(Count(w.log, "Draw") + Count(w.log, "Clear") + Count(w.log, "SetUpProjection"), 0)
      << "nothing may be drawn without a context";
  EXPECT_FALSE(w.state().objCounter) << "no tick got past the disabled timer";
  EXPECT_EQ(w.state().sngRed, (Colour{})) << "colours stay unset";
  EXPECT_FALSE(w.state().blnViewportDirty);
  w.runtime.Tick();
  EXPECT_EQ(Count(w.log, "Draw"), 0);
}

TEST(TimerTick, FirstTickOnlyStartsThePacing) {
  FakeWindow w;
  w.form.Form_Load();
  w.form.Timer1_Timer();
  EXPECT_TRUE(w.state().objCounter);
  EXPECT_TRUE(w.scene.frames.empty());
  EXPECT_TRUE(w.runtime.timer_enabled) << "the tick switches the timer back on";
}

TEST(TimerTick, DrawsAtMostOneFramePer20Ms) {
  FakeWindow w;
  w.Start();
  w.form.Timer1_Timer();
  const std::size_t after_start = w.scene.frames.size();
  for (int tick = 0; tick < 3; ++tick) {
    w.runtime.counter.AdvanceMs(5);
    w.form.Timer1_Timer();
  }
  EXPECT_EQ(w.scene.frames.size(), after_start) << "15 ms after the mark";
  w.runtime.counter.AdvanceMs(5);
  w.form.Timer1_Timer();
  EXPECT_EQ(w.scene.frames.size(), after_start + 1) << "20 ms after the mark";
  for (int tick = 0; tick < 400; ++tick) {
    w.runtime.counter.AdvanceMs(1);
    w.form.Timer1_Timer();
  }
  EXPECT_EQ(w.scene.frames.size(), after_start + 21) << "ticking every 1 ms for 400 ms";
}

TEST(TimerTick, AfterClosingNothingIsDrawnAndTheTimerStaysOff) {
  FakeWindow w;
  w.Start();
  w.form.Form_KeyDown(kKeyEscape, 0);
  const std::size_t frames = w.scene.frames.size();
  w.runtime.counter.AdvanceMs(100);
  w.form.Timer1_Timer();
  EXPECT_EQ(w.scene.frames.size(), frames);
  EXPECT_FALSE(w.runtime.timer_enabled);
}

TEST(TimerTick, AnErrorInTheFrameLeavesTheTimerOff) {
  FakeWindow w;
  w.Start();
  w.form.Timer1_Timer();
  w.state().blnViewportDirty = true;
  w.runtime.picture.scale_width = 3e9F;  // does not fit in 32 bits
  w.runtime.counter.AdvanceMs(20);
  try {
    w.form.Timer1_Timer();
    FAIL() << "expected an overflow error";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), 6);
  }
  EXPECT_FALSE(w.runtime.timer_enabled);
  EXPECT_TRUE(w.state().blnViewportDirty) << "the viewport was not set";
}

TEST(TimerTick, AnErrorReachesTheRuntimeAsTheMessageItShows) {
  FakeWindow w;
  w.Start();
  EXPECT_EQ(RunHandler([&w] { w.form.Timer1_Timer(); }), std::nullopt)
      << "a tick that runs to its end";
  w.state().blnViewportDirty = true;
  w.runtime.picture.scale_width = 3e9F;
  w.runtime.counter.AdvanceMs(20);
  EXPECT_EQ(RunHandler([&w] { w.form.Timer1_Timer(); }), "Run-time error '6':\n\nOverflow");
}

TEST(FormResize, FitsThePictureAndDrawsOneFrame) {
  FakeWindow w;
  w.form.Form_Load();
  w.log.clear();
  w.runtime.client_width = 640;
  w.runtime.client_height = 480;
  w.runtime.picture.scale_width = 640;
  w.runtime.picture.scale_height = 480;
  w.form.Form_Resize();
  EXPECT_EQ(w.runtime.picture.width, 640);
  EXPECT_EQ(w.runtime.picture.height, 480);
  EXPECT_EQ(w.log,
            (CallLog{"Picture1.Width", "Picture1.Height", "Clear", "Picture1.ScaleWidth",
                     "Picture1.ScaleHeight", "SetViewport(640,480)", "Draw", "SwapBuffers"}));
  EXPECT_EQ(w.runtime.swapped_dc, testing::FakePicture::kHdc);
  EXPECT_FALSE(w.state().blnViewportDirty);
}

TEST(FormResize, MinimisedDoesNothingButTheAnimationGoesOn) {
  FakeWindow w;
  w.Start();
  w.runtime.window_state = WindowState::kMinimized;
  w.log.clear();
  w.form.Form_Resize();
  EXPECT_TRUE(w.log.empty());
  const std::int32_t before = w.state().lngCount[0];
  w.RunFrames(3);
  EXPECT_EQ(w.state().lngCount[0], before + 3);
}

TEST(FormKeyDown, EscapeClosesWhateverModifiersAreHeld) {
  for (const int shift : {0, 1, 2, 4, 7}) {
    FakeWindow w;
    w.Start();
    w.form.Form_KeyDown(kKeyEscape, static_cast<std::int16_t>(shift));
    EXPECT_TRUE(w.runtime.unloaded) << "shift state " << shift;
    EXPECT_TRUE(w.state().blnClosing);
    EXPECT_EQ(w.module1.hRC(), Hglrc::kNone) << "the context was released";
  }
}

TEST(FormKeyDown, OtherKeysDoNothing) {
  FakeWindow w;
  w.Start();
  for (const int key : {0, 13, 26, 28, 32, 65, 81, 112}) {
    w.form.Form_KeyDown(static_cast<std::int16_t>(key), 0);
  }
  EXPECT_FALSE(w.runtime.unloaded);
  EXPECT_FALSE(w.state().blnClosing);
}

TEST(PictureMouseUp, RightThenLeftBeforeAFrameThrowsButStaysIdle) {
  FakeWindow w;
  w.Start();
  w.form.Picture1_MouseUp(kLeftButton, 0, 10, 10);
  w.RunFrames(30);
  w.form.Picture1_MouseUp(kRightButton, 0, 10, 10);
  w.runtime.random.queue = {0.0F, 0.5F};  // face 1, spin 45
  w.form.Picture1_MouseUp(kLeftButton, 0, 10, 10);
  EXPECT_TRUE(w.state().blnThrown);
  EXPECT_EQ(w.state().vecAngle, (tVector{-90, 0, 45}));
  w.RunFrames(5);
  EXPECT_FALSE(w.state().blnRolling) << "the pending reset wins";
  EXPECT_EQ(w.last_frame().dblElapsed, 0);
  EXPECT_EQ(w.last_frame().vecAngle, (tVector{-90, 0, 45})) << "idle spin shows the new angle";
  const int draws = w.runtime.random.draws;
  w.form.Picture1_MouseUp(kLeftButton, 0, 10, 10);
  EXPECT_EQ(w.runtime.random.draws, draws) << "ignored until the next right click";
}

}  // namespace
}  // namespace kalvo
