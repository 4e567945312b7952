// Whole GSM test runs against a test set whose measurement answers cannot be read (garbled,
// empty, "NAN", out of range): the run engine and `vexa-cli gsm-test` over the LAN socket end
// "Failed" with no check passed, where the same run on well-formed answers passes.
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/memo_sink.h"
#include "instrument/bus/instrument_address.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/runs/gsm_test_run.h"
#include "instrument/runs/instrument_station.h"
#include "support/run_process.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::Each;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using Lines = std::vector<std::string>;

// Answers of a phone that passes every check of the plan below (EGSM, one level, every item
// but TXPower and RXLEV).
std::string PassingAnswer(const std::string& query) {
  if (query == "FETCh:PVTime?")
    return "0,0,33.0,-68.4,-47.9,-7.1,0.06,-0.09,-8.8,-44.6,-67.2";
  if (query == "FETCh:PFERror?")
    return "0,1.5,-4.2,-20";
  if (query == "FETCh:ORFSpectrum?")
    return "0,33.05,-25.25,-25.26,-30.85,-30.86,-36.55,-36.56,-39.35,-39.36,26.25,-4.6,-4.61,"
           "-34.2,-34.21,-37.8,-37.81,-66.1,-66.11,-69.8,-69.81,-72.9,-72.91";
  if (query == "FETCh:ORFSpectrum:LIMit:ALL?")
    return "0,-23,0,-23,0,-26,0,-26,0,-32,0,-32,0,-36,0,-36,0,0.5,-36,0,0.5,-36,0,-30,-36,0,-30,"
           "-36,0,-33,-36,0,-33.25,-36,0,-60,-36,0,-60,-36,0,-60,-51,0,-60,-51,0,-63,-51,0,-63,-51";
  if (query == "CALL:MS:REPorted:RXQuality:NEW?;NEW?;NEW?")
    return "0,0,1";
  if (query == "FETCh:BERRor?")
    return "0,8200,0.15";
  return "0,0,0";
}

// A test set on 127.0.0.1 (raw SCPI socket, LF-terminated) with a call up on EGSM that gives
// `measurement_answer` to every other query, or the passing answers when it is empty.
// Commands get no answer. Serves one client after the other.
class TestSetOnSocket {
 public:
  explicit TestSetOnSocket(std::string measurement_answer, bool passing = false)
      : answer_(std::move(measurement_answer)), passing_(passing) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(listen(listener_, 4), 0);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TestSetOnSocket() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  TestSetOnSocket(const TestSetOnSocket&) = delete;
  TestSetOnSocket& operator=(const TestSetOnSocket&) = delete;

  std::string resource() const {
    return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET";
  }
  // The measurement queries answered so far.
  int measurement_queries() const { return measurement_queries_.load(); }

 private:
  std::string AnswerTo(const std::string& line) {
    if (line == "CALL:CONN:STAT?" || line == "CALL:CONNECTED:STATE?")
      return "1\n";
    if (line == "CALL:CELL:BAND?")
      return "EGSM\n";
    if (line.empty() || line.back() != '?')
      return "";
    ++measurement_queries_;
    return (passing_ ? PassingAnswer(line) : answer_) + "\n";
  }
  bool Ready(int fd) const {
    while (!stop_) {
      pollfd watched{fd, POLLIN, 0};
      if (poll(&watched, 1, 20) > 0)
        return true;
    }
    return false;
  }
  void Serve() {
    while (Ready(listener_)) {
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0)
        continue;
      std::string pending;
      while (Ready(client)) {
        char chunk[1024];
        const ssize_t n = recv(client, chunk, sizeof chunk, 0);
        if (n <= 0)
          break;
        pending.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
          const std::string reply = AnswerTo(pending.substr(0, end));
          pending.erase(0, end + 1);
          send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
      }
      close(client);
    }
  }

  const std::string answer_;
  const bool passing_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> measurement_queries_{0};
  std::thread thread_;
};

// The page as far as this test looks at it: the memo.
class MemoView : public GsmRunView {
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
    log_.reset();
  }
  std::vector<std::string> MemoLines() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return memo_;
  }
  void AttachLog(std::shared_ptr<StreamedLog> log) override {
    std::lock_guard<std::mutex> lock(mutex_);
    log_ = std::move(log);
  }
  std::shared_ptr<StreamedLog> AttachedLog() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  void SetTestTime(const std::string&) override {}
  void SetRunning(bool) override {}
  void SetVerdictColour(VerdictColour shown) override { colour = shown; }
  void ShowProgress(long, long, double) override {}
  void Beep(int) override {}
  ReconnectAnswer AskToReconnect(const std::atomic<bool>&, const std::atomic<bool>&) override {
    ADD_FAILURE() << "the call is up all the time";
    return ReconnectAnswer::kStopTest;
  }

  std::atomic<VerdictColour> colour{VerdictColour::kNormal};

 private:
  std::mutex mutex_;
  Lines memo_;
  std::shared_ptr<StreamedLog> log_;
};

class FixedClock : public RunClock {
 public:
  double NowMs() override { return 0; }
  UtcTime NowUtc() override { return {2006, 12, 25, 1, 30}; }
};

class NullMemo : public MemoSink {
 public:
  void AppendLine(const std::string&) override {}
};

// Answers from which the run cannot read a passing result.
struct Unreadable {
  const char* name;
  std::string answer;
};
const Unreadable kUnreadable[] = {
    {"junk", "ERR!#,@@,--,xyz;;"},
    {"an empty line", ""},
    {"NAN", "NAN"},
    {"9e99",
     "9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,"
     "9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,"
     "9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,9e99,"
     "9e99,9e99,9e99,9e99,9e99"},
};

class GsmUnreadableAnswersTest : public ::testing::Test {
 protected:
  GsmUnreadableAnswersTest() {
    dir = fs::temp_directory_path() /
          ("vexa-gsm-unreadable-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    TestSetDevice.SetMemo(&memo_);
  }
  ~GsmUnreadableAnswersTest() override {
    TestSetDevice.DetachMemo(&memo_);
    fs::remove_all(dir);
  }

  // The run engine on `test_set` with the plan of the finding: EGSM channel 62 level 5, every
  // item but TXPower and RXLEV. Returns the memo.
  Lines RunEngine(const TestSetOnSocket& test_set, bool& any_failure) {
    EXPECT_EQ(TestSetDevice.SetConnection({TransportKind::kSocket, test_set.resource()}), "");
    EXPECT_EQ(TestSetDevice.Open(), 0);
    TestPlan plan;
    for (auto& list : plan.channels)
      list[0] = kEndOfList;
    for (auto& list : plan.levels)
      list[0] = kEndOfList;
    plan.bandEnabled[0] = 1;
    plan.channels[0][0] = 62;
    plan.channels[0][1] = kEndOfList;
    plan.levels[0][0] = 5;
    plan.levels[0][1] = kEndOfList;
    plan.itemEnabled = {0, 1, 1, 1, 0, 1, 1};
    plan.berReferenceLevel = -102.5f;
    GsmRunOptions options;
    options.log_directory = (dir / "GSM Log").string();
    options.beep_ms = 0;
    MemoView view;
    FixedClock clock;
    GsmTestRun run(plan, TestSetDevice, view, clock, options);
    EXPECT_TRUE(run.Start());
    EXPECT_EQ(run.Run(), RunOutcome::kFinished);
    any_failure = run.any_failure();
    EXPECT_EQ(view.colour.load(), any_failure ? VerdictColour::kFailed : VerdictColour::kPassed);
    return view.MemoLines();
  }

  // vexa-cli gsm-test over the socket with the plan of the finding, in `dir`.
  testing::ProcessResult RunCli(const TestSetOnSocket& test_set) const {
    const std::string cd = "cd '" + dir.string() + "' && ";
    const testing::ProcessResult saved =
        testing::RunProcess(cd + "'" VEXA_CLI_PATH
                                 "' plan save finding --dcs 0 --pcs 0 --gsm850 0 --egsm-cn 62 "
                                 "--egsm-pcl 5 --txpower 0 --rxlev 0");
    EXPECT_EQ(saved.exit_code, 0) << saved.err;
    return testing::RunProcess(
        cd + "VEXA_GPIB_LIBRARY=/nonexistent/libgpib.so '" VEXA_CLI_PATH "' gsm-test --testset " +
        test_set.resource() + " finding.tpl");
  }

  fs::path dir;

 private:
  NullMemo memo_;
  InstrumentStation station;
  InstrumentSession& TestSetDevice = station.TestSetDevice;
};

// The result lines of a memo: those with a verdict column.
Lines ResultLines(const Lines& memo) {
  Lines results;
  for (const std::string& line : memo) {
    if (line.starts_with("EGSM:62:5\t") && std::count(line.begin(), line.end(), '\t') == 5 &&
        !line.ends_with("\t"))
      results.push_back(line);
  }
  return results;
}

TEST_F(GsmUnreadableAnswersTest, TheRunEngineFailsEveryCheckAndTheRun) {
  {
    SCOPED_TRACE("passing answers");
    TestSetOnSocket test_set("", true);
    bool any_failure = true;
    const Lines memo = RunEngine(test_set, any_failure);
    EXPECT_FALSE(any_failure);
    EXPECT_EQ(ResultLines(memo).size(), 1u + 3 + 20 + 2 + 2);
    EXPECT_THAT(ResultLines(memo), Each(EndsWith("\tPassed")));
    EXPECT_THAT(memo, Contains(kOverallPassed));
  }
  for (const Unreadable& unreadable : kUnreadable) {
    SCOPED_TRACE(unreadable.name);
    TestSetOnSocket test_set(unreadable.answer);
    bool any_failure = false;
    const Lines memo = RunEngine(test_set, any_failure);
    EXPECT_TRUE(any_failure);
    const Lines results = ResultLines(memo);
    EXPECT_EQ(results.size(), 1u + 3 + 20 + 2 + 2);
    EXPECT_THAT(results, Each(EndsWith("\tFailed>>>>>>>>>>")));
    EXPECT_THAT(memo, Each(Not(HasSubstr("\tPassed"))));
    ASSERT_GE(memo.size(), 4u);
    EXPECT_EQ(memo[memo.size() - 4], kTestFinishedLine);
    EXPECT_EQ(memo[memo.size() - 3], kOverallFailed);
    EXPECT_GT(test_set.measurement_queries(), 0);
  }
}

TEST_F(GsmUnreadableAnswersTest, TheCommandLineRunExitsWithTheFailedCode) {
  {
    TestSetOnSocket test_set("", true);
    const testing::ProcessResult passed = RunCli(test_set);
    EXPECT_EQ(passed.exit_code, 0) << passed.err;
    EXPECT_THAT(passed.out, HasSubstr("\nPassed<<<<<<<<<<<<<<<<\n"));
  }
  for (const Unreadable& unreadable : kUnreadable) {
    SCOPED_TRACE(unreadable.name);
    TestSetOnSocket test_set(unreadable.answer);
    const testing::ProcessResult failed = RunCli(test_set);
    EXPECT_EQ(failed.exit_code, 3) << failed.err;
    EXPECT_THAT(failed.out, HasSubstr("\nFailed>>>>>>>>>>>>>>>>\n"));
    EXPECT_THAT(failed.out, Not(HasSubstr("\tPassed")));
    EXPECT_THAT(failed.out, HasSubstr("EGSM:62:5\tRXQ@-62.5\t"));
  }
}

}  // namespace
}  // namespace vexa
