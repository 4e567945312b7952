// printf-style formatting for memo and log lines ("%f", "%d", "%02d", "%.2f", ...).
// Independent of the process locale's numeric settings: '.' is always the separator.
#pragma once

#include <string>

namespace vexa {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vexa
