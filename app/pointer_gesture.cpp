#include "app/pointer_gesture.h"

#include "app/input.h"

namespace kalvo {
namespace {

// The DOM's button numbers. In `buttons`, the middle (1) and right (2)
// buttons swap places.
constexpr int kDomLeft = 0;
constexpr int kDomMiddle = 1;
constexpr int kDomRight = 2;

std::int16_t ButtonOf(int dom_button) {
  if (dom_button == kDomLeft) return kLeftButton;
  if (dom_button == kDomRight) return kRightButton;
  return 0;
}

int BitOf(int dom_button) {
  if (dom_button == kDomMiddle) return 1 << kDomRight;
  if (dom_button == kDomRight) return 1 << kDomMiddle;
  return 1 << dom_button;
}

}  // namespace

Presses::Presses(std::initializer_list<Event> events) {
  // Never more than two: the callers below.
  for (const Event& event : events) events_[count_++] = event;
}

Presses PointerGesture::Down(const PointerSample& sample) {
  if (contact_ && !Ours(sample)) return {};
  // The same pointer down again: its release never came (the capture was
  // refused, and it ended elsewhere), so its press is forgotten.
  const bool lost = contact_.has_value();
  contact_ = Contact{sample};
  if (sample.type != PointerType::kMouse) return lost ? Presses{PressesLost{}} : Presses{};
  const MouseDown press{ButtonOf(sample.button)};
  return lost ? Presses{PressesLost{}, press} : Presses{press};
}

Presses PointerGesture::Move(const PointerSample& sample) {
  if (!Ours(sample)) return {};
  const PointerSample& down = contact_->down;
  if (sample.type == PointerType::kMouse) {
    // A mouse presses and lets go of its other buttons as moves of the same
    // pointer, while the first is held.
    if (sample.button < 0) return {};
    const std::int16_t button = ButtonOf(sample.button);
    if ((sample.buttons & BitOf(sample.button)) != 0) return {MouseDown{button}};
    return {MouseUp{button}};
  }
  const double dx = sample.x - down.x;
  const double dy = sample.y - down.y;
  if (sample.time_ms - down.time_ms < kHoldMs && dx * dx + dy * dy > kHoldSlopPx * kHoldSlopPx) {
    contact_->moved = true;
  }
  return {};
}

Presses PointerGesture::Up(const PointerSample& sample) {
  if (!Ours(sample)) return {};
  Move(PointerSample{sample.id, sample.type, -1, 0, sample.x, sample.y, sample.time_ms});
  const Contact contact = *contact_;
  contact_.reset();
  if (sample.type == PointerType::kMouse) return {MouseUp{ButtonOf(sample.button)}};
  // A contact is its button's (a pen's barrel button is the right button,
  // as its system reports it); a plain contact held still, the right one.
  const bool held = !contact.moved && sample.time_ms - contact.down.time_ms >= kHoldMs;
  const std::int16_t button =
      contact.down.button == kDomLeft && held ? kRightButton : ButtonOf(contact.down.button);
  return {MouseDown{button}, MouseUp{button}};
}

Presses PointerGesture::Cancel(int id) {
  if (!contact_ || contact_->down.id != id) return {};
  contact_.reset();
  return {PressesLost{}};
}

}  // namespace kalvo
