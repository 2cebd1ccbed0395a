#include "roll/roll.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <set>

#include "tests/support/fakes.h"

namespace kalvo {
namespace {

using testing::ScriptedRandom;

struct Flags {
  bool blnReset = false;
  bool blnRolling = false;
  bool blnThrown = false;
  tVector vecAngle{1, 2, 3};
  ThrowFlags refs() { return {blnReset, blnRolling, blnThrown, vecAngle}; }
};

TEST(MouseUp, LeftThrowsWithTwoDrawsOutcomeFirst) {
  Flags f;
  ScriptedRandom rnd;
  rnd.queue = {0.5F, 0.2F};  // trunc(3) + 1 = 4, trunc(18) = 18
  Picture1_MouseUp(kLeftButton, f.refs(), rnd);
  EXPECT_TRUE(f.blnRolling);
  EXPECT_TRUE(f.blnThrown);
  EXPECT_FALSE(f.blnReset);
  EXPECT_EQ(rnd.draws, 2);
  EXPECT_EQ(f.vecAngle, (tVector{0, 18, -90})) << "face 4 turned up, 18 degrees about the vertical";
}

TEST(MouseUp, LeftWhileThrownChangesNothingAndDrawsNothing) {
  Flags f;
  f.blnThrown = true;
  ScriptedRandom rnd;
  Picture1_MouseUp(kLeftButton, f.refs(), rnd);
  EXPECT_EQ(rnd.draws, 0);
  EXPECT_FALSE(f.blnRolling);
  EXPECT_EQ(f.vecAngle, (tVector{1, 2, 3}));
}

TEST(MouseUp, RightAsksForResetAndKeepsTheAngle) {
  Flags f;
  f.blnRolling = true;
  f.blnThrown = true;
  ScriptedRandom rnd;
  Picture1_MouseUp(kRightButton, f.refs(), rnd);
  EXPECT_TRUE(f.blnReset);
  EXPECT_FALSE(f.blnRolling);
  EXPECT_FALSE(f.blnThrown);
  EXPECT_EQ(f.vecAngle, (tVector{1, 2, 3}));
  EXPECT_EQ(rnd.draws, 0);
}

TEST(MouseUp, OtherButtonsDoNothing) {
  for (std::int16_t button :
       {std::int16_t{0}, kMiddleButton, std::int16_t{3}, std::int16_t{8}, std::int16_t{-1}}) {
    Flags f;
    ScriptedRandom rnd;
    Picture1_MouseUp(button, f.refs(), rnd);
    EXPECT_FALSE(f.blnReset || f.blnRolling || f.blnThrown) << "button " << button;
    EXPECT_EQ(rnd.draws, 0) << "button " << button;
  }
}

TEST(Outcome, CoversOneToSixAtTheEndsOfTheRange) {
  const float below_one = std::nextafter(1.0F, 0.0F);
  EXPECT_EQ(OutcomeFor(0.0F), 1);
  EXPECT_EQ(OutcomeFor(below_one), 6);
  // The float nearest 1/6 lies just above it; the one before it, below.
  EXPECT_EQ(OutcomeFor(1.0F / 6.0F), 2);
  EXPECT_EQ(OutcomeFor(std::nextafter(1.0F / 6.0F, 0.0F)), 1);
  EXPECT_EQ(SpinFor(0.0F), 0);
  EXPECT_EQ(SpinFor(below_one), 89);
  // A generator that broke its contract still gives a face and a valid spin.
  EXPECT_EQ(OutcomeFor(1.0F), 6);
  EXPECT_EQ(SpinFor(1.0F), 89);
}

// Upper regularised incomplete gamma Q(a, x): the chi-square p-value for
// 2a degrees of freedom at 2x.
double UpperGammaQ(double a, double x) {
  if (x < a + 1) {  // series for P, then Q = 1 - P
    double term = 1 / a;
    double sum = term;
    for (int n = 1; n < 1000; ++n) {
      term *= x / (a + n);
      sum += term;
      if (term < sum * 1e-15) break;
    }
    return 1 - sum * std::exp(-x + a * std::log(x) - std::lgamma(a));
  }
  double b = x + 1 - a;  // continued fraction (Lentz)
  double c = 1 / std::numeric_limits<double>::min();
  double d = 1 / b;
  double h = d;
  for (int i = 1; i < 1000; ++i) {
    const double an = -i * (i - a);
    b += 2;
    d = an * d + b;
    c = b + an / c;
    d = 1 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1) < 1e-15) break;
  }
  return std::exp(-x + a * std::log(x) - std::lgamma(a)) * h;
}

struct ChiSquare {
  double statistic;
  double p;
};

template <std::size_t N>
ChiSquare UniformChiSquare(const std::array<int, N>& counts, int total) {
  const double expected = static_cast<double>(total) / N;
  double statistic = 0;
  for (int c : counts) statistic += (c - expected) * (c - expected) / expected;
  return {statistic, UpperGammaQ((N - 1) / 2.0, statistic / 2)};
}

constexpr int kThrows = 600'000;
constexpr double kSignificance = 0.001;

std::array<int, 6> CountFaces(const std::function<std::int16_t(float)>& outcome_for) {
  UniformGenerator generator;
  generator.Seed(20261207);
  std::array<int, 6> counts{};
  for (int i = 0; i < kThrows; ++i) {
    const std::int16_t face = outcome_for(generator.Rnd());
    if (face < 1 || face > 6) ADD_FAILURE() << "face " << face;
    ++counts.at(static_cast<std::size_t>(std::clamp<int>(face, 1, 6) - 1));
  }
  return counts;
}

TEST(Fairness, EachFaceComesUpOneTimeInSix) {
  const ChiSquare result = UniformChiSquare(CountFaces(OutcomeFor), kThrows);
  std::printf("faces over %d throws: chi-square %.3f (5 degrees of freedom), p = %.4f\n", kThrows,
              result.statistic, result.p);
  EXPECT_GT(result.p, kSignificance);
}

TEST(Fairness, TheTestRejectsABiasedMapping) {
  // Rounding instead of truncating: faces 1 and 6 half as likely.
  const auto rounded = [](float r) { return static_cast<std::int16_t>(std::lround(r * 5) + 1); };
  const ChiSquare result = UniformChiSquare(CountFaces(rounded), kThrows);
  EXPECT_LT(result.p, kSignificance) << "chi-square " << result.statistic;
}

TEST(Fairness, SpinsAreWholeDegreesFrom0To89EvenlySpread) {
  UniformGenerator generator;
  generator.Seed(7);
  std::array<int, 90> counts{};
  for (int i = 0; i < kThrows; ++i) {
    const double spin = SpinFor(generator.Rnd());
    ASSERT_EQ(spin, std::trunc(spin));
    ASSERT_GE(spin, 0);
    ASSERT_LE(spin, 89);
    ++counts.at(static_cast<std::size_t>(spin));
  }
  const ChiSquare result = UniformChiSquare(counts, kThrows);
  std::printf("spins over %d throws: chi-square %.3f (89 degrees of freedom), p = %.4f\n", kThrows,
              result.statistic, result.p);
  EXPECT_GT(result.p, kSignificance);
  EXPECT_TRUE(std::all_of(counts.begin(), counts.end(), [](int c) { return c > 0; }));
}

TEST(Generator, StaysBelowOne) {
  UniformGenerator generator;
  generator.Seed(1);
  float largest = 0;
  float smallest = 1;
  for (int i = 0; i < 1'000'000; ++i) {
    const float r = generator.Rnd();
    largest = std::max(largest, r);
    smallest = std::min(smallest, r);
  }
  EXPECT_LT(largest, 1.0F);
  EXPECT_GE(smallest, 0.0F);
  EXPECT_GT(largest, 0.999F);
  EXPECT_LT(smallest, 0.001F);
}

}  // namespace
}  // namespace kalvo
