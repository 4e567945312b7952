// The measurement of one test item of the GSM test run: the commands and queries it sends to
// the test set, how it reads the answers, the fixed limits it judges them by, and the result
// lines it writes. Qt-free and independent of the bus: it works on a GsmBus, so that the run,
// the tests and the fuzz target feed it answers alike.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "instrument/test_plan.h"

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
// previous one, so the separator is skipped whatever it is. Fields past the end of the answer
// read 0.
class AnswerFields {
 public:
  explicit AnswerFields(std::string answer) : answer_(std::move(answer)) {}
  // The next field as strtod gives it.
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
// An answer with nothing received gives no numbers to read; its values are then "not a number"
// ("nan" in the lines) and every check on them fails, so a missing result can never pass.
// BERRor keeps its own rule: nothing received is a ratio of 99.99 %.
void MeasureItem(GsmBus& bus, GsmResultSink& sink, const ItemContext& context, int item);

// True when the band's level list holds every level of the band's power table (the condition
// for the power-step check).
bool HoldsEveryLevel(const TestPlan& plan, int band);

}  // namespace vexa
