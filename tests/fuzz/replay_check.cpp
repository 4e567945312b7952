// The replay's own check: a stand-in target whose invariant is that an input does not start
// with "broken". Replaying tests/fuzz/replay_check_inputs/ must end in the abort of
// FUZZ_CHECK, naming that input, in every build type of the ordinary test build (the checks
// are no assert() that NDEBUG would remove).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(!input.starts_with("broken"), "input \"" + vexa::fuzz::Escaped(input) + "\"");
  return 0;
}
