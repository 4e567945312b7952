#include "conversions/conversions.h"

#include <numbers>

#include "core/checked_math.h"

namespace vexa {

double ReturnLossToVswr(double s11_db) {
  const double magnitude = Power(10.0, 0.05 * s11_db);
  return Divide(magnitude + 1.0, 1.0 - magnitude);
}

double VswrToReturnLoss(double vswr) {
  return 20.0 * Log10(Divide(vswr - 1.0, vswr + 1.0));
}

double DbmToMw(double dbm) {
  return Power(10.0, 0.1 * dbm);
}

double MwToDbm(double mw) {
  return 10.0 * Log10(mw);
}

double MilToMm(double mil) {
  return Checked(mil * 25.4 * 0.001);
}

double MmToMil(double mm) {
  return Checked(mm * 39.37);
}

std::string DescribeRxlev(int rxlev) {
  if (rxlev == 0)
    return "less than -110 dBm";
  if (rxlev == 63)
    return "greater than -48 dBm";
  return std::to_string(rxlev - 111LL) + " dBm  to  " + std::to_string(rxlev - 110LL) + " dBm";
}

BalunValues BalunComponents(double r1_ohm, double r2_ohm, double frequency_hz) {
  const double reactance = Sqrt(Checked(r1_ohm * r2_ohm));
  const double omega = Checked(2.0 * std::numbers::pi * frequency_hz);
  BalunValues values;
  values.c_pf = Divide(Divide(1e12, reactance), omega);
  values.l_nh = Divide(Checked(reactance * 1e9), omega);
  return values;
}

}  // namespace vexa
