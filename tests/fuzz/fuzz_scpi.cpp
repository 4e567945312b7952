// Fuzz target for the simulated instruments' SCPI reader and the messages they run.
//
// Input: a bus message. An input starting with byte 0x01 is a long one instead: the bytes from
// the fourth on, repeated up to a length the second and third bytes choose (1 KB to 4 KB, or
// with 0xff 0xff and a fourth 0xff just past the longest message an instrument takes).
// Invariants:
//   units:    what UnitReader gives is what a plain reading gives (the path copied for every
//             unit, on messages up to 512 bytes); every text of a unit lies inside the message
//             (nothing copied); a common command has no path, any other unit has one; the
//             parameters are trimmed; HasQuery says whether any unit is a query;
//   matching: a unit whose nodes are plain words matches the pattern made of them, and not
//             with the query mark flipped (the first 32 units);
//   running:  the test set and the DC source each get every unit once, in order; each query
//             has an answer and no command has one; the response is the answers joined by ';'
//             with one LF, or nothing without a query; a message over the limit runs no unit
//             and is answered with the overrun error exactly when it holds a query.
// Timing: the processor time each input takes to run on both instruments, per KB (at least
// 1 KB counted), is measured; the slowest is printed when the run ends and, with
// VEXA_FUZZ_SCPI_SLOWEST=FILE, written to FILE whenever a slower one is found, to be timed
// again in an optimised build by bench/scpi_bench.
#include <time.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "sim/dc_source.h"
#include "sim/scpi.h"
#include "sim/test_set.h"

namespace vexa::fuzz {
namespace {

using sim::Unit;

// A unit copied out of the reader, to compare units after the reader has moved on.
struct CopiedUnit {
  std::vector<std::string> nodes;
  std::string common;
  bool query = false;
  std::string parameters;

  bool operator==(const CopiedUnit&) const = default;
};

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

CopiedUnit Copy(const Unit& unit) {
  return {std::vector<std::string>(unit.nodes.begin(), unit.nodes.end()), Upper(unit.common),
          unit.query, std::string(unit.parameters)};
}

std::string Describe(const CopiedUnit& unit) {
  std::string text = unit.common;
  for (std::size_t i = 0; i < unit.nodes.size(); ++i)
    text += (i ? ":" : "") + unit.nodes[i];
  return Escaped(text) + (unit.query ? "?" : "") + " [" + Escaped(unit.parameters) + "]";
}

// The plain reading: split at ';' outside quotes, each unit given a copy of the whole path.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote)
        quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == separator) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

std::vector<CopiedUnit> PlainUnits(std::string_view message) {
  std::vector<CopiedUnit> units;
  std::vector<std::string> path;
  for (std::string_view part : SplitOutsideQuotes(message, ';')) {
    part = Trim(part);
    if (part.empty())
      continue;
    const std::size_t blank = std::min(part.find_first_of(" \t"), part.size());
    std::string_view header = part.substr(0, blank);
    CopiedUnit unit;
    unit.parameters = std::string(Trim(part.substr(blank)));
    if (!header.empty() && header.back() == '?') {
      unit.query = true;
      header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == '*') {
      unit.common = Upper(header);
      units.push_back(std::move(unit));
      continue;
    }
    if (!header.empty() && header.front() == ':')
      header.remove_prefix(1);
    else
      unit.nodes = path;
    for (std::string_view node : SplitOutsideQuotes(header, ':'))
      unit.nodes.emplace_back(node);
    path.assign(unit.nodes.begin(), unit.nodes.end() - 1);
    units.push_back(std::move(unit));
  }
  return units;
}

bool Inside(std::string_view part, std::string_view message) {
  const auto begin = reinterpret_cast<std::uintptr_t>(message.data());
  const auto at = reinterpret_cast<std::uintptr_t>(part.data());
  return part.empty() || (at >= begin && at + part.size() <= begin + message.size());
}

bool PlainWord(std::string_view node) {
  return !node.empty() && std::all_of(node.begin(), node.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
  });
}

// Reads the units of `message` and checks each; returns them copied when `keep` is set, and
// their query marks in `queries`.
std::vector<CopiedUnit> CheckUnits(std::string_view message, bool keep,
                                   std::vector<bool>& queries) {
  std::vector<CopiedUnit> kept;
  bool any_query = false;
  std::size_t count = 0;
  sim::UnitReader reader(message);
  while (const Unit* unit = reader.Next()) {
    ++count;
    any_query = any_query || unit->query;
    queries.push_back(unit->query);
    // Made only for a failure: the message may be long.
    const auto where = [&] {
      return "unit " + std::to_string(count) + " of \"" + Escaped(message.substr(0, 300)) + "\" (" +
             std::to_string(message.size()) + " bytes)";
    };
    FUZZ_CHECK(count <= message.size(), "more units than bytes: " + where());
    FUZZ_CHECK(Inside(unit->common, message) && Inside(unit->parameters, message),
               "text outside the message: " + where());
    // The last nodes only: the others were the last ones of earlier units.
    const std::size_t depth = unit->nodes.size();
    for (std::size_t i = depth > 64 ? depth - 64 : 0; i < depth; ++i)
      FUZZ_CHECK(Inside(unit->nodes[i], message), "node outside the message: " + where());
    FUZZ_CHECK(unit->common.empty() != unit->nodes.empty(), "common and path: " + where());
    FUZZ_CHECK(unit->common.empty() || unit->common.front() == '*', "common: " + where());
    FUZZ_CHECK(Trim(unit->parameters) == unit->parameters, "untrimmed parameters: " + where());
    // A header of plain words matches itself as a pattern, with its own query mark only.
    if (count <= 32 && unit->common.empty() && unit->nodes.size() <= 8 &&
        std::all_of(unit->nodes.begin(), unit->nodes.end(), PlainWord)) {
      std::string pattern;
      for (const std::string_view node : unit->nodes)
        pattern += std::string(pattern.empty() ? "" : ":") + std::string(node);
      FUZZ_CHECK(sim::Matches(*unit, pattern + (unit->query ? "?" : "")),
                 "no match for its own header: " + where());
      FUZZ_CHECK(!sim::Matches(*unit, pattern + (unit->query ? "" : "?")),
                 "match with the query mark flipped: " + where());
    }
    if (keep)
      kept.push_back(Copy(*unit));
  }
  FUZZ_CHECK(sim::HasQuery(message) == any_query, "HasQuery: \"" + Escaped(message) + "\"");
  return kept;
}

// Passes every unit on to a real instrument and records the units and the answers.
class Recorder : public sim::Instrument {
 public:
  explicit Recorder(sim::Instrument& inner) : inner_(inner) {}

  std::optional<std::string> Handle(const Unit& unit, double& acquisition_seconds) override {
    std::optional<std::string> answer = inner_.Handle(unit, acquisition_seconds);
    FUZZ_CHECK(answer.has_value() == unit.query,
               std::string(unit.query ? "query without" : "command with") +
                   " an answer: " + Describe(Copy(unit)));
    queries.push_back(unit.query);
    if (answer)
      answers.push_back(*answer);
    return answer;
  }

  std::vector<bool> queries;
  std::vector<std::string> answers;

 private:
  sim::Instrument& inner_;
};

sim::TestSet& TheTestSet() {
  static sim::TestSet* test_set = new sim::TestSet;
  return *test_set;
}
sim::DcSource& TheDcSource() {
  static sim::DcSource* dc_source = new sim::DcSource;
  return *dc_source;
}

// The processor time of this thread, in seconds: what other work on the machine hardly changes.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs `message` on `instrument` (reset first) and checks the response; returns the seconds
// of processor time taken by RunMessage.
double CheckRun(sim::Instrument& instrument, std::string_view message,
                const std::vector<bool>& queries) {
  Recorder recorder(instrument);
  double acquisition_seconds = 0;
  const double start = ThreadSeconds();
  const std::string response = sim::RunMessage(recorder, message, acquisition_seconds);
  const double taken = ThreadSeconds() - start;
  const std::string where = " for \"" + Escaped(message.substr(0, 200)) + "\" (" +
                            std::to_string(message.size()) + " bytes)";
  const bool any_query = std::find(queries.begin(), queries.end(), true) != queries.end();
  if (message.size() > sim::kMaxMessageBytes) {
    FUZZ_CHECK(recorder.queries.empty(), "units run from an overlong message" + where);
    FUZZ_CHECK(response == (any_query ? std::string(sim::kInputBufferOverrun) + "\n" : ""),
               "overlong message answered \"" + Escaped(response) + "\"" + where);
    return taken;
  }
  FUZZ_CHECK(recorder.queries == queries, "units handled differently from those read" + where);
  std::string expected;
  for (std::size_t i = 0; i < recorder.answers.size(); ++i)
    expected += (i ? ";" : "") + recorder.answers[i];
  if (!recorder.answers.empty())
    expected += '\n';
  FUZZ_CHECK(response == expected, "response \"" + Escaped(response) + "\", answers joined \"" +
                                       Escaped(expected) + "\"" + where);
  return taken;
}

// The slowest input so far, in seconds per KB.
double g_slowest_per_kb = 0;
std::size_t g_slowest_size = 0;

void ReportSlowest() {
  std::fprintf(stderr, "fuzz_scpi: slowest input %.1f us per KB (%zu bytes)\n",
               g_slowest_per_kb * 1e6, g_slowest_size);
}

void RecordTime(double seconds, std::string_view message) {
  const double per_kb =
      seconds / (static_cast<double>(std::max<std::size_t>(message.size(), 1024)) / 1024.0);
  if (per_kb <= g_slowest_per_kb)
    return;
  g_slowest_per_kb = per_kb;
  g_slowest_size = message.size();
  if (const char* path = std::getenv("VEXA_FUZZ_SCPI_SLOWEST")) {
    if (FILE* file = std::fopen(path, "wb")) {
      std::fwrite(message.data(), 1, message.size(), file);
      std::fclose(file);
    }
  }
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  std::atexit(vexa::fuzz::ReportSlowest);
  // Every pattern is read on its first use: an unknown query and command try them all, so
  // that no input's time includes that.
  double acquisition_seconds = 0;
  vexa::sim::RunMessage(vexa::fuzz::TheTestSet(), "NO:SUCH?;NO:SUCH", acquisition_seconds);
  vexa::sim::RunMessage(vexa::fuzz::TheDcSource(), "NO:SUCH?;NO:SUCH", acquisition_seconds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vexa::fuzz;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string repeated;
  if (size >= 4 && data[0] == 0x01) {
    // 1 KB to 4 KB; 0xff 0xff 0xff: just over the limit (rare: reading it takes long here).
    const std::size_t chosen = data[1] | (static_cast<std::size_t>(data[2]) << 8);
    const std::size_t length = chosen == 0xffff && data[3] == 0xff
                                   ? vexa::sim::kMaxMessageBytes + 1 + size
                                   : 1024 + chosen % (3 * 1024);
    const std::string_view body = input.substr(3);
    repeated.reserve(length);
    while (repeated.size() < length)
      repeated.append(body.substr(0, length - repeated.size()));
    input = repeated;
  }
  std::vector<bool> queries;  // the query marks in order, as the instruments must see them
  const bool small = input.size() <= 512;
  const std::vector<CopiedUnit> units = CheckUnits(input, small, queries);
  if (small) {
    const std::vector<CopiedUnit> plain = PlainUnits(input);
    FUZZ_CHECK(units.size() == plain.size(), std::to_string(units.size()) + " units read, " +
                                                 std::to_string(plain.size()) + " plainly: \"" +
                                                 Escaped(input) + "\"");
    for (std::size_t i = 0; i < units.size(); ++i)
      FUZZ_CHECK(units[i] == plain[i], "unit " + std::to_string(i) + " read as " +
                                           Describe(units[i]) + ", plainly " + Describe(plain[i]) +
                                           ": \"" + Escaped(input) + "\"");
  }
  TheTestSet().Reset();
  TheDcSource().Reset();
  const double seconds =
      CheckRun(TheTestSet(), input, queries) + CheckRun(TheDcSource(), input, queries);
  RecordTime(seconds, input);
  return 0;
}
