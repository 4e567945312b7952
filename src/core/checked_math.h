// Floating-point helpers that raise FloatError where the arithmetic would fault, so a
// calculator ends its handler with the usual message instead of showing inf or nan.
#pragma once

namespace vexa {

// Throws FloatError(kOverflow) if x is infinite, FloatError(kInvalidOperation) if x is nan.
double Checked(double x);

// a / b: b == 0 gives "Floating point division by zero" (or "Invalid floating point
// operation" for 0 / 0); an infinite quotient gives "Floating point overflow".
double Divide(double a, double b);

double Sqrt(double x);                       // x < 0: invalid operation
double Log10(double x);                      // x <= 0: invalid operation
double Ln(double x);                         // x <= 0: invalid operation
double Power(double base, double exponent);  // checked result

}  // namespace vexa
