// Pointer Events as the page passes them on, turned into the presses and
// releases the runtime's press rule then judges.
#include "app/pointer_gesture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvo {
namespace {

constexpr auto kMouse = PointerType::kMouse;
constexpr auto kTouch = PointerType::kTouch;
constexpr auto kPen = PointerType::kPen;

std::string Said(const std::vector<Event>& events) {
  std::string text;
  for (const Event& event : events) {
    if (const auto* down = std::get_if<MouseDown>(&event))
      text += "down" + std::to_string(down->button) + " ";
    if (const auto* up = std::get_if<MouseUp>(&event))
      text += "up" + std::to_string(up->button) + " ";
    if (std::holds_alternative<PressesLost>(event)) text += "lost ";
  }
  return text;
}

// One contact of `type` and DOM button, down at (0, 0) at time 0 and up at
// `up_ms`, with one move to (`dx`, 0) at `move_ms` between.
std::string Contact(PointerType type, int button, double up_ms, double dx = 0, double move_ms = 0) {
  PointerGesture gesture;
  std::string said = Said(gesture.Down({1, type, button, 1, 0, 0, 0}));
  said += Said(gesture.Move({1, type, -1, 1, dx, 0, move_ms}));
  return said + Said(gesture.Up({1, type, button, 0, dx, 0, up_ms}));
}

TEST(PointerGesture, AMouseGivesEachButtonAsItGoesDownAndUp) {
  PointerGesture gesture;
  EXPECT_EQ(Said(gesture.Down({1, kMouse, 0, 1, 5, 5, 0})), "down1 ");
  EXPECT_EQ(Said(gesture.Move({1, kMouse, -1, 1, 900, 5, 10})), "") << "a drag off the picture";
  EXPECT_EQ(Said(gesture.Move({1, kMouse, 2, 3, 900, 5, 20})), "down2 ") << "right pressed too";
  EXPECT_EQ(Said(gesture.Move({1, kMouse, 1, 7, 900, 5, 25})), "down0 ") << "middle: no button";
  EXPECT_EQ(Said(gesture.Move({1, kMouse, 2, 5, 900, 5, 30})), "up2 ");
  EXPECT_EQ(Said(gesture.Up({1, kMouse, 0, 0, 900, 5, 2000})), "up1 ") << "never a hold";
  EXPECT_EQ(Said(gesture.Down({1, kMouse, 2, 2, 5, 5, 3000})), "down2 ");
}

TEST(PointerGesture, ATapIsALeftReleaseAndAStillHoldARightOne) {
  for (const PointerType type : {kTouch, kPen}) {
    EXPECT_EQ(Contact(type, 0, 100), "down1 up1 ") << "a tap";
    EXPECT_EQ(Contact(type, 0, 499.9, 9.9, 400), "down1 up1 ") << "a tap just short of a hold";
    EXPECT_EQ(Contact(type, 0, 500, 9.9, 400), "down2 up2 ") << "held, within the slop";
    EXPECT_EQ(Contact(type, 0, 800, 10.1, 400), "down1 up1 ") << "a drag before the hold";
    EXPECT_EQ(Contact(type, 0, 800, 300, 600), "down2 up2 ") << "moved once held";
  }
  EXPECT_EQ(Contact(kPen, 2, 100), "down2 up2 ") << "the pen's barrel button";
  EXPECT_EQ(Contact(kPen, 2, 800), "down2 up2 ");
  EXPECT_EQ(Contact(kPen, 5, 800), "down0 up0 ") << "the eraser, held: no button";
}

TEST(PointerGesture, OnlyTheFirstPointerCountsAndACancelledOneNotAtAll) {
  PointerGesture gesture;
  EXPECT_EQ(Said(gesture.Down({1, kTouch, 0, 1, 0, 0, 0})), "");
  EXPECT_EQ(Said(gesture.Down({2, kTouch, 0, 1, 50, 0, 10})), "");
  EXPECT_EQ(Said(gesture.Move({2, kTouch, -1, 1, 90, 0, 20})), "")
      << "it cannot make the first move";
  EXPECT_EQ(Said(gesture.Up({2, kTouch, 0, 0, 90, 0, 30})), "") << "a second finger";
  EXPECT_EQ(Said(gesture.Cancel(2)), "");
  EXPECT_EQ(Said(gesture.Up({1, kTouch, 0, 0, 0, 0, 600})), "down2 up2 ");

  EXPECT_EQ(Said(gesture.Down({3, kMouse, 0, 1, 0, 0, 700})), "down1 ");
  EXPECT_EQ(Said(gesture.Cancel(3)), "lost ");
  EXPECT_EQ(Said(gesture.Up({3, kMouse, 0, 0, 0, 0, 710})), "") << "cancelled: counts for nothing";
  EXPECT_EQ(Said(gesture.Down({4, kTouch, 0, 1, 0, 0, 800})), "") << "and the next may start";
  EXPECT_EQ(Said(gesture.Up({4, kTouch, 0, 0, 0, 0, 810})), "down1 up1 ");
}

}  // namespace
}  // namespace kalvo
