// The Smith chart's pure computations: the image mapping, impedance and reflection, the label
// texts and the equivalent circuits.
#include "matching/smith.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <complex>
#include <numbers>
#include <string>

#include "core/errors.h"

namespace {

using vexa::ChartMapping;
using C = std::complex<double>;

constexpr ChartMapping kChart{352, 352};

TEST(SmithMapping, PixelsToReflection) {
  struct Case {
    int x, y;
    C gamma;
  } const cases[] = {
      {176, 176, {0, 0}}, {176, 0, {0, 1}},      {176, 352, {0, -1}},     {0, 176, {-1, 0}},
      {352, 176, {1, 0}}, {264, 88, {0.5, 0.5}}, {88, 264, {-0.5, -0.5}}, {-176, 176, {-2, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kChart.PixelToGamma(c.x, c.y), c.gamma) << c.x << "," << c.y;
  }
}

TEST(SmithMapping, InsideTestIsTheIntegerCircleOfRadius176) {
  struct Case {
    int x, y;
    bool inside;
  } const cases[] = {
      {176, 176, true},
      {0, 176, true},
      {-1, 176, false},
      {352, 176, true},
      {353, 176, false},
      {176, 0, true},
      {176, -1, false},
      {176, 352, true},
      {52, 52, true},
      {51, 51, false},
      {300, 300, true},
      {301, 301, false},
      {INT_MIN, INT_MIN, false},
      {INT_MAX, INT_MAX, false},
      {INT_MAX, 176, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kChart.Inside(c.x, c.y), c.inside) << c.x << "," << c.y;
  }
}

TEST(SmithMapping, MarkerCornerTruncatesTowardZero) {
  struct Case {
    C gamma;
    int left, top;
  } const cases[] = {
      {{0, 0}, 174, 174},           {{1.0 / 3, 0}, 232, 174},  // 232.67
      {{-1, 0}, -2, 174},           {{0, 1}, 174, -2},
      {{-1.01, 0}, -3, 174},         // -3.76: toward zero, not down
      {{0, 1.02}, 174, -5},          // -5.52
      {{0.001, -0.0114}, 174, 176},  // 174.18, 176.01
      {{0, 0.0114}, 174, 171},       // 171.99
  };
  for (const Case& c : cases) {
    const ChartMapping::Corner corner = kChart.GammaToMarker(c.gamma);
    EXPECT_EQ(corner.left, c.left) << c.gamma;
    EXPECT_EQ(corner.top, c.top) << c.gamma;
  }
  // Far outside the chart a corner has no int value.
  EXPECT_THROW(kChart.GammaToMarker({1e8, 0}), vexa::FloatError);
  EXPECT_THROW(kChart.GammaToMarker({0, -1e8}), vexa::FloatError);
}

TEST(SmithMapping, ScrollAngleIsTenthsOfADegree) {
  EXPECT_EQ(ChartMapping::ScrollAngle(0), 0.0);
  EXPECT_DOUBLE_EQ(ChartMapping::ScrollAngle(900), std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(ChartMapping::ScrollAngle(1800), std::numbers::pi);
  EXPECT_DOUBLE_EQ(ChartMapping::ScrollAngle(3600), 2 * std::numbers::pi);
  EXPECT_DOUBLE_EQ(ChartMapping::ScrollAngle(1), std::numbers::pi / 1800);
}

TEST(SmithConversion, ImpedanceAndReflectionBothWays) {
  struct Case {
    C z, gamma;
  } const cases[] = {
      {{50, 0}, {0, 0}},        {{0, 50}, {0, 1}},
      {{0, -50}, {0, -1}},      {{0, 0}, {-1, 0}},
      {{100, 0}, {1.0 / 3, 0}}, {{25, 0}, {-1.0 / 3, 0}},
      {{50, 50}, {0.2, 0.4}},   {{10, -30}, {-1.0 / 3, -2.0 / 3}},
      {{-25, 0}, {-3, 0}},
  };
  for (const Case& c : cases) {
    const C gamma = vexa::ImpedanceToGamma(c.z);
    EXPECT_NEAR(gamma.real(), c.gamma.real(), 1e-15) << c.z;
    EXPECT_NEAR(gamma.imag(), c.gamma.imag(), 1e-15) << c.z;
    const C z = vexa::GammaToImpedance(c.gamma);
    EXPECT_NEAR(z.real(), c.z.real(), 1e-12) << c.gamma;
    EXPECT_NEAR(z.imag(), c.z.imag(), 1e-12) << c.gamma;
  }
  // j: 50·(1 + j) / (1 − j) comes out exact.
  EXPECT_EQ(vexa::GammaToImpedance({0, 1}), C(0, 50));
}

TEST(SmithConversion, PolesAreFloatingPointErrors) {
  EXPECT_THROW(vexa::ImpedanceToGamma({-50, 0}), vexa::FloatError);
  EXPECT_THROW(vexa::GammaToImpedance({1, 0}), vexa::FloatError);
  EXPECT_THROW(vexa::GammaToImpedance({1e308, 1e308}), vexa::FloatError);  // overflow
}

TEST(SmithLabels, ImpedanceAndPolarReflectionTexts) {
  EXPECT_EQ(vexa::ImpedanceText({100, 0}), "Red=100\nj(0)");
  EXPECT_EQ(vexa::ImpedanceText({25, -12.5}), "Red=25\nj(-12.5)");
  EXPECT_EQ(vexa::ImpedanceText({-0.5, 1e-5}), "Red=-0.5\nj(1E-5)");
  struct Case {
    C gamma;
    const char* text;
  } const cases[] = {
      {{0, 0}, "Γ=0  "},
      {{-0.0, -0.0}, "Γ=0  "},
      {{-1, 0}, "Γ=1  \n∠180°   "},
      {{0, 1}, "Γ=1  \n∠90°   "},
      {{0, -0.5}, "Γ=0.5  \n∠-90°   "},
      {{1.0 / 3, 0}, "Γ=0.333333333333333  \n∠0°   "},
      {{-0.25, -0.25}, "Γ=0.353553390593274  \n∠-135°   "},
      {{1e-20, 0}, "Γ=1E-20  \n∠0°   "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vexa::ReflectionText(c.gamma), c.text) << c.gamma;
  }
}

// A label's number: the text after '='.
double Value(const std::string& label) {
  return std::stod(label.substr(label.find('=') + 1));
}

struct Labels {
  std::string drawing = "old", r1 = "old", x1 = "old", r2 = "old", x2 = "old";
  vexa::CircuitLabels refs() { return {drawing, r1, x1, r2, x2}; }
};

TEST(SmithCircuits, SeriesAndParallelCircuitsReproduceTheImpedance) {
  const double f = 1.8e9;
  const double omega = 2 * std::numbers::pi * f;
  const C cases[] = {{50, 50}, {10, -30},    {1e-3, 1e3}, {75, -0.5},
                     {200, 1}, {0.1, -1e-4}, {-20, 30}};
  for (const C z : cases) {
    Labels labels;
    vexa::WriteEquivalentCircuits(z, f, labels.refs());
    const bool inductive = z.imag() >= 0;
    EXPECT_EQ(labels.drawing, inductive ? vexa::kInductiveCircuit : vexa::kCapacitiveCircuit);
    EXPECT_EQ(labels.r1.substr(0, 3), "R1=");
    EXPECT_EQ(labels.x1.substr(0, 3), inductive ? "L1=" : "C1=");
    EXPECT_EQ(labels.r2.substr(0, 3), "R2=");
    EXPECT_EQ(labels.x2.substr(0, 3), inductive ? "L2=" : "C2=");
    // Series: R1 + jX1 with X1 = ωL1 (nH) or −1/(ωC1) (pF).
    const double x1 =
        inductive ? omega * Value(labels.x1) * 1e-9 : -1 / (omega * Value(labels.x1) * 1e-12);
    EXPECT_NEAR(Value(labels.r1), z.real(), 1e-12 * std::abs(z)) << z;
    EXPECT_NEAR(x1, z.imag(), 1e-12 * std::abs(z)) << z;
    // Parallel: 1/Z = 1/R2 + 1/(jωL2) or 1/R2 + jωC2.
    const C y2 = inductive ? C(0, -1 / (omega * Value(labels.x2) * 1e-9))
                           : C(0, omega * Value(labels.x2) * 1e-12);
    const C parallel = 1.0 / (1.0 / Value(labels.r2) + y2);
    EXPECT_NEAR(parallel.real(), z.real(), 1e-12 * std::abs(z)) << z;
    EXPECT_NEAR(parallel.imag(), z.imag(), 1e-12 * std::abs(z)) << z;
  }
}

TEST(SmithCircuits, ZeroResistanceOrReactanceShowsInfinity) {
  struct Case {
    C z;
    const char *drawing, *r1, *x1, *r2, *x2;
  } const cases[] = {
      {{100, 0}, vexa::kInductiveCircuit, "R1=100", "L1=0", "R2=100", "L2=INF"},
      {{0, 0}, vexa::kInductiveCircuit, "R1=0", "L1=0", "R2=INF", "L2=INF"},
      {{-50, 0}, vexa::kInductiveCircuit, "R1=-50", "L1=0", "R2=-50", "L2=INF"},
      {{0, 2 * std::numbers::pi}, vexa::kInductiveCircuit, "R1=0", "L1=1", "R2=INF", "L2=1"},
      {{0, -1 / (2 * std::numbers::pi)},
       vexa::kCapacitiveCircuit,
       "R1=0",
       "C1=1000",
       "R2=INF",
       "C2=1000"},
  };
  for (const Case& c : cases) {
    Labels labels;
    vexa::WriteEquivalentCircuits(c.z, 1e9, labels.refs());  // k = 1e-9 / 2π
    EXPECT_EQ(labels.drawing, c.drawing) << c.z;
    EXPECT_EQ(labels.r1, c.r1) << c.z;
    EXPECT_EQ(labels.x1, c.x1) << c.z;
    EXPECT_EQ(labels.r2, c.r2) << c.z;
    EXPECT_EQ(labels.x2, c.x2) << c.z;
  }
}

TEST(SmithCircuits, AFaultKeepsTheTextsWrittenBeforeIt) {
  struct Case {
    C z;
    double f;
    const char* error;
    const char *drawing, *r1, *x1, *r2, *x2;
  } const cases[] = {
      // No frequency: k divides by zero before any text.
      {{50, 50}, 0, vexa::kDivisionByZero, "old", "old", "old", "old", "old"},
      // A pure resistance writes "L2=INF" before its R2, which overflows here.
      {{1e200, 0},
       1e9,
       vexa::kOverflow,
       vexa::kInductiveCircuit,
       "R1=1E200",
       "L1=0",
       "old",
       "L2=INF"},
      {{1e200, -1},
       1e9,
       vexa::kOverflow,
       vexa::kCapacitiveCircuit,
       "R1=1E200",
       "C1=159.154943091895",
       "old",
       "old"},
      // X² underflows to zero: C2's division has no divisor.
      {{0, -1e-200},
       1e9,
       vexa::kDivisionByZero,
       vexa::kCapacitiveCircuit,
       "R1=0",
       "C1=1.59154943091895E202",
       "R2=INF",
       "old"},
  };
  for (const Case& c : cases) {
    Labels labels;
    try {
      vexa::WriteEquivalentCircuits(c.z, c.f, labels.refs());
      ADD_FAILURE() << "no error for " << c.z;
    } catch (const vexa::FloatError& error) {
      EXPECT_STREQ(error.what(), c.error) << c.z;
    }
    EXPECT_EQ(labels.drawing, c.drawing) << c.z;
    EXPECT_EQ(labels.r1, c.r1) << c.z;
    EXPECT_EQ(labels.x1, c.x1) << c.z;
    EXPECT_EQ(labels.r2, c.r2) << c.z;
    EXPECT_EQ(labels.x2, c.x2) << c.z;
  }
}

}  // namespace
