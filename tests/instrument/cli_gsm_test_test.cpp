// vexa-cli gsm-test end to end against the simulator (steered through VEXA_SIM_SETUP, since
// the run is another process): the memo lines on stdout, the log beside them, the progress on
// stderr, the exit codes, the stop signals, a closed stdout, the antenna series and the bus
// trace.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
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

  // The run as a child process, to act on what it prints while it runs.
  std::unique_ptr<testing::ChildProcess> Start(const std::string& setup,
                                               testing::ChildProcess::Options options = {}) const {
    return std::make_unique<testing::ChildProcess>(Command(setup, "", "exec "), options);
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

// SIGHUP is the terminal closing: like Ctrl-C and SIGTERM it presses Stop Test, so the run
// ends as stopped and does not die half way through the plan.
TEST_F(CliGsmTest, EachStopSignalStopsTheRunWithoutEndLinesOrLog) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    const auto child = Start("latency_ms=2");
    ASSERT_TRUE(child->WaitForOutput("EGSM:975:5\tTXPower")) << child->err();
    child->Signal(signal_number);
    EXPECT_EQ(testing::DescribeStatus(child->Wait()), "exit 4");
    EXPECT_EQ(child->out().find("Test finished"), std::string::npos);
    EXPECT_NE(child->err().find("Test stopped before the end."), std::string::npos);
    EXPECT_TRUE(Logs().empty());
  }
}

TEST_F(CliGsmTest, ADroppedCallAsksOnStderrUntilStopped) {
  const auto child = Start("drop_call_after=40");
  ASSERT_TRUE(child->WaitForError("Connect MS, and try again!\n")) << child->err();
  child->Signal(SIGTERM);
  EXPECT_EQ(testing::DescribeStatus(child->Wait()), "exit 4");
  EXPECT_EQ(child->out().find("Connect MS"), std::string::npos) << "the prompt is not a memo line";
  EXPECT_TRUE(Logs().empty());
}

// Stop Test reaches the run at once, not when the run next shows something: a signal in the
// two seconds the run waits after the dropped call's beep ends the run there, without asking
// for the call again.
TEST_F(CliGsmTest, AStopSignalReachesTheRunWhileItWaits) {
  const auto child = Start("drop_call_after=40");
  ASSERT_TRUE(child->WaitForError("\a")) << child->err();
  child->Signal(SIGINT);
  EXPECT_EQ(testing::DescribeStatus(child->Wait()), "exit 4");
  const std::string err = child->err();
  const std::size_t notice = err.find("vexa-cli: stopping (interrupt again to end at once)\n");
  ASSERT_NE(notice, std::string::npos) << err;
  EXPECT_EQ(err.find("Connect MS, and try again!", notice), std::string::npos) << err;
  EXPECT_NE(err.find("Test stopped before the end.\n", notice), std::string::npos) << err;
  EXPECT_TRUE(Logs().empty());
}

// An instrument that does not answer: the set-up's first bus call takes ten minutes. The first
// signal asks to stop (and says so while the call goes on); a second SIGINT or SIGTERM ends
// the program at once, with 128 + the signal's number. A second SIGHUP does not: a closing
// terminal may send it twice.
TEST_F(CliGsmTest, ASecondInterruptEndsTheProgramAtOnce) {
  struct Case {
    std::vector<int> signals;
    const char* status;
  };
  for (const Case& c :
       {Case{{SIGINT, SIGINT}, "exit 130"}, Case{{SIGTERM, SIGTERM}, "exit 143"},
        Case{{SIGHUP, SIGINT}, "exit 130"}, Case{{SIGHUP, SIGHUP, SIGTERM}, "exit 143"}}) {
    SCOPED_TRACE(c.status);
    const auto child = Start("latency_ms=600000");
    ASSERT_TRUE(child->WaitForError("GPIB0::14::INSTR - ")) << child->err();
    child->Signal(c.signals[0]);
    ASSERT_TRUE(child->WaitForError("vexa-cli: stopping (interrupt again to end at once)\n"))
        << child->err();
    for (std::size_t i = 1; i < c.signals.size(); ++i)
      child->Signal(c.signals[i]);
    EXPECT_EQ(testing::DescribeStatus(child->Wait()), c.status);
  }
}

// `vexa-cli gsm-test | head -3`: the reader goes after three lines. The run goes on to its end
// and writes the whole log; the exit code says that the output was lost.
TEST_F(CliGsmTest, AClosedOutputLetsTheRunFinishAndWriteItsLog) {
  // The log without its own name's line (the name holds the time).
  const auto log_text = [this] {
    const std::vector<fs::path> logs = Logs();
    std::string text;
    for (const std::string& line : SplitLines(logs.size() == 1 ? ReadFile(logs[0]) : "")) {
      if (!line.starts_with("GSM Log/"))
        text += line + "\n";
    }
    return text;
  };
  const testing::ProcessResult whole = Run("");
  ASSERT_EQ(whole.exit_code, 0) << whole.err;
  const std::string expected = log_text();
  ASSERT_NE(expected.find("Passed<<<<<<<<<<<<<<<<"), std::string::npos) << expected;
  fs::remove_all(dir / "GSM Log");

  testing::ChildProcess::Options head;
  head.close_output_after_lines = 3;
  const auto child = Start("", head);
  EXPECT_EQ(testing::DescribeStatus(child->Wait()), "exit 1");
  EXPECT_TRUE(child->out().starts_with("Test Plan configured. Now begin setup 8960 ......\n"));
  const std::string err = child->err();
  const std::string message = "vexa-cli: cannot write to standard output: Broken pipe\n";
  ASSERT_NE(err.find(message), std::string::npos) << err;
  EXPECT_EQ(err.find(message), err.rfind(message)) << "one message: " << err;
  EXPECT_NE(err.find("Progress: 591/591 measurements (100%)"), std::string::npos) << err;
  EXPECT_EQ(log_text(), expected);
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
  // One log holds the whole series, from Config's lines on (a series keeps the memo), CR LF;
  // antenna mode leaves out the -102.5 dBm checks.
  const std::string log = ReadFile(Logs()[0]);
  std::string expected;
  for (const std::string& line : lines)
    expected += line + "\r\n";
  EXPECT_EQ(log, expected);
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

TEST_F(CliGsmTest, ALogFolderOrTraceThatCannotBeWrittenRefusesTheRunWithTheReason) {
  struct Case {
    const char* args;
    const char* folder;  // made where the file should be
    const char* file;    // made where the folder should be
    const char* reason;
  };
  for (const Case& c :
       {Case{"--trace bus", "bus", nullptr, "Unable to write to bus: Is a directory"},
        Case{"", nullptr, "GSM Log", "Unable to write to GSM Log: Not a directory"}}) {
    SCOPED_TRACE(c.reason);
    fs::remove_all(dir);
    fs::create_directories(dir);
    if (c.folder)
      fs::create_directory(dir / c.folder);
    if (c.file)
      testing::WriteFile(dir / c.file, "");
    const testing::ProcessResult result = Run("", c.args);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.err.find(std::string("vexa-cli: ") + c.reason), std::string::npos)
        << result.err;
    const std::vector<std::string> lines = SplitLines(result.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.reason);
    EXPECT_EQ(result.out.find("BAND:CN :PCL"), std::string::npos) << "the run started";
    if (c.file)
      EXPECT_TRUE(fs::is_regular_file(dir / c.file));
    else
      EXPECT_TRUE(Logs().empty());
  }
}

}  // namespace
}  // namespace vexa
