// Runs `vexa-cli pll` as a process, as scripts use it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"

namespace {

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' pll " + args);
}

// The printed "KEY=VALUE" lines as keys in order and a map.
std::vector<std::string> Keys(const std::string& out) {
  std::vector<std::string> keys;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    keys.push_back(line.substr(0, line.find('=')));
  return keys;
}

std::map<std::string, std::string> Rows(const std::string& out) {
  std::map<std::string, std::string> rows;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t equals = line.find('=');
    rows[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return rows;
}

const std::vector<std::string> kKeys = {
    "Kphi mA", "Kvco MHz/V", "Fout MHz", "F2 MHz",  "Fcomp kHz",   "C1 nF", "C2 nF",       "C3 nF",
    "C4* nF",  "VCOcap nF",  "R2 kohm",  "R3 kohm", "R4 kohm",     "N",     "C4 nF",       "A0 nF",
    "A1 nFs",  "A2 nFs2",    "A3 nFs3",  "Fc kHz",  "Phi degrees", "Gamma", "wn radian/s", "Zeta"};

TEST(CliPll, PrintsEveryRowWithoutTheSeparator) {
  const ProcessResult run = RunCli("");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Keys(run.out), kKeys);
  const auto rows = Rows(run.out);
  EXPECT_EQ(rows.at("C2 nF"), "100.0");
  EXPECT_EQ(rows.at("N"), "");
}

TEST(CliPll, RunsCalcWithTheGivenValues) {
  const struct {
    const char* args;
    int exit_code;
    const char* err;
    std::map<std::string, std::string> rows;
  } cases[] = {
      {"calc",
       0,
       "",
       {{"N", "4500"}, {"Fc kHz", "5.08068084440089"}, {"Zeta", "0.862871761827157"}}},
      // The same ratios at twice the frequencies: the same N and the same loop.
      {"'Fout MHz=1800' 'F2 MHz=1900' 'Fcomp kHz=400' calc",
       0,
       "",
       {{"N", "4500"}, {"Fout MHz", "1800"}, {"Zeta", "0.862871761827157"}}},
      // A result row can be typed into; without calc it prints as typed.
      {"'N=7' 'Zeta= 0,5 '", 0, "", {{"N", "7"}, {"Zeta", " 0,5 "}}},
      {"'C2 nF=150' calc calc",
       1,
       "Zeta should less than 1\n",
       {{"C2 nF", "150"}, {"Zeta", "1.06696572172495"}, {"wn radian/s", "14226.2096229993"}}},
      {"'F2 MHz=x' calc",
       1,
       "'x' is not a valid floating point value.\n",
       {{"Gamma", "1.22883226104526"}, {"wn radian/s", ""}}},
      {"'Kphi mA=0' calc",
       1,
       "The loop gain never crosses N: the search left the range of numbers. Check Kphi, Kvco "
       "and the capacitors.\n",
       {{"Kphi mA", "0"}, {"A0 nF", ""}, {"Fc kHz", ""}}},
      {"'Fcomp kHz=0' calc", 1, "Floating point division by zero.\n", {{"N", ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const ProcessResult run = RunCli(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(Keys(run.out), kKeys);
    const auto rows = Rows(run.out);
    for (const auto& [key, value] : c.rows)
      EXPECT_EQ(rows.at(key), value) << key;
  }
}

TEST(CliPll, CsvHoldsTheTransient) {
  const std::string path = ::testing::TempDir() + "pll_transient.csv";
  const auto read_lines = [&path] {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
      lines.push_back(line);
    return lines;
  };
  std::remove(path.c_str());
  ASSERT_EQ(RunCli("--csv '" + path + "' calc").exit_code, 0);
  std::vector<std::string> lines = read_lines();
  ASSERT_GE(lines.size(), 5000u);
  ASSERT_LE(lines.size(), 5003u);
  EXPECT_EQ(lines[0], "t_us,response_mhz,upper_mhz,lower_mhz");
  EXPECT_EQ(lines[1].substr(0, 2), "0,");

  // Without a transient: only the header.
  ASSERT_EQ(RunCli("--csv '" + path + "'").exit_code, 0);
  EXPECT_EQ(read_lines(), std::vector<std::string>{"t_us,response_mhz,upper_mhz,lower_mhz"});
  std::remove(path.c_str());

  const ProcessResult unwritable = RunCli("calc --csv /nonexistent-dir/pll.csv");
  EXPECT_EQ(unwritable.exit_code, 1);
  EXPECT_EQ(unwritable.err,
            "vexa-cli pll: cannot write '/nonexistent-dir/pll.csv': No such file or directory\n");
  EXPECT_EQ(Rows(unwritable.out).at("N"), "4500");
}

TEST(CliPll, BadUsageRunsNothing) {
  for (const char* usage : {"'Foo=1'", "'>>>>>>>>>>=1'", "'=1'", "'Kphi=5'", "zoom",
                            "calc 'C2 nF=1'", "--csv", "--bogus"}) {
    SCOPED_TRACE(usage);
    const ProcessResult run = RunCli(usage);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
}

TEST(CliPll, HelpListsEveryKey) {
  const ProcessResult run = RunCli("--help");
  EXPECT_EQ(run.exit_code, 0);
  for (const std::string& key : kKeys)
    EXPECT_NE(run.out.find("\"" + key + "=TEXT\""), std::string::npos) << key;
  EXPECT_NE(run.out.find("--csv FILE"), std::string::npos);
  EXPECT_NE(run.out.find("calc"), std::string::npos);
}

}  // namespace
