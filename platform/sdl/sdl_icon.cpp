#include "platform/sdl/sdl_icon.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

#include "app/icon.h"
#include "platform/sdl/sdl_surface.h"

namespace kalvo {
namespace {

// SDL_SetWindowIcon takes one image. On X11 the _NET_WM_ICON property can
// carry several, so the window manager can pick the size it shows.
void SetX11IconProperty(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;

  // Xlib wants format-32 data as longs, whatever their width.
  std::vector<unsigned long> data;  // NOLINT(google-runtime-int)
  for (int size : kIconSizesPx) {
    data.push_back(static_cast<unsigned long>(size));  // NOLINT(google-runtime-int)
    data.push_back(static_cast<unsigned long>(size));  // NOLINT(google-runtime-int)
    for (std::uint32_t pixel : IconPixels(size)) data.push_back(pixel);
  }
  Display* display = info.info.x11.display;
  const Atom net_wm_icon = XInternAtom(display, "_NET_WM_ICON", False);
  XChangeProperty(display, info.info.x11.window, net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(data.data()),  // NOLINT
                  static_cast<int>(data.size()));
  XFlush(display);
}

}  // namespace

void SetWindowIcons(SDL_Window* window) {
  const int size = kIconSizesPx[0];
  std::vector<std::uint32_t> pixels = IconPixels(size);
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), size, size, 32, size * 4,
                                                         SDL_PIXELFORMAT_ARGB8888);
  if (icon == nullptr) {
    LogSdlError("SDL_CreateRGBSurfaceWithFormatFrom for the icon");
  } else {
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
  }
  SetX11IconProperty(window);
}

}  // namespace kalvo
