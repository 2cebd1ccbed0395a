// The Win32 backend: Kalvo's window, WGL context and icons on Windows, the
// window's messages turned into Kalvo's events, and the wait between them on
// a high-resolution waitable timer. What every platform does lives in the
// shared runtime (app/runtime.h).
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

std::int16_t ShiftNow() {
  int shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= kShiftMask;
  if (GetKeyState(VK_CONTROL) < 0) shift |= kCtrlMask;
  if (GetKeyState(VK_MENU) < 0) shift |= kAltMask;
  return static_cast<std::int16_t>(shift);
}

// Client coordinates, signed: a captured mouse may be left of or above it.
MouseUp MouseUpOf(std::int16_t button, LPARAM lparam) {
  return {button, ShiftNow(), static_cast<float>(static_cast<std::int16_t>(LOWORD(lparam))),
          static_cast<float>(static_cast<std::int16_t>(HIWORD(lparam)))};
}

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
  void Swap() override { ::SwapBuffers(hdc_); }
  void ShowMessageBox(std::string_view text, std::string_view title, bool error) override;
  void Close() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HDC hdc_ = nullptr;
  bool class_registered_ = false;
  bool shown_ = false;
  Win32Wgl wgl_;
  kalvo::PerformanceCounter counter_;
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

  RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, kDefaultDpi),
             TwipsToPixels(kClientHeightTwips, kDefaultDpi)};
  if (AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0) == 0) {
    LogLastError("AdjustWindowRectEx");
    return false;
  }
  hwnd_ = CreateWindowExW(0, kWindowClass, Utf16(kCaption).c_str(), kWindowStyle, CW_USEDEFAULT,
                          CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                          nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) {
    LogLastError("CreateWindowExW");
    return false;
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
  ShowWindow(hwnd_, SW_SHOWDEFAULT);
}

void Win32Backend::Close() {
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
      runtime.Handle(KeyDown{static_cast<std::int16_t>(wparam), ShiftNow()});
      // Alt+F4 and the system menu still work.
      if (message == WM_SYSKEYDOWN && !runtime.Ended()) {
        return DefWindowProcW(hwnd_, message, wparam, lparam);
      }
      return 0;
    case WM_LBUTTONUP:
      runtime.Handle(MouseUpOf(kLeftButton, lparam));
      return 0;
    case WM_RBUTTONUP:
      runtime.Handle(MouseUpOf(kRightButton, lparam));
      return 0;
    case WM_MBUTTONUP:
      runtime.Handle(MouseUpOf(kMiddleButton, lparam));
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

int Win32Backend::Run() {
  Runtime runtime(*this);
  runtime_ = &runtime;
  runtime.Start();
  runtime.Handle(ShapeChanged{});  // the first frame, if the showing raised no WM_SIZE
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
