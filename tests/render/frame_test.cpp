// Whole frames through frmMain::DrawFrame and GlScene, recorded: the stages
// in order, the viewport, the camera path, the floor, resets, and frames
// past the limits of the 32-bit counters.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "roll/roll.h"
#include "tests/render/scene_harness.h"
#include "tests/render/stream_expect.h"

namespace kalvo::testing {
namespace {

constexpr double kModelview = 5888;   // GL_MODELVIEW
constexpr double kProjection = 5889;  // GL_PROJECTION
constexpr double kDepthTest = 2929;   // GL_DEPTH_TEST
constexpr double kColourAndDepthBits = 16640;
constexpr double kPolygon = 9;
constexpr double kQuads = 7;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
const float kFloorGrey = 0.5019608F;

// Puts a throw d frames old into the state, as the counters would hold it
// just before the frame that draws it.
void ThrowUnderWay(Harness& h, std::int32_t d) {
  h.state().blnRolling = true;
  h.state().blnThrown = true;
  h.state().lngCount = {1000 + d - 1, 1000};
}

TEST(Frame, LoadSetsTheProjectionOnceAndLeavesTheModelviewCurrent) {
  Harness h;  // Form_Load, recorded from a clean stream
  const auto& gl = Gl();
  ASSERT_EQ(gl.Count("glFrustum"), 1U);
  const std::size_t frustum = *gl.Find("glFrustum");
  EXPECT_TRUE(IsCall(gl[frustum], "glFrustum", {-1, 1, -1, 1, 2, 10}));
  const auto modes = gl.IndicesOf("glMatrixMode");
  ASSERT_FALSE(modes.empty());
  EXPECT_TRUE(IsCall(gl[modes.front()], "glMatrixMode", {kProjection}));
  EXPECT_LT(modes.front(), frustum);
  EXPECT_TRUE(IsCall(gl[modes.back()], "glMatrixMode", {kModelview}));
  EXPECT_GT(modes.back(), frustum);
  EXPECT_EQ(gl.Count("glEnable"), 1U);
  EXPECT_TRUE(IsCall(gl[*gl.Find("glEnable")], "glEnable", {kDepthTest}));
  EXPECT_TRUE(gl.problems().empty());

  // No frame ever touches the projection again.
  h.Frame();
  h.Frame();
  EXPECT_EQ(Gl().Count("glMatrixMode") + Gl().Count("glFrustum"), 0U);
}

TEST(Frame, FirstFrameRunsEveryStageInOrder) {
  Harness h;
  Gl().Reset();
  h.form.Form_Resize();  // the window's first resize draws the first frame

  const auto& gl = Gl();
  ASSERT_TRUE(gl.problems().empty()) << gl.problems().front();
  EXPECT_EQ(h.state().lngCount, (std::array<std::int32_t, 2>{1, 1}));
  EXPECT_FALSE(h.state().blnViewportDirty);

  const float grey = kFloorGrey;
  struct Expected {
    const char* name;
    std::vector<double> args;
  };
  const std::vector<Expected> head = {
      {"glClearColor", {0, 0, 0, 1}},
      {"glClear", {kColourAndDepthBits}},
      {"Picture1.ScaleWidth", {}},
      {"Picture1.ScaleHeight", {}},
      {"glViewport", {0, 0, 238, 189}},
      {"glLoadIdentity", {}},
      {"glTranslatef", {0, -1, -6}},  // the idle camera
      {"glRotatef", {-30, 0, 1, 0}},
      {"glRotatef", {5, 1, 0, 0}},
      {"glPushMatrix", {}},  // the floor
      {"glTranslatef", {0, -0.5F, 0}},
      {"glBegin", {kPolygon}},
      {"glColor3f", {grey, grey, grey}},
      {"glNormal3f", {0, 1, 0}},
      {"glVertex3f", {1.5F, 0, 1.5F}},
      {"glVertex3f", {1.5F, 0, -1.5F}},
      {"glVertex3f", {-1.5F, 0, -1.5F}},
      {"glVertex3f", {-1.5F, 0, 1.5F}},
      {"glEnd", {}},
      {"glPopMatrix", {}},
      {"glPushMatrix", {}},  // the die
      {"glRotatef", {90, 0, 1, 0}},
      {"glTranslatef", {1.6F, -0.2F, -0.2F}},
      {"glRotatef", {20, 1, 0, 0}},  // the idle spin's first step
      {"glRotatef", {2, 0, 0, 1}},
      {"glRotatef", {0, 1, 0, 0}},  // no throw yet: vecAngle is zero
      {"glRotatef", {0, 0, 1, 0}},
      {"glRotatef", {0, 0, 0, 1}},
      {"glBegin", {kQuads}},  // DrawDie
  };
  ASSERT_GT(gl.size(), head.size());
  for (std::size_t i = 0; i < head.size(); ++i) {
    const Expected& e = head[i];
    bool same = gl[i].name == e.name && gl[i].args == e.args;
    EXPECT_TRUE(same) << "call " << i << ": expected " << e.name << ", got " << Describe(gl[i]);
  }

  // DrawDie's own calls, then the die's pop, the hDC read and the swap.
  const auto parts = SplitFrame();
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->die_begin, head.size() - 1);
  EXPECT_EQ(gl.Count("glVertex3f", parts->die_begin, parts->die_pop), 24U + 21U * 21U);
  EXPECT_EQ(parts->die_pop + 3, gl.size());
  EXPECT_EQ(gl[parts->die_pop + 1].name, "Picture1.hDC");
  EXPECT_TRUE(IsCall(gl[parts->die_pop + 2], "SwapBuffers", {static_cast<double>(kTestHdc)}));
  EXPECT_EQ(gl.modelview_depth(), 1U);
  EXPECT_FALSE(gl.in_primitive());
}

TEST(Frame, CleanViewportIsNeitherReadNorSet) {
  Harness h;
  h.Frame();  // dirty from Form_Load
  EXPECT_EQ(Gl().Count("glViewport"), 1U);
  for (int i = 0; i < 3; ++i) {
    h.Frame();
    EXPECT_EQ(Gl().Count("glViewport"), 0U);
    EXPECT_EQ(Gl().Count("Picture1.ScaleWidth") + Gl().Count("Picture1.ScaleHeight"), 0U);
    EXPECT_EQ(Gl().Count("Picture1.hDC"), 1U) << "hDC is read once in every frame";
  }
}

TEST(Frame, ViewportSizesRoundToNearestWithHalvesToEven) {
  struct Case {
    float width, height;
    double want_width, want_height;
  };
  for (const Case& c : {Case{2.5F, 3.5F, 2, 4}, Case{238.5F, 189.5F, 238, 190},
                        Case{480.49F, 0.5F, 480, 0}, Case{1.5F, 640.51F, 2, 641}}) {
    Harness h;
    h.runtime.picture.width = c.width;
    h.runtime.picture.height = c.height;
    h.Frame();
    const auto viewport = Gl().Find("glViewport");
    ASSERT_TRUE(viewport);
    EXPECT_TRUE(IsCall(Gl()[*viewport], "glViewport", {0, 0, c.want_width, c.want_height}))
        << "for a picture of " << c.width << " x " << c.height;
  }
}

TEST(Frame, CameraHoldsItsIdlePoseInFlightThenMovesInOver20Frames) {
  struct Case {
    std::int32_t d;  // 0: idle
    float ty, tz, ay, ax;
  };
  const Case cases[] = {
      {0, -1, -6, -30, 5},
      {1, -1, -6, -30, 5},
      {99, -1, -6, -30, 5},
      {100, -1, -6, -30, 5},
      {101, -0.975F, -5.8571429F, -28.5F, 7},
      {110, -0.75F, -4.5714288F, -15, 25},
      {119, -0.525F, -3.2857144F, -1.5F, 43},
      {120, -0.5F, -3.1428571F, 0, 45},
      {121, -0.5F, -3.1428571F, 0, 45},
      {1'000'000, -0.5F, -3.1428571F, 0, 45},
  };
  for (const Case& c : cases) {
    Harness h;
    if (c.d > 0) ThrowUnderWay(h, c.d);
    h.Frame();
    const auto parts = SplitFrame();
    ASSERT_TRUE(parts);
    const auto camera = parts->Camera();
    ASSERT_EQ(camera.size(), 3U) << "d = " << c.d;
    EXPECT_TRUE(IsCall(camera[0], "glTranslatef", {0, c.ty, c.tz})) << "d = " << c.d;
    EXPECT_TRUE(IsCall(camera[1], "glRotatef", {c.ay, 0, 1, 0})) << "d = " << c.d;
    EXPECT_TRUE(IsCall(camera[2], "glRotatef", {c.ax, 1, 0, 0})) << "d = " << c.d;
  }
}

TEST(Frame, FloorIsAGreySquareOfSideThreeHalfAUnitDownFacingUp) {
  Harness h;
  h.Frame();
  const auto parts = SplitFrame();
  ASSERT_TRUE(parts);
  const auto& gl = Gl();
  const Mat4 to_scene = parts->CameraMatrix().RigidInverse();
  const auto corners = gl.IndicesOf("glVertex3f", parts->floor_push, parts->floor_pop);
  ASSERT_EQ(corners.size(), 4U);
  std::vector<Vec3> scene;
  for (std::size_t i : corners) scene.push_back(to_scene.Point(gl.EyePosition(i)));
  for (const Vec3& p : scene) {
    EXPECT_NEAR(p.y, -0.5, 1e-6);
    EXPECT_NEAR(std::abs(p.x), 1.5, 1e-6);
    EXPECT_NEAR(std::abs(p.z), 1.5, 1e-6);
  }
  // Counterclockwise seen from above, at every corner.
  for (std::size_t i = 0; i < 4; ++i) {
    const Vec3 a = scene[(i + 1) % 4] - scene[i];
    const Vec3 b = scene[(i + 2) % 4] - scene[(i + 1) % 4];
    EXPECT_GT(a.Cross(b).y, 0) << "corner " << i;
  }
  // The floor's translation does not reach the die.
  EXPECT_EQ(gl[parts->die_push].modelview.m, parts->CameraMatrix().m);
}

TEST(Frame, ResetFrameRestartsTheIdleSpinKeepingTheLastOrientation) {
  Harness h;
  ThrowUnderWay(h, 150);
  h.state().vecAngle = {90, 0, 45};
  h.form.Picture1_MouseUp(kRightButton, 0, 10, 10);
  h.Frame();

  const FrameState& s = h.state();
  EXPECT_EQ(s.lngCount, (std::array<std::int32_t, 2>{1, 1}));
  EXPECT_FALSE(s.blnReset);
  EXPECT_FALSE(s.blnRolling);
  const auto parts = SplitFrame();
  ASSERT_TRUE(parts);
  EXPECT_TRUE(IsCall(parts->Camera()[0], "glTranslatef", {0, -1, -6}));
  const auto placement = parts->Placement();
  ASSERT_EQ(placement.size(), 7U);
  EXPECT_TRUE(IsCall(placement[2], "glRotatef", {20, 1, 0, 0}));
  EXPECT_TRUE(IsCall(placement[3], "glRotatef", {2, 0, 0, 1}));
  EXPECT_TRUE(IsCall(placement[4], "glRotatef", {90, 1, 0, 0}));
  EXPECT_TRUE(IsCall(placement[6], "glRotatef", {45, 0, 0, 1}));
}

TEST(Frame, ReleaseOfTheRightThenTheLeftButtonBeforeAFrameDrawsIdle) {
  Harness h;
  ThrowUnderWay(h, 30);
  h.form.Picture1_MouseUp(kRightButton, 0, 10, 10);
  h.runtime.random.queue = {0.99F, 0.2F};
  h.form.Picture1_MouseUp(kLeftButton, 0, 10, 10);
  h.Frame();
  EXPECT_FALSE(h.state().blnRolling);
  EXPECT_EQ(h.state().lngCount, (std::array<std::int32_t, 2>{1, 1}));
  const auto parts = SplitFrame();
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->Placement().size(), 7U) << "an idle die has no throw translation";
}

TEST(Frame, ThrowStartsAtOneAndEveryFrameCountsResizesIncluded) {
  Harness h;
  for (int i = 0; i < 5; ++i) h.Frame();
  h.runtime.random.queue = {0.5F, 0.5F};  // outcome 4, a turn of 45 degrees
  h.form.Picture1_MouseUp(kLeftButton, 0, 10, 10);

  const tVector four = FinalOrientation(4, 45);
  for (std::int32_t d = 1; d <= 3; ++d) {
    Gl().Reset();
    if (d == 2) {
      h.form.Form_Resize();
    } else {
      h.form.DrawFrame();
    }
    const auto parts = SplitFrame();
    ASSERT_TRUE(parts);
    const auto placement = parts->Placement();
    ASSERT_EQ(placement.size(), 9U);
    EXPECT_TRUE(
        IsCall(placement[2], "glTranslatef",
               {static_cast<float>(d * -0.02), placement[2].d(1), static_cast<float>(d * 0.003)}))
        << "d = " << d;
    EXPECT_TRUE(IsCall(placement[3], "glRotatef", {d * 10.0, 1, 0, 0}));
    EXPECT_TRUE(IsCall(placement[6], "glRotatef", {static_cast<float>(four.X), 1, 0, 0}));
    EXPECT_TRUE(IsCall(placement[7], "glRotatef", {static_cast<float>(four.Y), 0, 1, 0}));
    EXPECT_TRUE(IsCall(placement[8], "glRotatef", {static_cast<float>(four.Z), 0, 0, 1}));
  }
}

// How far a passed angle is from the true turn n × step, modulo a full turn.
double TurnGap(float passed, std::int64_t true_degrees) {
  double gap = std::fmod(static_cast<double>(passed) - static_cast<double>(true_degrees), 360.0);
  if (gap < 0) gap += 360;
  return std::min(gap, 360 - gap);
}

// Half the float spacing at a: the most a conversion to single precision moves it.
double HalfSpacing(float a) {
  const float m = std::abs(a);
  return (std::nextafter(m, std::numeric_limits<float>::infinity()) - m) / 2.0;
}

struct Spin {
  float about_x;
  float about_z;
};

Spin IdleSpinOf(const FrameParts& parts) {
  const auto placement = parts.Placement();
  EXPECT_EQ(placement.size(), 7U);
  return {placement[2].f(0), placement[3].f(0)};
}

// The spin is where n says, to the float it is passed as; where the angles
// are small enough to be exact, each frame turns exactly 20° and 2° more.
void ExpectSpinFollowsTheCount(Harness& h, int frames) {
  std::optional<Spin> last;
  for (int i = 0; i < frames; ++i) {
    ASSERT_NO_THROW(h.Frame()) << "frame " << i;
    const std::int32_t n = h.state().lngCount[0];
    ASSERT_EQ(h.state().lngCount[1], n);
    const auto parts = SplitFrame();
    ASSERT_TRUE(parts);
    const Spin spin = IdleSpinOf(*parts);
    EXPECT_LE(TurnGap(spin.about_x, std::int64_t{n} * 20), HalfSpacing(spin.about_x))
        << "n = " << n << ", angle about x " << spin.about_x;
    EXPECT_LE(TurnGap(spin.about_z, std::int64_t{n} * 2), HalfSpacing(spin.about_z))
        << "n = " << n << ", angle about z " << spin.about_z;
    if (last && std::abs(spin.about_x) < 16'777'216 && std::abs(last->about_x) < 16'777'216) {
      EXPECT_EQ(TurnGap(spin.about_x, std::int64_t{20} + static_cast<std::int64_t>(last->about_x)),
                0)
          << "n = " << n << ": " << last->about_x << " then " << spin.about_x;
    }
    if (last && std::abs(spin.about_z) < 16'777'216 && std::abs(last->about_z) < 16'777'216) {
      EXPECT_EQ(TurnGap(spin.about_z, std::int64_t{2} + static_cast<std::int64_t>(last->about_z)),
                0)
          << "n = " << n << ": " << last->about_z << " then " << spin.about_z;
    }
    last = spin;
  }
}

TEST(FrameLongRun, IdleSpinPassesTheLargestProductThatFitsAndKeepsTurning) {
  Harness h;
  h.state().lngCount = {107'374'180, 107'374'180};
  h.Frame();  // n = 107,374,181
  h.Frame();  // n = 107,374,182: 2,147,483,640 degrees, the last product that fits
  const auto parts = SplitFrame();
  ASSERT_TRUE(parts);
  EXPECT_EQ(IdleSpinOf(*parts).about_x, static_cast<float>(2'147'483'640));
  EXPECT_EQ(IdleSpinOf(*parts).about_z, static_cast<float>(214'748'364));
  ExpectSpinFollowsTheCount(h, 12);
}

TEST(FrameLongRun, IdleSpinCarriesOnWhenTheFrameCounterReachesItsLimit) {
  Harness h;
  h.state().lngCount = {kMax - 3, kMax - 3};
  ExpectSpinFollowsTheCount(h, 8);
  EXPECT_LT(h.state().lngCount[0], kMax) << "the counters moved back by whole spin periods";
}

TEST(FrameLongRun, ThrowInFlightCountsOnAcrossTheCounterLimit) {
  Harness h;
  h.state().blnRolling = true;
  h.state().blnThrown = true;
  h.state().lngCount = {kMax - 10, kMax - 30};
  for (std::int32_t d = 21; d <= 40; ++d) {
    ASSERT_NO_THROW(h.Frame()) << "d = " << d;
    const auto& count = h.state().lngCount;
    EXPECT_EQ(count[0] - count[1], d);
    EXPECT_GE(count[1], 0);
    const auto parts = SplitFrame();
    ASSERT_TRUE(parts);
    const auto placement = parts->Placement();
    ASSERT_EQ(placement.size(), 9U);
    EXPECT_EQ(placement[2].f(0), static_cast<float>(d * -0.02)) << "d = " << d;
    EXPECT_EQ(placement[3].f(0), static_cast<float>(d * 10)) << "d = " << d;
  }
}

TEST(FrameLongRun, FinalViewHoldsStillAtTheCounterLimit) {
  Harness h;
  h.state().blnRolling = true;
  h.state().blnThrown = true;
  h.state().vecAngle = FinalOrientation(3, 12);
  h.state().lngCount = {kMax - 2, 5};
  std::vector<GlCall> first;
  for (int i = 0; i < 10; ++i) {
    ASSERT_NO_THROW(h.Frame()) << "frame " << i;
    const auto parts = SplitFrame();
    ASSERT_TRUE(parts);
    std::vector<GlCall> pose(parts->Camera().begin(), parts->Camera().end());
    pose.insert(pose.end(), parts->Placement().begin(), parts->Placement().end());
    ASSERT_EQ(pose.size(), 3U + 6U) << "camera and a die at rest";
    if (first.empty()) {
      first = pose;
      EXPECT_TRUE(IsCall(pose[0], "glTranslatef", {0, -0.5F, -3.1428571F}));
      continue;
    }
    for (std::size_t k = 0; k < pose.size(); ++k) {
      EXPECT_EQ(pose[k].args, first[k].args) << "frame " << i << ": " << Describe(pose[k]);
    }
  }
  EXPECT_EQ(h.state().lngCount[0], kMax);
}

}  // namespace
}  // namespace kalvo::testing
