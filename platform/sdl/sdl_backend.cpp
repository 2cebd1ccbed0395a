// The SDL2 backend: Kalvo's window, context and icons on SDL, SDL's events
// turned into Kalvo's, and the wait between them. What every platform does
// lives in the shared runtime (app/runtime.h).
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
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

// The name of Kalvo's desktop entry, without its ".desktop".
constexpr char kAppId[] = "kalvo";

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
  void WaitOnWayland(wl_display* wayland, std::optional<std::int64_t> deadline);
  std::optional<std::int64_t> NsUntil(std::optional<std::int64_t> deadline);

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

// Nanoseconds from now to the deadline, 0 once it has passed; none without one.
std::optional<std::int64_t> SdlBackend::NsUntil(std::optional<std::int64_t> deadline) {
  if (!deadline) return std::nullopt;
  const std::int64_t now = counter_.Count();
  return now >= *deadline ? 0 : (*deadline - now) * 1'000'000'000 / counter_.Frequency();
}

// One ppoll for input on a display connection, to the nanosecond, or with no
// limit; true if something came.
bool PollConnection(int fd, std::optional<std::int64_t> wait_ns) {
  timespec timeout{};
  if (wait_ns) {
    timeout = {static_cast<time_t>(*wait_ns / 1'000'000'000),
               static_cast<decltype(timespec::tv_nsec)>(*wait_ns % 1'000'000'000)};
  }
  pollfd connection{fd, POLLIN, 0};
  return ppoll(&connection, 1, wait_ns ? &timeout : nullptr, nullptr) > 0;
}

// Sleeps until the deadline (or, with none, for as long as it takes) or until
// input may have come, whichever is first. On X11 that is one ppoll on the
// display connection: between frames nothing but input and window changes
// arrives there, since a frame reads the replies to its own round trips itself.
void SdlBackend::WaitForInputUntil(std::optional<std::int64_t> deadline) {
  const std::optional<std::int64_t> wait_ns = NsUntil(deadline);
  if (wait_ns == 0) return;
  if (wl_display* wayland = surface_.wayland_display()) {
    WaitOnWayland(wayland, deadline);
    return;
  }
  Display* display = surface_.x11_display();
  if (display == nullptr) {
    // Another video driver: SDL waits for input in whole milliseconds, and
    // a second, finer sleep meets the tick.
    const auto whole_ms = static_cast<Sint32>(wait_ns ? *wait_ns / 1'000'000 : -1);
    if (whole_ms != 0 && SDL_WaitEventTimeout(nullptr, whole_ms) != 0) return;
    if (const auto rest_ns = NsUntil(deadline); rest_ns > 0) {
      std::this_thread::sleep_for(std::chrono::nanoseconds(*rest_ns));
    }
    return;
  }
  // A frame drawn by a handler may have read events off the socket into
  // Xlib's queue, or left requests unsent; neither would wake the poll.
  XFlush(display);
  if (XEventsQueued(display, QueuedAlready) > 0 || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) {
    return;
  }
  PollConnection(ConnectionNumber(display), wait_ns);
}

// The same on Wayland, where the socket also brings what Mesa and SDL read on
// queues of their own for the frames (the compositor's release of a buffer
// once it shows the next, the end of a repaint). Those are read off into
// their queues and the wait goes on: it ends for events on the display's
// main queue, where SDL takes input and window changes, or at the deadline.
void SdlBackend::WaitOnWayland(wl_display* wayland, std::optional<std::int64_t> deadline) {
  if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
  // Refused while the main queue holds events read during the frame: SDL
  // takes those at once. Otherwise this thread may read the socket.
  while (wl_display_prepare_read(wayland) == 0) {
    // Requests the frame left unsent would not wake the compositor.
    wl_display_flush(wayland);
    const std::optional<std::int64_t> wait_ns = NsUntil(deadline);
    if (wait_ns == 0 || !PollConnection(wl_display_get_fd(wayland), wait_ns)) {
      wl_display_cancel_read(wayland);
      return;
    }
    wl_display_read_events(wayland);
  }
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

// An environment variable's value, or none when it is unset or empty. SDL
// reads these to find the display; Kalvo reads them only to pick the order
// in which SDL tries the drivers, and to say what it tried.
const char* Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

// The path of the Wayland socket a display name stands for, as the Wayland
// library finds it.
std::string WaylandSocket(const char* name) {
  if (name[0] == '/') return name;
  const char* runtime_dir = Variable("XDG_RUNTIME_DIR");
  return runtime_dir != nullptr ? std::string(runtime_dir) + "/" + name
                                : std::string(name) + " in an unset XDG_RUNTIME_DIR";
}

// Where SDL looked for a display, in its order: with WAYLAND_DISPLAY set,
// the Wayland socket first (see RunKalvo), else DISPLAY and then Wayland's
// default socket.
std::string DisplaysTried() {
  const char* x11 = Variable("DISPLAY");
  const std::string x11_tried = x11 != nullptr ? std::string("DISPLAY=") + x11 : "no DISPLAY";
  if (const char* wayland = Variable("WAYLAND_DISPLAY")) {
    return "the Wayland socket " + WaylandSocket(wayland) + ", then " + x11_tried;
  }
  return x11_tried + ", then the Wayland socket " + WaylandSocket("wayland-0");
}

void SayUnreachable() {
  std::fprintf(stderr, "kalvo: cannot reach the display (%s)\n", DisplaysTried().c_str());
}

// With no display SDL may fall back to a driver that shows nothing; a window
// nobody can see would run for ever. Says why, and false, for such a driver.
bool CanShowWindows() {
  const char* driver_name = SDL_GetCurrentVideoDriver();
  const std::string_view driver = driver_name != nullptr ? driver_name : "";
  if (driver != "offscreen" && driver != "dummy" && driver != "evdev") return true;
  if (const char* asked = Variable("SDL_VIDEODRIVER")) {
    std::fprintf(
        stderr, "kalvo: SDL_VIDEODRIVER=%s picks a driver that shows no window: unset it\n", asked);
  } else if (Variable("DISPLAY") == nullptr && Variable("WAYLAND_DISPLAY") == nullptr) {
    std::fprintf(
        stderr, "kalvo: no display to show the window on: set WAYLAND_DISPLAY or DISPLAY (no %s)\n",
        WaylandSocket("wayland-0").c_str());
  } else {
    SayUnreachable();
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
  // The window's app id on Wayland and its class on X11, by which shells find
  // the desktop entry (kalvo.desktop) and with it the icon and name to show.
  // SDL 2.26 reads these two variables, not a hint, and otherwise takes the
  // executable's name; the user's own values win.
  setenv("SDL_VIDEO_WAYLAND_WMCLASS", kAppId, /*overwrite=*/0);
  setenv("SDL_VIDEO_X11_WMCLASS", kAppId, /*overwrite=*/0);
  // Left alone, SDL 2.26 takes X11 whenever DISPLAY is set, which on a Wayland
  // desktop means XWayland: a window the compositor scales up blurred, or one
  // twice too big where the desktop publishes its scale to X11. So Wayland
  // comes first where there is a Wayland display, and X11 where its socket
  // does not answer. A driver the user names still wins.
  const bool wayland_first =
      Variable("WAYLAND_DISPLAY") != nullptr && Variable("SDL_VIDEODRIVER") == nullptr;
  if (wayland_first) SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    // Given the list, SDL says only that none of its drivers could connect.
    if (wayland_first && std::string_view(SDL_GetError()).ends_with(" not available")) {
      SayUnreachable();
    } else {
      std::fprintf(stderr, "kalvo: cannot open a display: %s\n", SDL_GetError());
    }
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
