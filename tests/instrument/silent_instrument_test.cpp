// Instruments that stop answering, answer late or are asked twice at once: a DC source killed
// mid-run ends the current test with its summary over the real readings; a call blocked on a
// silent LAN instrument is aborted at once; a console query typed during a run's query gets
// its own answer, and the run its own.
#include <gmock/gmock.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "instrument/bus/instrument_session.h"
#include "instrument/bus/transport.h"
#include "instrument/runs/current_test_run.h"
#include "instrument_test_support.h"
#include "support/instrument_sim_process.h"
#include "support/run_process.h"
#include "support/text_files.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::ServerProcess;

std::string Socket(int port) {
  return "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";
}

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() /
            ("vexa-silent-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::vector<std::string> Lines(const std::string& text) {
  return testing::SplitLines(text);
}

long CountStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

TEST(SilentInstrument, ADcSourceKilledMidRunEndsTheCurrentTestWithItsRealReadings) {
  TempFolder folder;
  auto server = std::make_unique<ServerProcess>();
  testing::ChildProcess cli(
      "cd '" + folder.path().string() +
      "' && exec env VEXA_GPIB_LIBRARY=/nonexistent/libgpib.so '" VEXA_CLI_PATH
      "' current-test --dcsource " +
      Socket(server->port(5)) + " --points 16 --minutes 10");
  ASSERT_TRUE(cli.WaitForOutput("\nNo.20 Current: "));
  server.reset();  // the source is switched off
  const int status = cli.Wait();
  ASSERT_TRUE(WIFEXITED(status)) << testing::DescribeStatus(status);
  EXPECT_EQ(WEXITSTATUS(status), 1) << cli.err();
  EXPECT_THAT(cli.err(), HasSubstr("The DC source stopped answering"));

  const std::vector<std::string> lines = Lines(cli.out());
  const long readings = CountStartingWith(lines, "No.");
  ASSERT_GE(readings, 21);
  // Only what the source gave: every sample line and the total agree, and the failed reads
  // are named once each, three of them.
  EXPECT_EQ(CountStartingWith(lines, "Total " + std::to_string(readings) + ", Aver "), 1)
      << cli.out();
  EXPECT_EQ(CountStartingWith(lines, "Unable to "), 3) << cli.out();
  const auto silent = std::find(lines.begin(), lines.end(), kSourceSilentLine);
  ASSERT_NE(silent, lines.end()) << cli.out();
  EXPECT_EQ(std::find(lines.begin(), lines.end(), kTestFinishedLine), lines.end());

  // The log holds the same lines, the reason included.
  std::vector<fs::path> logs;
  for (const auto& entry : fs::directory_iterator(folder.path() / "Current Log"))
    logs.push_back(entry.path());
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_THAT(testing::ReadFile(logs[0].string()), HasSubstr(std::string(kSourceSilentLine)));
}

// The session on a LAN instrument that takes ten minutes to answer: without an abort, each
// read below would wait that long and the test would run into ctest's time-out.
class SlowLanSession : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ =
        std::make_unique<ServerProcess>(std::vector<std::string>{"--setup", "latency_ms=600000"});
    ASSERT_EQ(
        DcSourceDevice.SetConnection(Connection{TransportKind::kSocket, Socket(server_->port(5))},
                                     TransportOptions{std::chrono::minutes(10)}),
        "");
    DcSourceDevice.SetMemo(&memo_);
  }
  void TearDown() override { DcSourceDevice.DetachMemo(&memo_); }

  testing::MemoRecorder memo_;
  std::unique_ptr<ServerProcess> server_;
  InstrumentStation station;
  InstrumentSession& DcSourceDevice = station.DcSourceDevice;
};

class RecordingView : public CurrentRunView {
 public:
  void AppendLine(const std::string& line) override {
    const std::lock_guard lock(mutex_);
    lines_.push_back(line);
  }
  void ClearMemo() override {}
  std::vector<std::string> MemoLines() override { return {}; }
  void AttachLog(MemoSink* log) override { log_ = log; }
  void SetTestTime(const std::string&) override {}
  void SetAverage(const std::string&) override {}
  void SetRunning(bool) override {}
  bool DemoMode() override { return false; }
  void BatchFinished(const CurrentBatch&) override {}
  std::vector<std::string> lines() {
    const std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
  MemoSink* log_ = nullptr;
};

TEST_F(SlowLanSession, AbortEndsAReadInProgressAtOnce) {
  ASSERT_TRUE(DcSourceDevice.CanAbortCalls());
  bool opened = false;
  InstrumentSession::Link link = DcSourceDevice.OpenLink(&opened);
  ASSERT_TRUE(opened) << ::testing::PrintToString(memo_.Lines());
  std::atomic<bool> reading = false;
  bus::Status status;
  std::thread reader([&] {
    ASSERT_FALSE(link.Write("*IDN?").Failed());
    reading = true;
    link.ReadAnswer(100, &status);
  });
  while (!reading)
    std::this_thread::yield();
  EXPECT_TRUE(DcSourceDevice.AbortCalls());
  reader.join();
  EXPECT_TRUE(status.Failed());
  // The aborted descriptor is not used again; the next open reaches the instrument anew.
  EXPECT_TRUE(link.Write("*IDN?").Failed());
}

TEST_F(SlowLanSession, CancellingACurrentTestBlockedOnItsReadEndsItAtOnce) {
  TempFolder folder;
  RecordingView view;
  CurrentRunOptions options;
  options.log_directory = (folder.path() / "Current Log").string();
  options.settle_ms = 0;
  CurrentTestRun run(DcSourceDevice, view, SystemRunClock(), options);
  CurrentSettings settings;
  settings.points = "16";
  ASSERT_TRUE(run.Configure(settings, false)) << ::testing::PrintToString(view.lines());
  RunOutcome outcome = RunOutcome::kNotStarted;
  std::thread worker([&] { outcome = run.Run(); });
  // The run's first query holds the bus from its write to its read, which never ends alone.
  while (DcSourceDevice.TryHoldBus().owns_lock())
    std::this_thread::yield();
  run.Cancel();
  worker.join();
  EXPECT_EQ(outcome, RunOutcome::kCancelled);
  EXPECT_EQ(run.readings(), 0);
  EXPECT_FALSE(fs::exists(options.log_directory) && !fs::is_empty(options.log_directory));
}

// A run's query and a console query at once on a test set that takes 15 ms a message: each
// side gets its own answer.
TEST(SessionExchange, AConsoleQueryDuringARunsQueryGetsItsOwnAnswer) {
  testing::UseDriverLibrary(VEXA_SIM_LIBRARY);
  vexa_sim_reset();
  vexa_sim_set_command_log(0);
  vexa_sim_set_latency_ms(15);
  testing::MemoRecorder memo;
  InstrumentStation station;
  InstrumentSession& TestSetDevice = station.TestSetDevice;
  TestSetDevice.SetMemo(&memo);
  ASSERT_EQ(TestSetDevice.Open(), 0);
  std::atomic<bool> done = false;
  std::vector<std::string> run_answers;
  std::thread run([&] {
    while (!done) {
      const std::unique_lock<std::mutex> bus = TestSetDevice.HoldBus();
      InstrumentSession::Link link = TestSetDevice.CurrentLink();
      link.Write("CALL:CONN:STAT?");
      run_answers.push_back(link.ReadAnswer(100));
    }
  });
  for (int i = 0; i < 5; ++i)
    EXPECT_TRUE(TestSetDevice.SendConsoleText("*IDN?"));
  done = true;
  run.join();
  vexa_sim_set_latency_ms(0);
  TestSetDevice.DetachMemo(&memo);
  testing::ReleaseDescriptor(TestSetDevice);
  vexa_sim_reset();

  ASSERT_FALSE(run_answers.empty());
  for (const std::string& answer : run_answers)
    EXPECT_EQ(answer, "1");
  const std::vector<std::string> lines = memo.Lines();
  EXPECT_EQ(CountStartingWith(lines, "--->VEXA Simulator,GSM Test Set,"), 5)
      << ::testing::PrintToString(lines);
  EXPECT_EQ(CountStartingWith(lines, "--->"), 5);
}

// A connection change never swaps the transport under work in progress: while a run, the
// set-up or a console command uses the session, or an exchange holds its bus, the change is
// refused with its reason and the connection stays as it was.
TEST(SessionExchange, AConnectionChangeIsRefusedWhileTheSessionIsInUse) {
  InstrumentSession session(9, -1, AfterFailedClear::kStop);
  const Connection lan{TransportKind::kSocket, "TCPIP0::127.0.0.1::5025::SOCKET"};
  const Connection before = session.connection();
  {
    const InstrumentSession::Use use = session.MarkInUse();
    EXPECT_TRUE(session.InUse());
    EXPECT_EQ(session.SetConnection(lan), kSessionInUse);
    EXPECT_EQ(session.connection().resource, before.resource);
  }
  {
    std::atomic<bool> held = false;
    std::atomic<bool> release = false;
    std::thread exchange([&] {
      const std::unique_lock<std::mutex> bus = session.HoldBus();
      held = true;
      while (!release)
        std::this_thread::yield();
    });
    while (!held)
      std::this_thread::yield();
    EXPECT_EQ(session.SetConnection(lan), kSessionInUse);
    release = true;
    exchange.join();
  }
  EXPECT_FALSE(session.InUse());
  EXPECT_EQ(session.SetConnection(lan), "");
  EXPECT_EQ(session.connection().resource, lan.resource);
}

}  // namespace
}  // namespace vexa
