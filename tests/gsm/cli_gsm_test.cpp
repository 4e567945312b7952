// Runs the built vexa-cli binary as a user would.
#include <gtest/gtest.h>

#include <string>

#include "support/run_process.h"

namespace {

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' " + args);
}

TEST(CliChannel, PrintsTheLabelsAndTheListOfAValidChannel) {
  const ProcessResult run = RunCli("channel PCS 661");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out,
            "MS Rx  1960  MHz\nMS Tx  1880  MHz\nHarmonics PCS\nChannel 661\nH2 3760  MHz\n"
            "H3 5640  MHz\nH4 7520  MHz\nH5 9400  MHz\nH6 11280  MHz\nH7 13160  MHz\n");
  EXPECT_EQ(run.err, "");
}

TEST(CliChannel, RefusedChannelsPrintThePageMessage) {
  const std::tuple<const char*, const char*> cases[] = {
      {"channel dcs 886", "error DCS channel\n"},
      {"channel egsm 125", "error EGSM channel\n"},
      {"channel gsm850 abc", "'abc' is not a valid integer value\n"},
      {"channel egsm 1.5", "'1.5' is not a valid integer value\n"},
  };
  for (const auto& [args, message] : cases) {
    const ProcessResult run = RunCli(args);
    EXPECT_EQ(run.exit_code, 1) << args;
    EXPECT_EQ(run.out, "") << args;
    EXPECT_EQ(run.err, message) << args;
  }
}

TEST(CliHarmonics, ListsWithoutRangeCheckAndStopsAtBadText) {
  ProcessResult run = RunCli("harmonics egsm 500");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(run.out.starts_with("Harmonics E-GSM\nChannel 500\nH2 1570.4  MHz\n")) << run.out;
  run = RunCli("harmonics gsm850 ''");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "Harmonics GSM850\nChannel \n");
  EXPECT_EQ(run.err, "'' is not a valid floating point value\n");
}

TEST(CliUsage, HelpListsSubcommandsAndBadUsageExitsTwo) {
  const ProcessResult help = RunCli("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("channel BAND N"), std::string::npos);
  EXPECT_NE(help.out.find("harmonics BAND TEXT"), std::string::npos);
  EXPECT_EQ(RunCli("channel lte 5").exit_code, 2);
  EXPECT_EQ(RunCli("channel egsm").exit_code, 2);
  EXPECT_EQ(RunCli("frobnicate").exit_code, 2);
}

}  // namespace
