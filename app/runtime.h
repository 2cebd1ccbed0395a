// The windowing runtime that every platform shares: the main window and
// what its handlers use of a window (its picture and timer, a message box,
// closing, the counter, the random generator). It raises the handlers one at
// a time, reports an error that escapes one, and tells its backend when it
// next needs to run. It never waits: a backend that blocks and a backend that
// a browser calls back drive it through the same calls, Handle for each event
// and RunDue whenever the time it asked for comes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "app/form_design.h"
#include "app/frm_main.h"
#include "gl/module1.h"
#include "gl/wgl_api.h"
#include "roll/random_source.h"
#include "timing/cls_time_counter.h"
#include "timing/timer1_schedule.h"

namespace kalvo {

enum class WindowState { kNormal = 0, kMinimized = 1, kMaximized = 2 };

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
};
struct MouseDown {  // over the picture
  std::int16_t button = 0;
};
struct MouseUp {  // wherever the pointer is: it belongs to the press it ends
  std::int16_t button = 0;
};
struct PressesLost {};     // another window took the mouse, or the system a gesture
struct ShapeChanged {};    // the size or state may have changed
struct CloseRequested {};  // the close box, or the system asking Kalvo to end
using Event = std::variant<KeyDown, MouseDown, MouseUp, PressesLost, ShapeChanged, CloseRequested>;

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
  // Presents the back buffer of the surface `hdc`.
  virtual void Swap(Hdc hdc) = 0;
  // A modal box with an OK button. Returns once it is answered, or at once
  // where nothing can block.
  virtual void ShowMessageBox(std::string_view text, std::string_view title, bool error) = 0;
  // Destroys the window; its context has been released already.
  virtual void Close() = 0;
  // One line for whoever started Kalvo; standard error unless the platform
  // has a better place.
  virtual void Log(std::string_view line);
};

// Picture1, the control that carries the context. Its size is what the
// window last set it to, as a control's is.
class PictureBox {
 public:
  explicit PictureBox(Backend& backend) : backend_(backend) {}
  Hdc hDC() { return backend_.Picture1Hdc(); }
  float ScaleWidth() const { return width_; }  // pixels
  float ScaleHeight() const { return height_; }
  void SetWidth(float width) { width_ = width; }
  void SetHeight(float height) { height_ = height; }

 private:
  Backend& backend_;
  float width_ = static_cast<float>(TwipsToPixels(kPicture1WidthTwips, kDefaultDpi));
  float height_ = static_cast<float>(TwipsToPixels(kPicture1HeightTwips, kDefaultDpi));
};

// Timer1: it ticks while Enabled, on the grid Timer1Schedule keeps.
struct Timer {
  bool Enabled = true;
};

class Runtime final {
 public:
  Runtime(Backend& backend, RandomSource& random);
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  // Form_Load; then, unless it closed the window, shows it, and the first
  // Form_Resize draws the first frame.
  void Start();

  // Raises the handler the event stands for. Events that come while a
  // handler runs (from a platform's modal loop), after the window is gone,
  // or once a handler has failed, are dropped: handlers run one at a time.
  // A release is raised only for a button pressed over the picture.
  void Handle(const Event& event);

  // Raises Timer1 if a tick is due, and returns the counter reading at which
  // to call again; empty while only an event can make anything due. Input
  // need not wait for it: Handle may come at any time.
  std::optional<std::int64_t> RunDue();

  // The counter reading from which Timer1 finds the next frame due; empty
  // before the first frame. For a backend whose wake-ups come on time.
  std::optional<std::int64_t> NextFrameDue() const { return form_.NextFrameDueCount(); }

  bool Ended() const { return unloaded_; }
  // The window's frame state, for a backend that tells more than it draws.
  const FrameState& Frame() const { return form_.State(); }
  // 0 after a normal close; 1 when start-up failed or a handler did.
  int ExitStatus() const;

  // What the window's handlers use of it. Picture1 fills the client area,
  // so the window's scale size is the drawable size.
  WindowState GetWindowState() { return backend_.Shape().state; }
  float ScaleWidth() { return static_cast<float>(backend_.Shape().width); }
  float ScaleHeight() { return static_cast<float>(backend_.Shape().height); }
  // Closes the window; raises Form_Unload before it returns.
  void Unload();
  PictureBox& Picture1() { return picture1_; }
  Timer& Timer1() { return timer1_; }
  void SwapBuffers(Hdc hdc) { backend_.Swap(hdc); }
  // A modal message box with an OK button only.
  void ShowMessage(std::string_view prompt, std::string_view title);
  void SeedRandomFromClock() { random_.SeedFromClock(); }
  RandomSource& Random() { return random_; }
  CounterSource& PerformanceCounter() { return backend_.Counter(); }

 private:
  template <typename Handler>
  void Raise(Handler&& handler);
  void ReportError(const std::string& text);
  void RaiseResizeIfChanged();

  Backend& backend_;
  RandomSource& random_;
  PictureBox picture1_{backend_};
  Timer timer1_;
  Module1 module1_;
  frmMain form_;
  std::optional<Timer1Schedule> schedule_;  // from the showing on
  std::optional<WindowShape> last_shape_;
  int pressed_ = 0;  // the buttons pressed over the picture and not yet let go
  bool shown_ = false;
  bool running_handler_ = false;
  bool failed_ = false;
  bool unloaded_ = false;
};

// Each platform defines it: makes its backend and runs the program on it.
// Returns the process's exit status.
int RunKalvo();

}  // namespace kalvo
