// The LAN road end to end: vexa-cli's console, a GSM run and a current test over the raw SCPI
// socket against vexa-instrument-sim on 127.0.0.1 print the very memo lines they print over
// the GPIB simulator; a run whose connection drops goes on once the instrument is back.
#include <gmock/gmock.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include "support/instrument_sim_process.h"
#include "support/run_process.h"
#include "support/text_files.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;
using testing::ServerProcess;

class LanRunTest : public ::testing::Test {
 protected:
  LanRunTest() {
    for (const char* side : {"lan", "gpib"}) {
      fs::path path = fs::temp_directory_path() /
                      ("vexa-lan-" + std::to_string(::getpid()) + "-" + side + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
      fs::remove_all(path);
      fs::create_directories(path);
      (std::string(side) == "lan" ? lan_dir : gpib_dir) = path;
    }
  }
  ~LanRunTest() override {
    fs::remove_all(lan_dir);
    fs::remove_all(gpib_dir);
  }

  static std::string Socket(int port) {
    return "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";
  }
  // vexa-cli in the LAN folder with no GPIB driver at all, so nothing can go over GPIB.
  testing::ProcessResult OverLan(const std::string& args) const {
    return testing::RunProcess(
        "cd '" + lan_dir.string() +
        "' && VEXA_GPIB_LIBRARY=/nonexistent/libgpib.so '" VEXA_CLI_PATH "' " + args);
  }
  testing::ProcessResult OverGpib(const std::string& args) const {
    return testing::RunProcess(
        "cd '" + gpib_dir.string() +
        "' && VEXA_GPIB_LIBRARY='" VEXA_SIM_LIBRARY "' '" VEXA_CLI_PATH "' " + args);
  }

  fs::path lan_dir;
  fs::path gpib_dir;
};

TEST_F(LanRunTest, ConsoleGivesTheGpibLinesAndNamesTheConnection) {
  ServerProcess server;
  const std::string commands = "\"*IDN?\" \"CALL:CONN:STAT?\" \"*RST\" \"FETCH:TXPOWER?\"";
  const testing::ProcessResult lan =
      OverLan("console --testset " + Socket(server.port(14)) + " testset " + commands);
  const testing::ProcessResult gpib = OverGpib("console testset " + commands);
  EXPECT_EQ(lan.exit_code, 0) << lan.err;
  EXPECT_EQ(gpib.exit_code, 0) << gpib.err;
  EXPECT_EQ(lan.out, gpib.out);
  EXPECT_THAT(lan.out, ::testing::StartsWith("<---*IDN?\n--->VEXA Simulator,GSM Test Set,"));
  EXPECT_THAT(lan.err, ::testing::StartsWith(Socket(server.port(14)) + " - LAN socket to "));

  // The DC source's address from the environment.
  const testing::ProcessResult dc =
      OverLan("console dcsource \"*IDN?\"");  // without the variable: no driver
  EXPECT_EQ(dc.exit_code, 1);
  const testing::ProcessResult dc_lan =
      testing::RunProcess("VEXA_DCSOURCE='" + Socket(server.port(5)) +
                          "' '" VEXA_CLI_PATH "' console dcsource \"*IDN?\"");
  EXPECT_EQ(dc_lan.exit_code, 0) << dc_lan.err;
  EXPECT_EQ(dc_lan.out,
            "<---*IDN?\n--->VEXA Simulator,Mobile Communications DC Source,SIM00005,A.01.01\n");
}

TEST_F(LanRunTest, GsmRunAndCurrentTestGiveTheGpibLines) {
  ServerProcess server;
  const testing::ProcessResult lan = OverLan("gsm-test --testset " + Socket(server.port(14)));
  const testing::ProcessResult gpib = OverGpib("gsm-test");
  EXPECT_EQ(lan.exit_code, 0) << lan.err;
  EXPECT_EQ(gpib.exit_code, 0) << gpib.err;
  EXPECT_GT(lan.out.size(), 10000u);
  EXPECT_EQ(lan.out, gpib.out);

  const std::string current = "current-test --points 16 --minutes 0.0005";
  const testing::ProcessResult lan_current =
      OverLan("current-test --dcsource " + Socket(server.port(5)) + current.substr(12));
  const testing::ProcessResult gpib_current = OverGpib(current);
  EXPECT_EQ(lan_current.exit_code, 0) << lan_current.err;
  EXPECT_EQ(gpib_current.exit_code, 0) << gpib_current.err;
  // The run lasts a set time, so the number of readings differs from run to run; the set-up
  // and the readings both runs made are the same.
  const std::vector<std::string> lan_lines = testing::SplitLines(lan_current.out);
  const std::vector<std::string> gpib_lines = testing::SplitLines(gpib_current.out);
  const auto readings = [](const std::vector<std::string>& lines) {
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string& line) { return line.rfind("No.", 0) == 0; });
  };
  const auto common = static_cast<std::size_t>(std::min(readings(lan_lines), readings(gpib_lines)));
  ASSERT_GT(common, 5u);
  const std::size_t first = static_cast<std::size_t>(
      std::find_if(lan_lines.begin(), lan_lines.end(),
                   [](const std::string& line) { return line.rfind("No.", 0) == 0; }) -
      lan_lines.begin());
  ASSERT_GE(gpib_lines.size(), first + common);
  EXPECT_TRUE(
      std::equal(lan_lines.begin(), lan_lines.begin() + first + common, gpib_lines.begin()));
  EXPECT_THAT(lan_lines, ::testing::Contains("Test finished"));
}

TEST_F(LanRunTest, ARunWhoseConnectionDropsGoesOnWhenTheInstrumentIsBack) {
  // One millisecond per message: the run lasts some seconds, long enough to cut it.
  auto server =
      std::make_unique<ServerProcess>(std::vector<std::string>{"--setup", "latency_ms=1"});
  const int port = server->port(14);
  std::thread outage([&server, port] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    server.reset();  // killed: the connection drops mid-run
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    server = std::make_unique<ServerProcess>(
        std::vector<std::string>{"--testset-port", std::to_string(port)});
  });
  const testing::ProcessResult lan = OverLan("gsm-test --testset " + Socket(port));
  outage.join();
  // The run saw the outage (a call check found no call and asked for it) and still came to
  // its end with its log: "Failed" when an item was measured while the instrument was away
  // (exit 3), "Passed" when the outage fell between the call checks only (exit 0).
  EXPECT_TRUE(lan.exit_code == 0 || lan.exit_code == 3) << lan.exit_code << '\n' << lan.err;
  EXPECT_NE(lan.err.find("Connect MS, and try again!"), std::string::npos) << lan.err;
  EXPECT_NE(lan.out.find("Test finished\n"), std::string::npos);
  EXPECT_NE(lan.out.find(lan.exit_code == 3 ? "Failed>>>>" : "Passed<<<<"), std::string::npos);
  EXPECT_NE(lan.out.find("GSM Log/"), std::string::npos);
}

TEST_F(LanRunTest, BadConnectionOptionsAreUsageErrors) {
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"console --testset GPIB0::31::INSTR testset \"*IDN?\"",
       "vexa-cli: The GPIB primary address must be 0 to 30 (\"GPIB0::31::INSTR\") (--testset)\n"},
      {"console --testset-transport serial testset \"*IDN?\"",
       "vexa-cli: unknown transport 'serial' (--testset-transport takes gpib, socket or visa)\n"},
      {"gsm-test --testset", "vexa-cli: --testset needs a value (see --help)\n"},
      {"current-test --dcsource-transport socket",
       "vexa-cli: The LAN socket takes addresses such as TCPIP0::192.168.1.20::5025::SOCKET, "
       "not \"GPIB0::5::INSTR\" (--dcsource)\n"},
  };
  for (const Case& c : cases) {
    const testing::ProcessResult result = OverLan(c.args);
    EXPECT_EQ(result.exit_code, 2) << c.args;
    EXPECT_EQ(result.err, c.message) << c.args;
    EXPECT_EQ(result.out, "") << c.args;
  }
}

}  // namespace
}  // namespace vexa
