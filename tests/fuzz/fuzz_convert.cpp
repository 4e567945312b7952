// Fuzz target for the text conversions and the number format.
//
// Input: the first byte picks the decimal separator (even '.', odd ','), the rest is the
// text typed into a field. Invariants:
//   - TextToInt and TextToFloat either return or throw ConversionError with the exact
//     message; nothing else escapes.
//   - TextToInt's result reads back from std::to_string; an integer text is also a float
//     text with the same value.
//   - A float read from text is finite, and FormatNumber of it (and of any double made of
//     the first eight bytes of the text) is well-formed: digits, '-', the separator and 'E'
//     in the general-format shape, fixed notation exactly for magnitudes 1E-4 .. < 1E15.
//   - Reading FormatNumber(v) back gives v rounded to 15 significant digits, the very double
//     that printf("%.14e") + strtod give, or a ConversionError where that is beyond the
//     double range; formatting that value again gives the same text.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/convert.h"
#include "core/errors.h"
#include "core/number_text.h"
#include "fuzz_check.h"

namespace vexa::fuzz {
namespace {

// What a C string built from `text` shows: everything before the first NUL.
std::string UpToNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

std::string InvalidMessage(std::string_view text, const char* kind) {
  return UpToNul("'" + std::string(text) + "' is not a valid " + kind + " value");
}

std::string Describe(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g (%a)", value, value);
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a run of digits starting at `pos`; returns how many.
std::size_t Digits(std::string_view text, std::size_t pos) {
  std::size_t n = 0;
  while (pos + n < text.size() && IsDigit(text[pos + n]))
    ++n;
  return n;
}

// v rounded to 15 significant digits, as the C library does it, and the decimal exponent of
// the rounded value. `in_range` is false when the rounded value is beyond the double range.
struct Rounded {
  double value;
  int exponent;
  bool in_range;
};

Rounded RoundTo15Digits(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.14e", v);
  errno = 0;
  const double value = std::strtod(text, nullptr);
  const bool overflow = errno == ERANGE && std::isinf(value);
  const int exponent = std::atoi(std::strchr(text, 'e') + 1);
  return {value, exponent, !overflow};
}

// The shape of the general format: -?D(sD)?(E-?D)? with s the separator. Fixed notation has
// no leading zeros (but "0" itself and "0s...") and no trailing zeros after s; exponent
// notation has one non-zero leading digit, no trailing zeros after s, and an exponent without
// leading zeros.
void CheckShape(double v, const std::string& text, const Rounded& rounded) {
  const char separator = DecimalSeparator();
  const auto context = [&] {
    return "FormatNumber(" + Describe(v) + ") = \"" + Escaped(text) + "\"";
  };
  FUZZ_CHECK(text.find('\0') == std::string::npos, context());
  std::size_t pos = 0;
  if (pos < text.size() && text[pos] == '-')
    ++pos;
  FUZZ_CHECK((pos == 1) == std::signbit(v) || v == 0.0, context() + ": sign");
  const std::size_t integer_begin = pos;
  const std::size_t integer_digits = Digits(text, pos);
  FUZZ_CHECK(integer_digits > 0, context() + ": no integer digits");
  pos += integer_digits;
  std::size_t fraction_digits = 0;
  if (pos < text.size() && text[pos] == separator) {
    ++pos;
    fraction_digits = Digits(text, pos);
    FUZZ_CHECK(fraction_digits > 0, context() + ": separator without digits");
    pos += fraction_digits;
    FUZZ_CHECK(text[pos - 1] != '0', context() + ": trailing zero");
  }
  const bool exponent_form = pos < text.size() && text[pos] == 'E';
  if (exponent_form) {
    ++pos;
    if (pos < text.size() && text[pos] == '-')
      ++pos;
    const std::size_t exponent_digits = Digits(text, pos);
    FUZZ_CHECK(exponent_digits > 0, context() + ": exponent without digits");
    FUZZ_CHECK(text[pos] != '0', context() + ": leading zero in the exponent");
    pos += exponent_digits;
    FUZZ_CHECK(integer_digits == 1 && text[integer_begin] != '0',
               context() + ": mantissa not in d.ddd form");
  } else if (integer_digits > 1) {
    FUZZ_CHECK(text[integer_begin] != '0', context() + ": leading zero");
  }
  FUZZ_CHECK(pos == text.size(), context() + ": unexpected character at " + std::to_string(pos));
  std::size_t significant = 0;
  bool seen_nonzero = false;
  for (std::size_t i = integer_begin; i < text.size() && text[i] != 'E'; ++i) {
    seen_nonzero = seen_nonzero || (IsDigit(text[i]) && text[i] != '0');
    if (seen_nonzero && IsDigit(text[i]))
      ++significant;
  }
  FUZZ_CHECK(significant <= 15, context() + ": more than 15 significant digits");
  if (v == 0.0)
    FUZZ_CHECK(text == "0", context());

  const bool fixed_expected = v == 0.0 || (rounded.exponent >= -4 && rounded.exponent < 15);
  FUZZ_CHECK(exponent_form != fixed_expected,
             context() + ": notation (decimal exponent " + std::to_string(rounded.exponent) + ")");
}

// FormatNumber of a finite v, then back through TextToFloat.
void CheckFormatRoundTrip(double v) {
  const std::string text = FormatNumber(v);
  const Rounded rounded = RoundTo15Digits(v);
  CheckShape(v, text, rounded);
  const auto context = [&] {
    return "FormatNumber(" + Describe(v) + ") = \"" + Escaped(text) + "\"";
  };

  double back = 0.0;
  try {
    back = TextToFloat(text);
  } catch (const ConversionError& e) {
    // Only a value that rounds beyond the double range may fail to read back.
    FUZZ_CHECK(!rounded.in_range, context() + " does not read back: " + e.what());
    FUZZ_CHECK(std::string(e.what()) == InvalidMessage(text, "floating point"),
               context() + ": message " + Escaped(e.what()));
    return;
  }
  FUZZ_CHECK(rounded.in_range, context() + " reads back as " + Describe(back) +
                                   " though it is beyond the double range");
  FUZZ_CHECK(back == rounded.value, context() + " reads back as " + Describe(back) + ", expected " +
                                        Describe(rounded.value));
  if (std::isnormal(back) || back == 0.0) {
    // 15 significant digits survive a trip through a normal double.
    const std::string again = FormatNumber(back);
    FUZZ_CHECK(again == text, context() + " formats again as \"" + Escaped(again) + "\"");
  }
}

void CheckFormatAnyDouble(double v) {
  const std::string text = FormatNumber(v);
  if (std::isnan(v)) {
    FUZZ_CHECK(text == "NAN", "FormatNumber(nan) = \"" + Escaped(text) + "\"");
  } else if (std::isinf(v)) {
    FUZZ_CHECK(text == (v > 0 ? "INF" : "-INF"),
               "FormatNumber(" + Describe(v) + ") = \"" + Escaped(text) + "\"");
  } else {
    CheckFormatRoundTrip(v);
  }
}

void Run(std::string_view text) {
  const auto shown = [&] { return "\"" + Escaped(text) + "\""; };

  bool int_ok = false;
  std::int32_t int_value = 0;
  try {
    int_value = TextToInt(text);
    int_ok = true;
  } catch (const ConversionError& e) {
    FUZZ_CHECK(std::string(e.what()) == InvalidMessage(text, "integer"),
               "TextToInt(" + shown() + ") message " + Escaped(e.what()));
  } catch (const std::exception& e) {
    Fail(__FILE__, __LINE__, "TextToInt throws only ConversionError",
         "TextToInt(" + shown() + ") threw " + Escaped(e.what()));
  } catch (...) {
    Fail(__FILE__, __LINE__, "TextToInt throws only ConversionError",
         "TextToInt(" + shown() + ") threw a non-standard exception");
  }
  if (int_ok) {
    const std::string decimal = std::to_string(int_value);
    std::int32_t again = 0;
    try {
      again = TextToInt(decimal);
    } catch (...) {
      Fail(__FILE__, __LINE__, "TextToInt(std::to_string(v)) succeeds",
           "TextToInt(" + shown() + ") = " + decimal + " does not read back");
    }
    FUZZ_CHECK(again == int_value, "TextToInt(" + shown() + ") = " + decimal + " reads back as " +
                                       std::to_string(again));
  }

  bool float_ok = false;
  double float_value = 0.0;
  try {
    float_value = TextToFloat(text);
    float_ok = true;
  } catch (const ConversionError& e) {
    FUZZ_CHECK(std::string(e.what()) == InvalidMessage(text, "floating point"),
               "TextToFloat(" + shown() + ") message " + Escaped(e.what()));
  } catch (const std::exception& e) {
    Fail(__FILE__, __LINE__, "TextToFloat throws only ConversionError",
         "TextToFloat(" + shown() + ") threw " + Escaped(e.what()));
  } catch (...) {
    Fail(__FILE__, __LINE__, "TextToFloat throws only ConversionError",
         "TextToFloat(" + shown() + ") threw a non-standard exception");
  }

  // Blanks, sign and digits are a float text too, and every int32 is exact in a double.
  if (int_ok) {
    FUZZ_CHECK(float_ok, "TextToInt(" + shown() + ") succeeds but TextToFloat throws");
    FUZZ_CHECK(float_value == static_cast<double>(int_value),
               "TextToInt(" + shown() + ") = " + std::to_string(int_value) +
                   " but TextToFloat = " + Describe(float_value));
  }
  if (float_ok) {
    FUZZ_CHECK(std::isfinite(float_value),
               "TextToFloat(" + shown() + ") = " + Describe(float_value));
    CheckFormatRoundTrip(float_value);
  }

  // Doubles that no typed text reaches (nan, infinities, any bit pattern) through the format.
  if (text.size() >= sizeof(double)) {
    double raw = 0.0;
    std::memcpy(&raw, text.data(), sizeof raw);
    CheckFormatAnyDouble(raw);
  }
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  vexa::SetDecimalSeparator((data[0] & 1) != 0 ? ',' : '.');
  vexa::fuzz::Run(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  return 0;
}
