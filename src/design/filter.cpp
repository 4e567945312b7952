#include "design/filter.h"

#include <cmath>
#include <functional>
#include <numbers>

namespace vexa {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kHzToMHz = 0.000001;
constexpr double kSweepStart = 1000.0;  // Hz
constexpr double kStepFraction = 0.0005;
// A sweep never takes more points than this, whatever rounding does to the accumulated
// frequency.
constexpr std::size_t kMaxSweepPoints = 4096;

// The refusal of a scheme that has no meaningful order, or "".
std::string SchemeRefusal(const ToleranceScheme& s) {
  if (!(s.fp > 0.0 && s.fs > s.fp && std::isfinite(s.fs)))
    return kEdgeOrderMessage;
  if (!(s.ap > 0.0 && s.as > s.ap && std::isfinite(s.as)))
    return kAttenuationOrderMessage;
  return "";
}

// The discrimination factor k1; 0 when εp² vanishes in rounding or the stop-band term
// overflows (both give an order too large to draw).
double Discrimination(const ToleranceScheme& s) {
  const double ep2 = std::pow(10.0, 0.1 * s.ap) - 1.0;
  const double es2 = std::pow(10.0, 0.1 * s.as) - 1.0;
  return std::sqrt(ep2 / es2);
}

// ratio + 1 truncated toward zero, or the refusal of a ratio that is not a usable order.
FilterOrder OrderFromRatio(double ratio) {
  FilterOrder order;
  if (!(ratio >= 0.0) || !(ratio + 1.0 < kMaxFilterOrder + 1.0)) {
    order.refusal = kOrderTooLargeMessage;
    return order;
  }
  order.n = static_cast<int>(ratio + 1.0);
  return order;
}

double Epsilon(const ReferenceEdge& ref) {
  return std::sqrt(std::pow(10.0, 0.1 * ref.a) - 1.0);
}

// The accumulated sweep: f from `start` while f <= end, step (end − start) · 0.0005.
AttenuationCurve Sweep(double start, double end, const std::function<double(double)>& attenuation) {
  AttenuationCurve curve;
  const double step = (end - start) * kStepFraction;
  double f = start;
  while (f <= end && curve.size() < kMaxSweepPoints) {
    curve.push_back({f * kHzToMHz, attenuation(f)});
    const double next = f + step;
    if (!(next > f))
      break;
    f = next;
  }
  return curve;
}

// Sum over l of table[n][l] · x^l, the terms added in ascending l.
double TableValue(const ChebyshevCoefficientTable& table, int n, double x) {
  double sum = 0.0;
  for (int l = 0; l <= n; ++l)
    sum += table[n][l] * std::pow(x, l);
  return sum;
}

// T_n(x) by the recurrence on values, for the orders whose coefficients outgrow the table.
double RecurrenceValue(int n, double x) {
  double previous = 1.0;  // T_0
  double current = x;     // T_1
  if (n == 0)
    return previous;
  for (int i = 2; i <= n; ++i) {
    const double next = 2.0 * x * current - previous;
    previous = current;
    current = next;
  }
  return current;
}

}  // namespace

const char* const kBesselLimitMessage = "n is too large!! make a change!";
const char* const kEdgeOrderMessage = "fp must be greater than 0 and less than fs";
const char* const kAttenuationOrderMessage = "ap must be greater than 0 and less than as";
const char* const kOrderTooLargeMessage = "the order is too large (more than 1000)! make a change!";

FilterOrder ButterworthOrder(const ToleranceScheme& scheme) {
  if (std::string refusal = SchemeRefusal(scheme); !refusal.empty())
    return {0, refusal};
  const double k1 = Discrimination(scheme);
  const double k = scheme.fp / scheme.fs;
  return OrderFromRatio(std::log10(k1) / std::log10(k));
}

FilterOrder ChebyshevOrder(const ToleranceScheme& scheme) {
  if (std::string refusal = SchemeRefusal(scheme); !refusal.empty())
    return {0, refusal};
  const double k1 = Discrimination(scheme);
  const double k = scheme.fp / scheme.fs;
  return OrderFromRatio(std::acosh(1.0 / k1) / std::acosh(1.0 / k));
}

double Factorial(int n) {
  double product = 1.0;
  for (int i = 2; i <= n; ++i)
    product *= i;
  return product;
}

BesselResult BesselOrder(double fs, double tolerance, double t0) {
  const double x = kTwoPi * fs * t0;
  for (int n = 1; n <= kBesselMaxOrder; ++n) {
    const double a = std::pow(2.0, n) * Factorial(n);
    const double b = Factorial(2 * n);
    const double d = a * a / b / b;
    const double e = d * std::pow(x, 2 * n);
    if (!(e > tolerance))
      return {n, n == kBesselMaxOrder};
  }
  return {kBesselMaxOrder, true};
}

ChebyshevCoefficientTable BuildChebyshevTable(int n) {
  ChebyshevCoefficientTable t(n + 1, std::vector<std::int32_t>(n + 1, 0));
  t[0][0] = 1;
  t[1][1] = 1;
  for (int i = 2; i <= n; ++i) {
    for (int j = 0; j <= i - 1; ++j) {
      t[i][j + 1] = 2 * t[i - 1][j];
      t[i][j] = t[i][j] - t[i - 2][j];
    }
  }
  return t;
}

double ChebyshevPolynomial(int n, double x) {
  if (n >= 1 && n <= kChebyshevTableMaxOrder)
    return TableValue(BuildChebyshevTable(n), n, x);
  return RecurrenceValue(n, x);
}

ReferenceEdge PreferredEdge(const ToleranceScheme& scheme, bool ap_preferred) {
  return ap_preferred ? ReferenceEdge{scheme.fp, scheme.ap} : ReferenceEdge{scheme.fs, scheme.as};
}

double SweepEnd(const ToleranceScheme& scheme, bool pass_band_only) {
  return pass_band_only ? scheme.fp : scheme.fp + scheme.fs;
}

AttenuationCurve ButterworthCurve(int n, const ReferenceEdge& ref, double end_hz) {
  const double wc = kTwoPi * ref.f / std::pow(Epsilon(ref), 1.0 / n);
  return Sweep(kSweepStart, end_hz,
               [&](double f) { return 10.0 * std::log10(1.0 + std::pow(kTwoPi * f / wc, 2 * n)); });
}

AttenuationCurve ChebyshevCurve(int n, const ReferenceEdge& ref, double end_hz) {
  const double eps = Epsilon(ref);
  // The table is built once per curve, and only while its coefficients fit.
  const ChebyshevCoefficientTable table =
      n <= kChebyshevTableMaxOrder ? BuildChebyshevTable(n) : ChebyshevCoefficientTable{};
  return Sweep(kSweepStart, end_hz, [&](double f) {
    const double x = (kTwoPi * f) / (kTwoPi * ref.f);
    const double s = table.empty() ? RecurrenceValue(n, x) : TableValue(table, n, x);
    return 10.0 * std::log10(1.0 + eps * eps * s * s);
  });
}

AttenuationCurve BesselCurve(int n, double t0, double start_hz, double stop_hz) {
  const double factor = 10.0 * std::log10(2.718281828459045);
  return Sweep(start_hz, start_hz + stop_hz, [&](double f) {
    const double wt = kTwoPi * f * t0;
    return factor * wt * wt / (2 * n - 1);
  });
}

}  // namespace vexa
