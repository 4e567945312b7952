// Whole GSM test runs against the simulated test set: the memo lines and the log file of a
// short plan (against a golden file), the commands sent, the plan's edge cases, faulty answers,
// a dropped call, Stop Test, cancelling, the antenna series and the log names.
#include <gmock/gmock.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/atomic_file.h"
#include "instrument/runs/gsm_test_run.h"
#include "instrument_test_support.h"
#include "support/text_files.h"

namespace vexa {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using Lines = std::vector<std::string>;
using testing::CrLf;
using testing::ReadFile;

// The page: the memo (which keeps the newest `line_limit` lines when set and forwards every
// line to the attached log, as the page must), and every other effect on the window in one
// ordered list. Hooks run on the worker thread; they are set before the run starts.
class FakeView : public GsmRunView {
 public:
  void AppendLine(const std::string& line) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      memo_.push_back(line);
      ++appended_;
      if (line_limit > 0 && memo_.size() > line_limit)
        memo_.erase(memo_.begin());
      if (log_)
        log_->AppendLine(line);
    }
    if (on_line)
      on_line(line);
  }
  void ClearMemo() override {
    std::lock_guard<std::mutex> lock(mutex_);
    memo_.clear();
    log_.reset();
    effects_.push_back("clear");
  }
  std::vector<std::string> MemoLines() override {
    std::lock_guard<std::mutex> lock(mutex_);
    copied_ = appended_;
    return memo_;
  }
  void AttachLog(std::shared_ptr<StreamedLog> log) override {
    std::lock_guard<std::mutex> lock(mutex_);
    // The lines that came after the copy go first.
    const std::size_t since = std::min<std::size_t>(appended_ - copied_, memo_.size());
    for (std::size_t i = memo_.size() - since; log && i < memo_.size(); ++i)
      log->AppendLine(memo_[i]);
    log_ = std::move(log);
  }
  std::shared_ptr<StreamedLog> AttachedLog() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  void SetTestTime(const std::string& caption) override { Add("time: " + caption); }
  void SetRunning(bool running) override { Add(running ? "running" : "not running"); }
  void SetVerdictColour(VerdictColour colour) override {
    Add(colour == VerdictColour::kNormal   ? "colour: normal"
        : colour == VerdictColour::kFailed ? "colour: red"
                                           : "colour: green");
  }
  void ShowProgress(long done, long total, double /*elapsed_ms*/) override {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_.push_back(std::to_string(done) + "/" + std::to_string(total));
  }
  void Beep(int beep_ms) override {
    Add("beep " + std::to_string(beep_ms));
    if (on_beep)
      on_beep();
  }
  ReconnectAnswer AskToReconnect(const std::atomic<bool>& stop_requested,
                                 const std::atomic<bool>& cancelled) override {
    Add("ask");
    if (on_ask)
      return on_ask(stop_requested, cancelled);
    vexa_sim_set_call_connected(1);  // the operator connects the phone again
    return ReconnectAnswer::kRetry;
  }

  Lines Memo() {
    std::lock_guard<std::mutex> lock(mutex_);
    return memo_;
  }
  Lines Effects() {
    std::lock_guard<std::mutex> lock(mutex_);
    return effects_;
  }
  Lines Progress() {
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
  }

  std::function<void(const std::string&)> on_line;
  std::function<void()> on_beep;
  std::function<ReconnectAnswer(const std::atomic<bool>&, const std::atomic<bool>&)> on_ask;
  std::size_t line_limit = 0;  // 0: every line

 private:
  void Add(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    effects_.push_back(event);
  }
  std::mutex mutex_;
  Lines memo_;
  std::size_t appended_ = 0;  // lines ever appended
  std::size_t copied_ = 0;    // appended_ at the last MemoLines()
  std::shared_ptr<StreamedLog> log_;
  Lines effects_;
  Lines progress_;
};

// The millisecond clock may be moved during a run (from its hooks); the UTC time is set
// before a run.
class FakeClock : public RunClock {
 public:
  double NowMs() override { return ms.load(); }
  UtcTime NowUtc() override { return utc; }
  std::atomic<double> ms = 1000;
  UtcTime utc{2006, 12, 25, 1, 30};
};

void SetList(auto& list, std::vector<int> values) {
  values.push_back(kEndOfList);
  std::copy(values.begin(), values.end(), list.begin());
}

// A plan with no band, channel, level or item.
TestPlan EmptyPlan() {
  TestPlan plan;
  for (auto& list : plan.channels)
    SetList(list, {});
  for (auto& list : plan.levels)
    SetList(list, {});
  plan.berReferenceLevel = -102.5f;
  plan.berCount = 10000;
  return plan;
}

constexpr const char* kRxlQuery = "CALL:MS:REPorted:RXLevel:NEW?;NEW?;NEW?";
constexpr const char* kRxqQuery = "CALL:MS:REPorted:RXQuality:NEW?;NEW?;NEW?";
constexpr const char* kConnected = "CALL:CONN:STAT?";

class GsmRunTest : public testing::SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    ASSERT_EQ(TestSetDevice.Open(), 0);
    char pattern[] = "/tmp/vexa-gsm-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    temp_ = pattern;
    options.log_directory = temp_ + "/GSM Log";
    options.beep_ms = 0;
  }
  // The simulator and the session back to their state at the start of the test.
  void ResetSimulator() {
    testing::ReleaseDescriptor(TestSetDevice);
    vexa_sim_reset();
    vexa_sim_set_timeout_scale(testing::kTimeoutScale);
    ASSERT_EQ(TestSetDevice.Open(), 0);
  }
  void TearDown() override {
    std::filesystem::remove_all(temp_);
    SimulatorTest::TearDown();
  }

  // Start Test, then the run on this thread; the commands of the run are those logged after
  // Start().
  RunOutcome StartAndRun(GsmTestRun& run) {
    EXPECT_TRUE(run.Start());
    mark_ = vexa_sim_log_count(testing::kTestSetAddress);
    return run.Run();
  }
  Lines RunCommands() const {
    Lines log = testing::SimLog(testing::kTestSetAddress);
    return Lines(log.begin() + std::min<std::ptrdiff_t>(mark_, std::ssize(log)), log.end());
  }
  // The memo with the temporary directory taken off the log name.
  Lines RelativeMemo() {
    Lines memo = view.Memo();
    for (std::string& line : memo) {
      if (line.starts_with(temp_ + "/"))
        line.erase(0, temp_.size() + 1);
    }
    return memo;
  }
  std::vector<std::string> LogFiles() const {
    std::vector<std::string> names;
    if (std::filesystem::exists(options.log_directory)) {
      for (const auto& entry : std::filesystem::directory_iterator(options.log_directory))
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Sends a message to the test set on a descriptor of its own (not on the run's).
  static void SendToTestSet(const std::string& message) {
    const int ud = gpib::ibdev(0, testing::kTestSetAddress, 0, 13, 1, 0);
    gpib::ibwrt(ud, message.data(), static_cast<long>(message.size()));
    gpib::ibonl(ud, 0);
  }

  std::string temp_;
  GsmRunOptions options;
  FakeView view;
  FakeClock clock;
  TestPlan plan = EmptyPlan();
  int mark_ = 0;
};

// The commands of one level with every transmitter item.
Lines LevelCommands(int level) {
  const char* items[] = {"TXPower", "PVTime", "PFERror", "ORFSpectrum"};
  Lines commands = {"CALL:MS:TXLEVEL " + std::to_string(level)};
  for (const char* item : items)
    commands.push_back(std::string("INITIATE:") + item + ":ON");
  for (const char* item : items) {
    commands.push_back(kConnected);
    commands.push_back(std::string("FETCh:") + item + "?");
  }
  commands.push_back("FETCh:ORFSpectrum:LIMit:ALL?");
  return commands;
}

// The commands of a receiver report item: the call check and the two cell powers.
Lines ReportCommands(const char* query) {
  return {kConnected, "CALL:POW -102.5dBm", query, "CALL:POW -62.5dBm", query, "CALL:POW -65dBm"};
}

// The commands of one channel's receiver items, all three.
Lines ReceiverCommands(bool low) {
  Lines commands = {low ? "CALL:MS:TXLEVEL 5" : "CALL:MS:TXLEVEL 0"};
  for (const char* query : {kRxlQuery, kRxqQuery}) {
    const Lines report = ReportCommands(query);
    commands.insert(commands.end(), report.begin(), report.end());
  }
  commands.insert(commands.end(), {kConnected, "CALL:POW -102.500000dBm", "INITIATE:BERRor:ON",
                                   "FETCh:BERRor?", low ? "CALL:POW -15dBm" : "CALL:POW -23dBm",
                                   "INITIATE:BERRor:ON", "FETCh:BERRor?", "CALL:POW -65dBm"});
  return commands;
}

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST_F(GsmRunTest, ShortPlanGivesTheGoldenLinesLogFileCommandsAndWindowEffects) {
  plan.bandEnabled = {1, 1, 0, 0};
  SetList(plan.channels[0], {62});
  SetList(plan.levels[0], {5, 7});
  SetList(plan.channels[1], {698});
  SetList(plan.levels[1], {3});
  plan.itemEnabled = {1, 1, 1, 1, 1, 1, 1};
  // The time shown: 1 min 5.5 s after the first level's TX power, an hour and a bit after
  // the DCS level's.
  view.on_line = [this](const std::string& line) {
    if (line.starts_with("EGSM:62:5\tTXPower"))
      clock.ms = 1000 + 65500;
    if (line.starts_with("DCS:698:3\tTXPower"))
      clock.ms = 1000 + 3600000 + 59999;
  };
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);

  std::ifstream golden_file(VEXA_GSM_RUN_GOLDEN, std::ios::binary);
  ASSERT_TRUE(golden_file) << VEXA_GSM_RUN_GOLDEN;
  Lines golden;
  for (std::string line; std::getline(golden_file, line);)
    golden.push_back(line);
  EXPECT_THAT(RelativeMemo(), ElementsAreArray(golden));

  ASSERT_EQ(run.log_path(), options.log_directory + "/0930-20061225.xls");
  EXPECT_FALSE(run.log_failed());
  EXPECT_FALSE(run.any_failure());
  Lines logged = golden;
  logged[logged.size() - 2] = run.log_path();
  EXPECT_EQ(ReadFile(run.log_path()), CrLf(logged));
  EXPECT_THAT(LogFiles(), ElementsAre("0930-20061225.xls"));

  EXPECT_EQ(RunCommands(), Concat({{"CALL:CELL:BAND?", kConnected, "CALL:TCHANNEL:BAND EGSM",
                                    "CALL:TCHANNEL:ARFCN:EGSM 62"},
                                   LevelCommands(5),
                                   LevelCommands(7),
                                   ReceiverCommands(true),
                                   {"CALL:CELL:BAND?", kConnected, "CALL:TCHANNEL:BAND DCS",
                                    "CALL:TCHANNEL:ARFCN:DCS 698"},
                                   LevelCommands(3),
                                   ReceiverCommands(false)}));

  EXPECT_THAT(view.Effects(),
              ElementsAre("colour: normal", "clear", "running", "time: Test time is 01m:05s",
                          "time: Test time is 01m:05s", "time: Test time is 01m:05s",
                          "time: Test time is 60m:59s", "time: Test time is 60m:59s",
                          "time: Test time is 60m:59s", "colour: green", "not running"));
  const Lines progress = view.Progress();
  ASSERT_EQ(progress.size(), 18u);
  EXPECT_EQ(progress.front(), "1/18");
  EXPECT_EQ(progress.back(), "18/18");
  EXPECT_EQ(CountMeasurements(plan), 18);
}

TEST_F(GsmRunTest, PlanEdgesSendTheBandCommandsAndMeasureOnlyWhatTheListsHold) {
  struct Case {
    int band;
    const char* cell_band;  // the cell's band before the run
    std::vector<int> channels;
    std::array<std::uint8_t, kTestItemCount> items;
    Lines commands;
    Lines results;
  };
  const std::array<std::uint8_t, kTestItemCount> all = {1, 1, 1, 1, 1, 1, 1};
  const Case cases[] = {
      {0, "EGSM", {}, all, {"CALL:CELL:BAND?", kConnected, "CALL:TCHANNEL:BAND EGSM"}, {}},
      {3,
       "EGSM",
       {},
       all,
       {"CALL:CELL:BAND?", "CALL:CELL:BAND PCS", kConnected, "CALL:TCHANNEL:BAND GSM850"},
       {}},
      {2, "GSM850", {}, all, {"CALL:CELL:BAND?", kConnected, "CALL:TCHANNEL:BAND PCS"}, {}},
      {1,
       "PCS",
       {698},
       {0, 0, 0, 0, 0, 1, 0},
       {"CALL:CELL:BAND?", "CALL:CELL:BAND EGSM", kConnected, "CALL:TCHANNEL:BAND DCS",
        "CALL:TCHANNEL:ARFCN:DCS 698", "CALL:MS:TXLEVEL 0", kConnected, "CALL:POW -102.5dBm",
        kRxqQuery, "CALL:POW -62.5dBm", kRxqQuery, "CALL:POW -65dBm"},
       {"DCS:698:0\tRXQ@-102.5\t1\t0\t3\tPassed", "DCS:698:0\tRXQ@-62.5\t0\t0\t3\tPassed"}},
      {0,
       "DCS",
       {62},
       {1, 0, 0, 0, 1, 0, 0},
       {"CALL:CELL:BAND?", kConnected, "CALL:TCHANNEL:BAND EGSM", "CALL:TCHANNEL:ARFCN:EGSM 62",
        "CALL:MS:TXLEVEL 5", kConnected, "CALL:POW -102.5dBm", kRxlQuery, "CALL:POW -62.5dBm",
        kRxlQuery, "CALL:POW -65dBm"},
       {"EGSM:62:5\tRXL@-102.5\t8\t4\t12\tPassed", "EGSM:62:5\tRXL@-62.5\t48\t44\t52\tPassed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(kPlanBandNames[static_cast<std::size_t>(c.band)]);
    ASSERT_NO_FATAL_FAILURE(ResetSimulator());
    SendToTestSet(std::string("CALL:CELL:BAND ") + c.cell_band);
    std::filesystem::remove_all(options.log_directory);
    FakeView page;
    plan = EmptyPlan();
    plan.bandEnabled[static_cast<std::size_t>(c.band)] = 1;
    SetList(plan.channels[static_cast<std::size_t>(c.band)], c.channels);
    plan.itemEnabled = c.items;
    GsmTestRun run(plan, TestSetDevice, page, clock, options);
    EXPECT_TRUE(run.Start());
    mark_ = vexa_sim_log_count(testing::kTestSetAddress);
    ASSERT_EQ(run.Run(), RunOutcome::kFinished);
    EXPECT_EQ(RunCommands(), c.commands);
    Lines expected = Concat({{kRunHeaderLine},
                             c.results,
                             {kTestFinishedLine, kOverallPassed, run.log_path(), kCreditLine}});
    EXPECT_EQ(page.Memo(), expected);
    EXPECT_EQ(ReadFile(run.log_path()), CrLf(expected));
  }
}

TEST_F(GsmRunTest, NoBandEnabledStillFinishesAndNamesTheLogByTheTimeWithoutReplacingOne) {
  clock.utc = {2006, 12, 25, 23, 30};
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
  EXPECT_THAT(RunCommands(), IsEmpty());
  const std::string first_path = options.log_directory + "/3130-20061225.xls";
  EXPECT_EQ(run.log_path(), first_path);
  const Lines first = {kRunHeaderLine, kTestFinishedLine, kOverallPassed, first_path, kCreditLine};
  EXPECT_EQ(view.Memo(), first);
  EXPECT_EQ(ReadFile(first_path), CrLf(first));

  // A second run in the same minute gets a name of its own.
  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
  const std::string second_path = options.log_directory + "/3130-20061225-2.xls";
  EXPECT_EQ(run.log_path(), second_path);
  const Lines second = {kRunHeaderLine, kTestFinishedLine, kOverallPassed, second_path,
                        kCreditLine};
  EXPECT_EQ(view.Memo(), second);
  EXPECT_EQ(ReadFile(second_path), CrLf(second));
  EXPECT_EQ(ReadFile(first_path), CrLf(first));
  EXPECT_THAT(LogFiles(), ElementsAre("3130-20061225-2.xls", "3130-20061225.xls"));
}

TEST_F(GsmRunTest, FaultyAnswersAreLoggedAsFailuresAndTheRunGoesOn) {
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62, 1});
  plan.itemEnabled = {0, 0, 0, 0, 1, 1, 1};
  // Each fault hits the read that follows the line named: the second report or BER query.
  struct Fault {
    const char* after_line;
    int mode;
  };
  const Fault faults[] = {{"EGSM:62:5\tRXL@-102.5", VEXA_SIM_READ_EMPTY},
                          {"EGSM:62:5\tRXQ@-102.5", VEXA_SIM_READ_TIMEOUT},
                          {"EGSM:62:5\tBERR@-102.5", VEXA_SIM_READ_EMPTY},
                          {"EGSM:1:5\tRXL@-102.5", VEXA_SIM_READ_GARBLED}};
  view.on_line = [&faults](const std::string& line) {
    for (const Fault& fault : faults) {
      if (line.starts_with(fault.after_line))
        vexa_sim_fail_next_reads(testing::kTestSetAddress, fault.mode, 1);
    }
  };
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
  const Lines memo = view.Memo();
  ASSERT_EQ(memo.size(), 1u + 2 * 6 + 4);
  const char* f = "Failed>>>>>>>>>>";
  EXPECT_THAT(
      Lines(memo.begin() + 1, memo.begin() + 15),
      ElementsAre("EGSM:62:5\tRXL@-102.5\t8\t4\t12\tPassed",
                  std::string("EGSM:62:5\tRXL@-62.5\tnan\t44\t52\t") + f,
                  "EGSM:62:5\tRXQ@-102.5\t1\t0\t3\tPassed",
                  std::string("EGSM:62:5\tRXQ@-62.5\tnan\t0\t3\t") + f,
                  "EGSM:62:5\tBERR@-102.5\t0.15%\t0\t2.44\tPassed",
                  std::string("EGSM:62:5\tBERR@-15\t99.99%\t0\t2.44\t") + f,
                  "EGSM:1:5\tRXL@-102.5\t8\t4\t12\tPassed",
                  std::string("EGSM:1:5\tRXL@-62.5\tnan\t44\t52\t") + f,
                  "EGSM:1:5\tRXQ@-102.5\t1\t0\t3\tPassed", "EGSM:1:5\tRXQ@-62.5\t0\t0\t3\tPassed",
                  "EGSM:1:5\tBERR@-102.5\t0.15%\t0\t2.44\tPassed",
                  "EGSM:1:5\tBERR@-15\t0.00%\t0\t2.44\tPassed", kTestFinishedLine, kOverallFailed));
  EXPECT_TRUE(run.any_failure());
  EXPECT_THAT(view.Effects(), Contains("colour: red"));
  EXPECT_EQ(ReadFile(run.log_path()), CrLf(memo));
}

TEST_F(GsmRunTest, DroppedCallIsWaitedForWithBeepAndMessageThenTheRunGoesOn) {
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62});
  SetList(plan.levels[0], {5});
  plan.itemEnabled = {1, 0, 0, 0, 0, 0, 0};
  options.beep_ms = 1;
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  ASSERT_TRUE(run.Start());
  mark_ = vexa_sim_log_count(testing::kTestSetAddress);
  // The call drops after INITIATE, the sixth message of the run.
  vexa_sim_drop_call_after(6);
  ASSERT_EQ(run.Run(), RunOutcome::kFinished);
  EXPECT_EQ(RunCommands(),
            (Lines{"CALL:CELL:BAND?", kConnected, "CALL:TCHANNEL:BAND EGSM",
                   "CALL:TCHANNEL:ARFCN:EGSM 62", "CALL:MS:TXLEVEL 5", "INITIATE:TXPower:ON",
                   kConnected, kConnected, "FETCh:TXPower?", "CALL:MS:TXLEVEL 5"}));
  EXPECT_THAT(view.Effects(),
              ElementsAre("colour: normal", "clear", "running", "beep 1", "ask",
                          "time: Test time is 00m:00s", "time: Test time is 00m:00s",
                          "time: Test time is 00m:00s", "colour: green", "not running"));
  EXPECT_EQ(view.Memo()[1], "EGSM:62:5\tTXPower      \t33.05\t31.00\t35.00\tPassed");
}

TEST_F(GsmRunTest, StartRefusesWithoutACallAndLeavesTheMemo) {
  view.AppendLine("earlier line");
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  vexa_sim_set_call_connected(0);
  EXPECT_FALSE(run.Start());
  vexa_sim_set_call_connected(1);
  vexa_sim_fail_next_reads(testing::kTestSetAddress, VEXA_SIM_READ_TIMEOUT, 1);
  EXPECT_FALSE(run.Start());  // a failed read counts as no call
  EXPECT_EQ(view.Memo(), (Lines{"earlier line", kConnectMsLine, kConnectMsLine}));
  EXPECT_THAT(view.Effects(), ElementsAre("colour: normal", "colour: normal"));
  EXPECT_EQ(testing::SimLog(testing::kTestSetAddress),
            (Lines{"CALL:CONNECTED:STATE?", "CALL:CONNECTED:STATE?"}));
}

TEST_F(GsmRunTest, StopTakesEffectBeforeTheNextBusCall) {
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62, 1});
  SetList(plan.levels[0], {5, 7});
  plan.itemEnabled = {1, 0, 1, 0, 1, 0, 0};
  struct Case {
    const char* stop_at;  // the line during which Stop Test is pressed ("" before the run)
    std::size_t lines;    // the memo lines then (with the header)
    const char* last_command;
  };
  for (const Case& c : {Case{"", 1, nullptr}, Case{"EGSM:62:5\tTXPower", 2, "FETCh:TXPower?"},
                        Case{"EGSM:62:5\tRXL@-102.5", 10, kRxlQuery}}) {
    SCOPED_TRACE(c.stop_at);
    FakeView page;
    GsmTestRun run(plan, TestSetDevice, page, clock, options);
    page.on_line = [&run, &c](const std::string& line) {
      if (*c.stop_at && line.starts_with(c.stop_at))
        run.RequestStop();
    };
    if (!*c.stop_at)
      run.RequestStop();  // pressed while Start asked for the call: kept
    EXPECT_TRUE(run.Start());
    mark_ = vexa_sim_log_count(testing::kTestSetAddress);
    EXPECT_EQ(run.Run(), RunOutcome::kStopped);
    const Lines memo = page.Memo();
    EXPECT_EQ(memo.size(), c.lines);
    EXPECT_THAT(memo, Not(Contains(kTestFinishedLine)));
    if (c.last_command)
      EXPECT_EQ(RunCommands().back(), c.last_command);
    else
      EXPECT_THAT(RunCommands(), IsEmpty());
    EXPECT_EQ(page.Effects().back(), "not running");
    EXPECT_THAT(page.Effects(), Not(Contains("colour: green")));
    EXPECT_THAT(LogFiles(), IsEmpty());
    EXPECT_TRUE(run.log_path().empty());
  }
}

TEST_F(GsmRunTest, StopTestInTheDisconnectedBoxOrBesideItEndsTheRunWithoutALog) {
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62});
  SetList(plan.levels[0], {5});
  plan.itemEnabled = {1, 0, 0, 0, 0, 0, 0};
  enum class How { kBoxButton, kStopButtonWhileTheBoxIsUp };
  for (How how : {How::kBoxButton, How::kStopButtonWhileTheBoxIsUp}) {
    SCOPED_TRACE(static_cast<int>(how));
    ASSERT_NO_FATAL_FAILURE(ResetSimulator());
    FakeView page;
    GsmTestRun run(plan, TestSetDevice, page, clock, options);
    int asked = 0;
    std::thread stop_button;
    page.on_ask = [&](const std::atomic<bool>& stop_requested, const std::atomic<bool>&) {
      ++asked;
      if (how == How::kBoxButton)
        return ReconnectAnswer::kStopTest;
      // The box stays up until the page's Stop Test reaches it.
      stop_button = std::thread([&run] { run.RequestStop(); });
      while (!stop_requested)
        std::this_thread::yield();
      return ReconnectAnswer::kStopTest;
    };
    ASSERT_TRUE(run.Start());
    vexa_sim_set_call_connected(0);
    EXPECT_EQ(run.Run(), RunOutcome::kStopped);
    if (stop_button.joinable())
      stop_button.join();
    EXPECT_EQ(asked, 1);
    EXPECT_THAT(page.Memo(), Not(Contains(kTestFinishedLine)));
    EXPECT_EQ(page.Effects().back(), "not running");
    EXPECT_THAT(LogFiles(), IsEmpty());
  }
}

TEST_F(GsmRunTest, CancelEndsTheRunWhileWaitingForTheCallOrBetweenBusCalls) {
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62});
  SetList(plan.levels[0], {5});
  plan.itemEnabled = {1, 1, 0, 0, 0, 0, 0};

  enum class Where { kBeep, kMessageBox, kAfterLine };
  for (Where where : {Where::kBeep, Where::kMessageBox, Where::kAfterLine}) {
    SCOPED_TRACE(static_cast<int>(where));
    ASSERT_NO_FATAL_FAILURE(ResetSimulator());
    FakeView page;
    GsmRunOptions waiting = options;
    waiting.beep_ms = where == Where::kBeep ? 600000 : 0;  // cancelled long before
    GsmTestRun run(plan, TestSetDevice, page, clock, waiting);
    std::promise<void> reached;
    std::promise<void> cancelled;
    std::shared_future<void> cancelled_future = cancelled.get_future().share();
    auto pause_here = [&] {
      reached.set_value();
      cancelled_future.wait();
    };
    if (where == Where::kBeep)
      page.on_beep = pause_here;
    page.on_ask = [&](const std::atomic<bool>&, const std::atomic<bool>& flag) {
      reached.set_value();
      while (!flag)
        std::this_thread::yield();
      return ReconnectAnswer::kRetry;
    };
    page.on_line = [&](const std::string& line) {
      if (where == Where::kAfterLine && line.starts_with("EGSM:62:5\tTXPower"))
        pause_here();
    };
    ASSERT_TRUE(run.Start());
    if (where != Where::kAfterLine)
      vexa_sim_set_call_connected(0);
    mark_ = vexa_sim_log_count(testing::kTestSetAddress);
    RunOutcome outcome = RunOutcome::kNotStarted;
    std::thread worker([&] { outcome = run.Run(); });
    reached.get_future().wait();
    run.Cancel();
    cancelled.set_value();
    worker.join();
    EXPECT_EQ(outcome, RunOutcome::kCancelled);
    EXPECT_THAT(page.Memo(), Not(Contains(kTestFinishedLine)));
    EXPECT_THAT(page.Effects(), Not(Contains("not running")));
    EXPECT_THAT(LogFiles(), IsEmpty());
    const Lines commands = RunCommands();
    if (where == Where::kAfterLine) {
      EXPECT_EQ(commands.back(), "FETCh:TXPower?");  // nothing after the cancel
      EXPECT_EQ(page.Memo().back(), "EGSM:62:5\tTXPower      \t33.05\t31.00\t35.00\tPassed");
    } else {
      EXPECT_EQ(commands, (Lines{"CALL:CELL:BAND?", kConnected}));
      EXPECT_THAT(page.Effects(), Contains("ask").Times(where == Where::kBeep ? 0 : 1));
    }
  }
}

TEST_F(GsmRunTest, AntennaSeriesFillsOneLogOverTwelveRunsOfThirtyDegrees) {
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62});
  plan.itemEnabled = {0, 0, 0, 0, 1, 0, 1};
  plan.antennaMode = 1;
  plan.antennaStep = 30;
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  const Lines one_run = {kRunHeaderLine, "EGSM:62:5\tRXL@-62.5\t48\t44\t52\tPassed",
                         "EGSM:62:5\tBERR@-102.5\t0.15%\t0\t2.44\tPassed"};
  Lines expected;
  for (int angle = 0; angle < 330; angle += 30) {
    ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
    expected.insert(expected.end(), one_run.begin(), one_run.end());
    expected.push_back("Angle " + std::to_string(angle) + " degree Test finished");
    EXPECT_EQ(plan.antennaAngle, angle + 30);
    // Only the series' log, not yet named, which the next run goes on with.
    EXPECT_THAT(LogFiles(), ElementsAre(StartsWith(".log.vexa-tmp-")));
  }
  EXPECT_EQ(view.Memo(), expected);
  EXPECT_THAT(RunCommands(), Not(Contains("CALL:POW -102.5dBm")));
  EXPECT_THAT(RunCommands(), Not(Contains("CALL:POW -15dBm")));

  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
  expected.insert(expected.end(), one_run.begin(), one_run.end());
  expected.insert(expected.end(), {kTestFinishedLine, kOverallPassed, run.log_path(), kCreditLine});
  EXPECT_EQ(view.Memo(), expected);
  EXPECT_EQ(plan.antennaAngle, 360);
  EXPECT_EQ(ReadFile(run.log_path()), CrLf(expected));
  EXPECT_THAT(view.Effects(), Not(Contains("clear")));

  // The next Start Test begins a new series; a step that would overflow ends it at once.
  plan.antennaStep = INT_MAX;
  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
  EXPECT_THAT(view.Effects(), Contains("clear").Times(1));
  EXPECT_EQ(plan.antennaAngle, INT_MAX);
  EXPECT_EQ(view.Memo().size(), one_run.size() + 4);
  EXPECT_EQ(view.Memo()[one_run.size()], kTestFinishedLine);
}

// The files in `directory`, hidden ones included.
Lines FilesIn(const std::filesystem::path& directory) {
  Lines names;
  if (std::filesystem::is_directory(directory)) {
    for (const auto& entry : std::filesystem::directory_iterator(directory))
      names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(GsmRunTest, TheLogIsWrittenWhileTheRunGoesAndKeepsEveryLineTheMemoDrops) {
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62, 1});
  SetList(plan.levels[0], {5, 7});
  plan.itemEnabled = {1, 1, 1, 1, 1, 1, 1};
  // The page keeps the newest lines only.
  view.line_limit = 10;
  // The clear at Start Test takes this one.
  view.AppendLine("from before the run");
  // Every line the memo receives from now on, in order.
  Lines received;
  Lines files_during_run;
  view.on_line = [&](const std::string& line) {
    received.push_back(line);
    if (line.starts_with("EGSM:1:7\tTXPower")) {
      files_during_run = LogFiles();
      // A console command typed during the run, its echo and answer from another thread.
      std::thread console([this] {
        view.AppendLine("<---*IDN?");
        view.AppendLine("--->Agilent Technologies,8960 Series 10,VEXA-SIM,A.01");
      });
      console.join();
    }
  };
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);

  // While the run went there was only the log's temporary file.
  EXPECT_THAT(files_during_run, ElementsAre(StartsWith(".log.vexa-tmp-")));
  EXPECT_THAT(LogFiles(), ElementsAre("0930-20061225.xls"));
  // The memo (cleared at the start) kept its last lines; the log has every line since the
  // clear, the console's among them where they came, then its own name and the credit line.
  ASSERT_GT(received.size(), 100u);
  EXPECT_EQ(received.front(), kRunHeaderLine);
  EXPECT_EQ(received[received.size() - 2], run.log_path());
  EXPECT_EQ(view.Memo(), Lines(received.end() - 10, received.end()));
  EXPECT_EQ(ReadFile(run.log_path()), CrLf(received));
  EXPECT_THAT(received, Contains("<---*IDN?"));
}

TEST_F(GsmRunTest, AnAntennaSeriesFillsOneLogWhateverTheMemoDropsAndWhatComesBetweenItsRuns) {
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62});
  SetList(plan.levels[0], {5, 7});
  plan.itemEnabled = {1, 0, 1, 0, 1, 0, 1};
  plan.antennaMode = 1;
  plan.antennaStep = 120;
  view.line_limit = 4;
  Lines received;
  view.on_line = [&](const std::string& line) { received.push_back(line); };
  const auto start_and_run = [&]() {
    GsmTestRun run(plan, TestSetDevice, view, clock, options);
    return run.Start() ? run.Run() : RunOutcome::kNotStarted;
  };
  const auto temporary_only = ElementsAre(StartsWith(".log.vexa-tmp-"));

  // Config's lines start the series' log, since the series keeps the memo.
  view.AppendLine("8960 setup finished");
  ASSERT_EQ(start_and_run(), RunOutcome::kFinished);
  EXPECT_THAT(LogFiles(), temporary_only);
  // Config again: the memo is cleared and the series starts over, without a log.
  view.ClearMemo();
  plan.antennaAngle = 0;
  EXPECT_THAT(LogFiles(), IsEmpty());
  received.clear();

  view.AppendLine("8960 setup finished");
  ASSERT_EQ(start_and_run(), RunOutcome::kFinished);  // 0 degrees
  view.AppendLine("<---*IDN?");                       // the console between two runs
  vexa_sim_set_call_connected(0);
  EXPECT_EQ(start_and_run(), RunOutcome::kNotStarted);  // "Connect MS, and try again!"
  vexa_sim_set_call_connected(1);
  {
    // Stop Test during the run at 120 degrees: no log, the series goes on.
    GsmTestRun run(plan, TestSetDevice, view, clock, options);
    view.on_line = [&](const std::string& line) {
      received.push_back(line);
      if (line.starts_with("EGSM:62:5\tRMS"))
        run.RequestStop();
    };
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Run(), RunOutcome::kStopped);
    view.on_line = [&](const std::string& line) { received.push_back(line); };
  }
  EXPECT_THAT(LogFiles(), temporary_only);
  EXPECT_EQ(plan.antennaAngle, 120);
  ASSERT_EQ(start_and_run(), RunOutcome::kFinished);  // 120 degrees again
  ASSERT_EQ(start_and_run(), RunOutcome::kFinished);  // 240: the full turn, the log

  EXPECT_THAT(view.Effects(), Contains("clear").Times(1));  // only Config's
  const Lines logs = LogFiles();
  ASSERT_THAT(logs, ElementsAre("0930-20061225.xls"));
  EXPECT_EQ(received.front(), "8960 setup finished");
  EXPECT_THAT(received, Contains(kConnectMsLine));
  EXPECT_THAT(received, Contains("Angle 0 degree Test finished"));
  EXPECT_THAT(received, Contains("Angle 120 degree Test finished").Times(1));
  EXPECT_EQ(received[received.size() - 2], options.log_directory + "/" + logs[0]);
  EXPECT_EQ(ReadFile(options.log_directory + "/" + logs[0]), CrLf(received));
  EXPECT_EQ(view.Memo(), Lines(received.end() - 4, received.end()));
}

TEST_F(GsmRunTest, ALogOrTraceThatCannotBeCreatedRefusesTheStartBeforeAnyCommand) {
  const std::string file = temp_ + "/a file";
  testing::WriteFile(file, "not a folder");
  const std::string folder = temp_ + "/a folder";
  std::filesystem::create_directory(folder);
  struct Case {
    std::string log_directory;
    std::string trace_path;
    std::string reason;
  };
  const Case cases[] = {
      {file, "", "Unable to write to " + file + ": Not a directory"},
      {temp_ + "/missing/GSM Log", "",
       "Unable to write to " + temp_ + "/missing/GSM Log: No such file or directory"},
      {options.log_directory, folder, "Unable to write to " + folder + ": Is a directory"},
      {options.log_directory, temp_ + "/missing/bus.txt",
       "Unable to write to " + temp_ + "/missing/bus.txt: No such file or directory"},
  };
  plan.bandEnabled[0] = 1;
  SetList(plan.channels[0], {62});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    std::filesystem::remove_all(options.log_directory);
    FakeView page;
    page.AppendLine("earlier line");
    GsmRunOptions refused = options;
    refused.log_directory = c.log_directory;
    refused.trace_path = c.trace_path;
    GsmTestRun run(plan, TestSetDevice, page, clock, refused);
    const int mark = vexa_sim_log_count(testing::kTestSetAddress);
    EXPECT_FALSE(run.Start());
    EXPECT_EQ(run.start_error(), c.reason);
    EXPECT_EQ(page.Memo(), (Lines{"earlier line", c.reason}));
    EXPECT_EQ(page.AttachedLog(), nullptr);
    EXPECT_EQ(run.Run(), RunOutcome::kNotStarted);
    EXPECT_EQ(vexa_sim_log_count(testing::kTestSetAddress), mark) << "a command was sent";
    EXPECT_THAT(page.Effects(), ElementsAre("colour: normal"));
    EXPECT_THAT(LogFiles(), IsEmpty());
    EXPECT_THAT(FilesIn(folder), IsEmpty());
  }
}

TEST_F(GsmRunTest, TheTraceIsOpenedAtStartButAStartWithoutACallLeavesItAsItWas) {
  const std::string trace = temp_ + "/bus.txt";
  options.trace_path = trace;
  vexa_sim_set_call_connected(0);
  {
    GsmTestRun run(plan, TestSetDevice, view, clock, options);
    EXPECT_FALSE(run.Start());
  }
  EXPECT_FALSE(std::filesystem::exists(trace)) << "a trace made for no run stays";
  testing::WriteFile(trace, "an earlier trace\n");
  {
    GsmTestRun run(plan, TestSetDevice, view, clock, options);
    EXPECT_FALSE(run.Start());
  }
  EXPECT_EQ(ReadFile(trace), "an earlier trace\n");
  EXPECT_THAT(LogFiles(), IsEmpty());

  // A run starts the trace anew, or adds to it in a series.
  vexa_sim_set_call_connected(1);
  plan.bandEnabled[0] = 1;
  for (const bool append : {false, true}) {
    options.trace_append = append;
    GsmTestRun run(plan, TestSetDevice, view, clock, options);
    ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
  }
  const Lines lines = testing::SplitLines(ReadFile(trace));
  // Two runs of six lines each (the header, the cell band and the call with their answers,
  // the traffic band): the earlier trace is gone.
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_THAT(lines[0], StartsWith("# VEXA bus trace of a GSM test run started 2006-12-25 01:30"));
  EXPECT_THAT(lines[1], ::testing::EndsWith(" > CALL:CELL:BAND?"));
  EXPECT_THAT(lines[6], StartsWith("# VEXA bus trace"));
}

// Lines that are the run's trace of a failed read, and the file itself while the run goes.
TEST_F(GsmRunTest, TheTraceGrowsBesideTheOldOneWhichStaysWholeUntilTheRunEnds) {
  const std::string trace = temp_ + "/bus.txt";
  testing::WriteFile(trace, "an earlier trace\n");
  options.trace_path = trace;
  plan.bandEnabled[0] = 1;
  std::string during;
  Lines files_during;
  view.on_line = [&](const std::string& line) {
    if (line == kRunHeaderLine) {
      during = ReadFile(trace);
      files_during = FilesIn(temp_);
    }
  };
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  ASSERT_TRUE(run.Start());
  // The run's first query times out: the trace names the failure as the memo would.
  vexa_sim_fail_next_reads(testing::kTestSetAddress, VEXA_SIM_READ_TIMEOUT, 1);
  ASSERT_EQ(run.Run(), RunOutcome::kFinished);
  EXPECT_FALSE(run.log_failed());

  EXPECT_EQ(during, "an earlier trace\n");
  ASSERT_EQ(files_during.size(), 3u);  // the trace's temporary, "GSM Log", the old trace
  EXPECT_THAT(files_during[0], StartsWith(".bus.txt.vexa-tmp-"));
  EXPECT_THAT(files_during, Contains("bus.txt"));
  EXPECT_THAT(FilesIn(temp_), ElementsAre("GSM Log", "bus.txt"));
  const Lines lines = testing::SplitLines(ReadFile(trace));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_THAT(lines[0], StartsWith("# VEXA bus trace"));
  EXPECT_THAT(lines[1], ::testing::EndsWith(" > CALL:CELL:BAND?"));
  EXPECT_THAT(lines[2],
              ::testing::MatchesRegex(
                  " *[0-9.]+ < \\(read failed ibsta = 0x[0-9a-f]+ iberr = 6 \\(EABO\\)\\)"));
}

TEST_F(GsmRunTest, ATraceThatCannotBePutInPlaceIsAMemoLineAndAFailedWrite) {
  std::filesystem::create_directory(temp_ + "/traces");
  const std::string trace = temp_ + "/traces/bus.txt";
  options.trace_path = trace;
  plan.bandEnabled[0] = 1;
  // The folder goes away while the run writes the trace beside where it should be.
  view.on_line = [&](const std::string& line) {
    if (line == kRunHeaderLine)
      std::filesystem::rename(temp_ + "/traces", temp_ + "/moved");
  };
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
  EXPECT_TRUE(run.log_failed());
  EXPECT_EQ(view.Memo().back(), "Unable to write to " + trace + ": No such file or directory");
  // The log itself was written.
  EXPECT_THAT(LogFiles(), ElementsAre("0930-20061225.xls"));
}

// A process id no process has now.
long UnusedPid() {
  for (long pid = 4194303; pid > 1; --pid) {
    if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH)
      return pid;
  }
  return 0;
}

TEST_F(GsmRunTest, TheLogsOfACrashedProgramAreRemovedByTheNextRunAndNoOtherFile) {
  std::string host;
  ASSERT_TRUE(ParseTemporaryFileName(TemporaryFileName("log", 1), &host, nullptr));
  const long dead = UnusedPid();
  ASSERT_GT(dead, 0);
  const std::string crashed = ".log.vexa-tmp-" + host + "-" + std::to_string(dead) + "-1";
  const std::string running = ".log.vexa-tmp-" + host + "-" + std::to_string(::getpid()) + "-999";
  std::filesystem::create_directories(options.log_directory);
  for (const std::string& name : {crashed, running, std::string(".log-Ab12Cd")})
    testing::WriteFile(options.log_directory + "/" + name, "half a log");
  GsmTestRun run(plan, TestSetDevice, view, clock, options);
  ASSERT_EQ(StartAndRun(run), RunOutcome::kFinished);
  EXPECT_THAT(LogFiles(), ElementsAre(".log-Ab12Cd", running, "0930-20061225.xls"));
}

}  // namespace
}  // namespace vexa
