// The scene as the recorded GL stream shows it: the camera path, the die's
// placement along the throw, the die model, and a frame put together.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "app/input.h"
#include "render/camera.h"
#include "render/die_model.h"
#include "render/trajectory.h"
#include "roll/roll.h"
#include "tests/support/fakes.h"

namespace kalvo {
namespace {

using testing::Gl;
using testing::GlCall;
using testing::Mat4;
using testing::Vec3;

double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TEST(Camera, HoldsItsIdlePoseInFlightThenMovesInOverTwentyFrames) {
  struct Row {
    bool rolling;
    double d;
    float ty, tz, ay, ax;
  };
  const Row rows[] = {{false, 0, -1, -6, -30, 5},
                      {true, 1, -1, -6, -30, 5},
                      {true, 99, -1, -6, -30, 5},
                      {true, 100, -1, -6, -30, 5},
                      {true, 101, -0.975F, -5.8571429F, -28.5F, 7},
                      {true, 110, -0.75F, -4.5714288F, -15, 25},
                      {true, 119, -0.525F, -3.2857144F, -1.5F, 43},
                      {true, 120, -0.5F, -3.1428571F, 0, 45},
                      {true, 1e6, -0.5F, -3.1428571F, 0, 45}};
  for (const Row& r : rows) {
    const CameraPose pose = CameraFor(r.rolling, r.d);
    EXPECT_FLOAT_EQ(static_cast<float>(pose.ty), r.ty) << "d = " << r.d;
    EXPECT_FLOAT_EQ(static_cast<float>(pose.tz), r.tz) << "d = " << r.d;
    EXPECT_FLOAT_EQ(static_cast<float>(pose.ay), r.ay) << "d = " << r.d;
    EXPECT_FLOAT_EQ(static_cast<float>(pose.ax), r.ax) << "d = " << r.d;
  }
}

// Each row: the throw's translation and tumbling at the edges of its phases;
// no frame smooths a change of phase.
TEST(DiePlacement, ThrowFollowsItsArcsAndLiesStillFromFrame100) {
  struct Row {
    double d;
    float x, y, z, tumble;  // tumbling: tumble × 10 about x, × 5 about y, × 1 about z
  };
  const Row rows[] = {
      {1, -0.02F, 0.1568F, 0.003F, 1},    {25, -0.5F, 2, 0.075F, 25},
      {49, -0.98F, 0.1568F, 0.147F, 49},  {50, -1, 0.001F, 0.15F, -50},
      {65, -1.3F, 1, 0.195F, -65},        {79, -1.58F, 0.12976F, 0.237F, -79},
      {80, -1.6F, -5.55e-17F, 0.24F, 80}, {90, -1.8F, 0.4F, 0.27F, 90},
      {99, -1.98F, 0.076F, 0.297F, 99},   {100, -2, 4.44e-16F, 0.3F, 0},
      {1e7, -2, 4.44e-16F, 0.3F, 0},
  };
  const tVector angle{180, 45, -90};
  for (const Row& r : rows) {
    const DiePlacement p = DiePlacementFor(r.d, 12345, angle);
    ASSERT_EQ(p.size(), r.tumble == 0 ? 6U : 9U) << "d = " << r.d;
    EXPECT_EQ(p[0], GlTransform::Rotate(90, 0, 1, 0));
    EXPECT_EQ(p[1], GlTransform::Translate(1.6F, -0.2F, -0.2F));
    EXPECT_EQ(p[2].kind, GlTransform::Kind::kTranslate);
    EXPECT_FLOAT_EQ(p[2].x, r.x) << "d = " << r.d;
    EXPECT_NEAR(p[2].y, r.y, std::fabs(r.y) * 1e-2) << "d = " << r.d;
    EXPECT_FLOAT_EQ(p[2].z, r.z) << "d = " << r.d;
    if (r.tumble != 0) {
      EXPECT_EQ(p[3], GlTransform::Rotate(r.tumble * 10, 1, 0, 0)) << "d = " << r.d;
      EXPECT_EQ(p[4], GlTransform::Rotate(r.tumble * 5, 0, 1, 0)) << "d = " << r.d;
      EXPECT_EQ(p[5], GlTransform::Rotate(r.tumble, 0, 0, 1)) << "d = " << r.d;
    }
    const std::size_t last = p.size() - 3;
    EXPECT_EQ(p[last], GlTransform::Rotate(180, 1, 0, 0)) << "the final orientation, x first";
    EXPECT_EQ(p[last + 1], GlTransform::Rotate(45, 0, 1, 0));
    EXPECT_EQ(p[last + 2], GlTransform::Rotate(-90, 0, 0, 1));
  }
}

// 20° about x and 2° about z a frame, handed over reduced to [0, 360) so
// that a float holds them exactly however long the die has spun.
TEST(DiePlacement, IdleSpinTurnsTwentyAndTwoDegreesAFrameAtAnyCount) {
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  const std::int32_t rows[][3] = {{1, 20, 2},     {17, 340, 34},        {18, 0, 36},
                                  {180, 0, 0},    {107374182, 120, 84}, {most - 1, 0, 252},
                                  {most, 20, 254}};
  for (const auto& [n, about_x, about_z] : rows) {
    const DiePlacement p = DiePlacementFor(0, n, tVector{});
    ASSERT_EQ(p.size(), 7U);
    EXPECT_EQ(p[2], GlTransform::Rotate(float(about_x), 1, 0, 0)) << "n = " << n;
    EXPECT_EQ(p[3], GlTransform::Rotate(float(about_z), 0, 0, 1)) << "n = " << n;
  }
}

// One pip disc as drawn: its centre and normal in eye space, its colour.
struct Disc {
  Vec3 centre, normal;
  double radius = 0;
  std::vector<double> colour;
};

std::vector<Disc> Discs() {
  std::vector<Disc> discs;
  const auto& calls = Gl().calls;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].name != "glBegin" || calls[i].args[0] != GL_POLYGON) continue;
    std::vector<Vec3> rim;
    Disc disc;
    for (++i; calls[i].name != "glEnd"; ++i) {
      if (calls[i].name == "glColor3fv") disc.colour = calls[i].args;
      if (calls[i].name == "glNormal3f") disc.normal = calls[i].modelview.Direction({0, 0, 1});
      if (calls[i].name == "glVertex3f") rim.push_back(calls[i].Vertex());
    }
    if (rim.size() != 21) continue;  // the floor
    for (std::size_t k = 0; k < 20; ++k) {
      disc.centre = {disc.centre.x + rim[k].x / 20, disc.centre.y + rim[k].y / 20,
                     disc.centre.z + rim[k].z / 20};
    }
    const Vec3 spoke = rim[0] - disc.centre;
    disc.radius = std::sqrt(Dot(spoke, spoke));
    discs.push_back(disc);
  }
  return discs;
}

TEST(DieModel, SixTintedSidesAndTwentyOnePipsJustOutsideThem) {
  Gl().Clear();
  DrawDie({0, 0, 0, 1}, {1, 0, 0, 1});
  EXPECT_EQ(Gl().modelview.size(), 1U);
  const auto corners = Gl().Named("glVertex3f");
  const auto normals = Gl().Named("glNormal3f");
  const auto tints = Gl().Named("glColor3f");
  ASSERT_EQ(tints.size(), 6U);
  EXPECT_EQ(Gl().calls[0].args, std::vector<double>{GL_QUADS});
  const float g = 208.0F / 255.0F;
  // Face 1 on +Z, 2 on -Y, 3 on +X, 4 on -X, 5 on +Y, 6 on -Z.
  const struct {
    Vec3 normal;
    std::vector<double> tint;
    std::size_t pips;
    double radius;
  } sides[] = {{{0, 0, 1}, {g, 1, g}, 1, 0.1},  {{0, -1, 0}, {1, g, g}, 2, 0.06},
               {{1, 0, 0}, {g, g, 1}, 3, 0.05}, {{-1, 0, 0}, {g, g, 1}, 4, 0.05},
               {{0, 1, 0}, {1, g, g}, 5, 0.05}, {{0, 0, -1}, {g, 1, g}, 6, 0.05}};
  for (std::size_t q = 0; q < 6; ++q) {
    const Vec3 n{normals[q].args[0], normals[q].args[1], normals[q].args[2]};
    for (std::size_t k = 0; k < 4; ++k) {
      const Vec3 c = corners[4 * q + k].Vertex();
      const Vec3 edge = corners[4 * q + (k + 1) % 4].Vertex() - c;  // round the rim, not across
      EXPECT_NEAR(Dot(c, n), 0.2, 1e-6) << "side " << q << " corner " << k;
      EXPECT_NEAR(std::fabs(c.x) + std::fabs(c.y) + std::fabs(c.z), 0.6, 1e-6);
      EXPECT_NEAR(Dot(edge, edge), 0.16, 1e-6) << "side " << q << " corner " << k;
    }
    bool found = false;
    for (const auto& side : sides)
      found = found || (Dot(side.normal, n) > 0.99 && side.tint == tints[q].args);
    EXPECT_TRUE(found) << "side " << q << " has the tint of its pair";
  }
  const std::vector<Disc> discs = Discs();
  ASSERT_EQ(discs.size(), 21U);
  for (const auto& side : sides) {
    std::size_t on_side = 0;
    for (const Disc& d : discs) {
      if (Dot(d.normal, side.normal) < 0.999) continue;
      ++on_side;
      EXPECT_NEAR(Dot(d.centre, side.normal), 0.21, 1e-6);
      EXPECT_NEAR(d.radius, side.radius, 1e-6);
      EXPECT_EQ(d.colour,
                (side.pips == 1 ? std::vector<double>{1, 0, 0} : std::vector<double>{0, 0, 0}));
    }
    EXPECT_EQ(on_side, side.pips);
  }
  // Face 6's first pip, (0.12, 0.08) on its own frame, lands at (0.12, -0.08, -0.21).
  const Vec3 six = discs[15].centre;
  EXPECT_NEAR(six.x, 0.12, 1e-6);
  EXPECT_NEAR(six.y, -0.08, 1e-6);
  const Vec3 two = discs[1].centre;  // face 2's first, (0.1, 0.07), at (0.1, -0.21, 0.07)
  EXPECT_NEAR(two.x, 0.1, 1e-6);
  EXPECT_NEAR(two.z, 0.07, 1e-6);
}

TEST(DieModel, EachDiscRunsRoundFromItsRightmostPointAndBadCountsDrawNothing) {
  Gl().Clear();
  DrawPip(0.5F, 0, 0.25F, 0.1F, {0.25F, 0.5F, 0.75F, 1}, 20);
  const auto rim = Gl().Named("glVertex3f");
  ASSERT_EQ(rim.size(), 21U);
  EXPECT_EQ(rim[0].args, (std::vector<double>{0.6F, 0, 0.25F}));
  EXPECT_FLOAT_EQ(float(rim[5].args[1]), 0.1F) << "a quarter turn on, counterclockwise";
  EXPECT_FLOAT_EQ(float(rim[20].args[0]), 0.6F);
  EXPECT_LT(rim[20].args[1], 0) << "a hair short of the full turn";
  EXPECT_EQ(Gl().Named("glMaterialfv")[20].args,
            (std::vector<double>{GL_FRONT, GL_SPECULAR, 0.25, 0.5, 0.75, 1}));
  for (std::int16_t segments : {std::int16_t{0}, std::int16_t{-3}}) {
    Gl().Clear();
    DrawPip(0, 0, 0, 1, {}, segments);
    EXPECT_EQ(Gl().calls.size(), 2U) << segments << ": glBegin and glEnd only";
  }
  for (const int face : {0, 7, -1}) {
    Gl().Clear();
    DrawPips(static_cast<std::int16_t>(face), {}, {});
    EXPECT_EQ(Gl().calls.size(), 2U) << face << ": a push and a pop only";
  }
}

TEST(Frame, ClearsSetsTheViewportAndDrawsFloorAndDieUnderTheCamera) {
  testing::Window w;
  w.runtime.Start();
  w.random.queue = {0.7F, 0.34F};  // outcome 5, a spin of 30
  w.Click(kLeftButton);
  w.Click(kRightButton);  // idle again, turned as thrown
  ASSERT_EQ(w.state().vecAngle, (tVector{0, 30, 0}));
  Gl().calls.clear();
  w.backend.shape.width = 300;
  w.runtime.Handle(ShapeChanged{});
  const auto& calls = Gl().calls;
  ASSERT_GT(calls.size(), 4U);
  EXPECT_EQ(calls[0].name + calls[1].name + calls[2].name + calls[3].name,
            "glClearColorglClearglViewportglLoadIdentity");
  EXPECT_EQ(calls[0].args, (std::vector<double>{0, 0, 0, 1}));
  EXPECT_EQ(calls[1].args, std::vector<double>{GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT});
  EXPECT_EQ(Gl().modelview.size(), 1U) << "every push popped";

  const CameraPose pose = CameraFor(false, 0);
  const Mat4 camera = testing::Translation(0, float(pose.ty), float(pose.tz)) *
                      testing::Rotation(float(pose.ay), 0, 1, 0) *
                      testing::Rotation(float(pose.ax), 1, 0, 0);
  const auto floor = Gl().Named("glVertex3f");
  const Vec3 floor_corners[] = {
      {1.5, -0.5, 1.5}, {1.5, -0.5, -1.5}, {-1.5, -0.5, -1.5}, {-1.5, -0.5, 1.5}};
  for (std::size_t k = 0; k < 4; ++k) {
    const Vec3 off = floor[k].Vertex() - camera.Point(floor_corners[k]);
    EXPECT_NEAR(Dot(off, off), 0, 1e-10) << "floor corner " << k;
  }
  const float grey = 128.0F / 255.0F;
  EXPECT_EQ(Gl().Named("glColor3f")[0].args, (std::vector<double>{grey, grey, grey}));
  EXPECT_EQ(Gl().Named("glNormal3f")[0].args, (std::vector<double>{0, 1, 0}));

  Mat4 die = camera;
  for (const GlTransform& t : DiePlacementFor(0, 1, w.state().vecAngle)) {
    die = die * (t.kind == GlTransform::Kind::kRotate ? testing::Rotation(t.angle, t.x, t.y, t.z)
                                                      : testing::Translation(t.x, t.y, t.z));
  }
  const Mat4 drawn = Gl().Named("glVertex3f")[4].modelview;
  for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(drawn.m[i], die.m[i], 1e-5) << i;
}

// At rest the top face, the one the camera looks down on, is the outcome's.
TEST(Frame, EveryOutcomeComesToRestFaceUpWhateverItsSpin) {
  for (std::int16_t outcome = 1; outcome <= 6; ++outcome) {
    for (double spin : {0.0, 45.0, 89.0}) {
      Gl().calls.clear();
      DrawScene({.dblElapsed = 150,
                 .lngCount0 = 250,
                 .blnRolling = true,
                 .vecAngle = FinalOrientation(outcome, spin),
                 .sngBlack = {0, 0, 0, 1},
                 .sngRed = {1, 0, 0, 1}});
      const Vec3 up = Gl().Named("glVertex3f")[0].modelview.Direction({0, 1, 0});
      int facing_up = 0;
      int red = 0;
      for (const Disc& d : Discs()) {
        const double along = Dot(d.normal, up);
        EXPECT_TRUE(std::fabs(along) > 0.999 || std::fabs(along) < 1e-6) << "level sides";
        facing_up += along > 0.999 ? 1 : 0;
        red += along > 0.999 && d.colour[0] == 1 ? 1 : 0;
      }
      EXPECT_EQ(facing_up, outcome) << "spin " << spin;
      EXPECT_EQ(red, outcome == 1 ? 1 : 0) << "spin " << spin;
    }
  }
}

}  // namespace
}  // namespace kalvo
