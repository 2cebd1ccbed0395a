// Pointer Events as the page passes them on, turned into the presses and
// releases that the runtime's press rule then judges.
#include "app/pointer_gesture.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvo {
namespace {

std::string Said(const Presses& events) {
  std::string text;
  for (const Event& event : events) {
    // Appended piece by piece: "d" + std::to_string(…) trips MinGW GCC 12's
    // -Wrestrict.
    if (const auto* down = std::get_if<MouseDown>(&event)) {
      text += 'd';
      text += std::to_string(down->button);
    }
    if (const auto* up = std::get_if<MouseUp>(&event)) {
      text += 'u';
      text += std::to_string(up->button);
    }
    if (std::holds_alternative<PressesLost>(event)) text += "lost";
  }
  return text;
}

// One contact down at (0, 0) at 0 ms, moved to (dx, 0) at move_ms, up there at up_ms.
std::string Contact(PointerType type, int button, double up_ms, double dx = 0, double move_ms = 0) {
  // One statement a call: the operands of + come in no set order.
  PointerGesture g;
  std::string said = Said(g.Down({1, type, button, 1, 0, 0, 0}));
  said += Said(g.Move({1, type, -1, 1, dx, 0, move_ms}));
  return said + Said(g.Up({1, type, button, 0, dx, 0, up_ms}));
}

TEST(PointerGesture, ATapIsALeftReleaseAStillHoldARightOneAndAMouseNeverHolds) {
  for (const PointerType type : {PointerType::kTouch, PointerType::kPen}) {
    EXPECT_EQ(Contact(type, 0, 499.9, 9.9, 400), "d1u1") << "a tap just short of a hold";
    EXPECT_EQ(Contact(type, 0, 500, 9.9, 400), "d2u2") << "held, within the slop";
    EXPECT_EQ(Contact(type, 0, 800, 10.1, 400), "d1u1") << "dragged before it was held";
    EXPECT_EQ(Contact(type, 0, 800, 300, 600), "d2u2") << "moved once held";
  }
  EXPECT_EQ(Contact(PointerType::kPen, 2, 100), "d2u2") << "the pen's barrel button";
  EXPECT_EQ(Contact(PointerType::kPen, 5, 800), "d0u0") << "its eraser, held";
  EXPECT_EQ(Contact(PointerType::kMouse, 0, 800), "d1u1");
}

TEST(PointerGesture, OnlyTheFirstPointerCountsACancelledOneNotAtAllAndChordsDo) {
  PointerGesture g;
  std::string said = Said(g.Down({1, PointerType::kTouch, 0, 1, 0, 0, 0}));
  said += Said(g.Down({2, PointerType::kTouch, 0, 1, 50, 0, 10}));
  said += Said(g.Move({2, PointerType::kTouch, -1, 1, 90, 0, 20}));  // not the first's drag
  said += Said(g.Up({2, PointerType::kTouch, 0, 0, 90, 0, 30}));
  said += Said(g.Cancel(2));
  EXPECT_EQ(said + "|" + Said(g.Up({1, PointerType::kTouch, 0, 0, 0, 0, 600})), "|d2u2");

  said = Said(g.Down({3, PointerType::kMouse, 0, 1, 0, 0, 700}));
  said += Said(g.Down({3, PointerType::kMouse, 2, 2, 0, 0, 705}));
  said += Said(g.Cancel(3));
  EXPECT_EQ(said + "|" + Said(g.Up({3, PointerType::kMouse, 0, 0, 0, 0, 710})), "d1lostd2lost|")
      << "its release lost, then cancelled";

  // A mouse presses and lets go of its other buttons as moves: `buttons`
  // holds the middle button (1) as 4 and the right one (2) as 2.
  said = Said(g.Down({4, PointerType::kMouse, 0, 1, 0, 0, 800}));
  said += Said(g.Move({4, PointerType::kMouse, 2, 3, 0, 0, 810}));
  said += Said(g.Move({4, PointerType::kMouse, 1, 7, 0, 0, 820}));
  said += Said(g.Move({4, PointerType::kMouse, 2, 5, 0, 0, 830}));
  EXPECT_EQ(said + Said(g.Up({4, PointerType::kMouse, 0, 0, 0, 0, 840})), "d1d2d0u2u1");
}

}  // namespace
}  // namespace kalvo
