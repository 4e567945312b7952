// The computations of the MATCH page on plain values: the two-element L network, the analysis
// of a network standing in the page (reflections, S21, the impedance seen at either port), the
// resistive Pi and T pads in single precision, and E24 snapping of element values.
// Floating-point faults throw FloatError (core/errors.h) at the point where they occur.
#pragma once

#include <complex>
#include <functional>
#include <string>

namespace vexa {

// Angular frequency in rad/s of a frequency in MHz.
double AngularFrequency(double mhz);

// A value stored in single precision (the pads' working values); too large for a 32-bit
// float is the floating-point overflow.
float Store(double x);

// The generator's reactance stands in for 0 when it is 0, so that its parallel equivalent
// never divides by zero.
inline constexpr double kZeroReactanceSubstitute = 1.5E-45;

struct MatchInputs {
  double g = 0;   // Rg, generator (port 1) resistance, ohms
  double x1 = 0;  // X1, generator reactance, ohms
  double d = 0;   // Rd, load (port 2) resistance, ohms
  double x2 = 0;  // X2, load reactance, ohms
  double f = 0;   // frequency, MHz
};

enum class LNetworkTopology { kLC, kCL };

// A lumped element: a capacitance in "pF" or an inductance in "nH".
struct ReactiveElement {
  double value = 0;
  std::string unit;  // "pF" or "nH"
};

struct LNetworkElements {
  ReactiveElement shunt;   // across port 1
  ReactiveElement series;  // between the shunt node and port 2
};

// Designs the L network. When the generator's parallel resistance is below the load's, the
// ports are exchanged: `exchange` is called once with the exchanged inputs (before any element
// is computed, so a caller can write them back even if the design then fails) and the design
// continues on them.
LNetworkElements MatchLNetwork(const MatchInputs& inputs, LNetworkTopology topology,
                               const std::function<void(const MatchInputs&)>& exchange);

using Complex = std::complex<double>;

// Complex quotient by the scaled method (divides by the larger of the divisor's parts first);
// a zero divisor throws FloatError.
Complex ComplexDivide(Complex a, Complex b);

// j·(value·ω·1e-9) for "nH"; j·(−1 / (value·ω·1e-12)) for any other unit (pF).
Complex ElementImpedance(double value, const std::string& unit, double omega);
// (Zg ∥ Zsh) + Zse: what port 2 sees looking into the network.
Complex NetworkOutputImpedance(Complex zg, Complex zsh, Complex zse);
// (Zd + Zse) ∥ Zsh: what port 1 sees looking into the network.
Complex NetworkInputImpedance(Complex zd, Complex zsh, Complex zse);

struct Mismatch {
  double gamma1 = 0;  // |Γ1|, power-wave reflection at port 1
  double gamma2 = 0;  // |Γ2|, at port 2
  double s21 = 0;     // |S21| = sqrt(1 − |Γ1|²) of the lossless network (linear)
};
// Throws FloatError when |Γ1| > 1 (negative resistances).
Mismatch NetworkMismatch(Complex zg, Complex zd, Complex zsh, Complex zse);

// ---- resistive pads (single precision) ----

enum class PadType { kPi, kT };

// DesignPad's refusals.
extern const char* const kPadAttenuationMessage;  // "A should great than 0 dB"
extern const char* const kPiPadMessage;
extern const char* const kTPadMessage;

struct PadResistors {
  double r1 = 0, r2 = 0, r3 = 0;  // ohms (single-precision values; T: reciprocals of them)
};

// The pad for `att_db` between rn and ro, or the message that refuses it (`message` not empty).
struct PadDesign {
  std::string message;
  PadResistors resistors;
};
PadDesign DesignPad(PadType type, double att_db, double rn, double ro);

struct PadAnalysis {
  double att_db = 0;  // single-precision value
  double gamma = 0;   // |Γ1|, single-precision value
};
PadAnalysis AnalysePad(PadType type, double rn, double ro, const PadResistors& resistors);
// The two halves of AnalysePad, for a caller that writes the attenuation before the
// reflection is computed.
double PadAttenuation(PadType type, double rn, double ro, const PadResistors& resistors);
double PadReflection(PadType type, double rn, double ro, const PadResistors& resistors);

// ---- E24 ----

// The E24 value nearest to `value` (> 0) by ratio, in the same unit; 0 for value <= 0 or a
// value that is not finite.
double NearestE24(double value);

}  // namespace vexa
