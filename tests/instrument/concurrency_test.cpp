// Sessions, driver status and simulator used from two threads at once, as the console on the
// GUI thread and a test-run worker will. Run under ThreadSanitizer these also check that the
// shared state (status values, session fields, memo attachment) is free of data races.
#include <gmock/gmock.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "instrument_test_support.h"

namespace vexa {
namespace {

using ::testing::Each;
using ::testing::ElementsAreArray;
using ::testing::StartsWith;

constexpr int kRounds = 40;

class ConcurrencyTest : public testing::SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    vexa_sim_set_latency_ms(0.2);  // lets the two threads' calls interleave
    vexa_sim_set_speed(0);
    vexa_sim_set_value("current_spread", 0);
  }
};

TEST_F(ConcurrencyTest, BothConsolesAtOnceEachShowTheirOwnAnswers) {
  std::thread test_set([] {
    for (int i = 0; i < kRounds; ++i)
      SendTestSetConsoleCommand("*IDN?");
  });
  std::thread dc_source([] {
    for (int i = 0; i < kRounds; ++i)
      SendDcSourceConsoleCommand("MEAS:CURR?");
  });
  test_set.join();
  dc_source.join();

  std::vector<std::string> expected_test_set, expected_dc_source;
  for (int i = 0; i < kRounds; ++i) {
    expected_test_set.insert(expected_test_set.end(),
                             {"<---*IDN?", "--->VEXA Simulator,GSM Test Set,SIM00014,A.02.02"});
    expected_dc_source.insert(expected_dc_source.end(), {"<---MEAS:CURR?", "--->2.345678E-01"});
  }
  EXPECT_THAT(test_set_memo.Lines(), ElementsAreArray(expected_test_set));
  EXPECT_THAT(dc_source_memo.Lines(), ElementsAreArray(expected_dc_source));
}

TEST_F(ConcurrencyTest, EachCallReportsItsOwnStatusWhileAnotherThreadFails) {
  // One thread keeps timing out on an absent device while the other works normally: the
  // statuses a thread gets back must never be the other thread's.
  std::atomic<bool> stop{false};
  std::atomic<int> foreign_statuses{0};
  std::thread failing([&] {
    const int ud = gpib::ibdev(0, 9, 0, 13, 1, 0);
    char buffer[16];
    while (!stop) {
      if (gpib::ibrd(ud, buffer, sizeof buffer) != gpib::Status{0xc100, 6, 0})
        ++foreign_statuses;
      gpib::LastStatus();
    }
  });
  const int ud = gpib::ibdev(0, testing::kTestSetAddress, 0, 13, 1, 0);
  for (int i = 0; i < kRounds; ++i) {
    if (gpib::ibwrt(ud, "*OPC?", 5) != gpib::Status{0x0100, 0, 5})
      ++foreign_statuses;
    char buffer[16];
    if (gpib::ibrd(ud, buffer, sizeof buffer) != gpib::Status{0x2100, 0, 2})
      ++foreign_statuses;
  }
  stop = true;
  failing.join();
  EXPECT_EQ(foreign_statuses, 0);
}

TEST_F(ConcurrencyTest, WorkerAndConsoleShareTheTestSetSession) {
  // The call check of a test run and the console use the same handle; answers may be taken by
  // the other thread (as with the real program), but every memo line stays a whole line.
  vexa_sim_set_timeout_scale(0.002);  // a stolen answer costs a 20 ms time-out
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop) {
      OpenTestSet();
      QueryCallConnected();
      ReportGpibError("worker");
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    SendTestSetConsoleCommand("CALL:CONN:STAT?");
    TestSetDevice.SetMemo(i % 2 ? &test_set_memo : nullptr);  // attach and detach meanwhile
  }
  stop = true;
  worker.join();
  std::vector<std::string> lines = test_set_memo.Lines();
  EXPECT_FALSE(lines.empty());
  for (const std::string& line : lines) {
    EXPECT_TRUE(line.rfind("<---CALL:CONN:STAT?", 0) == 0 || line.rfind("--->", 0) == 0 ||
                line.rfind("worker ibsta = ", 0) == 0 || line.rfind("Unable to ", 0) == 0)
        << line;
  }
}

}  // namespace
}  // namespace vexa
