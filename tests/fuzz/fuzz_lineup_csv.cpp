// Fuzz target for the receiver line-up CSV reader.
//
// Input: the bytes of a file, read with the RX page's six parameter keys. Invariants:
//   refused: nothing loaded, a non-empty printable one-line message, and a "line N" in it
//            within the text;
//   read:    1..kLineupMaxStages stages, the six keys in their list order, no cell holding a
//            line break or more than 256 bytes; and the line-up written back (CR LF line ends
//            only) reads again into the same line-up.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "design/lineup_csv.h"
#include "fuzz_check.h"

namespace vexa::fuzz {
namespace {

const std::vector<std::string> kKeys = {"Input Power dBm",  "Analysis Temp C",
                                        "Noise BW MHz",     "Ref Temp C",
                                        "S/N for sensi dB", "Noise Source Ref K"};

std::string Context(std::string_view input) {
  return "input \"" + Escaped(input) + "\"";
}

void CheckRefusal(const LineupResult& result, std::string_view input) {
  FUZZ_CHECK(result.lineup.stages.empty() && result.lineup.parameters.empty(),
             "line-up kept on a refusal: " + Context(input));
  FUZZ_CHECK(!result.error.empty(), "refusal without a message: " + Context(input));
  for (const char c : result.error)
    FUZZ_CHECK(c >= ' ' && c <= '~', "unprintable message " + Escaped(result.error));
  if (result.error.rfind("line ", 0) == 0) {
    std::size_t line = 0;
    const char* begin = result.error.data() + 5;
    const auto parsed = std::from_chars(begin, result.error.data() + result.error.size(), line);
    std::size_t lines = 1;
    for (const char c : input)
      lines += c == '\n';
    FUZZ_CHECK(parsed.ec == std::errc() && *parsed.ptr == ':' && line >= 1 && line <= lines,
               result.error + " for " + Context(input));
  }
}

bool SameLineup(const Lineup& a, const Lineup& b) {
  if (a.stages.size() != b.stages.size() || a.parameters != b.parameters)
    return false;
  for (std::size_t i = 0; i < a.stages.size(); ++i)
    if (a.stages[i].cells != b.stages[i].cells)
      return false;
  return true;
}

void CheckRead(const LineupResult& result, std::string_view input) {
  const Lineup& lineup = result.lineup;
  FUZZ_CHECK(result.error.empty(), "ok result with message " + Escaped(result.error));
  FUZZ_CHECK(!lineup.stages.empty() && lineup.stages.size() <= kLineupMaxStages,
             std::to_string(lineup.stages.size()) + " stages: " + Context(input));
  FUZZ_CHECK(lineup.parameters.size() == kKeys.size(),
             std::to_string(lineup.parameters.size()) + " parameters: " + Context(input));
  for (std::size_t i = 0; i < kKeys.size(); ++i)
    FUZZ_CHECK(lineup.parameters[i].first == kKeys[i], "key " + std::to_string(i) + " " +
                                                           Escaped(lineup.parameters[i].first) +
                                                           ": " + Context(input));
  const auto check_cell = [&](const std::string& cell) {
    FUZZ_CHECK(cell.size() <= 256 && cell.find_first_of("\r\n") == std::string::npos,
               "cell \"" + Escaped(cell) + "\": " + Context(input));
  };
  for (const LineupStage& stage : lineup.stages)
    for (const std::string& cell : stage.cells)
      check_cell(cell);
  for (const auto& parameter : lineup.parameters)
    check_cell(parameter.second);

  const std::string text = WriteLineupCsv(lineup);
  for (std::size_t i = 0; i < text.size(); ++i)
    FUZZ_CHECK((text[i] == '\n') == (i > 0 && text[i - 1] == '\r') &&
                   (text[i] != '\r' || (i + 1 < text.size() && text[i + 1] == '\n')),
               "line end at byte " + std::to_string(i) + " of \"" + Escaped(text) + "\"");
  const LineupResult again = ParseLineupCsv(text, kKeys);
  FUZZ_CHECK(again.ok,
             "written back as \"" + Escaped(text) + "\": " + again.error + "; " + Context(input));
  FUZZ_CHECK(SameLineup(again.lineup, lineup),
             "written back as \"" + Escaped(text) + "\" read differently; " + Context(input));
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const vexa::LineupResult result = vexa::ParseLineupCsv(input, vexa::fuzz::kKeys);
  if (result.ok)
    vexa::fuzz::CheckRead(result, input);
  else
    vexa::fuzz::CheckRefusal(result, input);
  return 0;
}
