// Runs `vexa-cli smith` as a process, as scripts use it.
#include <gtest/gtest.h>

#include <string>

#include "support/run_process.h"

namespace {

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' smith " + args);
}

const std::string kInductive =
    "circuit: ___L1___      ________\\n        |         |   |\\n        R1        L2  R2\\n"
    "________|     ____|___|\n";

TEST(CliSmith, PrintsEveryFieldInOrder) {
  const ProcessResult run = RunCli("--r 100 --x 0 enter");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "r: 100\n"
            "x: 0\n"
            "freq: 1800\n"
            "impedance: Red=100\\nj(0)\n"
            "gamma: Γ=0.333333333333333  \\n∠0°   \n" +
                kInductive +
                "r1: R1=100\n"
                "l1: L1=0\n"
                "r2: R2=100\n"
                "l2: L2=INF\n"
                "marker: 232,174\n"
                "scroll: 0\n"
                "dragging: 0\n");
}

TEST(CliSmith, MouseActionsRunInOrder) {
  // Hover, press (a quarter turn), then scroll to 1800 at the marker's radius, then release.
  // The half turn lands a rounding error off the axis (Γ = -1 + j1.2E-16): the impedance is a
  // tiny reactance and the marker's row truncates to 173.
  const ProcessResult run = RunCli("--freq 900 --x -10 move=176,0 press=176,0 scroll=1800 release");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "r: 0\n"
            "x: 50\n"
            "freq: 900\n"
            "impedance: Red=-1.87469972832732E-31\\nj(3.06161699786838E-15)\n"
            "gamma: Γ=1  \\n∠180°   \n" +
                kInductive +
                "r1: R1=-1.87469972832732E-31\n"
                "l1: L1=5.4141275451658E-16\n"
                "r2: R2=-50\n"
                "l2: L2=5.4141275451658E-16\n"
                "marker: -2,173\n"
                "scroll: 1800\n"
                "dragging: 0\n");
}

TEST(CliSmith, AnErrorStopsTheLaterActions) {
  struct Case {
    const char* args;
    const char* err;
    const char* marker;
    const char* impedance;
  } const cases[] = {
      // Enter fails on X; the press after it does not run.
      {"--r 100 --x abc enter press=176,0", "'abc' is not a valid floating point value.\n",
       "174,174", "Red=50+j(0)"},
      // The first Enter places the marker; -50 then fails before it moves again.
      {"--r -50 --x 0 enter", "Invalid floating point operation.\n", "174,174", "Red=50+j(0)"},
      {"--r 100 --x 0 enter move=352,176 scroll=900", "Invalid floating point operation.\n",
       "232,174", "Red=100\\nj(0)"},
      {"--freq 0 --r 100 --x 0 enter scroll=900", "Floating point division by zero.\n", "232,174",
       "Red=100\\nj(0)"},
  };
  for (const Case& c : cases) {
    const ProcessResult run = RunCli(c.args);
    EXPECT_EQ(run.exit_code, 1) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
    EXPECT_NE(run.out.find(std::string("marker: ") + c.marker + "\n"), std::string::npos)
        << c.args << "\n"
        << run.out;
    EXPECT_NE(run.out.find(std::string("impedance: ") + c.impedance + "\n"), std::string::npos)
        << c.args << "\n"
        << run.out;
    EXPECT_NE(run.out.find("scroll: 0\n"), std::string::npos) << c.args;
  }
}

TEST(CliSmith, BadUsageRunsNothing) {
  for (const char* args :
       {"--q 1", "enter --r 5", "move=1", "press=a,2", "move=1,2,3", "scroll=x", "scroll",
        "enter=1", "release=1", "frobnicate", "--r", "--touchstone", "--touchstone a.s1p enter"}) {
    const ProcessResult run = RunCli(args);
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_EQ(run.out, "") << args;
    EXPECT_NE(run.err, "") << args;
  }
  const ProcessResult help = RunCli("--help");
  EXPECT_EQ(help.exit_code, 0);
  for (const char* listed : {"--r TEXT", "--x TEXT", "--freq TEXT", "enter", "move=TEXT",
                             "press=TEXT", "release", "scroll=N", "--touchstone FILE"})
    EXPECT_NE(help.out.find(listed), std::string::npos) << listed;
}

TEST(CliSmith, TouchstoneFileReportOrItsError) {
  const std::string dir = ::testing::TempDir();
  const std::string good = dir + "vexa_cli_smith.s1p";
  const std::string bad = dir + "vexa_cli_smith_bad.s1p";
  ASSERT_EQ(vexa::testing::RunProcess("printf '# MHZ S RI R 50\\n100 0 0\\n200 0.5 0\\n' > '" +
                                      good + "' && printf '# MHZ S RI\\n100 0\\n' > '" + bad + "'")
                .exit_code,
            0);
  const ProcessResult run = RunCli("--touchstone '" + good + "'");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "100000000 50 0 0 1\n200000000 150 0 0.5 3\n");
  const ProcessResult refused = RunCli("--touchstone '" + bad + "'");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "line 2: expected 3 numbers, found 2\n");
  const ProcessResult missing = RunCli("--touchstone '" + dir + "vexa_no_such_file.s1p'");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err, "");
}

}  // namespace
