// The one format for every number a calculator writes into a field or label.
#pragma once

#include <string>

namespace vexa {

// General format with at most 15 significant digits: fixed notation without trailing zeros
// (and without a decimal point for whole numbers) for 0 and for magnitudes from 0.0001 with
// at most 15 integer digits; otherwise exponent notation such as "1.5E-45" or "1E15".
// The decimal separator is DecimalSeparator(). nan and infinities print as "NAN", "INF", "-INF".
std::string FormatNumber(double value);

}  // namespace vexa
