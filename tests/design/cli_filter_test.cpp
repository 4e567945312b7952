// Runs `vexa-cli filter` as a process, as scripts use it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"

namespace {

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' filter " + args);
}

// The printed "KEY: TEXT" lines, in order.
std::vector<std::string> Keys(const std::string& out) {
  std::vector<std::string> keys;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line))
    keys.push_back(line.substr(0, line.find(": ")));
  return keys;
}

std::map<std::string, std::string> Fields(const std::string& out) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t colon = line.find(": ");
    fields[line.substr(0, colon)] = colon == std::string::npos ? "" : line.substr(colon + 2);
  }
  return fields;
}

TEST(CliFilter, PrintsEveryFieldInThePagesOrder) {
  const ProcessResult run = RunCli("");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Keys(run.out), (std::vector<std::string>{"family", "fp", "fs", "ap", "as", "preferred",
                                                     "pass-band", "n", "title", "points", "first",
                                                     "last", "min-x", "max-x", "min-y", "max-y"}));
  const auto fields = Fields(run.out);
  EXPECT_EQ(fields.at("family"), "Chebyshev");
  EXPECT_EQ(fields.at("title"), "LPF");
  EXPECT_EQ(fields.at("points"), "0");
  // The order field can be typed into like any other; Calc overwrites it.
  EXPECT_EQ(Fields(RunCli("--n 9").out).at("n"), "9");
  EXPECT_EQ(Fields(RunCli("--n 9 calc").out).at("n"), "5");
}

// The worked designs; --family resets the inputs at its place, so a later --fs still counts.
TEST(CliFilter, WorkedDesigns) {
  struct Case {
    const char* args;
    const char* family;
    const char* n;
    const char* first_x;
    const char* last_x;
  };
  const Case cases[] = {
      {"calc", "Chebyshev", "5", "0.001", "15"},
      {"--family butterworth calc", "Butterworth", "7", "0.001", "15"},
      {"--family BESSEL calc", "Bessel", "8", "0", "0.39999999999999997"},
      {"--fs 24 --family chebyshev calc", "Chebyshev", "5", "0.001", "15"},
      {"--family butterworth --pass-band on --preferred as calc", "Butterworth", "7", "0.001",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const ProcessResult run = RunCli(c.args);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    const auto fields = Fields(run.out);
    EXPECT_EQ(fields.at("family"), c.family);
    EXPECT_EQ(fields.at("n"), c.n);
    EXPECT_EQ(fields.at("title"), std::string(c.family) + " LPF");
    EXPECT_EQ(fields.at("points"), "2001");
    EXPECT_EQ(fields.at("first").substr(0, fields.at("first").find(' ')), c.first_x);
    const std::string last_x = fields.at("last").substr(0, fields.at("last").find(' '));
    if (c.last_x) {
      EXPECT_EQ(last_x, c.last_x);
    } else {  // the pass band only: ends at or just below fp
      EXPECT_LE(std::stod(last_x), 3.0);
      EXPECT_GT(std::stod(last_x), 2.99);
    }
  }
}

TEST(CliFilter, CsvHoldsEveryPrintedPoint) {
  const std::string path = ::testing::TempDir() + "filter_curve.csv";
  std::remove(path.c_str());
  const ProcessResult run = RunCli("calc --csv '" + path + "'");
  ASSERT_EQ(run.exit_code, 0);
  const auto fields = Fields(run.out);
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);)
    lines.push_back(line);
  // The header, as the PLL page's CSV has one, then every point.
  ASSERT_EQ(std::to_string(lines.size() - 1), fields.at("points"));
  EXPECT_EQ(lines.front(), "f_mhz,attenuation_db");
  std::string first = fields.at("first");
  std::string last = fields.at("last");
  first[first.find(' ')] = ',';
  last[last.find(' ')] = ',';
  EXPECT_EQ(lines[1], first);
  EXPECT_EQ(lines.back(), last);

  // Without a curve: only the header.
  ASSERT_EQ(RunCli("--csv '" + path + "'").exit_code, 0);
  std::ifstream again(path);
  std::string text((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "f_mhz,attenuation_db\n");
  std::remove(path.c_str());

  const ProcessResult unwritable = RunCli("calc --csv /nonexistent-dir/lpf.csv");
  EXPECT_EQ(unwritable.exit_code, 1);
  EXPECT_EQ(
      unwritable.err,
      "vexa-cli filter: cannot write '/nonexistent-dir/lpf.csv': No such file or directory\n");
  EXPECT_EQ(Fields(unwritable.out).at("n"), "5");  // the run went on; only the file failed
}

// A CSV the file-size limit cuts short (as a full disk or a kill would) is reported, and the
// file that stood there before stays whole: the new one is written beside it and renamed.
TEST(CliDesignCsv, AWriteThatFailsLeavesTheOldFileAndNoTemporary) {
  const std::string dir = ::testing::TempDir() + "vexa-csv-" + std::to_string(::getpid());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/chart.csv";
  for (const char* page : {"filter calc", "pll calc"}) {
    SCOPED_TRACE(page);
    {
      std::ofstream old(path, std::ios::binary | std::ios::trunc);
      old << "good old file\n";
    }
    // 8 blocks: 4 KiB under dash, 8 KiB under bash; each CSV is several times that.
    const ProcessResult run =
        vexa::testing::RunProcess("ulimit -f 8 && LC_ALL=C '" VEXA_CLI_PATH "' " +
                                  std::string(page) + " --csv '" + path + "'");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_NE(run.err.find("cannot write '" + path + "': File too large\n"), std::string::npos)
        << run.err;
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "good old file\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"chart.csv"});
  }
  std::filesystem::remove_all(dir);
}

TEST(CliFilter, MessagesAndExitStatus) {
  // The Bessel limit is information: order 60, exit 0.
  const ProcessResult limit = RunCli("--family bessel --as 100 calc");
  EXPECT_EQ(limit.exit_code, 0);
  EXPECT_EQ(limit.err, "n is too large!! make a change!\n");
  EXPECT_EQ(Fields(limit.out).at("n"), "60");

  // A refused scheme stops the run: the axis action after it does not run.
  const ProcessResult refused = RunCli("--fs 2 --max-y x calc enter-max-y");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.err, "fp must be greater than 0 and less than fs\n");
  EXPECT_EQ(Fields(refused.out).at("n"), "");

  const ProcessResult bad_axis = RunCli("--max-y x calc enter-max-y");
  EXPECT_EQ(bad_axis.exit_code, 1);
  EXPECT_EQ(bad_axis.err, "'x' is not a valid floating point value.\n");
  EXPECT_EQ(Fields(bad_axis.out).at("n"), "5");

  for (const char* usage : {"--family elliptic", "--preferred both", "--pass-band yes", "--bogus 1",
                            "calc --fp 3", "zoom"}) {
    SCOPED_TRACE(usage);
    const ProcessResult run = RunCli(usage);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
