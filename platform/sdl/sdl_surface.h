// Picture1's drawing surface: the SDL window and the OpenGL calls on it.
// SDL fixes a window's pixel format when the window is made, so choosing the
// format sets SDL's GL attributes and setting it makes the (hidden) window.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include "gl/wgl_api.h"

namespace kalvo {

// The one drawing surface there is.
inline constexpr Hdc kPicture1Hdc{1};

class SdlSurface {
 public:
  SdlSurface() = default;
  SdlSurface(const SdlSurface&) = delete;
  SdlSurface& operator=(const SdlSurface&) = delete;
  ~SdlSurface() { Destroy(); }

  SDL_Window* window() const { return window_; }
  // The window's X11 connection, where SDL drives X11.
  Display* x11_display() const {
    return wm_.subsystem == SDL_SYSWM_X11 ? wm_.info.x11.display : nullptr;
  }
  // Its Wayland display, where SDL drives Wayland.
  wl_display* wayland_display() const {
    return wm_.subsystem == SDL_SYSWM_WAYLAND ? wm_.info.wl.display : nullptr;
  }
  const SDL_SysWMinfo& wm() const { return wm_; }
  bool Create();  // hidden, at the start-up client size, with the chosen format
  void Destroy();

 private:
  SDL_Window* window_ = nullptr;
  SDL_SysWMinfo wm_{};  // what SDL says of the window's system, looked up once
};

class SdlWgl final : public WglApi {
 public:
  explicit SdlWgl(SdlSurface& surface) : surface_(surface) {}
  SdlWgl(const SdlWgl&) = delete;
  SdlWgl& operator=(const SdlWgl&) = delete;

  int ChoosePixelFormat(Hdc hdc, const PIXELFORMATDESCRIPTOR& pfd) override;
  bool SetPixelFormat(Hdc hdc, int format, const PIXELFORMATDESCRIPTOR& pfd) override;
  Hglrc wglCreateContext(Hdc hdc) override;
  bool wglMakeCurrent(Hdc hdc, Hglrc hglrc) override;
  bool wglDeleteContext(Hglrc hglrc) override;

 private:
  SdlSurface& surface_;
};

// Asks the GL driver to draw each frame on the calling thread. Before SDL_Init.
void DrawOnOneThread();
// Swaps without waiting for the display's refresh. With the context current.
void SetSwapIntervalZero();

// "kalvo: <what> failed: <SDL's own error text>" on standard error.
void LogSdlError(const char* what);

}  // namespace kalvo
