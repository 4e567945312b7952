#include "matching/smith.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numbers>

#include "core/checked_math.h"
#include "core/errors.h"
#include "core/number_text.h"
#include "matching/matching.h"

namespace vexa {
namespace {

Complex CheckedParts(Complex z) {
  return {Checked(z.real()), Checked(z.imag())};
}

// |d|² of an int difference held in 64 bits; at most (2^32)², so two of them still fit in an
// unsigned 64-bit sum.
std::uint64_t Square(std::int64_t d) {
  const auto magnitude = static_cast<std::uint64_t>(d < 0 ? -d : d);
  return magnitude * magnitude;
}

}  // namespace

std::complex<double> ChartMapping::PixelToGamma(int x, int y) const {
  const double re = static_cast<double>(static_cast<std::int64_t>(x) - cx()) / width * 2;
  const double im = static_cast<double>(cy() - static_cast<std::int64_t>(y)) / height * 2;
  return {re, im};
}

bool ChartMapping::Inside(int x, int y) const {
  const std::uint64_t distance =
      Square(static_cast<std::int64_t>(x) - cx()) + Square(static_cast<std::int64_t>(y) - cy());
  const auto limit = static_cast<std::uint64_t>(static_cast<std::int64_t>(cx()) * height / 2);
  return distance <= limit;
}

ChartMapping::Corner ChartMapping::GammaToMarker(std::complex<double> gamma) const {
  const int left = TruncateToInt(gamma.real() * cx() - 2 + cx());
  const int top = TruncateToInt(-2 - gamma.imag() * cy() + cy());
  return {left, top};
}

double ChartMapping::ScrollAngle(int position) {
  return (2.0 * position) * std::numbers::pi * (1.0 / 3600);
}

int TruncateToInt(double value) {
  const double truncated = std::trunc(Checked(value));
  if (truncated < std::numeric_limits<int>::min() || truncated > std::numeric_limits<int>::max())
    throw FloatError(kInvalidOperation);
  return static_cast<int>(truncated);
}

std::complex<double> GammaToImpedance(std::complex<double> gamma) {
  const Complex numerator = CheckedParts(kReferenceImpedance * (1.0 + gamma));
  return ComplexDivide(numerator, CheckedParts(1.0 - gamma));
}

std::complex<double> ImpedanceToGamma(std::complex<double> impedance) {
  return ComplexDivide(CheckedParts(impedance - kReferenceImpedance),
                       CheckedParts(impedance + kReferenceImpedance));
}

std::string ImpedanceText(std::complex<double> impedance) {
  return "Red=" + FormatNumber(impedance.real()) + "\nj(" + FormatNumber(impedance.imag()) + ")";
}

std::string ReflectionText(std::complex<double> gamma) {
  if (gamma.real() == 0.0 && gamma.imag() == 0.0)
    return "Γ=0  ";
  const double magnitude = Checked(std::abs(gamma));
  const double degrees =
      std::atan2(gamma.imag(), gamma.real()) * 0.5 * (1.0 / std::numbers::pi) * 360;
  return "Γ=" + FormatNumber(magnitude) + "  \n∠" + FormatNumber(degrees) + "°   ";
}

const char* const kInductiveCircuit =
    "___L1___      ________\n"
    "        |         |   |\n"
    "        R1        L2  R2\n"
    "________|     ____|___|";
const char* const kCapacitiveCircuit =
    "___C1___      ________\n"
    "        |         |   |\n"
    "        R1        C2  R2\n"
    "________|     ____|___|";

void WriteEquivalentCircuits(std::complex<double> impedance, double frequency_hz,
                             const CircuitLabels& labels) {
  const double r = impedance.real();
  const double x = impedance.imag();
  const double k = Divide(0.5 * (1.0 / std::numbers::pi), frequency_hz);
  // R2 = (R² + X²) / R; a pure reactance has no parallel resistance.
  const auto parallel_resistance = [&] {
    return r == 0.0 ? std::string("R2=INF")
                    : "R2=" + FormatNumber(Divide(Checked(r * r + x * x), r));
  };
  if (x >= 0.0) {
    labels.drawing = kInductiveCircuit;
    labels.r1 = "R1=" + FormatNumber(r);
    labels.x1 = "L1=" + FormatNumber(Checked(x * 1e9 * k));
    if (x != 0.0) {
      labels.r2 = parallel_resistance();
      labels.x2 = "L2=" + FormatNumber(Checked(Divide(Checked(r * r + x * x), x) * 1e9 * k));
    } else {
      labels.x2 = "L2=INF";
      labels.r2 = parallel_resistance();
    }
    return;
  }
  labels.drawing = kCapacitiveCircuit;
  labels.r1 = "R1=" + FormatNumber(r);
  labels.x1 = "C1=" + FormatNumber(Checked(Divide(-1.0, x) * 1e12 * k));
  labels.r2 = parallel_resistance();
  labels.x2 = "C2=" + FormatNumber(Checked(Divide(-x, Checked(r * r + x * x)) * 1e12 * k));
}

}  // namespace vexa
