// One test item at a time on answers given by the test: the verdict at each limit, the exact
// result lines, the power-step check, the BER rules, the receiver checks in antenna mode, how
// answers are split into fields, and that answers holding no result (nothing, junk, too little,
// NaN or infinite numbers, an integrity other than 0) pass no check; the run's time caption and
// log name.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "instrument/runs/gsm_measure.h"
#include "instrument/runs/gsm_test_run.h"
#include "instrument/runs/run_log.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Lines = std::vector<std::string>;

constexpr int kEgsm = 0, kDcs = 1, kPcs = 2, kGsm850 = 3;
constexpr int kTxPower = 0, kPvTime = 1, kPfError = 2, kOrfSpectrum = 3, kRxLevel = 4,
              kRxQuality = 5, kBitErrorRatio = 6;

// Answers queries from a script, in order per query text (the last one repeats); records
// every message sent. An answer of nullptr (std::nullopt) is a read with nothing received; ""
// is an answer of its terminator alone.
class ScriptedBus : public GsmBus {
 public:
  using Script = std::vector<std::optional<std::string>>;
  void Answer(const std::string& query, std::vector<const char*> answers) {
    Script script;
    for (const char* answer : answers)
      script.push_back(answer ? std::optional<std::string>(answer) : std::nullopt);
    AnswerScript(query, script);
  }
  void AnswerScript(const std::string& query, const Script& answers) {
    script_[query] = std::deque<std::optional<std::string>>(answers.begin(), answers.end());
  }
  void Write(std::string_view command) override { sent.emplace_back(command); }
  std::string Query(std::string_view query, long size, long& received) override {
    sent.emplace_back(query);
    std::deque<std::optional<std::string>>& answers = script_[std::string(query)];
    const std::optional<std::string> answer =
        answers.empty() ? std::nullopt : std::optional<std::string>(answers.front());
    if (answers.size() > 1)
      answers.pop_front();
    std::string text = answer.value_or("");
    received = answer ? std::min<long>(static_cast<long>(text.size()) + 1, size) : 0;
    return text;
  }
  Lines sent;

 private:
  std::map<std::string, std::deque<std::optional<std::string>>> script_;
};

class RecordingSink : public GsmResultSink {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  void MarkFailure() override { ++failures; }
  Lines lines;
  int failures = 0;
};

void SetList(auto& list, std::vector<int> values) {
  values.push_back(kEndOfList);
  std::copy(values.begin(), values.end(), list.begin());
}

// A plan with `levels` of `band` and every item.
TestPlan PlanWithLevels(int band, std::vector<int> levels) {
  TestPlan plan;
  for (auto& list : plan.channels)
    SetList(list, {});
  for (auto& list : plan.levels)
    SetList(list, {});
  SetList(plan.levels[static_cast<std::size_t>(band)], std::move(levels));
  plan.itemEnabled = {1, 1, 1, 1, 1, 1, 1};
  plan.berReferenceLevel = -102.5f;
  return plan;
}

std::vector<int> EveryLevel(int band) {
  std::vector<int> levels;
  for (int level = IsLowBand(band) ? 5 : 0; level <= (IsLowBand(band) ? 19 : 15); ++level)
    levels.push_back(level);
  return levels;
}

struct Measured {
  Lines lines;
  int failures = 0;
  Lines sent;
};

Measured Measure(ScriptedBus& bus, const TestPlan& plan, int band, int channel, int level, int item,
                 int level_position = 0, float* previous = nullptr) {
  float own_previous = 0;
  RecordingSink sink;
  const ItemContext context{plan,  band,           channel,
                            level, level_position, previous ? *previous : own_previous};
  MeasureItem(bus, sink, context, item);
  return {sink.lines, sink.failures, bus.sent};
}

TEST(GsmMeasureTest, TxPowerPassesFromLowerToUpperLimitInclusive) {
  struct Case {
    int band, level;
    const char* answer;
    const char* line;
  };
  const Case cases[] = {
      {kEgsm, 5, "0,31.00", "EGSM:62:5\tTXPower      \t31.00\t31.00\t35.00\tPassed"},
      {kEgsm, 5, "0,35.00", "EGSM:62:5\tTXPower      \t35.00\t31.00\t35.00\tPassed"},
      {kEgsm, 5, "0,30.99", "EGSM:62:5\tTXPower      \t30.99\t31.00\t35.00\tFailed>>>>>>>>>>"},
      {kEgsm, 5, "0,35.01", "EGSM:62:5\tTXPower      \t35.01\t31.00\t35.00\tFailed>>>>>>>>>>"},
      {kEgsm, 6, "0,34.00", "EGSM:62:6\tTXPower      \t34.00\t28.00\t34.00\tPassed"},
      {kEgsm, 16, "0,16.00", "EGSM:62:16\tTXPower      \t16.00\t6.00\t16.00\tPassed"},
      {kGsm850, 19, "0,-0.01", "GSM850:62:19\tTXPower      \t-0.01\t0.00\t10.00\tFailed>>>>>>>>>>"},
      {kDcs, 15, "0,-5.00", "DCS:62:15\tTXPower      \t-5.00\t-5.00\t5.00\tPassed"},
      {kDcs, 15, "0,5.00", "DCS:62:15\tTXPower      \t5.00\t-5.00\t5.00\tPassed"},
      {kDcs, 15, "0,-5.01", "DCS:62:15\tTXPower      \t-5.01\t-5.00\t5.00\tFailed>>>>>>>>>>"},
      {kDcs, 15, "0,5.01", "DCS:62:15\tTXPower      \t5.01\t-5.00\t5.00\tFailed>>>>>>>>>>"},
      {kPcs, 0, "0,32.00", "PCS:62:0\tTXPower      \t32.00\t28.00\t32.00\tPassed"},
      {kPcs, 9, "0,8.00", "PCS:62:9\tTXPower      \t8.00\t8.00\t16.00\tPassed"},
      {kDcs, 14, "0,-3.01", "DCS:62:14\tTXPower      \t-3.01\t-3.00\t7.00\tFailed>>>>>>>>>>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ScriptedBus bus;
    bus.Answer("FETCh:TXPower?", {c.answer});
    const Measured result =
        Measure(bus, PlanWithLevels(c.band, {c.level}), c.band, 62, c.level, kTxPower);
    EXPECT_THAT(result.lines, ElementsAre(c.line));
    EXPECT_EQ(result.failures, std::string(c.line).ends_with("Passed") ? 0 : 1);
    EXPECT_THAT(result.sent, ElementsAre("FETCh:TXPower?"));
  }
}

TEST(GsmMeasureTest, PowerStepIsCheckedOnlyWhenTheBandListHoldsEveryLevel) {
  struct Case {
    const char* answer;
    const char* line;  // nullptr: no step line
  };
  const TestPlan every = PlanWithLevels(kEgsm, EveryLevel(kEgsm));
  // Later positions, after a level of 33 dBm.
  const Case steps[] = {
      {"0,32.5", "EGSM:1:6\tDIFF PWR      \t0.50\t0.5\t3.5\tPassed"},
      {"0,29.5", "EGSM:1:6\tDIFF PWR      \t3.50\t0.5\t3.5\tPassed"},
      {"0,32.51", "EGSM:1:6\tDIFF PWR      \t0.49\t0.5\t3.5\tFailed>>>>>>>>>>"},
      {"0,29.49", "EGSM:1:6\tDIFF PWR      \t3.51\t0.5\t3.5\tFailed>>>>>>>>>>"},
      {"0,33.5", "EGSM:1:6\tDIFF PWR      \t-0.50\t0.5\t3.5\tFailed>>>>>>>>>>"},
  };
  for (const Case& c : steps) {
    SCOPED_TRACE(c.line);
    ScriptedBus bus;
    bus.Answer("FETCh:TXPower?", {c.answer});
    float previous = 33.0f;
    const Measured result = Measure(bus, every, kEgsm, 1, 6, kTxPower, 1, &previous);
    ASSERT_EQ(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[1], c.line);
    EXPECT_EQ(previous, static_cast<float>(std::atof(c.answer + 2)));
  }

  // The first position only remembers its power.
  ScriptedBus bus;
  bus.Answer("FETCh:TXPower?", {"0,33.2"});
  float previous = -1;
  EXPECT_EQ(Measure(bus, every, kEgsm, 1, 5, kTxPower, 0, &previous).lines.size(), 1u);
  EXPECT_EQ(previous, 33.2f);

  // One level short of the table (also for the high bands): no step check, nothing remembered.
  std::vector<int> dcs = EveryLevel(kDcs);
  dcs.pop_back();
  for (const TestPlan& plan : {PlanWithLevels(kEgsm, {5, 7}), PlanWithLevels(kDcs, dcs)}) {
    previous = 40;
    const int band = plan.levels[kEgsm][0] == kEndOfList ? kDcs : kEgsm;
    EXPECT_EQ(Measure(bus, plan, band, 1, 7, kTxPower, 1, &previous).lines.size(), 1u);
    EXPECT_EQ(previous, 40);
  }
  previous = 20;
  EXPECT_EQ(
      Measure(bus, PlanWithLevels(kDcs, EveryLevel(kDcs)), kDcs, 1, 15, kTxPower, 15, &previous)
          .lines.size(),
      2u);
}

TEST(GsmMeasureTest, PhaseAndFrequencyErrorsPassUpToTheirLimitsEitherSign) {
  struct Case {
    int band;
    const char* answer;
    Lines lines;
  };
  const std::string p = "EGSM:62:5\t";
  const std::string d = "DCS:62:5\t";
  const char* f = "Failed>>>>>>>>>>";
  const Case cases[] = {
      {kEgsm,
       "0,5,20,90",
       {p + "RMS         \t5.00\t0\t5\tPassed", p + "PEAK         \t20.00\t0\t20\tPassed",
        p + "FREQ ERR\t90.00\t-90\t90\tPassed"}},
      {kEgsm,
       "0,-5,-20,-90",
       {p + "RMS         \t-5.00\t0\t5\tPassed", p + "PEAK         \t-20.00\t0\t20\tPassed",
        p + "FREQ ERR\t-90.00\t-90\t90\tPassed"}},
      {kEgsm,
       "0,5.01,-20.01,90.01",
       {p + "RMS         \t5.01\t0\t5\t" + f, p + "PEAK         \t-20.01\t0\t20\t" + f,
        p + "FREQ ERR\t90.01\t-90\t90\t" + f}},
      {kDcs,
       "0,0,0,-180",
       {d + "RMS         \t0.00\t0\t5\tPassed", d + "PEAK         \t0.00\t0\t20\tPassed",
        d + "FREQ ERR\t-180.00\t-180\t180\tPassed"}},
      {kDcs,
       "0;1;2;180.01",
       {d + "RMS         \t1.00\t0\t5\tPassed", d + "PEAK         \t2.00\t0\t20\tPassed",
        d + "FREQ ERR\t180.01\t-180\t180\t" + f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    ScriptedBus bus;
    bus.Answer("FETCh:PFERror?", {c.answer});
    const Measured result = Measure(bus, PlanWithLevels(c.band, {5}), c.band, 62, 5, kPfError);
    EXPECT_THAT(result.lines, ElementsAreArray(c.lines));
    int failed = 0;
    for (const std::string& line : c.lines)
      failed += line.ends_with(f);
    EXPECT_EQ(result.failures, failed);
  }
}

TEST(GsmMeasureTest, PowerVersusTimeLinesCarryTheOffsetsAndOnlyTheMaskIsJudged) {
  ScriptedBus bus;
  bus.Answer("FETCh:PVTime?", {"0,1,33.0,-68.4,-47.9,-7.1,0.06,-0.09,-8.8,-44.6,-67.2", "0,0"});
  const TestPlan plan = PlanWithLevels(kGsm850, {12});
  Measured result = Measure(bus, plan, kGsm850, 190, 12, kPvTime);
  const std::string p = "GSM850:190:12\t";
  EXPECT_THAT(result.lines,
              ElementsAre(p + "PVT MASK\t1\t\t\tFailed>>>>>>>>>>", p + "PVT@-28.0us\t-68.40\t\t\t",
                          p + "PVT@-18.0us\t-47.90\t\t\t", p + "PVT@-10.0us\t-7.10\t\t\t",
                          p + "PVT@0.0us\t0.06\t\t\t", p + "PVT@542.8us\t-0.09\t\t\t",
                          p + "PVT@552.8us\t-8.80\t\t\t", p + "PVT@560.8us\t-44.60\t\t\t",
                          p + "PVT@570.8us\t-67.20\t\t\t"));
  EXPECT_EQ(result.failures, 1);
  // A short answer: the mask it holds is judged, the powers past its end are missing.
  result = Measure(bus, plan, kGsm850, 190, 12, kPvTime);
  EXPECT_EQ(result.lines[0], p + "PVT MASK\t0\t\t\tPassed");
  EXPECT_EQ(result.lines[1], p + "PVT@-28.0us\tnan\t\t\t");
  EXPECT_EQ(result.lines[8], p + "PVT@570.8us\tnan\t\t\t");
  EXPECT_EQ(result.failures, 0);
}

TEST(GsmMeasureTest, OutputSpectrumJudgesEachOffsetByItsFlag) {
  ScriptedBus bus;
  bus.Answer("FETCh:ORFSpectrum?",
             {"0,33.05,-25.25,-25.26,-30.85,-30.86,-36.55,-36.56,-39.35,-39.36,26.25,-4.6,-4.61,"
              "-34.2,-34.21,-37.8,-37.81,-66.1,-66.11,-69.8,-69.81,-72.9,-72.91"});
  // Switching: flag, limit; modulation: flag, relative limit, absolute limit. The fourth
  // switching and the sixth modulation offset fail.
  bus.Answer("FETCh:ORFSpectrum:LIMit:ALL?",
             {"0,-23,0,-23,0,-26,1,-26,0,-32,0,-32,0,-36,0,-36,"
              "0,0.5,-36,0,0.5,-36,0,-30,-36,0,-30,-36,0,-33,-36,2,-33.25,-36,0,-60,-36,0,-60,"
              "-36,0,-60,-51,0,-60,-51,0,-63,-51,0,-63,-51"});
  const Measured result = Measure(bus, PlanWithLevels(kEgsm, {5}), kEgsm, 62, 5, kOrfSpectrum);
  const std::string p = "EGSM:62:5\t";
  ASSERT_EQ(result.lines.size(), 21u);
  EXPECT_EQ(result.lines[0], p + "SWI@400KHz\t-25.25\t-23\t-99\tPassed");
  EXPECT_EQ(result.lines[1], p + "SWI@-400KHz\t-25.26\t-23\t-99\tPassed");
  EXPECT_EQ(result.lines[3], p + "SWI@-600KHz\t-30.86\t-26\t-99\tFailed>>>>>>>>>>");
  EXPECT_EQ(result.lines[7], p + "SWI@-1800KHz\t-39.36\t-36\t-99\tPassed");
  EXPECT_EQ(result.lines[8], p + "30KBW Power\t26.25");
  EXPECT_EQ(result.lines[9], p + "MOD@100KHz\t-4.60\t0.5\t-36\tPassed");
  EXPECT_EQ(result.lines[14], p + "MOD@-250KHz\t-37.81\t-33.2\t-36\tFailed>>>>>>>>>>");
  EXPECT_EQ(result.lines[20], p + "MOD@-1800KHz\t-72.91\t-63.0\t-51\tPassed");
  EXPECT_EQ(result.failures, 2);
  EXPECT_THAT(result.sent, ElementsAre("FETCh:ORFSpectrum?", "FETCh:ORFSpectrum:LIMit:ALL?"));
}

TEST(GsmMeasureTest, ReceiverLevelAndQualityLimitsAndTheirCommands) {
  struct Case {
    int item;
    const char* low_answer;   // at -102.5 dBm
    const char* high_answer;  // at -62.5 dBm
    const char* low_line;
    const char* high_line;
  };
  const char* f = "Failed>>>>>>>>>>";
  const Case cases[] = {
      {kRxLevel, "9,9,4", "50,50,44", "RXL@-102.5\t4\t4\t12\tPassed",
       "RXL@-62.5\t44\t44\t52\tPassed"},
      {kRxLevel, "0,0,12", "0,0,52", "RXL@-102.5\t12\t4\t12\tPassed",
       "RXL@-62.5\t52\t44\t52\tPassed"},
      {kRxLevel, "9,9,3", "50,50,43", "RXL@-102.5\t3\t4\t12\tFailed>>>>>>>>>>",
       "RXL@-62.5\t43\t44\t52\tFailed>>>>>>>>>>"},
      {kRxLevel, "9,9,13", "50,50,53", "RXL@-102.5\t13\t4\t12\tFailed>>>>>>>>>>",
       "RXL@-62.5\t53\t44\t52\tFailed>>>>>>>>>>"},
      {kRxQuality, "0,0,3", "7,7,0", "RXQ@-102.5\t3\t0\t3\tPassed", "RXQ@-62.5\t0\t0\t3\tPassed"},
      {kRxQuality, "0,0,4", "0,0,-1", "RXQ@-102.5\t4\t0\t3\tFailed>>>>>>>>>>",
       "RXQ@-62.5\t-1\t0\t3\tPassed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.low_line);
    const std::string query = c.item == kRxLevel ? "CALL:MS:REPorted:RXLevel:NEW?;NEW?;NEW?"
                                                 : "CALL:MS:REPorted:RXQuality:NEW?;NEW?;NEW?";
    for (bool antenna : {false, true}) {
      ScriptedBus bus;
      bus.Answer(query, {c.low_answer, c.high_answer});
      if (antenna)
        bus.Answer(query, {c.high_answer});
      TestPlan plan = PlanWithLevels(kDcs, {});
      plan.antennaMode = antenna;
      const Measured result = Measure(bus, plan, kDcs, 700, 0, c.item);
      const std::string p = "DCS:700:0\t";
      const Lines high_only = {"CALL:POW -62.5dBm", query, "CALL:POW -65dBm"};
      if (antenna) {
        EXPECT_THAT(result.lines, ElementsAre(p + c.high_line));
        EXPECT_EQ(result.sent, high_only);
      } else {
        EXPECT_THAT(result.lines, ElementsAre(p + c.low_line, p + c.high_line));
        EXPECT_THAT(result.sent, ElementsAre("CALL:POW -102.5dBm", query, "CALL:POW -62.5dBm",
                                             query, "CALL:POW -65dBm"));
      }
      int failed = std::string(c.high_line).ends_with(f);
      if (!antenna)
        failed += std::string(c.low_line).ends_with(f);
      EXPECT_EQ(result.failures, failed);
    }
  }
}

TEST(GsmMeasureTest, BitErrorRatioRules) {
  struct Case {
    int band;
    bool scan, antenna;
    std::vector<const char*> answers;  // reference level, then high level
    Lines lines;
    Lines sent;
  };
  const char* f = "Failed>>>>>>>>>>";
  const std::string q = "FETCh:BERRor?";
  const Case cases[] = {
      // Exactly 2.44 is held just above 2.44 and fails; 2.43 passes.
      {kEgsm,
       false,
       false,
       {"0,10000,2.44", "0,10000,2.43"},
       {"BERR@-102.5\t2.44%\t0\t2.44\t" + std::string(f), "BERR@-15\t2.43%\t0\t2.44\tPassed"},
       {"CALL:POW -102.500000dBm", "INITIATE:BERRor:ON", q, "CALL:POW -15dBm", "INITIATE:BERRor:ON",
        q, "CALL:POW -65dBm"}},
      // A non-zero integrity is no ratio at the reference level; at the high level the ratio
      // is logged as read, and fails.
      {kDcs,
       false,
       false,
       {"1,10000,0.50", "1,10000,0.50"},
       {"BERR@-102.5\t99.99%\t0\t2.44\t" + std::string(f),
        "BERR@-23\t0.50%\t0\t2.44\t" + std::string(f)},
       {"CALL:POW -102.500000dBm", "INITIATE:BERRor:ON", q, "CALL:POW -23dBm", "INITIATE:BERRor:ON",
        q, "CALL:POW -65dBm"}},
      // Nothing received is no ratio at both levels.
      {kPcs,
       false,
       false,
       {nullptr},
       {"BERR@-102.5\t99.99%\t0\t2.44\t" + std::string(f),
        "BERR@-23\t99.99%\t0\t2.44\t" + std::string(f)},
       {"CALL:POW -102.500000dBm", "INITIATE:BERRor:ON", q, "CALL:POW -23dBm", "INITIATE:BERRor:ON",
        q, "CALL:POW -65dBm"}},
      // Scan mode or antenna mode leave out the high level.
      {kGsm850,
       true,
       false,
       {"0,10000,0"},
       {"BERR@-102.5\t0.00%\t0\t2.44\tPassed"},
       {"CALL:POW -102.500000dBm", "INITIATE:BERRor:ON", q, "CALL:POW -65dBm"}},
      {kEgsm,
       false,
       true,
       {"0,10000,0"},
       {"BERR@-102.5\t0.00%\t0\t2.44\tPassed"},
       {"CALL:POW -102.500000dBm", "INITIATE:BERRor:ON", q, "CALL:POW -65dBm"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.front());
    ScriptedBus bus;
    bus.Answer(q, c.answers);
    TestPlan plan = PlanWithLevels(c.band, {});
    plan.scanMode[static_cast<std::size_t>(c.band)] = c.scan;
    plan.antennaMode = c.antenna;
    const Measured result = Measure(bus, plan, c.band, 1, 7, kBitErrorRatio);
    Lines expected;
    const std::string prefix =
        std::string(kPlanBandNames[static_cast<std::size_t>(c.band)]) + ":1:7\t";
    int failed = 0;
    for (const std::string& line : c.lines) {
      expected.push_back(prefix + line);
      failed += line.ends_with(f);
    }
    EXPECT_EQ(result.lines, expected);
    EXPECT_EQ(result.sent, c.sent);
    EXPECT_EQ(result.failures, failed);
  }
}

TEST(GsmMeasureTest, NothingReceivedFailsEveryCheckWithNan) {
  const TestPlan plan = PlanWithLevels(kEgsm, EveryLevel(kEgsm));
  for (int item : {kTxPower, kPvTime, kPfError, kOrfSpectrum, kRxLevel, kRxQuality}) {
    SCOPED_TRACE(item);
    ScriptedBus bus;  // answers nothing to every query
    float previous = 33;
    const Measured result = Measure(bus, plan, kEgsm, 62, 6, item, 1, &previous);
    int judged = 0;
    for (const std::string& line : result.lines) {
      EXPECT_THAT(line, ::testing::HasSubstr("\tnan")) << line;
      EXPECT_THAT(line, ::testing::Not(::testing::HasSubstr("Passed"))) << line;
      judged += line.ends_with("Failed>>>>>>>>>>");
    }
    EXPECT_EQ(result.failures, judged);
    EXPECT_GT(judged, 0);
  }
  ScriptedBus bus;
  float previous = 33;
  EXPECT_THAT(Measure(bus, plan, kEgsm, 62, 6, kTxPower, 1, &previous).lines,
              ElementsAre("EGSM:62:6\tTXPower      \tnan\t28.00\t34.00\tFailed>>>>>>>>>>",
                          "EGSM:62:6\tDIFF PWR      \tnan\t0.5\t3.5\tFailed>>>>>>>>>>"));
}

// The fields an answer gives, as printf writes them ("nan" for a missing one).
Lines ReadFields(std::string answer, int count) {
  AnswerFields fields(std::move(answer));
  Lines read;
  for (int i = 0; i < count; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", fields.Next());
    read.emplace_back(text);
  }
  return read;
}

TEST(GsmMeasureTest, AnswerFieldsSkipOneCharacterAfterANumberAndAFieldWithoutOneToItsSeparator) {
  struct Case {
    std::string answer;
    Lines fields;
  };
  const Case cases[] = {
      // Well-formed: one separator, whatever it is, after each number.
      {"1.5,-2E+01;7", {"1.5", "-20", "7", "nan"}},
      {"0 33.05|+.5", {"0", "33.05", "0.5", "nan"}},
      {"  4,\t5", {"4", "5", "nan", "nan"}},  // strtod skips leading white space
      // Fields without a number are missing and end at their separator.
      {"1.5,-2E+01;;7\n", {"1.5", "-20", "nan", "7", "nan", "nan"}},
      {"ERR!#,@@,--,xyz;;", {"nan", "nan", "nan", "nan", "nan", "nan"}},
      {"#?,3", {"nan", "3", "nan"}},
      {",,2", {"nan", "nan", "2"}},
      {"", {"nan", "nan"}},
      {"\n", {"nan", "nan"}},
      {"abc", {"nan", "nan"}},
      // A number stays what strtod reads, also when something follows it.
      {"12dB,5", {"12", "nan", "5"}},
      {"NAN,inf;-9e99,1e999", {"nan", "inf", "-9e+99", "inf"}},
      {"0x10,1", {"16", "1"}},
      // The answer ends at a zero byte.
      {std::string("1,2\0,3", 6), {"1", "2", "nan", "nan"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    EXPECT_EQ(ReadFields(c.answer, static_cast<int>(c.fields.size())), c.fields);
  }
}

// ---------------------------------------------------------------------------------------------
// Answers that do not hold the results: every item on the same kinds of bad answers.

// The answers of one item that pass every check, and the lines they give (prefix
// "EGSM:62:6\t", every level in the plan, level position 1, a previous power of 33 dBm).
struct ItemScript {
  int item;
  std::vector<std::pair<std::string, Lines>> answers;  // per query, in order
  Lines lines;
  bool integrity;  // the answers' first field is the integrity indicator
};

const char* const kOrfsResults =
    "0,33.05,-25.25,-25.26,-30.85,-30.86,-36.55,-36.56,-39.35,-39.36,26.25,-4.6,-4.61,-34.2,"
    "-34.21,-37.8,-37.81,-66.1,-66.11,-69.8,-69.81,-72.9,-72.91";
const char* const kOrfsLimits =
    "0,-23,0,-23,0,-26,0,-26,0,-32,0,-32,0,-36,0,-36,0,0.5,-36,0,0.5,-36,0,-30,-36,0,-30,-36,0,"
    "-33,-36,0,-33.25,-36,0,-60,-36,0,-60,-36,0,-60,-51,0,-60,-51,0,-63,-51,0,-63,-51";

std::vector<ItemScript> PassingScripts() {
  const std::string p = "EGSM:62:6\t";
  Lines orfs;
  const char* const switching[] = {"400KHz\t-25.25\t-23",  "-400KHz\t-25.26\t-23",
                                   "600KHz\t-30.85\t-26",  "-600KHz\t-30.86\t-26",
                                   "1200KHz\t-36.55\t-32", "-1200KHz\t-36.56\t-32",
                                   "1800KHz\t-39.35\t-36", "-1800KHz\t-39.36\t-36"};
  for (const char* line : switching)
    orfs.push_back(p + "SWI@" + line + "\t-99\tPassed");
  orfs.push_back(p + "30KBW Power\t26.25");
  const char* const modulation[] = {
      "100KHz\t-4.60\t0.5\t-36",     "-100KHz\t-4.61\t0.5\t-36",    "200KHz\t-34.20\t-30.0\t-36",
      "-200KHz\t-34.21\t-30.0\t-36", "250KHz\t-37.80\t-33.0\t-36",  "-250KHz\t-37.81\t-33.2\t-36",
      "400KHz\t-66.10\t-60.0\t-36",  "-400KHz\t-66.11\t-60.0\t-36", "600KHz\t-69.80\t-60.0\t-51",
      "-600KHz\t-69.81\t-60.0\t-51", "1800KHz\t-72.90\t-63.0\t-51", "-1800KHz\t-72.91\t-63.0\t-51"};
  for (const char* line : modulation)
    orfs.push_back(p + "MOD@" + line + "\tPassed");
  const std::string rxl = "CALL:MS:REPorted:RXLevel:NEW?;NEW?;NEW?";
  const std::string rxq = "CALL:MS:REPorted:RXQuality:NEW?;NEW?;NEW?";
  return {
      {kTxPower,
       {{"FETCh:TXPower?", {"0,31.00"}}},
       {p + "TXPower      \t31.00\t28.00\t34.00\tPassed",
        p + "DIFF PWR      \t2.00\t0.5\t3.5\tPassed"},
       true},
      {kPvTime,
       {{"FETCh:PVTime?", {"0,0,33.0,-68.4,-47.9,-7.1,0.06,-0.09,-8.8,-44.6,-67.2"}}},
       {p + "PVT MASK\t0\t\t\tPassed", p + "PVT@-28.0us\t-68.40\t\t\t",
        p + "PVT@-18.0us\t-47.90\t\t\t", p + "PVT@-10.0us\t-7.10\t\t\t",
        p + "PVT@0.0us\t0.06\t\t\t", p + "PVT@542.8us\t-0.09\t\t\t", p + "PVT@552.8us\t-8.80\t\t\t",
        p + "PVT@560.8us\t-44.60\t\t\t", p + "PVT@570.8us\t-67.20\t\t\t"},
       true},
      {kPfError,
       {{"FETCh:PFERror?", {"0,1.5,-4.2,-20"}}},
       {p + "RMS         \t1.50\t0\t5\tPassed", p + "PEAK         \t-4.20\t0\t20\tPassed",
        p + "FREQ ERR\t-20.00\t-90\t90\tPassed"},
       true},
      {kOrfSpectrum,
       {{"FETCh:ORFSpectrum?", {kOrfsResults}}, {"FETCh:ORFSpectrum:LIMit:ALL?", {kOrfsLimits}}},
       orfs,
       true},
      {kRxLevel,
       {{rxl, {"9,9,8", "50,50,48"}}},
       {p + "RXL@-102.5\t8\t4\t12\tPassed", p + "RXL@-62.5\t48\t44\t52\tPassed"},
       false},
      {kRxQuality,
       {{rxq, {"0,0,1", "0,0,0"}}},
       {p + "RXQ@-102.5\t1\t0\t3\tPassed", p + "RXQ@-62.5\t0\t0\t3\tPassed"},
       false},
      {kBitErrorRatio,
       {{"FETCh:BERRor?", {"0,10000,0.15", "0,10000,0.09"}}},
       {p + "BERR@-102.5\t0.15%\t0\t2.44\tPassed", p + "BERR@-15\t0.09%\t0\t2.44\tPassed"},
       true},
  };
}

// Measures `script`'s item with `answer_of` applied to each of its answers.
Measured MeasureScript(
    const ItemScript& script,
    const std::function<std::optional<std::string>(const std::string&, const std::string&)>&
        answer_of,
    float previous = 33) {
  ScriptedBus bus;
  for (const auto& [query, answers] : script.answers) {
    ScriptedBus::Script changed;
    for (const std::string& answer : answers)
      changed.push_back(answer_of(query, answer));
    bus.AnswerScript(query, changed);
  }
  const TestPlan plan = PlanWithLevels(kEgsm, EveryLevel(kEgsm));
  return Measure(bus, plan, kEgsm, 62, 6, script.item, 1, &previous);
}

std::vector<std::string> TabFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

int CountEnding(const Lines& lines, const std::string& end) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [&](const std::string& l) { return l.ends_with(end); }));
}

std::string Repeated(const std::string& field, int count) {
  std::string row = field;
  for (int i = 1; i < count; ++i)
    row += "," + field;
  return row;
}

TEST(GsmMeasureTest, WellFormedAnswersOfEveryItemPassWithTheirLines) {
  for (const ItemScript& script : PassingScripts()) {
    SCOPED_TRACE(script.item);
    const Measured result =
        MeasureScript(script, [](const std::string&, const std::string& a) { return a; });
    EXPECT_EQ(result.lines, script.lines);
    EXPECT_EQ(result.failures, 0);
  }
}

TEST(GsmMeasureTest, AnswersThatDoNotHoldTheResultsFailEveryCheckOfEveryItem) {
  struct Bad {
    const char* name;
    std::optional<std::string> answer;  // nullopt: nothing received
    const char* ber_reference;          // the ratio of the reference-level BER line
    const char* ber_high;
  };
  const Bad bads[] = {
      {"junk", "ERR!#,@@,--,xyz;;", "99.99%", "nan%"},
      {"an empty line", "", "99.99%", "nan%"},
      {"nothing received", std::nullopt, "99.99%", "99.99%"},
      {"NAN", "NAN", "99.99%", "nan%"},
      {"NAN values", "0," + Repeated("NAN", 40), "nan%", "nan%"},
      {"9e99", Repeated("9e99", 41), "99.99%", "inf%"},
      {"-9e99 values", "0," + Repeated("-9e99", 40), "-inf%", "-inf%"},
  };
  for (const ItemScript& script : PassingScripts()) {
    for (const Bad& bad : bads) {
      SCOPED_TRACE(std::to_string(script.item) + ": " + bad.name);
      const Measured result = MeasureScript(
          script, [&bad](const std::string&, const std::string&) { return bad.answer; });
      // The same lines, none passed, every value missing or not finite.
      ASSERT_EQ(result.lines.size(), script.lines.size());
      for (std::size_t i = 0; i < result.lines.size(); ++i) {
        const std::string& line = result.lines[i];
        SCOPED_TRACE(line);
        const std::vector<std::string> fields = TabFields(line);
        const std::vector<std::string> good = TabFields(script.lines[i]);
        ASSERT_EQ(fields.size(), good.size());
        EXPECT_EQ(fields[1], good[1]);
        if (script.item == kBitErrorRatio) {
          EXPECT_EQ(fields[2], i == 0 ? bad.ber_reference : bad.ber_high);
        } else {
          EXPECT_THAT(fields[2], ::testing::AnyOf("nan", "-nan", "inf", "-inf"));
        }
        if (good.back() == "Passed") {
          EXPECT_EQ(fields.back(), "Failed>>>>>>>>>>");
        }
      }
      EXPECT_EQ(result.failures, CountEnding(script.lines, "Passed"));
      EXPECT_EQ(CountEnding(result.lines, "Failed>>>>>>>>>>"), result.failures);
    }
  }
}

TEST(GsmMeasureTest, AnIntegrityOtherThanZeroFailsTheItemsChecksWithTheValuesAsRead) {
  for (const ItemScript& script : PassingScripts()) {
    if (!script.integrity)
      continue;
    for (const char* integrity : {"1", "-1", "0.5", "", "x", "NAN", "9e99"}) {
      SCOPED_TRACE(std::to_string(script.item) + ": integrity '" + integrity + "'");
      // The integrity replaces the first field of the results (not of the ORFS limits).
      const Measured result =
          MeasureScript(script, [integrity](const std::string& query, const std::string& answer) {
            if (query == "FETCh:ORFSpectrum:LIMit:ALL?")
              return answer;
            return integrity + answer.substr(answer.find(','));
          });
      Lines expected = script.lines;
      for (std::string& line : expected) {
        if (line.ends_with("Passed"))
          line.replace(line.size() - 6, 6, "Failed>>>>>>>>>>");
      }
      if (script.item == kBitErrorRatio)  // the reference level reads no ratio
        expected[0] = "EGSM:62:6\tBERR@-102.5\t99.99%\t0\t2.44\tFailed>>>>>>>>>>";
      EXPECT_EQ(result.lines, expected);
      EXPECT_EQ(result.failures, CountEnding(script.lines, "Passed"));
    }
  }
}

TEST(GsmMeasureTest, PowerStepFailsWithoutBothPowers) {
  struct Case {
    float previous;
    const char* answer;
    const char* step;
    int failures;  // with the TX power's own check
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const char* f = "Failed>>>>>>>>>>";
  const Case cases[] = {
      {2.0f, "ERR", "nan", 2},  // a garbled power once read as 0, a step of 2
      {2.0f, "0,", "nan", 2},  {nan, "0,31", "nan", 1},
      {inf, "0,31", "inf", 1}, {33.0f, "0,-9e99", "inf", 2},
  };
  const TestPlan plan = PlanWithLevels(kEgsm, EveryLevel(kEgsm));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    ScriptedBus bus;
    bus.Answer("FETCh:TXPower?", {c.answer});
    float previous = c.previous;
    const Measured result = Measure(bus, plan, kEgsm, 62, 6, kTxPower, 1, &previous);
    ASSERT_EQ(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[1],
              std::string("EGSM:62:6\tDIFF PWR      \t") + c.step + "\t0.5\t3.5\t" + f);
    EXPECT_EQ(result.failures, c.failures);
  }
}

TEST(GsmMeasureTest, OutputSpectrumFailsAnOffsetWhoseLimitIsMissing) {
  ScriptedBus bus;
  bus.Answer("FETCh:ORFSpectrum?", {kOrfsResults});
  // The first switching offset with its flag and limit; the second with its flag only.
  bus.Answer("FETCh:ORFSpectrum:LIMit:ALL?", {"0,-23,0"});
  const Measured result = Measure(bus, PlanWithLevels(kEgsm, {5}), kEgsm, 62, 5, kOrfSpectrum);
  const std::string p = "EGSM:62:5\t";
  ASSERT_EQ(result.lines.size(), 21u);
  EXPECT_EQ(result.lines[0], p + "SWI@400KHz\t-25.25\t-23\t-99\tPassed");
  EXPECT_EQ(result.lines[1], p + "SWI@-400KHz\t-25.26\tnan\t-99\tFailed>>>>>>>>>>");
  EXPECT_EQ(result.lines[8], p + "30KBW Power\t26.25");
  EXPECT_EQ(result.lines[9], p + "MOD@100KHz\t-4.60\tnan\tnan\tFailed>>>>>>>>>>");
  EXPECT_EQ(result.failures, 19);

  // Flags of 0 with limits that are not finite.
  bus.Answer("FETCh:ORFSpectrum:LIMit:ALL?", {("0,9e99,0,-23," + Repeated("0", 60)).c_str()});
  const Measured infinite = Measure(bus, PlanWithLevels(kEgsm, {5}), kEgsm, 62, 5, kOrfSpectrum);
  EXPECT_EQ(infinite.lines[0], p + "SWI@400KHz\t-25.25\tinf\t-99\tFailed>>>>>>>>>>");
  EXPECT_EQ(infinite.lines[1], p + "SWI@-400KHz\t-25.26\t-23\t-99\tPassed");
  EXPECT_EQ(infinite.failures, 1);
}

TEST(GsmMeasureTest, PowerTablesFollowTheNominalPowersAndTolerances) {
  for (int level = 5; level <= 19; ++level) {
    const PowerLimit* limit = PowerLimitFor(kGsm850, level);
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->nominal, 33 - 2 * (level - 5));
    EXPECT_EQ(limit->tolerance, level == 5 ? 2 : level <= 15 ? 3 : 5) << level;
  }
  for (int level = 0; level <= 15; ++level) {
    const PowerLimit* limit = PowerLimitFor(kPcs, level);
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->nominal, 30 - 2 * level);
    EXPECT_EQ(limit->tolerance, level == 0 ? 2 : level <= 8 ? 3 : level <= 13 ? 4 : 5) << level;
  }
  EXPECT_EQ(PowerLimitFor(kEgsm, 4), nullptr);
  EXPECT_EQ(PowerLimitFor(kEgsm, 20), nullptr);
  EXPECT_EQ(PowerLimitFor(kDcs, 16), nullptr);
  EXPECT_EQ(PowerLimitFor(kDcs, -1), nullptr);
}

TEST(GsmRunTimeTest, CaptionShowsWholeMinutesAndSecondsOfTheMinute) {
  EXPECT_EQ(TestTimeCaption(0), "Test time is 00m:00s");
  EXPECT_EQ(TestTimeCaption(999.9), "Test time is 00m:00s");
  EXPECT_EQ(TestTimeCaption(59999), "Test time is 00m:59s");
  EXPECT_EQ(TestTimeCaption(60000), "Test time is 01m:00s");
  EXPECT_EQ(TestTimeCaption(65500), "Test time is 01m:05s");
  EXPECT_EQ(TestTimeCaption(3599999), "Test time is 59m:59s");
  EXPECT_EQ(TestTimeCaption(6000000), "Test time is 100m:00s");
}

TEST(GsmRunLogNameTest, HourPlusEightIsNotWrapped) {
  EXPECT_EQ(LogFileStem({2006, 12, 25, 23, 30}), "3130-20061225");
  EXPECT_EQ(LogFileStem({2007, 1, 2, 0, 5}), "0805-20070102");
  EXPECT_EQ(LogFileStem({2010, 10, 9, 15, 59}), "2359-20101009");
}

}  // namespace
}  // namespace vexa
