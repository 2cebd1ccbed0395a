// The parts of the program that stand alone: conversions, the pacing timer,
// the context's set-up steps, the throw's chance, and the icon.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "app/checked.h"
#include "app/errors.h"
#include "app/icon.h"
#include "gl/module1.h"
#include "roll/roll.h"
#include "tests/support/fakes.h"
#include "timing/cls_time_counter.h"

namespace kalvo {
namespace {

using testing::FakeCounter;
using testing::FakeWgl;

TEST(RoundToInt32, RoundsHalvesToEvenAndRefusesWhatDoesNotFit) {
  const std::array<std::pair<double, std::int32_t>, 7> rounded = {{{2.5, 2},
                                                                   {3.5, 4},
                                                                   {-2.5, -2},
                                                                   {2.5000001, 3},
                                                                   {2147483647.4, 2147483647},
                                                                   {-2147483648.0, -2147483647 - 1},
                                                                   {0.49999999, 0}}};
  for (const auto& [value, want] : rounded) EXPECT_EQ(RoundToInt32(value, "x"), want) << value;
  for (double bad : {2147483647.5, -2147483648.6, std::nan(""), 1e300}) {
    EXPECT_THROW(RoundToInt32(bad, "x"), OverflowError) << bad;
  }
  const auto said = RunHandler([] { RoundToInt32(3e9, "the picture's width"); });
  EXPECT_EQ(said,
            "Kalvo has to close: the picture's width, 3000000000, does not fit in a 32-bit "
            "integer.");
  EXPECT_EQ(RunHandler([] {}), std::nullopt);
}

// Steps of the counter in microseconds and what isInterval(interval) answers,
// on a microsecond and a nanosecond counter, at any uptime.
TEST(ClsTimeCounter, AnswersTrueAtMostOncePerIntervalFromTheLastTrue) {
  struct Step {
    std::int64_t advance_us;
    std::int32_t interval;
    bool want;
  };
  const Step script[] = {
      {0, 20, false},                           // the first, at time 0, only sets the mark m
      {19'000, 20, false}, {1'000, 20, true},   // m + 20
      {0, 20, false},      {27'000, 20, true},  // late, at m + 47: the mark moves there
      {19'000, 20, false}, {1'000, 20, true},   // m + 67, not m + 60
      {19'500, 20, false}, {1'000, 20, true},   // m + 86.5 is 86, even; m + 87.5 is 88
      {20'100, 20, true},                       // m + 107.6 is 108, not 107
      {0, 0, true},        {0, -5, true},       // no interval at all
  };
  for (const std::int64_t start_ms : {123'456LL, (1LL << 31) - 30, 400 * 86'400'000LL}) {
    for (const std::int64_t per_us : {1LL, 1000LL}) {
      FakeCounter counter;
      counter.frequency = 1'000'000 * per_us;
      counter.count = start_ms * 1000 * per_us + 789;  // off the millisecond
      clsTimeCounter timer(counter);
      for (std::size_t step = 0; step < std::size(script); ++step) {
        counter.count += script[step].advance_us * per_us;
        EXPECT_EQ(timer.isInterval(script[step].interval), script[step].want)
            << "step " << step << " from " << start_ms << " ms, " << per_us << " counts a µs";
      }
    }
  }
  FakeCounter stopped;
  stopped.frequency = 0;
  EXPECT_THROW(clsTimeCounter{stopped}, std::runtime_error) << "no usable counter";
}

TEST(Module1, EachFailingStepStopsSetUpAndLeavesNothingBehind) {
  const std::pair<const char*, testing::CallLog> cases[] = {
      {"", {"Choose", "Set", "Create", "MakeCurrent"}},
      {"Choose", {"Choose"}},
      {"Set", {"Choose", "Set"}},
      {"Create", {"Choose", "Set", "Create"}},
      // A context that cannot be made current is no use: deleted, and a failure.
      {"MakeCurrent", {"Choose", "Set", "Create", "MakeCurrent", "Delete"}},
  };
  for (const auto& [failing, calls] : cases) {
    FakeWgl wgl;
    wgl.failing = failing;
    {
      Module1 module1(wgl);
      EXPECT_EQ(module1.InitGL(Hdc{42}), *failing == '\0') << failing;
      EXPECT_EQ(wgl.log, calls) << failing;
      module1.ReleaseGL();
      module1.ReleaseGL();  // and once more as the module goes
    }
    const std::size_t made = *failing == '\0' ? 1 : 0;
    EXPECT_EQ(wgl.deleted.size(), failing == std::string("MakeCurrent") ? 1 : made) << failing;
    if (made == 1) {
      EXPECT_EQ(wgl.log.back(), "Delete");
      EXPECT_EQ(wgl.log[wgl.log.size() - 2], "MakeNoneCurrent") << "released before deleted";
    }
  }
}

TEST(Throw, OutcomeAndSpinCoverTheirRangesToTheEnds) {
  // 1 is held at face 6 and a spin of 89.
  const float rows[][3] = {
      {0, 1, 0}, {1.0F / 6, 2, 15}, {0.5F, 4, 45}, {0.99999994F, 6, 89}, {1, 6, 89}};
  for (const auto& [r, outcome, spin] : rows) {
    EXPECT_EQ(OutcomeFor(r), outcome) << r;
    EXPECT_EQ(SpinFor(r), spin) << r;
  }
  UniformGenerator generator;
  for (int i = 0; i < 100'000; ++i) ASSERT_LT(generator.NextUniform(), 1.0F);
}

// The table turns the face asked for up, as the modelled geometry sees it,
// whatever the spin about the vertical.
TEST(Throw, EachFinalOrientationTurnsItsOutcomeUp) {
  for (std::int16_t outcome = 1; outcome <= 6; ++outcome) {
    for (const double spin : {0.0, 1.0, 45.0, 89.0}) {
      EXPECT_EQ(FaceUp(FinalOrientation(outcome, spin)), outcome) << "spin " << spin;
    }
  }
}

// Chi-square against the 0.1% critical values: 20.52 for 5 degrees of
// freedom, 136.0 for 89. The generator's seed is fixed, so this is no gamble.
TEST(Throw, EachFaceOneTimeInSixAndEveryWholeSpinEvenly) {
  UniformGenerator generator;
  generator.Seed(20261207);
  constexpr int kThrows = 600'000;
  std::array<int, 6> faces{};
  std::array<int, 90> spins{};
  for (int i = 0; i < kThrows; ++i) {
    ++faces.at(static_cast<std::size_t>(OutcomeFor(generator.NextUniform()) - 1));
    ++spins.at(static_cast<std::size_t>(SpinFor(generator.NextUniform())));
  }
  auto chi_square = [](const auto& counts) {
    const double expected = double(kThrows) / double(counts.size());
    double sum = 0;
    for (int n : counts) sum += (n - expected) * (n - expected) / expected;
    return sum;
  };
  EXPECT_LT(chi_square(faces), 20.52);
  EXPECT_LT(chi_square(spins), 136.0);
}

TEST(Icon, BlackDiscWithAWedgeAtTheTopAndTwoAtTheBottom) {
  struct Probe {
    double x, y;  // fractions of the size, from the top left
    std::uint32_t want;
  };
  const Probe probes[] = {{0.02, 0.02, 0},         {0.5, 0.25, 0xFFFFFF00},
                          {0.3, 0.68, 0xFFFFFF00}, {0.7, 0.68, 0xFFFFFF00},
                          {0.5, 0.8, 0xFF000000},  {0.25, 0.35, 0xFF000000}};
  for (int size : kIconSizesPx) {
    const auto pixels = IconPixels(size);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(size * size));
    for (const Probe& p : probes) {
      const auto at = static_cast<std::size_t>(int(p.y * size) * size + int(p.x * size));
      EXPECT_EQ(pixels[at], p.want) << size << " px at (" << p.x << ", " << p.y << ")";
    }
  }
  EXPECT_NE(IconSvg().find("#ffff00"), std::string::npos);
}

}  // namespace
}  // namespace kalvo
