#include "core/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/convert.h"

namespace vexa {

std::string FormatNumber(double value) {
  if (std::isnan(value))
    return "NAN";
  if (std::isinf(value))
    return value > 0 ? "INF" : "-INF";
  if (value == 0.0)
    return "0";

  // Round to 15 significant digits first; the notation depends on the rounded value.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  const std::string scientific(buffer, result.ptr);  // "-d.dddddddddddddde+XX"
  const std::size_t e_pos = scientific.find('e');
  const bool negative = scientific.front() == '-';
  std::string digits;
  for (std::size_t i = negative ? 1 : 0; i < e_pos; ++i) {
    if (scientific[i] != '.')
      digits += scientific[i];
  }
  const int exponent = std::atoi(scientific.c_str() + e_pos + 1);
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();

  const char separator = DecimalSeparator();
  std::string text = negative ? "-" : "";
  if (exponent >= -4 && exponent < 15) {
    if (exponent < 0) {
      text += '0';
      text += separator;
      text.append(static_cast<std::size_t>(-exponent - 1), '0');
      text += digits;
    } else {
      const std::size_t integer_digits = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= integer_digits) {
        text += digits;
        text.append(integer_digits - digits.size(), '0');
      } else {
        text += digits.substr(0, integer_digits);
        text += separator;
        text += digits.substr(integer_digits);
      }
    }
    return text;
  }
  text += digits.substr(0, 1);
  if (digits.size() > 1) {
    text += separator;
    text += digits.substr(1);
  }
  text += 'E';
  text += std::to_string(exponent);
  return text;
}

}  // namespace vexa
