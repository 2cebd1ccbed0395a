// Kalvo's GL on WebGL (platform/web/web_gl.h), with WebGL recorded: matrices
// and the current colour as GL 1.1 defines them, and a frame gathered into
// draws that give the picture its primitives drawn one by one would.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/web/web_gl.h"
#include "render/gl_scene.h"

namespace kalvo {
namespace webgl {
namespace {

struct Recording {
  std::vector<std::string> calls;
  std::vector<std::vector<Vertex>> draws;
};
Recording recorded;

}  // namespace

void ClearColor(float /*red*/, float /*green*/, float /*blue*/, float /*alpha*/) {
  recorded.calls.emplace_back("clearColor");
}
void Clear(unsigned /*mask*/) { recorded.calls.emplace_back("clear"); }
void Viewport(int /*x*/, int /*y*/, int /*width*/, int /*height*/) {
  recorded.calls.emplace_back("viewport");
}
void Enable(unsigned /*capability*/) { recorded.calls.emplace_back("enable"); }
void DrawTriangles(const Vertex* vertices, std::size_t count) {
  recorded.calls.emplace_back("drawArrays");
  recorded.draws.emplace_back(vertices, vertices + count);
}

}  // namespace webgl

namespace {

using webgl::recorded;
using Vec3 = std::array<double, 3>;

class WebGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // GL's state is the process's: put back what each test may change.
    FlushGl();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 1, 1);
    recorded = {};
  }

  // The vertices drawn since SetUp, in order.
  static std::vector<webgl::Vertex> Drawn() {
    FlushGl();
    std::vector<webgl::Vertex> all;
    for (const auto& draw : recorded.draws) all.insert(all.end(), draw.begin(), draw.end());
    return all;
  }

  // Where one point lands, in normalised device coordinates.
  static Vec3 Project(float x, float y, float z) {
    recorded = {};
    glBegin(GL_POLYGON);
    for (int i = 0; i < 3; ++i) glVertex3f(x, y, z);
    glEnd();
    const webgl::Vertex v = Drawn().at(0);
    return {v.x / v.w, v.y / v.w, v.z / v.w};
  }
};

Vec3 operator+(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

void ExpectNear(const Vec3& actual, const Vec3& expected) {
  for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << "axis " << i;
}

// v rotated by `degrees` about the unit axis k, by Rodrigues' formula.
Vec3 Rotated(const Vec3& v, double degrees, const Vec3& k) {
  const double a = degrees * M_PI / 180;
  const Vec3 cross{k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
  const double dot = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
  Vec3 out{};
  for (std::size_t i = 0; i < 3; ++i) {
    out[i] = v[i] * std::cos(a) + cross[i] * std::sin(a) + k[i] * dot * (1 - std::cos(a));
  }
  return out;
}

TEST_F(WebGlTest, FrustumMapsItsCornersOntoTheCubeOfNormalisedCoordinates) {
  glMatrixMode(GL_PROJECTION);
  glFrustum(-1, 3, -2, 1, 2, 10);
  glMatrixMode(GL_MODELVIEW);
  ExpectNear(Project(-1, -2, -2), {-1, -1, -1});   // near, bottom left
  ExpectNear(Project(3, 1, -2), {1, 1, -1});       // near, top right
  ExpectNear(Project(-5, -10, -10), {-1, -1, 1});  // far, bottom left
  ExpectNear(Project(15, 5, -10), {1, 1, 1});      // far, top right
}

TEST_F(WebGlTest, EachMatrixMultipliesOnTheRightAndThePushedOneComesBack) {
  // The last call nearest the vertex: rotated, then translated.
  glTranslatef(1, 2, 3);
  glRotatef(30, 1, 1, 0);  // an axis GL normalises
  glPushMatrix();
  glRotatef(90, 0, 0, 1);
  glTranslatef(0.5F, 0, 0);
  ExpectNear(Project(0, 0, 0), Vec3{1, 2, 3} + Rotated({0, 0.5, 0}, 30, {M_SQRT1_2, M_SQRT1_2, 0}));
  glPopMatrix();
  ExpectNear(Project(0.25F, -1, 2),
             Vec3{1, 2, 3} + Rotated({0.25, -1, 2}, 30, {M_SQRT1_2, M_SQRT1_2, 0}));
  // The projection has a stack of its own, two deep: a third push is
  // ignored, so one pop brings back the first.
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glTranslatef(5, 0, 0);
  glPushMatrix();
  glPopMatrix();
  glPopMatrix();
  glPopMatrix();  // below the stack: ignored
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  ExpectNear(Project(1, 1, 1), {1, 1, 1});
}

TEST_F(WebGlTest, EachVertexTakesTheCurrentColourWhichOutlivesThePrimitive) {
  const std::array<GLfloat, 3> red{1, 0, 0};
  glBegin(GL_POLYGON);
  glVertex3f(0, 0, 0);  // GL starts white
  glColor3fv(red.data());
  glVertex3f(1, 0, 0);
  glNormal3f(0, 0, 1);  // lighting is off: no effect
  glVertex3f(1, 1, 0);
  glEnd();
  glBegin(GL_POLYGON);
  glVertex3f(0, 0, 0);
  glColor3f(0.25F, 0.5F, 0.75F);
  glVertex3f(1, 0, 0);
  glVertex3f(1, 1, 0);
  glEnd();
  std::vector<std::array<float, 3>> colours;
  for (const webgl::Vertex& v : Drawn()) colours.push_back({v.r, v.g, v.b});
  const std::vector<std::array<float, 3>> expected{
      {1, 1, 1}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0.25F, 0.5F, 0.75F}, {0.25F, 0.5F, 0.75F}};
  EXPECT_EQ(colours, expected);
}

// The primitives of one frame, each as GL_QUADS or GL_POLYGON.
void DrawPrimitives(bool flush_after_each) {
  glBegin(GL_QUADS);  // two quads and three vertices too few for a third
  for (int i = 0; i < 11; ++i) glVertex3f(static_cast<float>(i), 0, 0);
  glEnd();
  if (flush_after_each) FlushGl();
  glBegin(GL_POLYGON);  // a hexagon
  for (int i = 0; i < 6; ++i) glVertex3f(0, static_cast<float>(i), 0);
  glEnd();
  if (flush_after_each) FlushGl();
  glBegin(GL_POLYGON);  // two vertices: nothing
  glVertex3f(9, 9, 9);
  glVertex3f(8, 8, 8);
  glEnd();
}

TEST_F(WebGlTest, AFrameIsOneDrawOfTheTrianglesItsPrimitivesDrawOneByOne) {
  DrawPrimitives(true);
  const std::vector<webgl::Vertex> one_by_one = Drawn();
  ASSERT_EQ(recorded.draws.size(), 2U);
  recorded = {};
  DrawPrimitives(false);
  const std::vector<webgl::Vertex> batched = Drawn();
  EXPECT_EQ(recorded.draws.size(), 1U);
  // Quads (0 1 2 3) and (4 5 6 7) as two triangles each from their first
  // corner, then the hexagon's fan from its first vertex.
  const std::vector<float> xs{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
  const std::vector<float> ys{0, 1, 2, 0, 2, 3, 0, 3, 4, 0, 4, 5};
  ASSERT_EQ(batched.size(), xs.size() + ys.size());
  for (std::size_t i = 0; i < batched.size(); ++i) {
    EXPECT_EQ(batched[i].x, one_by_one[i].x) << i;
    EXPECT_EQ(batched[i].y, one_by_one[i].y) << i;
    EXPECT_EQ(i < xs.size() ? batched[i].x : batched[i].y,
              i < xs.size() ? xs[i] : ys[i - xs.size()])
        << i;
  }
}

TEST_F(WebGlTest, WhatReachesWebGlFirstDrawsWhatCameBeforeIt) {
  DrawPrimitives(false);
  glClear(GL_COLOR_BUFFER_BIT);
  DrawPrimitives(false);
  glViewport(0, 0, 4, 4);
  glEnable(GL_DEPTH_TEST);
  // More than the buffer holds: drawn in turn, none lost.
  for (int i = 0; i < 1000; ++i) DrawPrimitives(false);
  FlushGl();
  ASSERT_GE(recorded.calls.size(), 6U);
  EXPECT_EQ(std::vector<std::string>(recorded.calls.begin(), recorded.calls.begin() + 6),
            (std::vector<std::string>{"drawArrays", "clear", "drawArrays", "viewport", "enable",
                                      "drawArrays"}));
  std::size_t triangles = 0;
  for (std::size_t i = 2; i < recorded.draws.size(); ++i) triangles += recorded.draws[i].size() / 3;
  EXPECT_EQ(triangles, 1000U * 8);
}

TEST_F(WebGlTest, KalvosFrameIsOneDrawAfterItsClear) {
  glClearColor(0, 0, 0, 1);
  SetUpProjection();
  recorded = {};
  ClearBuffers();
  SetViewport(238, 189);
  DrawScene({.dblElapsed = 40, .lngCount0 = 90, .blnRolling = true, .vecAngle = {90, 0, 180}});
  FlushGl();
  EXPECT_EQ(recorded.calls,
            (std::vector<std::string>{"clearColor", "clear", "viewport", "drawArrays"}));
  // The floor, six sides, and 21 pips of 21 vertices each.
  EXPECT_EQ(recorded.draws.at(0).size(), 3U * (2 + 6 * 2 + 21 * 19));
}

}  // namespace
}  // namespace kalvo
