#include "tests/support/gl_recorder.h"

#include <GL/gl.h>

#include <cmath>
#include <initializer_list>
#include <numbers>

namespace kalvo::testing {

Mat4 Mat4::operator*(const Mat4& o) const {
  Mat4 r;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += at(row, k) * o.at(k, col);
      r.at(row, col) = sum;
    }
  }
  return r;
}

Vec3 Mat4::Point(const Vec3& v) const {
  auto row = [&](int r) { return at(r, 0) * v.x + at(r, 1) * v.y + at(r, 2) * v.z + at(r, 3); };
  return {row(0), row(1), row(2)};
}

Mat4 Translation(double x, double y, double z) {
  return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}};
}

Mat4 Rotation(double degrees, double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  x /= length;
  y /= length;
  z /= length;
  const double c = std::cos(degrees * std::numbers::pi / 180);
  const double s = std::sin(degrees * std::numbers::pi / 180);
  const double t = 1 - c;
  return {{x * x * t + c, y * x * t + z * s, z * x * t - y * s, 0,  //
           x * y * t - z * s, y * y * t + c, z * y * t + x * s, 0,  //
           x * z * t + y * s, y * z * t - x * s, z * z * t + c, 0,  //
           0, 0, 0, 1}};
}

std::vector<GlCall> GlRecording::Named(const std::string& name) const {
  std::vector<GlCall> found;
  for (const GlCall& call : calls) {
    if (call.name == name) found.push_back(call);
  }
  return found;
}

GlRecording& Gl() {
  static GlRecording recording;
  return recording;
}

}  // namespace kalvo::testing

namespace {

using kalvo::testing::Gl;
using kalvo::testing::Mat4;

void Record(const char* name, std::initializer_list<double> args) {
  Gl().calls.push_back({name, args, Gl().modelview.back()});
}

// Only the modelview is followed; the projection is checked by its one call.
void Multiply(const Mat4& m) {
  if (!Gl().projection_current) Gl().modelview.back() = Gl().modelview.back() * m;
}

}  // namespace

extern "C" {

void glMatrixMode(GLenum mode) {
  Record("glMatrixMode", {double(mode)});
  Gl().projection_current = mode == GL_PROJECTION;
}
void glLoadIdentity() {
  Record("glLoadIdentity", {});
  if (!Gl().projection_current) Gl().modelview.back() = Mat4{};
}
void glFrustum(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
  Record("glFrustum", {l, r, b, t, n, f, double(Gl().projection_current)});
}
void glEnable(GLenum cap) {
  Record("glEnable", {double(cap)});
  Gl().enabled.push_back(cap);
}
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
  Record("glClearColor", {r, g, b, a});
}
void glClear(GLbitfield mask) { Record("glClear", {double(mask)}); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
  Record("glViewport", {double(x), double(y), double(w), double(h)});
}
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  Record("glTranslatef", {x, y, z});
  Multiply(kalvo::testing::Translation(x, y, z));
}
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  Record("glRotatef", {angle, x, y, z});
  Multiply(kalvo::testing::Rotation(angle, x, y, z));
}
void glPushMatrix() {
  Record("glPushMatrix", {});
  Gl().modelview.push_back(Gl().modelview.back());
}
void glPopMatrix() {
  Record("glPopMatrix", {});
  if (Gl().modelview.size() > 1) Gl().modelview.pop_back();
}
void glBegin(GLenum mode) { Record("glBegin", {double(mode)}); }
void glEnd() { Record("glEnd", {}); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { Record("glColor3f", {r, g, b}); }
void glColor3fv(const GLfloat* v) { Record("glColor3fv", {v[0], v[1], v[2]}); }
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { Record("glNormal3f", {x, y, z}); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { Record("glVertex3f", {x, y, z}); }
void glMaterialfv(GLenum face, GLenum name, const GLfloat* v) {
  Record("glMaterialfv", {double(face), double(name), v[0], v[1], v[2], v[3]});
}

}  // extern "C"
