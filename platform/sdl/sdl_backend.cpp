// The SDL2 backend: Kalvo's window, context and icons on SDL, SDL's events
// turned into Kalvo's, and the wait between them. What every platform does
// lives in the shared runtime (app/runtime.h).
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/form_design.h"
#include "app/icon.h"
#include "app/input.h"
#include "app/runtime.h"
#include "platform/sdl/sdl_surface.h"

namespace kalvo {
namespace {

class SdlCounter final : public CounterSource {
 public:
  std::int64_t Frequency() override {
    return static_cast<std::int64_t>(SDL_GetPerformanceFrequency());
  }
  std::int64_t Count() override { return static_cast<std::int64_t>(SDL_GetPerformanceCounter()); }
};

std::int16_t ButtonOf(Uint8 button) {
  if (button == SDL_BUTTON_LEFT) return kLeftButton;
  if (button == SDL_BUTTON_RIGHT) return kRightButton;
  return 0;
}

std::optional<Event> EventOf(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      return CloseRequested{};
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          return CloseRequested{};
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_RESTORED:
          return ShapeChanged{};
        default:
          return std::nullopt;
      }
    case SDL_KEYDOWN:
      return KeyDown{event.key.keysym.sym == SDLK_ESCAPE ? kKeyEscape : std::int16_t{0}};
    // X11 and Wayland send a release to the window its press went to, so a
    // press over the picture is always followed by its release.
    case SDL_MOUSEBUTTONDOWN:
      return MouseDown{ButtonOf(event.button.button)};
    case SDL_MOUSEBUTTONUP:
      return MouseUp{ButtonOf(event.button.button)};
    default:
      return std::nullopt;
  }
}

// SDL_SetWindowIcon takes one image. On X11 the _NET_WM_ICON property can
// carry several, so the window manager can pick the size it shows.
void SetX11IconProperty(const SDL_SysWMinfo& info) {
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

// The program's icon on the window at its larger size, the one image SDL takes.
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
}

class SdlBackend final : public Backend {
 public:
  int Run();

  WglApi& Wgl() override { return wgl_; }
  Hdc Picture1Hdc() override { return kPicture1Hdc; }
  CounterSource& Counter() override { return counter_; }
  WindowShape Shape() override;
  void Show() override;
  void Swap(Hdc /*hdc*/) override { SDL_GL_SwapWindow(surface_.window()); }
  void ShowMessageBox(std::string_view text, std::string_view title, bool error) override;
  void Close() override { surface_.Destroy(); }

 private:
  void WaitForInputUntil(std::optional<std::int64_t> deadline);

  SdlSurface surface_;
  SdlWgl wgl_{surface_};
  SdlCounter counter_;
  UniformGenerator random_;
};

WindowShape SdlBackend::Shape() {
  SDL_Window* window = surface_.window();
  if (window == nullptr) return {};
  WindowShape shape;
  SDL_GL_GetDrawableSize(window, &shape.width, &shape.height);
  const Uint32 flags = SDL_GetWindowFlags(window);
  if ((flags & SDL_WINDOW_MINIMIZED) != 0) {
    shape.state = WindowState::kMinimized;
  } else if ((flags & SDL_WINDOW_MAXIMIZED) != 0) {
    shape.state = WindowState::kMaximized;
  }
  return shape;
}

void SdlBackend::Show() {
  SetSwapIntervalZero();
  SetWindowIcons(surface_.window());
  if (surface_.x11_display() != nullptr) SetX11IconProperty(surface_.wm());
  SDL_ShowWindow(surface_.window());
}

void SdlBackend::ShowMessageBox(std::string_view text, std::string_view title, bool error) {
  const Uint32 flags = error ? SDL_MESSAGEBOX_ERROR : 0;
  // A window never shown must not come up with its box.
  SDL_Window* window = surface_.window();
  SDL_Window* parent =
      window != nullptr && (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0 ? window : nullptr;
  if (SDL_ShowSimpleMessageBox(flags, std::string(title).c_str(), std::string(text).c_str(),
                               parent) != 0) {
    LogSdlError("SDL_ShowSimpleMessageBox");
  }
}

// Sleeps until the deadline (or, with none, for as long as it takes) or until
// input may have come, whichever is first. On X11 that is one ppoll on the
// display connection, to the nanosecond: between frames nothing but input
// and window changes arrives there, since a frame reads the replies to its
// own round trips itself.
void SdlBackend::WaitForInputUntil(std::optional<std::int64_t> deadline) {
  const std::int64_t frequency = counter_.Frequency();
  std::optional<std::int64_t> wait_ns;
  if (deadline) {
    const std::int64_t now = counter_.Count();
    if (now >= *deadline) return;
    wait_ns = (*deadline - now) * 1'000'000'000 / frequency;
  }
  Display* display = surface_.x11_display();
  if (display == nullptr) {
    // Another video driver: SDL waits for input in whole milliseconds, and
    // a second, finer sleep meets the tick.
    const auto whole_ms = static_cast<Sint32>(wait_ns ? *wait_ns / 1'000'000 : -1);
    if (whole_ms != 0 && SDL_WaitEventTimeout(nullptr, whole_ms) != 0) return;
    const std::int64_t later = counter_.Count();
    if (deadline && later < *deadline) {
      std::this_thread::sleep_for(
          std::chrono::nanoseconds((*deadline - later) * 1'000'000'000 / frequency));
    }
    return;
  }
  // A frame drawn by a handler may have read events off the socket into
  // Xlib's queue, or left requests unsent; neither would wake the poll.
  XFlush(display);
  if (XEventsQueued(display, QueuedAlready) > 0 || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) {
    return;
  }
  timespec timeout{};
  if (wait_ns) {
    timeout = {static_cast<time_t>(*wait_ns / 1'000'000'000),
               static_cast<decltype(timespec::tv_nsec)>(*wait_ns % 1'000'000'000)};
  }
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  ppoll(&connection, 1, wait_ns ? &timeout : nullptr, nullptr);
}

int SdlBackend::Run() {
  Runtime runtime(*this, random_);
  runtime.Start();
  while (!runtime.Ended()) {
    SDL_PumpEvents();
    SDL_Event event;
    while (!runtime.Ended() &&
           SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
      if (const auto kalvo_event = EventOf(event)) runtime.Handle(*kalvo_event);
    }
    if (runtime.Ended()) break;
    const std::optional<std::int64_t> deadline = runtime.RunDue();
    if (!runtime.Ended()) WaitForInputUntil(deadline);
  }
  return runtime.ExitStatus();
}

// With no display SDL may fall back to a driver that shows nothing; a window
// nobody can see would run for ever. Says why, and false, for such a driver.
bool CanShowWindows() {
  const char* driver_name = SDL_GetCurrentVideoDriver();
  const std::string_view driver = driver_name != nullptr ? driver_name : "";
  if (driver != "offscreen" && driver != "dummy" && driver != "evdev") return true;
  // SDL reads these to find the display; they are named here only to say
  // which display could not be reached, or that SDL was told not to look.
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (asked != nullptr && *asked != '\0') {
    std::fprintf(stderr, "kalvo: SDL_VIDEODRIVER=%s picks a driver that shows no window: unset it\n",
                 asked);
  } else if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) {
    std::fprintf(stderr, "kalvo: no display to show the window on: set DISPLAY or WAYLAND_DISPLAY\n");
  } else {
    std::fprintf(stderr, "kalvo: cannot reach the display (DISPLAY=%s, WAYLAND_DISPLAY=%s)\n",
                 x11 != nullptr ? x11 : "", wayland != nullptr ? wayland : "");
  }
  return false;
}

}  // namespace

int RunKalvo() {
  // Kalvo is a desktop program, not a full-screen game: leave the compositor on.
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Nor a video player: a die left spinning must not keep the screen awake.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // A click that gives the window the focus is a click all the same: left
  // alone, SDL drops a press handled within 10 ms of the focus, and with it
  // the release that would throw the die.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  DrawOnOneThread();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "kalvo: cannot open a display: %s\n", SDL_GetError());
    return 1;
  }
  int status = 1;
  if (CanShowWindows()) {
    SdlBackend backend;
    status = backend.Run();
  }
  SDL_Quit();
  return status;
}

}  // namespace kalvo
