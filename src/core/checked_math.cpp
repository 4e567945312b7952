#include "core/checked_math.h"

#include <cmath>

#include "core/errors.h"

namespace vexa {

double Checked(double x) {
  if (std::isnan(x))
    throw FloatError(kInvalidOperation);
  if (std::isinf(x))
    throw FloatError(kOverflow);
  return x;
}

double Divide(double a, double b) {
  if (std::isnan(a) || std::isnan(b))
    throw FloatError(kInvalidOperation);
  // An infinite operand is an overflow that happened in an unchecked step before: report it
  // rather than let 1/inf pass as 0.
  if (std::isinf(a) || std::isinf(b))
    throw FloatError(kOverflow);
  if (b == 0.0)
    throw FloatError(a == 0.0 ? kInvalidOperation : kDivisionByZero);
  return Checked(a / b);
}

double Sqrt(double x) {
  if (!(x >= 0.0))
    throw FloatError(kInvalidOperation);
  return Checked(std::sqrt(x));
}

double Log10(double x) {
  if (!(x > 0.0))
    throw FloatError(kInvalidOperation);
  return Checked(std::log10(x));
}

double Ln(double x) {
  if (!(x > 0.0))
    throw FloatError(kInvalidOperation);
  return Checked(std::log(x));
}

double Power(double base, double exponent) {
  return Checked(std::pow(base, exponent));
}

}  // namespace vexa
