#include "platform/win32/win32_wgl.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/win32/win32_api.h"

namespace kalvo {
namespace {

// The seam's handles carry the system's as integers.
HDC ToHdc(Hdc hdc) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  return reinterpret_cast<HDC>(static_cast<std::uintptr_t>(hdc));
}
HGLRC ToHglrc(Hglrc hglrc) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  return reinterpret_cast<HGLRC>(static_cast<std::uintptr_t>(hglrc));
}

// The system's structure, filled from the request; the size and version are
// the system's, everything not asked for stays zero.
::PIXELFORMATDESCRIPTOR ToSystem(const PIXELFORMATDESCRIPTOR& pfd) {
  ::PIXELFORMATDESCRIPTOR out{};
  out.nSize = sizeof(out);
  out.nVersion = 1;
  out.dwFlags = pfd.dwFlags;
  out.iPixelType = pfd.iPixelType;
  out.cColorBits = pfd.cColorBits;
  out.cAlphaBits = pfd.cAlphaBits;
  out.cAccumBits = pfd.cAccumBits;
  out.cDepthBits = pfd.cDepthBits;
  out.cStencilBits = pfd.cStencilBits;
  out.cAuxBuffers = pfd.cAuxBuffers;
  out.iLayerType = pfd.iLayerType;
  return out;
}

}  // namespace

void LogLastError(const char* what) {
  const DWORD code = GetLastError();
  std::string reason = "no reason given";
  wchar_t* text = nullptr;
  const DWORD length =
      code == 0 ? 0
                : FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length > 0) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
    reason.resize(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), reason.data(), bytes, nullptr,
                        nullptr);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  }
  LocalFree(text);
  if (code != 0) reason += " (error " + std::to_string(code) + ")";
  LogLine(std::string("kalvo: ") + what + " failed: " + reason);
}

void LogLine(std::string_view line) {
  // A GUI program started from cmd or PowerShell has no standard error
  // unless it was redirected; the console it was started from, if any, is
  // attached on first use.
  enum class Sink { kStandardError, kConsole, kDebugger };
  static HANDLE console = nullptr;
  static const Sink sink = [] {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE &&
        GetFileType(error) != FILE_TYPE_UNKNOWN) {
      return Sink::kStandardError;
    }
    if (AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
      console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
      if (console != INVALID_HANDLE_VALUE) return Sink::kConsole;
    }
    return Sink::kDebugger;
  }();
  if (sink == Sink::kStandardError) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stderr);
    return;
  }
  std::wstring text(line.size() + 2, L'\0');
  const int length = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         text.data(), static_cast<int>(line.size()));
  text.resize(static_cast<std::size_t>(length));
  text += L"\r\n";
  if (sink == Sink::kConsole) {
    DWORD written = 0;
    WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    OutputDebugStringW(text.c_str());
  }
}

int Win32Wgl::ChoosePixelFormat(Hdc hdc, const PIXELFORMATDESCRIPTOR& pfd) {
  const ::PIXELFORMATDESCRIPTOR request = ToSystem(pfd);
  SetLastError(0);  // not every failure sets one
  const int format = ::ChoosePixelFormat(ToHdc(hdc), &request);
  if (format == 0) LogLastError("ChoosePixelFormat");
  return format;
}

bool Win32Wgl::SetPixelFormat(Hdc hdc, int format, const PIXELFORMATDESCRIPTOR& pfd) {
  const ::PIXELFORMATDESCRIPTOR request = ToSystem(pfd);
  SetLastError(0);  // not every failure sets one
  if (::SetPixelFormat(ToHdc(hdc), format, &request) != FALSE) return true;
  LogLastError("SetPixelFormat");
  return false;
}

Hglrc Win32Wgl::wglCreateContext(Hdc hdc) {
  SetLastError(0);  // not every failure sets one
  HGLRC context = ::wglCreateContext(ToHdc(hdc));
  if (context == nullptr) LogLastError("wglCreateContext");
  return static_cast<Hglrc>(reinterpret_cast<std::uintptr_t>(context));
}

bool Win32Wgl::wglMakeCurrent(Hdc hdc, Hglrc hglrc) {
  SetLastError(0);  // not every failure sets one
  if (::wglMakeCurrent(ToHdc(hdc), ToHglrc(hglrc)) == FALSE) {
    LogLastError("wglMakeCurrent");
    return false;
  }
  return true;
}

bool Win32Wgl::wglDeleteContext(Hglrc hglrc) {
  SetLastError(0);  // not every failure sets one
  if (::wglDeleteContext(ToHglrc(hglrc)) != FALSE) return true;
  LogLastError("wglDeleteContext");
  return false;
}

void SwapBuffers(Hdc hdc) { ::SwapBuffers(ToHdc(hdc)); }

void SetSwapIntervalZero() {
  // Only the driver can say whether it offers the call, and only with a
  // context current.
  using SwapIntervalFn = BOOL(WINAPI*)(int);
  const auto set_interval = reinterpret_cast<SwapIntervalFn>(  // NOLINT
      reinterpret_cast<void*>(::wglGetProcAddress("wglSwapIntervalEXT")));
  if (set_interval != nullptr && set_interval(0) == FALSE) {
    LogLastError("wglSwapIntervalEXT(0)");
  }
}

std::int64_t PerformanceCounter::Frequency() {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

std::int64_t PerformanceCounter::Count() {
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  return count.QuadPart;
}

}  // namespace kalvo
