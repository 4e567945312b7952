#include "design/pll.h"

#include <cmath>
#include <numbers>

#include "core/checked_math.h"
#include "core/errors.h"

namespace vexa {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kCrossoverTolerance = 0.0002;  // of N
constexpr double kStepUp = 1.5;
constexpr double kStepDown = 0.5;
constexpr double kTransientStepFraction = 0.0005;  // of π/ωn/ζ
constexpr double kTransientSpanFactor = 2.5;       // of π/ωn/ζ
constexpr double kE = 2.718281828459045;

bool IsFinite(Complex z) {
  return std::isfinite(z.real()) && std::isfinite(z.imag());
}

}  // namespace

double EffectiveC4(const LoopFilterDesign& design) {
  return design.c4 + design.vcocap;
}

LoopFilterCoefficients LoopCoefficients(const LoopFilterDesign& d) {
  const double c1 = d.c1;
  const double c2 = d.c2;
  const double c3 = d.c3;
  const double c4 = EffectiveC4(d);
  LoopFilterCoefficients a;
  a.a0 = Checked(c1 + c2 + c3 + c4);
  a.a1 = Checked(c2 * d.r2 * (c1 + c3 + c4) + (c1 + c2) * d.r3 * (c3 + c4) +
                 c4 * d.r4 * (c1 + c2 + c3));
  a.a2 = Checked(c1 * c2 * d.r2 * d.r3 * (c3 + c4) +
                 c4 * d.r4 * (c2 * c3 * d.r3 + c1 * c3 * d.r3 + c1 * c2 * d.r2));
  a.a3 = Checked(c1 * c2 * c3 * c4 * d.r2 * d.r3 * d.r4);
  return a;
}

Complex FilterImpedance(Complex s, const LoopFilterDesign& design,
                        const LoopFilterCoefficients& a) {
  // The terms are formed and summed in this order so that the rounding is always the same.
  const Complex a1s = a.a1 * s;
  const Complex a2s2 = a.a2 * s * s;
  const Complex a3s3 = a.a3 * s * s * s;
  Complex denominator = (a3s3 + a2s2) + a1s;
  denominator += a.a0;
  denominator *= s;
  const Complex numerator = 1.0 + (s * design.c2) * design.r2;
  if (denominator == Complex(0.0, 0.0))
    throw FloatError(kDivisionByZero);
  return numerator / denominator;
}

Complex OpenLoopGain(double f, const LoopFilterDesign& design, const LoopFilterCoefficients& a) {
  const Complex s(0.0, kTwoPi * f);
  return FilterImpedance(s, design, a) * (design.kphi * design.kvco) / s;
}

Crossover FindCrossover(double n, double start, const LoopFilterDesign& design,
                        const LoopFilterCoefficients& a, std::int64_t max_steps) {
  Crossover result;
  result.fc = start;
  const double tolerance = kCrossoverTolerance * n;
  for (;;) {
    // A frequency of 0 (halved away) or infinity (multiplied away) has no gain to compare.
    if (!(result.fc > 0.0 && std::isfinite(result.fc))) {
      result.status = CrossoverStatus::kNotFinite;
      return result;
    }
    result.g = OpenLoopGain(result.fc, design, a);
    if (!IsFinite(result.g)) {
      result.status = CrossoverStatus::kNotFinite;
      return result;
    }
    const double magnitude = std::abs(result.g);
    if (std::fabs(magnitude - n) < tolerance) {
      result.status = CrossoverStatus::kFound;
      return result;
    }
    if (result.steps >= max_steps) {
      result.status = CrossoverStatus::kStepLimit;
      return result;
    }
    result.fc *= magnitude >= n ? kStepUp : kStepDown;
    ++result.steps;
  }
}

double PhaseMargin(Complex g) {
  return std::arg(g) * 0.5 * (1.0 / kPi) * 360.0 + 180.0;
}

double GammaFactor(double fc, const LoopFilterDesign& design, const LoopFilterCoefficients& a) {
  const double w = kTwoPi * fc;
  return Divide(w * w * design.c2 * design.r2 * a.a1, a.a0);
}

double NaturalFrequency(const LoopFilterDesign& design, const LoopFilterCoefficients& a) {
  return std::sqrt(design.kphi * design.kvco / ((design.f2 / design.fcomp) * a.a0));
}

double Damping(const LoopFilterDesign& design, double wn) {
  return (design.c2 * design.r2) * 0.5 * wn;
}

LockTransientCurves LockTransient(double f1, double f2, double wn, double zeta, double t2) {
  LockTransientCurves curves;
  if (!(wn > 0.0 && std::isfinite(wn) && zeta > 0.0 && zeta < 1.0))
    return curves;
  const double period = kPi / wn / zeta;
  const double step = period * kTransientStepFraction;
  const double end = period * kTransientSpanFactor;
  if (!(std::isfinite(end) && step > 0.0))
    return curves;

  const double root = std::sqrt(1.0 - zeta * zeta);
  const double wd = root * wn;
  const double ringing = zeta - t2 * wn;
  const double jump = f1 - f2;
  curves.response.reserve(kMaxTransientPoints);
  curves.upper.reserve(kMaxTransientPoints);
  curves.lower.reserve(kMaxTransientPoints);
  double t = 0.0;
  while (end >= t && curves.response.size() < kMaxTransientPoints) {
    const double decay = std::pow(kE, -zeta * wn * t);
    const double response =
        (std::sin(wd * t) * ringing / root + std::cos(wd * t)) * decay * jump + f2;
    curves.response.push_back({t, response});
    curves.upper.push_back({t, f2 + decay * jump});
    curves.lower.push_back({t, f2 - decay * jump});
    const double next = t + step;
    if (!(next > t))
      break;
    t = next;
  }
  return curves;
}

}  // namespace vexa
