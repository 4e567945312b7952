#include "core/latin1.h"

namespace vexa {
namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes the well-formed UTF-8 sequence at `text[at]` (Unicode's table of well-formed byte
// sequences), or returns false. `length` receives the bytes it takes.
bool Decode(std::string_view text, std::size_t at, char32_t& code_point, std::size_t& length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    code_point = lead;
    length = 1;
    return true;
  }
  // The lead byte fixes the length and the allowed range of the second byte; the narrower
  // ranges after E0, ED, F0 and F4 exclude overlong forms, surrogates and values past U+10FFFF.
  unsigned char second_min = 0x80;
  unsigned char second_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0)
      second_min = 0xA0;
    if (lead == 0xED)
      second_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0)
      second_min = 0x90;
    if (lead == 0xF4)
      second_max = 0x8F;
  } else {
    return false;  // a continuation byte, C0/C1 (always overlong) or F5..FF
  }
  if (text.size() - at < length)
    return false;
  if (byte(1) < second_min || byte(1) > second_max)
    return false;
  for (std::size_t i = 1; i < length; ++i) {
    if (!IsContinuation(byte(i)))
      return false;
    code_point = (code_point << 6) | (byte(i) & 0x3F);
  }
  return true;
}

}  // namespace

Latin1Conversion Utf8ToLatin1(std::string_view utf8) {
  Latin1Conversion result;
  result.bytes.reserve(utf8.size());
  std::size_t at = 0;
  while (at < utf8.size()) {
    char32_t code_point = 0;
    std::size_t length = 0;
    if (!Decode(utf8, at, code_point, length)) {
      result.problem = Latin1Conversion::Problem::kInvalidUtf8;
      result.position = at;
      return result;
    }
    if (code_point > 0xFF) {
      result.problem = Latin1Conversion::Problem::kBeyondLatin1;
      result.code_point = code_point;
      result.position = at;
      return result;
    }
    result.bytes.push_back(static_cast<char>(code_point));
    at += length;
  }
  return result;
}

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string utf8;
  utf8.reserve(latin1.size());
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8.push_back(c);
    } else {
      utf8.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return utf8;
}

}  // namespace vexa
