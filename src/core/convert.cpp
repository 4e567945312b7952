#include "core/convert.h"

#include <atomic>
#include <charconv>
#include <limits>

#include "core/errors.h"

namespace vexa {
namespace {

std::atomic<char> g_decimal_separator{'.'};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

[[noreturn]] void ThrowInvalid(std::string_view text, const char* kind) {
  throw ConversionError("'" + std::string(text) + "' is not a valid " + kind + " value");
}

}  // namespace

char DecimalSeparator() {
  return g_decimal_separator.load(std::memory_order_relaxed);
}
void SetDecimalSeparator(char separator) {
  g_decimal_separator.store(separator, std::memory_order_relaxed);
}

char DecimalSeparatorFor(std::string_view utf8) {
  if (utf8.size() != 1)
    return '.';
  const char c = utf8.front();
  const bool ascii_punctuation = c > ' ' && c < 0x7f && !IsDigit(c) && c != '+' && c != '-' &&
                                 c != 'e' && c != 'E' && !(c >= 'a' && c <= 'z') &&
                                 !(c >= 'A' && c <= 'Z');
  return ascii_punctuation ? c : '.';
}

std::int32_t TextToInt(std::string_view text) {
  std::string_view body = Trim(text);
  bool negative = false;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  if (body.empty())
    ThrowInvalid(text, "integer");
  std::int64_t value = 0;
  for (char c : body) {
    if (!IsDigit(c))
      ThrowInvalid(text, "integer");
    value = value * 10 + (c - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
      ThrowInvalid(text, "integer");
    }
  }
  if (negative)
    value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    ThrowInvalid(text, "integer");
  return static_cast<std::int32_t>(value);
}

double TextToFloat(std::string_view text) {
  const std::string_view body = Trim(text);
  const char separator = DecimalSeparator();
  // Rebuild the number in the form std::from_chars reads: '.' as separator, no '+' sign.
  std::string plain;
  plain.reserve(body.size());
  std::size_t i = 0;
  bool negative = false;
  if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
    negative = body[i] == '-';
    ++i;
  }
  int mantissa_digits = 0;
  int leading_digits = 0;  // significant digits before the separator
  bool seen_separator = false;
  bool seen_nonzero = false;
  int zeros_after_separator = 0;  // zeros between the separator and the first non-zero digit
  for (; i < body.size(); ++i) {
    const char c = body[i];
    if (IsDigit(c)) {
      ++mantissa_digits;
      if (c != '0')
        seen_nonzero = true;
      if (!seen_separator && seen_nonzero)
        ++leading_digits;
      if (seen_separator && !seen_nonzero)
        ++zeros_after_separator;
      plain += c;
    } else if (c == separator && !seen_separator) {
      seen_separator = true;
      plain += '.';
    } else {
      break;
    }
  }
  if (mantissa_digits == 0)
    ThrowInvalid(text, "floating point");
  long exponent = 0;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    plain += 'e';
    ++i;
    bool exponent_negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
      exponent_negative = body[i] == '-';
      if (exponent_negative)
        plain += '-';
      ++i;
    }
    int exponent_digits = 0;
    for (; i < body.size() && IsDigit(body[i]); ++i, ++exponent_digits) {
      plain += body[i];
      if (exponent < 100000)
        exponent = exponent * 10 + (body[i] - '0');
    }
    if (exponent_digits == 0)
      ThrowInvalid(text, "floating point");
    if (exponent_negative)
      exponent = -exponent;
  }
  if (i != body.size())
    ThrowInvalid(text, "floating point");

  double value = 0.0;
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (end != plain.data() + plain.size())
    ThrowInvalid(text, "floating point");
  if (error == std::errc::result_out_of_range) {
    // Decimal exponent of the leading significant digit decides between overflow and underflow.
    const long magnitude =
        exponent + (leading_digits > 0 ? leading_digits - 1 : -(zeros_after_separator + 1));
    if (magnitude > 0)
      ThrowInvalid(text, "floating point");
    value = 0.0;
  } else if (error != std::errc()) {
    ThrowInvalid(text, "floating point");
  }
  return negative ? -value : value;
}

}  // namespace vexa
