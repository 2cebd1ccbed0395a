// Where the die is: the base placement, the idle spin, the three arcs of a
// throw and the rest, as GlScene passes them to OpenGL and as they land in
// the scene.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "render/trajectory.h"
#include "roll/roll.h"
#include "tests/render/scene_harness.h"
#include "tests/render/stream_expect.h"

namespace kalvo::testing {
namespace {

void ExpectBasePlacement(std::span<const GlCall> placement) {
  ASSERT_GE(placement.size(), 2U);
  EXPECT_TRUE(IsCall(placement[0], "glRotatef", {90, 0, 1, 0}));
  EXPECT_TRUE(IsCall(placement[1], "glTranslatef", {1.6F, -0.2F, -0.2F}));
}

void ExpectFinalOrientation(std::span<const GlCall> placement, const tVector& v) {
  ASSERT_GE(placement.size(), 3U);
  const auto n = placement.size();
  EXPECT_TRUE(IsCall(placement[n - 3], "glRotatef", {static_cast<float>(v.X), 1, 0, 0}));
  EXPECT_TRUE(IsCall(placement[n - 2], "glRotatef", {static_cast<float>(v.Y), 0, 1, 0}));
  EXPECT_TRUE(IsCall(placement[n - 1], "glRotatef", {static_cast<float>(v.Z), 0, 0, 1}));
}

TEST(DiePlacement, ThrowFollowsTheScriptedArcsAndChangesPhaseWithoutSmoothing) {
  struct Case {
    double d;
    double x, y, z;  // the table's values; y of the arcs' ends is tiny, not zero
    float turn_x, turn_y, turn_z;
  };
  const Case cases[] = {
      {1, -0.02, 0.1568, 0.003, 10, 5, 1},      {25, -0.5, 2, 0.075, 250, 125, 25},
      {49, -0.98, 0.1568, 0.147, 490, 245, 49}, {50, -1, 0.001, 0.15, -500, -250, -50},
      {65, -1.3, 1, 0.195, -650, -325, -65},    {79, -1.58, 0.12976, 0.237, -790, -395, -79},
      {80, -1.6, -5.6e-17, 0.24, 800, 400, 80}, {90, -1.8, 0.4, 0.27, 900, 450, 90},
      {99, -1.98, 0.076, 0.297, 990, 495, 99},
  };
  const tVector angle{180, 33, 0};
  for (const Case& c : cases) {
    const FrameParts parts = DrawView(ViewAt(c.d, 5000, angle));
    const auto placement = parts.Placement();
    ASSERT_EQ(placement.size(), 9U) << "d = " << c.d;
    ExpectBasePlacement(placement);
    const GlCall& move = placement[2];
    ASSERT_EQ(move.name, "glTranslatef");
    EXPECT_FLOAT_EQ(move.f(0), static_cast<float>(c.x)) << "d = " << c.d;
    EXPECT_FLOAT_EQ(move.f(2), static_cast<float>(c.z)) << "d = " << c.d;
    if (std::abs(c.y) < 1e-10) {
      // Only the exact order of additions gives these leftovers, sign included.
      EXPECT_NEAR(move.f(1), c.y, 0.05e-17) << "d = " << c.d;
    } else {
      EXPECT_FLOAT_EQ(move.f(1), static_cast<float>(c.y)) << "d = " << c.d;
    }
    EXPECT_TRUE(IsCall(placement[3], "glRotatef", {c.turn_x, 1, 0, 0})) << "d = " << c.d;
    EXPECT_TRUE(IsCall(placement[4], "glRotatef", {c.turn_y, 0, 1, 0})) << "d = " << c.d;
    EXPECT_TRUE(IsCall(placement[5], "glRotatef", {c.turn_z, 0, 0, 1})) << "d = " << c.d;
    ExpectFinalOrientation(placement, angle);
  }
}

TEST(DiePlacement, RestingDieHasOneFixedPlacementHoweverLongTheViewLasts) {
  const tVector angle = FinalOrientation(6, 71);
  std::vector<double> first;
  for (double d : {100.0, 101.0, 119.0, 120.0, 5000.0, 1e6, 2147483647.0}) {
    const auto placement = DrawView(ViewAt(d, 4000, angle)).Placement();
    ASSERT_EQ(placement.size(), 6U) << "d = " << d << ": no tumbling at rest";
    ExpectBasePlacement(placement);
    ASSERT_EQ(placement[2].name, "glTranslatef");
    EXPECT_EQ(placement[2].f(0), -2.0F);
    EXPECT_NEAR(placement[2].f(1), 4.4e-16, 0.05e-16);
    EXPECT_EQ(placement[2].f(2), 0.3F);
    ExpectFinalOrientation(placement, angle);
    if (first.empty()) first = placement[2].args;
    EXPECT_EQ(placement[2].args, first) << "d = " << d;
  }
}

TEST(DiePlacement, IdleSpinTurnsTwentyAndTwoDegreesAFrameWithTheLastOrientation) {
  struct Case {
    std::int32_t n;
    float about_x, about_z;
  };
  const tVector last_throw{0, 45, -90};
  for (const Case& c : {Case{1, 20, 2}, Case{18, 360, 36}, Case{180, 3600, 360}}) {
    const auto placement = DrawView(ViewAt(0, c.n, last_throw)).Placement();
    ASSERT_EQ(placement.size(), 7U) << "n = " << c.n << ": no translation while idle";
    ExpectBasePlacement(placement);
    EXPECT_TRUE(IsCall(placement[2], "glRotatef", {c.about_x, 1, 0, 0})) << "n = " << c.n;
    EXPECT_TRUE(IsCall(placement[3], "glRotatef", {c.about_z, 0, 0, 1})) << "n = " << c.n;
    ExpectFinalOrientation(placement, last_throw);
  }
}

TEST(DiePlacement, IdleSpinAngleIsExactWhileItFitsThenTheRemainderOfATurn) {
  EXPECT_EQ(IdleSpinAngle(107'374'182, 20), static_cast<float>(2'147'483'640));
  EXPECT_EQ(IdleSpinAngle(107'374'183, 20), 140.0F);  // 2,147,483,660 mod 360
  EXPECT_EQ(IdleSpinAngle(107'374'184, 20), 160.0F);
  EXPECT_EQ(IdleSpinAngle(2'147'483'647, 2), 254.0F);  // 4,294,967,294 mod 360
  EXPECT_EQ(IdleSpinAngle(1'073'741'823, 2), 2'147'483'646.0F);
}

TEST(DiePlacement, DieTravelsTowardsTheViewerAndComesToRestAboveTheFloor) {
  // The die's centre in the frame the floor is drawn in.
  struct Case {
    double d;
    Vec3 centre;
  };
  const Case cases[] = {
      {0, {-0.2, -0.2, -1.6}},
      {1, {-0.2 + 0.003, -0.2 + 0.1568, -1.6 + 0.02}},
      {25, {-0.2 + 0.075, -0.2 + 2, -1.6 + 0.5}},
      {65, {-0.2 + 0.195, -0.2 + 1, -1.6 + 1.3}},
      {90, {-0.2 + 0.27, -0.2 + 0.4, -1.6 + 1.8}},
      {100, {0.1, -0.2, 0.4}},
      {250, {0.1, -0.2, 0.4}},
  };
  for (const Case& c : cases) {
    for (std::int32_t n : {1, 77}) {
      const FrameParts parts = DrawView(ViewAt(c.d, n, FinalOrientation(2, 30)));
      const Vec3 centre = parts.ModelToScene({0, 0, 0});
      EXPECT_NEAR(centre.x, c.centre.x, 1e-5) << "d = " << c.d;
      EXPECT_NEAR(centre.y, c.centre.y, 1e-5) << "d = " << c.d;
      EXPECT_NEAR(centre.z, c.centre.z, 1e-5) << "d = " << c.d;
    }
  }
}

// The discs drawn in the recorded DrawDie, each by its outward normal in the
// scene and its colour.
struct Disc {
  Vec3 normal;
  float red;
};

std::vector<Disc> DiscsInScene(const FrameParts& parts) {
  const auto& gl = Gl();
  const Mat4 to_scene = parts.CameraMatrix().RigidInverse();
  std::vector<Disc> discs;
  for (std::size_t begin : gl.IndicesOf("glBegin", parts.die_begin + 1, parts.die_pop)) {
    const auto normal = gl.Find("glNormal3f", begin);
    const auto colour = gl.Find("glColor3fv", begin);
    if (!normal || !colour) continue;
    const GlCall& n = gl[*normal];
    const Vec3 eye = n.modelview.Direction({n.d(0), n.d(1), n.d(2)});
    discs.push_back({to_scene.Direction(eye), gl[*colour].f(0)});
  }
  return discs;
}

TEST(DiePlacement, ResultOfEveryOutcomeLiesUppermostAtRest) {
  for (std::int16_t outcome = 1; outcome <= 6; ++outcome) {
    for (double spin : {0.0, 45.0, 89.0}) {
      const FrameParts parts = DrawView(ViewAt(130, 300, FinalOrientation(outcome, spin)));
      const auto discs = DiscsInScene(parts);
      ASSERT_EQ(discs.size(), 21U);
      int up = 0;
      int red_up = 0;
      for (const Disc& disc : discs) {
        if (disc.normal.y > 0.999) {
          ++up;
          if (disc.red == 1.0F) ++red_up;
        } else {
          // Every other side stands upright or faces the floor.
          EXPECT_LT(disc.normal.y, 1e-5) << "outcome " << outcome << ", spin " << spin;
        }
      }
      EXPECT_EQ(up, outcome) << "pips facing up, outcome " << outcome << ", spin " << spin;
      EXPECT_EQ(red_up, outcome == 1 ? 1 : 0) << "outcome " << outcome;
    }
  }
}

}  // namespace
}  // namespace kalvo::testing
