// Picture1's drawing surface: the SDL window and the OpenGL calls on it.
// SDL fixes a window's pixel format when the window is made, so choosing the
// format sets SDL's GL attributes and setting it makes the (hidden) window.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include <optional>

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
  bool Create();  // hidden, at the start-up client size, with the chosen format
  void Destroy();

 private:
  SDL_Window* window_ = nullptr;
};

class SdlWgl final : public WglApi {
 public:
  explicit SdlWgl(SdlSurface& surface) : surface_(surface) {}
  SdlWgl(const SdlWgl&) = delete;
  SdlWgl& operator=(const SdlWgl&) = delete;
  ~SdlWgl() override;

  int ChoosePixelFormat(Hdc hdc, const PIXELFORMATDESCRIPTOR& pfd) override;
  bool SetPixelFormat(Hdc hdc, int format, const PIXELFORMATDESCRIPTOR& pfd) override;
  Hglrc wglCreateContext(Hdc hdc) override;
  bool wglMakeCurrent(Hdc hdc, Hglrc hglrc) override;
  bool wglDeleteContext(Hglrc hglrc) override;

 private:
  SdlSurface& surface_;
  bool library_loaded_ = false;
};

// The window's system handles (its X11 connection, its Wayland display),
// where SDL drives that system.
std::optional<SDL_SysWMinfo> WmInfoOf(SDL_Window* window, SDL_SYSWM_TYPE subsystem);

// "kalvo: <what> failed: <SDL's own error text>" on standard error.
void LogSdlError(const char* what);

}  // namespace kalvo
