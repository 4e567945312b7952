// The LAN road end to end: vexa-cli's console, a GSM run and a current test over the raw SCPI
// socket against vexa-instrument-sim on 127.0.0.1 print the very memo lines they print over
// the GPIB simulator; a run whose connection drops goes on once the instrument is back.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <regex>
#include <string>
#include <thread>

#include "support/instrument_sim_process.h"
#include "support/run_process.h"
#include "support/text_files.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;
using testing::ServerProcess;

// A command line run in the background with its standard output and error collected as they
// come, so that a test can act on a line as soon as the program prints it.
class WatchedProcess {
 public:
  explicit WatchedProcess(const std::string& command_line) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (pipe(out) != 0 || pipe(err) != 0)
      return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      for (int fd : {out[0], out[1], err[0], err[1]})
        close(fd);
      execl("/bin/sh", "sh", "-c", command_line.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    readers_[0] = std::thread([this, fd = out[0]] { Collect(fd, streams_[0]); });
    readers_[1] = std::thread([this, fd = err[0]] { Collect(fd, streams_[1]); });
  }
  ~WatchedProcess() {
    if (pid_ > 0 && !waited_)
      kill(pid_, SIGKILL);
    Wait();
  }
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;

  // Waits until `text` has appeared on standard output; false when the output ended without
  // it.
  bool WaitForOut(const std::string& text) { return WaitFor(streams_[0], text); }
  bool WaitForErr(const std::string& text) { return WaitFor(streams_[1], text); }

  // Waits for the end of the process.
  testing::ProcessResult Wait() {
    for (std::thread& reader : readers_) {
      if (reader.joinable())
        reader.join();
    }
    testing::ProcessResult result;
    if (pid_ > 0 && !waited_) {
      int status = 0;
      waitpid(pid_, &status, 0);
      waited_ = true;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    result.exit_code = exit_code_;
    std::lock_guard<std::mutex> lock(mutex_);
    result.out = streams_[0].text;
    result.err = streams_[1].text;
    return result;
  }

 private:
  struct Stream {
    std::string text;
    bool ended = false;
  };

  void Collect(int fd, Stream& stream) {
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (n > 0)
        stream.text.append(buffer, static_cast<std::size_t>(n));
      changed_.notify_all();
    }
    close(fd);
    std::lock_guard<std::mutex> lock(mutex_);
    stream.ended = true;
    changed_.notify_all();
  }

  bool WaitFor(Stream& stream, const std::string& text) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock,
                  [&] { return stream.text.find(text) != std::string::npos || stream.ended; });
    return stream.text.find(text) != std::string::npos;
  }

  pid_t pid_ = -1;
  bool waited_ = false;
  int exit_code_ = -1;
  std::mutex mutex_;
  std::condition_variable changed_;
  Stream streams_[2];  // standard output, standard error; guarded by mutex_
  std::thread readers_[2];
};

// The output with the run log's name (the time the run began, which differs between two runs
// that straddle a minute) checked for its form and replaced by "GSM Log/<log>".
std::string WithoutLogName(const std::string& out) {
  static const std::regex name("^GSM Log/[0-9]{4}-[0-9]{8}(-[0-9]+)?\\.xls$",
                               std::regex::multiline);
  return std::regex_replace(out, name, "GSM Log/<log>");
}

class LanRunTest : public ::testing::Test {
 protected:
  LanRunTest() {
    for (const char* side : {"lan", "gpib"}) {
      fs::path path = fs::temp_directory_path() /
                      ("vexa-lan-" + std::to_string(::getpid()) + "-" + side + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
      fs::remove_all(path);
      fs::create_directories(path);
      (std::string(side) == "lan" ? lan_dir : gpib_dir) = path;
    }
  }
  ~LanRunTest() override {
    fs::remove_all(lan_dir);
    fs::remove_all(gpib_dir);
  }

  static std::string Socket(int port) {
    return "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";
  }
  // vexa-cli in the LAN folder with no GPIB driver at all, so nothing can go over GPIB.
  testing::ProcessResult OverLan(const std::string& args) const {
    return testing::RunProcess(LanCommand(args));
  }
  std::string LanCommand(const std::string& args) const {
    return "cd '" + lan_dir.string() +
           "' && VEXA_GPIB_LIBRARY=/nonexistent/libgpib.so '" VEXA_CLI_PATH "' " + args;
  }
  testing::ProcessResult OverGpib(const std::string& args) const {
    return testing::RunProcess(
        "cd '" + gpib_dir.string() +
        "' && VEXA_GPIB_LIBRARY='" VEXA_SIM_LIBRARY "' '" VEXA_CLI_PATH "' " + args);
  }

  fs::path lan_dir;
  fs::path gpib_dir;
};

TEST_F(LanRunTest, ConsoleGivesTheGpibLinesAndNamesTheConnection) {
  ServerProcess server;
  const std::string commands = "\"*IDN?\" \"CALL:CONN:STAT?\" \"*RST\" \"FETCH:TXPOWER?\"";
  const testing::ProcessResult lan =
      OverLan("console --testset " + Socket(server.port(14)) + " testset " + commands);
  const testing::ProcessResult gpib = OverGpib("console testset " + commands);
  EXPECT_EQ(lan.exit_code, 0) << lan.err;
  EXPECT_EQ(gpib.exit_code, 0) << gpib.err;
  EXPECT_EQ(lan.out, gpib.out);
  EXPECT_THAT(lan.out, ::testing::StartsWith("<---*IDN?\n--->VEXA Simulator,GSM Test Set,"));
  EXPECT_THAT(lan.err, ::testing::StartsWith(Socket(server.port(14)) + " - LAN socket to "));

  // The DC source's address from the environment.
  const testing::ProcessResult dc =
      OverLan("console dcsource \"*IDN?\"");  // without the variable: no driver
  EXPECT_EQ(dc.exit_code, 1);
  const testing::ProcessResult dc_lan =
      testing::RunProcess("VEXA_DCSOURCE='" + Socket(server.port(5)) +
                          "' '" VEXA_CLI_PATH "' console dcsource \"*IDN?\"");
  EXPECT_EQ(dc_lan.exit_code, 0) << dc_lan.err;
  EXPECT_EQ(dc_lan.out,
            "<---*IDN?\n--->VEXA Simulator,Mobile Communications DC Source,SIM00005,A.01.01\n");
}

TEST_F(LanRunTest, GsmRunAndCurrentTestGiveTheGpibLines) {
  ServerProcess server;
  const testing::ProcessResult lan = OverLan("gsm-test --testset " + Socket(server.port(14)));
  const testing::ProcessResult gpib = OverGpib("gsm-test");
  EXPECT_EQ(lan.exit_code, 0) << lan.err;
  EXPECT_EQ(gpib.exit_code, 0) << gpib.err;
  EXPECT_GT(lan.out.size(), 10000u);
  EXPECT_TRUE(WithoutLogName(lan.out) != lan.out);  // the log's name is there, in its form
  EXPECT_EQ(WithoutLogName(lan.out), WithoutLogName(gpib.out));

  const std::string current = "current-test --points 16 --minutes 0.0005";
  const testing::ProcessResult lan_current =
      OverLan("current-test --dcsource " + Socket(server.port(5)) + current.substr(12));
  const testing::ProcessResult gpib_current = OverGpib(current);
  EXPECT_EQ(lan_current.exit_code, 0) << lan_current.err;
  EXPECT_EQ(gpib_current.exit_code, 0) << gpib_current.err;
  // The run lasts a set time, so the number of readings differs from run to run; the set-up
  // and the readings both runs made are the same.
  const std::vector<std::string> lan_lines = testing::SplitLines(lan_current.out);
  const std::vector<std::string> gpib_lines = testing::SplitLines(gpib_current.out);
  const auto readings = [](const std::vector<std::string>& lines) {
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string& line) { return line.rfind("No.", 0) == 0; });
  };
  const auto common = static_cast<std::size_t>(std::min(readings(lan_lines), readings(gpib_lines)));
  ASSERT_GT(common, 5u);
  const std::size_t first = static_cast<std::size_t>(
      std::find_if(lan_lines.begin(), lan_lines.end(),
                   [](const std::string& line) { return line.rfind("No.", 0) == 0; }) -
      lan_lines.begin());
  ASSERT_GE(gpib_lines.size(), first + common);
  EXPECT_TRUE(
      std::equal(lan_lines.begin(), lan_lines.begin() + first + common, gpib_lines.begin()));
  EXPECT_THAT(lan_lines, ::testing::Contains("Test finished"));
}

TEST_F(LanRunTest, ARunWhoseConnectionDropsGoesOnWhenTheInstrumentIsBack) {
  // One millisecond per message: the run lasts some seconds, long enough to cut it.
  auto server =
      std::make_unique<ServerProcess>(std::vector<std::string>{"--setup", "latency_ms=1"});
  const int port = server->port(14);
  WatchedProcess run(LanCommand("gsm-test --testset " + Socket(port)));
  // The run measures: the instrument is killed under it, and the connection drops mid-run.
  ASSERT_TRUE(run.WaitForOut("\tTXPower")) << run.Wait().err;
  server.reset();
  // The run found no call and asks for one: the instrument comes back on its port.
  ASSERT_TRUE(run.WaitForErr("Connect MS, and try again!")) << run.Wait().err;
  server = std::make_unique<ServerProcess>(
      std::vector<std::string>{"--testset-port", std::to_string(port)});
  const testing::ProcessResult lan = run.Wait();
  // The run saw the outage (a call check found no call and asked for it) and still came to
  // its end with its log: "Failed" when an item was measured while the instrument was away
  // (exit 3), "Passed" when the outage fell between the call checks only (exit 0).
  EXPECT_TRUE(lan.exit_code == 0 || lan.exit_code == 3) << lan.exit_code << '\n' << lan.err;
  EXPECT_NE(lan.err.find("Connect MS, and try again!"), std::string::npos) << lan.err;
  EXPECT_NE(lan.out.find("Test finished\n"), std::string::npos);
  EXPECT_NE(lan.out.find(lan.exit_code == 3 ? "Failed>>>>" : "Passed<<<<"), std::string::npos);
  EXPECT_NE(lan.out.find("GSM Log/"), std::string::npos);
}

TEST_F(LanRunTest, BadConnectionOptionsAreUsageErrors) {
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"console --testset GPIB0::31::INSTR testset \"*IDN?\"",
       "vexa-cli: The GPIB primary address must be 0 to 30 (\"GPIB0::31::INSTR\") (--testset)\n"},
      {"console --testset-transport serial testset \"*IDN?\"",
       "vexa-cli: unknown transport 'serial' (--testset-transport takes gpib, socket or visa)\n"},
      {"gsm-test --testset", "vexa-cli: --testset needs a value (see --help)\n"},
      {"current-test --dcsource-transport socket",
       "vexa-cli: The LAN socket takes addresses such as TCPIP0::192.168.1.20::5025::SOCKET, "
       "not \"GPIB0::5::INSTR\" (--dcsource)\n"},
  };
  for (const Case& c : cases) {
    const testing::ProcessResult result = OverLan(c.args);
    EXPECT_EQ(result.exit_code, 2) << c.args;
    EXPECT_EQ(result.err, c.message) << c.args;
    EXPECT_EQ(result.out, "") << c.args;
  }
}

}  // namespace
}  // namespace vexa
