// The computations of the FILTER page on plain doubles: the minimum order of a Butterworth,
// Chebyshev or Bessel low-pass filter, and its attenuation sampled against frequency.
// Frequencies are in hertz, attenuations in dB, delays in seconds, unless a name says MHz.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "design/chart_model.h"

namespace vexa {

enum class FilterFamily { kButterworth = 0, kChebyshev = 1, kBessel = 2 };

// The Bessel search stops here; reaching it shows kBesselLimitMessage.
inline constexpr int kBesselMaxOrder = 60;
extern const char* const kBesselLimitMessage;  // "n is too large!! make a change!"

// Butterworth and Chebyshev orders above this are refused: the response would be a step, and
// sampling it would take unbounded time and memory.
inline constexpr int kMaxFilterOrder = 1000;

// Refusals of a tolerance scheme that has no meaningful order.
extern const char* const kEdgeOrderMessage;         // fp, fs not 0 < fp < fs
extern const char* const kAttenuationOrderMessage;  // ap, as not 0 < ap < as
extern const char* const kOrderTooLargeMessage;     // order above kMaxFilterOrder or none

// The last order whose Chebyshev coefficients all fit a 32-bit signed integer. Higher orders
// are evaluated by the three-term recurrence on the value instead of the coefficients.
inline constexpr int kChebyshevTableMaxOrder = 26;

struct ToleranceScheme {
  double fp = 0;  // pass-band edge, Hz
  double fs = 0;  // stop-band edge, Hz
  double ap = 0;  // pass-band attenuation, dB
  double as = 0;  // stop-band attenuation, dB
};

// An order, or the message that refuses the scheme (n is then 0).
struct FilterOrder {
  int n = 0;
  std::string refusal;
};

// N = trunc(log10(k1) / log10(k) + 1), k1 = sqrt(εp² / (10^(as/10) − 1)), k = fp / fs.
FilterOrder ButterworthOrder(const ToleranceScheme& scheme);
// N = trunc(acosh(1/k1) / acosh(1/k) + 1).
FilterOrder ChebyshevOrder(const ToleranceScheme& scheme);

struct BesselResult {
  int n = 0;
  bool limit_reached = false;  // n is kBesselMaxOrder (found there or not found)
};
// First n in 1..60 whose delay error (2^n n!)² / (2n)!² · (2π fs T0)^(2n) is at most
// `tolerance` (a fraction); 60 when none is.
BesselResult BesselOrder(double fs, double tolerance, double t0);

// n! as the product 1·2·…·n in floating point; 1 for n <= 0.
double Factorial(int n);

// Rows 0..n of the coefficients of T_i in ascending powers of x, by
// T_i = 2x·T_(i−1) − T_(i−2). Requires 1 <= n <= kChebyshevTableMaxOrder.
using ChebyshevCoefficientTable = std::vector<std::vector<std::int32_t>>;
ChebyshevCoefficientTable BuildChebyshevTable(int n);

// The edge the drawn response passes through exactly: (fp, ap) with "ap preferred", else
// (fs, as).
struct ReferenceEdge {
  double f = 0;  // Hz
  double a = 0;  // dB
};
ReferenceEdge PreferredEdge(const ToleranceScheme& scheme, bool ap_preferred);

// x in MHz, y in dB.
using AttenuationCurve = std::vector<CurvePoint>;

// Sweep end of the Butterworth and Chebyshev curves: fp with only the pass band, else fp + fs.
double SweepEnd(const ToleranceScheme& scheme, bool pass_band_only);

// Butterworth and Chebyshev sweep from 1000 Hz to `end_hz`; the Bessel sweep from `start_hz` to
// `start_hz` + `stop_hz`. Each takes 2000 accumulated steps of (end − start) / 2000 while the
// frequency is not above the end: about 2001 points. A sweep that cannot advance (a zero step, or a
// step lost in rounding) stops after its first point.
AttenuationCurve ButterworthCurve(int n, const ReferenceEdge& ref, double end_hz);
AttenuationCurve ChebyshevCurve(int n, const ReferenceEdge& ref, double end_hz);
AttenuationCurve BesselCurve(int n, double t0, double start_hz, double stop_hz);

// T_n(x) from the coefficient table (n <= kChebyshevTableMaxOrder) or, above it, from the
// recurrence on values.
double ChebyshevPolynomial(int n, double x);

}  // namespace vexa
