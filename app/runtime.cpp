#include "app/runtime.h"

#include <cstdio>
#include <utility>

#include "app/errors.h"

namespace kalvo {
namespace {

std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n') c = ' ';
  }
  return line;
}

}  // namespace

void Backend::Log(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
}

Runtime::Runtime(Backend& backend, RandomSource& random)
    : backend_(backend), random_(random), module1_(backend.Wgl()), form_(*this, module1_) {}

void Runtime::Start() {
  Raise([this] { form_.Form_Load(); });
  if (unloaded_) return;
  shown_ = true;
  backend_.Show();
  schedule_.emplace(backend_.Counter().Frequency(), backend_.Counter().Count(),
                    kTimer1IntervalMs);
  // Showing a window is its first resize, whether or not the platform says so.
  RaiseResizeIfChanged();
}

int Runtime::ExitStatus() const {
  // A window closed before it was ever shown means start-up failed.
  return failed_ || !shown_ ? 1 : 0;
}

void Runtime::Handle(const Event& event) {
  if (running_handler_ || failed_ || unloaded_) return;
  if (std::holds_alternative<ShapeChanged>(event)) {
    RaiseResizeIfChanged();
  } else if (std::holds_alternative<CloseRequested>(event)) {
    Raise([this] { Unload(); });
  } else if (const auto* key = std::get_if<KeyDown>(&event)) {
    Raise([this, code = key->key] { form_.Form_KeyDown(code); });
  } else if (const auto* down = std::get_if<MouseDown>(&event)) {
    pressed_ |= down->button;
  } else if (const auto* up = std::get_if<MouseUp>(&event)) {
    // A release is the picture's only if the press was: a drag that began
    // elsewhere and ends over the picture throws nothing, one that began on
    // it throws wherever it ends.
    const int button = up->button;
    if ((pressed_ & button) == 0) return;
    pressed_ &= ~button;
    Raise([this, button] { form_.Picture1_MouseUp(static_cast<std::int16_t>(button)); });
  } else if (std::holds_alternative<PressesLost>(event)) {
    pressed_ = 0;
  }
}

std::optional<std::int64_t> Runtime::RunDue() {
  if (running_handler_ || failed_ || unloaded_ || !schedule_ || !timer1_.Enabled) {
    return std::nullopt;
  }
  const std::int64_t tick = schedule_->NextTick(form_.NextFrameDueCount());
  const std::int64_t now = backend_.Counter().Count();
  if (now < tick) return tick;
  schedule_->Ticked(now);
  Raise([this] { form_.Timer1_Timer(); });
  if (failed_ || unloaded_ || !timer1_.Enabled) return std::nullopt;
  return schedule_->NextTick(form_.NextFrameDueCount());
}

void Runtime::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  form_.Form_Unload();
  backend_.Close();
}

void Runtime::ShowMessage(std::string_view prompt, std::string_view title) {
  // Said on the log as well, for whoever started Kalvo from a terminal.
  backend_.Log("kalvo: " + OneLine(prompt));
  backend_.ShowMessageBox(prompt, title, /*error=*/false);
}

// Every handler runs through here. An error that escapes one is reported and
// ends the program: a handler cut short leaves nothing worth going on with.
template <typename Handler>
void Runtime::Raise(Handler&& handler) {
  running_handler_ = true;
  const auto error = RunHandler(std::forward<Handler>(handler));
  running_handler_ = false;
  if (error) ReportError(*error);
}

void Runtime::ReportError(const std::string& text) {
  // No handler runs again, not even from the box's own loop on platforms
  // whose boxes have one.
  failed_ = true;
  backend_.Log("kalvo: " + OneLine(text));
  backend_.ShowMessageBox(text, kAppTitle, /*error=*/true);
  if (const auto again = RunHandler([this] { Unload(); })) {
    backend_.Log("kalvo: while closing: " + OneLine(*again));
    backend_.Close();
  }
  unloaded_ = true;
}

// One frame per change of size or state, however the platform reports it (SDL
// reports one resize as two events, and a maximise as a state change and a
// size change). The first change after the showing always draws.
void Runtime::RaiseResizeIfChanged() {
  if (!shown_) return;
  const WindowShape shape = backend_.Shape();
  if (last_shape_ == shape) return;
  last_shape_ = shape;
  Raise([this] { form_.Form_Resize(); });
}

}  // namespace kalvo
