#include "matching/matching.h"

#include <array>
#include <cmath>
#include <limits>

#include "core/checked_math.h"
#include "core/errors.h"

namespace vexa {
namespace {

ReactiveElement Inductance(double nh) {
  return {nh, "nH"};
}

ReactiveElement Capacitance(double pf) {
  return {pf, "pF"};
}

// The generator's parallel equivalent Rp ∥ jXp.
struct ParallelPort {
  double rp;
  double xp;
};

ParallelPort ParallelEquivalent(double g, double x1) {
  if (x1 == 0.0)
    x1 = kZeroReactanceSubstitute;
  const double magnitude = Checked(g * g + x1 * x1);
  return {Divide(magnitude, g), Divide(magnitude, x1)};
}

// The series element that, together with the load reactance x2, supplies the reactance s.
ReactiveElement SeriesElement(double s, double x2, double omega) {
  if (s >= x2)
    return Inductance(Checked(Divide(s - x2, omega) * 1e9));
  return Capacitance(Checked(Divide(Divide(1.0, x2 - s), omega) * 1e12));
}

// Both elements for a generator whose parallel resistance exceeds the load's: the shunt
// element turns Xp into the required reactance, the series element absorbs x2.
LNetworkElements DesignAboveLoad(const ParallelPort& port, double d, double x2, double omega,
                                 LNetworkTopology topology) {
  const double rp = port.rp;
  const double xp = port.xp;
  LNetworkElements elements;
  if (topology == LNetworkTopology::kLC) {
    const double t = Checked(Sqrt(Divide(d, rp - d)) * rp);
    if (Checked((xp - t) * xp) >= 0.0) {
      elements.shunt = Inductance(Checked(Divide(Divide(Checked(xp * t), xp - t), omega) * 1e9));
    } else {
      elements.shunt = Capacitance(Checked(Divide(Divide(Divide(t - xp, xp), t), omega) * 1e12));
    }
    elements.series = SeriesElement(-Sqrt(Checked((rp - d) * d)), x2, omega);
  } else {
    const double t = Divide(-rp, Sqrt(Divide(rp - d, d)));
    if (Checked((xp - t) * xp) > 0.0) {
      elements.shunt = Capacitance(Checked(Divide(Divide(Divide(t - xp, xp), t), omega) * 1e12));
    } else {
      elements.shunt = Inductance(Checked(Divide(Divide(Checked(xp * t), xp - t), omega) * 1e9));
    }
    elements.series = SeriesElement(Sqrt(Checked((rp - d) * d)), x2, omega);
  }
  return elements;
}

// Cancels a reactance x with an element of reactance −x.
ReactiveElement Cancelling(double x, double omega) {
  if (x > 0.0)
    return Capacitance(Checked(Divide(Divide(1.0, x), omega) * 1e12));
  return Inductance(Checked(Divide(-x, omega) * 1e9));
}

Complex CheckedComplex(Complex z) {
  return {Checked(z.real()), Checked(z.imag())};
}

Complex Parallel(Complex a, Complex b) {
  return ComplexDivide(CheckedComplex(a * b), CheckedComplex(a + b));
}

// A pad's port resistances and resistors as the formulas use them: resistances for Pi,
// conductances for T, each in single precision.
struct PadValues {
  float n, o, r1, r2, r3;
};

PadValues PadWorkingValues(PadType type, double rn, double ro, const PadResistors& r) {
  if (type == PadType::kPi)
    return {Store(rn), Store(ro), Store(r.r1), Store(r.r2), Store(r.r3)};
  return {Store(Divide(1.0, rn)), Store(Divide(1.0, ro)), Store(Divide(1.0, r.r1)),
          Store(Divide(1.0, r.r2)), Store(Divide(1.0, r.r3))};
}

}  // namespace

float Store(double x) {
  const float stored = static_cast<float>(Checked(x));
  if (std::isinf(stored))
    throw FloatError(kOverflow);
  return stored;
}

const char* const kPadAttenuationMessage = "A should great than 0 dB";
const char* const kPiPadMessage =
    "(A+1.0)*sqrt(Ro)/(2.0*sqrt(A)) should great than sqrt(Rn) and\n"
    "(A+1.0)*sqrt(Rn)/(2.0*sqrt(A)) should great than sqrt(Ro)";
const char* const kTPadMessage =
    "(A+1.0)*sqrt(Yo)/(2.0*sqrt(A)) should great than sqrt(Yn) and\n"
    "(A+1.0)*sqrt(Yn)/(2.0*sqrt(A)) should great than sqrt(Yo)";

double AngularFrequency(double mhz) {
  return Checked(mhz * 6.283185307179586 * 1000000.0);
}

LNetworkElements MatchLNetwork(const MatchInputs& inputs, LNetworkTopology topology,
                               const std::function<void(const MatchInputs&)>& exchange) {
  const double omega = AngularFrequency(inputs.f);
  const ParallelPort port = ParallelEquivalent(inputs.g, inputs.x1);
  if (port.rp > inputs.d)
    return DesignAboveLoad(port, inputs.d, inputs.x2, omega, topology);
  if (port.rp == inputs.d)
    return {Cancelling(port.xp, omega), Cancelling(inputs.x2, omega)};

  // The model only steps a higher parallel resistance down: match from the other side. The
  // exchanged ports carry the reactances as entered (a 0 stays 0).
  const MatchInputs swapped{inputs.d, inputs.x2, inputs.g, inputs.x1, inputs.f};
  exchange(swapped);
  return DesignAboveLoad(ParallelEquivalent(swapped.g, swapped.x1), swapped.d, swapped.x2, omega,
                         topology);
}

Complex ComplexDivide(Complex a, Complex b) {
  // Smith's method: scale by the larger part of the divisor, so that no intermediate
  // overflows where the quotient would not.
  if (std::fabs(b.real()) >= std::fabs(b.imag())) {
    const double r = Divide(b.imag(), b.real());
    const double den = Checked(b.real() + b.imag() * r);
    return {Divide(Checked(a.real() + a.imag() * r), den),
            Divide(Checked(a.imag() - a.real() * r), den)};
  }
  const double r = Divide(b.real(), b.imag());
  const double den = Checked(b.imag() + b.real() * r);
  return {Divide(Checked(a.real() * r + a.imag()), den),
          Divide(Checked(a.imag() * r - a.real()), den)};
}

Complex ElementImpedance(double value, const std::string& unit, double omega) {
  if (unit == "nH")
    return {0.0, Checked(value * omega * 1e-9)};
  return {0.0, Divide(-1.0, value * omega * 1e-12)};
}

Complex NetworkOutputImpedance(Complex zg, Complex zsh, Complex zse) {
  return CheckedComplex(Parallel(zg, zsh) + zse);
}

Complex NetworkInputImpedance(Complex zd, Complex zsh, Complex zse) {
  return Parallel(CheckedComplex(zd + zse), zsh);
}

Mismatch NetworkMismatch(Complex zg, Complex zd, Complex zsh, Complex zse) {
  const double g = zg.real();
  const double d = zd.real();
  Mismatch result;
  const Complex zout = NetworkOutputImpedance(zg, zsh, zse) + Complex(0.0, zd.imag());
  result.gamma2 = Checked(std::abs(ComplexDivide(d - zout, d + zout)));
  const Complex zin = NetworkInputImpedance(zd, zsh, zse) + Complex(0.0, zg.imag());
  result.gamma1 = Checked(std::abs(ComplexDivide(zin - g, zin + g)));
  result.s21 = Sqrt(1.0 - result.gamma1 * result.gamma1);
  return result;
}

PadDesign DesignPad(PadType type, double att_db, double rn, double ro) {
  const float adb = Store(att_db);
  if (!(adb > 0.0f))
    return {kPadAttenuationMessage, {}};
  const float a_ratio = Store(Power(10.0, 0.1 * adb));
  // Pi works on the resistances, T on the conductances with the same formulas.
  const float a = type == PadType::kPi ? Store(rn) : Store(Divide(1.0, rn));
  const float b = type == PadType::kPi ? Store(ro) : Store(Divide(1.0, ro));
  const double ratio = a_ratio;
  const double root_ratio = Sqrt(ratio);
  if (!(Divide((ratio + 1.0) * Sqrt(b), 2.0 * root_ratio) > Sqrt(a)) ||
      !(Divide((ratio + 1.0) * Sqrt(a), 2.0 * root_ratio) > Sqrt(b))) {
    return {type == PadType::kPi ? kPiPadMessage : kTPadMessage, {}};
  }
  const double ab = static_cast<double>(b) * a;
  const float m = Store(Divide((ratio - 1.0) * b * a, 2.0 * Sqrt(ratio * b * a)));
  const float p =
      Store(Divide(2.0 * root_ratio * a * m, (ratio + 1.0) * Sqrt(ab) - 2.0 * root_ratio * a));
  const float q =
      Store(Divide(2.0 * root_ratio * b * m, (ratio + 1.0) * Sqrt(ab) - 2.0 * root_ratio * b));
  PadDesign design;
  if (type == PadType::kPi) {
    design.resistors = {p, m, q};
  } else {
    design.resistors = {Divide(1.0, p), Divide(1.0, m), Divide(1.0, q)};
  }
  return design;
}

double PadAttenuation(PadType type, double rn, double ro, const PadResistors& resistors) {
  const PadValues v = PadWorkingValues(type, rn, ro, resistors);
  if (type == PadType::kPi) {
    // Input power against the power reaching Ro, for a given port-1 voltage.
    const double sum3 = static_cast<double>(v.o) + v.r3;
    const float p = Store(Divide(static_cast<double>(v.o) * v.r3, sum3));
    const double series = static_cast<double>(p) + v.r2;
    const float yin = Store(Divide(1.0, series) + Divide(1.0, v.r1));
    const double power_ratio = Divide(Checked(yin * (sum3 * sum3) * (series * series)),
                                      static_cast<double>(v.o) * v.r3 * v.r3);
    return Store(10.0 * Log10(power_ratio));
  }
  const float s = Store(static_cast<double>(v.r3) * v.o + static_cast<double>(v.r2) * v.r3 +
                        static_cast<double>(v.r2) * v.o);
  const double power_ratio =
      Divide(static_cast<double>(s) * s, static_cast<double>(v.r3) * v.r3 * v.n * v.o);
  return Store(10.0 * Log10(power_ratio));
}

double PadReflection(PadType type, double rn, double ro, const PadResistors& resistors) {
  const PadValues v = PadWorkingValues(type, rn, ro, resistors);
  // Pi on resistances, T on conductances: the same ladder, port 2 through R3 and R2, then R1.
  const float q =
      Store(Divide(static_cast<double>(v.r3) * v.o, static_cast<double>(v.r3) + v.o) + v.r2);
  const float in = Store(Divide(static_cast<double>(v.r1) * q, static_cast<double>(v.r1) + q));
  return Store(std::fabs(Divide(static_cast<double>(v.n) - in, static_cast<double>(v.n) + in)));
}

PadAnalysis AnalysePad(PadType type, double rn, double ro, const PadResistors& resistors) {
  PadAnalysis analysis;
  analysis.att_db = PadAttenuation(type, rn, ro, resistors);
  analysis.gamma = PadReflection(type, rn, ro, resistors);
  return analysis;
}

double NearestE24(double value) {
  if (!(value > 0.0) || !std::isfinite(value))
    return 0.0;
  // Mantissas times ten, so that the result is an exact integer scaled by a power of ten.
  static constexpr std::array<int, 25> kE24 = {10, 11, 12, 13, 15, 16, 18, 20, 22, 24, 27, 30, 33,
                                               36, 39, 43, 47, 51, 56, 62, 68, 75, 82, 91, 100};
  const int decade = static_cast<int>(std::floor(std::log10(value)));
  const double log_value = std::log10(value) - decade;  // in [0, 1)
  int best = kE24[0];
  double best_distance = std::numeric_limits<double>::infinity();
  for (int candidate : kE24) {
    const double distance = std::fabs(std::log10(candidate / 10.0) - log_value);
    if (distance < best_distance) {
      best_distance = distance;
      best = candidate;
    }
  }
  // best · 10^(decade − 1), scaled by an exact power of ten.
  const int shift = decade - 1;
  if (shift >= 0)
    return best * std::pow(10.0, shift);
  return best / std::pow(10.0, -shift);
}

}  // namespace vexa
