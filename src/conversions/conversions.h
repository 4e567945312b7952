// The TRANS page's conversions as pure functions: return loss and VSWR, dBm and milliwatts,
// mil and millimetres, the GSM RXLEV index and the component values of a lumped LC balun.
// They throw FloatError (core/errors.h) where the arithmetic has no finite result; the page
// decides which inputs it refuses with a message before calling them.
#pragma once

#include <string>

namespace vexa {

// VSWR = (10^(s11/20) + 1) / (1 - 10^(s11/20)) for a return loss S11 in dB (below 0 for a
// VSWR above 1). S11 = 0, or one so close to 0 that the power rounds to 1, divides by zero.
double ReturnLossToVswr(double s11_db);

// S11 = 20·log10((vswr - 1) / (vswr + 1)) in dB; vswr must be above 1 (1 or less is an
// invalid operation).
double VswrToReturnLoss(double vswr);

double DbmToMw(double dbm);  // 10^(dBm/10); overflow beyond the double range
double MwToDbm(double mw);   // 10·log10(mW); mW of 0 or less is an invalid operation

// mil·25.4·0.001 mm and mm·39.37 mil. The two factors are not exact inverses: 1 mm gives
// 39.37 mil, and 39.37 mil gives 0.999998 mm.
double MilToMm(double mil);
double MmToMil(double mm);

// The received power range of an RXLEV index r in 0 … 63: "less than -110 dBm" for 0,
// "greater than -48 dBm" for 63, otherwise "<r-111> dBm  to  <r-110> dBm".
std::string DescribeRxlev(int rxlev);

// The elements of a lumped LC balun between R1 and R2 (ohms) at `frequency_hz`: each element
// has the reactance sqrt(R1·R2) at that frequency.
struct BalunValues {
  double c_pf = 0.0;  // picofarads
  double l_nh = 0.0;  // nanohenries
};

// R1·R2 of 0 or less or a frequency of 0 has no finite result and throws FloatError.
BalunValues BalunComponents(double r1_ohm, double r2_ohm, double frequency_hz);

}  // namespace vexa
