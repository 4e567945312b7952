// One row of a key=value list (the PLL page's list, the RX page's parameters and analysis).
#pragma once

#include <span>
#include <string>
#include <vector>

namespace vexa {

struct ValueListRow {
  std::string key;
  std::string value;
};

// One row of a list as designed, listed once for the page, its model and vexa-cli: the key
// (vexa-cli's key too), the start value, and what the row means for vexa-cli PAGE --help.
struct ValueListField {
  const char* key;
  const char* start;
  const char* caption;
};

inline std::vector<ValueListRow> DesignRows(std::span<const ValueListField> fields) {
  std::vector<ValueListRow> rows;
  rows.reserve(fields.size());
  for (const ValueListField& field : fields)
    rows.push_back({field.key, field.start});
  return rows;
}

}  // namespace vexa
