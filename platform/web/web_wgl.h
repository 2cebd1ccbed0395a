// The context steps on a page: a WebGL 1 context on the picture's canvas,
// made by the canvas's own getContext, and the one that Kalvo's GL
// (web_gl.h) draws on while current. It owns nothing: Module1 owns the
// context it makes, the page owns the canvas.
#pragma once

#include <string>

#include "gl/wgl_api.h"

namespace kalvo {

class WebWgl final : public WglApi {
 public:
  explicit WebWgl(std::string canvas) : canvas_(std::move(canvas)) {}

  // Accepts what WebGL can give: double-buffered RGBA with a depth buffer.
  int ChoosePixelFormat(Hdc hdc, const PIXELFORMATDESCRIPTOR& pfd) override;
  bool SetPixelFormat(Hdc hdc, int format, const PIXELFORMATDESCRIPTOR& pfd) override;
  Hglrc wglCreateContext(Hdc hdc) override;
  bool wglMakeCurrent(Hdc hdc, Hglrc hglrc) override;
  bool wglDeleteContext(Hglrc hglrc) override;

 private:
  std::string canvas_;  // the canvas's CSS selector
  bool depth_ = false;  // as the chosen format asks
  bool alpha_ = false;
};

}  // namespace kalvo
