// The computations of the PLL page: a charge-pump PLL with a passive third-order loop filter
// (C1 at the charge pump, R2 + C2 to ground, then R3–C3 and R4–C4 as two further poles). All
// values are SI units: amperes, hertz, hertz per volt, farads, ohms, seconds.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

#include "design/chart_model.h"

namespace vexa {

using Complex = std::complex<double>;

struct LoopFilterDesign {
  double kphi = 0;    // charge-pump gain, A (per 2π rad)
  double kvco = 0;    // VCO gain, Hz/V
  double fout = 0;    // output frequency, start of the transient, Hz
  double f2 = 0;      // target frequency of the transient, Hz
  double fcomp = 0;   // comparison frequency, Hz
  double c1 = 0;      // F
  double c2 = 0;      // F
  double c3 = 0;      // F
  double c4 = 0;      // C4 as fitted, F
  double vcocap = 0;  // the VCO's input capacitance, in parallel with C4, F
  double r2 = 0;      // ohm
  double r3 = 0;      // ohm
  double r4 = 0;      // ohm
};

// The filter's impedance denominator s·(A3·s³ + A2·s² + A1·s + A0).
struct LoopFilterCoefficients {
  double a0 = 0;  // F
  double a1 = 0;  // F·s
  double a2 = 0;  // F·s²
  double a3 = 0;  // F·s³
};

// C4 as the loop sees it: the fitted capacitor plus the VCO's input capacitance.
double EffectiveC4(const LoopFilterDesign& design);

// A0..A3 with C4 = EffectiveC4. A coefficient that overflows throws FloatError.
// A2 = C1·C2·R2·R3·(C3 + C4) + C4·R4·(C2·C3·R3 + C1·C3·R3 + C1·C2·R2): it leaves out the
// ladder's C4·R4·C2·C3·R2 term (about 2.6 % of A2 in the start design, 0.1 % of |Z| at the
// crossover). The page has always analysed this form; its results are kept as users know them.
LoopFilterCoefficients LoopCoefficients(const LoopFilterDesign& design);

// Z(s) = (1 + s·C2·R2) / (s·(A3·s³ + A2·s² + A1·s + A0)). A denominator of exactly zero (no
// capacitance at all) throws FloatError "Floating point division by zero".
Complex FilterImpedance(Complex s, const LoopFilterDesign& design, const LoopFilterCoefficients& a);

// G(f) = Kφ·Kvco·Z(s) / s at s = j·2π·f. The divider ratio is not part of G.
Complex OpenLoopGain(double f, const LoopFilterDesign& design, const LoopFilterCoefficients& a);

// The crossover search gives up after this many frequency changes. The start design needs
// about 6,900; sane designs need tens of thousands at most.
inline constexpr std::int64_t kMaxCrossoverSteps = 1000000;

enum class CrossoverStatus {
  kFound,
  kStepLimit,  // no frequency within the tolerance after the step budget
  kNotFinite,  // G or the frequency left the finite numbers, or the frequency reached 0
};

struct Crossover {
  CrossoverStatus status = CrossoverStatus::kFound;
  double fc = 0;           // Hz; the last frequency tried when not found
  Complex g;               // G at fc
  std::int64_t steps = 0;  // frequency changes made
};

// From fc = `start`: stop when ||G| − N| < 0.0002·N; otherwise fc·1.5 when |G| ≥ N, else fc·0.5.
// The factors never change, so the frequency circles the crossover until it lands within the
// tolerance. Never throws for a search that fails: it reports it.
Crossover FindCrossover(double n, double start, const LoopFilterDesign& design,
                        const LoopFilterCoefficients& a,
                        std::int64_t max_steps = kMaxCrossoverSteps);

// arg(G) in degrees plus 180.
double PhaseMargin(Complex g);
// Γ = (2π·Fc)²·C2·R2·A1 / A0. A0 = 0 throws FloatError.
double GammaFactor(double fc, const LoopFilterDesign& design, const LoopFilterCoefficients& a);
// ωn = sqrt(Kφ·Kvco / ((F2 / Fcomp)·A0)), the second-order approximation at the divider
// ratio of F2; unchecked (nan or inf for designs without one).
double NaturalFrequency(const LoopFilterDesign& design, const LoopFilterCoefficients& a);
// ζ = (C2·R2)·0.5·ωn.
double Damping(const LoopFilterDesign& design, double wn);

// x in seconds, y in hertz.
struct LockTransientCurves {
  std::vector<CurvePoint> response;
  std::vector<CurvePoint> upper;  // F2 + e^(−ζωn t)·(F1 − F2)
  std::vector<CurvePoint> lower;  // F2 − e^(−ζωn t)·(F1 − F2)
};

// A sweep never holds more points than this (it takes about 5000).
inline constexpr std::size_t kMaxTransientPoints = 5100;

// The underdamped step of the second-order loop from F1 to F2, with T2 = C2·R2, sampled from
// t = 0 in steps of (π/ωn/ζ)·0.0005 while t ≤ (π/ωn/ζ)·2.5. Empty unless ωn is a positive
// finite number and 0 < ζ < 1.
LockTransientCurves LockTransient(double f1, double f2, double wn, double zeta, double t2);

}  // namespace vexa
