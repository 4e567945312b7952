// The whole vexa-cli program on a terminal that goes away: standard output that cannot be
// written (a full disk, a pipe whose reader ended, a closed descriptor) for every command, and
// the stop signals of the console and the set-up. The runs' own signal handling is tested with
// the runs (cli_gsm_test_test.cpp, cli_current_test_test.cpp).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/text_files.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::DescribeStatus;
using testing::ReadFile;
using testing::SplitLines;

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

class CliTerminalTest : public ::testing::Test {
 protected:
  CliTerminalTest() {
    dir = fs::temp_directory_path() /
          ("vexa-terminal-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~CliTerminalTest() override { fs::remove_all(dir); }

  // The shell command running `vexa-cli ARGS` in `dir` on the simulator set up by `setup`.
  std::string Command(const std::string& args, const std::string& setup = "") const {
    return "cd '" + dir.string() +
           "' && VEXA_GPIB_LIBRARY='" VEXA_SIM_LIBRARY
           "' VEXA_SIM_SETUP='speed=0;timeout_scale=0.01;" +
           setup + "' exec '" VEXA_CLI_PATH "' " + args;
  }
  std::vector<fs::path> Files(const char* folder) const {
    std::vector<fs::path> files;
    if (fs::exists(dir / folder)) {
      for (const auto& entry : fs::directory_iterator(dir / folder))
        files.push_back(entry.path());
    }
    return files;
  }

  fs::path dir;
};

// One command line of each command, each running to its end with exit code 0 when its
// output can be written.
struct CommandCase {
  const char* command;  // the name --help lists
  const char* args;
};
const CommandCase kEveryCommand[] = {
    {"gsm", "gsm --dcs 885 enter-dcs"},
    {"channel", "channel E-GSM 62"},
    {"harmonics", "harmonics pcs 700.5"},
    {"reference", "reference pcl"},
    {"trans", "trans --s11 -20 s11"},
    {"match", "match design"},
    {"smith", "smith --r 100 --x 0 enter"},
    {"filter", "filter calc"},
    {"pll", "pll calc"},
    {"rx", "rx analyse"},
    {"console", "console testset '*IDN?' '*OPC?'"},
    {"configure", "configure"},
    {"gsm-test", "gsm-test"},
    {"current-test", "current-test --minutes 0.0005"},
    {"plan", "plan show"},
    {"--help", "--help"},
    {"--version", "--version"},
    {"page --help", "filter --help"},
    {"command --help", "console --help"},
    {"plan save", "plan save saved --gsm850 1"},
};

TEST_F(CliTerminalTest, EveryCommandCoversTheCommandList) {
  const testing::ProcessResult help = testing::RunProcess("'" VEXA_CLI_PATH "' --help");
  ASSERT_EQ(help.exit_code, 0);
  std::set<std::string> listed;
  for (const std::string& line : SplitLines(help.out)) {
    if (line.starts_with("  ") && !line.starts_with("   "))
      listed.insert(line.substr(2, line.find(' ', 2) - 2));
    if (line == "Exit status:")
      break;
  }
  ASSERT_GT(listed.size(), 10u) << help.out;
  std::set<std::string> covered;
  for (const CommandCase& c : kEveryCommand)
    covered.insert(c.command);
  for (const std::string& name : listed)
    EXPECT_TRUE(covered.contains(name)) << name << " has no case";
}

// `> /dev/full`: the output is lost, so the command does not end with 0, and says why once.
TEST_F(CliTerminalTest, AFullDiskEndsEveryCommandWithOneAndOneMessage) {
  const std::string message =
      "vexa-cli: cannot write to standard output: No space left on device\n";
  for (const CommandCase& c : kEveryCommand) {
    SCOPED_TRACE(c.args);
    const testing::ProcessResult written = testing::RunProcess(Command(c.args));
    ASSERT_EQ(written.exit_code, 0) << written.err;
    ASSERT_FALSE(written.out.empty());
    EXPECT_EQ(written.err.find(message), std::string::npos);

    const testing::ProcessResult full = testing::RunProcess(Command(c.args) + " > /dev/full");
    EXPECT_EQ(full.exit_code, 1);
    EXPECT_EQ(Count(full.err, message), 1u) << full.err;
  }
}

// A pipe whose reader is gone before the first line, or no standard output at all: the
// command goes on to its end (a run writes its whole log), and its exit code says that the
// output was lost unless the command's own code says more.
TEST_F(CliTerminalTest, AClosedOutputNeverEndsACommand) {
  struct Case {
    const char* args;
    const char* setup;
    const char* status;
    const char* log_folder;  // where a run writes its log, or nullptr
  };
  const Case cases[] = {
      {"filter calc", "", "exit 1", nullptr},
      {"console testset '*IDN?' '*OPC?'", "", "exit 1", nullptr},
      {"configure", "", "exit 1", nullptr},
      {"gsm-test", "", "exit 1", "GSM Log"},
      {"gsm-test", "tx_power_offset=4", "exit 3", "GSM Log"},
      {"current-test --minutes 0.0005", "", "exit 1", "Current Log"},
  };
  const std::string message = "vexa-cli: cannot write to standard output: Broken pipe\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.args) + " " + c.setup);
    fs::remove_all(dir / "GSM Log");
    fs::remove_all(dir / "Current Log");
    ChildProcess::Options closed;
    closed.close_output_after_lines = 0;
    ChildProcess child(Command(c.args, c.setup), closed);
    EXPECT_EQ(DescribeStatus(child.Wait()), c.status);
    EXPECT_EQ(Count(child.err(), message), 1u) << child.err();
    if (c.log_folder) {
      const std::vector<fs::path> logs = Files(c.log_folder);
      ASSERT_EQ(logs.size(), 1u);
      EXPECT_TRUE(ReadFile(logs[0]).ends_with(
          "\r\nLogged by VEXA 2.02, the RF toolbox for GSM phones\r\n"));
    }
  }

  // No standard output at all: nothing the command opens takes its place.
  const testing::ProcessResult none = testing::RunProcess(Command("gsm-test >&-"));
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_EQ(Count(none.err, "vexa-cli: cannot write to standard output: Bad file descriptor\n"), 1u)
      << none.err;
  const std::vector<fs::path> logs = Files("GSM Log");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(ReadFile(logs[0]).starts_with("BAND:CN :PCL\tTestItem")) << "the log is the log";
}

// The terminal closing (SIGHUP) or Ctrl-C during a console session: the command in progress
// finishes with its answer, the later ones are not sent, exit code 4.
TEST_F(CliTerminalTest, AStopSignalSendsNoFurtherConsoleCommand) {
  constexpr int kCommands = 40;
  std::string commands;
  for (int i = 0; i < kCommands; ++i)
    commands += " '*IDN?'";
  for (const int signal_number : {SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal_number);
    ChildProcess child(Command("console testset" + commands, "latency_ms=100"));
    ASSERT_TRUE(child.WaitForOutput("<---*IDN?\n")) << child.err();
    child.Signal(signal_number);
    EXPECT_EQ(DescribeStatus(child.Wait()), "exit 4");
    const std::string out = child.out();
    EXPECT_LT(Count(out, "<---*IDN?\n"), static_cast<std::size_t>(kCommands));
    EXPECT_EQ(Count(out, "<---*IDN?\n"), Count(out, "--->VEXA Simulator,")) << out;
    EXPECT_NE(child.err().find("vexa-cli: stopping (interrupt again to end at once)\n"),
              std::string::npos);
  }
}

// SIGHUP during the set-up: the test set is not left half set up; exit code 4 tells a script
// not to go on.
TEST_F(CliTerminalTest, ASignalLetsTheSetUpFinishAndEndsWithFour) {
  ChildProcess child(Command("configure", "latency_ms=200"));
  ASSERT_TRUE(child.WaitForOutput("Test Plan configured. Now begin setup 8960 ......\n"));
  child.Signal(SIGHUP);
  EXPECT_EQ(DescribeStatus(child.Wait()), "exit 4");
  EXPECT_TRUE(child.out().ends_with(
      "8960 setup finished. Now connect 8960 with MS mannually, and start to test\n"))
      << child.out();
}

}  // namespace
}  // namespace vexa
