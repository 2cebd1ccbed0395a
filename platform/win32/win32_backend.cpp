// The Win32 backend: Kalvo's window, WGL context and icons on Windows, the
// window's messages turned into Kalvo's events, and the wait between them on
// a high-resolution waitable timer. What every platform does lives in the
// shared runtime (app/runtime.h).
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/form_design.h"
#include "app/input.h"
#include "app/runtime.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_wgl.h"

namespace kalvo {
namespace {

constexpr wchar_t kWindowClass[] = L"KalvoFrmMain";
constexpr WORD kIconResource = 1;  // in kalvo.rc
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;
constexpr std::int64_t k100nsPerSecond = 10'000'000;
constexpr UINT_PTR kModalTimer = 1;  // Timer1's ticks while a system loop runs
// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, Windows 10 1803 and later; older
// headers do not name it.
constexpr DWORD kHighResolutionTimer = 0x00000002;

std::wstring Utf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), length);
  return text;
}

// Kalvo's client area at a DPI, and the window rectangle around it.
// GetDpiForWindow and AdjustWindowRectExForDpi came with Windows 10 1607;
// before it, a window has the system's DPI.
class WindowDpi {
 public:
  WindowDpi() {
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
      // The system hands functions over as untyped procedures.
      get_dpi_for_window_ = reinterpret_cast<GetDpiForWindowFn>(  // NOLINT
          reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
      adjust_for_dpi_ = reinterpret_cast<AdjustWindowRectExForDpiFn>(  // NOLINT
          reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
    }
  }

  int Of(HWND hwnd) const {
    if (get_dpi_for_window_ != nullptr) {
      if (const UINT dpi = get_dpi_for_window_(hwnd); dpi != 0) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
  }

  // The window's outer size for the start-up client area at this DPI.
  std::optional<SIZE> FrameFor(int dpi) const {
    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    const BOOL ok = adjust_for_dpi_ != nullptr
                        ? adjust_for_dpi_(&frame, kWindowStyle, FALSE, 0, static_cast<UINT>(dpi))
                        : AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    if (ok == 0) {
      LogLastError("AdjustWindowRectExForDpi");
      return std::nullopt;
    }
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
  }

 private:
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  GetDpiForWindowFn get_dpi_for_window_ = nullptr;
  AdjustWindowRectExForDpiFn adjust_for_dpi_ = nullptr;
};

// Timer1's clock. A plain window timer is clamped to 10 ms and ticks at the
// system timer's resolution (often 15.6 ms), too coarse for 5 ms ticks. A
// high-resolution waitable timer is not; where the system has none, the
// system timer's resolution is raised to 1 ms for as long as Kalvo runs.
class TickTimer {
 public:
  TickTimer() {
    handle_ = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    if (handle_ == nullptr) {
      raised_resolution_ = timeBeginPeriod(1) == TIMERR_NOERROR;
      handle_ = CreateWaitableTimerW(nullptr, FALSE, nullptr);
      if (handle_ == nullptr) LogLastError("CreateWaitableTimerW");
    }
  }
  TickTimer(const TickTimer&) = delete;
  TickTimer& operator=(const TickTimer&) = delete;
  ~TickTimer() {
    if (handle_ != nullptr) CloseHandle(handle_);
    if (raised_resolution_) timeEndPeriod(1);
  }

  // Sleeps until the deadline (or, with none, for as long as it takes) or
  // until a message arrives, whichever is first.
  void WaitForInputUntil(std::optional<std::int64_t> deadline, CounterSource& counter) {
    DWORD count = 0;
    DWORD timeout = INFINITE;
    if (deadline) {
      const std::int64_t now = counter.Count();
      if (now >= *deadline) return;
      LARGE_INTEGER due{};
      due.QuadPart = -((*deadline - now) * k100nsPerSecond / counter.Frequency());  // relative
      if (handle_ != nullptr && SetWaitableTimer(handle_, &due, 0, nullptr, nullptr, FALSE) != 0) {
        count = 1;
      } else {
        timeout = 1;  // without a timer the ticks still come, one a millisecond
      }
    }
    MsgWaitForMultipleObjectsEx(count, &handle_, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }

 private:
  HANDLE handle_ = nullptr;
  bool raised_resolution_ = false;
};

// Where a launcher that asked for a hidden window gets a normal one: a
// window nobody can see would run for ever.
int ShowCommand() {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  const bool hidden =
      (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
  return hidden ? SW_SHOWNORMAL : SW_SHOWDEFAULT;
}

class Win32Backend final : public Backend {
 public:
  explicit Win32Backend(HINSTANCE instance) : instance_(instance) {}
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;
  ~Win32Backend() override;

  // The window, hidden, with the start-up client size. False if it cannot be made.
  bool CreateFormWindow();
  int Run();

  WglApi& Wgl() override { return wgl_; }
  Hdc Picture1Hdc() override { return static_cast<Hdc>(reinterpret_cast<std::uintptr_t>(hdc_)); }
  CounterSource& Counter() override { return counter_; }
  WindowShape Shape() override;
  void Show() override;
  void Swap(Hdc hdc) override { kalvo::SwapBuffers(hdc); }
  void ShowMessageBox(std::string_view text, std::string_view title, bool error) override;
  void Close() override;
  void Log(std::string_view line) override { LogLine(line); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void MouseDown(std::int16_t button);
  void MouseUp(std::int16_t button, WPARAM buttons_down);
  void EnterSystemLoop();
  void LeaveSystemLoop();
  void StopModalTicks();
  void ArmModalTimer(std::optional<std::int64_t> deadline);

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HDC hdc_ = nullptr;
  bool class_registered_ = false;
  bool shown_ = false;
  // Move and size loops, menus and held caption buttons run inside
  // DefWindowProc; while they do, Timer1's ticks come as WM_TIMER.
  int system_loops_ = 0;
  bool raised_resolution_ = false;
  WindowDpi dpi_;
  Win32Wgl wgl_;
  kalvo::PerformanceCounter counter_;
  UniformGenerator random_;
  Runtime* runtime_ = nullptr;
};

Win32Backend::~Win32Backend() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (class_registered_) UnregisterClassW(kWindowClass, instance_);
}

bool Win32Backend::CreateFormWindow() {
  const auto icon = [this](int size_metric) {
    const int size = GetSystemMetrics(size_metric);
    auto* handle = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, size, size, LR_SHARED));
    if (handle == nullptr) LogLastError("LoadImageW for the icon");
    return handle;
  };
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  // A device context of its own, which keeps its pixel format and GL context.
  window_class.style = CS_OWNDC;
  window_class.lpfnWndProc = &Win32Backend::WindowProc;
  window_class.hInstance = instance_;
  window_class.hIcon = icon(SM_CXICON);
  window_class.hIconSm = icon(SM_CXSMICON);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassExW(&window_class) == 0) {
    LogLastError("RegisterClassExW");
    return false;
  }
  class_registered_ = true;

  // Made at the start-up size for 96 DPI, then sized for the DPI of the
  // display it landed on, which is known only once it exists.
  const std::optional<SIZE> frame = dpi_.FrameFor(kDefaultDpi);
  if (!frame) return false;
  hwnd_ = CreateWindowExW(0, kWindowClass, Utf16(kCaption).c_str(), kWindowStyle, CW_USEDEFAULT,
                          CW_USEDEFAULT, frame->cx, frame->cy, nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) {
    LogLastError("CreateWindowExW");
    return false;
  }
  if (const int dpi = dpi_.Of(hwnd_); dpi != kDefaultDpi) {
    const std::optional<SIZE> scaled = dpi_.FrameFor(dpi);
    if (scaled && SetWindowPos(hwnd_, nullptr, 0, 0, scaled->cx, scaled->cy,
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) == 0) {
      LogLastError("SetWindowPos to the display's scale");
    }
  }
  hdc_ = GetDC(hwnd_);
  if (hdc_ == nullptr) {
    LogLastError("GetDC");
    return false;
  }
  return true;
}

WindowShape Win32Backend::Shape() {
  WindowShape shape;
  RECT client{};
  if (hwnd_ == nullptr || GetClientRect(hwnd_, &client) == 0) return shape;
  shape.width = client.right - client.left;
  shape.height = client.bottom - client.top;
  if (IsIconic(hwnd_) != 0) {
    shape.state = WindowState::kMinimized;
  } else if (IsZoomed(hwnd_) != 0) {
    shape.state = WindowState::kMaximized;
  }
  return shape;
}

void Win32Backend::Show() {
  shown_ = true;
  SetSwapIntervalZero();
  const int command = ShowCommand();
  ShowWindow(hwnd_, command);
  // The first ShowWindow of a process may take its command from the start-up
  // information whatever it is given; the second does as it is told.
  if (command == SW_SHOWNORMAL && IsWindowVisible(hwnd_) == 0) ShowWindow(hwnd_, command);
}

void Win32Backend::Close() {
  if (std::exchange(system_loops_, 0) > 0) StopModalTicks();
  // Its own device context goes with it.
  HWND hwnd = std::exchange(hwnd_, nullptr);
  hdc_ = nullptr;
  DestroyWindow(hwnd);
}

void Win32Backend::ShowMessageBox(std::string_view text, std::string_view title, bool error) {
  // A window never shown must not come up with its box.
  HWND owner = shown_ ? hwnd_ : nullptr;
  const UINT type = error ? MB_OK | MB_ICONERROR : MB_OK;
  if (MessageBoxW(owner, Utf16(text).c_str(), Utf16(title).c_str(), type) == 0) {
    LogLastError("MessageBoxW");
  }
}

LRESULT CALLBACK Win32Backend::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    // The system hands pointers over as integers.
    const auto* create =
        reinterpret_cast<const CREATESTRUCTW*>(lparam);  // NOLINT(performance-no-int-to-ptr)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* backend = reinterpret_cast<Win32Backend*>(  // NOLINT(performance-no-int-to-ptr)
      GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (backend == nullptr || backend->runtime_ == nullptr || hwnd != backend->hwnd_) {
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return backend->Handle(message, wparam, lparam);
}

// The mouse is held while a button is down, so its release comes here
// wherever the pointer is then, as on X11.
void Win32Backend::MouseDown(std::int16_t button) {
  SetCapture(hwnd_);
  runtime_->Handle(kalvo::MouseDown{button});
}

void Win32Backend::MouseUp(std::int16_t button, WPARAM buttons_down) {
  runtime_->Handle(kalvo::MouseUp{button});
  constexpr WPARAM kAnyButton = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2;
  if ((buttons_down & kAnyButton) == 0 && GetCapture() == hwnd_) ReleaseCapture();
}

void Win32Backend::EnterSystemLoop() {
  if (system_loops_++ > 0) return;
  // Window timers come at the system timer's resolution, often 15.6 ms: at
  // 1 ms they can meet 20 ms frames.
  raised_resolution_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  ArmModalTimer(runtime_->RunDue());
}

void Win32Backend::LeaveSystemLoop() {
  if (system_loops_ > 0 && --system_loops_ == 0) StopModalTicks();
}

void Win32Backend::StopModalTicks() {
  if (hwnd_ != nullptr) KillTimer(hwnd_, kModalTimer);
  if (std::exchange(raised_resolution_, false)) timeEndPeriod(1);
}

// One WM_TIMER at the deadline (or as soon after as window timers go).
void Win32Backend::ArmModalTimer(std::optional<std::int64_t> deadline) {
  if (hwnd_ == nullptr) return;
  if (!deadline) {
    KillTimer(hwnd_, kModalTimer);
    return;
  }
  const std::int64_t ahead = *deadline - counter_.Count();
  const std::int64_t ms =
      ahead <= 0 ? 0 : (ahead * 1000 + counter_.Frequency() - 1) / counter_.Frequency();
  if (::SetTimer(hwnd_, kModalTimer,
                 static_cast<UINT>(std::max<std::int64_t>(ms, USER_TIMER_MINIMUM)), nullptr) == 0) {
    LogLastError("SetTimer for the ticks during a move");
  }
}

LRESULT Win32Backend::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  Runtime& runtime = *runtime_;
  switch (message) {
    case WM_CLOSE:
      runtime.Handle(CloseRequested{});
      return 0;
    case WM_SIZE:
      runtime.Handle(ShapeChanged{});
      return 0;
    case WM_ERASEBKGND:
      return 1;  // every frame covers the whole client area
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      runtime.Handle(KeyDown{wparam == VK_ESCAPE ? kKeyEscape : std::int16_t{0}});
      // Alt+F4 and the system menu still work.
      if (message == WM_SYSKEYDOWN && !runtime.Ended()) {
        return DefWindowProcW(hwnd_, message, wparam, lparam);
      }
      return 0;
    case WM_SYSCOMMAND:
      // A bare Alt or F10 would enter the menu bar Kalvo does not have, and
      // the die would stop until the next key. Alt+Space still opens the
      // system menu (its lparam is the space).
      if ((wparam & 0xFFF0) == SC_KEYMENU && lparam == 0) return 0;
      return DefWindowProcW(hwnd_, message, wparam, lparam);
    case WM_LBUTTONDOWN:
      MouseDown(kLeftButton);
      return 0;
    case WM_RBUTTONDOWN:
      MouseDown(kRightButton);
      return 0;
    case WM_LBUTTONUP:
      MouseUp(kLeftButton, wparam);
      return 0;
    case WM_RBUTTONUP:
      MouseUp(kRightButton, wparam);
      return 0;
    case WM_CAPTURECHANGED:
      // Another window took the mouse: its releases are not Kalvo's.
      // NOLINTNEXTLINE(performance-no-int-to-ptr)
      if (reinterpret_cast<HWND>(lparam) != hwnd_) runtime.Handle(PressesLost{});
      return 0;
    case WM_DPICHANGED: {
      // Moved to a display of another scale: the size the system suggests
      // keeps the window as large to the eye. The resize redraws.
      // NOLINTNEXTLINE(performance-no-int-to-ptr)
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
      EnterSystemLoop();
      return 0;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
      LeaveSystemLoop();
      return 0;
    case WM_NCLBUTTONDOWN: {
      // A held caption button runs its own loop, with no message around it.
      EnterSystemLoop();
      const LRESULT result = DefWindowProcW(hwnd_, message, wparam, lparam);
      LeaveSystemLoop();
      return result;
    }
    case WM_TIMER:
      if (wparam != kModalTimer) break;
      ArmModalTimer(runtime.RunDue());
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

int Win32Backend::Run() {
  Runtime runtime(*this, random_);
  runtime_ = &runtime;
  runtime.Start();
  TickTimer timer;
  while (!runtime.Ended()) {
    MSG message;
    while (!runtime.Ended() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (runtime.Ended()) break;
    const std::optional<std::int64_t> deadline = runtime.RunDue();
    if (!runtime.Ended()) timer.WaitForInputUntil(deadline, counter_);
  }
  runtime_ = nullptr;
  return runtime.ExitStatus();
}

}  // namespace

int RunKalvo() {
  Win32Backend backend(GetModuleHandleW(nullptr));
  if (!backend.CreateFormWindow()) return 1;
  return backend.Run();
}

}  // namespace kalvo
