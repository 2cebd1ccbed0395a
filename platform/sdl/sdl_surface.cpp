#include "platform/sdl/sdl_surface.h"

#include <SDL_syswm.h>
#include <X11/Xresource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/form_design.h"

namespace kalvo {
namespace {

constexpr int kFormatId = 1;

SDL_GLContext ToSdl(Hglrc hglrc) {
  return reinterpret_cast<SDL_GLContext>(static_cast<std::uintptr_t>(hglrc));  // NOLINT
}

bool SetAttribute(SDL_GLattr attribute, int value, const char* name) {
  if (SDL_GL_SetAttribute(attribute, value) == 0) return true;
  std::fprintf(stderr, "kalvo: cannot ask for %s = %d: %s\n", name, value, SDL_GetError());
  return false;
}

// The scale the desktop publishes for X11 programs, as the Xft.dpi resource;
// 96 where it says none. A compositor that scales windows itself publishes 96.
int XftDpi(Display* display) {
  const char* resources = display != nullptr ? XResourceManagerString(display) : nullptr;
  if (resources == nullptr) return kDefaultDpi;
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  char* type = nullptr;
  XrmValue value{};
  double dpi = 0;
  if (database != nullptr && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) != 0 &&
      value.addr != nullptr) {
    dpi = std::strtod(value.addr, nullptr);
  }
  if (database != nullptr) XrmDestroyDatabase(database);
  // Beyond any real display: a typing error, not a scale.
  return dpi >= 24 && dpi <= 960 ? static_cast<int>(std::lround(dpi)) : kDefaultDpi;
}

}  // namespace

void DrawOnOneThread() {
  // Mesa's software renderer splits each frame among worker threads. For a
  // picture this small the hand-offs cost more than they save (about a third
  // of Kalvo's CPU use when idle), so it draws on this thread, unless the user
  // has said otherwise. Other drivers ignore the setting.
  setenv("LP_NUM_THREADS", "0", /*overwrite=*/0);
}

void SetSwapIntervalZero() {
  // Frames are paced by the counter; waiting for the display's refresh as
  // well would turn 20 ms into 33 on a 60 Hz screen.
  if (SDL_GL_SetSwapInterval(0) != 0 && SDL_GL_GetSwapInterval() != 0) {
    LogSdlError("SDL_GL_SetSwapInterval(0)");
  }
}

void LogSdlError(const char* what) {
  std::fprintf(stderr, "kalvo: %s failed: %s\n", what, SDL_GetError());
}

bool SdlSurface::Create() {
  if (window_ != nullptr) return true;
  const std::string caption(kCaption);
  window_ = SDL_CreateWindow(
      caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
      TwipsToPixels(kClientWidthTwips, kDefaultDpi), TwipsToPixels(kClientHeightTwips, kDefaultDpi),
      SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (window_ == nullptr) {
    LogSdlError("SDL_CreateWindow with an OpenGL pixel format");
    return false;
  }
  SDL_VERSION(&wm_.version);
  if (SDL_GetWindowWMInfo(window_, &wm_) != SDL_TRUE) wm_.subsystem = SDL_SYSWM_UNKNOWN;
  // Sized for the desktop's scale while still hidden: the display is known
  // only once the window is made.
  if (const int dpi = XftDpi(x11_display()); dpi != kDefaultDpi) {
    SDL_SetWindowSize(window_, TwipsToPixels(kClientWidthTwips, dpi),
                      TwipsToPixels(kClientHeightTwips, dpi));
  }
  return true;
}

void SdlSurface::Destroy() {
  if (window_ == nullptr) return;
  SDL_DestroyWindow(window_);
  window_ = nullptr;
  wm_ = {};
}

int SdlWgl::ChoosePixelFormat(Hdc hdc, const PIXELFORMATDESCRIPTOR& pfd) {
  if (hdc != kPicture1Hdc) return 0;
  if ((pfd.dwFlags & PFD_SUPPORT_OPENGL) == 0 || pfd.iPixelType != PFD_TYPE_RGBA) return 0;
  SDL_GL_ResetAttributes();
  // 32 colour bits means 8 per channel with the fourth byte unused: no alpha
  // is asked for unless cAlphaBits says so.
  const int channel_bits = pfd.cColorBits >= 24 ? 8 : pfd.cColorBits / 3;
  const bool double_buffer = (pfd.dwFlags & PFD_DOUBLEBUFFER) != 0;
  const bool ok = SetAttribute(SDL_GL_RED_SIZE, channel_bits, "red bits") &&
                  SetAttribute(SDL_GL_GREEN_SIZE, channel_bits, "green bits") &&
                  SetAttribute(SDL_GL_BLUE_SIZE, channel_bits, "blue bits") &&
                  SetAttribute(SDL_GL_ALPHA_SIZE, pfd.cAlphaBits, "alpha bits") &&
                  SetAttribute(SDL_GL_DEPTH_SIZE, pfd.cDepthBits, "depth bits") &&
                  SetAttribute(SDL_GL_STENCIL_SIZE, pfd.cStencilBits, "stencil bits") &&
                  SetAttribute(SDL_GL_DOUBLEBUFFER, double_buffer ? 1 : 0, "double buffer") &&
                  // 1.1 with no profile gets a legacy context: the compatibility
                  // profile, where immediate mode lives.
                  SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1, "OpenGL major version") &&
                  SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1, "OpenGL minor version");
  return ok ? kFormatId : 0;
}

bool SdlWgl::SetPixelFormat(Hdc hdc, int format, const PIXELFORMATDESCRIPTOR& /*pfd*/) {
  if (hdc != kPicture1Hdc || format != kFormatId) return false;
  return surface_.Create();
}

Hglrc SdlWgl::wglCreateContext(Hdc hdc) {
  if (hdc != kPicture1Hdc || surface_.window() == nullptr) return Hglrc::kNone;
  SDL_GLContext context = SDL_GL_CreateContext(surface_.window());
  if (context == nullptr) {
    LogSdlError("SDL_GL_CreateContext for OpenGL 1.1, RGB 8/8/8, depth 16, double-buffered");
    return Hglrc::kNone;
  }
  return static_cast<Hglrc>(reinterpret_cast<std::uintptr_t>(context));  // NOLINT
}

bool SdlWgl::wglMakeCurrent(Hdc hdc, Hglrc hglrc) {
  if (hglrc == Hglrc::kNone) {
    // Nothing to make current on a window that is already gone.
    return surface_.window() == nullptr || SDL_GL_MakeCurrent(surface_.window(), nullptr) == 0;
  }
  if (hdc != kPicture1Hdc || surface_.window() == nullptr) return false;
  if (SDL_GL_MakeCurrent(surface_.window(), ToSdl(hglrc)) != 0) {
    LogSdlError("SDL_GL_MakeCurrent");
    return false;
  }
  return true;
}

bool SdlWgl::wglDeleteContext(Hglrc hglrc) {
  if (hglrc == Hglrc::kNone) return false;
  SDL_GL_DeleteContext(ToSdl(hglrc));
  return true;
}

}  // namespace kalvo
