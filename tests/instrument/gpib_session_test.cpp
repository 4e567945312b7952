// The two sessions against the simulator: the console's memo lines, the open and error-report
// rules, the call-state query, and what the console does without a driver.
#include <gmock/gmock.h>

#include <chrono>
#include <string>
#include <vector>

#include "instrument/gpib_session.h"
#include "instrument_test_support.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

constexpr const char* kTestSetIdn = "--->VEXA Simulator,GSM Test Set,SIM00014,A.02.02";
constexpr const char* kDcSourceIdn =
    "--->VEXA Simulator,Mobile Communications DC Source,SIM00005,A.01.01";

class SessionTest : public testing::SimulatorTest {};

// The same console cases on both pages.
struct ConsoleCase {
  const char* name;
  int address;
  void (*send)(const std::string&);
  bool test_set;  // which page's memo to read
  const char* idn_line;
};

void PrintTo(const ConsoleCase& c, std::ostream* out) {
  *out << c.name;
}

class ConsoleTest : public SessionTest, public ::testing::WithParamInterface<ConsoleCase> {
 protected:
  Lines Memo() const {
    return GetParam().test_set ? test_set_memo.Lines() : dc_source_memo.Lines();
  }
  void Send(const std::string& text) const { GetParam().send(text); }
  int address() const { return GetParam().address; }
};

TEST_P(ConsoleTest, QueryShowsEchoAndAnswerWithoutTerminator) {
  Send("*IDN?");
  EXPECT_THAT(Memo(), ElementsAre("<---*IDN?", GetParam().idn_line));
  EXPECT_THAT(testing::SimLog(address()), ElementsAre("*IDN?"));
}

TEST_P(ConsoleTest, CommandIsSentWithoutRead) {
  Send("*RST");
  EXPECT_THAT(Memo(), ElementsAre("<---*RST"));
  EXPECT_THAT(testing::SimLog(address()), ElementsAre("*RST"));
}

TEST_P(ConsoleTest, EmptyTextIsAnEmptyWriteWithoutRead) {
  Send("");
  EXPECT_THAT(Memo(), ElementsAre("<---"));
  EXPECT_THAT(testing::SimLog(address()), IsEmpty());
}

TEST_P(ConsoleTest, ShortAnswerAfterLongAnswerShowsOnlyTheShortOne) {
  Send("SYSTem:ERRor?");  // '0,"No error"'
  Send("*OPC?");          // '1'
  EXPECT_THAT(Memo(), ElementsAre("<---SYSTem:ERRor?", "--->0,\"No error\"", "<---*OPC?", "--->1"));
}

TEST_P(ConsoleTest, ReadTimeOutShowsEchoErrorAndEmptyReplyAndTakesTheDeviceOffline) {
  vexa_sim_fail_next_reads(address(), VEXA_SIM_READ_TIMEOUT, 1);
  Send("*IDN?");
  EXPECT_THAT(Memo(),
              ElementsAre("<---*IDN?", "Unable to read from device ibsta = 0xc100 iberr = 6 (EABO)",
                          "--->"));
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);  // ibonl(handle, 0) after the failure
  Send("*IDN?");                              // the next command opens anew
  EXPECT_EQ(Memo().back(), GetParam().idn_line);
}

TEST_P(ConsoleTest, EmptyAndGarbledRepliesAreShownAsReceived) {
  vexa_sim_fail_next_reads(address(), VEXA_SIM_READ_EMPTY, 1);
  Send("*IDN?");
  vexa_sim_fail_next_reads(address(), VEXA_SIM_READ_GARBLED, 1);
  Send("*IDN?");
  EXPECT_THAT(Memo(), ElementsAre("<---*IDN?", "--->", "<---*IDN?", "--->#?~garbled~?#"));
}

TEST_P(ConsoleTest, CommandAtTheBufferLimitIsSentAndALongerOneRefused) {
  const std::string at_limit = "*RST;" + std::string(1024 - 5, ' ');
  Send(at_limit);
  Send(std::string(1500, 'A'));
  EXPECT_THAT(Memo(), ElementsAre("<---" + at_limit,
                                  "Command refused: 1500 characters, the limit is 1024"));
  EXPECT_THAT(testing::SimLog(address()), ElementsAre(at_limit));
}

TEST_P(ConsoleTest, MissingDriverShowsOnlyTheOpenFailure) {
  testing::UseDriverLibrary("/nonexistent/libgpib-vexa-test.so");
  Send("*IDN?");
  EXPECT_THAT(Memo(), ElementsAre("Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)"));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ConsoleTest,
    ::testing::Values(ConsoleCase{"TestSet", testing::kTestSetAddress, SendTestSetConsoleCommand,
                                  true, kTestSetIdn},
                      ConsoleCase{"DcSource", testing::kDcSourceAddress, SendDcSourceConsoleCommand,
                                  false, kDcSourceIdn}),
    [](const ::testing::TestParamInfo<ConsoleCase>& info) { return info.param.name; });

TEST_F(SessionTest, TestSetStillSendsAfterAFailedClear) {
  vexa_sim_fail_next_clear(testing::kTestSetAddress);
  SendTestSetConsoleCommand("*IDN?");
  // The clear's report took the device offline, so the write and the read fail on it too.
  EXPECT_THAT(test_set_memo.Lines(),
              ElementsAre("Unable to clear device ibsta = 0x8100 iberr = 14 (EBUS)", "<---*IDN?",
                          "Unable to write to device ibsta = 0x8000 iberr = 0 (EDVR)",
                          "Unable to read from device ibsta = 0x8000 iberr = 0 (EDVR)", "--->"));
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress), IsEmpty());
}

TEST_F(SessionTest, DcSourceStopsAfterAFailedClear) {
  vexa_sim_fail_next_clear(testing::kDcSourceAddress);
  SendDcSourceConsoleCommand("*IDN?");
  EXPECT_THAT(dc_source_memo.Lines(),
              ElementsAre("Unable to clear device ibsta = 0x8100 iberr = 14 (EBUS)"));
  EXPECT_THAT(testing::SimLog(testing::kDcSourceAddress), IsEmpty());
  EXPECT_EQ(OpenDcSource(), 0);
}

TEST_F(SessionTest, FailedOpenLeavesHandleMinusOneAndLaterReportsSilent) {
  GpibSession invalid(31, 0, AfterFailedClear::kContinue);  // no GPIB address 31
  testing::MemoRecorder memo;
  invalid.SetMemo(&memo);
  invalid.SendConsoleCommand("*IDN?");
  EXPECT_EQ(invalid.handle(), -1);
  invalid.ReportError("Unable to write to device");
  EXPECT_THAT(memo.Lines(), ElementsAre("Unable to open device ibsta = 0x8100 iberr = 4 (EARG)"));
  invalid.SetMemo(nullptr);
}

TEST_F(SessionTest, ErrorReportNeedsAnOpenHandleAndKeepsIt) {
  EXPECT_EQ(DcSourceDevice.handle(), -1);
  ReportDcSourceError("Unable to read from device");
  EXPECT_THAT(dc_source_memo.Lines(), IsEmpty());

  ASSERT_EQ(OpenDcSource(), 0);
  const int handle = DcSourceDevice.handle();
  ReportDcSourceError("Something failed");  // with the program-wide status of the clear
  EXPECT_THAT(dc_source_memo.Lines(),
              ElementsAre("Something failed ibsta = 0x100 iberr = 0 (EDVR)"));
  EXPECT_EQ(DcSourceDevice.handle(), handle);
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);
  EXPECT_TRUE(gpib::ibwrt(handle, "*RST", 4).Failed());  // offline until the next open
}

TEST_F(SessionTest, AbsentDeviceOpensButItsWriteFindsNoListener) {
  GpibSession absent(9, -1, AfterFailedClear::kStop);
  testing::MemoRecorder memo;
  absent.SetMemo(&memo);
  EXPECT_EQ(absent.Open(), 0);
  absent.SendConsoleCommand("*RST");
  EXPECT_THAT(memo.Lines(),
              ElementsAre("<---*RST", "Unable to write to device ibsta = 0x8100 iberr = 2 (ENOL)"));
  absent.SetMemo(nullptr);
}

TEST_F(SessionTest, QueryCallConnectedFollowsTheCallAndCountsSilenceAsNoCall) {
  OpenTestSet();
  EXPECT_EQ(QueryCallConnected(), 1);
  vexa_sim_set_call_connected(0);
  EXPECT_EQ(QueryCallConnected(), 0);
  vexa_sim_set_call_connected(1);
  vexa_sim_fail_next_reads(testing::kTestSetAddress, VEXA_SIM_READ_TIMEOUT, 1);
  EXPECT_EQ(QueryCallConnected(), 0);
  vexa_sim_fail_next_reads(testing::kTestSetAddress, VEXA_SIM_READ_GARBLED, 1);
  EXPECT_EQ(QueryCallConnected(), 0);
  EXPECT_THAT(test_set_memo.Lines(), IsEmpty());  // errors are not reported
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress),
              ElementsAreArray(Lines(4, "CALL:CONN:STAT?")));
}

TEST_F(SessionTest, ReadTimeOutTakesTheConfiguredTimeOutAndNoLonger) {
  using std::chrono::milliseconds;
  vexa_sim_set_timeout_scale(0.02);  // code 13 (10 s) -> 200 ms
  const milliseconds configured(200);
  struct Case {
    const char* name;
    int address;
    bool inject_time_out;
    std::string message;
  };
  const Case cases[] = {
      {"injected time-out", testing::kTestSetAddress, true, "*IDN?"},
      {"nothing to read after a command", testing::kTestSetAddress, false, "*RST"},
      // 31.2 ms x 4096 samples: the answer would come after two minutes.
      {"acquisition longer than the time-out", testing::kDcSourceAddress, false,
       "SENS:SWE:TINT 31200E-6;POIN 4096;:MEAS:CURR?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int ud = gpib::ibdev(0, c.address, 0, 13, 1, 0);
    if (c.inject_time_out)
      vexa_sim_fail_next_reads(c.address, VEXA_SIM_READ_TIMEOUT, 1);
    ASSERT_FALSE(gpib::ibwrt(ud, c.message.data(), static_cast<long>(c.message.size())).Failed());
    char buffer[32];
    const auto start = std::chrono::steady_clock::now();
    const gpib::Status status = gpib::ibrd(ud, buffer, sizeof buffer);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(status, (gpib::Status{0xc100, 6, 0}));
    EXPECT_GE(elapsed, configured);
    EXPECT_LT(elapsed, configured + milliseconds(400));
  }
}

TEST(IberrMnemonicTest, CodesWithoutMnemonicAndOutOfRangeCodesPrintEmpty) {
  struct Case {
    int iberr;
    const char* line;
  };
  for (const Case& c :
       {Case{0, "x ibsta = 0x8000 iberr = 0 (EDVR)"}, Case{6, "x ibsta = 0x8000 iberr = 6 (EABO)"},
        Case{9, "x ibsta = 0x8000 iberr = 9 ()"}, Case{20, "x ibsta = 0x8000 iberr = 20 (ETAB)"},
        Case{21, "x ibsta = 0x8000 iberr = 21 ()"}, Case{-1, "x ibsta = 0x8000 iberr = -1 ()"}}) {
    EXPECT_EQ(GpibErrorLine("x", gpib::Status{0x8000, c.iberr, 0}), c.line);
  }
}

}  // namespace
}  // namespace vexa
