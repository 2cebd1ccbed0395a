#include "render/die_model.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <span>

namespace kalvo {
namespace {

// Slightly less than 2π; the disc's last vertex lands a hair short of its first.
constexpr double kFullTurn = 6.28318530717958;
constexpr float kPipPlane = 0.21F;  // 0.01 outside the side
constexpr std::int16_t kPipSegments = 20;

struct PipPoint {
  float x;
  float y;
};

struct FaceLayout {
  float angle;  // glRotatef that turns the face's frame onto its side
  float axis_x;
  float axis_y;
  float axis_z;
  float radius;
  std::span<const PipPoint> pips;
};

constexpr std::array<PipPoint, 1> kOne{{{0, 0}}};
constexpr std::array<PipPoint, 2> kTwo{{{0.1F, 0.07F}, {-0.1F, -0.07F}}};
constexpr std::array<PipPoint, 3> kThree{{{0.11F, 0.08F}, {0, 0}, {-0.11F, -0.08F}}};
constexpr std::array<PipPoint, 4> kFour{
    {{0.09F, 0.08F}, {0.09F, -0.08F}, {-0.09F, 0.08F}, {-0.09F, -0.08F}}};
constexpr std::array<PipPoint, 5> kFive{
    {{0.11F, 0.09F}, {0.11F, -0.09F}, {0, 0}, {-0.11F, 0.09F}, {-0.11F, -0.09F}}};
constexpr std::array<PipPoint, 6> kSix{
    {{0.12F, 0.08F}, {0, 0.08F}, {-0.12F, 0.08F}, {0.12F, -0.08F}, {0, -0.08F}, {-0.12F, -0.08F}}};

// Indexed by face - 1. Face 1 needs no rotation: its frame is model space.
const std::array<FaceLayout, 6> kFaces{{
    {0, 0, 0, 0, 0.1F, kOne},
    {90, 1, 0, 0, 0.06F, kTwo},
    {90, 0, 1, 0, 0.05F, kThree},
    {90, 0, -1, 0, 0.05F, kFour},
    {90, -1, 0, 0, 0.05F, kFive},
    {180, 1, 0, 0, 0.05F, kSix},
}};

struct Side {
  std::array<float, 3> colour;
  std::array<float, 3> normal;
  std::array<std::array<float, 3>, 4> corners;
};

constexpr float h = 0.2F;                           // half the edge
const float G = static_cast<float>(208.0 / 255.0);  // the tint's light channels

const std::array<Side, 6> kSides{{
    {{G, 1, G}, {0, 0, 1}, {{{h, h, h}, {h, -h, h}, {-h, -h, h}, {-h, h, h}}}},
    {{G, 1, G}, {0, 0, -1}, {{{h, h, -h}, {h, -h, -h}, {-h, -h, -h}, {-h, h, -h}}}},
    {{1, G, G}, {0, 1, 0}, {{{h, h, h}, {h, h, -h}, {-h, h, -h}, {-h, h, h}}}},
    {{1, G, G}, {0, -1, 0}, {{{h, -h, h}, {h, -h, -h}, {-h, -h, -h}, {-h, -h, h}}}},
    {{G, G, 1}, {1, 0, 0}, {{{h, h, h}, {h, h, -h}, {h, -h, -h}, {h, -h, h}}}},
    {{G, G, 1}, {-1, 0, 0}, {{{-h, h, h}, {-h, h, -h}, {-h, -h, -h}, {-h, -h, h}}}},
}};

}  // namespace

void DrawPip(float x, float y, float z, float radius, const Colour& colour, std::int16_t segments) {
  glBegin(GL_POLYGON);
  for (std::int32_t i = 0; segments > 0 && i <= segments; ++i) {
    const double t = static_cast<double>(i) / segments;
    const double a = t * kFullTurn;
    const auto px = static_cast<float>(radius * std::cos(a) + x);
    const auto py = static_cast<float>(radius * std::sin(a) + y);
    // Lighting is off, so the material changes nothing on screen; it is kept
    // so that a lit scene would show the pips as they are meant to look.
    glMaterialfv(GL_FRONT, GL_SPECULAR, colour.data());
    glColor3fv(colour.data());
    glNormal3f(0, 0, 1);
    glVertex3f(px, py, z);
  }
  glEnd();
}

void DrawPips(std::int16_t face, const Colour& sngBlack, const Colour& sngRed) {
  glPushMatrix();
  if (face >= 1 && face <= 6) {
    const FaceLayout& layout = kFaces.at(static_cast<std::size_t>(face - 1));
    if (face != 1) glRotatef(layout.angle, layout.axis_x, layout.axis_y, layout.axis_z);
    const Colour& colour = face == 1 ? sngRed : sngBlack;
    for (const PipPoint& pip : layout.pips) {
      DrawPip(pip.x, pip.y, kPipPlane, layout.radius, colour, kPipSegments);
    }
  }
  glPopMatrix();
}

void DrawDie(const Colour& sngBlack, const Colour& sngRed) {
  glBegin(GL_QUADS);
  for (const Side& side : kSides) {
    glColor3f(side.colour[0], side.colour[1], side.colour[2]);
    glNormal3f(side.normal[0], side.normal[1], side.normal[2]);
    for (const auto& corner : side.corners) glVertex3f(corner[0], corner[1], corner[2]);
  }
  glEnd();
  for (std::int16_t face = 1; face <= 6; ++face) DrawPips(face, sngBlack, sngRed);
}

}  // namespace kalvo
