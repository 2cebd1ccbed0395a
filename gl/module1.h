// The program's one rendering context: set up on the picture's surface at
// load, current on the UI thread until unload, then released. It owns the
// context handle; the surface and the window belong to the platform.
#pragma once

#include "gl/wgl_api.h"

namespace kalvo {

// Double-buffered RGBA with 32 colour bits (8 per channel, no alpha asked
// for) and 16 depth bits.
PIXELFORMATDESCRIPTOR RequestedPixelFormat();

class Module1 {
 public:
  explicit Module1(WglApi& wgl) : wgl_(wgl) {}
  Module1(const Module1&) = delete;
  Module1& operator=(const Module1&) = delete;
  ~Module1() { ReleaseGL(); }

  // True once a context exists on hDC and is current. On failure nothing is
  // left behind: a context made but not current is deleted again.
  bool InitGL(Hdc hDC);

  // Makes no context current and deletes the one InitGL made, once.
  void ReleaseGL();

 private:
  WglApi& wgl_;
  Hglrc hRC_ = Hglrc::kNone;
};

}  // namespace kalvo
