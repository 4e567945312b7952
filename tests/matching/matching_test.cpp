// The L network, pad and E24 computations, checked against an independent circuit analysis
// rather than against the design formulas.
#include "matching/matching.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <optional>
#include <string>

#include "core/errors.h"

namespace vexa {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The reactance of a designed element at f MHz, from its physical value.
double Reactance(const ReactiveElement& element, double mhz) {
  const double omega = 2 * kPi * mhz * 1e6;
  if (element.unit == "nH")
    return omega * element.value * 1e-9;
  EXPECT_EQ(element.unit, "pF");
  return -1.0 / (omega * element.value * 1e-12);
}

// The generator Zg drives the shunt element (across port 1) and, through the series element,
// the load Zd. The network matches when what the generator sees is conj(Zg): the power-wave
// reflection at port 1 is then zero.
double Port1Reflection(const MatchInputs& ports, const LNetworkElements& elements) {
  using C = std::complex<double>;
  const C zg(ports.g, ports.x1);
  const C zd(ports.d, ports.x2);
  const C shunt(0, Reactance(elements.shunt, ports.f));
  const C branch = zd + C(0, Reactance(elements.series, ports.f));
  // A near-open shunt (reactance beyond any double) leaves the branch alone.
  const C seen = std::isinf(shunt.imag()) ? branch : 1.0 / (1.0 / branch + 1.0 / shunt);
  return std::abs((seen - std::conj(zg)) / (seen + zg));
}

struct DesignCase {
  const char* name;
  MatchInputs ports;
  const char* shunt_unit;
  const char* series_unit;
  bool exchanged;
  double shunt_value = 0;  // worked value to 5 digits, 0 when none
  double series_value = 0;
};

void CheckDesigns(LNetworkTopology topology, const DesignCase* begin, const DesignCase* end) {
  for (const DesignCase* c = begin; c != end; ++c) {
    SCOPED_TRACE(c->name);
    std::optional<MatchInputs> exchanged;
    const LNetworkElements elements =
        MatchLNetwork(c->ports, topology, [&](const MatchInputs& ports) {
          EXPECT_FALSE(exchanged.has_value()) << "exchanged twice";
          exchanged = ports;
        });
    EXPECT_EQ(elements.shunt.unit, c->shunt_unit);
    EXPECT_EQ(elements.series.unit, c->series_unit);
    ASSERT_EQ(exchanged.has_value(), c->exchanged);
    MatchInputs ports = c->ports;
    if (exchanged) {
      // The ports change places, reactances as entered.
      EXPECT_EQ(exchanged->g, c->ports.d);
      EXPECT_EQ(exchanged->x1, c->ports.x2);
      EXPECT_EQ(exchanged->d, c->ports.g);
      EXPECT_EQ(exchanged->x2, c->ports.x1);
      EXPECT_EQ(exchanged->f, c->ports.f);
      ports = *exchanged;
    }
    EXPECT_LT(Port1Reflection(ports, elements), 1e-9);
    if (c->shunt_value != 0) {
      EXPECT_NEAR(elements.shunt.value, c->shunt_value, c->shunt_value * 1e-4);
      EXPECT_NEAR(elements.series.value, c->series_value, c->series_value * 1e-4);
    }
  }
}

// Cases shared by both topologies: where the parallel resistance equals the load's, the
// topology does not change the design.
const DesignCase kEqualParallelResistance[] = {
    {"Rp = d, no reactances: open shunt, 0 nH series", {60, 0, 60, 0, 1800}, "pF", "nH", false},
    {"Rp = d, inductive generator and load", {50, 50, 100, 20, 900}, "pF", "pF", false},
    {"Rp = d, capacitive generator and load", {50, -50, 100, -20, 900}, "nH", "nH", false},
};

TEST(MatchLNetwork, LcDesignsMatch) {
  const DesignCase cases[] = {
      {"defaults (worked values)", {75, 0, 60, 0, 1800}, "nH", "pF", false, 13.263, 2.9473},
      {"load reactance above S: series inductance", {75, 0, 60, -100, 1800}, "nH", "nH", false},
      {"series tie S = x2: 0 nH", {75, 0, 60, -30, 1800}, "nH", "nH", false},
      {"0 < Xp < T: shunt capacitance", {10, 30, 90, 0, 900}, "pF", "pF", false},
      {"capacitive generator", {10, -30, 90, 15, 900}, "nH", "pF", false},
      {"50 to 75 ohms: exchange", {50, 0, 75, 0, 1800}, "nH", "pF", true},
      {"exchange with reactances", {20, 10, 50, -40, 450}, "nH", "pF", true},
      {"X1 raises Rp above d: no exchange", {50, 50, 75, 0, 1800}, "pF", "pF", false},
  };
  CheckDesigns(LNetworkTopology::kLC, std::begin(cases), std::end(cases));
  CheckDesigns(LNetworkTopology::kLC, std::begin(kEqualParallelResistance),
               std::end(kEqualParallelResistance));
}

TEST(MatchLNetwork, ClDesignsMatch) {
  const DesignCase cases[] = {
      {"defaults (worked values)", {75, 0, 60, 0, 1800}, "pF", "nH", false, 0.58946, 2.6526},
      {"load reactance above S': series capacitance", {75, 0, 60, 100, 1800}, "pF", "pF", false},
      {"series tie S' = x2: 0 nH", {75, 0, 60, 30, 1800}, "pF", "nH", false},
      {"T' < Xp < 0: shunt inductance", {10, -30, 90, 0, 900}, "nH", "nH", false},
      {"inductive generator", {10, 30, 90, -15, 900}, "pF", "nH", false},
      {"50 to 75 ohms: exchange", {50, 0, 75, 0, 1800}, "pF", "nH", true},
      {"exchange with reactances", {20, 10, 50, -40, 450}, "pF", "nH", true},
      {"X1 raises Rp above d: no exchange", {50, 50, 75, 0, 1800}, "pF", "nH", false},
  };
  CheckDesigns(LNetworkTopology::kCL, std::begin(cases), std::end(cases));
  CheckDesigns(LNetworkTopology::kCL, std::begin(kEqualParallelResistance),
               std::end(kEqualParallelResistance));
}

TEST(MatchLNetwork, TiesAndTheZeroReactanceSubstitute) {
  const auto no_exchange = [](const MatchInputs&) { FAIL() << "unexpected exchange"; };
  // Equal real ports: the shunt cancels Xp = g²/1.5E-45, the series is exactly 0 nH.
  const LNetworkElements equal =
      MatchLNetwork({60, 0, 60, 0, 1800}, LNetworkTopology::kLC, no_exchange);
  EXPECT_EQ(equal.series.value, 0.0);
  EXPECT_NEAR(equal.shunt.value, 1e12 * 1.5e-45 / (3600 * 2 * kPi * 1800e6), 1e-58);
  // The series reactance equal to x2 gives an inductance of exactly 0.
  EXPECT_EQ(MatchLNetwork({75, 0, 60, -30, 1800}, LNetworkTopology::kLC, no_exchange).series.value,
            0.0);
}

TEST(MatchLNetwork, ArithmeticFaultsEndTheDesign) {
  const auto run = [](MatchInputs ports, LNetworkTopology topology) {
    try {
      MatchLNetwork(ports, topology, [](const MatchInputs&) {});
    } catch (const FloatError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  const std::string zero = kDivisionByZero;
  const std::string invalid = kInvalidOperation;
  EXPECT_EQ(run({75, 0, 60, 0, 0}, LNetworkTopology::kLC), zero);
  EXPECT_EQ(run({75, 0, 60, 0, 0}, LNetworkTopology::kCL), zero);
  EXPECT_EQ(run({0, 0, 60, 0, 1800}, LNetworkTopology::kLC), zero);
  EXPECT_EQ(run({75, 0, -5, 0, 1800}, LNetworkTopology::kLC), invalid);
  EXPECT_EQ(run({75, 0, -5, 0, 1800}, LNetworkTopology::kCL), invalid);
  // Rg 80, X1 40: Rp 100 and Xp 200; Rd 80 needs a shunt of exactly 200 in parallel with Xp.
  EXPECT_EQ(run({80, 40, 80, 0, 1800}, LNetworkTopology::kLC), zero);
}

TEST(NetworkMismatch, ReflectionsOfDesignedAndDetunedNetworks) {
  const MatchInputs ports{75, 10, 60, -20, 1800};
  const LNetworkElements elements =
      MatchLNetwork(ports, LNetworkTopology::kLC, [](const MatchInputs&) {});
  const double omega = AngularFrequency(ports.f);
  const Complex zg(ports.g, ports.x1), zd(ports.d, ports.x2);
  const Complex zsh = ElementImpedance(elements.shunt.value, elements.shunt.unit, omega);
  const Complex zse = ElementImpedance(elements.series.value, elements.series.unit, omega);
  const Mismatch matched = NetworkMismatch(zg, zd, zsh, zse);
  EXPECT_LT(matched.gamma1, 1e-12);
  EXPECT_LT(matched.gamma2, 1e-12);
  EXPECT_DOUBLE_EQ(matched.s21, 1.0);

  // Doubling the series capacitance: both ports see the same mismatch in a lossless network,
  // and |S21|² + |Γ1|² = 1.
  const Complex detuned = ElementImpedance(2 * elements.series.value, "pF", omega);
  const Mismatch off = NetworkMismatch(zg, zd, zsh, detuned);
  using C = std::complex<double>;
  const C seen = 1.0 / (1.0 / (zd + detuned) + 1.0 / zsh);
  EXPECT_NEAR(off.gamma1, std::abs((seen - std::conj(zg)) / (seen + zg)), 1e-12);
  EXPECT_NEAR(off.gamma2, off.gamma1, 1e-12);
  EXPECT_NEAR(off.s21 * off.s21 + off.gamma1 * off.gamma1, 1.0, 1e-12);

  // Negative resistances reflect more than they receive: no transmission to take a root of.
  EXPECT_THROW(NetworkMismatch({-50, 0}, {60, 0}, zsh, zse), FloatError);
  // A capacitance of 0 pF has no finite impedance.
  EXPECT_THROW(ElementImpedance(0, "pF", omega), FloatError);
}

TEST(ComplexDivide, ScaledQuotientAndZeroDivisor) {
  const Complex q = ComplexDivide({1e300, 1e300}, {1e300, -1e300});
  EXPECT_NEAR(q.real(), 0.0, 1e-15);
  EXPECT_NEAR(q.imag(), 1.0, 1e-15);
  const Complex r = ComplexDivide({3, 4}, {1e-3, 2});
  EXPECT_NEAR(std::abs(r - Complex(3, 4) / Complex(1e-3, 2)), 0.0, 1e-12);
  EXPECT_THROW(ComplexDivide({1, 0}, {0, 0}), FloatError);
}

// ---- pads ----

bool IsSingle(double value) {
  return static_cast<double>(static_cast<float>(value)) == value;
}

TEST(Pads, WorkedValuesRoundTripInSinglePrecision) {
  struct Case {
    PadType type;
    double r1, r2;  // worked values; R3 = R1
  };
  for (const Case& c : {Case{PadType::kPi, 53.266, 789.78}, Case{PadType::kT, 46.935, 3.1654}}) {
    SCOPED_TRACE(c.type == PadType::kPi ? "Pi" : "T");
    const PadDesign design = DesignPad(c.type, 30, 50, 50);
    ASSERT_EQ(design.message, "");
    const PadResistors& r = design.resistors;
    EXPECT_NEAR(r.r1, c.r1, c.r1 * 2e-5);
    EXPECT_NEAR(r.r2, c.r2, c.r2 * 2e-5);
    EXPECT_EQ(r.r1, r.r3);
    if (c.type == PadType::kPi) {
      // Resistances are single-precision values, the nearest to the exact ones.
      EXPECT_TRUE(IsSingle(r.r1) && IsSingle(r.r2));
      EXPECT_EQ(r.r2, static_cast<float>(50.0 * 999.0 / (2 * std::sqrt(1000.0))));
    } else {
      // Conductances are single-precision values; the resistances are their exact reciprocals.
      EXPECT_TRUE(IsSingle(1 / r.r1) || IsSingle(std::nextafter(1 / r.r1, 0.0)) ||
                  IsSingle(std::nextafter(1 / r.r1, 1.0)));
      EXPECT_FALSE(IsSingle(r.r2));
    }
    const PadAnalysis analysis = AnalysePad(c.type, 50, 50, r);
    EXPECT_TRUE(IsSingle(analysis.att_db));
    EXPECT_NEAR(analysis.att_db, 30.0, 1e-5);
    EXPECT_LT(analysis.gamma, 1e-6);
  }
}

TEST(Pads, UnequalPortsRefusalsAndFaults) {
  // 10 dB between 50 and 75 ohms: an asymmetric pad, matched at port 1, 10 dB through.
  for (PadType type : {PadType::kPi, PadType::kT}) {
    const PadDesign design = DesignPad(type, 10, 50, 75);
    ASSERT_EQ(design.message, "");
    EXPECT_NE(design.resistors.r1, design.resistors.r3);
    const PadAnalysis analysis = AnalysePad(type, 50, 75, design.resistors);
    EXPECT_NEAR(analysis.att_db, 10.0, 1e-4);
    EXPECT_LT(analysis.gamma, 1e-5);
  }
  EXPECT_EQ(DesignPad(PadType::kPi, 0, 50, 50).message, kPadAttenuationMessage);
  EXPECT_EQ(DesignPad(PadType::kT, -3, 50, 50).message, kPadAttenuationMessage);
  EXPECT_EQ(DesignPad(PadType::kPi, 3, 50, 150).message, kPiPadMessage);
  EXPECT_EQ(DesignPad(PadType::kT, 3, 50, 150).message, kTPadMessage);
  // A zero resistor in the T form has no conductance.
  EXPECT_THROW(AnalysePad(PadType::kT, 50, 50, {10, 0, 10}), FloatError);
  // A zero total in a parallel combination.
  EXPECT_THROW(AnalysePad(PadType::kPi, 50, -50, {50, 10, 50}), FloatError);
}

TEST(NearestE24, SnapsByRatioAcrossDecades) {
  const std::pair<double, double> cases[] = {
      {13.2629, 13},    {2.9473, 3},       {0.58946, 0.62}, {9.6, 10},  {4.45, 4.3}, {47000, 47000},
      {0.0061, 0.0062}, {1.02e-45, 1e-45}, {91, 91},        {95.3, 91}, {95.5, 100},
  };
  for (const auto& [value, expected] : cases)
    EXPECT_DOUBLE_EQ(NearestE24(value), expected) << value;
  EXPECT_EQ(NearestE24(0), 0);
  EXPECT_EQ(NearestE24(-3), 0);
}

}  // namespace
}  // namespace vexa
