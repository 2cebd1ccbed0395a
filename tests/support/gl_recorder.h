// A stand-in for the OpenGL 1.1 entry points that render/ calls, for tests
// that need neither a display nor a driver. Each call is kept with its
// arguments exactly as passed, and a small matrix stack follows the
// transforms, so a test can ask where a vertex lands. Link it in place of
// libGL; there is one recorder per process.
//
// Mat4 and Vec3 are header-only so that tests drawing with a real driver can
// do the same geometry without linking the recorder.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalvo::testing {

struct Vec3 {
  double x = 0;
  double y = 0;
  double z = 0;

  Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
  double Dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
  Vec3 Cross(const Vec3& o) const {
    return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
  }
  double Length() const { return std::sqrt(Dot(*this)); }
};

// Column-major, as OpenGL keeps its matrices, in double precision.
struct Mat4 {
  std::array<double, 16> m{};  // element (row, col) is m[col * 4 + row]

  double& at(int row, int col) { return m[static_cast<std::size_t>(col * 4 + row)]; }
  double at(int row, int col) const { return m[static_cast<std::size_t>(col * 4 + row)]; }

  static Mat4 Identity() {
    Mat4 r;
    for (int i = 0; i < 4; ++i) r.at(i, i) = 1;
    return r;
  }
  static Mat4 Translation(double x, double y, double z) {
    Mat4 r = Identity();
    r.at(0, 3) = x;
    r.at(1, 3) = y;
    r.at(2, 3) = z;
    return r;
  }
  // The matrix glRotate builds: counterclockwise about (x, y, z), looking
  // from its tip towards the origin.
  static Mat4 Rotation(double degrees, double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    Mat4 r = Identity();
    if (length == 0) return r;
    x /= length;
    y /= length;
    z /= length;
    const double a = degrees * 3.14159265358979323846 / 180;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const double t = 1 - c;
    r.at(0, 0) = x * x * t + c;
    r.at(0, 1) = x * y * t - z * s;
    r.at(0, 2) = x * z * t + y * s;
    r.at(1, 0) = y * x * t + z * s;
    r.at(1, 1) = y * y * t + c;
    r.at(1, 2) = y * z * t - x * s;
    r.at(2, 0) = z * x * t - y * s;
    r.at(2, 1) = z * y * t + x * s;
    r.at(2, 2) = z * z * t + c;
    return r;
  }
  static Mat4 Frustum(double left, double right, double bottom, double top, double near_z,
                      double far_z) {
    Mat4 r;
    r.at(0, 0) = 2 * near_z / (right - left);
    r.at(0, 2) = (right + left) / (right - left);
    r.at(1, 1) = 2 * near_z / (top - bottom);
    r.at(1, 2) = (top + bottom) / (top - bottom);
    r.at(2, 2) = -(far_z + near_z) / (far_z - near_z);
    r.at(2, 3) = -2 * far_z * near_z / (far_z - near_z);
    r.at(3, 2) = -1;
    return r;
  }

  Mat4 operator*(const Mat4& o) const {
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

  // (x, y, z, w) times this matrix, all four results.
  std::array<double, 4> Apply(const Vec3& v, double w) const {
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row) {
      r[static_cast<std::size_t>(row)] =
          at(row, 0) * v.x + at(row, 1) * v.y + at(row, 2) * v.z + at(row, 3) * w;
    }
    return r;
  }
  Vec3 Point(const Vec3& v) const {
    const auto r = Apply(v, 1);
    return {r[0], r[1], r[2]};
  }
  Vec3 Direction(const Vec3& v) const {
    const auto r = Apply(v, 0);
    return {r[0], r[1], r[2]};
  }

  // The inverse of a product of rotations and translations (all the
  // modelview ever holds here): the rotation transposed, the shift undone.
  Mat4 RigidInverse() const {
    Mat4 r = Identity();
    for (int row = 0; row < 3; ++row) {
      for (int col = 0; col < 3; ++col) r.at(row, col) = at(col, row);
    }
    for (int row = 0; row < 3; ++row) {
      r.at(row, 3) = -(r.at(row, 0) * at(0, 3) + r.at(row, 1) * at(1, 3) + r.at(row, 2) * at(2, 3));
    }
    return r;
  }
};

// One call, or one event a test marks in the stream (a buffer swap, a size read).
struct GlCall {
  std::string name;
  // Every argument as passed, widened to double without loss; for
  // glMaterialfv and glColor3fv the floats pointed to, after the enums.
  std::vector<double> args;
  Mat4 modelview;  // as it stands after the call

  float f(std::size_t i) const { return static_cast<float>(args.at(i)); }
  double d(std::size_t i) const { return args.at(i); }
};

class GlRecorder {
 public:
  static GlRecorder& Get();

  // Forgets every call and problem; both matrices back to identity, the
  // modelview current, no primitive open.
  void Reset();

  // Puts a non-GL event into the stream, so its order against the GL calls
  // can be checked.
  void Mark(std::string_view name, std::initializer_list<double> args = {});

  const std::vector<GlCall>& calls() const { return calls_; }
  const GlCall& operator[](std::size_t i) const { return calls_.at(i); }
  std::size_t size() const { return calls_.size(); }

  // Calls of this name in [from, to); to defaults to the end.
  std::size_t Count(std::string_view name, std::size_t from = 0,
                    std::size_t to = std::string::npos) const;
  std::vector<std::size_t> IndicesOf(std::string_view name, std::size_t from = 0,
                                     std::size_t to = std::string::npos) const;
  std::optional<std::size_t> Find(std::string_view name, std::size_t from = 0) const;
  std::span<const GlCall> Slice(std::size_t from, std::size_t to) const;
  std::vector<std::string> Names(std::size_t from = 0, std::size_t to = std::string::npos) const;

  // Where the vertex of call i lands in eye space: its three arguments
  // through the modelview at that call.
  Vec3 EyePosition(std::size_t i) const;

  const Mat4& modelview() const { return stacks_[0].back(); }
  const Mat4& projection() const { return stacks_[1].back(); }
  std::size_t modelview_depth() const { return stacks_[0].size(); }
  bool in_primitive() const { return in_primitive_; }

  // What a driver would have flagged as GL_INVALID_OPERATION or a stack
  // overflow or underflow, one line each.
  const std::vector<std::string>& problems() const { return problems_; }

  // Called by the entry points. Record throws std::length_error past two
  // million calls, so a drawing loop that never ends fails its test.
  void Record(std::string_view name, std::initializer_list<double> args);
  void Multiply(const Mat4& m);
  void Push();
  void Pop();
  void LoadIdentity();
  void SelectMatrix(unsigned mode);
  void BeginPrimitive();
  void EndPrimitive();
  // Notes a problem if a primitive is open: only vertex data may come then.
  void RequireOutsidePrimitive(std::string_view name);

 private:
  GlRecorder();
  std::vector<Mat4>& current() { return stacks_[current_]; }

  std::vector<GlCall> calls_;
  std::vector<std::string> problems_;
  std::array<std::vector<Mat4>, 2> stacks_;  // modelview, projection
  std::size_t current_ = 0;
  bool in_primitive_ = false;
};

inline GlRecorder& Gl() { return GlRecorder::Get(); }

}  // namespace kalvo::testing
