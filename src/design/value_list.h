// One row of a key=value list (the PLL page's list, the RX page's parameters and analysis).
#pragma once

#include <string>

namespace vexa {

struct ValueListRow {
  std::string key;
  std::string value;
};

}  // namespace vexa
