// The runtime every platform shares, driven as a backend drives it: events,
// and RunDue whenever the time it asked for comes, on a fake clock.
#include "app/runtime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "app/input.h"
#include "tests/support/fakes.h"
#include "timing/cls_time_counter.h"

namespace kalvo {
namespace {

using testing::CallLog;
using testing::FakeBackend;

TEST(FirstCountsReaching, IsTheExactInverseOfTheRounding) {
  // 2000 Hz puts half milliseconds on whole counts: ties round to even.
  constexpr std::int64_t kFrequencies[] = {1000, 2000, 3000, 3'579'545, 1'000'000'000};
  constexpr std::int64_t kMs[] = {-3, -1, 0, 1, 2, 3, 19, 20, 999, 1000, 1001, 17'280'000'003};
  for (const std::int64_t frequency : kFrequencies) {
    for (const std::int64_t ms : kMs) {
      const std::int64_t counts = FirstCountsReaching(ms, frequency);
      EXPECT_GE(CountsToMilliseconds(counts, frequency), ms) << frequency << " Hz, " << ms;
      EXPECT_LT(CountsToMilliseconds(counts - 1, frequency), ms) << frequency << " Hz, " << ms;
    }
  }
}

// The counter at each frame over four seconds of a backend that sleeps until
// RunDue's time and wakes late by one of seven amounts, and the wake-ups.
std::vector<std::int64_t> PacedFrames(const std::int64_t (&late_us)[7], int& wake_ups) {
  testing::Window w;
  w.runtime.Start();
  w.backend.frames.clear();  // the first frame is the showing's, off the schedule
  for (auto next = w.runtime.RunDue(); next && *next < 4'000'000; next = w.runtime.RunDue()) {
    w.backend.counter.count = *next + late_us[(*next / 5000) % 7];
    ++wake_ups;
  }
  return w.backend.frames;
}

TEST(RuntimeLoop, FramesComeEvery20MsWakingOnceAFrame) {
  // Woken up to 0.9 ms late, as the tick grid allows for: every frame 20 ms on.
  constexpr std::int64_t kOnTime[] = {0, 850, 300, 600, 100, 450, 20};
  int wake_ups = 0;
  const std::vector<std::int64_t> frames = PacedFrames(kOnTime, wake_ups);
  ASSERT_EQ(frames.size(), 199U) << "one frame each 20 ms after the first tick";
  for (std::size_t i = 1; i < frames.size(); ++i) {
    EXPECT_EQ(CountsToMilliseconds(frames[i] - frames[0], 1'000'000), 20 * std::int64_t(i))
        << "frame " << i;
  }
  EXPECT_LE(wake_ups, 201) << "the first tick's, then one a frame";

  // Woken always 1 ms late, the tick just before each frame is due reaches
  // it: passed over, every frame would come a whole tick late.
  constexpr std::int64_t kSteadilyLate[] = {1000, 1000, 1000, 1000, 1000, 1000, 1000};
  const std::vector<std::int64_t> steady = PacedFrames(kSteadilyLate, wake_ups);
  ASSERT_EQ(steady.size(), 199U);
  for (std::size_t i = 1; i < steady.size(); ++i) {
    EXPECT_EQ(steady[i] - steady[i - 1], 20'000) << "frame " << i;
  }

  // Woken well past that: frames 20 ms apart at least, and no tick that could
  // draw slept through (at most one 5 ms tick and the lateness over 20 ms).
  constexpr std::int64_t kLate[] = {0, 1300, 2400, 950, 100, 1300, 450};
  const std::vector<std::int64_t> late = PacedFrames(kLate, wake_ups);
  ASSERT_GT(late.size(), 150U);
  for (std::size_t i = 1; i < late.size(); ++i) {
    EXPECT_GE(
        CountsToMilliseconds(late[i], 1'000'000) - CountsToMilliseconds(late[i - 1], 1'000'000), 20)
        << "frame " << i;
    EXPECT_LE(late[i] - late[i - 1], 25'000 + 2400) << "frame " << i;
  }
}

TEST(Runtime, AnErrorThatEndsAHandlerIsReportedOnceAndNoHandlerRunsAfterIt) {
  testing::Window w;
  FakeBackend& backend = w.backend;
  Runtime& runtime = w.runtime;
  runtime.Start();
  int box_events = 0;
  // The box's own loop may deliver anything: none of it may reach a handler.
  backend.while_box_is_up = [&] {
    ++box_events;
    backend.shape.width = 300;
    runtime.Handle(ShapeChanged{});
    runtime.Handle(MouseDown{kLeftButton});
    runtime.Handle(MouseUp{kLeftButton});
    runtime.Handle(KeyDown{kKeyEscape});
    runtime.Handle(CloseRequested{});
    backend.counter.count += 100'000;
    EXPECT_FALSE(runtime.RunDue());
    EXPECT_EQ(backend.log.back().rfind("Error", 0), 0U) << "closed while the box was up";
    EXPECT_EQ(backend.frames.size(), 1U) << "a frame drawn while the box was up";
    EXPECT_FALSE(w.state().blnThrown) << "a click handled while the box was up";
  };
  backend.shape.width = INT_MAX;  // too wide for any viewport: the resize's frame fails
  runtime.Handle(ShapeChanged{});
  EXPECT_EQ(box_events, 1);
  EXPECT_TRUE(w.state().blnViewportDirty) << "what the frame changed before the error stays";
  EXPECT_EQ(w.state().lngCount[0], 2);
  const std::string said =
      "Kalvo has to close: the picture's width, 2147483648, does not fit in a 32-bit integer.";
  EXPECT_EQ(backend.log, (CallLog{"Show", "Error Kalvo: " + said, "Close"}));
  EXPECT_EQ(backend.lines, CallLog{"kalvo: " + said});
  EXPECT_EQ(backend.wgl.log.back(), "Delete") << "the unload still releases the context";
  EXPECT_TRUE(runtime.Ended());
  EXPECT_EQ(runtime.ExitStatus(), 1);
  EXPECT_EQ(backend.frames.size(), 1U);
  EXPECT_FALSE(runtime.RunDue());
}

}  // namespace
}  // namespace kalvo
