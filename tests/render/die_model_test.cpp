// The die in its own model space: the sides and their tints, where every pip
// lands and which way it faces, and the disc drawer at its edges.
#include "render/die_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tests/render/stream_expect.h"
#include "tests/support/gl_recorder.h"

namespace kalvo::testing {
namespace {

constexpr double kPolygon = 9;
constexpr double kQuads = 7;
constexpr double kFront = 1028;
constexpr double kSpecular = 4610;
const Colour kBlack{0, 0, 0, 1};
const Colour kRed{1, 0, 0, 1};
const float G = 0.815686285F;  // 208/255

// A disc as recorded: its rim in model space (the modelview starts as
// identity), its normal and its colour.
struct RecordedDisc {
  std::vector<Vec3> rim;
  Vec3 normal;
  std::vector<double> colour;  // as glColor3fv passed it

  Vec3 Centre() const {  // the last vertex repeats the first
    Vec3 sum;
    for (std::size_t i = 0; i + 1 < rim.size(); ++i) sum = sum + rim[i];
    return sum * (1.0 / static_cast<double>(rim.size() - 1));
  }
};

std::vector<RecordedDisc> Discs() {
  const auto& gl = Gl();
  std::vector<RecordedDisc> discs;
  for (std::size_t begin : gl.IndicesOf("glBegin")) {
    if (gl[begin].d(0) != kPolygon) continue;
    RecordedDisc disc;
    const std::size_t end = *gl.Find("glEnd", begin);
    for (std::size_t i : gl.IndicesOf("glVertex3f", begin, end)) {
      disc.rim.push_back(gl.EyePosition(i));
      const GlCall& n = gl[i - 1];
      disc.normal = n.modelview.Direction({n.d(0), n.d(1), n.d(2)});
      disc.colour = gl[i - 2].args;
    }
    discs.push_back(disc);
  }
  return discs;
}

TEST(DieModel, DrawsTwentyFourCornersAndTwentyOneDiscsOfTwentyOneVertices) {
  Gl().Reset();
  DrawDie(kBlack, kRed);
  const auto& gl = Gl();
  ASSERT_TRUE(gl.problems().empty()) << gl.problems().front();
  EXPECT_EQ(gl.modelview_depth(), 1U);
  EXPECT_EQ(gl.modelview().m, Mat4::Identity().m) << "DrawDie leaves the matrix as it found it";

  const auto begins = gl.IndicesOf("glBegin");
  ASSERT_EQ(begins.size(), 22U);
  EXPECT_EQ(begins.front(), 0U);
  EXPECT_EQ(gl[0].d(0), kQuads);
  const std::size_t quads_end = *gl.Find("glEnd");
  EXPECT_EQ(gl.Count("glVertex3f", 0, quads_end), 24U);

  for (std::size_t k = 1; k < begins.size(); ++k) {
    const std::size_t begin = begins[k];
    ASSERT_EQ(gl[begin].d(0), kPolygon);
    const std::size_t end = *gl.Find("glEnd", begin);
    ASSERT_EQ(end - begin - 1, 21U * 4U) << "disc " << k;
    for (std::size_t v = begin + 1; v < end; v += 4) {
      const Colour& colour = k == 1 ? kRed : kBlack;
      EXPECT_TRUE(IsCall(gl[v], "glMaterialfv",
                         {kFront, kSpecular, colour[0], colour[1], colour[2], colour[3]}));
      EXPECT_TRUE(IsCall(gl[v + 1], "glColor3fv", {colour[0], colour[1], colour[2]}));
      EXPECT_TRUE(IsCall(gl[v + 2], "glNormal3f", {0, 0, 1}));
      EXPECT_EQ(gl[v + 3].name, "glVertex3f");
    }
  }
}

TEST(DieModel, OppositeSidesShareTheirTintAndEverySideFacesOutward) {
  Gl().Reset();
  DrawDie(kBlack, kRed);
  const auto& gl = Gl();
  struct Side {
    Vec3 normal;
    std::array<float, 3> tint;
  };
  const Side sides[] = {
      {{0, 0, 1}, {G, 1, G}},   // face 1, pale green
      {{0, 0, -1}, {G, 1, G}},  // face 6
      {{0, 1, 0}, {1, G, G}},   // face 5, pale red
      {{0, -1, 0}, {1, G, G}},  // face 2
      {{1, 0, 0}, {G, G, 1}},   // face 3, pale blue
      {{-1, 0, 0}, {G, G, 1}},  // face 4
  };
  EXPECT_EQ(G, static_cast<float>(208.0 / 255.0));
  const std::size_t end = *gl.Find("glEnd");
  const auto colours = gl.IndicesOf("glColor3f", 0, end);
  ASSERT_EQ(colours.size(), 6U);
  for (std::size_t s = 0; s < 6; ++s) {
    const std::size_t at = colours[s];
    const Side& side = sides[s];
    EXPECT_TRUE(IsCall(gl[at], "glColor3f", {side.tint[0], side.tint[1], side.tint[2]}));
    EXPECT_TRUE(IsCall(gl[at + 1], "glNormal3f", {side.normal.x, side.normal.y, side.normal.z}));
    std::vector<Vec3> corners;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
      ASSERT_EQ(gl[i].name, "glVertex3f");
      corners.push_back({gl[i].d(0), gl[i].d(1), gl[i].d(2)});
      for (double c : gl[i].args) EXPECT_EQ(std::abs(c), 0.2F) << Describe(gl[i]);
      EXPECT_EQ(corners.back().Dot(side.normal), static_cast<double>(0.2F));
    }
    // Four different corners going round the side, not across it.
    for (std::size_t i = 0; i < 4; ++i) {
      const double edge = (corners[(i + 1) % 4] - corners[i]).Length();
      EXPECT_NEAR(edge, 0.4, 1e-6) << "side " << s << ", corner " << i;
    }
  }
}

TEST(DieModel, EveryPipLiesJustOutsideItsSideFacingOutward) {
  Gl().Reset();
  DrawDie(kBlack, kRed);
  const auto discs = Discs();
  ASSERT_EQ(discs.size(), 21U);

  // Model-space centres in drawing order, worked by hand from the face
  // layouts: face 2 maps (x, y) to (x, -0.21, y), 3 to (0.21, y, -x),
  // 4 to (-0.21, y, x), 5 to (x, 0.21, -y), 6 to (x, -y, -0.21).
  struct Pip {
    Vec3 centre;
    double radius;
  };
  const Pip pips[] = {
      {{0, 0, 0.21}, 0.1},           {{0.1, -0.21, 0.07}, 0.06},   {{-0.1, -0.21, -0.07}, 0.06},
      {{0.21, 0.08, -0.11}, 0.05},   {{0.21, 0, 0}, 0.05},         {{0.21, -0.08, 0.11}, 0.05},
      {{-0.21, 0.08, 0.09}, 0.05},   {{-0.21, -0.08, 0.09}, 0.05}, {{-0.21, 0.08, -0.09}, 0.05},
      {{-0.21, -0.08, -0.09}, 0.05}, {{0.11, 0.21, -0.09}, 0.05},  {{0.11, 0.21, 0.09}, 0.05},
      {{0, 0.21, 0}, 0.05},          {{-0.11, 0.21, -0.09}, 0.05}, {{-0.11, 0.21, 0.09}, 0.05},
      {{0.12, -0.08, -0.21}, 0.05},  {{0, -0.08, -0.21}, 0.05},    {{-0.12, -0.08, -0.21}, 0.05},
      {{0.12, 0.08, -0.21}, 0.05},   {{0, 0.08, -0.21}, 0.05},     {{-0.12, 0.08, -0.21}, 0.05},
  };
  for (std::size_t k = 0; k < discs.size(); ++k) {
    const RecordedDisc& disc = discs[k];
    const Pip& want = pips[k];
    const Vec3 centre = disc.Centre();
    EXPECT_NEAR((centre - want.centre).Length(), 0, 1e-6)
        << "pip " << k << " at (" << centre.x << ", " << centre.y << ", " << centre.z << ")";
    // Outward: the normal is the side's, and the centre is 0.21 along it.
    const Vec3 outward = want.centre * (1 / 0.21);
    const double axis =
        std::max({std::abs(want.centre.x), std::abs(want.centre.y), std::abs(want.centre.z)});
    ASSERT_EQ(axis, 0.21) << "pip " << k;
    Vec3 side_normal;
    if (std::abs(want.centre.x) == axis) side_normal = {outward.x > 0 ? 1.0 : -1.0, 0, 0};
    if (std::abs(want.centre.y) == axis) side_normal = {0, outward.y > 0 ? 1.0 : -1.0, 0};
    if (std::abs(want.centre.z) == axis) side_normal = {0, 0, outward.z > 0 ? 1.0 : -1.0};
    EXPECT_NEAR(disc.normal.Dot(side_normal), 1, 1e-6) << "pip " << k;
    for (std::size_t i = 0; i < disc.rim.size(); ++i) {
      const Vec3 spoke = disc.rim[i] - centre;
      EXPECT_NEAR(spoke.Length(), want.radius, 1e-6) << "pip " << k << ", vertex " << i;
      EXPECT_NEAR(spoke.Dot(side_normal), 0, 1e-6) << "pip " << k << ", vertex " << i;
      // Inside the side's square, with room for the whole disc.
      const Vec3 on_side = disc.rim[i] - side_normal * disc.rim[i].Dot(side_normal);
      EXPECT_LT(std::max({std::abs(on_side.x), std::abs(on_side.y), std::abs(on_side.z)}), 0.2);
      if (i + 1 < disc.rim.size()) {
        // Counterclockwise seen from outside.
        const Vec3 next = disc.rim[i + 1] - centre;
        EXPECT_GT(spoke.Cross(next).Dot(side_normal), 0) << "pip " << k << ", vertex " << i;
      }
    }
    const double red = k == 0 ? 1 : 0;
    EXPECT_EQ(disc.colour, (std::vector<double>{red, 0, 0})) << "pip " << k;
  }
  // The pips of one side never touch one another.
  for (std::size_t a = 0; a < 21; ++a) {
    for (std::size_t b = a + 1; b < 21; ++b) {
      if (discs[a].normal.Dot(discs[b].normal) < 0.5) continue;
      const double gap = (discs[a].Centre() - discs[b].Centre()).Length();
      EXPECT_GT(gap, pips[a].radius + pips[b].radius) << a << " and " << b;
    }
  }
}

TEST(DieModel, FacesOtherThanOneToSixDrawNothingBetweenPushAndPop) {
  for (std::int16_t face : {std::int16_t{0}, std::int16_t{7}, std::int16_t{-1},
                            std::numeric_limits<std::int16_t>::min()}) {
    Gl().Reset();
    DrawPips(face, kBlack, kRed);
    EXPECT_EQ(Gl().Names(), (std::vector<std::string>{"glPushMatrix", "glPopMatrix"}))
        << "face " << face;
  }
}

TEST(DiePip, DiscRunsCounterclockwiseFromItsRightmostPointAndClosesOnIt) {
  Gl().Reset();
  DrawPip(0.3F, 0, 0.21F, 0.1F, kRed, 20);
  const auto& gl = Gl();
  const auto vertices = gl.IndicesOf("glVertex3f");
  ASSERT_EQ(vertices.size(), 21U);
  EXPECT_TRUE(IsCall(gl[vertices.front()], "glVertex3f", {0.4F, 0, 0.21F}));
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const double a = static_cast<double>(i) * 18 * 3.14159265358979323846 / 180;
    EXPECT_NEAR(gl[vertices[i]].d(0), 0.3 + 0.1 * std::cos(a), 1e-7) << "vertex " << i;
    EXPECT_NEAR(gl[vertices[i]].d(1), 0.1 * std::sin(a), 1e-7) << "vertex " << i;
    EXPECT_EQ(gl[vertices[i]].f(2), 0.21F);
  }
  // The full turn, 6.28318530717958, is a hair short of 2π: the last y is
  // 0.1 × sin(6.28318530717958), about -6.46e-16 (2π itself would give -2.4e-17).
  const GlCall& last = gl[vertices.back()];
  EXPECT_EQ(last.f(0), 0.4F);
  EXPECT_NEAR(last.d(1), -6.46e-16, 0.01e-16);
}

TEST(DiePip, OddSegmentCountsDrawSafely) {
  Gl().Reset();
  DrawPip(0, 0, 0.21F, 0.05F, kBlack, 1);
  auto vertices = Gl().IndicesOf("glVertex3f");
  ASSERT_EQ(vertices.size(), 2U) << "angles 0 and a hair under a full turn";
  EXPECT_EQ(Gl()[vertices[0]].f(0), 0.05F);
  EXPECT_EQ(Gl()[vertices[1]].f(0), 0.05F);
  EXPECT_NEAR(Gl()[vertices[1]].d(1), 0, 1e-12);

  // Nothing to divide by, or fewer than nothing: an empty primitive that is
  // still closed, so the context is never left inside glBegin.
  for (std::int16_t segments : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{-20},
                                std::numeric_limits<std::int16_t>::min()}) {
    Gl().Reset();
    DrawPip(0, 0, 0.21F, 0.05F, kBlack, segments);
    EXPECT_EQ(Gl().Names(), (std::vector<std::string>{"glBegin", "glEnd"}))
        << "segments " << segments;
  }

  // The largest count: its counter must not overflow before the last vertex.
  Gl().Reset();
  ASSERT_NO_THROW(DrawPip(0, 0, 0.21F, 0.05F, kBlack, std::numeric_limits<std::int16_t>::max()));
  EXPECT_EQ(Gl().Count("glVertex3f"), 32768U);
  EXPECT_EQ(Gl().calls().back().name, "glEnd");
  EXPECT_TRUE(Gl().problems().empty());
}

}  // namespace
}  // namespace kalvo::testing
