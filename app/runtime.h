// The windowing runtime that every platform shares. It owns the main window
// and what its handlers need from a runtime that is not the platform's own
// (the context's owner, the random generator, Timer1's schedule),
// raises the handlers one at a time, reports an error that escapes one, and
// tells its backend when it next needs to run. It never waits: a backend that
// blocks and a backend that a browser calls back drive it through the same
// calls, Handle for each event and RunDue whenever the time it asked for comes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "app/form_runtime.h"
#include "app/frm_main.h"
#include "gl/module1.h"
#include "gl/wgl_api.h"
#include "roll/random_source.h"
#include "timing/cls_time_counter.h"
#include "timing/timer1_schedule.h"

namespace kalvo {

// The window's drawable size in pixels and its state. A change of either
// raises one Form_Resize.
struct WindowShape {
  int width = 0;
  int height = 0;
  WindowState state = WindowState::kNormal;
  friend bool operator==(const WindowShape&, const WindowShape&) = default;
};

// Kalvo's events, in its own codes (app/input.h).
struct KeyDown {
  std::int16_t key = 0;
  std::int16_t shift = 0;
};
struct MouseUp {  // over the picture
  std::int16_t button = 0;
  std::int16_t shift = 0;
  float x = 0;
  float y = 0;
};
struct ShapeChanged {};    // the size or state may have changed
struct CloseRequested {};  // the close box, or the system asking Kalvo to end
using Event = std::variant<KeyDown, MouseUp, ShapeChanged, CloseRequested>;

// What one platform does for the runtime: only what touches its system.
class Backend {
 public:
  virtual ~Backend() = default;

  // The calls that put the context on the picture's surface, and the surface.
  virtual WglApi& Wgl() = 0;
  virtual Hdc Picture1Hdc() = 0;
  // The high-resolution counter: frames are paced by it, and RunDue's
  // deadlines are its readings.
  virtual CounterSource& Counter() = 0;

  virtual WindowShape Shape() = 0;
  // Shows the window, icons and all, once Form_Load has set it up.
  virtual void Show() = 0;
  virtual void Swap() = 0;
  // A modal box with an OK button. Returns once it is answered, or at once
  // where nothing can block.
  virtual void ShowMessageBox(std::string_view text, std::string_view title, bool error) = 0;
  // Destroys the window; its context has been released already.
  virtual void Close() = 0;
  // One line for whoever started Kalvo; standard error unless the platform
  // has a better place.
  virtual void Log(std::string_view line);
};

class Runtime final : public FormRuntime, private PictureBox {
 public:
  explicit Runtime(Backend& backend);
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;
  ~Runtime() override = default;

  // Form_Load; then, unless it closed the window, shows it. The first
  // ShapeChanged after that raises the first Form_Resize, which draws the
  // first frame.
  void Start();

  // Raises the handler the event stands for. Events that come while a
  // handler runs (from a platform's modal loop), after the window is gone,
  // or once a handler has failed, are dropped: handlers run one at a time.
  void Handle(const Event& event);

  // Raises Timer1 if a tick is due, and returns the counter reading at which
  // to call again; empty while only an event can make anything due. Input
  // need not wait for it: Handle may come at any time.
  std::optional<std::int64_t> RunDue();

  bool Ended() const { return unloaded_; }
  // The window's frame state, for a backend that tells more than it draws.
  const FrameState& Frame() const { return form_.State(); }
  // 0 after a normal close; 1 when start-up failed or a handler did.
  int ExitStatus() const;

  // FormRuntime. Picture1 is the whole client area, so the window's scale
  // size and the picture's are the one drawable size.
  WindowState GetWindowState() override;
  float ScaleWidth() override;
  float ScaleHeight() override;
  void Unload() override;
  PictureBox& Picture1() override { return *this; }
  void SetTimer1Enabled(bool enabled) override { timer_enabled_ = enabled; }
  void SwapBuffers(Hdc hdc) override;
  void ShowMessage(std::string_view prompt, std::string_view title) override;
  void SeedRandomFromClock() override { random_.SeedFromClock(); }
  RandomSource& Random() override { return random_; }
  CounterSource& PerformanceCounter() override { return backend_.Counter(); }

 private:
  // PictureBox: its size follows the window's, so setting it changes nothing.
  Hdc hDC() override { return backend_.Picture1Hdc(); }
  void SetWidth(float /*width*/) override {}
  void SetHeight(float /*height*/) override {}

  template <typename Handler>
  void Raise(Handler&& handler);
  void ReportError(const std::string& text);
  void RaiseResizeIfChanged();

  Backend& backend_;
  UniformGenerator random_;
  Module1 module1_;
  frmMain form_;
  std::optional<Timer1Schedule> schedule_;  // from the showing on
  bool timer_enabled_ = true;
  bool shown_ = false;
  bool running_handler_ = false;
  bool failed_ = false;
  bool unloaded_ = false;
  std::optional<WindowShape> last_shape_;
};

// Each platform defines it: makes its backend and runs the program on it.
// Returns the process's exit status.
int RunKalvo();

}  // namespace kalvo
