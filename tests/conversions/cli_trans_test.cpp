// Runs `vexa-cli trans` as a process, as scripts use it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"

namespace {

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' trans " + args);
}

// The printed "KEY: TEXT" lines, in order.
std::vector<std::pair<std::string, std::string>> Fields(const std::string& out) {
  std::vector<std::pair<std::string, std::string>> fields;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t colon = line.find(": ");
    fields.emplace_back(line.substr(0, colon),
                        colon == std::string::npos ? "" : line.substr(colon + 2));
  }
  return fields;
}

std::map<std::string, std::string> FieldMap(const std::string& out) {
  const auto fields = Fields(out);
  return {fields.begin(), fields.end()};
}

TEST(CliTrans, StartUpStateInOrder) {
  const ProcessResult run = RunCli("");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "s11: \nvswr: \ndbm: \nmw: \nmil: \nmm: \nrxlev: 0\nrxlev-scroll: 0\n"
            "rxlev-range: less than -110 dBm\nbalun-form: CLC\nr1: 50\nr2: 50\nfreq: 1000\n"
            "c: C=\nl: L=\n");
}

TEST(CliTrans, EveryActionInOneRun) {
  const ProcessResult run = RunCli(
      "--s11 -20 --vswr 1.5 --dbm 30 --mw 7 --mil 39.37 --mm 1 --balun LCL --r1 25 --r2 100 "
      "--freq 900 s11 dbm mil mm rxlev-scroll=62 lc");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  auto f = FieldMap(run.out);
  EXPECT_EQ(f["s11"], "-20");
  EXPECT_EQ(f["vswr"], "1.22222222222222");
  EXPECT_EQ(f["mw"], "1000");
  EXPECT_EQ(f["mm"], "0.999998");      // from the mil
  EXPECT_EQ(f["mil"], "39.36992126");  // then back from that mm
  EXPECT_EQ(f["rxlev"], "62");
  EXPECT_EQ(f["rxlev-scroll"], "62");
  EXPECT_EQ(f["rxlev-range"], "-49 dBm  to  -48 dBm");
  EXPECT_EQ(f["balun-form"], "LCL");
  EXPECT_EQ(f["c"], "C=3.53677651315323 pF");
  EXPECT_EQ(f["l"], "L=8.84194128288307 nH");
}

// "error RXLEV" is shown on the way: the routine goes on, the scroll bar settles at 63 and the
// later actions run.
TEST(CliTrans, AnRxlevOutOfRangeSettlesAndTheRunGoesOn) {
  const ProcessResult run = RunCli("--rxlev 70 --s11 -20 rxlev s11 lc");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "error RXLEV\n");
  auto f = FieldMap(run.out);
  EXPECT_EQ(f["rxlev"], "63");
  EXPECT_EQ(f["rxlev-scroll"], "63");
  EXPECT_EQ(f["rxlev-range"], "greater than -48 dBm");
  EXPECT_EQ(f["vswr"], "1.22222222222222");
  EXPECT_EQ(f["c"], "C=3.18309886183791 pF");
}

TEST(CliTrans, RefusedOrFailedActionStopsTheRun) {
  const struct {
    const char* args;
    const char* err;
    std::map<std::string, std::string> fields;
  } cases[] = {
      {"--vswr 1 --dbm 0 vswr dbm", "input must be larger than 1\n", {{"s11", ""}, {"mw", ""}}},
      {"--mw 0 --r1 0 mw lc", "mW must be greater than 0\n", {{"dbm", ""}, {"c", "C="}}},
      {"--r1 0 lc", "R1*R2 must be greater than 0\n", {{"c", "C="}, {"l", "L="}}},
      {"--freq -1 lc", "Freq must be greater than 0\n", {{"c", "C="}}},
      {"--rxlev 5 --mil x rxlev mil rxlev-scroll=9",
       "'x' is not a valid floating point value.\n",
       {{"rxlev-range", "-106 dBm  to  -105 dBm"}, {"rxlev-scroll", "5"}, {"mm", ""}}},
      {"--s11 -1e-300 s11", "Floating point division by zero.\n", {{"vswr", ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const ProcessResult run = RunCli(c.args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, c.err);
    auto f = FieldMap(run.out);
    EXPECT_EQ(f.size(), 15u);
    for (const auto& [key, text] : c.fields)
      EXPECT_EQ(f[key], text) << key;
  }
}

TEST(CliTrans, BadUsageAndHelp) {
  for (const char* args : {"--balun pi", "--balun-form LCL", "--rxlev-range x", "--rxlev-scroll 3",
                           "rxlev-scroll=a", "rxlev-scroll", "enter", "lc --r1 5", "--r1"}) {
    SCOPED_TRACE(args);
    const ProcessResult run = RunCli(args);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
  }
  const ProcessResult help = RunCli("--help");
  EXPECT_EQ(help.exit_code, 0);
  for (const char* listed :
       {"--s11 TEXT", "--balun TEXT", "rxlev-scroll=N", "  lc\n", "rxlev-range, balun-form, r1"})
    EXPECT_NE(help.out.find(listed), std::string::npos) << listed;
}

}  // namespace
