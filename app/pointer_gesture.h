// Pointer Events (mouse, touch and pen alike) turned into Kalvo's presses and
// releases. A mouse gives them as they come; a finger or a pen tip has one
// contact, which says at its end what it was: a tap is a left release, a
// press held still for half a second a right one, as on touch screens.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "app/runtime.h"

namespace kalvo {

enum class PointerType { kMouse = 0, kTouch = 1, kPen = 2 };

// One Pointer Event, in the codes the page reads from it: `button` is the
// button that changed (-1 for none), `buttons` the ones held, both as the
// DOM numbers them; place in CSS pixels, time in milliseconds.
struct PointerSample {
  int id = 0;
  PointerType type = PointerType::kMouse;
  int button = -1;
  int buttons = 0;
  double x = 0;
  double y = 0;
  double time_ms = 0;
};

// What one Pointer Event comes to: nothing, a press or a release, or both.
class Presses {
 public:
  Presses() = default;
  Presses(std::initializer_list<Event> events);
  const Event* begin() const { return events_.data(); }
  const Event* end() const { return events_.data() + count_; }

 private:
  std::array<Event, 2> events_{};
  std::size_t count_ = 0;
};

inline constexpr double kHoldMs = 500;
// How far a held contact may wander and still be held still: about what
// touch screens allow a finger before they call it a drag.
inline constexpr double kHoldSlopPx = 10;

class PointerGesture {
 public:
  // A pointer went down on the picture.
  Presses Down(const PointerSample& sample);
  // It moved, or (a mouse) pressed or let go of another button.
  Presses Move(const PointerSample& sample);
  // Its last button or contact was let go, wherever that happened.
  Presses Up(const PointerSample& sample);
  // The browser took it back for a gesture of its own: it counts for nothing.
  Presses Cancel(int id);

 private:
  struct Contact {
    PointerSample down;
    bool moved = false;  // beyond the slop before it was held long enough
  };
  bool Ours(const PointerSample& sample) const {
    return contact_ && contact_->down.id == sample.id;
  }

  std::optional<Contact> contact_;  // the first pointer down; later ones are ignored
};

}  // namespace kalvo
