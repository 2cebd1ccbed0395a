// Where the die is in a frame: base placement, idle spin or the scripted
// throw, then its final orientation. Pure: it yields the transforms, already
// in the single precision OpenGL takes, and the drawing stages apply them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "render/scene_types.h"

namespace kalvo {

struct GlTransform {
  enum class Kind { kRotate, kTranslate };
  Kind kind;
  float angle;  // degrees, for kRotate
  float x;
  float y;
  float z;

  static GlTransform Rotate(float angle, float x, float y, float z) {
    return {Kind::kRotate, angle, x, y, z};
  }
  static GlTransform Translate(float x, float y, float z) { return {Kind::kTranslate, 0, x, y, z}; }
  friend bool operator==(const GlTransform&, const GlTransform&) = default;
};

// At most nine transforms: two of the base, four of a throw, three of the
// final orientation. Fixed capacity, so a frame allocates nothing.
class DiePlacement {
 public:
  void Add(const GlTransform& t) { items_.at(size_++) = t; }
  const GlTransform* begin() const { return items_.data(); }
  const GlTransform* end() const { return items_.data() + size_; }
  std::size_t size() const { return size_; }
  const GlTransform& operator[](std::size_t i) const { return items_.at(i); }

 private:
  std::array<GlTransform, 9> items_{};
  std::size_t size_ = 0;
};

// d: frames since the throw began (0 while idle); n: lngCount(0), the frames
// since the last reset; vecAngle: the final orientation.
DiePlacement DiePlacementFor(double d, std::int32_t n, const tVector& vecAngle);

// The idle spin's angle after n frames at degrees_per_frame, reduced exactly
// to [0, 360) in integers. The same turn as the product, but a float holds it
// to the degree at any n, where the product itself would lose whole degrees
// after a day of spinning, and run out of 32 bits after weeks.
float IdleSpinAngle(std::int32_t n, std::int32_t degrees_per_frame);

}  // namespace kalvo
