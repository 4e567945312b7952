// The test-set configuration against the simulator: the exact set-up sequence for several
// plans, the cell-band rules of the two band families, the memo lines and window effects in
// their order, a capture that fails, a failed open, and what the simulated test set holds
// afterwards.
#include <gmock/gmock.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "instrument/runs/testset_config.h"
#include "instrument_test_support.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

// The page and the window as one recorder: memo lines and view effects in one ordered list.
class PageRecorder : public MemoSink, public ConfigureView {
 public:
  void AppendLine(const std::string& line) override { Add("memo: " + line); }
  void ClearMemo() override { Add("clear memo"); }
  void ResetCommandLineColour() override { Add("reset colour"); }
  void EnableStartTest() override { Add("enable Start Test"); }
  void CloseWindow() override { Add("close window"); }
  // The progress as "progress 3 of 22" events, when `record_progress`; `on_progress` runs
  // after each.
  void ShowSetupProgress(int sent, int total) override {
    if (record_progress)
      Add("progress " + std::to_string(sent) + " of " + std::to_string(total));
    if (on_progress)
      on_progress(sent);
  }
  bool record_progress = false;
  std::function<void(int)> on_progress;

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }
  Lines Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  void Add(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }
  mutable std::mutex mutex_;
  Lines events_;
};

constexpr const char* kBegin = "memo: Test Plan configured. Now begin setup 8960 ......";
constexpr const char* kEnd =
    "memo: 8960 setup finished. Now connect 8960 with MS mannually, and start to test";

void SetList(std::array<std::int32_t, kChannelListSize>& list, std::vector<int> values) {
  values.push_back(kEndOfList);
  std::copy(values.begin(), values.end(), list.begin());
}

// The plan that the test-plan window captures right after start-up.
TestPlan StartupPlan() {
  TestPlan plan;
  plan.bandEnabled = {1, 1, 1, 0};
  SetList(plan.channels[0], {975, 62, 124});
  SetList(plan.channels[1], {512, 698, 885});
  SetList(plan.channels[2], {512, 661, 810});
  SetList(plan.channels[3], {128, 190, 251});
  for (int band = 0; band < 3; ++band) {
    const int first = IsLowBand(band) ? 5 : 0;
    const int last = IsLowBand(band) ? 19 : 15;
    std::size_t i = 0;
    for (int level = first; level <= last; ++level)
      plan.levels[static_cast<std::size_t>(band)][i++] = level;
    plan.levels[static_cast<std::size_t>(band)][i] = kEndOfList;
  }
  plan.itemEnabled = {1, 1, 1, 1, 1, 1, 1};
  plan.berReferenceLevel = -102.5f;
  plan.berCount = 8200;
  plan.antennaStep = 30;
  plan.lowBandFrequencies = {880, 960};
  plan.lowBandLosses = {-0.5f, -0.6f};
  plan.highBandFrequencies = {1710, 1990};
  plan.highBandLosses = {-1.2f, -1.5f};
  return plan;
}

// The commands from the cell power on, with the BER count and correction lines given.
Lines CommandsAfterCellBand(const std::string& ber_count, const std::string& frequencies,
                            const std::string& gains) {
  return {
      "CALL:POW -65dBm",
      "CALL:PAGing:IMSI '001011234567890'",
      "SETUP:TXPOWER:COUNT:SNUMBER 20",
      "SETUP:TXPOWER:TIMEOUT:STIME 5",
      "SETUP:PVTIME:COUNT:SNUMBER 20",
      "SETUP:PVTIME:TIME:OFFSET -28.0US, -18.0US, -10.0US, 0, 542.8US, 552.8US, 560.8US, 570.8US",
      "SETUP:PVTIME:LIMIT:ETSI:PCS REL",
      "SETUP:PVTIME:SYNC AMPL",
      "SETUP:PVTIME:TIMEOUT:STIME 5",
      "SETUP:PFERROR:COUNT:SNUMBER 20",
      "SETUP:PFERROR:SYNC AMPL",
      "SETUP:PFERROR:TIMEOUT:STIME 5",
      "SET:ORFS:MOD:FREQ 100KHZ,-100KHZ,200KHZ,-200KHZ,250KHZ,-250KHZ,400KHZ,-400KHZ,600KHZ,"
      "-600KHZ,1800KHZ,-1800KHZ",
      "SET:ORFS:SWIT:FREQ 400KHZ,-400KHZ,600KHZ,-600KHZ,1200KHZ,-1200KHZ,1800KHZ,-1800KHZ",
      "SETUP:ORFSPECTRUM:TIMEOUT:STIME 10",
      "SETUP:BERROR:TYPE RESTYPEII",
      "SETUP:BERROR:COUNT " + ber_count,
      "SETUP:BERR:TIMEOUT:STIME 10",
      "SYSTEM:CORRECTION:SFREQUENCY " + frequencies,
      "SYSTEM:CORRECTION:SGAIN " + gains,
  };
}

const char* const kStartupFrequencies =
    "880.000000 MHz, 960.000000 MHz, 1710.000000 MHz, 1990.000000 MHz";
const char* const kStartupGains = "-0.500000,-0.600000,-1.200000,-1.500000";

Lines Concat(Lines head, const Lines& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

class ConfigureTest : public testing::SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    TestSetDevice.SetMemo(&page);
  }

  // Runs the configuration with a capture that copies `source` into the program's plan.
  void Configure(const TestPlan& source, bool reset_checked) {
    ConfigureTestSet(
        plan, [&source](TestPlan& target) { target = source; }, reset_checked, TestSetDevice, page);
  }

  // Sends `message` to the test set on a descriptor of its own; a query's answer without its
  // terminator.
  static std::string AskTestSet(const std::string& message) {
    const int ud = gpib::ibdev(0, testing::kTestSetAddress, 0, 13, 1, 0);
    gpib::ibwrt(ud, message.data(), static_cast<long>(message.size()));
    std::string answer;
    if (!message.empty() && message.back() == '?') {
      char buffer[512] = {};
      const bus::Status status = gpib::ibrd(ud, buffer, sizeof buffer - 1);
      answer.assign(buffer, static_cast<std::size_t>(std::max(status.ibcntl, 1L) - 1));
    }
    gpib::ibonl(ud, 0);
    return answer;
  }

  // Puts the simulated cell into `band`; the command is left out of ConfigurationLog().
  void PresetCellBand(const char* band) {
    AskTestSet(std::string("CALL:CELL:BAND ") + band);
    preset_commands_ = 1;
  }

  // The log without the commands the test itself sent beforehand.
  Lines ConfigurationLog() const {
    Lines log = testing::SimLog(testing::kTestSetAddress);
    log.erase(log.begin(),
              log.begin() + std::min<std::ptrdiff_t>(preset_commands_,
                                                     static_cast<std::ptrdiff_t>(log.size())));
    return log;
  }

  PageRecorder page;
  TestPlan plan;
  int preset_commands_ = 0;
};

TEST_F(ConfigureTest, StartupPlanSendsTheWholeSequenceAndShowsTheProgressLines) {
  plan.antennaAngle = 90;  // a previous run's rotation
  Configure(StartupPlan(), true);
  EXPECT_THAT(
      ConfigurationLog(),
      ElementsAreArray(Concat({"*RST", "CALL:CELL:BAND?"},
                              CommandsAfterCellBand("8200", kStartupFrequencies, kStartupGains))));
  EXPECT_THAT(page.Events(), ElementsAre("clear memo", "reset colour", kBegin, kEnd,
                                         "enable Start Test", "close window"));
  EXPECT_EQ(plan.berCount, 8200);
  EXPECT_EQ(plan.antennaStep, 30);
  EXPECT_EQ(plan.antennaAngle, 0);
}

// Which band command follows the cell-band query, for the plan's bands and what the cell
// answers.
TEST_F(ConfigureTest, CellBandFollowsTheFamilyOfTheEnabledBands) {
  struct Case {
    const char* name;
    std::array<std::uint8_t, kBandCount> bands;
    const char* cell_before;  // nullptr: the band after the simulator's reset (EGSM)
    Lines band_commands;      // between the first command and the cell power
    const char* cell_after;
  };
  const Case cases[] = {
      {"only GSM850, cell EGSM",
       {0, 0, 0, 1},
       nullptr,
       {"CALL:CELL:BAND?", "CALL:CELL:BAND PCS"},
       "PCS"},
      {"only DCS, cell PCS",
       {0, 1, 0, 0},
       "PCS",
       {"CALL:CELL:BAND?", "CALL:CELL:BAND EGSM"},
       "EGSM"},
      {"only DCS, cell DCS", {0, 1, 0, 0}, "DCS", {"CALL:CELL:BAND?"}, "DCS"},
      {"PCS and GSM850, cell GSM850", {0, 0, 1, 1}, "GSM850", {"CALL:CELL:BAND?"}, "GSM850"},
      {"PCS and GSM850, cell DCS",
       {0, 0, 1, 1},
       "DCS",
       {"CALL:CELL:BAND?", "CALL:CELL:BAND PCS"},
       "PCS"},
      {"all four, cell GSM850",
       {1, 1, 1, 1},
       "GSM850",
       {"CALL:CELL:BAND?", "CALL:CELL:BAND EGSM"},
       "EGSM"},
      {"EGSM and PCS, cell PCS",
       {1, 0, 1, 0},
       "PCS",
       {"CALL:CELL:BAND?", "CALL:CELL:BAND EGSM"},
       "EGSM"},
      {"no band", {0, 0, 0, 0}, "PCS", {}, "PCS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    preset_commands_ = 0;
    if (c.cell_before)
      PresetCellBand(c.cell_before);
    TestPlan source = StartupPlan();
    source.bandEnabled = c.bands;
    // "*RST" off, so the cell keeps the band it had.
    Configure(source, false);
    const Lines expected =
        Concat(Concat({"SETUP:ALL:CONTINUOUS:OFF"}, c.band_commands),
               CommandsAfterCellBand("8200", kStartupFrequencies, kStartupGains));
    EXPECT_THAT(ConfigurationLog(), ElementsAreArray(expected));
    EXPECT_EQ(AskTestSet("CALL:CELL:BAND?"), c.cell_after);
    EXPECT_THAT(page.Events(), ElementsAre("clear memo", "reset colour", kBegin, kEnd,
                                           "enable Start Test", "close window"));
    TearDown();
    page.Clear();
  }
}

TEST_F(ConfigureTest, BerCountAndLossesAreFilledWithTheirSinglePrecisionDigits) {
  TestPlan source = StartupPlan();
  source.bandEnabled = {0, 0, 0, 1};
  source.berCount = 10000;
  source.lowBandFrequencies = {880.1f, 959.9f};
  source.lowBandLosses = {-0.3f, 0};  // a loss text without a second number
  source.highBandFrequencies = {1710.7f, 1989.3f};
  source.highBandLosses = {-123.45f, -0.0000004f};
  Configure(source, true);
  EXPECT_THAT(ConfigurationLog(),
              ElementsAreArray(Concat(
                  {"*RST", "CALL:CELL:BAND?", "CALL:CELL:BAND PCS"},
                  CommandsAfterCellBand(
                      "10000", "880.099976 MHz, 959.900024 MHz, 1710.699951 MHz, 1989.300049 MHz",
                      "-0.300000,0.000000,-123.449997,-0.000000"))));
}

TEST_F(ConfigureTest, UnreadableCellBandAnswerSetsTheBand) {
  for (const int mode : {VEXA_SIM_READ_EMPTY, VEXA_SIM_READ_GARBLED, VEXA_SIM_READ_TIMEOUT}) {
    SCOPED_TRACE(mode);
    SetUp();
    vexa_sim_fail_next_reads(testing::kTestSetAddress, mode, 1);
    Configure(StartupPlan(), true);
    const Lines log = ConfigurationLog();
    ASSERT_GE(log.size(), 4u);
    EXPECT_THAT(Lines(log.begin(), log.begin() + 4),
                ElementsAre("*RST", "CALL:CELL:BAND?", "CALL:CELL:BAND EGSM", "CALL:POW -65dBm"));
    EXPECT_EQ(log.size(), 23u);
    // Read failures of the set-up are not reported.
    EXPECT_THAT(page.Events(), ElementsAre("clear memo", "reset colour", kBegin, kEnd,
                                           "enable Start Test", "close window"));
    TearDown();
    page.Clear();
  }
}

TEST_F(ConfigureTest, CaptureErrorStopsBeforeAnythingIsSent) {
  plan.berCount = 555;
  plan.antennaAngle = 60;
  const auto capture = [](TestPlan& target) {
    target.bandEnabled = {1, 0, 0, 0};
    throw ConversionError("'x' is not a valid floating point value");
  };
  EXPECT_THROW(ConfigureTestSet(plan, capture, true, TestSetDevice, page), ConversionError);
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress), IsEmpty());
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);
  // The memo is cleared; no progress line, Start Test and the window as they were.
  EXPECT_THAT(page.Events(), ElementsAre("clear memo", "reset colour"));
  // What the capture filled before the error keeps its value, the rest is untouched.
  EXPECT_EQ(plan.bandEnabled[0], 1);
  EXPECT_EQ(plan.berCount, 555);
  EXPECT_EQ(plan.antennaAngle, 60);
}

TEST_F(ConfigureTest, FailedOpenStillEndsWithTheProgressLineAndStartTest) {
  testing::UseDriverLibrary("/nonexistent/libvexa-no-driver.so");
  Configure(StartupPlan(), true);
  EXPECT_THAT(page.Events(),
              ElementsAre("clear memo", "reset colour", kBegin,
                          "memo: Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)", kEnd,
                          "enable Start Test", "close window"));
  EXPECT_EQ(TestSetDevice.handle(), -1);
  EXPECT_EQ(gpib::LastStatus().ibsta, 0x8000);  // the last command went to the failed handle
  testing::UseDriverLibrary(VEXA_SIM_LIBRARY);
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress), IsEmpty());
}

TEST_F(ConfigureTest, FailedClearIsReportedAndTheCommandsGoNowhere) {
  vexa_sim_fail_next_clear(testing::kTestSetAddress);
  Configure(StartupPlan(), true);
  EXPECT_THAT(page.Events(),
              ElementsAre("clear memo", "reset colour", kBegin,
                          "memo: Unable to clear device ibsta = 0x8100 iberr = 14 (EBUS)", kEnd,
                          "enable Start Test", "close window"));
  // The report took the descriptor offline: nothing reaches the instrument.
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress), IsEmpty());
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);
}

TEST_F(ConfigureTest, TestSetHoldsTheConfiguredSettingsAfterwards) {
  TestPlan source = StartupPlan();
  source.bandEnabled = {0, 0, 1, 0};
  source.berCount = 10000;
  Configure(source, true);
  EXPECT_EQ(AskTestSet("CALL:CELL:BAND?"), "PCS");
  EXPECT_EQ(AskTestSet("CALL:POW?"), "-6.500000E+01");
  EXPECT_EQ(AskTestSet("SETUP:BERROR:COUNT?"), "10000");
  EXPECT_EQ(AskTestSet("SETUP:BERROR:TYPE?"), "RESTYPEII");
  EXPECT_EQ(AskTestSet("SETUP:TXPOWER:COUNT:SNUMBER?"), "20");
  EXPECT_EQ(AskTestSet("SETUP:ORFSPECTRUM:TIMEOUT:STIME?"), "1.000000E+01");
  EXPECT_EQ(AskTestSet("SETUP:BERR:TIMEOUT?"), "1.000000E+01");
  EXPECT_EQ(AskTestSet("CALL:PAGING:IMSI?"), "\"001011234567890\"");
  EXPECT_EQ(AskTestSet("SYSTEM:CORRECTION:SFREQUENCY?"),
            "8.800000E+08,9.600000E+08,1.710000E+09,1.990000E+09");
  EXPECT_EQ(AskTestSet("SYSTEM:CORRECTION:SGAIN?"),
            "-5.000000E-01,-6.000000E-01,-1.200000E+00,-1.500000E+00");
  EXPECT_EQ(AskTestSet("SETUP:ALL:CONTINUOUS?"), "1");  // after *RST
  // Fetched BER results count the configured bits.
  EXPECT_EQ(AskTestSet("FETCh:BERRor?").substr(0, 8), "0,10000,");
}

TEST_F(ConfigureTest, WithoutRstTheMeasurementsBecomeSingleShot) {
  Configure(StartupPlan(), false);
  const Lines log = ConfigurationLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "SETUP:ALL:CONTINUOUS:OFF");
  EXPECT_THAT(log, ::testing::Not(::testing::Contains("*RST")));
  EXPECT_EQ(AskTestSet("SETUP:ALL:CONTINUOUS?"), "0");
}

// The session's link that carries the sequence: it keeps its descriptor while a later open
// replaces the session's, and cuts answers at ibcntl - 1.
TEST_F(ConfigureTest, LinkKeepsItsDescriptorAcrossANewOpenAndCutsAnswers) {
  {
    bool opened = false;
    InstrumentSession::Link link = TestSetDevice.OpenLink(&opened);
    EXPECT_TRUE(opened);
    const int first = link.handle();
    EXPECT_EQ(TestSetDevice.Open(), 0);  // the console's open, say
    EXPECT_NE(TestSetDevice.handle(), first);
    EXPECT_EQ(vexa_sim_open_descriptors(), 2);
    EXPECT_FALSE(link.Write("*IDN?").Failed());
    bus::Status status;
    // 10 bytes arrive; the last is taken for the terminator.
    EXPECT_EQ(link.ReadAnswer(10, &status), "VEXA Simu");
    EXPECT_EQ(status.ibcntl, 10);
    link.Write("CALL:CELL:BAND?");
    EXPECT_EQ(link.ReadAnswer(kCellBandAnswerSize), "EGSM");
    vexa_sim_fail_next_reads(testing::kTestSetAddress, VEXA_SIM_READ_TIMEOUT, 1);
    link.Write("CALL:CELL:BAND?");
    EXPECT_EQ(link.ReadAnswer(kCellBandAnswerSize, &status), "");
    EXPECT_TRUE(status.Failed());
    EXPECT_TRUE(TestSetDevice.CurrentLink().handle() == TestSetDevice.handle());
  }
  // The replaced descriptor is released with its last holder.
  EXPECT_EQ(vexa_sim_open_descriptors(), 1);
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress),
              ElementsAre("*IDN?", "CALL:CELL:BAND?", "CALL:CELL:BAND?"));
  EXPECT_THAT(page.Events(), IsEmpty());  // link calls are never reported
}

// "n of m" after every command; the total grows by one when the cell needs its band set.
TEST_F(ConfigureTest, ProgressCountsEveryCommandOfTheSetup) {
  struct Case {
    const char* name;
    std::array<std::uint8_t, kBandCount> bands;
    Lines totals;  // the total shown after each command
  };
  const auto repeat = [](int count, const std::string& total) { return Lines(count, total); };
  const Case cases[] = {
      {"start-up bands, cell EGSM", {1, 1, 1, 0}, repeat(22, "22")},
      {"only GSM850, cell EGSM", {0, 0, 0, 1}, Concat(repeat(2, "22"), repeat(21, "23"))},
      {"no band", {0, 0, 0, 0}, repeat(21, "21")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    page.record_progress = true;
    TestPlan source = StartupPlan();
    source.bandEnabled = c.bands;
    Configure(source, true);
    Lines expected = {"clear memo", "reset colour", kBegin};
    for (std::size_t i = 0; i < c.totals.size(); ++i)
      expected.push_back("progress " + std::to_string(i + 1) + " of " + c.totals[i]);
    expected.insert(expected.end(), {kEnd, "enable Start Test", "close window"});
    EXPECT_THAT(page.Events(), ElementsAreArray(expected));
    EXPECT_EQ(ConfigurationLog().size(), c.totals.size());
    TearDown();
    page.Clear();
  }
}

// A cancel (the window closing) ends the set-up before its next command, without the end.
TEST_F(ConfigureTest, CancelStopsBeforeTheNextCommandWithoutTheEnd) {
  std::atomic<bool> cancelled = false;
  page.on_progress = [&cancelled](int sent) {
    if (sent == 5)
      cancelled = true;
  };
  const TestPlan source = StartupPlan();
  EXPECT_FALSE(ConfigureTestSet(
      plan, [&source](TestPlan& target) { target = source; }, true, TestSetDevice, page,
      &cancelled));
  EXPECT_THAT(ConfigurationLog(),
              ElementsAre("*RST", "CALL:CELL:BAND?", "CALL:POW -65dBm",
                          "CALL:PAGing:IMSI '001011234567890'", "SETUP:TXPOWER:COUNT:SNUMBER 20"));
  EXPECT_THAT(page.Events(), ElementsAre("clear memo", "reset colour", kBegin));
  EXPECT_FALSE(TestSetDevice.InUse());

  // Cancelled before it began: nothing is opened or sent.
  SetUp();
  page.Clear();
  cancelled = true;
  EXPECT_FALSE(SendConfiguration(source, true, TestSetDevice, page, cancelled));
  EXPECT_THAT(testing::SimLog(testing::kTestSetAddress), IsEmpty());
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);
  EXPECT_THAT(page.Events(), ElementsAre("clear memo", "reset colour", kBegin));
}

// The session is in use from the start of the sending to its end: the connection cannot
// change under the set-up.
TEST_F(ConfigureTest, TheSessionIsInUseWhileTheSetupIsSent) {
  std::vector<bool> in_use;
  page.on_progress = [this, &in_use](int) { in_use.push_back(TestSetDevice.InUse()); };
  Configure(StartupPlan(), true);
  EXPECT_EQ(in_use, std::vector<bool>(22, true));
  EXPECT_FALSE(TestSetDevice.InUse());
}

// How the set-up went on the bus, for vexa-cli's exit code: the memo lines stay as they are.
TEST_F(ConfigureTest, TheResultTellsWhetherTheTestSetWasReached) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    InstrumentSession* session;
    bool opened;
    int sent;
    int failed;
  };
  // Without an answer to the cell-band query the band command follows (23 commands).
  // An address where nothing answers: the open and the clear succeed, every write fails.
  InstrumentSession silent(9, -1, AfterFailedClear::kContinue);
  const Case cases[] = {
      {"the simulator", [] {}, &TestSetDevice, true, 22, 0},
      {"no driver", [] { testing::UseDriverLibrary("/nonexistent/libvexa-no-driver.so"); },
       &TestSetDevice, false, 23, 23},
      {"failed clear", [] { vexa_sim_fail_next_clear(testing::kTestSetAddress); }, &TestSetDevice,
       false, 23, 23},
      {"cell band unread",
       [] { vexa_sim_fail_next_reads(testing::kTestSetAddress, VEXA_SIM_READ_TIMEOUT, 1); },
       &TestSetDevice, true, 23, 1},
      {"nothing at the address", [] {}, &silent, true, 23, 23},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    page.Clear();
    c.arrange();
    SetupResult result;
    result.commands_failed = 99;  // filled anew
    const TestPlan source = StartupPlan();
    EXPECT_TRUE(ConfigureTestSet(
        plan, [&source](TestPlan& target) { target = source; }, true, *c.session, page, nullptr,
        &result));
    EXPECT_EQ(result.opened, c.opened);
    EXPECT_EQ(result.commands_sent, c.sent);
    EXPECT_EQ(result.commands_failed, c.failed);
    EXPECT_EQ(result.Succeeded(), c.opened && c.failed == 0);
    testing::UseDriverLibrary(VEXA_SIM_LIBRARY);
    TearDown();
  }
}

TEST(SetupCommandsTest, FollowTheCountAndTheLossesOfThePlan) {
  TestPlan plan = StartupPlan();
  EXPECT_THAT(SetupCommandsAfterCellBand(plan),
              ElementsAreArray(CommandsAfterCellBand("8200", kStartupFrequencies, kStartupGains)));
  plan.berCount = -1;
  plan.lowBandFrequencies = {0, 0};
  EXPECT_EQ(SetupCommandsAfterCellBand(plan)[16], "SETUP:BERROR:COUNT -1");
  EXPECT_EQ(SetupCommandsAfterCellBand(plan)[18],
            "SYSTEM:CORRECTION:SFREQUENCY 0.000000 MHz, 0.000000 MHz, 1710.000000 MHz, "
            "1990.000000 MHz");
}

}  // namespace
}  // namespace vexa
