// What the fuzz targets use to report a broken invariant: a message on stderr, then abort(),
// which libFuzzer records as a crash together with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace vexa::fuzz {

// Printable form of a text for the failure messages: bytes outside ' '..'~' as \xNN.
inline std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= ' ' && byte <= '~' && c != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      out += hex;
    }
  }
  return out;
}

[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const std::string& details) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n  %s\n", file, line, condition,
               details.c_str());
  std::abort();
}

}  // namespace vexa::fuzz

// FUZZ_CHECK(condition, details): `details` is a std::string expression, evaluated only
// when the condition is false.
#define FUZZ_CHECK(condition, details)                               \
  do {                                                               \
    if (!(condition))                                                \
      ::vexa::fuzz::Fail(__FILE__, __LINE__, #condition, (details)); \
  } while (false)
