#include "tests/support/gl_recorder.h"

#include <GL/gl.h>

#ifndef GLAPIENTRY  // Mesa's name; Windows' header has only APIENTRY
#define GLAPIENTRY APIENTRY
#endif

#include <algorithm>
#include <stdexcept>

namespace kalvo::testing {
namespace {

// OpenGL 1.1 promises at least this many modelview entries, and 2 projection.
constexpr std::size_t kMaxModelviewDepth = 32;
constexpr std::size_t kMaxProjectionDepth = 2;
// Far more than any test draws: a frame is about 1,900 calls.
constexpr std::size_t kMaxCalls = 2'000'000;

std::size_t End(std::size_t to, std::size_t size) { return std::min(to, size); }

}  // namespace

GlRecorder& GlRecorder::Get() {
  static GlRecorder recorder;
  return recorder;
}

GlRecorder::GlRecorder() { Reset(); }

void GlRecorder::Reset() {
  calls_.clear();
  problems_.clear();
  for (auto& stack : stacks_) stack.assign(1, Mat4::Identity());
  current_ = 0;
  in_primitive_ = false;
}

void GlRecorder::Mark(std::string_view name, std::initializer_list<double> args) {
  Record(name, args);
}

void GlRecorder::Record(std::string_view name, std::initializer_list<double> args) {
  // A loop that never ends would otherwise record until memory runs out.
  if (calls_.size() >= kMaxCalls) {
    throw std::length_error("more than " + std::to_string(kMaxCalls) + " GL calls recorded");
  }
  calls_.push_back(GlCall{std::string(name), std::vector<double>(args), stacks_[0].back()});
}

void GlRecorder::RequireOutsidePrimitive(std::string_view name) {
  if (in_primitive_) problems_.push_back(std::string(name) + " between glBegin and glEnd");
}

void GlRecorder::Multiply(const Mat4& m) { current().back() = current().back() * m; }

void GlRecorder::Push() {
  const std::size_t limit = current_ == 0 ? kMaxModelviewDepth : kMaxProjectionDepth;
  if (current().size() >= limit) {
    problems_.push_back("glPushMatrix overflows the stack");
    return;
  }
  current().push_back(current().back());
}

void GlRecorder::Pop() {
  if (current().size() <= 1) {
    problems_.push_back("glPopMatrix underflows the stack");
    return;
  }
  current().pop_back();
}

void GlRecorder::LoadIdentity() { current().back() = Mat4::Identity(); }

void GlRecorder::SelectMatrix(unsigned mode) {
  if (mode == GL_MODELVIEW) {
    current_ = 0;
  } else if (mode == GL_PROJECTION) {
    current_ = 1;
  } else {
    problems_.push_back("glMatrixMode with an unexpected mode " + std::to_string(mode));
  }
}

void GlRecorder::BeginPrimitive() {
  RequireOutsidePrimitive("glBegin");
  in_primitive_ = true;
}

void GlRecorder::EndPrimitive() {
  if (!in_primitive_) problems_.push_back("glEnd without glBegin");
  in_primitive_ = false;
}

std::size_t GlRecorder::Count(std::string_view name, std::size_t from, std::size_t to) const {
  return IndicesOf(name, from, to).size();
}

std::vector<std::size_t> GlRecorder::IndicesOf(std::string_view name, std::size_t from,
                                               std::size_t to) const {
  std::vector<std::size_t> found;
  for (std::size_t i = from; i < End(to, calls_.size()); ++i) {
    if (calls_[i].name == name) found.push_back(i);
  }
  return found;
}

std::optional<std::size_t> GlRecorder::Find(std::string_view name, std::size_t from) const {
  for (std::size_t i = from; i < calls_.size(); ++i) {
    if (calls_[i].name == name) return i;
  }
  return std::nullopt;
}

std::span<const GlCall> GlRecorder::Slice(std::size_t from, std::size_t to) const {
  to = End(to, calls_.size());
  from = std::min(from, to);
  return std::span<const GlCall>(calls_).subspan(from, to - from);
}

std::vector<std::string> GlRecorder::Names(std::size_t from, std::size_t to) const {
  std::vector<std::string> names;
  for (const GlCall& call : Slice(from, to)) names.push_back(call.name);
  return names;
}

Vec3 GlRecorder::EyePosition(std::size_t i) const {
  const GlCall& call = calls_.at(i);
  return call.modelview.Point({call.d(0), call.d(1), call.d(2)});
}

}  // namespace kalvo::testing

// The entry points, with the signatures of <GL/gl.h>. Matrix calls change
// the matrix before they are recorded, so each call carries the modelview
// as it stands after it.
using kalvo::testing::Gl;
using kalvo::testing::Mat4;

extern "C" {

void GLAPIENTRY glBegin(GLenum mode) {
  Gl().BeginPrimitive();
  Gl().Record("glBegin", {static_cast<double>(mode)});
}

void GLAPIENTRY glEnd() {
  Gl().EndPrimitive();
  Gl().Record("glEnd", {});
}

void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  Gl().Record("glVertex3f", {x, y, z});
}

void GLAPIENTRY glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz) {
  Gl().Record("glNormal3f", {nx, ny, nz});
}

void GLAPIENTRY glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
  Gl().Record("glColor3f", {red, green, blue});
}

void GLAPIENTRY glColor3fv(const GLfloat* v) { Gl().Record("glColor3fv", {v[0], v[1], v[2]}); }

void GLAPIENTRY glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
  // GL_SPECULAR and the other colour parameters take four values.
  Gl().Record("glMaterialfv", {static_cast<double>(face), static_cast<double>(pname), params[0],
                               params[1], params[2], params[3]});
}

void GLAPIENTRY glPushMatrix() {
  Gl().RequireOutsidePrimitive("glPushMatrix");
  Gl().Push();
  Gl().Record("glPushMatrix", {});
}

void GLAPIENTRY glPopMatrix() {
  Gl().RequireOutsidePrimitive("glPopMatrix");
  Gl().Pop();
  Gl().Record("glPopMatrix", {});
}

void GLAPIENTRY glLoadIdentity() {
  Gl().RequireOutsidePrimitive("glLoadIdentity");
  Gl().LoadIdentity();
  Gl().Record("glLoadIdentity", {});
}

void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  Gl().RequireOutsidePrimitive("glTranslatef");
  Gl().Multiply(Mat4::Translation(x, y, z));
  Gl().Record("glTranslatef", {x, y, z});
}

void GLAPIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  Gl().RequireOutsidePrimitive("glRotatef");
  Gl().Multiply(Mat4::Rotation(angle, x, y, z));
  Gl().Record("glRotatef", {angle, x, y, z});
}

void GLAPIENTRY glMatrixMode(GLenum mode) {
  Gl().RequireOutsidePrimitive("glMatrixMode");
  Gl().SelectMatrix(mode);
  Gl().Record("glMatrixMode", {static_cast<double>(mode)});
}

void GLAPIENTRY glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
                          GLdouble near_val, GLdouble far_val) {
  Gl().RequireOutsidePrimitive("glFrustum");
  Gl().Multiply(Mat4::Frustum(left, right, bottom, top, near_val, far_val));
  Gl().Record("glFrustum", {left, right, bottom, top, near_val, far_val});
}

void GLAPIENTRY glEnable(GLenum cap) {
  Gl().RequireOutsidePrimitive("glEnable");
  Gl().Record("glEnable", {static_cast<double>(cap)});
}

void GLAPIENTRY glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
  Gl().RequireOutsidePrimitive("glClearColor");
  Gl().Record("glClearColor", {red, green, blue, alpha});
}

void GLAPIENTRY glClear(GLbitfield mask) {
  Gl().RequireOutsidePrimitive("glClear");
  Gl().Record("glClear", {static_cast<double>(mask)});
}

void GLAPIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  Gl().RequireOutsidePrimitive("glViewport");
  Gl().Record("glViewport", {static_cast<double>(x), static_cast<double>(y),
                             static_cast<double>(width), static_cast<double>(height)});
}

// Read-back, for pictures: recorded, and the pixels left as they were.
void GLAPIENTRY glReadBuffer(GLenum mode) {
  Gl().RequireOutsidePrimitive("glReadBuffer");
  Gl().Record("glReadBuffer", {static_cast<double>(mode)});
}

void GLAPIENTRY glPixelStorei(GLenum pname, GLint param) {
  Gl().RequireOutsidePrimitive("glPixelStorei");
  Gl().Record("glPixelStorei", {static_cast<double>(pname), static_cast<double>(param)});
}

void GLAPIENTRY glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                             GLenum type, GLvoid* /*pixels*/) {
  Gl().RequireOutsidePrimitive("glReadPixels");
  Gl().Record("glReadPixels", {static_cast<double>(x), static_cast<double>(y),
                               static_cast<double>(width), static_cast<double>(height),
                               static_cast<double>(format), static_cast<double>(type)});
}

}  // extern "C"
