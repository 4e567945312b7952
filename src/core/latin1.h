// Text for the GPIB bus, which carries ISO 8859-1 (Latin-1): one byte per character, the
// characters U+0000 to U+00FF. What the user types arrives as UTF-8 and goes on the bus as
// Latin-1; what the bus returns is Latin-1 and is shown as UTF-8 where the output is UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexa {

// The outcome of Utf8ToLatin1.
struct Latin1Conversion {
  enum class Problem {
    kNone,
    kBeyondLatin1,  // a valid character above U+00FF; see code_point
    kInvalidUtf8,   // a byte sequence that is not well-formed UTF-8
  };

  Problem problem = Problem::kNone;
  std::string bytes;         // the Latin-1 text, complete only when problem is kNone
  char32_t code_point = 0;   // the first character above U+00FF, for kBeyondLatin1
  std::size_t position = 0;  // byte offset in the UTF-8 text where the problem starts

  bool ok() const { return problem == Problem::kNone; }
};

// Converts UTF-8 text to Latin-1, stopping at the first character that Latin-1 cannot carry
// or the first ill-formed sequence (overlong forms, surrogates, code points above U+10FFFF,
// stray or missing continuation bytes), whichever comes first.
Latin1Conversion Utf8ToLatin1(std::string_view utf8);

// Converts Latin-1 text to UTF-8; every byte is a character, so this cannot fail.
std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace vexa
