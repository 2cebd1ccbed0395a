// The OpenGL 1.1 entry points that render/ calls, recorded instead of drawn:
// each call with its arguments as passed and the modelview matrix it meets,
// so a test can ask where a vertex lands without a display or a driver.
// Linked in place of libGL; one recording per process.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace kalvo::testing {

struct Vec3 {
  double x = 0;
  double y = 0;
  double z = 0;
};
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// Column-major, as OpenGL keeps its matrices, in double precision.
struct Mat4 {
  std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  double& at(int row, int col) { return m[static_cast<std::size_t>(col * 4 + row)]; }
  double at(int row, int col) const { return m[static_cast<std::size_t>(col * 4 + row)]; }
  Mat4 operator*(const Mat4& o) const;
  Vec3 Point(const Vec3& v) const;  // w = 1
  Vec3 Direction(const Vec3& v) const { return Point(v) - Point({}); }
};

Mat4 Rotation(double degrees, double x, double y, double z);  // as glRotate builds it
Mat4 Translation(double x, double y, double z);

struct GlCall {
  std::string name;
  std::vector<double> args;  // as passed; for the pointer calls, the floats pointed to
  Mat4 modelview;            // as it stood when the call was made
  Vec3 Vertex() const { return modelview.Point({args.at(0), args.at(1), args.at(2)}); }
};

struct GlRecording {
  std::vector<GlCall> calls;  // glFrustum's last argument: 1 if the projection was current
  std::vector<Mat4> modelview{Mat4{}};  // the stack, current matrix last
  bool projection_current = false;
  std::vector<double> enabled;

  void Clear() { *this = {}; }
  std::vector<GlCall> Named(const std::string& name) const;
};

GlRecording& Gl();

}  // namespace kalvo::testing
