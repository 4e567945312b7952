// The measurement of one test item of the GSM test run: the commands and queries it sends to
// the test set, how it reads the answers, the fixed limits it judges them by, and the result
// lines it writes. Qt-free and independent of the bus: it works on a GsmBus, so that the run,
// the tests and the fuzz target feed it answers alike.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "instrument/runs/test_plan.h"

namespace vexa {

// The test set as the run sees it.
class GsmBus {
 public:
  virtual ~GsmBus() = default;
  // Sends one command (ibwrt, no terminator).
  virtual void Write(std::string_view command) = 0;
  // Sends a query and reads at most `size` bytes of its answer; returns the answer without
  // its terminator ("" when nothing was received) and sets `received` to the byte count read.
  virtual std::string Query(std::string_view query, long size, long& received) = 0;
};

// Where the result lines and the failures go.
class GsmResultSink {
 public:
  virtual ~GsmResultSink() = default;
  virtual void AppendLine(const std::string& line) = 0;
  // A check failed: the run's overall verdict becomes "Failed".
  virtual void MarkFailure() = 0;
};

// One row of a power table: the nominal burst power and its tolerance, dBm / dB.
struct PowerLimit {
  float nominal;
  float tolerance;
};

// Power control levels 5 to 19 of EGSM and GSM850.
extern const std::array<PowerLimit, 15> LowBandPowerTable;
// Power control levels 0 to 15 of DCS and PCS.
extern const std::array<PowerLimit, 16> HighBandPowerTable;
// The table row of `level` in `band`, or nullptr for a level outside the band's table.
const PowerLimit* PowerLimitFor(int band, int level);

// The offsets in the order the test set reports their results (the order the configuration
// set them up).
extern const std::array<float, 8> PvtTimeOffsetsUs;
extern const std::array<int, 8> SwitchingOffsetsKhz;
extern const std::array<int, 12> ModulationOffsetsKhz;

inline constexpr const char* kPassed = "Passed";
inline constexpr const char* kFailed = "Failed>>>>>>>>>>";

// The answer bytes read per query, and for the cell-band query.
inline constexpr long kAnswerSize = 1000;
inline constexpr long kCellBandQuerySize = 100;

// Reads an answer as a row of decimal numbers: the first field from the first character as
// strtod reads it (in the C locale), every next field from one character after the end of the
// previous one, so the separator is skipped whatever it is. The answer is a C text: it ends at
// its first zero byte, if any.
//
// A field that holds no number is missing and reads NaN, so that no check on it can pass:
//   - a field from which strtod reads nothing ("ERR", "--", "#", an empty field between two
//     separators) runs up to and including the next comma or semicolon (or to the end of the
//     answer); the next field starts after it. "1,xyz;2" reads 1, NaN, 2; "1,,2" reads 1, NaN, 2;
//   - a field at or past the end of the answer (a short or empty answer) reads NaN.
// A number strtod reads stays what it read, "NAN" and "INF" included, and so does a number
// followed by other characters ("12dB" reads 12, and the next field starts after the "d").
class AnswerFields {
 public:
  explicit AnswerFields(std::string answer);
  // The next field as strtod gives it, or NaN when the answer does not hold it as a number.
  double Next();
  // Reads and drops `count` fields.
  void Skip(int count);

 private:
  std::string answer_;  // owned: the answers are temporaries of the queries
  std::size_t position_ = 0;
};

// What MeasureItem needs of the run besides the bus and the sink.
struct ItemContext {
  const TestPlan& plan;
  int band;            // GsmBand index
  int channel;         // plan.channels[band][position]
  int level;           // the level of the line prefix
  int level_position;  // position in plan.levels[band] (transmitter items)
  // The TX power of the previous level in the same channel (the power-step check).
  float& previous_tx_power;
};

// Measures item `item` (0 TXPower ... 6 BERRor) and writes its result lines. The call check
// that precedes every item is the run's, not done here.
//
// A result the test set did not give never passes:
//   - a value the answer does not hold as a number (nothing received, an empty or garbled
//     answer, a short answer) is "not a number" ("nan" in the line); a value that is NaN or
//     infinite, by its absence or as read ("NAN", "9e99"), fails every check made on it, and
//     so does a missing or non-finite limit or a missing result flag (the PVT mask, the ORFS
//     flags: only a flag of 0 passes);
//   - the integrity indicator, field 1 of the FETCh answers (TXPower, PVTime, PFERror,
//     ORFSpectrum, BERRor), says whether the test set trusts its measurement: unless it reads
//     0, every check of the item fails (DIFF PWR included), while the values are logged as
//     read;
//   - DIFF PWR fails unless both powers are finite.
// BERRor keeps its own rule at the reference level: an integrity other than 0 (or missing), or
// nothing received, is a ratio of 99.99 %. At the high level nothing received also reads
// 99.99 %, and the integrity fails the check with the ratio logged as read.
void MeasureItem(GsmBus& bus, GsmResultSink& sink, const ItemContext& context, int item);

// True when the band's level list holds every level of the band's power table (the condition
// for the power-step check).
bool HoldsEveryLevel(const TestPlan& plan, int band);

}  // namespace vexa
