#include "platform/web/web_gl.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <numbers>

namespace kalvo {
namespace {

// Column-major, as GL keeps its matrices.
using Matrix = std::array<float, 16>;
constexpr Matrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

float& At(Matrix& m, std::size_t row, std::size_t col) { return m.at(col * 4 + row); }
float At(const Matrix& m, std::size_t row, std::size_t col) { return m.at(col * 4 + row); }

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix product{};
  for (std::size_t row = 0; row < 4; ++row) {
    for (std::size_t col = 0; col < 4; ++col) {
      float sum = 0;
      for (std::size_t k = 0; k < 4; ++k) sum += At(a, row, k) * At(b, k, col);
      At(product, row, col) = sum;
    }
  }
  return product;
}

std::array<float, 4> Apply(const Matrix& m, const std::array<float, 4>& v) {
  std::array<float, 4> out{};
  for (std::size_t row = 0; row < 4; ++row) {
    float sum = 0;
    for (std::size_t k = 0; k < 4; ++k) sum += At(m, row, k) * v.at(k);
    out.at(row) = sum;
  }
  return out;
}

// A push beyond a stack's depth or a pop of its last matrix is an error for
// which GL ignores the call.
struct MatrixStack {
  explicit MatrixStack(std::size_t depth) : depth(depth) {}
  Matrix& Top() { return matrices.at(size - 1); }
  void Push() {
    if (size == depth) return;
    matrices.at(size) = Top();
    ++size;
  }
  void Pop() {
    if (size > 1) --size;
  }

  std::array<Matrix, 32> matrices{kIdentity};
  std::size_t depth;  // the least GL 1.1 requires
  std::size_t size = 1;
};

struct GlState {
  MatrixStack modelview{32};
  MatrixStack projection{2};
  bool projection_current = false;
  // GL's initial current colour. Only glColor3 sets it, so alpha stays 1.
  std::array<float, 3> colour{1, 1, 1};
  GLenum primitive = 0;  // GL_QUADS or GL_POLYGON between glBegin and glEnd
  bool in_primitive = false;
  // The primitive's vertices so far, as far as its next triangle needs them:
  // a quad's first three, or a polygon's first and last.
  std::array<webgl::Vertex, 3> kept{};
  std::size_t count = 0;  // vertices since glBegin
  // Whole triangles not yet drawn. When it is full, what it holds is drawn
  // and it starts again: the order, and so the picture, stays the same.
  std::array<webgl::Vertex, 3 * 1024> batch{};
  std::size_t batched = 0;
};

GlState& Gl() {
  static GlState state;
  return state;
}

MatrixStack& CurrentStack() {
  GlState& gl = Gl();
  return gl.projection_current ? gl.projection : gl.modelview;
}

// Every matrix call multiplies the current matrix by its own on the right.
// Not allowed between glBegin and glEnd, where GL ignores it.
void MultiplyCurrent(const Matrix& m) {
  if (Gl().in_primitive) return;
  Matrix& top = CurrentStack().Top();
  top = Multiply(top, m);
}

// Anything that reaches WebGL first draws what came before it, in order.
bool ReadyForWebGl() {
  if (Gl().in_primitive) return false;
  FlushGl();
  return true;
}

void AddTriangle(const webgl::Vertex& a, const webgl::Vertex& b, const webgl::Vertex& c) {
  GlState& gl = Gl();
  if (gl.batched == gl.batch.size()) FlushGl();
  gl.batch.at(gl.batched++) = a;
  gl.batch.at(gl.batched++) = b;
  gl.batch.at(gl.batched++) = c;
}

// A quad is two triangles from its first vertex, a convex polygon (as GL 1.1
// requires it to be) the fan of triangles from its first vertex. A quad left
// incomplete by glEnd draws nothing.
void AddVertex(const webgl::Vertex& v) {
  GlState& gl = Gl();
  auto& kept = gl.kept;
  const std::size_t n = gl.count++;
  if (gl.primitive == GL_QUADS) {
    const std::size_t corner = n % 4;
    if (corner == 3) {
      AddTriangle(kept[0], kept[1], kept[2]);
      AddTriangle(kept[0], kept[2], v);
    } else {
      kept.at(corner) = v;
    }
  } else if (gl.primitive == GL_POLYGON) {
    if (n >= 2) AddTriangle(kept[0], kept[1], v);
    kept.at(n == 0 ? 0 : 1) = v;
  }
}

}  // namespace

void FlushGl() {
  GlState& gl = Gl();
  if (gl.batched == 0) return;
  webgl::DrawTriangles(gl.batch.data(), gl.batched);
  gl.batched = 0;
}

}  // namespace kalvo

using kalvo::Gl;
using kalvo::Matrix;

extern "C" {

void glMatrixMode(GLenum mode) {
  if (Gl().in_primitive || (mode != GL_MODELVIEW && mode != GL_PROJECTION)) return;
  Gl().projection_current = mode == GL_PROJECTION;
}

void glLoadIdentity() {
  if (!Gl().in_primitive) kalvo::CurrentStack().Top() = kalvo::kIdentity;
}

void glPushMatrix() {
  if (!Gl().in_primitive) kalvo::CurrentStack().Push();
}

void glPopMatrix() {
  if (!Gl().in_primitive) kalvo::CurrentStack().Pop();
}

// The matrices of GL 1.1's reference pages, written out row by row.
void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble z_near,
               GLdouble z_far) {
  if (z_near <= 0 || z_far <= 0 || left == right || bottom == top || z_near == z_far) return;
  const auto f = [](double v) { return static_cast<float>(v); };
  const Matrix rows{f(2 * z_near / (right - left)),
                    0,
                    f((right + left) / (right - left)),
                    0,
                    0,
                    f(2 * z_near / (top - bottom)),
                    f((top + bottom) / (top - bottom)),
                    0,
                    0,
                    0,
                    f(-(z_far + z_near) / (z_far - z_near)),
                    f(-2 * z_far * z_near / (z_far - z_near)),
                    0,
                    0,
                    -1,
                    0};
  Matrix m{};
  for (std::size_t row = 0; row < 4; ++row) {
    for (std::size_t col = 0; col < 4; ++col) {
      kalvo::At(m, row, col) = rows.at(row * 4 + col);
    }
  }
  kalvo::MultiplyCurrent(m);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  Matrix m = kalvo::kIdentity;
  kalvo::At(m, 0, 3) = x;
  kalvo::At(m, 1, 3) = y;
  kalvo::At(m, 2, 3) = z;
  kalvo::MultiplyCurrent(m);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  const double length = std::sqrt(double{x} * x + double{y} * y + double{z} * z);
  if (length == 0) return;
  const double u[3] = {x / length, y / length, z / length};
  const double radians = angle * std::numbers::pi / 180;
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  // (1 - c) u uᵀ + c I + s [u]ₓ
  const double cross[3][3] = {{0, -u[2], u[1]}, {u[2], 0, -u[0]}, {-u[1], u[0], 0}};
  Matrix m = kalvo::kIdentity;
  for (std::size_t row = 0; row < 3; ++row) {
    for (std::size_t col = 0; col < 3; ++col) {
      kalvo::At(m, row, col) = static_cast<float>((1 - c) * u[row] * u[col] + (row == col ? c : 0) +
                                                  s * cross[row][col]);
    }
  }
  kalvo::MultiplyCurrent(m);
}

void glBegin(GLenum mode) {
  kalvo::GlState& gl = Gl();
  if (gl.in_primitive) return;
  gl.in_primitive = true;
  gl.primitive = mode;
  gl.count = 0;
}

void glEnd() { Gl().in_primitive = false; }

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) { Gl().colour = {red, green, blue}; }

void glColor3fv(const GLfloat* v) { glColor3f(v[0], v[1], v[2]); }

// Lighting is never enabled, and without it GL colours a vertex with the
// current colour alone: normals and materials are taken and change nothing.
void glNormal3f(GLfloat /*x*/, GLfloat /*y*/, GLfloat /*z*/) {}
void glMaterialfv(GLenum /*face*/, GLenum /*name*/, const GLfloat* /*params*/) {}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  kalvo::GlState& gl = Gl();
  if (!gl.in_primitive) return;
  const std::array<float, 4> clip = kalvo::Apply(
      gl.projection.Top(), kalvo::Apply(gl.modelview.Top(), std::array<float, 4>{x, y, z, 1}));
  kalvo::AddVertex({clip[0], clip[1], clip[2], clip[3], gl.colour[0], gl.colour[1], gl.colour[2]});
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
  if (kalvo::ReadyForWebGl()) kalvo::webgl::ClearColor(red, green, blue, alpha);
}

void glClear(GLbitfield mask) {
  if (kalvo::ReadyForWebGl()) kalvo::webgl::Clear(mask);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  if (kalvo::ReadyForWebGl()) kalvo::webgl::Viewport(x, y, width, height);
}

void glEnable(GLenum capability) {
  if (kalvo::ReadyForWebGl()) kalvo::webgl::Enable(capability);
}

}  // extern "C"
