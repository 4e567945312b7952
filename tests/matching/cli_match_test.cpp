// Runs `vexa-cli match` as a process, as scripts use it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"

namespace {

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' match " + args);
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

TEST(CliMatch, ExchangedClDesignAndItsReflections) {
  const ProcessResult run = RunCli("--topology cl --rg 50 --rd 75 design sparam");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "To match (g*g+x1*x1)/g should be greater than d in this model!\n");
  std::vector<std::string> keys;
  for (const auto& [key, text] : Fields(run.out))
    keys.push_back(key);
  EXPECT_THAT(keys, ::testing::ElementsAre("rg", "x1", "rd", "x2", "freq", "shunt", "shunt-unit",
                                           "series", "series-unit", "gamma1", "gamma2", "s21", "rn",
                                           "ro", "att", "r1", "r2", "r3", "pad-gamma1"));
  auto f = FieldMap(run.out);
  EXPECT_EQ(f["rg"], "75");
  EXPECT_EQ(f["x1"], "0");
  EXPECT_EQ(f["rd"], "50");
  EXPECT_EQ(f["x2"], "0");
  EXPECT_EQ(f["shunt-unit"], "pF");
  EXPECT_EQ(f["series-unit"], "nH");
  EXPECT_EQ(f["s21"], "S21=S12=0 dB  ");
  EXPECT_EQ(f["pad-gamma1"], "Γ1=  ");
  // The printed elements match 75 ohms to 50 ohms at 1800 MHz.
  using C = std::complex<double>;
  const double omega = 2 * 3.14159265358979323846 * 1800e6;
  const C shunt(0, -1 / (omega * std::stod(f["shunt"]) * 1e-12));
  const C branch = C(50, omega * std::stod(f["series"]) * 1e-9);
  const C seen = branch * shunt / (branch + shunt);
  EXPECT_LT(std::abs((seen - 75.0) / (seen + 75.0)), 1e-12);
  for (const char* key : {"gamma1", "gamma2"}) {
    const std::string& line = f[key];
    ASSERT_TRUE(line.ends_with(" dB  ")) << line;
    EXPECT_LT(std::stod(line.substr(line.find("= ") + 2)), -250) << line;
  }
}

TEST(CliMatch, PadsInBothForms) {
  ProcessResult run = RunCli("resistance attenuation");
  EXPECT_EQ(run.exit_code, 0);
  auto f = FieldMap(run.out);
  EXPECT_EQ(f["r2"], "789.778869628906");
  EXPECT_EQ(f["r1"], f["r3"]);
  EXPECT_EQ(f["pad-gamma1"], "Γ1= -INF  ");
  EXPECT_NEAR(std::stod(f["att"]), 30, 1e-5);

  run = RunCli("--pad t --att 20 --ro 75 resistance attenuation");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  f = FieldMap(run.out);
  EXPECT_NE(f["r1"], f["r3"]);
  EXPECT_NEAR(std::stod(f["att"]), 20, 1e-4);
}

TEST(CliMatch, ErrorsAndRefusalsEndTheRunButPrintTheFields) {
  // A refused pad: message, status 1, the later design does not run.
  ProcessResult run = RunCli("--att 0 resistance design");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "A should great than 0 dB\n");
  EXPECT_EQ(FieldMap(run.out)["shunt"], "");
  // A two-line message stays on one line.
  run = RunCli("--rn 50 --ro 150 --att 3 resistance");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "(A+1.0)*sqrt(Ro)/(2.0*sqrt(A)) should great than sqrt(Rn) and\\n"
            "(A+1.0)*sqrt(Rn)/(2.0*sqrt(A)) should great than sqrt(Ro)\n");

  // The exchange is shown, the ports stay exchanged, then the zero frequency ends the click.
  run = RunCli("--rg 50 --rd 75 --freq 0 design sparam");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "To match (g*g+x1*x1)/g should be greater than d in this model!\n"
            "Floating point division by zero.\n");
  auto f = FieldMap(run.out);
  EXPECT_EQ(f["rg"], "75");
  EXPECT_EQ(f["shunt"], "");
  EXPECT_EQ(f["gamma1"], "Γ1=  ");

  run = RunCli("--rg abc design");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "'abc' is not a valid floating point value.\n");

  for (const char* usage : {"--topology lcx design", "--pad pi2", "design --rg 5", "tune"}) {
    run = RunCli(usage);
    EXPECT_EQ(run.exit_code, 2) << usage;
    EXPECT_EQ(run.out, "") << usage;
  }
}

}  // namespace
