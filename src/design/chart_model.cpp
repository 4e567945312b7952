#include "design/chart_model.h"

#include <charconv>

namespace vexa {

std::string CsvNumber(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

}  // namespace vexa
