// vexa-cli gsm-test end to end against the simulator (steered through VEXA_SIM_SETUP, since
// the run is another process): the memo lines on stdout, the log beside them, the progress on
// stderr, the exit codes, SIGTERM as Stop Test, the antenna series and the bus trace.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/run_process.h"
#include "support/text_files.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::SplitLines;

class CliGsmTest : public ::testing::Test {
 protected:
  CliGsmTest() {
    dir = fs::temp_directory_path() /
          ("vexa-gsm-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~CliGsmTest() override { fs::remove_all(dir); }

  // The shell command running vexa-cli in `dir` on the simulator set up by `setup`.
  // `exec` replaces the shell, so that a signal sent to the child reaches vexa-cli itself.
  std::string Command(const std::string& setup, const std::string& args,
                      const char* exec = "") const {
    return "cd '" + dir.string() +
           "' && VEXA_GPIB_LIBRARY='" VEXA_SIM_PATH "' VEXA_SIM_SETUP='timeout_scale=0.01;" +
           setup + "' " + exec + "'" VEXA_CLI_PATH "' gsm-test " + args;
  }
  testing::ProcessResult Run(const std::string& setup, const std::string& args = "") const {
    return testing::RunProcess(Command(setup, args));
  }
  std::vector<fs::path> Logs() const {
    std::vector<fs::path> logs;
    if (fs::exists(dir / "GSM Log")) {
      for (const auto& entry : fs::directory_iterator(dir / "GSM Log"))
        logs.push_back(entry.path());
    }
    return logs;
  }

  // Starts the run in the background with stdout and stderr in files, sends SIGTERM once
  // `text` shows up in either, and returns the exit code.
  int RunAndTerminateOn(const std::string& setup, const std::string& text) {
    const pid_t child = fork();
    if (child == 0) {
      const std::string command = Command(setup, "> out.txt 2> err.txt", "exec ");
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline &&
           (ReadFile(dir / "out.txt") + ReadFile(dir / "err.txt")).find(text) == std::string::npos)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir;
};

TEST_F(CliGsmTest, TheStartUpPlanPassesPrintsTheMemoAndWritesTheSameLog) {
  const testing::ProcessResult result = Run("", "--trace bus.txt");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_GT(lines.size(), 500u);
  EXPECT_EQ(lines[0], "Test Plan configured. Now begin setup 8960 ......");
  EXPECT_EQ(lines[2], "BAND:CN :PCL\tTestItem      \tResult\tLimit1\tLimit2\tCheck");
  EXPECT_EQ(lines[3], "EGSM:975:5\tTXPower      \t33.55\t31.00\t35.00\tPassed");
  EXPECT_EQ(lines[lines.size() - 4], "Test finished");
  EXPECT_EQ(lines[lines.size() - 3], "Passed<<<<<<<<<<<<<<<<");
  EXPECT_EQ(lines.back(), "Logged by VEXA 2.02, the RF toolbox for GSM phones");
  // The log is the memo from the header on (Config clears nothing the run keeps), CR LF.
  const std::vector<fs::path> logs = Logs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ("GSM Log/" + logs[0].filename().string(), lines[lines.size() - 2]);
  std::string expected;
  for (std::size_t i = 2; i < lines.size(); ++i)
    expected += lines[i] + "\r\n";
  EXPECT_EQ(ReadFile(logs[0]), expected);
  // Progress on stderr as plain lines (not a terminal), ending with the whole run.
  EXPECT_NE(result.err.find("Progress: 591/591 measurements (100%)"), std::string::npos)
      << result.err;
  const std::string trace = ReadFile(dir / "bus.txt");
  EXPECT_NE(trace.find(" > FETCh:TXPower?\n"), std::string::npos);
  EXPECT_NE(trace.find(" < EGSM\n"), std::string::npos);
}

TEST_F(CliGsmTest, ExitCodesForAFailedPhoneNoCallAndBadUsage) {
  const testing::ProcessResult failed = Run("tx_power_offset=4");
  EXPECT_EQ(failed.exit_code, 3);
  EXPECT_NE(failed.out.find("\nFailed>>>>>>>>>>>>>>>>\n"), std::string::npos);

  fs::remove_all(dir / "GSM Log");
  const testing::ProcessResult no_call = Run("call=0");
  EXPECT_EQ(no_call.exit_code, 1);
  EXPECT_EQ(SplitLines(no_call.out).back(), "Connect MS, and try again!");
  EXPECT_TRUE(Logs().empty());

  for (const char* args : {"--bogus", "--trace", "a.tpl b.tpl"}) {
    const testing::ProcessResult usage = Run("", args);
    EXPECT_EQ(usage.exit_code, 2) << args;
    EXPECT_NE(usage.err.find("gsm-test"), std::string::npos) << usage.err;
  }
  const testing::ProcessResult missing = Run("", "missing.tpl");
  EXPECT_EQ(missing.exit_code, 1);
}

TEST_F(CliGsmTest, SigtermStopsTheRunWithoutEndLinesOrLog) {
  EXPECT_EQ(RunAndTerminateOn("latency_ms=2", "EGSM:975:5\tTXPower"), 4);
  const std::string out = ReadFile(dir / "out.txt");
  EXPECT_EQ(out.find("Test finished"), std::string::npos);
  EXPECT_NE(ReadFile(dir / "err.txt").find("Test stopped before the end."), std::string::npos);
  EXPECT_TRUE(Logs().empty());
}

TEST_F(CliGsmTest, ADroppedCallAsksOnStderrUntilStopped) {
  EXPECT_EQ(RunAndTerminateOn("drop_call_after=40", "Connect MS, and try again!"), 4);
  const std::string out = ReadFile(dir / "out.txt");
  EXPECT_EQ(out.find("Connect MS"), std::string::npos) << "the prompt is not a memo line";
  EXPECT_TRUE(Logs().empty());
}

TEST_F(CliGsmTest, SeriesRunsUntilTheAntennaMadeAFullTurn) {
  const std::string plan = "'" VEXA_CLI_PATH "' plan save ant --ant 1 --antstep 120 --pcs 0";
  ASSERT_EQ(testing::RunProcess("cd '" + dir.string() + "' && " + plan).exit_code, 0);
  const testing::ProcessResult result = Run("", "ant.tpl --series");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<std::string> lines = SplitLines(result.out);
  std::vector<std::string> ends;
  for (const std::string& line : lines) {
    if (line.find("Test finished") != std::string::npos)
      ends.push_back(line);
  }
  EXPECT_EQ(ends, (std::vector<std::string>{"Angle 0 degree Test finished",
                                            "Angle 120 degree Test finished", "Test finished"}));
  ASSERT_EQ(Logs().size(), 1u);
  // One log holds the whole series; antenna mode leaves out the -102.5 dBm checks.
  const std::string log = ReadFile(Logs()[0]);
  EXPECT_NE(log.find("Angle 120 degree Test finished\r\n"), std::string::npos);
  EXPECT_EQ(log.find("RXL@-102.5"), std::string::npos);

  const testing::ProcessResult refused =
      Run("", "ant.tpl --series --trace t.txt");  // a fine second series
  EXPECT_EQ(refused.exit_code, 0);
  ASSERT_EQ(testing::RunProcess("cd '" + dir.string() +
                                "' && '" VEXA_CLI_PATH "' plan save zero --ant 1 --antstep 0")
                .exit_code,
            0);
  const testing::ProcessResult endless = Run("", "zero.tpl --series");
  EXPECT_EQ(endless.exit_code, 1);
  EXPECT_NE(endless.err.find("--series needs a Degree/Turn of 1 or more"), std::string::npos);
}

}  // namespace
}  // namespace vexa
