// The PLL loop filter's computations on plain doubles: the coefficients against an independent
// analysis of the ladder, the start design's worked values, the crossover search's ends and
// the lock transient.
#include "design/pll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/errors.h"

namespace vexa {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

LoopFilterDesign StartDesign() {
  LoopFilterDesign d;
  d.kphi = 5e-3;
  d.kvco = 30e6;
  d.fout = 900e6;
  d.f2 = 950e6;
  d.fcomp = 200e3;
  d.c1 = 5.6e-9;
  d.c2 = 100e-9;
  d.c3 = 0.33e-9;
  d.c4 = 0.082e-9;
  d.vcocap = 0.022e-9;
  d.r2 = 1e3;
  d.r3 = 6.8e3;
  d.r4 = 33e3;
  return d;
}

// The transimpedance V(C4) / I(charge pump) of the ladder, node by node: C1 ∥ (R2 + C2) at the
// pump, then R3 into C3, then R4 into C4.
Complex LadderTransimpedance(Complex s, const LoopFilterDesign& d) {
  const double c4 = d.c4 + d.vcocap;
  const Complex z4 = 1.0 / (s * c4);
  const Complex zb = d.r4 + z4;
  const Complex z2 = 1.0 / (s * d.c3 + 1.0 / zb);
  const Complex za = d.r3 + z2;
  const Complex z1 = 1.0 / (s * d.c1 + 1.0 / (d.r2 + 1.0 / (s * d.c2)) + 1.0 / za);
  return z1 * (z2 / za) * (z4 / zb);
}

// Without C3 the coefficients are exactly the ladder's. With C3, A2 leaves out the ladder's
// C4·R4·C2·C3·R2 term (see LoopCoefficients); the worked values below pin that form.
TEST(Pll, ImpedanceIsTheLaddersTransimpedanceWithoutC3) {
  LoopFilterDesign start = StartDesign();
  start.c3 = 0.0;
  LoopFilterDesign other = start;
  other.c1 = 1e-9;
  other.r3 = 1e3;
  other.r4 = 470.0;
  other.vcocap = 1e-9;
  for (const LoopFilterDesign& d : {start, other}) {
    const LoopFilterCoefficients a = LoopCoefficients(d);
    for (double f : {10.0, 1e3, 5e3, 1e5, 1e7}) {
      SCOPED_TRACE(f);
      const Complex s(0.0, 2.0 * std::numbers::pi * f);
      const Complex expected = LadderTransimpedance(s, d);
      EXPECT_LT(std::abs(FilterImpedance(s, d, a) - expected), 1e-12 * std::abs(expected));
      const Complex g = OpenLoopGain(f, d, a);
      EXPECT_LT(std::abs(g - d.kphi * d.kvco * expected / s), 1e-12 * std::abs(g));
    }
  }
}

TEST(Pll, WorkedStartDesign) {
  const LoopFilterDesign d = StartDesign();
  const LoopFilterCoefficients a = LoopCoefficients(d);
  const double n = d.fout / d.fcomp;
  const Crossover crossover = FindCrossover(n, d.fcomp, d, a);
  ASSERT_EQ(crossover.status, CrossoverStatus::kFound);
  const double wn = NaturalFrequency(d, a);
  const struct {
    const char* name;
    double value, expected, tolerance;
  } cases[] = {
      {"N", n, 4500, 0},
      {"C4 nF", EffectiveC4(d) * 1e9, 0.104, 1e-12},
      {"A0 nF", a.a0 * 1e9, 106.034, 1e-9},
      {"A1 nFs", a.a1 * 1e9, 0.00127859848, 1e-15},
      {"A2 nFs2", a.a2 * 1e9, 4.3878606848e-9, 1e-20},
      {"A3 nFs3", a.a3 * 1e9, 4.31278848e-15, 1e-26},
      {"Fc kHz", crossover.fc * 1e-3, 5.081, 0.001},
      {"|G| / N at Fc", std::abs(crossover.g) / n, 1.0, 0.0002},
      {"Phi degrees", PhaseMargin(crossover.g), 50.78, 0.01},
      {"Gamma", GammaFactor(crossover.fc, d, a), 1.2288, 0.0001},
      {"wn radian/s", wn, 17257.435, 0.001},
      {"Zeta", Damping(d, wn), 0.8628718, 1e-7},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(c.value, c.expected, c.tolerance) << c.name;
  // The search is deterministic: the same number of frequency changes every time.
  EXPECT_EQ(crossover.steps, 6930);
}

TEST(Pll, CrossoverSearchEnds) {
  const LoopFilterDesign start = StartDesign();
  const struct {
    const char* name;
    double LoopFilterDesign::*input;
    double value;
    std::int64_t max_steps;
    CrossoverStatus status;
  } cases[] = {
      // No gain: the frequency is halved until G overflows to nan.
      {"Kphi 0", &LoopFilterDesign::kphi, 0.0, kMaxCrossoverSteps, CrossoverStatus::kNotFinite},
      {"Kvco 0", &LoopFilterDesign::kvco, 0.0, kMaxCrossoverSteps, CrossoverStatus::kNotFinite},
      // N = 0 is never within a tolerance of 0: the frequency grows to infinity.
      {"Fout 0", &LoopFilterDesign::fout, 0.0, kMaxCrossoverSteps, CrossoverStatus::kNotFinite},
      {"budget", &LoopFilterDesign::kphi, 5e-3, 100, CrossoverStatus::kStepLimit},
      {"budget just enough", &LoopFilterDesign::kphi, 5e-3, 6930, CrossoverStatus::kFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopFilterDesign d = start;
    d.*c.input = c.value;
    const LoopFilterCoefficients a = LoopCoefficients(d);
    const Crossover crossover = FindCrossover(d.fout / d.fcomp, d.fcomp, d, a, c.max_steps);
    EXPECT_EQ(crossover.status, c.status);
    EXPECT_LE(crossover.steps, c.max_steps);
    if (c.status == CrossoverStatus::kStepLimit) {
      EXPECT_EQ(crossover.steps, c.max_steps);
    }
  }
  // A start at 0 or infinity has no gain to compare.
  const LoopFilterCoefficients a = LoopCoefficients(start);
  for (double f : {0.0, -1.0, kInf, kNan})
    EXPECT_EQ(FindCrossover(4500, f, start, a).status, CrossoverStatus::kNotFinite) << f;
}

TEST(Pll, NoCapacitanceDividesByZero) {
  LoopFilterDesign d = StartDesign();
  d.c1 = d.c2 = d.c3 = d.c4 = d.vcocap = 0.0;
  const LoopFilterCoefficients a = LoopCoefficients(d);
  EXPECT_EQ(a.a0, 0.0);
  EXPECT_EQ(a.a3, 0.0);
  try {
    FindCrossover(4500, 200e3, d, a);
    FAIL() << "no FloatError";
  } catch (const FloatError& error) {
    EXPECT_STREQ(error.what(), kDivisionByZero);
  }
}

TEST(Pll, StartTransient) {
  const LoopFilterDesign d = StartDesign();
  const double wn = NaturalFrequency(d, LoopCoefficients(d));
  const double zeta = Damping(d, wn);
  const LockTransientCurves curves = LockTransient(d.fout, d.f2, wn, zeta, d.c2 * d.r2);
  ASSERT_GE(curves.response.size(), 4999u);
  ASSERT_LE(curves.response.size(), 5002u);
  ASSERT_EQ(curves.upper.size(), curves.response.size());
  ASSERT_EQ(curves.lower.size(), curves.response.size());
  EXPECT_EQ(curves.response.front().x, 0.0);
  EXPECT_EQ(curves.response.front().y, 900e6);
  EXPECT_NEAR(curves.response.back().x, 527.3e-6, 0.1e-6);
  EXPECT_NEAR(curves.response.back().y, 950e6, 0.05e6);
  const auto peak = std::max_element(curves.response.begin(), curves.response.end(),
                                     [](CurvePoint p, CurvePoint q) { return p.y < q.y; });
  EXPECT_NEAR(peak->y, 958.19e6, 0.01e6);
  for (std::size_t i = 0; i < curves.response.size(); ++i) {
    EXPECT_EQ(curves.upper[i].x, curves.response[i].x);
    // The envelopes mirror each other about F2; the upper one starts at F1 and rises to F2.
    EXPECT_NEAR(curves.upper[i].y + curves.lower[i].y, 2 * 950e6, 1e-6);
    EXPECT_LE(curves.upper[i].y, 950e6);
  }
  EXPECT_EQ(curves.upper.front().y, 900e6);
  EXPECT_EQ(curves.lower.front().y, 1000e6);
}

TEST(Pll, NoJumpDrawsThreeFlatLines) {
  const LockTransientCurves curves = LockTransient(950e6, 950e6, 17257.4, 0.86, 1e-4);
  ASSERT_GT(curves.response.size(), 4000u);
  for (const auto* points : {&curves.response, &curves.upper, &curves.lower}) {
    for (const CurvePoint& p : *points)
      ASSERT_EQ(p.y, 950e6);
  }
}

// A transient is drawn only for 0 < ζ < 1 and a positive finite ωn whose span can be sampled.
TEST(Pll, TransientRefusesWhatItCannotSample) {
  const struct {
    double wn, zeta;
    bool drawn;
  } cases[] = {
      {17257.4, 0.86, true}, {1e300, 0.5, true},     {17257.4, 1.0, false},  {17257.4, 1.5, false},
      {17257.4, 0.0, false}, {17257.4, -0.5, false}, {17257.4, kNan, false}, {0.0, 0.5, false},
      {-1.0, 0.5, false},    {kInf, 0.5, false},     {kNan, 0.5, false},     {1e-300, 1e-10, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.wn << " " << c.zeta);
    const LockTransientCurves curves = LockTransient(900e6, 950e6, c.wn, c.zeta, 1e-4);
    EXPECT_LE(curves.response.size(), kMaxTransientPoints);
    EXPECT_EQ(!curves.response.empty(), c.drawn);
    if (c.drawn) {
      EXPECT_GE(curves.response.size(), 4999u);
    }
  }
}

}  // namespace
}  // namespace vexa
