// `vexa-cli console`: the built program, run with the simulator or without a driver.
#include <gtest/gtest.h>

#include <string>

#include "support/run_process.h"

namespace vexa {
namespace {

testing::ProcessResult Console(const std::string& library, const std::string& arguments) {
  return testing::RunProcess("VEXA_GPIB_LIBRARY='" + library + "' '" VEXA_CLI_PATH "' console " +
                             arguments);
}

TEST(CliConsoleTest, PrintsTheMemoLinesOfEachCommand) {
  const testing::ProcessResult result = Console(VEXA_SIM_LIBRARY, "testset '*IDN?' '*RST' ''");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out,
            "<---*IDN?\n"
            "--->VEXA Simulator,GSM Test Set,SIM00014,A.02.02\n"
            "<---*RST\n"
            "<---\n");
  EXPECT_NE(result.err.find("VEXA instrument simulator"), std::string::npos) << result.err;
}

TEST(CliConsoleTest, DcSourceAnswersAReading) {
  const testing::ProcessResult result =
      Console(VEXA_SIM_LIBRARY, "dcsource 'VOLT 3.80' MEAS:CURR?");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out.substr(0, result.out.find("--->") + 4),
            "<---VOLT 3.80\n<---MEAS:CURR?\n--->");
  EXPECT_NE(result.out.find("E-01\n"), std::string::npos) << result.out;
}

TEST(CliConsoleTest, WithoutDriverShowsTheOpenFailure) {
  const testing::ProcessResult result = Console("/nonexistent/libgpib.so", "testset '*IDN?'");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)\n");
}

TEST(CliConsoleTest, BadUsageExitsWithTwo) {
  for (const char* arguments : {"", "testset", "voltmeter '*IDN?'"}) {
    const testing::ProcessResult result = Console(VEXA_SIM_LIBRARY, arguments);
    EXPECT_EQ(result.exit_code, 2) << arguments;
    EXPECT_EQ(result.out, "") << arguments;
  }
}

}  // namespace
}  // namespace vexa
