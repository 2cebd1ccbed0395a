// What the window's handlers need from the windowing runtime: the window, its
// picture and timer, a message box, closing, the clock and the random
// generator. The shared runtime (app/runtime.h) implements it over each
// platform's backend; the handlers' tests use a fake.
#pragma once

#include <string_view>

#include "gl/wgl_api.h"
#include "roll/random_source.h"
#include "timing/cls_time_counter.h"

namespace kalvo {

enum class WindowState { kNormal = 0, kMinimized = 1, kMaximized = 2 };

// The control that carries the OpenGL context. Sizes are in pixels.
class PictureBox {
 public:
  virtual ~PictureBox() = default;
  virtual Hdc hDC() = 0;
  virtual float ScaleWidth() = 0;   // inner, drawable width
  virtual float ScaleHeight() = 0;  // inner, drawable height
  virtual void SetWidth(float width) = 0;
  virtual void SetHeight(float height) = 0;
};

class FormRuntime {
 public:
  virtual ~FormRuntime() = default;

  // The window.
  virtual WindowState GetWindowState() = 0;
  virtual float ScaleWidth() = 0;  // client area, pixels
  virtual float ScaleHeight() = 0;
  // Closes the window; raises Form_Unload before it returns.
  virtual void Unload() = 0;

  virtual PictureBox& Picture1() = 0;
  virtual void SetTimer1Enabled(bool enabled) = 0;
  // Presents the back buffer of the surface.
  virtual void SwapBuffers(Hdc hdc) = 0;

  // A modal message box with an OK button only.
  virtual void ShowMessage(std::string_view prompt, std::string_view title) = 0;
  // Seeds the generator from the system clock.
  virtual void SeedRandomFromClock() = 0;
  virtual RandomSource& Random() = 0;
  virtual CounterSource& PerformanceCounter() = 0;
};

}  // namespace kalvo
