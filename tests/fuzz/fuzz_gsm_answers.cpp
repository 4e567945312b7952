// Fuzz target for the answer parsing and result lines of the GSM test run (MeasureItem).
//
// Input: an 11-byte head, then the test set's answers, one after another, separated by NUL
// bytes (a real answer never holds one: the read cuts it at the first NUL). A head shorter
// than 11 bytes is padded with zeros.
//   byte 0: bits 0-1 band (EGSM, DCS, PCS, GSM850); bit 2 antenna mode; bit 3 scan mode of
//           the band; bit 4 the band's level list holds every level (the power-step check);
//           bit 5 an empty answer was received as its terminator alone (received 1) instead
//           of nothing at all; bit 6 the level is any signed byte, maybe outside the band.
//   byte 1: the level (an index into the band's levels unless bit 6 is set).
//   byte 2: the level position (0..19).
//   bytes 3-6: the BER reference level, bytes 7-10 the previous TX power (raw floats).
// Each query takes the next answer, cut to 999 bytes as the read does; when the answers run
// out, nothing is received (a time-out). Items 0 to 6 are measured in turn on one stream.
//
// Invariants, per item:
//   - the queries are the item's, in order, each reading 1000 bytes;
//   - every line is the context's "%s:%d:%d\t" prefix, then the item's lines in their order
//     and number (TXPower 1-2, PVTime 9, PFERror 3, ORFS 21, RXLEV/RXQUAL 1-2, BERRor 1-2), each
//     with its name, its field count (6, or 3 for the 30 kHz bandwidth power), numbers as
//     printf writes them, its fixed limit texts and a verdict of exactly "Passed" or
//     "Failed>>>>>>>>>>" (none on the PVT@ lines, which end in three TABs, and on 30KBW);
//   - the TXPower limits are those of the power tables, "nan" outside them;
//   - a check on an answer with nothing received fails, and its value reads "nan" (the BER
//     ratio 99.99 %);
//   - no check passes whose value or limit reads "nan" or "inf", or whose answer (the value's
//     or the flag's) holds no decimal digit (garbled, empty, only "NAN"/"INF": nothing a
//     finite number can be read from);
//   - no check passes whose answer has an integrity indicator (field 1 of the FETCh answers)
//     that does not read as 0, and the reference-level BER ratio then reads 99.99 %;
//   - MarkFailure is called iff some line of the item has the failed verdict;
//   - lines hold printable ASCII and TABs only.
#include <locale.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "instrument/runs/gsm_measure.h"
#include "instrument/runs/test_plan.h"

namespace vexa::fuzz {
namespace {

constexpr std::size_t kHeadSize = 11;
constexpr std::string_view kPassedText = "Passed";
constexpr std::string_view kFailedText = "Failed>>>>>>>>>>";

// The answers of the input, handed out one per query.
class ScriptedBus : public GsmBus {
 public:
  ScriptedBus(std::string_view answers, bool empty_is_terminator)
      : rest_(answers), empty_is_terminator_(empty_is_terminator), more_(!answers.empty()) {}

  void Write(std::string_view command) override {
    FUZZ_CHECK(!command.empty() && command.find('\0') == std::string_view::npos,
               "bad command " + Escaped(command));
  }

  std::string Query(std::string_view query, long size, long& received) override {
    FUZZ_CHECK(size == kAnswerSize,
               "query " + std::string(query) + " reads " + std::to_string(size) + " bytes");
    queries.emplace_back(query);
    std::string answer;
    received = 0;
    if (more_) {
      const std::size_t end = rest_.find('\0');
      answer.assign(rest_.substr(0, end));
      if (end == std::string_view::npos) {
        more_ = false;
      } else {
        rest_.remove_prefix(end + 1);
      }
      // The read takes at most `size` bytes and drops the last (the terminator).
      if (answer.size() > static_cast<std::size_t>(size - 1))
        answer.resize(static_cast<std::size_t>(size - 1));
      received =
          answer.empty() ? (empty_is_terminator_ ? 1 : 0) : static_cast<long>(answer.size()) + 1;
    }
    received_.push_back(received);
    answers_.push_back(answer);
    return answer;
  }

  // Whether query `index` (counted over the whole input) received nothing.
  bool NothingReceived(std::size_t index) const { return received_.at(index) == 0; }
  // The answer of query `index` as the item got it.
  const std::string& AnswerOf(std::size_t index) const { return answers_.at(index); }

  std::vector<std::string> queries;

 private:
  std::string_view rest_;
  bool empty_is_terminator_;
  bool more_;
  std::vector<long> received_;
  std::vector<std::string> answers_;
};

class RecordingSink : public GsmResultSink {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  void MarkFailure() override { ++failures; }
  std::vector<std::string> lines;
  int failures = 0;
};

enum class Kind {
  kVerdict,     // name, value, limit 1, limit 2, verdict
  kNoVerdict,   // name, value, three empty fields
  kValueOnly,   // name, value
  kBerVerdict,  // as kVerdict, the value with a '%'
};

// What one result line must look like. Decimals -1: the field is not checked as a number.
struct LineShape {
  std::string_view name;
  Kind kind;
  int value_decimals;
  std::string_view limit1;  // "" with kind kVerdict: a number, checked by limit_decimals
  std::string_view limit2;
  int limit1_decimals;
  int limit2_decimals;
  int verdict_query;         // the item's query whose missing answer makes the check fail; -1 none
  int value_query;           // the item's query whose missing answer makes the value "nan"; -1 none
  int integrity_query = -1;  // the item's query whose first field is the integrity; -1 none
};

std::string Printf(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// printf's text of a number with `decimals` digits after the point (0: no point).
bool IsNumberText(std::string_view text, int decimals) {
  if (!text.empty() && text.front() == '-')
    text.remove_prefix(1);
  if (text == "nan" || text == "inf")
    return true;
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  if (whole.empty() || whole.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  if (decimals == 0)
    return point == std::string_view::npos;
  if (point == std::string_view::npos)
    return false;
  const std::string_view fraction = text.substr(point + 1);
  return fraction.size() == static_cast<std::size_t>(decimals) &&
         fraction.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsNan(std::string_view text) {
  return text == "nan" || text == "-nan";
}

bool IsNotFinite(std::string_view text) {
  return IsNan(text) || text == "inf" || text == "-inf";
}

// No finite number can be read from an answer without a decimal digit.
bool HoldsNoDigit(std::string_view answer) {
  return answer.find_first_of("0123456789") == std::string_view::npos;
}

// Whether the first field of `answer` reads as 0 (in single precision, as the run holds it);
// a field strtod reads nothing from is missing, which is no 0.
bool IntegrityIsZero(const std::string& answer) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  char* end = nullptr;
  const double value = strtod_l(answer.c_str(), &end, c_locale);
  return end != answer.c_str() && static_cast<float>(value) == 0;
}

// The nominal power and tolerance of a level, from the power tables' rules; false outside.
bool TableLimit(int band, int level, double& lower, double& upper) {
  double nominal = 0;
  double tolerance = 0;
  if (IsLowBand(band)) {
    if (level < 5 || level > 19)
      return false;
    nominal = 33 - 2 * (level - 5);
    tolerance = level == 5 ? 2 : level <= 15 ? 3 : 5;
  } else {
    if (level < 0 || level > 15)
      return false;
    nominal = 30 - 2 * level;
    tolerance = level == 0 ? 2 : level <= 8 ? 3 : level <= 13 ? 4 : 5;
  }
  lower = static_cast<double>(static_cast<float>(nominal - tolerance));
  upper = static_cast<double>(static_cast<float>(nominal + tolerance));
  return true;
}

struct Setup {
  int band;
  int level;  // of the transmitter items
  int level_position;
  bool antenna;
  bool scan;
  bool every_level;
  float ber_reference;
};

// The line names that do not depend on the input, built once.
struct FixedNames {
  FixedNames() {
    for (float offset : PvtTimeOffsetsUs)
      pvt.push_back(Printf("PVT@%.1fus", static_cast<double>(offset)));
    for (int offset : SwitchingOffsetsKhz)
      switching.push_back("SWI@" + std::to_string(offset) + "KHz");
    for (int offset : ModulationOffsetsKhz)
      modulation.push_back("MOD@" + std::to_string(offset) + "KHz");
  }
  std::vector<std::string> pvt;
  std::vector<std::string> switching;
  std::vector<std::string> modulation;
};

// Fills `lines` with the item's lines; the texts stay valid until the next call.
void ExpectedLines(const Setup& s, int item, std::vector<LineShape>& lines) {
  static const FixedNames names;
  static std::string lower_text;
  static std::string upper_text;
  static std::string ber_name;
  lines.clear();
  const bool low = IsLowBand(s.band);
  switch (item) {
    case 0: {
      double lower = 0;
      double upper = 0;
      const bool in_table = TableLimit(s.band, s.level, lower, upper);
      lower_text = in_table ? Printf("%.2f", lower) : "nan";
      upper_text = in_table ? Printf("%.2f", upper) : "nan";
      lines.push_back({"TXPower      ", Kind::kVerdict, 2, lower_text, upper_text, 2, 2, 0, 0, 0});
      if (s.every_level && s.level_position > 0)
        lines.push_back({"DIFF PWR      ", Kind::kVerdict, 2, "0.5", "3.5", -1, -1, 0, 0, 0});
      break;
    }
    case 1:
      lines.push_back({"PVT MASK", Kind::kVerdict, 0, "", "", -1, -1, 0, 0, 0});
      for (const std::string& name : names.pvt)
        lines.push_back({name, Kind::kNoVerdict, 2, "", "", -1, -1, -1, 0});
      break;
    case 2:
      lines.push_back({"RMS         ", Kind::kVerdict, 2, "0", "5", -1, -1, 0, 0, 0});
      lines.push_back({"PEAK         ", Kind::kVerdict, 2, "0", "20", -1, -1, 0, 0, 0});
      lines.push_back({"FREQ ERR", Kind::kVerdict, 2, low ? "-90" : "-180", low ? "90" : "180", -1,
                       -1, 0, 0, 0});
      break;
    case 3:
      for (const std::string& name : names.switching)
        lines.push_back({name, Kind::kVerdict, 2, "", "-99", 0, -1, 1, 0, 0});
      lines.push_back({"30KBW Power", Kind::kValueOnly, 2, "", "", -1, -1, -1, 0});
      for (const std::string& name : names.modulation)
        lines.push_back({name, Kind::kVerdict, 2, "", "", 1, 0, 1, 0, 0});
      break;
    case 4:
    case 5: {
      const bool rx_level = item == 4;
      int query = 0;
      if (!s.antenna) {
        lines.push_back({rx_level ? "RXL@-102.5" : "RXQ@-102.5", Kind::kVerdict, 0,
                         rx_level ? "4" : "0", rx_level ? "12" : "3", -1, -1, query, query});
        ++query;
      }
      lines.push_back({rx_level ? "RXL@-62.5" : "RXQ@-62.5", Kind::kVerdict, 0,
                       rx_level ? "44" : "0", rx_level ? "52" : "3", -1, -1, query, query});
      break;
    }
    case 6:
      ber_name = Printf("BERR@%.1f", static_cast<double>(s.ber_reference));
      lines.push_back({ber_name, Kind::kBerVerdict, 2, "0", "2.44", -1, -1, 0, 0, 0});
      if (!s.scan && !s.antenna)
        lines.push_back(
            {low ? "BERR@-15" : "BERR@-23", Kind::kBerVerdict, 2, "0", "2.44", -1, -1, 1, 1, 1});
      break;
    default:
      break;
  }
}

// Fills `queries` with the item's queries.
void ExpectedQueries(const Setup& s, int item, std::vector<std::string_view>& queries) {
  static constexpr std::string_view kByItem[] = {
      "FETCh:TXPower?",
      "FETCh:PVTime?",
      "FETCh:PFERror?",
      "FETCh:ORFSpectrum?",
      "CALL:MS:REPorted:RXLevel:NEW?;NEW?;NEW?",
      "CALL:MS:REPorted:RXQuality:NEW?;NEW?;NEW?",
      "FETCh:BERRor?",
  };
  queries.assign(1, kByItem[item]);
  if (item == 3)
    queries.push_back("FETCh:ORFSpectrum:LIMit:ALL?");
  if ((item == 4 || item == 5) && !s.antenna)
    queries.push_back(kByItem[item]);
  if (item == 6 && !s.scan && !s.antenna)
    queries.push_back(kByItem[item]);
}

// The TAB-separated fields of a line: the first kMaxFields in `fields`, and their count.
constexpr std::size_t kMaxFields = 8;
std::size_t Fields(std::string_view line, std::array<std::string_view, kMaxFields>& fields) {
  std::size_t count = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    if (count < kMaxFields)
      fields[count] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
    ++count;
    if (tab == std::string_view::npos)
      return count;
    start = tab + 1;
  }
}

void CheckLimit(std::string_view field, std::string_view expected, int decimals,
                const std::string& line) {
  if (!expected.empty()) {
    FUZZ_CHECK(field == expected, "limit is not " + std::string(expected) + ": " + Escaped(line));
  } else if (decimals >= 0) {
    FUZZ_CHECK(IsNumberText(field, decimals), "limit is not a number: " + Escaped(line));
  }
}

// Checks one item's lines, failures and queries; `first_query` is the item's first entry in
// the bus's query record.
void CheckItem(const Setup& s, int item, const std::string& prefix, const RecordingSink& sink,
               const ScriptedBus& bus, std::size_t first_query) {
  // Built only for a failure message.
  const auto what = [item] { return "item " + std::to_string(item) + ": "; };
  static std::vector<std::string_view> queries;
  ExpectedQueries(s, item, queries);
  FUZZ_CHECK(bus.queries.size() - first_query == queries.size(),
             what() + std::to_string(bus.queries.size() - first_query) + " queries");
  for (std::size_t i = 0; i < queries.size(); ++i)
    FUZZ_CHECK(bus.queries[first_query + i] == queries[i],
               what() + "query " + bus.queries[first_query + i]);

  static std::vector<LineShape> shapes;
  ExpectedLines(s, item, shapes);
  FUZZ_CHECK(sink.lines.size() == shapes.size(), what() + std::to_string(sink.lines.size()) +
                                                     " lines instead of " +
                                                     std::to_string(shapes.size()));
  bool any_failed = false;
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const LineShape& shape = shapes[i];
    const std::string& line = sink.lines[i];
    for (const char c : line)
      FUZZ_CHECK(c == '\t' || (c >= ' ' && c <= '~'), what() + "unprintable: " + Escaped(line));
    FUZZ_CHECK(line.compare(0, prefix.size(), prefix) == 0,
               what() + "no prefix " + Escaped(prefix) + ": " + Escaped(line));
    std::array<std::string_view, kMaxFields> fields;
    const std::size_t field_count = Fields(line, fields);
    const std::size_t count = shape.kind == Kind::kValueOnly ? 3 : 6;
    FUZZ_CHECK(field_count == count, what() + std::to_string(field_count) + " fields instead of " +
                                         std::to_string(count) + ": " + Escaped(line));
    FUZZ_CHECK(fields[1] == shape.name,
               what() + "name is not " + std::string(shape.name) + ": " + Escaped(line));

    std::string_view value = fields[2];
    if (shape.kind == Kind::kBerVerdict) {
      FUZZ_CHECK(!value.empty() && value.back() == '%', what() + "no %: " + Escaped(line));
      value.remove_suffix(1);
    }
    FUZZ_CHECK(IsNumberText(value, shape.value_decimals), what() + "value: " + Escaped(line));
    const bool value_missing =
        shape.value_query >= 0 && bus.NothingReceived(first_query + std::size_t(shape.value_query));
    if (value_missing && shape.kind == Kind::kBerVerdict) {
      FUZZ_CHECK(value == "99.99", what() + "no answer is not 99.99 %: " + Escaped(line));
    } else if (value_missing) {
      FUZZ_CHECK(IsNan(value), what() + "no answer but a value: " + Escaped(line));
    }
    // The integrity of the item's answer: the reference-level BER reads no ratio without it.
    const bool untrusted =
        shape.integrity_query >= 0 &&
        !IntegrityIsZero(bus.AnswerOf(first_query + std::size_t(shape.integrity_query)));
    if (untrusted && shape.kind == Kind::kBerVerdict && shape.integrity_query == 0)
      FUZZ_CHECK(value == "99.99", what() + "untrusted but not 99.99 %: " + Escaped(line));
    if (shape.kind == Kind::kNoVerdict) {
      FUZZ_CHECK(fields[3].empty() && fields[4].empty() && fields[5].empty(),
                 what() + "does not end in three TABs: " + Escaped(line));
      continue;
    }
    if (shape.kind == Kind::kValueOnly)
      continue;
    CheckLimit(fields[3], shape.limit1, shape.limit1_decimals, line);
    CheckLimit(fields[4], shape.limit2, shape.limit2_decimals, line);
    const std::string_view verdict = fields[5];
    FUZZ_CHECK(verdict == kPassedText || verdict == kFailedText,
               what() + "verdict: " + Escaped(line));
    const bool failed = verdict == kFailedText;
    any_failed = any_failed || failed;
    if (shape.verdict_query >= 0 &&
        bus.NothingReceived(first_query + static_cast<std::size_t>(shape.verdict_query)))
      FUZZ_CHECK(failed, what() + "passes without an answer: " + Escaped(line));
    // Nothing read from the answers may pass: no value, limit or flag, no trust.
    for (const int query : {shape.verdict_query, shape.value_query}) {
      if (query >= 0 && HoldsNoDigit(bus.AnswerOf(first_query + static_cast<std::size_t>(query))))
        FUZZ_CHECK(failed, what() + "passes on an answer without a number: " + Escaped(line));
    }
    FUZZ_CHECK(!untrusted || failed, what() + "passes on an untrusted answer: " + Escaped(line));
    const bool any_not_finite =
        IsNotFinite(value) || IsNotFinite(fields[3]) || IsNotFinite(fields[4]);
    FUZZ_CHECK(!any_not_finite || failed,
               what() + "passes on a value or limit that is not a number: " + Escaped(line));
    // The run's own limits (the test set judges ORFS itself): none, no pass.
    if (shape.limit1 == "nan" || shape.limit2 == "nan")
      FUZZ_CHECK(failed, what() + "passes without a limit: " + Escaped(line));
  }
  FUZZ_CHECK(any_failed == (sink.failures > 0), what() + std::to_string(sink.failures) +
                                                    " failures marked, failed line " +
                                                    (any_failed ? "present" : "absent"));
}

Setup ReadHead(const std::uint8_t* head, TestPlan& plan) {
  Setup s{};
  s.band = head[0] & 3;
  s.antenna = (head[0] & 4) != 0;
  s.scan = (head[0] & 8) != 0;
  s.every_level = (head[0] & 16) != 0;
  const int first = IsLowBand(s.band) ? 5 : 0;
  const int count = IsLowBand(s.band) ? 15 : 16;
  s.level = (head[0] & 64) ? static_cast<int>(static_cast<std::int8_t>(head[1]))
                           : first + head[1] % count;
  s.level_position = head[2] % kLevelListSize;
  std::memcpy(&s.ber_reference, head + 3, sizeof(float));

  const auto b = static_cast<std::size_t>(s.band);
  plan.bandEnabled[b] = 1;
  plan.scanMode[b] = s.scan ? 1 : 0;
  plan.antennaMode = s.antenna ? 1 : 0;
  plan.berReferenceLevel = s.ber_reference;
  plan.itemEnabled.fill(1);
  std::size_t n = 0;
  if (s.every_level) {
    for (int level = first; level < first + count; ++level)
      plan.levels[b][n++] = level;
  } else {
    plan.levels[b][n++] = s.level;
  }
  plan.levels[b][n] = kEndOfList;
  return s;
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vexa;
  using namespace vexa::fuzz;
  std::uint8_t head[kHeadSize] = {};
  std::memcpy(head, data, size < kHeadSize ? size : kHeadSize);
  const std::string_view answers =
      size > kHeadSize
          ? std::string_view(reinterpret_cast<const char*>(data) + kHeadSize, size - kHeadSize)
          : std::string_view();

  static TestPlan plan;
  plan = TestPlan{};
  const Setup s = ReadHead(head, plan);
  float previous_tx_power = 0;
  std::memcpy(&previous_tx_power, head + 7, sizeof(float));

  ScriptedBus bus(answers, (head[0] & 32) != 0);
  const char* band_name = kPlanBandNames[static_cast<std::size_t>(s.band)];
  const int channel = 1;
  for (int item = 0; item < kTestItemCount; ++item) {
    const bool transmitter = item < 4;
    const int level = transmitter ? s.level : (IsLowBand(s.band) ? 5 : 0);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%s:%d:%d\t", band_name, channel, level);
    const ItemContext context{plan, s.band, channel, level, s.level_position, previous_tx_power};
    RecordingSink sink;
    const std::size_t first_query = bus.queries.size();
    MeasureItem(bus, sink, context, item);
    CheckItem(s, item, prefix, sink, bus, first_query);
  }
  return 0;
}
