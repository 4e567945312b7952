// Sessions, driver status and simulator used from two threads at once, as the console on the
// GUI thread and a test-run worker will. Run under ThreadSanitizer these also check that the
// shared state (status values, session fields, memo attachment) is free of data races.
#include <gmock/gmock.h>

#include <atomic>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "instrument/runs/testset_config.h"
#include "instrument_test_support.h"

namespace vexa {
namespace {

using ::testing::ElementsAreArray;
using Entry = testing::MemoRecorder::Entry;

constexpr int kRounds = 40;

// The memo lines the console and the worker write on the shared test-set session below.
enum class LineKind {
  kEcho,
  kAnswer,
  kWorkerReport,
  kOpenError,
  kClearError,
  kWriteError,
  kReadError
};

constexpr const char* kConsoleQuery = "CALL:CONN:STAT?";

// What a line is when it is exactly one whole line of those kinds; nothing for a torn line,
// two lines run together, or a status part whose mnemonic is not the one of its iberr.
std::optional<LineKind> Classify(const std::string& line) {
  if (line == std::string("<---") + kConsoleQuery)
    return LineKind::kEcho;
  static const std::regex answer("--->[0-9]*");
  if (std::regex_match(line, answer))
    return LineKind::kAnswer;
  if (line == kSetupBeginLine || line == kSetupEndLine)
    return LineKind::kWorkerReport;
  static const std::regex report(
      "(Unable to open device|Unable to clear device|Unable to write to "
      "device|Unable to read from device) ibsta = 0x([0-9a-f]+) iberr = (-?[0-9]+) \\(([A-Z]*)\\)");
  std::smatch match;
  if (!std::regex_match(line, match, report))
    return std::nullopt;
  if (match[4].str() != IberrMnemonic(std::stoi(match[3].str())))
    return std::nullopt;
  const std::string text = match[1].str();
  if ((std::stoi(match[2].str(), nullptr, 16) & bus::kErr) == 0)
    return std::nullopt;  // a bus failure's own status always has ERR
  if (text == "Unable to open device")
    return LineKind::kOpenError;
  if (text == "Unable to clear device")
    return LineKind::kClearError;
  return text == "Unable to write to device" ? LineKind::kWriteError : LineKind::kReadError;
}

// Checks the memo of the console/worker test: every line whole; the worker's lines (open and
// clear failures, its report) anywhere; the console's lines, in order, `commands` times either
// an open failure alone, or [clear failure] echo [write failure] [read failure] answer.
::testing::AssertionResult IsConsoleTranscript(const std::vector<Entry>& entries,
                                               std::thread::id console, int commands) {
  enum class Next { kCommand, kEcho, kAfterEcho, kAfterWrite, kAfterRead };
  Next next = Next::kCommand;
  int completed = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& line = entries[i].line;
    const auto failure = [&](const char* what) {
      return ::testing::AssertionFailure() << what << " at line " << i << ": \"" << line << '"';
    };
    const std::optional<LineKind> kind = Classify(line);
    if (!kind)
      return failure("not one whole memo line");
    if (entries[i].thread != console) {
      if (*kind != LineKind::kWorkerReport && *kind != LineKind::kOpenError &&
          *kind != LineKind::kClearError) {
        return failure("a console line from the worker");
      }
      continue;
    }
    if (*kind == LineKind::kWorkerReport)
      return failure("the worker's report from the console");
    switch (next) {
      case Next::kCommand:
        if (*kind == LineKind::kOpenError) {
          ++completed;
        } else if (*kind == LineKind::kClearError) {
          next = Next::kEcho;
        } else if (*kind == LineKind::kEcho) {
          next = Next::kAfterEcho;
        } else {
          return failure("a command that does not start with its echo");
        }
        break;
      case Next::kEcho:
        if (*kind != LineKind::kEcho)
          return failure("no echo after the clear failure");
        next = Next::kAfterEcho;
        break;
      case Next::kAfterEcho:
      case Next::kAfterWrite:
      case Next::kAfterRead:
        if (*kind == LineKind::kWriteError && next == Next::kAfterEcho) {
          next = Next::kAfterWrite;
        } else if (*kind == LineKind::kReadError && next != Next::kAfterRead) {
          next = Next::kAfterRead;
        } else if (*kind == LineKind::kAnswer) {
          ++completed;
          next = Next::kCommand;
        } else {
          return failure("out of order within a command");
        }
        break;
    }
  }
  if (next != Next::kCommand)
    return ::testing::AssertionFailure() << "the last command is incomplete";
  if (completed != commands) {
    return ::testing::AssertionFailure()
           << completed << " console commands in the memo, expected " << commands;
  }
  return ::testing::AssertionSuccess();
}

TEST(ConsoleTranscriptTest, AcceptsWholeOrderedCommandsAndRejectsTornOrMisorderedLines) {
  const std::thread::id console = std::this_thread::get_id();
  const std::thread::id worker;  // any other thread

  const Entry echo{console, "<---CALL:CONN:STAT?"};
  const Entry answer{console, "--->1"};
  const Entry empty_answer{console, "--->"};
  const Entry write_error{console, "Unable to write to device ibsta = 0x8000 iberr = 0 (EDVR)"};
  const Entry read_error{console, "Unable to read from device ibsta = 0xc100 iberr = 6 (EABO)"};
  const Entry clear_error{console, "Unable to clear device ibsta = 0x8000 iberr = 0 (EDVR)"};
  const Entry report{worker, kSetupBeginLine};
  const Entry worker_clear{worker, clear_error.line};

  struct Case {
    const char* name;
    std::vector<Entry> entries;
    int commands;
    bool accepted;
  };
  const Case cases[] = {
      {"two commands with worker lines between",
       {echo, report, answer, clear_error, echo, write_error, worker_clear, read_error,
        empty_answer},
       2,
       true},
      {"torn error line", {echo, {console, "Unable to read from dev"}, empty_answer}, 1, false},
      {"torn status",
       {echo, {console, "Unable to read from device ibsta = 0xc100 iberr = 6 (EA"}, empty_answer},
       1,
       false},
      {"status of another line",
       {echo,
        {console, "Unable to read from device ibsta = 0xc100 iberr = 6 (EDVR)"},
        empty_answer},
       1,
       false},
      {"two lines run together", {{console, "<---CALL:CONN:STAT?--->1"}}, 1, false},
      {"answer before its echo", {answer, echo}, 1, false},
      {"read failure before write failure", {echo, read_error, write_error, answer}, 1, false},
      {"echo of the next command before the answer", {echo, echo, answer, answer}, 2, false},
      {"answer missing", {echo}, 1, false},
      {"a command's lines missing", {echo, answer}, 2, false},
      {"echo from the worker", {{worker, echo.line}, answer}, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(static_cast<bool>(IsConsoleTranscript(c.entries, console, c.commands)), c.accepted);
  }
}

// The set-up's effects on a window, which this test has none of.
class NoWindow : public ConfigureView {
 public:
  void ClearMemo() override {}
  void ResetCommandLineColour() override {}
  void EnableStartTest() override {}
  void CloseWindow() override {}
};

class ConcurrencyTest : public testing::SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    vexa_sim_set_latency_ms(0.2);  // lets the two threads' calls interleave
    vexa_sim_set_speed(0);
    vexa_sim_set_value("current_spread", 0);
  }
};

TEST_F(ConcurrencyTest, BothConsolesAtOnceEachShowTheirOwnAnswers) {
  std::thread test_set([this] {
    for (int i = 0; i < kRounds; ++i)
      TestSetDevice.SendConsoleText("*IDN?");
  });
  std::thread dc_source([this] {
    for (int i = 0; i < kRounds; ++i)
      DcSourceDevice.SendConsoleText("MEAS:CURR?");
  });
  test_set.join();
  dc_source.join();

  std::vector<std::string> expected_test_set, expected_dc_source;
  for (int i = 0; i < kRounds; ++i) {
    expected_test_set.insert(expected_test_set.end(),
                             {"<---*IDN?", "--->VEXA Simulator,GSM Test Set,SIM00014,A.02.02"});
    expected_dc_source.insert(expected_dc_source.end(), {"<---MEAS:CURR?", "--->2.345678E-01"});
  }
  EXPECT_THAT(test_set_memo.Lines(), ElementsAreArray(expected_test_set));
  EXPECT_THAT(dc_source_memo.Lines(), ElementsAreArray(expected_dc_source));
}

TEST_F(ConcurrencyTest, EachCallReportsItsOwnStatusWhileAnotherThreadFails) {
  // One thread keeps timing out on an absent device while the other works normally: the
  // statuses a thread gets back must never be the other thread's.
  std::atomic<bool> stop{false};
  std::atomic<int> foreign_statuses{0};
  std::thread failing([&] {
    const int ud = gpib::ibdev(0, 9, 0, 13, 1, 0);
    char buffer[16];
    while (!stop) {
      if (gpib::ibrd(ud, buffer, sizeof buffer) != bus::Status{0xc100, 6, 0})
        ++foreign_statuses;
      gpib::LastStatus();
    }
  });
  const int ud = gpib::ibdev(0, testing::kTestSetAddress, 0, 13, 1, 0);
  for (int i = 0; i < kRounds; ++i) {
    if (gpib::ibwrt(ud, "*OPC?", 5) != bus::Status{0x0100, 0, 5})
      ++foreign_statuses;
    char buffer[16];
    if (gpib::ibrd(ud, buffer, sizeof buffer) != bus::Status{0x2100, 0, 2})
      ++foreign_statuses;
  }
  stop = true;
  failing.join();
  EXPECT_EQ(foreign_statuses, 0);
}

TEST_F(ConcurrencyTest, WorkerAndConsoleShareTheTestSetSession) {
  // The set-up of "Config" on the page's worker and the console use the same session; each
  // set-up opens the test set anew under the console's commands, but every memo line stays
  // whole and each console command's lines stay in order.
  vexa_sim_set_timeout_scale(0.002);  // a lost answer costs a 20 ms time-out
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    NoWindow view;
    TestPlan plan{};  // no band: the set-up without the band query
    const std::atomic<bool> never_cancelled{false};
    while (!stop)
      SendConfiguration(plan, false, TestSetDevice, view, never_cancelled);
  });
  int recorded_commands = 0;  // the memo is attached for every other command
  for (int i = 0; i < kRounds; ++i) {
    TestSetDevice.SendConsoleText(kConsoleQuery);
    recorded_commands += i % 2 == 0;
    TestSetDevice.SetMemo(i % 2 ? &test_set_memo : nullptr);  // attach and detach meanwhile
  }
  stop = true;
  worker.join();
  EXPECT_TRUE(
      IsConsoleTranscript(test_set_memo.Entries(), std::this_thread::get_id(), recorded_commands));
  // Every replaced descriptor was released or taken offline; only the last open may remain.
  EXPECT_LE(vexa_sim_open_descriptors(), 1);
}

}  // namespace
}  // namespace vexa
