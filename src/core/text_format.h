// printf-style formatting for memo and log lines ("%f", "%d", "%02d", "%.2f", ...).
// Independent of the process locale's numeric settings: '.' is always the separator.
#pragma once

#include <string>
#include <vector>

namespace vexa {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "a, b, c": the names in order, for notes that list what was tried or is missing.
std::string JoinNames(const std::vector<std::string>& names);

}  // namespace vexa
