// `vexa-cli console`: the built program, run with the simulator or without a driver.
#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(CliConsoleTest, WithoutDriverShowsTheOpenFailureAndExitsWithOne) {
  const testing::ProcessResult result =
      Console("/nonexistent/libgpib.so", "testset '*IDN?' '*RST'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out,
            "Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)\n"
            "Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)\n");
}

TEST(CliConsoleTest, OneRefusedCommandAmongSeveralExitsWithOneAfterRunningThemAll) {
  struct Case {
    const char* name;
    std::string command;  // as the shell passes it
    std::string line;
  };
  const std::string too_long(1025, 'A');
  const Case cases[] = {
      {"character beyond Latin-1", "SENS:RES 5\xCE\xA9",
       "Command refused: character U+03A9 cannot be sent (the bus carries ISO 8859-1 only)"},
      {"command beyond the limit", too_long, "Command refused: 1025 characters, the limit is 1024"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::ProcessResult result =
        Console(VEXA_SIM_LIBRARY, "testset '*OPC?' '" + c.command + "' '*OPC?'");
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.out, "<---*OPC?\n--->1\n" + c.line + "\n<---*OPC?\n--->1\n");
  }
}

TEST(CliConsoleTest, CommandsAreUtf8OnTheCommandLineAndLatin1OnTheBus) {
  // 1024 characters are 2048 bytes as UTF-8 but 1024 on the bus, within the limit.
  std::string micro_signs;
  for (int i = 0; i < 1024; ++i)
    micro_signs += "\xC2\xB5";
  const testing::ProcessResult result =
      Console(VEXA_SIM_LIBRARY, "testset '\xC2\xB5' '" + micro_signs + "'");
  EXPECT_EQ(result.exit_code, 0);
  // The memo lines are printed in UTF-8.
  EXPECT_EQ(result.out, "<---\xC2\xB5\n<---" + micro_signs + "\n");
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

namespace vexa {
namespace {

testing::ProcessResult Configure(const std::string& arguments) {
  return testing::RunProcess(
      "VEXA_GPIB_LIBRARY='" VEXA_SIM_LIBRARY "' '" VEXA_CLI_PATH "' configure " + arguments);
}

TEST(CliConfigureTest, ConfiguresTheTestSetFromTheStartUpWindowOrAPlanFile) {
  testing::ProcessResult result = Configure("");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "Test Plan configured. Now begin setup 8960 ......\n"
            "8960 setup finished. Now connect 8960 with MS mannually, and start to test\n");

  char plan_path[] = "/tmp/vexa_configure_XXXXXX";
  const int fd = mkstemp(plan_path);
  ASSERT_GE(fd, 0);
  const std::string bad = "[ITEM]\r\nBERCOUNT=many\r\n";
  ASSERT_EQ(write(fd, bad.data(), bad.size()), static_cast<ssize_t>(bad.size()));
  close(fd);
  // The file names no levels: opening stops with the list error (default "100" for EGSM).
  result = Configure(std::string("'") + plan_path + "' --no-rst");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("List index out of bounds (95)"), std::string::npos) << result.err;
  // With the levels there, the capture stops on the count: nothing is configured.
  const std::string levels_then_bad_count =
      "[PCL]\r\nEGSM=5,\r\nDCS=0,\r\nPCS=0,\r\nGSM850=5,\r\n[ITEM]\r\nBERCOUNT=many\r\n";
  FILE* file = std::fopen(plan_path, "wb");
  ASSERT_NE(file, nullptr);
  std::fputs(levels_then_bad_count.c_str(), file);
  std::fclose(file);
  result = Configure(std::string("'") + plan_path + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("'many' is not a valid integer value."), std::string::npos)
      << result.err;
  unlink(plan_path);

  EXPECT_EQ(Configure("--reset-please").exit_code, 2);
}

// A set-up that never reached the test set is no success: the memo lines are the same, the
// exit code says it.
TEST(CliConfigureTest, ATestSetThatCannotBeOpenedExitsWithOne) {
  const testing::ProcessResult result = testing::RunProcess(
      "VEXA_GPIB_LIBRARY=/nonexistent/libvexa-no-driver.so '" VEXA_CLI_PATH "' configure");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out,
            "Test Plan configured. Now begin setup 8960 ......\n"
            "Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)\n"
            "8960 setup finished. Now connect 8960 with MS mannually, and start to test\n");
  EXPECT_NE(result.err.find("vexa-cli: the test set was not set up: it could not be opened.\n"),
            std::string::npos)
      << result.err;
}

TEST(CliConfigureTest, APlanFileMustExistAndItsOddListsAreNamed) {
  for (const std::string& missing : {std::string("/nonexistent/bench.tpl"), std::string()}) {
    const testing::ProcessResult result = Configure("'" + missing + "'");
    EXPECT_EQ(result.exit_code, 1) << missing;
    EXPECT_EQ(result.out, "") << missing;
    EXPECT_EQ(result.err, "Cannot use " + (missing.empty() ? "\"\"" : missing) +
                              ": the file does not exist.\n");
  }

  char plan_path[] = "/tmp/vexa_configure_XXXXXX";
  const int fd = mkstemp(plan_path);
  ASSERT_GE(fd, 0);
  const std::string odd =
      "[PCL]\r\nEGSM=5,\r\nDCS=0,\r\nPCS=0,\r\nGSM850=5,\r\n[CN]\r\nDCS=512,x\r\n";
  ASSERT_EQ(write(fd, odd.data(), odd.size()), static_cast<ssize_t>(odd.size()));
  close(fd);
  const testing::ProcessResult result = Configure(std::string("'") + plan_path + "'");
  unlink(plan_path);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(result.err.starts_with(std::string("Check these values of ") + plan_path +
                                     "; they are read as shown:\n[CN] DCS=512,x is read as 512 "
                                     "0 ('x' is not a whole number; 0 is not a channel of the "
                                     "band (512-885))\n"))
      << result.err;
}

}  // namespace
}  // namespace vexa
