// One test item at a time on answers given by the test: the verdict at each limit, the exact
// result lines, the power-step check, the BER rules, the receiver checks in antenna mode, and
// what answers that hold nothing or too little give; the run's time caption and log name.
#include <gmock/gmock.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "instrument/gsm_measure.h"
#include "instrument/gsm_test_run.h"
#include "instrument/run_log.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Lines = std::vector<std::string>;

constexpr int kEgsm = 0, kDcs = 1, kPcs = 2, kGsm850 = 3;
constexpr int kTxPower = 0, kPvTime = 1, kPfError = 2, kOrfSpectrum = 3, kRxLevel = 4,
              kRxQuality = 5, kBitErrorRatio = 6;

// Answers queries from a script, in order per query text (the last one repeats); records
// every message sent. An answer of nullptr is a read with nothing received.
class ScriptedBus : public GsmBus {
 public:
  void Answer(const std::string& query, std::vector<const char*> answers) {
    script_[query] = std::deque<const char*>(answers.begin(), answers.end());
  }
  void Write(std::string_view command) override { sent.emplace_back(command); }
  std::string Query(std::string_view query, long size, long& received) override {
    sent.emplace_back(query);
    std::deque<const char*>& answers = script_[std::string(query)];
    const char* answer = answers.empty() ? nullptr : answers.front();
    if (answers.size() > 1)
      answers.pop_front();
    std::string text = answer ? answer : "";
    received = answer ? std::min<long>(static_cast<long>(text.size()) + 1, size) : 0;
    return text;
  }
  Lines sent;

 private:
  std::map<std::string, std::deque<const char*>> script_;
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
  // A short answer: the fields past its end read 0.
  result = Measure(bus, plan, kGsm850, 190, 12, kPvTime);
  EXPECT_EQ(result.lines[0], p + "PVT MASK\t0\t\t\tPassed");
  EXPECT_EQ(result.lines[8], p + "PVT@570.8us\t0.00\t\t\t");
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
      // A non-zero integrity is no ratio at the reference level only.
      {kDcs,
       false,
       false,
       {"1,10000,0.50", "1,10000,0.50"},
       {"BERR@-102.5\t99.99%\t0\t2.44\t" + std::string(f), "BERR@-23\t0.50%\t0\t2.44\tPassed"},
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

TEST(GsmMeasureTest, AnswerFieldsSkipOneSeparatorAndReadZeroPastTheEnd) {
  AnswerFields fields("1.5,-2E+01;;7\n");
  EXPECT_EQ(fields.Next(), 1.5);
  EXPECT_EQ(fields.Next(), -20);
  EXPECT_EQ(fields.Next(), 0);  // ";7": a separator where a number should be reads 0
  EXPECT_EQ(fields.Next(), 7);
  EXPECT_EQ(fields.Next(), 0);
  EXPECT_EQ(fields.Next(), 0);
  // Without a number every character is a field of 0 of its own.
  AnswerFields words("#?,3");
  words.Skip(2);
  EXPECT_EQ(words.Next(), 0);
  EXPECT_EQ(words.Next(), 3);
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
