// Picture1's drawing surface on Windows: the real WGL calls behind the
// program's context seam, and the performance counter behind the pacing
// timer's. The window and its device context belong to the backend.
#pragma once

#include <string_view>

#include "gl/wgl_api.h"
#include "timing/cls_time_counter.h"

namespace kalvo {

class Win32Wgl final : public WglApi {
 public:
  int ChoosePixelFormat(Hdc hdc, const PIXELFORMATDESCRIPTOR& pfd) override;
  bool SetPixelFormat(Hdc hdc, int format, const PIXELFORMATDESCRIPTOR& pfd) override;
  Hglrc wglCreateContext(Hdc hdc) override;
  bool wglMakeCurrent(Hdc hdc, Hglrc hglrc) override;
  bool wglDeleteContext(Hglrc hglrc) override;
};

// Presents the back buffer of the surface.
void SwapBuffers(Hdc hdc);
// Frames are paced by the counter: WGL's default of waiting for one refresh
// would put each 20 ms frame on the next 16.7 ms one. Where the driver offers
// wglSwapIntervalEXT, no swap waits. Needs the context current.
void SetSwapIntervalZero();

class PerformanceCounter final : public CounterSource {
 public:
  std::int64_t Frequency() override;
  std::int64_t Count() override;
};

// "kalvo: <what> failed: <the system's own text for GetLastError(), and its
// number>", through LogLine.
void LogLastError(const char* what);

// One line for whoever started Kalvo: standard error when it goes somewhere,
// else the console Kalvo was started from, else the debugger.
void LogLine(std::string_view line);

}  // namespace kalvo
