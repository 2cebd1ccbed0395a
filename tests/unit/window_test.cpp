// The window's handlers, raised by the shared runtime on a fake platform and
// a fake clock, drawing through the real scene into the GL recording.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>

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

TEST(FormLoad, SeedsSetsUpTheContextColoursAndProjectionThenTheShowingDraws) {
  Window w;
  w.backend.shape = {300, 200, WindowState::kNormal};
  w.runtime.Start();
  EXPECT_EQ(w.random.seeds, 1);
  EXPECT_FALSE(w.state().blnRolling);
  EXPECT_EQ(w.state().sngRed, (Colour{1, 0, 0, 1}));
  EXPECT_EQ(w.state().sngBlack, (Colour{0, 0, 0, 1}));
  ASSERT_EQ(Gl().Named("glFrustum").size(), 1U);
  EXPECT_EQ(Gl().Named("glFrustum")[0].args, (std::vector<double>{-1, 1, -1, 1, 2, 10, 1}))
      << "on the projection matrix";
  EXPECT_FALSE(Gl().projection_current) << "the modelview is left current";
  EXPECT_EQ(Gl().enabled, std::vector<double>{GL_DEPTH_TEST});

  EXPECT_EQ(w.backend.log, testing::CallLog{"Show"});
  EXPECT_FLOAT_EQ(w.runtime.Picture1().ScaleWidth(), 300) << "the picture fills the client area";
  EXPECT_FLOAT_EQ(w.runtime.Picture1().ScaleHeight(), 200);
  EXPECT_EQ(Viewports(), (std::vector<double>{300, 200}));
  EXPECT_EQ(w.Swaps(), 1) << "the showing draws the first frame";
  EXPECT_EQ(w.state().lngCount, (std::array<std::int32_t, 2>{1, 1}));
}

TEST(FormLoad, FailedSetUpSaysSoAndClosesWithoutDrawingAndEndsWithStatus1) {
  for (const char* failing : {"Choose", "Set", "Create", "MakeCurrent"}) {
    Window w;
    w.backend.wgl.failing = failing;
    // A platform's box may run a loop of its own that delivers input and
    // ticks: nothing may reach the window's handlers while it is up.
    w.backend.while_box_is_up = [&] {
      w.runtime.Handle(KeyDown{kKeyEscape});
      w.runtime.Handle(ShapeChanged{});
      w.backend.counter.count += 25'000;
      EXPECT_FALSE(w.runtime.RunDue()) << failing << ": nothing is due without a context";
      EXPECT_FALSE(w.runtime.Ended()) << failing << ": Escape reached Form_KeyDown";
    };
    w.runtime.Start();
    EXPECT_EQ(w.random.seeds, 1) << failing;
    EXPECT_EQ(w.backend.log,
              (testing::CallLog{"Message Kalvo: OpenGLの初期化に失敗しました。", "Close"}))
        << failing;
    EXPECT_EQ(w.backend.lines, testing::CallLog{"kalvo: OpenGLの初期化に失敗しました。"});
    EXPECT_TRUE(w.state().blnClosing) << failing;
    EXPECT_FALSE(w.state().blnViewportDirty) << failing;
    EXPECT_EQ(w.state().sngRed, Colour{}) << failing;
    EXPECT_TRUE(Gl().calls.empty()) << failing;
    EXPECT_EQ(w.Swaps(), 0) << failing;
    EXPECT_TRUE(w.runtime.Ended());
    EXPECT_EQ(w.runtime.ExitStatus(), 1) << failing;
  }
}

TEST(FormResize, OneFrameForEachChangeOfSizeOrStateFittingThePictureUnlessMinimised) {
  Window w;
  w.runtime.Start();
  for (int repeat = 0; repeat < 3; ++repeat) w.runtime.Handle(ShapeChanged{});
  EXPECT_EQ(w.Swaps(), 1) << "the showing's frame, however often told of it";
  w.RunFrames(2);
  EXPECT_EQ(Viewports().size(), 2U) << "paced frames leave a clean viewport alone";
  w.backend.shape = {10, 189, WindowState::kMinimized};
  w.runtime.Handle(ShapeChanged{});
  EXPECT_EQ(w.Swaps(), 3) << "minimised: no frame";
  EXPECT_FLOAT_EQ(w.runtime.Picture1().ScaleWidth(), 238) << "minimised: no fitting";
  w.RunFrames(2);
  EXPECT_EQ(w.state().lngCount[0], 5) << "the animation goes on while minimised";
  w.backend.shape = {640, 480, WindowState::kNormal};
  w.runtime.Handle(ShapeChanged{});
  w.backend.shape.state = WindowState::kMaximized;
  w.runtime.Handle(ShapeChanged{});
  EXPECT_EQ(w.Swaps(), 7) << "one for a new size, one for a new state at the same size";
  EXPECT_EQ(Viewports(), (std::vector<double>{238, 189, 640, 480, 640, 480}));
}

TEST(FormKeyDown, EscapeClosesForGoodAndOtherKeysDoNothing) {
  Window w;
  w.runtime.Start();
  w.runtime.Handle(KeyDown{0});
  EXPECT_FALSE(w.runtime.Ended());
  w.runtime.Handle(KeyDown{kKeyEscape});
  EXPECT_TRUE(w.state().blnClosing);
  EXPECT_TRUE(w.runtime.Ended());
  EXPECT_EQ(w.runtime.ExitStatus(), 0);
  EXPECT_EQ(w.backend.wgl.log.back(), "Delete") << "the unload releases the context";
  EXPECT_EQ(w.backend.log.back(), "Close") << "after the context";
  w.runtime.Handle(CloseRequested{});
  EXPECT_EQ(std::count(w.backend.log.begin(), w.backend.log.end(), "Close"), 1);
  w.backend.counter.count += 50'000;
  EXPECT_FALSE(w.runtime.RunDue()) << "closed: the timer stays off";
}

TEST(PictureMouseUp, LeftThrowsOnceRightResetsOthersDoNothing) {
  Window w;
  w.runtime.Start();
  const FrameState& s = w.state();
  w.Click(0);
  EXPECT_FALSE(s.blnRolling || s.blnThrown || s.blnReset) << "other buttons throw nothing";
  EXPECT_EQ(w.random.draws, 0);

  w.random.queue = {0.0F, 0.999F};  // outcome 1, then a spin of 89
  w.Click(kLeftButton);
  EXPECT_TRUE(s.blnRolling && s.blnThrown);
  EXPECT_EQ(s.vecAngle, (tVector{-90, 0, 89}));
  w.Click(kLeftButton);
  EXPECT_EQ(w.random.draws, 2) << "no draw while a throw is out";
  EXPECT_EQ(s.vecAngle, (tVector{-90, 0, 89}));
  w.RunFrames(3);
  EXPECT_EQ(s.lngCount[0] - s.lngCount[1], 3) << "d counts the throw's frames";
  w.backend.shape.width = 300;
  w.runtime.Handle(ShapeChanged{});
  EXPECT_EQ(s.lngCount[0] - s.lngCount[1], 4) << "a resize's frame counts too";

  w.Click(kRightButton);
  EXPECT_TRUE(s.blnReset && !s.blnRolling && !s.blnThrown);
  EXPECT_EQ(s.vecAngle, (tVector{-90, 0, 89})) << "a reset keeps the last orientation";
  // Right then left before the next frame: the throw is drawn, but the
  // pending reset clears it, and left clicks wait for the next right one.
  w.Click(kLeftButton);
  w.RunFrames(1);
  EXPECT_EQ(s.lngCount, (std::array<std::int32_t, 2>{1, 1}));
  EXPECT_FALSE(s.blnReset || s.blnRolling);
  EXPECT_TRUE(s.blnThrown);
}

// A release belongs to the press it ends: only a press over the picture
// makes its release the picture's, wherever the pointer is then.
TEST(PictureMouseUp, OnlyTheReleaseOfAPressOverThePictureIsRaised) {
  Window w;
  w.runtime.Start();
  const FrameState& s = w.state();
  w.runtime.Handle(MouseUp{kLeftButton});
  EXPECT_FALSE(s.blnThrown) << "pressed elsewhere, let go over the picture";
  w.runtime.Handle(MouseDown{kLeftButton});
  w.runtime.Handle(PressesLost{});
  w.runtime.Handle(MouseUp{kLeftButton});
  EXPECT_FALSE(s.blnThrown) << "a press another window took";

  w.runtime.Handle(MouseDown{kLeftButton});
  w.runtime.Handle(MouseDown{kRightButton});
  w.runtime.Handle(MouseUp{kRightButton});
  EXPECT_TRUE(s.blnReset) << "each button's release ends its own press";
  EXPECT_FALSE(s.blnThrown);
  w.RunFrames(1);
  w.runtime.Handle(MouseUp{kLeftButton});
  EXPECT_TRUE(s.blnThrown);
  w.runtime.Handle(MouseUp{kRightButton});
  EXPECT_FALSE(s.blnReset) << "one press, one release";
}

TEST(FaceAtRest, NamesTheThrowsFaceFromItsHundredthFrameUntilTheReset) {
  Window w;
  w.runtime.Start();
  const FrameState& s = w.state();
  w.RunFrames(5);
  EXPECT_EQ(FaceAtRest(s), std::nullopt) << "the idle spin shows no face";
  w.random.queue = {0.5F, 0.5F};  // outcome 4
  w.Click(kLeftButton);
  w.RunFrames(99);
  EXPECT_EQ(FaceAtRest(s), std::nullopt) << "still in flight at frame 99";
  w.RunFrames(1);
  EXPECT_EQ(FaceAtRest(s), std::optional<std::int16_t>{4});
  w.RunFrames(50);
  EXPECT_EQ(FaceAtRest(s), std::optional<std::int16_t>{4});
  w.Click(kRightButton);
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
