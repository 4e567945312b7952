// The two sessions against the simulator: the console's memo lines and text encoding, the open
// and error-report rules, the lifetime of descriptors, and what the
// console does without a driver.
#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "instrument/bus/instrument_session.h"
#include "instrument/bus/transport.h"
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

// The call check a GSM test run starts with, on the session's current descriptor.
std::string AskCallState(InstrumentSession& session) {
  const std::unique_lock<std::mutex> bus = session.HoldBus();
  InstrumentSession::Link link = session.CurrentLink();
  link.Write("CALL:CONNECTED:STATE?");
  return link.ReadAnswer(20);
}

// The same console cases on both pages.
struct ConsoleCase {
  const char* name;
  int address;
  InstrumentSession InstrumentStation::*session;  // the page's session in the station
  bool test_set;                                  // which page's memo to read
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
  bool Send(const std::string& text) { return (station.*GetParam().session).SendConsoleText(text); }
  int address() const { return GetParam().address; }
};

TEST_P(ConsoleTest, QueryShowsEchoAndAnswerWithoutTerminator) {
  EXPECT_TRUE(Send("*IDN?"));
  EXPECT_THAT(Memo(), ElementsAre("<---*IDN?", GetParam().idn_line));
  EXPECT_THAT(testing::SimLog(address()), ElementsAre("*IDN?"));
}

TEST_P(ConsoleTest, CommandIsSentWithoutRead) {
  EXPECT_TRUE(Send("*RST"));
  EXPECT_THAT(Memo(), ElementsAre("<---*RST"));
  EXPECT_THAT(testing::SimLog(address()), ElementsAre("*RST"));
}

TEST_P(ConsoleTest, EmptyTextIsAnEmptyWriteWithoutRead) {
  EXPECT_TRUE(Send(""));
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
  EXPECT_FALSE(Send("*IDN?"));
  EXPECT_THAT(Memo(),
              ElementsAre("<---*IDN?", "Unable to read from device ibsta = 0xc100 iberr = 6 (EABO)",
                          "--->"));
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);  // ibonl(handle, 0) after the failure
  EXPECT_TRUE(Send("*IDN?"));                 // the next command opens anew
  EXPECT_EQ(Memo().back(), GetParam().idn_line);
}

TEST_P(ConsoleTest, EmptyAndGarbledRepliesAreShownAsReceived) {
  vexa_sim_fail_next_reads(address(), VEXA_SIM_READ_EMPTY, 1);
  EXPECT_TRUE(Send("*IDN?"));
  vexa_sim_fail_next_reads(address(), VEXA_SIM_READ_GARBLED, 1);
  EXPECT_TRUE(Send("*IDN?"));
  EXPECT_THAT(Memo(), ElementsAre("<---*IDN?", "--->", "<---*IDN?", "--->#?~garbled~?#"));
}

TEST_P(ConsoleTest, CommandAtTheBufferLimitIsSentAndALongerOneRefused) {
  const std::string at_limit = "*RST;" + std::string(1024 - 5, ' ');
  EXPECT_TRUE(Send(at_limit));
  EXPECT_FALSE(Send(std::string(1500, 'A')));
  EXPECT_THAT(Memo(), ElementsAre("<---" + at_limit,
                                  "Command refused: 1500 characters, the limit is 1024"));
  EXPECT_THAT(testing::SimLog(address()), ElementsAre(at_limit));
}

TEST_P(ConsoleTest, MissingDriverShowsOnlyTheOpenFailure) {
  testing::UseDriverLibrary("/nonexistent/libgpib-vexa-test.so");
  EXPECT_FALSE(Send("*IDN?"));
  EXPECT_THAT(Memo(), ElementsAre("Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)"));
}

TEST_P(ConsoleTest, EachOpenReleasesTheDescriptorItReplaces) {
  constexpr int kCommands = 500;
  for (int i = 0; i < kCommands; ++i)
    ASSERT_TRUE(Send("*CLS")) << i;
  EXPECT_EQ(vexa_sim_open_descriptors(), 1);
  EXPECT_EQ(Memo().size(), static_cast<std::size_t>(kCommands));
}

// The command line's text is UTF-8; the bus carries Latin-1, and the memo shows the bus bytes.
TEST_P(ConsoleTest, TextGoesOnTheBusAsLatin1AndEchoesTheSameBytes) {
  EXPECT_TRUE(Send("\xC2\xB5"));  // MICRO SIGN in UTF-8
  EXPECT_THAT(testing::SimLog(address()), ElementsAre("\xB5"));
  EXPECT_THAT(Memo(), ElementsAre("<---\xB5"));
}

TEST_P(ConsoleTest, TextTheBusCannotCarryIsRefusedWithOneLineAndNothingSent) {
  struct Case {
    const char* name;
    std::string text;
    std::string line;
  };
  const Case cases[] = {
      {"Greek capital Omega", "SENS:RES 5\xCE\xA9",
       "Command refused: character U+03A9 cannot be sent (the bus carries ISO 8859-1 only)"},
      {"U+0100, just beyond Latin-1", "\xC4\x80",
       "Command refused: character U+0100 cannot be sent (the bus carries ISO 8859-1 only)"},
      {"a character beyond U+FFFF", "*IDN?\xF0\x9F\x98\x80",
       "Command refused: character U+1F600 cannot be sent (the bus carries ISO 8859-1 only)"},
      {"a Latin-1 byte that is not UTF-8", "3\xB5", "Command refused: the text is not valid UTF-8"},
      {"an overlong form", "*IDN\xC0\xBF", "Command refused: the text is not valid UTF-8"},
  };
  Lines expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(Send(c.text));
    expected.push_back(c.line);
  }
  EXPECT_THAT(Memo(), ElementsAreArray(expected));
  EXPECT_THAT(testing::SimLog(address()), IsEmpty());
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);  // not even opened
}

TEST_P(ConsoleTest, TheCommandLimitCountsBusBytes) {
  std::string micro_signs;  // 1024 characters: 2048 bytes of UTF-8, 1024 on the bus
  for (int i = 0; i < 1024; ++i)
    micro_signs += "\xC2\xB5";
  EXPECT_TRUE(Send(micro_signs));
  EXPECT_FALSE(Send(micro_signs + "\xC2\xB5"));
  const std::string on_the_bus(1024, '\xB5');
  EXPECT_THAT(Memo(), ElementsAre("<---" + on_the_bus,
                                  "Command refused: 1025 characters, the limit is 1024"));
  EXPECT_THAT(testing::SimLog(address()), ElementsAre(on_the_bus));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ConsoleTest,
    ::testing::Values(ConsoleCase{"TestSet", testing::kTestSetAddress,
                                  &InstrumentStation::TestSetDevice, true, kTestSetIdn},
                      ConsoleCase{"DcSource", testing::kDcSourceAddress,
                                  &InstrumentStation::DcSourceDevice, false, kDcSourceIdn}),
    [](const ::testing::TestParamInfo<ConsoleCase>& info) { return info.param.name; });

TEST_F(SessionTest, TestSetStillSendsAfterAFailedClear) {
  vexa_sim_fail_next_clear(testing::kTestSetAddress);
  EXPECT_FALSE(TestSetDevice.SendConsoleText("*IDN?"));
  // The clear's report took the device offline, so the write and the read fail on it too.
  EXPECT_THAT(test_set_memo.Lines(),
              ElementsAre("Unable to clear device ibsta = 0x8100 iberr = 14 (EBUS)", "<---*IDN?",
                          "Unable to write to device ibsta = 0x8000 iberr = 0 (EDVR)",
                          "Unable to read from device ibsta = 0x8000 iberr = 0 (EDVR)", "--->"));
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress), IsEmpty());
}

TEST_F(SessionTest, DcSourceStopsAfterAFailedClear) {
  vexa_sim_fail_next_clear(testing::kDcSourceAddress);
  EXPECT_FALSE(DcSourceDevice.SendConsoleText("*IDN?"));
  EXPECT_THAT(dc_source_memo.Lines(),
              ElementsAre("Unable to clear device ibsta = 0x8100 iberr = 14 (EBUS)"));
  EXPECT_THAT(testing::SimLog(testing::kDcSourceAddress), IsEmpty());
  EXPECT_EQ(DcSourceDevice.Open(), 0);
}

TEST_F(SessionTest, FailedOpenLeavesHandleMinusOneAndLaterReportsSilent) {
  InstrumentSession invalid(31, 0, AfterFailedClear::kContinue);  // no GPIB address 31
  testing::MemoRecorder memo;
  invalid.SetMemo(&memo);
  EXPECT_FALSE(invalid.SendConsoleCommand("*IDN?"));
  EXPECT_EQ(invalid.handle(), -1);
  invalid.ReportError("Unable to write to device");
  EXPECT_THAT(memo.Lines(), ElementsAre("Unable to open device ibsta = 0x8100 iberr = 4 (EARG)"));
  invalid.SetMemo(nullptr);
}

TEST_F(SessionTest, ErrorReportNeedsAnOpenHandleAndKeepsIt) {
  EXPECT_EQ(DcSourceDevice.handle(), -1);
  DcSourceDevice.ReportError("Unable to read from device");
  EXPECT_THAT(dc_source_memo.Lines(), IsEmpty());

  ASSERT_EQ(DcSourceDevice.Open(), 0);
  const int handle = DcSourceDevice.handle();
  DcSourceDevice.ReportError("Something failed");  // with the program-wide status of the clear
  EXPECT_THAT(dc_source_memo.Lines(),
              ElementsAre("Something failed ibsta = 0x100 iberr = 0 (EDVR)"));
  EXPECT_EQ(DcSourceDevice.handle(), handle);
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);
  EXPECT_TRUE(gpib::ibwrt(handle, "*RST", 4).Failed());  // offline until the next open
}

TEST_F(SessionTest, DescriptorTakenOfflineByAReportIsNeverTakenOfflineAgain) {
  TestSetDevice.Open();
  TestSetDevice.ReportError("Call check failed");  // takes the test set's descriptor offline
  ASSERT_EQ(DcSourceDevice.Open(), 0);  // and the driver hands its number to the DC source
  const int reused = DcSourceDevice.handle();
  ASSERT_EQ(TestSetDevice.handle(), reused);

  TestSetDevice.ReportError("Call check failed again");  // on the same test-set handle
  TestSetDevice.Open();                                  // replaces the test set's old descriptor
  EXPECT_EQ(vexa_sim_open_descriptors(), 2);  // the DC source's and the test set's new one
  EXPECT_FALSE(gpib::ibwrt(reused, "*RST", 4).Failed());
  EXPECT_THAT(testing::SimLog(testing::kDcSourceAddress), ElementsAre("*RST"));
  EXPECT_THAT(test_set_memo.Lines(),
              ElementsAre("Call check failed ibsta = 0x100 iberr = 0 (EDVR)",
                          "Call check failed again ibsta = 0x100 iberr = 0 (EDVR)"));
}

TEST_F(SessionTest, ADescriptorTakenOfflineNeverCarriesTheSessionsCommandsToAnotherDevice) {
  TestSetDevice.Open();
  TestSetDevice.ReportError("Call check failed");  // takes the test set's descriptor offline
  ASSERT_EQ(DcSourceDevice.Open(), 0);             // the driver hands its number to the DC source
  ASSERT_EQ(TestSetDevice.handle(), DcSourceDevice.handle());

  // The test set's operations on its old number fail as on a released descriptor; the DC
  // source, which holds that number now, never hears them.
  EXPECT_EQ(AskCallState(TestSetDevice), "");
  EXPECT_EQ(gpib::LastStatus(), (bus::Status{0x8000, 0, EBADF}));
  EXPECT_THAT(testing::SimLog(testing::kDcSourceAddress), IsEmpty());
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress), IsEmpty());
}

TEST_F(SessionTest, TheTestSetsHandleBeforeItsFirstOpenNeverReachesTheDriver) {
  // Handle 0 would address the GPIB board itself on a Linux driver.
  EXPECT_EQ(TestSetDevice.handle(), 0);
  EXPECT_EQ(AskCallState(TestSetDevice), "");
  EXPECT_EQ(gpib::LastStatus(), (bus::Status{0x8000, 0, EBADF}));
  TestSetDevice.ReportError("Early report");  // shown (the handle is not -1), but no ibonl(0, 0)
  EXPECT_EQ(gpib::LastStatus(), (bus::Status{0x8000, 0, EBADF}));
  EXPECT_THAT(test_set_memo.Lines(), ElementsAre("Early report ibsta = 0x8000 iberr = 0 (EDVR)"));
}

// A transport whose reads wait until the test lets them go, and which tells which of its
// descriptors are open: the order of two threads' calls then depends on nothing else.
class GatedTransport : public Transport {
 public:
  GatedTransport() : Transport("GATED0::14::INSTR") {}
  TransportKind kind() const override { return TransportKind::kVisa; }
  int Open(bus::Status& status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    status = {bus::kCmpl, 0, 0};
    open_.push_back(++last_);
    return last_;
  }
  bus::Status Clear(int) override { return {bus::kCmpl, 0, 0}; }
  bus::Status Write(int, const void*, long count) override { return {bus::kCmpl, 0, count}; }
  bus::Status Read(int, void* buffer, long count) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++reading_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    const std::string answer = "ANSWER\n";
    const long n = std::min<long>(count, static_cast<long>(answer.size()));
    std::memcpy(buffer, answer.data(), static_cast<std::size_t>(n));
    return {bus::kCmpl | bus::kEnd, 0, n};
  }
  bus::Status TakeOffline(int ud) override {
    ReleaseQuietly(ud);
    return {bus::kCmpl, 0, 0};
  }
  void ReleaseQuietly(int ud) override {
    std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), ud), open_.end());
  }
  bus::Status RefusedCall() override { return {bus::kErr, 0, 0}; }
  bus::Status LastStatus() const override { return {}; }
  std::string ErrorLine(const std::string& text, const bus::Status&) const override { return text; }
  std::string Note() const override { return "gated"; }

  std::vector<int> OpenDescriptors() {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
  }
  void WaitForReaders(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this, count] { return reading_ >= count; });
  }
  void LetReadsGo() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> open_;
  int last_ = 0;
  int reading_ = 0;
  bool released_ = false;
};

TEST_F(SessionTest, OpenOnAnotherThreadLeavesASlowQueryItsDescriptorUntilItEnds) {
  const auto transport = std::make_shared<GatedTransport>();
  InstrumentSession session(14, 0, AfterFailedClear::kContinue, transport);
  testing::MemoRecorder memo;
  session.SetMemo(&memo);
  std::atomic<bool> succeeded{false};
  std::thread console([&] { succeeded = session.SendConsoleText("*IDN?"); });
  transport->WaitForReaders(1);  // the console waits for its answer on descriptor 1
  session.Open();                // replaces the session's descriptor by 2
  EXPECT_THAT(transport->OpenDescriptors(), ElementsAre(1, 2));  // 1 is still the console's
  transport->LetReadsGo();
  console.join();

  EXPECT_TRUE(succeeded);
  EXPECT_THAT(memo.Lines(), ElementsAre("<---*IDN?", "--->ANSWER"));
  EXPECT_THAT(transport->OpenDescriptors(), ElementsAre(2));  // released when it was done
  EXPECT_EQ(session.handle(), 2);
  session.SetMemo(nullptr);
}

TEST_F(SessionTest, DetachMemoLeavesAMemoAttachedLaterInPlace) {
  testing::MemoRecorder later;
  TestSetDevice.SetMemo(&later);             // another page attached its memo since
  TestSetDevice.DetachMemo(&test_set_memo);  // the first page goes away
  TestSetDevice.AppendLine("still shown");
  TestSetDevice.DetachMemo(&later);
  TestSetDevice.AppendLine("dropped");
  EXPECT_THAT(later.Lines(), ElementsAre("still shown"));
  EXPECT_THAT(test_set_memo.Lines(), IsEmpty());
}

TEST_F(SessionTest, AbsentDeviceOpensButItsWriteFindsNoListener) {
  InstrumentSession absent(9, -1, AfterFailedClear::kStop);
  testing::MemoRecorder memo;
  absent.SetMemo(&memo);
  EXPECT_EQ(absent.Open(), 0);
  EXPECT_FALSE(absent.SendConsoleCommand("*RST"));
  EXPECT_THAT(memo.Lines(),
              ElementsAre("<---*RST", "Unable to write to device ibsta = 0x8100 iberr = 2 (ENOL)"));
  absent.SetMemo(nullptr);
}

TEST_F(SessionTest, ReadTimeOutTakesTheConfiguredTimeOutAndNoLonger) {
  using std::chrono::milliseconds;
  vexa_sim_set_timeout_scale(0.02);  // code 13 (10 s) -> 200 ms
  const milliseconds configured(200);
  // What a read that ignored the scaled time-out would wait at least: the unscaled 10 s of
  // code 13 (the acquisition below, two minutes).
  const milliseconds unscaled(10000);
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
    const bus::Status status = gpib::ibrd(ud, buffer, sizeof buffer);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(status, (bus::Status{0xc100, 6, 0}));
    EXPECT_GE(elapsed, configured);
    EXPECT_LT(elapsed, unscaled);
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
    EXPECT_EQ(GpibErrorLine("x", bus::Status{0x8000, c.iberr, 0}), c.line);
  }
}

}  // namespace
}  // namespace vexa
