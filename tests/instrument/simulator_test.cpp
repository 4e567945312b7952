// The simulated instruments through the driver loader: answers that follow the configured
// state, the answer formats the test run relies on, and the bus behaviour of the library.
#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "instrument_test_support.h"

namespace vexa {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Lt;

class SimulatorBusTest : public testing::SimulatorTest {
 protected:
  // Sends `message` to `address` on a new descriptor; for a query returns the answer without
  // its terminator.
  std::string Ask(int address, const std::string& message) {
    const int ud = gpib::ibdev(0, address, 0, 13, 1, 0);
    EXPECT_FALSE(gpib::ibwrt(ud, message.data(), static_cast<long>(message.size())).Failed());
    if (message.empty() || message.back() != '?')
      return "";
    char buffer[2048] = {};
    const bus::Status status = gpib::ibrd(ud, buffer, sizeof buffer - 1);
    EXPECT_FALSE(status.Failed()) << message << ": ibsta 0x" << std::hex << status.ibsta << std::dec
                                  << " iberr " << status.iberr;
    EXPECT_TRUE(status.ibsta & bus::kEnd) << message;
    std::string answer(buffer, static_cast<std::size_t>(std::max(status.ibcntl, 0L)));
    if (answer.empty() || answer.back() != '\n') {
      ADD_FAILURE() << "no terminator: " << message;
      return answer;
    }
    answer.pop_back();
    return answer;
  }
  std::string AskTestSet(const std::string& message) {
    return Ask(testing::kTestSetAddress, message);
  }
};

// The numbers of an answer, read as the test run reads them (strtod, one separator each).
std::vector<double> Fields(const std::string& answer) {
  std::vector<double> fields;
  const char* p = answer.c_str();
  while (*p) {
    char* end = nullptr;
    fields.push_back(std::strtod(p, &end));
    if (end == p || !*end)
      break;
    p = end + 1;
  }
  return fields;
}

TEST_F(SimulatorBusTest, TxPowerFollowsThePowerControlLevelOfTheTrafficChannelBand) {
  struct Case {
    const char* cell_band;
    const char* tch_band;
    int level;
    double nominal_dbm;
  };
  for (const Case& c :
       {Case{"EGSM", "EGSM", 5, 33}, Case{"EGSM", "EGSM", 19, 5}, Case{"EGSM", "GSM850", 12, 19},
        Case{"EGSM", "DCS", 0, 30}, Case{"PCS", "DCS", 15, 0}, Case{"PCS", "PCS", 8, 14}}) {
    SCOPED_TRACE(std::string(c.tch_band) + " PCL " + std::to_string(c.level));
    AskTestSet(std::string("CALL:CELL:BAND ") + c.cell_band);
    AskTestSet(std::string("CALL:TCHANNEL:BAND ") + c.tch_band);
    AskTestSet("CALL:MS:TXLEVEL " + std::to_string(c.level));
    const std::vector<double> fields = Fields(AskTestSet("FETCh:TXPower?"));
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0], 0);  // integrity
    EXPECT_NEAR(fields[1], c.nominal_dbm, 0.3);
  }
  vexa_sim_set_value("tx_power_offset", -4.5);
  EXPECT_NEAR(Fields(AskTestSet("FETC:TXP?"))[1], 14 - 4.5, 0.3);
}

TEST_F(SimulatorBusTest, ReportedRxLevelFollowsTheCellPower) {
  struct Case {
    const char* power;
    int rxlev;
  };
  for (const Case& c : {Case{"-60", 51}, Case{"-102.500000dBm", 8}, Case{"-62.5dBm", 48},
                        Case{"-110.5", 0}, Case{"-120", 0}, Case{"-48", 63}, Case{"-30", 63}}) {
    SCOPED_TRACE(c.power);
    AskTestSet(std::string("CALL:POW ") + c.power);
    const std::string r = std::to_string(c.rxlev);
    EXPECT_EQ(AskTestSet("CALL:MS:REPorted:RXLevel:NEW?;NEW?;NEW?"), r + ";" + r + ";" + r);
  }
  AskTestSet("CALL:CELL:POWer -60");  // the long form sets the same power
  EXPECT_EQ(AskTestSet("call:ms:reported:rxlevel:full?"), "51");
}

TEST_F(SimulatorBusTest, ReceiverQualityWorsensTowardsSensitivity) {
  AskTestSet("SETUP:BERROR:COUNT 8200");
  AskTestSet("CALL:POW -62.5dBm");
  EXPECT_EQ(AskTestSet("CALL:MS:REP:RXQ:NEW?"), "0");
  const std::vector<double> strong = Fields(AskTestSet("FETCh:BERRor?"));
  AskTestSet("CALL:POW -102.500000dBm");
  const int reference_rxqual = std::atoi(AskTestSet("CALL:MS:REP:RXQ:NEW?").c_str());
  const std::vector<double> reference = Fields(AskTestSet("FETCh:BERRor?"));
  AskTestSet("CALL:POW -110");
  const std::vector<double> weak = Fields(AskTestSet("FETCh:BERRor?"));

  EXPECT_GE(reference_rxqual, 1);
  EXPECT_LE(reference_rxqual, 3);
  ASSERT_EQ(reference.size(), 3u);
  EXPECT_EQ(reference[0], 0);     // integrity
  EXPECT_EQ(reference[1], 8200);  // bits tested
  EXPECT_LT(strong[2], reference[2]);
  EXPECT_LT(reference[2], 2.44);
  EXPECT_LT(reference[2], weak[2]);
  vexa_sim_set_value("ber_offset", 5);
  EXPECT_GT(Fields(AskTestSet("FETCh:BERRor?"))[2], 2.44);
}

TEST_F(SimulatorBusTest, MeasurementAnswersHaveTheFieldsTheTestRunReads) {
  const std::vector<double> pvt = Fields(AskTestSet("FETCh:PVTime?"));
  const std::vector<double> pfer = Fields(AskTestSet("FETCh:PFERror?"));
  const std::vector<double> orfs = Fields(AskTestSet("FETCh:ORFSpectrum?"));
  const std::vector<double> limits = Fields(AskTestSet("FETCh:ORFSpectrum:LIMit:ALL?"));
  ASSERT_EQ(pvt.size(), 11u);  // integrity, mask, carrier power, 8 offsets
  EXPECT_EQ(pvt[1], 0);
  EXPECT_NEAR(pvt[2], 33, 0.3);
  ASSERT_EQ(pfer.size(), 4u);  // integrity, RMS, peak, frequency error
  EXPECT_LE(pfer[1], 5);
  EXPECT_LE(pfer[2], 20);
  EXPECT_LE(std::abs(pfer[3]), 90);
  ASSERT_EQ(orfs.size(), 23u);    // integrity, power, 8 switching, 30 kHz power, 12 modulation
  ASSERT_EQ(limits.size(), 52u);  // 8 x (flag, limit), 12 x (flag, limit, limit)
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(limits[2 * i], 0) << "switching " << i;
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(limits[16 + 3 * i], 0) << "modulation " << i;

  vexa_sim_set_value("pvt_mask_fail", 1);
  vexa_sim_set_value("orfs_offset", 20);
  EXPECT_EQ(Fields(AskTestSet("FETCh:PVTime?"))[1], 1);
  EXPECT_EQ(Fields(AskTestSet("FETCh:ORFSpectrum:LIMit:ALL?"))[0], 1);
}

TEST_F(SimulatorBusTest, ConfiguredOffsetListsDecideTheNumberOfResults) {
  AskTestSet("SETUP:PVTIME:TIME:OFFSET -10.0US, 0, 542.8US");
  AskTestSet("SET:ORFS:SWIT:FREQ 400KHZ,-400KHZ");
  AskTestSet("SET:ORFS:MOD:FREQ 200KHZ,-200KHZ,250KHZ");
  EXPECT_EQ(Fields(AskTestSet("FETCh:PVTime?")).size(), 6u);
  EXPECT_EQ(Fields(AskTestSet("FETCh:ORFSpectrum?")).size(), 8u);
  EXPECT_EQ(Fields(AskTestSet("FETCh:ORFSpectrum:LIMit:ALL?")).size(), 13u);
}

TEST_F(SimulatorBusTest, CallStateAndMeasurementsFollowTheCall) {
  EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "1");
  EXPECT_EQ(AskTestSet("CALL:CONNECTED:STATE?"), "1");
  vexa_sim_set_call_connected(0);
  EXPECT_EQ(AskTestSet("CALL:CONNECTED:STATE?"), "0");
  EXPECT_EQ(AskTestSet("FETCh:TXPower?"), "1,9.910000E+37");  // no result available
  AskTestSet("*RST");                                         // does not bring the call back
  EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "0");
  vexa_sim_set_call_connected(1);
  EXPECT_EQ(Fields(AskTestSet("FETCh:TXPower?"))[0], 0);
}

TEST_F(SimulatorBusTest, CallDropsAfterTheCountedTestSetMessages) {
  vexa_sim_drop_call_after(3);
  EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "1");  // 1
  Ask(testing::kDcSourceAddress, "VOLT 3.80");    // not the test set's: not counted
  AskTestSet("CALL:POW -65dBm");                  // 2
  EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "1");  // 3: still answered with the call up
  EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "0");
  EXPECT_EQ(AskTestSet("FETCh:TXPower?"), "1,9.910000E+37");
  vexa_sim_set_call_connected(1);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "1") << i;  // the drop happened once

  vexa_sim_drop_call_after(2);
  vexa_sim_drop_call_after(0);  // cancelled
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "1") << i;

  vexa_sim_drop_call_after(1);
  vexa_sim_reset();  // cancelled too
  EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "1");
  EXPECT_EQ(AskTestSet("CALL:CONN:STAT?"), "1");
}

TEST_F(SimulatorBusTest, NoiseDeviatesReproduciblyWithinItsBoundAndIsOffByDefault) {
  const std::vector<std::string> queries = {"FETCh:TXPower?", "FETCh:PVTime?", "FETCh:PFERror?",
                                            "FETCh:ORFSpectrum?", "FETCh:BERRor?"};
  // Without noise the answers are the model's, digit for digit, whatever came before.
  const std::vector<std::string> exact = {
      "0,3.305000E+01",
      "0,0,3.305000E+01,-6.840000E+01,-4.790000E+01,-7.100000E+00,6.000000E-02,-9.000000E-02,"
      "-8.800000E+00,-4.460000E+01,-6.720000E+01",
      "0,1.850000E+00,6.400000E+00,1.884960E+01",
      "0,3.305000E+01,-2.525000E+01,-2.525000E+01,-3.085000E+01,-3.085000E+01,-3.655000E+01,"
      "-3.655000E+01,-3.935000E+01,-3.935000E+01,2.625000E+01,-4.600000E+00,-4.600000E+00,"
      "-3.420000E+01,-3.420000E+01,-3.780000E+01,-3.780000E+01,-6.610000E+01,-6.610000E+01,"
      "-6.980000E+01,-6.980000E+01,-7.290000E+01,-7.290000E+01",
      "0,10000,0.000000E+00"};
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < queries.size(); ++i)
      EXPECT_EQ(AskTestSet(queries[i]), exact[i]) << queries[i];
  }

  // Three rounds with noise 0.5, at a cell power where the BER is well above zero.
  auto noisy_rounds = [&] {
    vexa_sim_reset();
    vexa_sim_set_value("noise", 0.5);
    AskTestSet("CALL:POW -108dBm");
    std::vector<std::vector<std::vector<double>>> rounds;
    for (int round = 0; round < 3; ++round) {
      std::vector<std::vector<double>> answers;
      for (const std::string& query : queries)
        answers.push_back(Fields(AskTestSet(query)));
      rounds.push_back(answers);
    }
    return rounds;
  };
  const auto first = noisy_rounds();
  EXPECT_EQ(noisy_rounds(), first);  // the same after a reset
  std::vector<std::vector<double>> model;
  for (const std::string& answer : exact)
    model.push_back(Fields(answer));
  model[4][2] = 1.0;  // the BER at -108 dBm
  int deviating = 0;
  for (const auto& round : first) {
    for (std::size_t q = 0; q < queries.size(); ++q) {
      ASSERT_EQ(round[q].size(), model[q].size()) << queries[q];
      for (std::size_t f = 0; f < model[q].size(); ++f) {
        // Whole bit errors: the BER moves in steps of 0.01 %.
        EXPECT_NEAR(round[q][f], model[q][f], q == 4 ? 0.505 : 0.5) << queries[q] << " " << f;
        deviating += round[q][f] != model[q][f];
      }
    }
  }
  // Every measured field deviates (integrity, mask, carrier powers and bit counts do not).
  const int measured_per_round = 1 + 8 + 1 + 3 + 8 + 1 + 12 + 1;
  EXPECT_GE(deviating, 3 * measured_per_round - 2);
  EXPECT_NE(first[0], first[1]);  // each measurement draws anew

  // The limit flags judge the noisy results of the last ORFS measurement.
  vexa_sim_reset();
  vexa_sim_set_value("noise", 12);
  int flagged = 0;
  for (int round = 0; round < 5; ++round) {
    const std::vector<double> orfs = Fields(AskTestSet("FETCh:ORFSpectrum?"));
    const std::vector<double> limits = Fields(AskTestSet("FETCh:ORFSpectrum:LIMit:ALL?"));
    ASSERT_EQ(limits.size(), 52u);
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(limits[2 * i], orfs[2 + i] > limits[2 * i + 1] ? 1 : 0) << round << " " << i;
      flagged += limits[2 * i] != 0;
    }
  }
  EXPECT_GT(flagged, 0);
}

TEST_F(SimulatorBusTest, SettingsAreQueriedBackAndResetByRst) {
  AskTestSet("CALL:CELL:BAND PCS");
  AskTestSet("CALL:MS:TXLevel 7");
  EXPECT_EQ(AskTestSet("CALL:CELL:BAND?"), "PCS");
  EXPECT_EQ(AskTestSet("CALL:MS:TXL?"), "7");
  AskTestSet("*RST");
  EXPECT_EQ(AskTestSet("CALL:CELL:BAND?"), "EGSM");
  EXPECT_EQ(AskTestSet("NO:SUCH:QUERY?"), "-113,\"Undefined header\"");
}

TEST_F(SimulatorBusTest, CableLossCorrectionRaisesMeasuredAndSentPowersByTheInterpolatedLoss) {
  struct Case {
    const char* band;
    const char* channel;  // traffic channel; uplink / downlink MHz in the comment
    double uplink_loss;   // interpolated correction at the uplink, dB of loss
    const char* cell_power;
    int rxlev;  // with the correction; floor(power + 111) without it would be one less
  };
  // Table 880/960/1710/1990 MHz with -0.5/-0.6/-1.2/-1.5 dB.
  for (const Case& c : {
           Case{"EGSM", "62", 0.528, "-60.3", 51},     // 902.4 / 947.4: 0.528 / 0.584
           Case{"DCS", "698", 1.240071, "-60.5", 51},  // 1747.4 / 1842.4: 1.240 / 1.342
           Case{"GSM850", "190", 0.5, "-60.2", 51},    // 836.6 / 881.6: below the table
           Case{"PCS", "810", 1.414071, "-60.9", 51},  // 1909.8 / 1989.8: 1.414 / 1.500
       }) {
    SCOPED_TRACE(c.band);
    vexa_sim_reset();
    AskTestSet(std::string("CALL:CELL:BAND ") + c.band);
    AskTestSet(std::string("CALL:TCH ") + c.channel);
    AskTestSet(std::string("CALL:POW ") + c.cell_power);
    const double direct = Fields(AskTestSet("FETCh:TXPower?"))[1];
    EXPECT_EQ(AskTestSet("CALL:MS:REP:RXL?"), std::to_string(c.rxlev - 1));
    AskTestSet(
        "SYSTEM:CORRECTION:SFREQUENCY 880.000000 MHz, 960.000000 MHz, 1710.000000 MHz, "
        "1990.000000 MHz");
    AskTestSet("SYSTEM:CORRECTION:SGAIN -0.500000,-0.600000,-1.200000,-1.500000");
    EXPECT_NEAR(Fields(AskTestSet("FETCh:TXPower?"))[1], direct + c.uplink_loss, 1e-5);
    EXPECT_NEAR(Fields(AskTestSet("FETCh:PVTime?"))[2], Fields(AskTestSet("FETCh:TXPower?"))[1],
                1e-9);
    EXPECT_EQ(AskTestSet("CALL:MS:REP:RXL?"), std::to_string(c.rxlev));
    // A bench cable that loses as much as the correction gives the phone's own values.
    vexa_sim_set_value("cable_loss", c.uplink_loss);
    EXPECT_NEAR(Fields(AskTestSet("FETCh:TXPower?"))[1], direct, 1e-5);
  }
}

TEST_F(SimulatorBusTest, CorrectionTablesAndSetUpsAreQueriedBackAndClearedByRst) {
  struct Case {
    const char* command;
    const char* query;
    const char* after_reset;
    const char* configured;
  };
  const Case cases[] = {
      {"SYST:CORR:SFR 0.88 GHZ, 960000 KHZ, 1710E6", "SYSTem:CORRection:SFRequency?", "",
       "8.800000E+08,9.600000E+08,1.710000E+09"},
      {"SYSTEM:CORRECTION:SGAIN -0.5,-0.6,-1.2", "SYST:CORR:SGA?", "",
       "-5.000000E-01,-6.000000E-01,-1.200000E+00"},
      {"SETUP:BERROR:COUNT 8200", "SETUP:BERROR:COUNT?", "10000", "8200"},
      {"SETUP:BERROR:TYPE BURSTII", "SETup:BERRor:TYPE?", "RESTYPEII", "BURSTII"},
      {"SETUP:PFERROR:COUNT:SNUMBER 20", "SETUP:PFERROR:COUNT:SNUMBER?", "1", "20"},
      {"SETUP:PVTIME:TIMEOUT:STIME 5", "SETUP:PVT:TIM?", "1.000000E+01", "5.000000E+00"},
      {"SETUP:ALL:CONTINUOUS:OFF", "SETUP:ALL:CONTINUOUS?", "1", "0"},
      {"CALL:PAGing:IMSI '001011234567890'", "CALL:PAG:IMSI?", "\"001012345678901\"",
       "\"001011234567890\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(AskTestSet(c.query), c.after_reset);
    AskTestSet(c.command);
    EXPECT_EQ(AskTestSet(c.query), c.configured);
    AskTestSet("*RST");
    EXPECT_EQ(AskTestSet(c.query), c.after_reset);
  }
  // A list that does not read as numbers leaves the table as it was.
  AskTestSet("SYSTEM:CORRECTION:SGAIN -0.5,-0.6");
  AskTestSet("SYSTEM:CORRECTION:SGAIN -0.5,x");
  EXPECT_EQ(AskTestSet("SYSTEM:CORRECTION:SGAIN?"), "-5.000000E-01,-6.000000E-01");
}

TEST_F(SimulatorBusTest, DcSourceAnswersAfterTheAcquisitionTime) {
  using std::chrono::milliseconds;
  const int dc = testing::kDcSourceAddress;
  vexa_sim_set_value("current_spread", 0);
  EXPECT_EQ(Ask(dc, "MEAS:CURR?"), "2.345678E-01");
  vexa_sim_set_value("current", 0.5);
  Ask(dc, "SENS:SWE:TINT 1000.00E-6");
  Ask(dc, "SENS:SWE:POIN 60");  // 60 ms per reading, within the 100 ms time-out
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Ask(dc, "MEAS:CURR?"), "5.000000E-01");
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(60));
  // The answer is ready once the acquisition is over: a read with the shortest time-out
  // (code 1, 10 us) finds it at once with speed 0, and gives up before it with speed 1.
  const auto read_at_once = [dc] {
    const int ud = gpib::ibdev(0, dc, 0, 1, 1, 0);
    gpib::ibwrt(ud, "MEAS:CURR?", 10);
    char buffer[64];
    const bus::Status status = gpib::ibrd(ud, buffer, sizeof buffer);
    gpib::ibonl(ud, 0);
    return status;
  };
  EXPECT_TRUE(read_at_once().ibsta & bus::kTimo);
  vexa_sim_set_speed(0);
  const bus::Status fast = read_at_once();
  EXPECT_FALSE(fast.Failed()) << "ibsta 0x" << std::hex << fast.ibsta;
  EXPECT_TRUE(fast.ibsta & bus::kEnd);
}

TEST_F(SimulatorBusTest, DcSourceReadingsSpreadDeterministicallyAroundTheMean) {
  vexa_sim_set_speed(0);
  std::vector<double> first, again;
  for (int i = 0; i < 20; ++i)
    first.push_back(std::atof(Ask(5, "MEAS:CURR?").c_str()));
  vexa_sim_reset();
  vexa_sim_set_speed(0);
  for (int i = 0; i < 20; ++i)
    again.push_back(std::atof(Ask(5, "MEAS:CURR?").c_str()));
  EXPECT_EQ(first, again);
  std::vector<double> deviations;
  for (double reading : first)
    deviations.push_back(std::abs(reading / 0.2345678 - 1));
  EXPECT_THAT(deviations, Each(Lt(0.0501)));
  EXPECT_NE(first.front(), first.back());
}

// The phone's current by the range chosen: one-point sweeps see single samples (a transmit
// burst or the level between, the idle floor or a paging wake-up), long sweeps the mode's mean.
TEST_F(SimulatorBusTest, DcSourceReadingsFollowThePhoneModeOfTheRange) {
  vexa_sim_set_speed(0);
  const auto readings = [this](const char* range, const char* points, int count) {
    Ask(5, range);
    Ask(5, "SENS:SWE:TINT 20.00E-6");
    Ask(5, points);
    std::vector<double> values;
    for (int i = 0; i < count; ++i)
      values.push_back(std::atof(Ask(5, "MEAS:CURR?").c_str()));
    return values;
  };
  const auto count_in = [](const std::vector<double>& values, double low, double high) {
    return std::count_if(values.begin(), values.end(),
                         [&](double value) { return value >= low && value <= high; });
  };
  // Dedicated: bursts of 1.8 A in about one sample of eight, 0.2 A between (each +-5 %).
  const std::vector<double> dedicated = readings("SENS:CURR:RANG 3", "SENS:SWE:POIN 1", 400);
  const auto bursts = count_in(dedicated, 1.71, 1.89);
  EXPECT_EQ(bursts + count_in(dedicated, 0.19, 0.21), 400);
  EXPECT_GT(bursts, 30);
  EXPECT_LT(bursts, 80);
  // Averaged over 82 ms (17.7 frames): close to the duty-cycle mean of 0.4 A.
  EXPECT_THAT(readings("SENS:CURR:RANG 3", "SENS:SWE:POIN 4096", 50),
              Each(::testing::AllOf(::testing::Gt(0.34), Lt(0.46))));
  // Idle: a 5 mA floor, paging wake-ups of 150 to 300 mA (6 frames every 941.5 ms).
  const std::vector<double> idle = readings("SENS:CURR:RANG 1", "SENS:SWE:POIN 1", 3000);
  const auto floor = count_in(idle, 4.75e-3, 5.25e-3);
  const auto peaks = count_in(idle, 0.1425, 0.315);
  EXPECT_EQ(floor + peaks, 3000);
  EXPECT_GT(peaks, 10);
  EXPECT_LT(peaks, 3000 / 10);
  EXPECT_THAT(readings("SENS:CURR:RANG 1", "SENS:SWE:POIN 4096", 50),
              Each(::testing::AllOf(::testing::Ge(4.75e-3), Lt(0.1))));
  // Switched off: tens of microamperes.
  EXPECT_THAT(readings("SENS:CURR:RANG 0.02", "SENS:SWE:POIN 4096", 20),
              Each(::testing::AllOf(::testing::Gt(40e-6), Lt(50e-6))));

  // Everything repeats from a reset; a set current is a steady load whatever the range.
  vexa_sim_reset();
  vexa_sim_set_speed(0);
  EXPECT_EQ(readings("SENS:CURR:RANG 3", "SENS:SWE:POIN 1", 400), dedicated);
  vexa_sim_set_value("current", 0.125);
  vexa_sim_set_value("current_spread", 0);
  EXPECT_THAT(readings("SENS:CURR:RANG 0.02", "SENS:SWE:POIN 1", 5), Each(0.125));
  EXPECT_THAT(readings("SENS:CURR:RANG 3", "SENS:SWE:POIN 1", 5), Each(0.125));
}

// Sweeps over thousands of frames: 4096 samples 31.2 ms apart (128 s, 27,700 frames) read
// 1.8 A at the samples within a burst, 0.2 A at the others; counted here sample by sample.
TEST_F(SimulatorBusTest, DcSourceLongSweepsCountTheSamplesWithinBursts) {
  vexa_sim_set_speed(0);
  vexa_sim_set_value("current_spread", 0);
  Ask(5, "SENS:CURR:RANG 3");
  Ask(5, "SENS:SWE:TINT 31200E-6");
  Ask(5, "SENS:SWE:POIN 4096");
  const double frame = 120e-3 / 26;
  double start = 0;  // the phone's clock at the first sweep after the reset
  for (int sweep = 0; sweep < 3; ++sweep) {
    // In frames: a sample within rounding of a frame's start is taken as at its start (with
    // 31.2 ms = 6.76 frames every 25th sample of the first sweep is).
    int in_bursts = 0;
    for (int k = 0; k < 4096; ++k) {
      const double frames = (start + k * 31200e-6) / frame;
      const double within = frames - std::floor(frames);
      in_bursts += std::abs(frames - std::round(frames)) < 1e-9 || within < 1.0 / 8;
    }
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.6E", 0.2 + 1.6 * in_bursts / 4096);
    EXPECT_EQ(Ask(5, "MEAS:CURR?"), expected) << "sweep " << sweep;
    EXPECT_GT(in_bursts, 0);
    EXPECT_LT(in_bursts, 4096);
    start += 4096 * 31200e-6 + 2.5e-3;  // the sweep and the turnaround before the next
  }
}

TEST_F(SimulatorBusTest, ScriptedReadingsAnswerInOrderThenTheProfileAgain) {
  vexa_sim_set_speed(0);
  vexa_sim_set_value("current_spread", 0);
  vexa_sim_script_readings("0.5;abc;;1E3");
  std::vector<std::string> answers;
  for (int i = 0; i < 5; ++i)
    answers.push_back(Ask(5, "MEAS:CURR?"));
  EXPECT_THAT(answers, ElementsAre("0.5", "abc", "", "1E3", "2.345678E-01"));
  // A new script replaces the pending answers; NULL drops them; so does a reset.
  vexa_sim_script_readings("1;2");
  vexa_sim_script_readings("3");
  EXPECT_EQ(Ask(5, "MEAS:CURR?"), "3");
  vexa_sim_script_readings("4");
  vexa_sim_script_readings(nullptr);
  EXPECT_EQ(Ask(5, "MEAS:CURR?"), "2.345678E-01");
  vexa_sim_script_readings("5");
  vexa_sim_reset();
  vexa_sim_set_value("current_spread", 0);
  EXPECT_EQ(Ask(5, "MEAS:CURR?"), "2.345678E-01");
  // Scripted answers still take the acquisition time.
  vexa_sim_script_readings("6");
  Ask(5, "SENS:SWE:TINT 1000.00E-6;POIN 40");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Ask(5, "MEAS:CURR?"), "6");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
}

TEST_F(SimulatorBusTest, CommandLogKeepsEveryMessagePerAddressInOrder) {
  Ask(14, "CALL:POW -65dBm");
  Ask(5, "VOLT 3.80");
  Ask(14, "*IDN?");
  EXPECT_THAT(testing::SimLog(14), ElementsAre("CALL:POW -65dBm", "*IDN?"));
  EXPECT_THAT(testing::SimLog(5), ElementsAre("VOLT 3.80"));
  char cut[5];
  EXPECT_EQ(vexa_sim_log_entry(14, 0, cut, sizeof cut), 15);
  EXPECT_STREQ(cut, "CALL");
  EXPECT_EQ(vexa_sim_log_entry(14, 2, cut, sizeof cut), -1);
  // Logging off keeps what was logged and adds nothing; a reset turns it on again.
  vexa_sim_set_command_log(0);
  Ask(5, "VOLT 4.00");
  EXPECT_THAT(testing::SimLog(5), ElementsAre("VOLT 3.80"));
  vexa_sim_set_command_log(1);
  Ask(5, "VOLT 4.10");
  EXPECT_THAT(testing::SimLog(5), ElementsAre("VOLT 3.80", "VOLT 4.10"));
  vexa_sim_set_command_log(0);
  vexa_sim_reset();
  Ask(5, "VOLT 4.20");
  EXPECT_THAT(testing::SimLog(5), ElementsAre("VOLT 4.20"));
}

TEST_F(SimulatorBusTest, CommandLogKeepsTheLastMessagesWithinItsBounds) {
  // One message more than the log keeps, and then four: the oldest five are gone.
  const int dc = testing::kDcSourceAddress;
  const int ud = gpib::ibdev(0, dc, 0, 13, 1, 0);
  const int total = VEXA_SIM_LOG_MAX_ENTRIES + 5;
  for (int i = 0; i < total; ++i) {
    const std::string message = "VOLT " + std::to_string(i);
    gpib::ibwrt(ud, message.data(), static_cast<long>(message.size()));
  }
  ASSERT_EQ(vexa_sim_log_count(dc), VEXA_SIM_LOG_MAX_ENTRIES);
  const std::vector<std::string> log = testing::SimLog(dc);
  EXPECT_EQ(log.front(), "VOLT 5");
  EXPECT_EQ(log.back(), "VOLT " + std::to_string(total - 1));

  // Long messages: no more bytes than the bound, the newest kept, a message over the longest
  // entry cut to it.
  vexa_sim_reset();  // releases the descriptor too
  const int again = gpib::ibdev(0, dc, 0, 13, 1, 0);
  const std::string padding(60 * 1024, ' ');
  for (int i = 0; i < 100; ++i) {
    const std::string message = "VOLT " + std::to_string(i) + padding;
    gpib::ibwrt(again, message.data(), static_cast<long>(message.size()));
  }
  std::size_t bytes = 0;
  for (const std::string& entry : testing::SimLog(dc))
    bytes += entry.size();
  EXPECT_LE(bytes, static_cast<std::size_t>(VEXA_SIM_LOG_MAX_BYTES));
  EXPECT_GT(bytes, static_cast<std::size_t>(VEXA_SIM_LOG_MAX_BYTES) - padding.size() - 10);
  EXPECT_EQ(testing::SimLog(dc).back(), "VOLT 99" + padding);
  const std::string huge = "VOLT 1" + std::string(VEXA_SIM_LOG_MAX_ENTRY_BYTES + 100, ' ');
  gpib::ibwrt(again, huge.data(), static_cast<long>(huge.size()));
  const int last = vexa_sim_log_count(dc) - 1;
  EXPECT_EQ(vexa_sim_log_entry(dc, last, nullptr, 0), VEXA_SIM_LOG_MAX_ENTRY_BYTES);
  gpib::ibonl(again, 0);
}

TEST_F(SimulatorBusTest, LongAnswerIsReadInPiecesWithEndOnTheLast) {
  const int ud = gpib::ibdev(0, 14, 0, 13, 1, 0);
  gpib::ibwrt(ud, "*IDN?", 5);
  char piece[10];
  const bus::Status first = gpib::ibrd(ud, piece, sizeof piece);
  EXPECT_EQ(first, (bus::Status{0x0100, 0, 10}));
  char rest[100];
  const bus::Status second = gpib::ibrd(ud, rest, sizeof rest);
  EXPECT_EQ(second.ibsta, 0x2100);
  EXPECT_EQ(std::string(piece, 10) + std::string(rest, static_cast<std::size_t>(second.ibcntl)),
            "VEXA Simulator,GSM Test Set,SIM00014,A.02.02\n");
}

TEST_F(SimulatorBusTest, ReleasedDescriptorAndInvalidArgumentsFail) {
  const int ud = gpib::ibdev(0, 14, 0, 13, 1, 0);
  EXPECT_EQ(gpib::ibonl(ud, 0), (bus::Status{0x0100, 0, 0}));
  char buffer[8];
  const bus::Status released{0x8000, 0, EINVAL};
  EXPECT_EQ(gpib::ibwrt(ud, "*IDN?", 5), released);
  EXPECT_EQ(gpib::ibrd(ud, buffer, sizeof buffer), released);
  EXPECT_EQ(gpib::ibclr(ud), released);

  struct Case {
    int board, pad, sad, tmo, iberr;
  };
  for (const Case& c : {Case{1, 14, 0, 13, 7}, Case{0, 0, 0, 13, 4}, Case{0, 31, 0, 13, 4},
                        Case{0, 14, 5, 13, 4}, Case{0, 14, 0, 18, 4}}) {
    bus::Status status;
    EXPECT_EQ(gpib::ibdev(c.board, c.pad, c.sad, c.tmo, 1, 0, &status), -1);
    EXPECT_EQ(status, (bus::Status{0x8100, c.iberr, 0}));
  }
}

}  // namespace
}  // namespace vexa
