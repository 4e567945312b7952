// The computations of the SMITH page on plain values: the chart image's pixel mapping, the
// conversion between impedance and reflection coefficient in a 50-ohm system, the label texts
// and the series / parallel equivalent circuits of an impedance.
// Floating-point faults throw FloatError (core/errors.h) at the point where they occur.
#pragma once

#include <complex>
#include <string>

namespace vexa {

inline constexpr double kReferenceImpedance = 50.0;

// The chart image: pixel positions, the inside test, the marker corner of a reflection and the
// scroll bar's angle scale. One unit of |Γ| is half the image; up is positive imaginary.
struct ChartMapping {
  int width = 352;
  int height = 352;

  int cx() const { return width / 2; }
  int cy() const { return height / 2; }

  // Γ = ((x − cx) / W · 2) + j · ((cy − y) / H · 2).
  std::complex<double> PixelToGamma(int x, int y) const;
  // (x − cx)² + (y − cy)² ≤ (cx · H) div 2, in exact integer arithmetic for any int pixel.
  bool Inside(int x, int y) const;
  // The top-left corner of the 4 × 4 marker centred on Γ, each coordinate truncated toward
  // zero. A corner beyond the int range (a negative resistance far outside the chart) is an
  // invalid floating-point operation, as converting such a value to an integer is.
  struct Corner {
    int left = 0;
    int top = 0;
  };
  Corner GammaToMarker(std::complex<double> gamma) const;
  // The angle in radians of a scroll position (0 … 3600, tenths of a degree), counterclockwise
  // from the positive real axis: (2 · p) · π · (1/3600).
  static double ScrollAngle(int position);
};

// Converts a floating-point pixel value to an int, truncating toward zero; outside the int
// range (or nan) it throws FloatError (invalid operation).
int TruncateToInt(double value);

// Z = 50 · (1 + Γ) / (1 − Γ): the product first, then the scaled complex division.
// Γ = 1 throws FloatError.
std::complex<double> GammaToImpedance(std::complex<double> gamma);
// Γ = (Z − 50) / (Z + 50), scaled complex division. Z = −50 throws FloatError.
std::complex<double> ImpedanceToGamma(std::complex<double> impedance);

// "Red=" + number(R) + "\nj(" + number(X) + ")".
std::string ImpedanceText(std::complex<double> impedance);
// "Γ=" + number(|Γ|) + "  \n∠" + number(arg in degrees) + "°   ", or "Γ=0  " when both parts
// of Γ are 0 (UTF-8).
std::string ReflectionText(std::complex<double> gamma);

// The two equivalent-circuit drawings, four lines joined by '\n'.
extern const char* const kInductiveCircuit;   // series R1 + L1, parallel R2 ∥ L2
extern const char* const kCapacitiveCircuit;  // series R1 + C1, parallel R2 ∥ C2

// The five texts of the equivalent circuits, as the page's labels.
struct CircuitLabels {
  std::string& drawing;  // Label56
  std::string& r1;       // Label57
  std::string& x1;       // Label58: "L1=" nH or "C1=" pF
  std::string& r2;       // Label59
  std::string& x2;       // Label60: "L2=" nH or "C2=" pF
};

// Writes the equivalent circuits of `impedance` at `frequency_hz` into `labels`, one text after
// the other in the page's order; a FloatError ends the writing there and the texts written
// before keep their new value. R2 = (R² + X²)/R ("R2=INF" for R = 0); the parallel reactance
// (R² + X²)/X ("L2=INF" for X = 0); k = 1 / (2π f) (a zero frequency is the division by zero).
void WriteEquivalentCircuits(std::complex<double> impedance, double frequency_hz,
                             const CircuitLabels& labels);

}  // namespace vexa
