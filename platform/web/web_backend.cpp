// The browser backend: Kalvo's picture on a page's canvas, the page's events
// turned into Kalvo's, and a browser timer for the wait between them. The
// page (index.html, page.js) owns the message box, the closed notice and the
// live region; what every platform does lives in the shared runtime.
#include <emscripten/em_js.h>
#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/input.h"
#include "app/pointer_gesture.h"
#include "app/runtime.h"
#include "platform/web/web_gl.h"
#include "platform/web/web_wait.h"
#include "platform/web/web_wgl.h"

namespace kalvo {
namespace {

constexpr const char* kCanvas = "#picture1";
constexpr Hdc kPicture1Hdc{1};
// What emscripten_set_timeout gives to cancel its wait with.
using TimeoutId = decltype(emscripten_set_timeout(nullptr, 0, nullptr));

// What the page offers the program (page.js's kalvoPage). The bodies are
// JavaScript, which clang-format would take apart as C++.
// clang-format off
EM_JS(void, KalvoPageShowMessage, (const char* text, const char* title, bool error), {
  kalvoPage.showMessage(UTF8ToString(text), UTF8ToString(title), error);
});
EM_JS(void, KalvoPageClosed, (), { kalvoPage.closed(); });
EM_JS(void, KalvoPageStopped, (const char* why), { kalvoPage.stopped(UTF8ToString(why)); });
EM_JS(void, KalvoPageAnnounce, (const char* text), { kalvoPage.announce(UTF8ToString(text)); });
// Set by the page once it has reported an error that escaped to it.
EM_JS(bool, KalvoPageFailed, (), { return kalvoPage.failed; });

// The page's events, passed on as they come to the functions exported below:
// Pointer Events (which the HTML5 API lacks), the page's two buttons as the
// releases they stand for (Kalvo's left and right buttons, app/input.h), the
// keys, the window's resizes and the loss of the context. One listener of
// our own, since the HTML5 API's would weigh more than all of Kalvo's page.
// The press is the picture's, and so is its release wherever it ends
// (pointer capture). Nothing on the picture scrolls, zooms or selects (the
// page's style).
EM_JS(void, KalvoListen, (const char* canvas_selector), {
  var canvas = document.querySelector(UTF8ToString(canvas_selector));
  var listening = new AbortController();
  var options = { signal: listening.signal };
  // Only Escape is Kalvo's; every other key keeps its use in the browser.
  addEventListener("keydown", function (event) {
    if (_KalvoKeyDown(event.key === "Escape")) event.preventDefault();
  }, options);
  addEventListener("resize", function () { _KalvoResize(); }, options);
  canvas.addEventListener("webglcontextlost", function () { _KalvoContextLost(); }, options);
  var types = { mouse: 0, touch: 1, pen: 2 };
  function pass(phase) {
    return function (event) {
      if (phase === 0) {
        event.preventDefault();
        // Refused only for a pointer already gone; its release is then lost.
        try { canvas.setPointerCapture(event.pointerId); } catch (refused) {}
      }
      _KalvoPointer(phase, event.pointerId, types[event.pointerType] || 0, event.button,
                    event.buttons, event.clientX, event.clientY, event.timeStamp);
    };
  }
  ["pointerdown", "pointermove", "pointerup", "pointercancel"].forEach(function (name, phase) {
    canvas.addEventListener(name, pass(phase), options);
  });
  // A capture lost without a release (the picture hidden) is a cancel.
  canvas.addEventListener("lostpointercapture", pass(3), options);
  document.getElementById("throw").addEventListener("click", function () { _KalvoControl(1); }, options);
  document.getElementById("pick-up").addEventListener("click", function () { _KalvoControl(2); }, options);
  canvas.kalvoListening = listening;
});
EM_JS(void, KalvoUnlisten, (const char* canvas_selector), {
  var canvas = document.querySelector(UTF8ToString(canvas_selector));
  if (canvas.kalvoListening) canvas.kalvoListening.abort();
});
// clang-format on

// performance.now(), in whole microseconds: finer than any browser reports it.
class WebCounter final : public CounterSource {
 public:
  std::int64_t Frequency() override { return 1'000'000; }
  std::int64_t Count() override { return std::llround(emscripten_get_now() * 1000); }
};

enum PointerPhase { kPointerDown = 0, kPointerMove = 1, kPointerUp = 2, kPointerCancel = 3 };

class WebBackend final : public Backend {
 public:
  void Start();
  // While Kalvo runs, 0; after it has ended, the runtime's status.
  int Status() const { return runtime_.Ended() ? runtime_.ExitStatus() : 0; }

  WglApi& Wgl() override { return wgl_; }
  Hdc Picture1Hdc() override { return kPicture1Hdc; }
  CounterSource& Counter() override { return counter_; }
  WindowShape Shape() override { return {width_, height_, WindowState::kNormal}; }
  void Show() override;
  // The browser presents what was drawn when the frame's callback returns;
  // the GL draws what it has gathered before then.
  void Swap(Hdc /*hdc*/) override { FlushGl(); }
  void ShowMessageBox(std::string_view text, std::string_view title, bool error) override;
  void Close() override;

  // A Pointer Event on the picture, as KalvoListen passes it on.
  void Pointer(int phase, const PointerSample& sample);
  // The page's button for `button`'s release over the picture.
  void Control(std::int16_t button);
  // Whether the key was Kalvo's.
  bool Key(bool escape);
  void Resized();
  void ContextLost();

 private:
  static void OnTimeout(void* user_data);

  void FitCanvas();
  void Handle(const Presses& events);
  void RunDueAndWait();
  void Wait(std::optional<std::int64_t> deadline);
  void AnnounceFace();
  void Unhook();

  WebWgl wgl_{kCanvas};
  WebCounter counter_;
  UniformGenerator random_;
  Runtime runtime_{*this, random_};
  PointerGesture gesture_;
  int width_ = 0;  // the canvas's drawing buffer, in device pixels
  int height_ = 0;
  std::optional<TimeoutId> timeout_;  // the pending wait, if any
  std::int64_t deadline_ = 0;         // and what it waits for
  std::optional<std::int16_t> announced_;
  bool hooked_ = false;
};

void WebBackend::Start() {
  FitCanvas();
  runtime_.Start();
  if (!runtime_.Ended()) RunDueAndWait();
}

void WebBackend::Show() {
  KalvoListen(kCanvas);
  hooked_ = true;
}

void WebBackend::ShowMessageBox(std::string_view text, std::string_view title, bool error) {
  KalvoPageShowMessage(std::string(text).c_str(), std::string(title).c_str(), error);
}

// A page cannot close its tab: the frames stop, and the page says so.
void WebBackend::Close() {
  Unhook();
  KalvoPageClosed();
}

void WebBackend::Unhook() {
  if (timeout_) emscripten_clear_timeout(*timeout_);
  timeout_.reset();
  if (!hooked_) return;
  KalvoUnlisten(kCanvas);
  hooked_ = false;
}

// The drawing buffer is the canvas's CSS size in device pixels, so the
// picture is sharp on a high-density screen; the viewport follows it.
void WebBackend::FitCanvas() {
  double css_width = 0;
  double css_height = 0;
  emscripten_get_element_css_size(kCanvas, &css_width, &css_height);
  const double ratio = emscripten_get_device_pixel_ratio();
  const auto width = static_cast<int>(std::lround(css_width * ratio));
  const auto height = static_cast<int>(std::lround(css_height * ratio));
  // Setting a canvas's size clears it, even to the size it has: only a
  // change may, since only a change draws a frame at once.
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  emscripten_set_canvas_element_size(kCanvas, width_, height_);
}

// Every event and every wake-up ends here: what the event made due runs now,
// and the next wait is armed for what is due after it.
void WebBackend::Handle(const Presses& events) {
  if (events.begin() == events.end()) return;  // most pointer moves
  if (KalvoPageFailed()) return Unhook();
  for (const Event& event : events) runtime_.Handle(event);
  RunDueAndWait();
}

void WebBackend::Pointer(int phase, const PointerSample& sample) {
  switch (phase) {
    case kPointerDown:
      return Handle(gesture_.Down(sample));
    case kPointerMove:
      return Handle(gesture_.Move(sample));
    case kPointerUp:
      return Handle(gesture_.Up(sample));
    default:
      return Handle(gesture_.Cancel(sample.id));
  }
}

// Exactly what a press and release over the picture raise: Kalvo ignores
// what it would ignore from the mouse.
void WebBackend::Control(std::int16_t button) { Handle({MouseDown{button}, MouseUp{button}}); }

void WebBackend::RunDueAndWait() {
  if (KalvoPageFailed()) return Unhook();
  const std::optional<std::int64_t> deadline = runtime_.RunDue();
  if (runtime_.Ended()) return;
  AnnounceFace();
  Wait(deadline);
}

// Sleeps straight to the deadline, on the browser's timer (web_wait.h).
void WebBackend::Wait(std::optional<std::int64_t> deadline) {
  if (timeout_) emscripten_clear_timeout(*timeout_);
  timeout_.reset();
  if (!deadline) return;
  deadline_ = WaitTarget(*deadline, runtime_.NextFrameDue());
  const std::int64_t ms = TimeoutMs(deadline_ - counter_.Count(), counter_.Frequency());
  timeout_ = emscripten_set_timeout(OnTimeout, static_cast<double>(ms), this);
}

// The live region says which face is up once a throw has come to rest, and
// is cleared when the die is picked up again.
void WebBackend::AnnounceFace() {
  const std::optional<std::int16_t> face = FaceAtRest(runtime_.Frame());
  if (face == announced_) return;
  announced_ = face;
  const std::string text = face ? "The die shows " + std::to_string(*face) + "." : "";
  KalvoPageAnnounce(text.c_str());
}

void WebBackend::OnTimeout(void* user_data) {
  auto* self = static_cast<WebBackend*>(user_data);
  self->timeout_.reset();
  SpinTo(self->counter_, self->deadline_);
  self->RunDueAndWait();
}

void WebBackend::Resized() {
  FitCanvas();
  Handle({ShapeChanged{}});
}

bool WebBackend::Key(bool escape) {
  Handle({KeyDown{escape ? kKeyEscape : std::int16_t{0}}});
  return escape;
}

// The browser took the context away (a GPU reset, too many contexts): no
// frame may draw into it again, so the frames stop and the page says why.
void WebBackend::ContextLost() {
  Unhook();
  Log("kalvo: the browser lost the WebGL context; the frames have stopped");
  KalvoPageStopped("The browser lost Kalvo's WebGL context, so Kalvo has stopped.");
}

// Lives as long as the page: the browser calls back into it after main returns.
WebBackend& TheBackend() {
  static WebBackend backend;
  return backend;
}

}  // namespace

int RunKalvo() {
  WebBackend& backend = TheBackend();
  backend.Start();
  return backend.Status();
}

}  // namespace kalvo

// What KalvoListen calls: exported under these names, for the page's events.
extern "C" EMSCRIPTEN_KEEPALIVE bool KalvoKeyDown(bool escape) {
  return kalvo::TheBackend().Key(escape);
}

extern "C" EMSCRIPTEN_KEEPALIVE void KalvoResize() { kalvo::TheBackend().Resized(); }

extern "C" EMSCRIPTEN_KEEPALIVE void KalvoContextLost() { kalvo::TheBackend().ContextLost(); }

extern "C" EMSCRIPTEN_KEEPALIVE void KalvoPointer(int phase, int id, int type, int button,
                                                  int buttons, double x, double y, double time_ms) {
  const kalvo::PointerSample sample{
      id, static_cast<kalvo::PointerType>(type), button, buttons, x, y, time_ms};
  kalvo::TheBackend().Pointer(phase, sample);
}

extern "C" EMSCRIPTEN_KEEPALIVE void KalvoControl(int button) {
  kalvo::TheBackend().Control(static_cast<std::int16_t>(button));
}
