#include "win32/win32_runtime.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "app/errors.h"
#include "app/frm_main.h"
#include "app/timer1_schedule.h"
#include "gl/module1.h"
#include "render/gl_scene.h"
#include "roll/roll.h"
#include "win32/win32_api.h"
#include "win32/win32_wgl.h"

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

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

// Shift 1, Ctrl 2, Alt 4.
std::int16_t ShiftNow() {
  int shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return static_cast<std::int16_t>(shift);
}

// What a resize is raised for: a change of client size or window state.
struct WindowShape {
  int width = -1;
  int height = -1;
  WindowState state = WindowState::kNormal;
  friend bool operator==(const WindowShape&, const WindowShape&) = default;
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

  HANDLE handle() const { return handle_; }

  // Fires once, after the given time.
  bool Arm(std::int64_t after_100ns) {
    LARGE_INTEGER due{};
    due.QuadPart = -after_100ns;  // negative: relative to now
    return handle_ != nullptr && SetWaitableTimer(handle_, &due, 0, nullptr, nullptr, FALSE) != 0;
  }

 private:
  HANDLE handle_ = nullptr;
  bool raised_resolution_ = false;
};

class Win32Runtime final : public FormRuntime, public PictureBox {
 public:
  explicit Win32Runtime(HINSTANCE instance) : instance_(instance) {}
  Win32Runtime(const Win32Runtime&) = delete;
  Win32Runtime& operator=(const Win32Runtime&) = delete;
  ~Win32Runtime() override;

  // The window, hidden, with the start-up client size. False if it cannot be made.
  bool CreateFormWindow();
  int Run(frmMain& form);

  // FormRuntime
  WindowState GetWindowState() override;
  float ScaleWidth() override { return static_cast<float>(ClientShape().width); }
  float ScaleHeight() override { return static_cast<float>(ClientShape().height); }
  void Unload() override;
  PictureBox& Picture1() override { return *this; }
  void SetTimer1Enabled(bool enabled) override { timer_enabled_ = enabled; }
  void SwapBuffers(Hdc hdc) override;
  void ShowMessage(std::string_view prompt, std::string_view title) override;
  void SeedRandomFromClock() override { random_.SeedFromClock(); }
  RandomSource& Random() override { return random_; }
  CounterSource& PerformanceCounter() override { return counter_; }

  // PictureBox: Picture1 is the whole client area (GL drawn into a child
  // window does not reach the screen everywhere), so its size follows the
  // window's and setting it changes nothing.
  Hdc hDC() override { return static_cast<Hdc>(reinterpret_cast<std::uintptr_t>(hdc_)); }
  void SetWidth(float /*width*/) override {}
  void SetHeight(float /*height*/) override {}

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  template <typename Handler>
  void Raise(Handler&& handler);
  void ReportError(const std::string& text);
  void RaiseMouseUp(std::int16_t button, WPARAM wparam, LPARAM lparam);
  void RaiseResizeIfChanged(bool first_show);
  WindowShape ClientShape();
  void WaitForInputOrTick(TickTimer& timer, std::int64_t next_tick);
  void DispatchPendingMessages();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HDC hdc_ = nullptr;
  bool class_registered_ = false;
  frmMain* form_ = nullptr;
  kalvo::PerformanceCounter counter_;
  UniformGenerator random_;
  bool timer_enabled_ = true;
  bool shown_ = false;
  bool unloaded_ = false;
  bool failed_ = false;  // a handler ended with an error
  int exit_status_ = 0;
  WindowShape last_shape_;
};

Win32Runtime::~Win32Runtime() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (class_registered_) UnregisterClassW(kWindowClass, instance_);
}

bool Win32Runtime::CreateFormWindow() {
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
  window_class.lpfnWndProc = &Win32Runtime::WindowProc;
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

  RECT frame{0, 0, kClientWidthPx, kClientHeightPx};
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

WindowShape Win32Runtime::ClientShape() {
  WindowShape shape{kClientWidthPx, kClientHeightPx, GetWindowState()};
  RECT client{};
  if (hwnd_ != nullptr && GetClientRect(hwnd_, &client) != 0) {
    shape.width = client.right - client.left;
    shape.height = client.bottom - client.top;
  }
  return shape;
}

WindowState Win32Runtime::GetWindowState() {
  if (hwnd_ == nullptr) return WindowState::kNormal;
  if (IsIconic(hwnd_) != 0) return WindowState::kMinimized;
  if (IsZoomed(hwnd_) != 0) return WindowState::kMaximized;
  return WindowState::kNormal;
}

void Win32Runtime::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  form_->Form_Unload();
  // Its own device context goes with it.
  HWND hwnd = std::exchange(hwnd_, nullptr);
  hdc_ = nullptr;
  DestroyWindow(hwnd);
}

void Win32Runtime::SwapBuffers(Hdc hdc) {
  if (hdc_ != nullptr && hdc == hDC()) ::SwapBuffers(hdc_);
}

void Win32Runtime::ShowMessage(std::string_view prompt, std::string_view title) {
  // Said on standard error as well, for whoever started Kalvo from a terminal.
  std::fprintf(stderr, "kalvo: %s\n", OneLine(std::string(prompt)).c_str());
  // A window never shown must not come up with its box.
  HWND owner = hwnd_ != nullptr && shown_ ? hwnd_ : nullptr;
  if (MessageBoxW(owner, Utf16(prompt).c_str(), Utf16(title).c_str(), MB_OK) == 0) {
    LogLastError("MessageBoxW");
  }
}

// Every handler runs through here. An error that escapes one is reported and
// ends the program: a handler cut short leaves nothing worth going on with.
template <typename Handler>
void Win32Runtime::Raise(Handler&& handler) {
  if (const auto error = RunHandler(std::forward<Handler>(handler))) ReportError(*error);
}

void Win32Runtime::ReportError(const std::string& text) {
  // The box's own message loop may call the window procedure: no handler
  // runs again once one has failed.
  failed_ = true;
  std::fprintf(stderr, "kalvo: %s\n", OneLine(text).c_str());
  MessageBoxW(shown_ ? hwnd_ : nullptr, Utf16(text).c_str(), Utf16(kAppTitle).c_str(),
              MB_OK | MB_ICONERROR);
  exit_status_ = 1;
  if (const auto again = RunHandler([this] { Unload(); })) {
    std::fprintf(stderr, "kalvo: while closing: %s\n", OneLine(*again).c_str());
  }
  unloaded_ = true;
}

// One frame per change of size or state, however the system reports it.
void Win32Runtime::RaiseResizeIfChanged(bool first_show) {
  const WindowShape shape = ClientShape();
  if (!first_show && shape == last_shape_) return;
  last_shape_ = shape;
  Raise([this] { form_->Form_Resize(); });
}

void Win32Runtime::RaiseMouseUp(std::int16_t button, WPARAM wparam, LPARAM lparam) {
  int shift = 0;
  if ((wparam & MK_SHIFT) != 0) shift |= 1;
  if ((wparam & MK_CONTROL) != 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  // Client coordinates, signed: a captured mouse may be left of or above it.
  const auto x = static_cast<float>(static_cast<std::int16_t>(LOWORD(lparam)));
  const auto y = static_cast<float>(static_cast<std::int16_t>(HIWORD(lparam)));
  const auto shift_state = static_cast<std::int16_t>(shift);
  Raise([=, this] { form_->Picture1_MouseUp(button, shift_state, x, y); });
}

LRESULT CALLBACK Win32Runtime::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    // The system hands pointers over as integers.
    const auto* create =
        reinterpret_cast<const CREATESTRUCTW*>(lparam);  // NOLINT(performance-no-int-to-ptr)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* runtime = reinterpret_cast<Win32Runtime*>(  // NOLINT(performance-no-int-to-ptr)
      GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (runtime == nullptr || runtime->form_ == nullptr || runtime->unloaded_ || runtime->failed_ ||
      hwnd != runtime->hwnd_) {
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return runtime->Handle(message, wparam, lparam);
}

LRESULT Win32Runtime::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      Raise([this] { Unload(); });
      return 0;
    case WM_SIZE:
      // Resizes raised before the window is first shown would draw a frame
      // nobody sees; the first one comes with the showing.
      if (shown_) RaiseResizeIfChanged(false);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // every frame covers the whole client area
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const auto key = static_cast<std::int16_t>(wparam);
      const std::int16_t shift = ShiftNow();
      Raise([this, key, shift] { form_->Form_KeyDown(key, shift); });
      // Alt+F4 and the system menu still work.
      if (message == WM_SYSKEYDOWN && !unloaded_) {
        return DefWindowProcW(hwnd_, message, wparam, lparam);
      }
      return 0;
    }
    case WM_LBUTTONUP:
      RaiseMouseUp(kLeftButton, wparam, lparam);
      return 0;
    case WM_RBUTTONUP:
      RaiseMouseUp(kRightButton, wparam, lparam);
      return 0;
    case WM_MBUTTONUP:
      RaiseMouseUp(kMiddleButton, wparam, lparam);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

// Sleeps until the next tick is due or a message arrives, whichever is
// first, so input is handled at once and not at the next tick.
void Win32Runtime::WaitForInputOrTick(TickTimer& timer, std::int64_t next_tick) {
  DWORD count = 0;
  HANDLE handles[] = {timer.handle()};
  if (timer_enabled_) {
    const std::int64_t now = counter_.Count();
    if (now >= next_tick) return;
    if (timer.Arm((next_tick - now) * k100nsPerSecond / counter_.Frequency())) count = 1;
  }
  // Without a timer to wait on the ticks still come, one per message or,
  // with none, one per millisecond.
  const DWORD timeout = count == 0 && timer_enabled_ ? 1 : INFINITE;
  MsgWaitForMultipleObjectsEx(count, handles, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// Not const: the messages it dispatches reach this runtime's handlers.
void Win32Runtime::DispatchPendingMessages() {  // NOLINT(readability-make-member-function-const)
  MSG message;
  while (!unloaded_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

int Win32Runtime::Run(frmMain& form) {
  form_ = &form;
  Raise([this] { form_->Form_Load(); });
  if (unloaded_) return exit_status_ != 0 ? exit_status_ : 1;  // never shown: start-up failed

  shown_ = true;
  ShowWindow(hwnd_, SW_SHOWDEFAULT);
  RaiseResizeIfChanged(last_shape_.width < 0);

  TickTimer timer;
  Timer1Schedule schedule(counter_.Frequency(), counter_.Count(), kTimer1IntervalMs);
  while (!unloaded_) {
    const std::int64_t next_tick = schedule.NextTick(form_->NextFrameDueCount());
    WaitForInputOrTick(timer, next_tick);
    DispatchPendingMessages();
    if (unloaded_ || !timer_enabled_) continue;
    const std::int64_t now = counter_.Count();
    if (now < next_tick) continue;
    schedule.Ticked(now);
    Raise([this] { form_->Timer1_Timer(); });
  }
  return exit_status_;
}

}  // namespace

int RunKalvo() {
  Win32Runtime runtime(GetModuleHandleW(nullptr));
  if (!runtime.CreateFormWindow()) return 1;
  Win32Wgl wgl;
  Module1 module1(wgl);
  GlScene scene;
  frmMain form(runtime, module1, scene);
  return runtime.Run(form);
}

}  // namespace kalvo
