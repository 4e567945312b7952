// The current drain test against the simulated DC source: the set-up commands and refusals,
// the histogram buckets, the summary's start values, a scripted run against a golden file and
// its log bytes, Stop, demo mode without an instrument, cancelling, console lines during a run
// and the log names.
#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.h"
#include "core/text_format.h"
#include "instrument/runs/current_test_run.h"
#include "instrument_test_support.h"
#include "support/text_files.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;
using testing::CrLf;
using testing::ReadFile;

// The "66319" page: the memo (which forwards to the attached log, as the page must), every
// other effect in one ordered list, and the batches. Also the DC-source session's memo.
class FakeView : public CurrentRunView, public MemoSink {
 public:
  void AppendLine(const std::string& line) override {
    std::lock_guard<std::mutex> lock(mutex_);
    memo_.push_back(line);
    if (log_)
      log_->AppendLine(line);
  }
  void ClearMemo() override {
    std::lock_guard<std::mutex> lock(mutex_);
    memo_.clear();
    effects_.push_back("clear");
  }
  std::vector<std::string> MemoLines() override { return Memo(); }
  void AttachLog(MemoSink* log) override {
    std::lock_guard<std::mutex> lock(mutex_);
    log_ = log;
    effects_.push_back(log ? "attach" : "detach");
  }
  void SetTestTime(const std::string& caption) override { Add(caption); }
  void SetAverage(const std::string& caption) override { Add(caption); }
  void SetRunning(bool running) override { Add(running ? "running" : "not running"); }
  bool DemoMode() override { return demo; }
  void BatchFinished(const CurrentBatch& batch) override {
    std::lock_guard<std::mutex> lock(mutex_);
    batches_.push_back(batch);
  }

  Lines Memo() {
    std::lock_guard<std::mutex> lock(mutex_);
    return memo_;
  }
  std::size_t MemoSize() {
    std::lock_guard<std::mutex> lock(mutex_);
    return memo_.size();
  }
  Lines Effects() {
    std::lock_guard<std::mutex> lock(mutex_);
    return effects_;
  }
  std::vector<CurrentBatch> Batches() {
    std::lock_guard<std::mutex> lock(mutex_);
    return batches_;
  }

  std::atomic<bool> demo = false;

 private:
  void Add(const std::string& effect) {
    std::lock_guard<std::mutex> lock(mutex_);
    effects_.push_back(effect);
  }
  std::mutex mutex_;
  Lines memo_;
  Lines effects_;
  std::vector<CurrentBatch> batches_;
  MemoSink* log_ = nullptr;
};

// Every reading of the clock moves it on by `step_ms`: the run reads it at its start and after
// each batch, so a test time of T ms ends after ceil(T / step_ms) batches.
class SteppingClock : public RunClock {
 public:
  double NowMs() override { return ms.fetch_add(step_ms); }
  UtcTime NowUtc() override { return {2006, 12, 25, 1, 30}; }
  std::atomic<double> ms = 1000;
  double step_ms = 50;
};

// `count` copies of `answer`, separated by ';'.
std::string Repeat(const std::string& answer, int count) {
  std::string script;
  for (int i = 0; i < count; ++i)
    script += (i ? ";" : "") + answer;
  return script;
}

constexpr const char* kOneBatch = "0.0005";  // 30 ms: one batch with the clock's 50 ms steps

class CurrentRunTest : public testing::SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    vexa_sim_set_speed(0);
    DcSourceDevice.SetMemo(&view);
    char pattern[] = "/tmp/vexa-current-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    temp_ = pattern;
    options.log_directory = temp_ + "/Current Log";
    options.settle_ms = 0;
  }
  void TearDown() override {
    DcSourceDevice.DetachMemo(&view);
    std::filesystem::remove_all(temp_);
    SimulatorTest::TearDown();
  }

  Lines DcSourceCommandsSince(int mark) const {
    const Lines log = testing::SimLog(testing::kDcSourceAddress);
    return Lines(log.begin() + std::min<std::ptrdiff_t>(mark, std::ssize(log)), log.end());
  }
  // Everything in the log directory, hidden files included.
  Lines LogFiles() const {
    Lines names;
    if (std::filesystem::exists(options.log_directory)) {
      for (const auto& entry : std::filesystem::directory_iterator(options.log_directory))
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // A whole run of `settings` on this thread.
  RunOutcome ConfigureAndRun(CurrentTestRun& run, const CurrentSettings& settings) {
    EXPECT_TRUE(run.Configure(settings, view.demo));
    return run.Run();
  }

  std::string temp_;
  CurrentRunOptions options;
  FakeView view;
  SteppingClock clock;
};

TEST_F(CurrentRunTest, SetUpSendsTheCommandsAndRefusesBadFieldsWhereTheChecksStand) {
  const Lines kStart = {"VOLT 3.80", "SENS:CURR:DET ACDC", "SENS:CURR:RANG 3"};
  const auto with = [&](Lines more) {
    Lines all = kStart;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  struct Case {
    const char* name;
    CurrentSettings settings;
    bool accepted;
    Lines commands;
    Lines memo;
  };
  const auto set = [](auto change) {
    CurrentSettings settings;
    change(settings);
    return settings;
  };
  const Case cases[] = {
      {"defaults", {}, true, with({"SENS:SWE:TINT 20.00E-6", "SENS:SWE:POIN 4096"}), {}},
      {"idle mode",
       set([](auto& s) { s.mode = 1; }),
       true,
       {"VOLT 3.80", "SENS:CURR:DET ACDC", "SENS:CURR:RANG 1", "SENS:SWE:TINT 20.00E-6",
        "SENS:SWE:POIN 4096"},
       {}},
      {"shutdown mode, odd voltage",
       set([](auto& s) {
         s.mode = 2;
         s.voltage = "3.333";
       }),
       true,
       {"VOLT 3.33", "SENS:CURR:DET ACDC", "SENS:CURR:RANG 0.02", "SENS:SWE:TINT 20.00E-6",
        "SENS:SWE:POIN 4096"},
       {}},
      {"no mode chosen",
       set([](auto& s) { s.mode = -1; }),
       true,
       {"VOLT 3.80", "SENS:CURR:DET ACDC", "SENS:SWE:TINT 20.00E-6", "SENS:SWE:POIN 4096"},
       {}},
      {"interval 15.5",
       set([](auto& s) { s.interval = "15.5"; }),
       false,
       kStart,
       {kSampleRateRefusal}},
      {"interval 15.6",
       set([](auto& s) { s.interval = "15.6"; }),
       true,
       with({"SENS:SWE:TINT 15.60E-6", "SENS:SWE:POIN 4096"}),
       {}},
      {"interval 31200 s",
       set([](auto& s) { s.interval = "3.12E10"; }),
       true,
       with({"SENS:SWE:TINT 31200000000.00E-6", "SENS:SWE:POIN 4096"}),
       {}},
      {"interval above 31200 s",
       set([](auto& s) { s.interval = "3.13E10"; }),
       false,
       kStart,
       {kSampleRateRefusal}},
      {"0 points",
       set([](auto& s) { s.points = "0"; }),
       false,
       with({"SENS:SWE:TINT 20.00E-6"}),
       {kBufferLengthRefusal}},
      {"1 point",
       set([](auto& s) { s.points = "1"; }),
       true,
       with({"SENS:SWE:TINT 20.00E-6", "SENS:SWE:POIN 1"}),
       {}},
      {"4097 points",
       set([](auto& s) { s.points = "4097"; }),
       false,
       with({"SENS:SWE:TINT 20.00E-6"}),
       {kBufferLengthRefusal}},
      {"test time abc", set([](auto& s) { s.minutes = "abc"; }), false, {}, {kTestTimeRefusal}},
      {"test time 0", set([](auto& s) { s.minutes = "0"; }), false, {}, {kTestTimeRefusal}},
      {"test time -1", set([](auto& s) { s.minutes = "-1"; }), false, {}, {kTestTimeRefusal}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.AppendLine("from before");
    const int mark = vexa_sim_log_count(testing::kDcSourceAddress);
    CurrentTestRun run(DcSourceDevice, view, clock, options);
    EXPECT_EQ(run.Configure(c.settings, false), c.accepted);
    EXPECT_EQ(run.running(), c.accepted);
    EXPECT_EQ(DcSourceCommandsSince(mark), c.commands);
    EXPECT_EQ(view.Memo(), c.memo);
  }
}

TEST_F(CurrentRunTest, AFieldThatIsNoNumberThrowsWithNothingSentAndTheButtonsSwapped) {
  struct Case {
    CurrentSettings settings;
    const char* message;
  };
  CurrentSettings voltage, interval, points;
  voltage.voltage = "3,8x";
  interval.interval = "";
  points.points = "40.5";
  CurrentSettings huge_voltage;
  huge_voltage.voltage = "1E39";  // beyond single precision: an overflow, not "VOLT inf"
  for (const Case& c : {Case{voltage, "'3,8x' is not a valid floating point value"},
                        Case{interval, "'' is not a valid floating point value"},
                        Case{points, "'40.5' is not a valid integer value"},
                        Case{huge_voltage, "Floating point overflow"}}) {
    SCOPED_TRACE(c.message);
    FakeView fresh;
    DcSourceDevice.SetMemo(&fresh);
    const int mark = vexa_sim_log_count(testing::kDcSourceAddress);
    CurrentTestRun run(DcSourceDevice, fresh, clock, options);
    try {
      run.Configure(c.settings, false);
      ADD_FAILURE() << "no conversion error";
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_FALSE(run.running());
    EXPECT_THAT(DcSourceCommandsSince(mark), IsEmpty());
    EXPECT_THAT(fresh.Effects(), ElementsAre("clear", "running"));
    DcSourceDevice.SetMemo(&view);
  }
}

TEST(CurrentBucketTest, SinglePrecisionReadingsAgainstDoubleThresholds) {
  struct Case {
    float reading;
    int bucket;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const Case& c :
       {Case{-0.5f, 0}, Case{0.0f, 0}, Case{0.0009f, 0}, Case{0.001f, 1}, Case{0.01f, 1},
        Case{0.02f, 2}, Case{0.04f, 3}, Case{0.05f, 4}, Case{0.1f, 5}, Case{0.2f, 6}, Case{0.4f, 7},
        Case{2.999f, 7}, Case{3.0f, -1}, Case{1e30f, -1}, Case{nan, -1}}) {
    EXPECT_EQ(CurrentBucket(c.reading), c.bucket) << c.reading;
  }
  EXPECT_EQ(HistogramLine(0, 3, 50), "\t<=Curr<\t1mA\t3\t6.000000%");
  EXPECT_EQ(HistogramLine(5, 1, 3), "100mA\t<=Curr<\t200mA\t1\t33.333333%");
  EXPECT_EQ(HistogramLine(7, 0, 0), "400mA\t<=Curr<\t3A\t0\t0.000000%");
}

TEST_F(CurrentRunTest, ScriptedRunGivesTheGoldenMemoAndLogBytes) {
  // One batch covering every bucket, the threshold cases, an answer without a number and an
  // empty answer (no readings: each is named in the memo and counted nowhere) and readings of
  // 3 A and more.
  vexa_sim_script_readings(
      "0.1234;abc;0.0005;1E-3;0.01;0.02;0.04;0.1;0.2;0.4;2.999;3;3.5;-0.002;0.25E-1;"
      "1.5E-01;;+0.3 A;0.00999;0.0199;0.039;0.099;0.199;0.399;1.2;0.0001;0.005;0.015;0.03;0.07;"
      "0.15;0.3;0.8;1.9;0.012;0.022;0.045;0.11;0.21;0.45;0.0099;0.001;0.002;0.003;0.004;0.5;"
      "0.6;0.7;0.9;1.0");
  CurrentSettings settings;
  settings.minutes = kOneBatch;
  CurrentTestRun run(DcSourceDevice, view, clock, options);
  ASSERT_EQ(ConfigureAndRun(run, settings), RunOutcome::kFinished);

  std::ifstream golden_file(VEXA_CURRENT_RUN_GOLDEN, std::ios::binary);
  ASSERT_TRUE(golden_file) << VEXA_CURRENT_RUN_GOLDEN;
  Lines golden;
  for (std::string line; std::getline(golden_file, line);)
    golden.push_back(line);
  Lines memo = view.Memo();
  ASSERT_EQ(run.log_path(), options.log_directory + "/0930-20061225.txt");
  ASSERT_EQ(memo.size(), golden.size());
  // The golden file names the log relative to the working directory.
  EXPECT_EQ(memo[memo.size() - 2], run.log_path());
  memo[memo.size() - 2] = "Current Log/0930-20061225.txt";
  EXPECT_THAT(memo, ElementsAreArray(golden));
  EXPECT_EQ(ReadFile(run.log_path()), CrLf(view.Memo()));
  EXPECT_THAT(LogFiles(), ElementsAre("0930-20061225.txt"));
  EXPECT_FALSE(run.log_failed());
  EXPECT_EQ(run.readings(), 48);
  EXPECT_FALSE(run.source_failed());

  EXPECT_THAT(view.Effects(), ElementsAre("clear", "running", "attach", "Test time is 00m:00s",
                                          "Aver is 430.662294 mA", "detach", "not running"));
  const std::vector<CurrentBatch> batches = view.Batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].batches, 1);
  EXPECT_EQ(batches[0].elapsed_ms, 50);
  EXPECT_EQ(batches[0].test_ms, 30);
  EXPECT_EQ(batches[0].batch_min, -0.002f);
  EXPECT_EQ(batches[0].batch_max, 3.5f);
}

TEST_F(CurrentRunTest, SummaryKeepsTheStartValuesWhenNoReadingPassesThem) {
  struct Case {
    const char* answer;
    const char* summary;
    float batch_min;
  };
  for (const Case& c :
       {Case{"5", "Total 50, Aver 5000.000000mA, Max 5000.000000mA, Min 3000.000000mA", 5.0f},
        Case{"-2", "Total 50, Aver -2000.000000mA, Max -1000.000000mA, Min -2000.000000mA",
             -2.0f}}) {
    SCOPED_TRACE(c.answer);
    vexa_sim_script_readings(Repeat(c.answer, 50).c_str());
    CurrentSettings settings;
    settings.minutes = kOneBatch;
    settings.show_samples = false;
    CurrentTestRun run(DcSourceDevice, view, clock, options);
    ASSERT_EQ(ConfigureAndRun(run, settings), RunOutcome::kFinished);
    const Lines memo = view.Memo();
    ASSERT_EQ(memo.size(), 14u);
    EXPECT_EQ(memo[0], kCurrentFinishedLine);
    EXPECT_EQ(memo[1], c.summary);
    // 3 A and more count in no bucket; below -1 A in the first.
    EXPECT_EQ(memo[10], std::string(c.answer) == "5" ? "Total 0.000000%" : "Total 100.000000%");
    EXPECT_EQ(view.Batches().back().batch_min, c.batch_min);
  }
  // Two runs ending in the same minute: the second log takes the next free name.
  EXPECT_THAT(LogFiles(), ElementsAre("0930-20061225-2.txt", "0930-20061225.txt"));
  EXPECT_EQ(view.Memo()[12], options.log_directory + "/0930-20061225-2.txt");
}

TEST_F(CurrentRunTest, SampleLinesShowTheSinglePrecisionReadingAsPrintfDoes) {
  // Infinity and values beyond single precision are no readings: the instrument did not give
  // a current the run can hold.
  vexa_sim_script_readings("0.1234;1E30;-0;-1E-9;2.5E-7;inf;3.4E38;1E39");
  CurrentSettings settings;
  settings.minutes = kOneBatch;
  CurrentTestRun run(DcSourceDevice, view, clock, options);
  ASSERT_EQ(ConfigureAndRun(run, settings), RunOutcome::kFinished);
  const Lines memo = view.Memo();
  EXPECT_EQ(memo[0], "No.0 Current: 123.400003 mA");
  const float readings[] = {1e30f, -0.0f, -1e-9f, 2.5e-7f};
  for (int i = 1; i <= 4; ++i) {
    char expected[128];
    std::snprintf(expected, sizeof expected, "No.%d Current: %f mA", i,
                  static_cast<double>(readings[i - 1]) * 1000.0);
    EXPECT_EQ(memo[static_cast<std::size_t>(i)], expected);
  }
  EXPECT_EQ(memo[5], "Unreadable answer to MEAS:CURR?: \"inf\"");
  EXPECT_EQ(memo[6], Format("No.5 Current: %f mA", static_cast<double>(3.4e38f) * 1000.0));
  EXPECT_EQ(memo[7], "Unreadable answer to MEAS:CURR?: \"1E39\"");
  EXPECT_EQ(run.readings(), 48);
}

TEST_F(CurrentRunTest, FailedReadsAreNoReadingsAndThreeInARowEndTheRunWithItsSummary) {
  struct Case {
    const char* name;
    const char* script;      // scripted answers, or nullptr
    int timeouts;            // reads that time out first
    Lines failure_prefixes;  // the memo line of each failed read
    long readings;
  };
  const Case cases[] = {
      {"unreadable answers",
       "0.1;abc;0.2;x;;z",
       0,
       {"Unreadable answer to MEAS:CURR?: \"abc\"", "Unreadable answer to MEAS:CURR?: \"x\"",
        "Unreadable answer to MEAS:CURR?: \"\"", "Unreadable answer to MEAS:CURR?: \"z\""},
       2},
      {"a silent source",
       nullptr,
       3,
       {"Unable to read from device ibsta = 0x", "Unable to read from device ibsta = 0x",
        "Unable to read from device ibsta = 0x"},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ReleaseDescriptor(DcSourceDevice);
    vexa_sim_reset();
    vexa_sim_set_timeout_scale(testing::kTimeoutScale);
    vexa_sim_set_speed(0);
    if (c.script)
      vexa_sim_script_readings(c.script);
    FakeView fresh;
    DcSourceDevice.SetMemo(&fresh);
    CurrentSettings settings;
    settings.minutes = "10";
    CurrentTestRun run(DcSourceDevice, fresh, clock, options);
    ASSERT_TRUE(run.Configure(settings, false)) << ::testing::PrintToString(fresh.Memo());
    if (c.timeouts)
      vexa_sim_fail_next_reads(testing::kDcSourceAddress, VEXA_SIM_READ_TIMEOUT, c.timeouts);
    const int mark = vexa_sim_log_count(testing::kDcSourceAddress);
    EXPECT_EQ(run.Run(), RunOutcome::kFinished);
    DcSourceDevice.SetMemo(&view);

    EXPECT_TRUE(run.source_failed());
    EXPECT_EQ(run.readings(), c.readings);
    const Lines memo = fresh.Memo();
    Lines failures;
    for (const std::string& line : memo) {
      if (!line.starts_with("No.") && line.find("MEAS:CURR?") != std::string::npos)
        failures.push_back(line);
      else if (line.starts_with("Unable to read"))
        failures.push_back(
            line.substr(0, std::string("Unable to read from device ibsta = 0x").size()));
    }
    EXPECT_EQ(failures, c.failure_prefixes);
    // Not one query after the third failure in a row.
    const Lines commands = DcSourceCommandsSince(mark);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "MEAS:CURR?"),
              c.readings + static_cast<long>(c.failure_prefixes.size()));
    // The summary over the real readings, then the reason the run ended, then the log.
    const auto finished = std::find(memo.begin(), memo.end(), kCurrentFinishedLine);
    ASSERT_NE(finished, memo.end());
    EXPECT_TRUE(finished[1].starts_with("Total " + std::to_string(c.readings) + ", Aver "))
        << finished[1];
    ASSERT_GE(memo.size(), 3u);
    EXPECT_EQ(memo[memo.size() - 3], kSourceSilentLine);
    EXPECT_THAT(memo, ::testing::Not(::testing::Contains(kTestFinishedLine)));
    EXPECT_EQ(ReadFile(run.log_path()), CrLf(memo));
    std::filesystem::remove_all(options.log_directory);
  }
}

TEST_F(CurrentRunTest, StopEndsBeforeTheNextReadingWithSummaryAndLog) {
  CurrentSettings settings;
  settings.points = "1";
  clock.step_ms = 1;  // 30 minutes: far more batches than the test waits for
  CurrentTestRun run(DcSourceDevice, view, clock, options);
  ASSERT_TRUE(run.Configure(settings, false));
  const int mark = vexa_sim_log_count(testing::kDcSourceAddress);
  RunOutcome outcome = RunOutcome::kNotStarted;
  std::thread worker([&] { outcome = run.Run(); });
  while (view.MemoSize() < 60)
    std::this_thread::yield();
  run.RequestStop();
  worker.join();
  EXPECT_EQ(outcome, RunOutcome::kStopped);
  const long readings = run.readings();
  EXPECT_GE(readings, 60);
  // No query after the stop: one per reading, and at most the one whose answer came after it.
  const Lines commands = DcSourceCommandsSince(mark);
  const auto queries = std::count(commands.begin(), commands.end(), "MEAS:CURR?");
  EXPECT_GE(queries, readings);
  EXPECT_LE(queries, readings + 1);
  const Lines memo = view.Memo();
  ASSERT_EQ(memo.size(), static_cast<std::size_t>(readings) + 14);
  const auto at = [&memo](long index) { return memo[static_cast<std::size_t>(index)]; };
  EXPECT_TRUE(at(readings - 1).starts_with("No." + std::to_string(readings - 1) + " Current: "));
  EXPECT_EQ(at(readings), kCurrentFinishedLine);
  EXPECT_TRUE(at(readings + 1).starts_with("Total " + std::to_string(readings) + ", Aver "));
  EXPECT_EQ(ReadFile(run.log_path()), CrLf(memo));
  EXPECT_EQ(view.Effects().back(), "not running");
}

TEST_F(CurrentRunTest, DemoModeWithoutAnInstrumentRunsPacedOnRandomReadings) {
  testing::ReleaseDescriptor(DcSourceDevice);
  testing::UseDriverLibrary("/nonexistent/libgpib-missing.so");
  DcSourceDevice.SetMemo(&view);
  view.demo = true;
  CurrentSettings settings;
  settings.minutes = kOneBatch;
  settings.points = "100";  // 2 ms per reading
  CurrentTestRun run(DcSourceDevice, view, clock, options);
  EXPECT_FALSE(run.Configure(settings, false)) << "no instrument, no demo: no start";
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(ConfigureAndRun(run, settings), RunOutcome::kFinished);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  const Lines memo = view.Memo();
  ASSERT_EQ(memo.size(), 1u + 50 + 14);
  EXPECT_TRUE(memo[0].starts_with("Unable to open device ibsta = 0x8000")) << memo[0];
  std::set<std::string> values;
  for (int i = 0; i < 50; ++i) {
    const std::string& line = memo[static_cast<std::size_t>(i) + 1];
    const std::string prefix = "No." + std::to_string(i) + " Current: ";
    ASSERT_TRUE(line.starts_with(prefix)) << line;
    const double ma = std::stod(line.substr(prefix.size()));
    // b * (a * 1 mA) with a below 100 and b below 30.
    EXPECT_NEAR(ma, std::round(ma), 1e-3) << line;
    EXPECT_LE(ma, 2871.001) << line;
    values.insert(line.substr(prefix.size()));
  }
  EXPECT_GT(values.size(), 10u);
  EXPECT_EQ(ReadFile(run.log_path()), CrLf(memo));
}

TEST_F(CurrentRunTest, CancelEndsTheRunWithoutSummaryOrLog) {
  CurrentSettings settings;
  settings.points = "1";
  clock.step_ms = 1;
  CurrentTestRun run(DcSourceDevice, view, clock, options);
  ASSERT_TRUE(run.Configure(settings, false));
  RunOutcome outcome = RunOutcome::kNotStarted;
  std::thread worker([&] { outcome = run.Run(); });
  while (view.MemoSize() < 20)
    std::this_thread::yield();
  run.Cancel();
  worker.join();
  EXPECT_EQ(outcome, RunOutcome::kCancelled);
  EXPECT_THAT(LogFiles(), IsEmpty()) << "not even the temporary file";
  for (const std::string& line : view.Memo())
    EXPECT_TRUE(line.starts_with("No.")) << line;
  EXPECT_EQ(view.Effects().back(), "detach");
  EXPECT_TRUE(run.log_path().empty());
}

TEST_F(CurrentRunTest, ConsoleLinesDuringTheRunLandInTheLogInMemoOrder) {
  CurrentSettings settings;
  settings.points = "1";
  clock.step_ms = 1;
  view.AppendLine("typed before the start");
  CurrentTestRun run(DcSourceDevice, view, clock, options);
  ASSERT_TRUE(run.Configure(settings, false));
  view.AppendLine("typed after the set-up");
  RunOutcome outcome = RunOutcome::kNotStarted;
  std::thread worker([&] { outcome = run.Run(); });
  while (view.MemoSize() < 30)
    std::this_thread::yield();
  DcSourceDevice.SendConsoleText("VOLT 4.2");
  run.RequestStop();
  worker.join();
  ASSERT_EQ(outcome, RunOutcome::kStopped);
  const Lines memo = view.Memo();
  EXPECT_EQ(memo[0], "typed after the set-up") << "Config&&Test clears the memo";
  EXPECT_EQ(std::count(memo.begin(), memo.end(), "<---VOLT 4.2"), 1);
  EXPECT_EQ(ReadFile(run.log_path()), CrLf(memo));
}

TEST_F(CurrentRunTest, ALogFolderThatCannotBeWrittenRefusesTheTestBeforeAnyCommand) {
  const std::string file = temp_ + "/a file";
  testing::WriteFile(file, "not a folder");
  for (const std::string& folder : {file, temp_ + "/missing/Current Log"}) {
    SCOPED_TRACE(folder);
    CurrentRunOptions refused = options;
    refused.log_directory = folder;
    view.AppendLine("from before");
    const int mark = vexa_sim_log_count(testing::kDcSourceAddress);
    CurrentTestRun run(DcSourceDevice, view, clock, refused);
    EXPECT_FALSE(run.Configure(CurrentSettings{}, false));
    EXPECT_FALSE(run.running());
    const std::string reason = std::string("Unable to write to ") + folder + ": " +
                               (folder == file ? "Not a directory" : "No such file or directory");
    EXPECT_EQ(view.Memo(), Lines{reason});
    EXPECT_THAT(DcSourceCommandsSince(mark), IsEmpty());
    EXPECT_EQ(run.Run(), RunOutcome::kNotStarted);
    EXPECT_EQ(run.readings(), 0);
  }
  EXPECT_EQ(testing::SplitLines(ReadFile(file)), Lines{"not a folder"});
  // A test refused later on, by the source's settings, leaves no log behind either.
  CurrentSettings bad_interval;
  bad_interval.interval = "15.5";
  CurrentTestRun run(DcSourceDevice, view, clock, options);
  EXPECT_FALSE(run.Configure(bad_interval, false));
  EXPECT_THAT(LogFiles(), IsEmpty());
}

}  // namespace
}  // namespace vexa
