// Text-to-number conversions for what a user types into a field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexa {

// A 32-bit signed integer: optional surrounding blanks, optional sign, decimal digits.
// Anything else (empty text, hex, a decimal separator, out of range) throws
// ConversionError "'<text>' is not a valid integer value".
std::int32_t TextToInt(std::string_view text);

// A double: optional surrounding blanks, optional sign, digits with at most one decimal
// separator (the regional one, see DecimalSeparator()), an optional exponent. At least one
// digit before the exponent. "nan", "inf", hex and values beyond the double range throw
// ConversionError "'<text>' is not a valid floating point value". Values too small for a
// double become zero.
double TextToFloat(std::string_view text);

// The regional decimal separator used by TextToFloat and FormatNumber. '.' until the
// application sets it from the user's regional settings at start-up.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// The separator to use for a locale whose decimal separator is `utf8` (as the locale gives
// it, UTF-8 encoded). Numbers live in UTF-8 strings and are typed one character per key, so
// only a single ASCII punctuation character can serve; anything else (the Arabic U+066B, an
// empty or multi-character text, a digit or sign) falls back to '.'.
char DecimalSeparatorFor(std::string_view utf8);

}  // namespace vexa
