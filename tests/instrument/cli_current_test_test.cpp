// vexa-cli current-test end to end against the simulated DC source (steered through
// VEXA_SIM_SETUP, since the run is another process): the memo lines on stdout, the log beside
// them, the progress on stderr, the refusals and exit codes, the stop signals, the CSV file and
// demo mode without an instrument.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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

constexpr const char* kCredit = "Logged by VEXA 2.02, the RF toolbox for GSM phones";
constexpr const char* kFinished = ">>>>>>>>>>>>>>>>>Current Test Finished !>>>>>>>>>>>>>>>>>>>>";

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  return text;
}

// The number of readings the summary line counts ("Total N, Aver ...").
long SummaryTotal(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line.starts_with("Total ") && line.find(", Aver ") != std::string::npos)
      return std::stol(line.substr(6));
  }
  return -1;
}

class CliCurrentTest : public ::testing::Test {
 protected:
  CliCurrentTest() {
    dir = fs::temp_directory_path() /
          ("vexa-current-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~CliCurrentTest() override { fs::remove_all(dir); }

  // The shell command running vexa-cli in `dir` on the simulator set up by `setup` (or on the
  // driver `library`). `exec` replaces the shell, so that a signal reaches vexa-cli itself.
  std::string Command(const std::string& setup, const std::string& args, const char* exec = "",
                      const char* library = VEXA_SIM_PATH) const {
    return "cd '" + dir.string() + "' && VEXA_GPIB_LIBRARY='" + library +
           "' VEXA_SIM_SETUP='speed=0;timeout_scale=0.01;" + setup + "' " + exec +
           "'" VEXA_CLI_PATH "' current-test " + args;
  }
  testing::ProcessResult Run(const std::string& setup, const std::string& args,
                             const char* library = VEXA_SIM_PATH) const {
    return testing::RunProcess(Command(setup, args, "", library));
  }
  std::vector<fs::path> Logs() const {
    std::vector<fs::path> logs;
    if (fs::exists(dir / "Current Log")) {
      for (const auto& entry : fs::directory_iterator(dir / "Current Log"))
        logs.push_back(entry.path());
    }
    return logs;
  }

  fs::path dir;
};

TEST_F(CliCurrentTest, DefaultsRunPrintsTheMemoWritesTheSameLogAndShowsProgress) {
  const testing::ProcessResult result = Run("", "--minutes 0.0005");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<std::string> lines = SplitLines(result.out);
  const long total = SummaryTotal(lines);
  ASSERT_GE(total, 50);
  EXPECT_EQ(total % 50, 0);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(total) + 14);
  EXPECT_TRUE(lines[0].starts_with("No.0 Current: ")) << lines[0];
  EXPECT_TRUE(lines[total - 1].starts_with("No." + std::to_string(total - 1) + " Current: "));
  EXPECT_EQ(lines[total], kFinished);
  EXPECT_EQ(lines[total + 11], "Test finished");
  EXPECT_EQ(lines.back(), kCredit);
  // Dedicated mode over 82 ms sweeps: near the bursts' mean of 400 mA, every reading counted.
  const auto count = [](const std::string& line) {  // the histogram line's fourth field
    std::istringstream fields(line);
    std::string field;
    for (int i = 0; i < 4; ++i)
      std::getline(fields, field, '\t');
    return std::stol(field);
  };
  EXPECT_EQ(count(lines[total + 8]) + count(lines[total + 9]), total);
  EXPECT_EQ(lines[total + 10], "Total 100.000000%");
  const std::vector<fs::path> logs = Logs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ("Current Log/" + logs[0].filename().string(), lines[lines.size() - 2]);
  EXPECT_EQ(ReadFile(logs[0]), CrLf(lines));
  // The driver note first; progress lines (not a terminal) up to the whole test time.
  EXPECT_TRUE(result.err.starts_with("GPIB0::5::INSTR - GPIB driver: ")) << result.err;
  EXPECT_NE(result.err.find("Progress: " + std::to_string(total) + " readings (100%)"),
            std::string::npos)
      << result.err;
}

TEST_F(CliCurrentTest, ModeAndSettingsReachTheSourceAndTheCsvHasOneRowPerBatch) {
  const testing::ProcessResult result =
      Run("",
          "--mode shutdown --points 16 --interval 15.6 --voltage 4.2 --no-samples "
          "--minutes 0.0005 --csv batches.csv");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_EQ(lines.size(), 14u) << result.out;
  const long total = SummaryTotal(lines);
  // Switched off: tens of microamperes, all below 1 mA.
  EXPECT_EQ(lines[2], "\t<=Curr<\t1mA\t" + std::to_string(total) + "\t100.000000%");
  const std::vector<std::string> csv = SplitLines(ReadFile(dir / "batches.csv"));
  ASSERT_EQ(csv.size(), static_cast<std::size_t>(total / 50) + 1);
  // The plot's "Save CSV" format: a row per batch, each covering one.
  EXPECT_EQ(csv[0], "elapsed_s,mean_mA,min_mA,max_mA,batches");
  for (std::size_t i = 1; i < csv.size(); ++i) {
    double elapsed = 0, mean = 0, low = 0, high = 0;
    long batches = 0;
    char rest = 0;
    ASSERT_EQ(std::sscanf(csv[i].c_str(), "%lf,%lf,%lf,%lf,%ld%c", &elapsed, &mean, &low, &high,
                          &batches, &rest),
              5)
        << csv[i];
    EXPECT_EQ(batches, 1) << csv[i];
    EXPECT_GT(low, 0.040) << csv[i];
    EXPECT_LE(low, mean);
    EXPECT_LE(mean, high);
    EXPECT_LT(high, 0.050) << csv[i];
  }

  // A steady load: every batch's row is exact.
  const testing::ProcessResult steady =
      Run("current=0.125;current_spread=0", "--no-samples --minutes 0.0005 --csv steady.csv");
  ASSERT_EQ(steady.exit_code, 0) << steady.err;
  const std::vector<std::string> rows = SplitLines(ReadFile(dir / "steady.csv"));
  ASSERT_GE(rows.size(), 2u);
  EXPECT_TRUE(rows[1].ends_with(",125.000000,125.000000,125.000000,1")) << rows[1];
}

TEST_F(CliCurrentTest, RefusalsExitOneAndBadUsageTwo) {
  struct Case {
    const char* args;
    const char* out_end;  // the last memo line, or "" for none
    const char* err_part;
  };
  for (const Case& c :
       {Case{"--interval 15.5", "sample rate should between 15.6us and 31200s !", ""},
        Case{"--points 4097", "buffer length should between 1 and 4096 !", ""},
        Case{"--points 0", "buffer length should between 1 and 4096 !", ""},
        Case{"--minutes 0", "test time should be a number of minutes above 0 !", ""},
        Case{"--minutes abc", "test time should be a number of minutes above 0 !", ""},
        Case{"--voltage abc", "", "'abc' is not a valid floating point value.\n"},
        Case{"--points 12.5", "", "'12.5' is not a valid integer value.\n"}}) {
    SCOPED_TRACE(c.args);
    const testing::ProcessResult result = Run("", c.args);
    EXPECT_EQ(result.exit_code, 1);
    const std::vector<std::string> lines = SplitLines(result.out);
    if (*c.out_end) {
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.back(), c.out_end);
    } else {
      EXPECT_TRUE(lines.empty()) << result.out;
    }
    EXPECT_NE(result.err.find(c.err_part), std::string::npos) << result.err;
  }
  // No DC source and no demo mode: the open failure, no run.
  const testing::ProcessResult absent = Run("", "--minutes 0.0005", "/nonexistent/libgpib.so");
  EXPECT_EQ(absent.exit_code, 1);
  EXPECT_TRUE(absent.out.starts_with("Unable to open device ibsta = 0x8000")) << absent.out;
  EXPECT_TRUE(Logs().empty());

  for (const char* args :
       {"--bogus", "--mode fast", "--points", "--csv ''", "--minutes 1 extra", "--mode"}) {
    SCOPED_TRACE(args);
    const testing::ProcessResult usage = Run("", args);
    EXPECT_EQ(usage.exit_code, 2);
    EXPECT_NE(usage.err.find("current-test"), std::string::npos) << usage.err;
    EXPECT_TRUE(usage.out.empty());
  }
  const testing::ProcessResult unwritable =
      Run("", "--minutes 0.0005 --csv /nonexistent/dir/x.csv");
  EXPECT_EQ(unwritable.exit_code, 1);
  EXPECT_TRUE(unwritable.out.empty()) << "nothing sent before the CSV file is checked";
  EXPECT_NE(unwritable.err.find("vexa-cli: cannot write /nonexistent/dir/x.csv: No such file or "
                                "directory\n"),
            std::string::npos)
      << unwritable.err;

  // A file where the log directory should be: refused before the first command, exit 1.
  std::filesystem::remove_all(dir / "Current Log");  // the refusals above made the folder
  std::ofstream(dir / "Current Log") << "in the way";
  const testing::ProcessResult no_log = Run("", "--minutes 0.0005 --no-samples");
  EXPECT_EQ(no_log.exit_code, 1);
  EXPECT_EQ(no_log.out, "Unable to write to Current Log: Not a directory\n");
}

// SIGHUP (the terminal closed), Ctrl-C and SIGTERM press Stop: the run ends with the summary
// over the readings so far and the log, and does not die half way.
TEST_F(CliCurrentTest, EachStopSignalStopsAfterTheBatchWithSummaryAndLog) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    fs::remove_all(dir / "Current Log");
    testing::ChildProcess child(
        Command("latency_ms=0.05", "--points 1 --csv stopped.csv", "exec "));
    ASSERT_TRUE(child.WaitForOutput("No.60 ")) << child.err();
    child.Signal(signal_number);
    EXPECT_EQ(testing::DescribeStatus(child.Wait()), "exit 4");
    const std::vector<std::string> lines = SplitLines(child.out());
    const long total = SummaryTotal(lines);
    EXPECT_GE(total, 61) << "No.60 was read";
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(total) + 14);
    EXPECT_EQ(lines.back(), kCredit);
    ASSERT_EQ(Logs().size(), 1u);
    EXPECT_EQ(ReadFile(Logs()[0]), CrLf(lines));
    EXPECT_NE(child.err().find("Test stopped before the end."), std::string::npos);
    // The CSV of a stopped run holds every batch, the last one cut short too.
    const std::vector<std::string> csv = SplitLines(ReadFile(dir / "stopped.csv"));
    EXPECT_EQ(csv.size(), static_cast<std::size_t>((total + 49) / 50) + 1);
  }
}

TEST_F(CliCurrentTest, DemoWithoutAnInstrumentRunsOnRandomReadings) {
  const testing::ProcessResult result =
      Run("", "--demo --points 1 --interval 15.6 --minutes 0.0005", "/nonexistent/libgpib.so");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_GE(lines.size(), 65u);
  EXPECT_TRUE(lines[0].starts_with("Unable to open device ibsta = 0x8000")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("No.0 Current: ")) << lines[1];
  EXPECT_EQ(SummaryTotal(lines) + 15, static_cast<long>(lines.size()));
  ASSERT_EQ(Logs().size(), 1u);
  EXPECT_EQ(ReadFile(Logs()[0]), CrLf(lines));
  EXPECT_TRUE(result.err.starts_with("GPIB0::5::INSTR - GPIB driver: none found")) << result.err;
}

}  // namespace
}  // namespace vexa
