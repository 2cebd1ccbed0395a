#include "platform/sdl_runtime.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "app/errors.h"
#include "app/frm_main.h"
#include "app/timer1_schedule.h"
#include "gl/module1.h"
#include "platform/sdl_icon.h"
#include "platform/sdl_surface.h"
#include "render/gl_scene.h"
#include "roll/roll.h"

namespace kalvo {
namespace {

class SdlCounter final : public CounterSource {
 public:
  std::int64_t Frequency() override {
    return static_cast<std::int64_t>(SDL_GetPerformanceFrequency());
  }
  std::int64_t Count() override { return static_cast<std::int64_t>(SDL_GetPerformanceCounter()); }
};

// Key codes as the window's handlers know them; only Escape matters to Kalvo.
std::int16_t KeyCodeOf(SDL_Keycode key) {
  if (key == SDLK_ESCAPE) return kKeyEscape;
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<std::int16_t>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<std::int16_t>(key);
  if (key == SDLK_RETURN || key == SDLK_SPACE || key == SDLK_TAB || key == SDLK_BACKSPACE) {
    return static_cast<std::int16_t>(key);
  }
  return 0;
}

// Shift 1, Ctrl 2, Alt 4.
std::int16_t ShiftOf(Uint16 mod) {
  int shift = 0;
  if ((mod & KMOD_SHIFT) != 0) shift |= 1;
  if ((mod & KMOD_CTRL) != 0) shift |= 2;
  if ((mod & KMOD_ALT) != 0) shift |= 4;
  return static_cast<std::int16_t>(shift);
}

std::int16_t ButtonOf(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return kLeftButton;
    case SDL_BUTTON_RIGHT:
      return kRightButton;
    case SDL_BUTTON_MIDDLE:
      return kMiddleButton;
    case SDL_BUTTON_X1:
      return 8;
    case SDL_BUTTON_X2:
      return 16;
    default:
      return 0;
  }
}

// The window's X display connection, or none on other video drivers.
Display* XDisplayOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE) return nullptr;
  return info.subsystem == SDL_SYSWM_X11 ? info.info.x11.display : nullptr;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

// What a resize is raised for: a change of drawable size or window state.
struct WindowShape {
  int width = -1;
  int height = -1;
  WindowState state = WindowState::kNormal;
  friend bool operator==(const WindowShape&, const WindowShape&) = default;
};

class SdlRuntime final : public FormRuntime, public PictureBox {
 public:
  explicit SdlRuntime(SdlSurface& surface) : surface_(surface) {}

  int Run(frmMain& form);

  // FormRuntime
  WindowState GetWindowState() override;
  float ScaleWidth() override { return static_cast<float>(DrawableSize().width); }
  float ScaleHeight() override { return static_cast<float>(DrawableSize().height); }
  void Unload() override;
  PictureBox& Picture1() override { return *this; }
  void SetTimer1Enabled(bool enabled) override { timer_enabled_ = enabled; }
  void SwapBuffers(Hdc hdc) override;
  void ShowMessage(std::string_view prompt, std::string_view title) override;
  void SeedRandomFromClock() override { random_.SeedFromClock(); }
  RandomSource& Random() override { return random_; }
  CounterSource& PerformanceCounter() override { return counter_; }

  // PictureBox: Picture1 is the whole client area, so its size follows the
  // window's and setting it changes nothing.
  Hdc hDC() override { return kPicture1Hdc; }
  void SetWidth(float /*width*/) override {}
  void SetHeight(float /*height*/) override {}

 private:
  template <typename Handler>
  void Raise(Handler&& handler);
  void ReportError(const std::string& text);
  void Dispatch(const SDL_Event& event);
  void RaiseResizeIfChanged(bool first_show);
  WindowShape DrawableSize();
  void WaitForInputUntil(std::int64_t deadline);
  void DispatchPendingEvents();

  SdlSurface& surface_;
  frmMain* form_ = nullptr;
  SdlCounter counter_;
  UniformGenerator random_;
  bool timer_enabled_ = true;
  bool unloaded_ = false;
  int exit_status_ = 0;
  WindowShape last_shape_;
  Display* display_ = nullptr;  // watched for input between frames
};

WindowShape SdlRuntime::DrawableSize() {
  WindowShape shape{kClientWidthPx, kClientHeightPx, GetWindowState()};
  if (surface_.window() != nullptr) {
    SDL_GL_GetDrawableSize(surface_.window(), &shape.width, &shape.height);
  }
  return shape;
}

WindowState SdlRuntime::GetWindowState() {
  if (surface_.window() == nullptr) return WindowState::kNormal;
  const Uint32 flags = SDL_GetWindowFlags(surface_.window());
  if ((flags & SDL_WINDOW_MINIMIZED) != 0) return WindowState::kMinimized;
  if ((flags & SDL_WINDOW_MAXIMIZED) != 0) return WindowState::kMaximized;
  return WindowState::kNormal;
}

void SdlRuntime::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  form_->Form_Unload();
  surface_.Destroy();
}

void SdlRuntime::SwapBuffers(Hdc hdc) {
  if (hdc == kPicture1Hdc && surface_.window() != nullptr) SDL_GL_SwapWindow(surface_.window());
}

void SdlRuntime::ShowMessage(std::string_view prompt, std::string_view title) {
  const std::string text(prompt);
  const std::string caption(title);
  // Said on standard error as well, for whoever started Kalvo from a terminal.
  std::fprintf(stderr, "kalvo: %s\n", OneLine(text).c_str());
  if (SDL_ShowSimpleMessageBox(0, caption.c_str(), text.c_str(), surface_.window()) != 0) {
    LogSdlError("SDL_ShowSimpleMessageBox");
  }
}

// Every handler runs through here. An error that escapes one is reported and
// ends the program: a handler cut short leaves nothing worth going on with.
template <typename Handler>
void SdlRuntime::Raise(Handler&& handler) {
  if (const auto error = RunHandler(std::forward<Handler>(handler))) ReportError(*error);
}

void SdlRuntime::ReportError(const std::string& text) {
  std::fprintf(stderr, "kalvo: %s\n", OneLine(text).c_str());
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, std::string(kAppTitle).c_str(), text.c_str(),
                           surface_.window());
  exit_status_ = 1;
  if (const auto again = RunHandler([this] { Unload(); })) {
    std::fprintf(stderr, "kalvo: while closing: %s\n", OneLine(*again).c_str());
    surface_.Destroy();
  }
}

// One frame per change: SDL reports a single resize as two events, and a
// maximise as a state change and a size change.
void SdlRuntime::RaiseResizeIfChanged(bool first_show) {
  const WindowShape shape = DrawableSize();
  if (!first_show && shape == last_shape_) return;
  last_shape_ = shape;
  Raise([this] { form_->Form_Resize(); });
}

void SdlRuntime::Dispatch(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      Raise([this] { Unload(); });
      break;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          Raise([this] { Unload(); });
          break;
        case SDL_WINDOWEVENT_SHOWN:
          RaiseResizeIfChanged(last_shape_.width < 0);
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_RESTORED:
          RaiseResizeIfChanged(false);
          break;
        default:
          break;
      }
      break;
    case SDL_KEYDOWN: {
      const std::int16_t key = KeyCodeOf(event.key.keysym.sym);
      const std::int16_t shift = ShiftOf(event.key.keysym.mod);
      Raise([this, key, shift] { form_->Form_KeyDown(key, shift); });
      break;
    }
    case SDL_MOUSEBUTTONUP: {
      const std::int16_t button = ButtonOf(event.button.button);
      const std::int16_t shift = ShiftOf(static_cast<Uint16>(SDL_GetModState()));
      const auto x = static_cast<float>(event.button.x);
      const auto y = static_cast<float>(event.button.y);
      Raise([this, button, shift, x, y] { form_->Picture1_MouseUp(button, shift, x, y); });
      break;
    }
    default:
      break;
  }
}

// Sleeps until the deadline or until input may have come, whichever is
// first. On X11 that is one ppoll on the display connection, to the
// nanosecond: between frames nothing but input and window changes arrives
// there, since a frame reads the replies to its own round trips itself.
void SdlRuntime::WaitForInputUntil(std::int64_t deadline) {
  const std::int64_t now = counter_.Count();
  if (now >= deadline) return;
  const std::int64_t frequency = counter_.Frequency();
  const std::int64_t wait_ns = (deadline - now) * 1'000'000'000 / frequency;
  if (display_ == nullptr) {
    // Another video driver: SDL waits for input in whole milliseconds, and
    // a second, finer sleep meets the tick.
    const auto whole_ms = static_cast<Sint32>(wait_ns / 1'000'000);
    if (whole_ms > 0 && SDL_WaitEventTimeout(nullptr, whole_ms) != 0) return;
    const std::int64_t later = counter_.Count();
    if (later < deadline) {
      std::this_thread::sleep_for(
          std::chrono::nanoseconds((deadline - later) * 1'000'000'000 / frequency));
    }
    return;
  }
  // A frame drawn by a handler may have read events off the socket into
  // Xlib's queue, or left requests unsent; neither would wake the poll.
  XFlush(display_);
  if (XEventsQueued(display_, QueuedAlready) > 0 || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) {
    return;
  }
  const timespec timeout{static_cast<time_t>(wait_ns / 1'000'000'000),
                         static_cast<decltype(timespec::tv_nsec)>(wait_ns % 1'000'000'000)};
  pollfd connection{ConnectionNumber(display_), POLLIN, 0};
  ppoll(&connection, 1, &timeout, nullptr);
}

void SdlRuntime::DispatchPendingEvents() {
  SDL_PumpEvents();
  SDL_Event event;
  while (!unloaded_ && SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    Dispatch(event);
  }
}

int SdlRuntime::Run(frmMain& form) {
  form_ = &form;
  Raise([this] { form_->Form_Load(); });
  if (unloaded_) return exit_status_ != 0 ? exit_status_ : 1;  // never shown: start-up failed

  SetWindowIcons(surface_.window());
  SDL_ShowWindow(surface_.window());
  display_ = XDisplayOf(surface_.window());

  Timer1Schedule schedule(counter_.Frequency(), counter_.Count(), kTimer1IntervalMs);
  while (!unloaded_) {
    DispatchPendingEvents();
    if (unloaded_) break;
    if (!timer_enabled_) {
      SDL_Event event;
      if (SDL_WaitEvent(&event) != 0) Dispatch(event);
      continue;
    }
    const std::int64_t next_tick = schedule.NextTick(form_->NextFrameDueCount());
    const std::int64_t now = counter_.Count();
    if (now < next_tick) {
      WaitForInputUntil(next_tick);
      continue;
    }
    schedule.Ticked(now);
    Raise([this] { form_->Timer1_Timer(); });
  }
  return exit_status_;
}

}  // namespace

int RunKalvo() {
  // Kalvo is a desktop program, not a full-screen game: leave the compositor on.
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Nor a video player: a die left spinning must not keep the screen awake.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "kalvo: cannot open a display: %s\n", SDL_GetError());
    return 1;
  }
  // With no display SDL may fall back to a driver that shows nothing; a
  // window nobody can see would run for ever.
  const char* driver_name = SDL_GetCurrentVideoDriver();
  const std::string_view driver = driver_name != nullptr ? driver_name : "";
  if (driver == "offscreen" || driver == "dummy" || driver == "evdev") {
    // SDL reads these to find the display; they are named here only to say
    // which display could not be reached, or that SDL was told not to look.
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (asked != nullptr && *asked != '\0') {
      std::fprintf(stderr,
                   "kalvo: SDL_VIDEODRIVER=%s picks a driver that shows no window: unset it\n",
                   asked);
    } else if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) {
      std::fprintf(stderr,
                   "kalvo: no display to show the window on: set DISPLAY or WAYLAND_DISPLAY\n");
    } else {
      std::fprintf(stderr, "kalvo: cannot reach the display (DISPLAY=%s, WAYLAND_DISPLAY=%s)\n",
                   x11 != nullptr ? x11 : "", wayland != nullptr ? wayland : "");
    }
    SDL_Quit();
    return 1;
  }

  int status = 0;
  {
    SdlSurface surface;
    SdlWgl wgl(surface);
    Module1 module1(wgl);
    GlScene scene;
    SdlRuntime runtime(surface);
    frmMain form(runtime, module1, scene);
    status = runtime.Run(form);
  }
  SDL_Quit();
  return status;
}

}  // namespace kalvo
