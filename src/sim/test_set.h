// The simulated GSM radio test set (bus address 14) with a phone in a call.
//
// Answers (every response message ends with "\n"; reals are NR3 such as "3.312000E+01",
// integers NR1; several answers of one compound message are joined by ';'):
//   *IDN?                               VEXA Simulator,GSM Test Set,SIM00014,A.02.02
//   CALL:CONNected[:STATe]?             1 while the call is up, 0 when dropped
//   CALL[:CELL]:BAND?                   EGSM | DCS | PCS | GSM850
//   CALL:TCHannel:BAND?                 the traffic channel's band
//   CALL:TCHannel[:ARFCn][:<band>]?     the traffic channel number
//   CALL[:CELL]:POWer[:SAMPlitude]?     the cell power, dBm
//   CALL:MS:TXLevel[:<band>]?           the phone's power control level
//   FETCh:TXPower[:ALL]?                <integrity>,<burst power dBm>
//   FETCh:PVTime[:ALL]?                 <integrity>,<mask 0 pass|1 fail>,<carrier power dBm>,
//                                       <power in dBc at each PVT time offset>...
//   FETCh:PFERror[:ALL]?                <integrity>,<RMS phase deg>,<peak phase deg>,
//                                       <frequency error Hz>
//   FETCh:ORFSpectrum[:ALL]?            <integrity>,<carrier power dBm>,<switching result dBm
//                                       at each switching offset>...,<30 kHz bandwidth power
//                                       dBm>,<modulation result dB at each modulation offset>...
//   FETCh:ORFSpectrum:LIMit[:ALL]?      per switching offset <flag>,<limit dBm>; then per
//                                       modulation offset <flag>,<relative limit dB>,
//                                       <absolute limit dBm>; flag 0 pass, 1 fail
//   CALL:MS:REPorted:RXLevel[:FULL|SUB|NEW]?    the reported RXLEV, 0..63
//   CALL:MS:REPorted:RXQuality[:FULL|SUB|NEW]?  the reported RXQUAL, 0..7
//   FETCh:BERRor[:ALL]?                 <integrity>,<bits tested>,<bit error ratio %>
//   SETup:BERRor:COUNt[:SNUMber]?       the bits per BER measurement
//   SETup:BERRor:TYPE?                  the BER measurement type (RES... or BURS...)
//   SETup:<meas>:COUNt:SNUMber?         the multi-measurement count, 1 (off) after *RST;
//                                       <meas> TXPower, PVTime, PFERror, ORFSpectrum
//   SETup:<meas>:TIMeout[:STIMe]?       the measurement time-out, s (NR3); <meas> as above
//                                       and BERRor
//   SETup:ALL:CONTinuous?               1 continuous (after *RST), 0 single-shot
//   CALL:PAGing:IMSI?                   the paging identity, quoted ("001012345678901")
//   SYSTem:CORRection:SFRequency?       the correction frequencies, Hz (NR3 list)
//   SYSTem:CORRection:SGAin?            the correction gains, dB (NR3 list; loss negative)
//   SYSTem:ERRor?                       0,"No error"
//   any other query                     -113,"Undefined header"
// Integrity is 0 for a normal result; with the call dropped the measurements answer
// integrity 1 ("no result available") and 9.91E+37 for every value.
//
// Commands that change the answers: CALL[:CELL]:BAND, CALL:TCHannel:BAND,
// CALL:TCHannel[:ARFCn][:<band>], CALL[:CELL]:POWer[:SAMPlitude|AMPLitude] (a "dBm" suffix is
// accepted), CALL:MS:TXLevel[:<band>], SETup:BERRor:COUNt[:SNUMber], SETup:PVTime:TIME[:OFFSet]
// (a list with US/MS/S suffixes), SETup:ORFSpectrum:SWITching|MODulation:FREQuency (a list with
// HZ/KHZ/MHZ suffixes), SETup:<meas>:COUNt:SNUMber, SETup:<meas>:TIMeout[:STIMe],
// SETup:BERRor:TYPE, SETup:ALL:CONTinuous[:OFF|ON] (the node or the parameter OFF|ON|0|1),
// CALL:PAGing:IMSI (a quoted string), SYSTem:CORRection:SFRequency (a list with HZ/KHZ/MHZ/GHZ
// suffixes) and SYSTem:CORRection:SGAin (a list in dB), *RST (every setting above back to its
// power-on value, the correction table emptied). Every other command is accepted and only
// logged.
//
// Cable-loss correction: the gains of the correction table apply at each frequency by linear
// interpolation between its points (the end values beyond them; pairs as far as both lists
// reach; no correction with an empty table). A gain g (negative for a loss) raises the cell
// power that leaves the test set by -g and the powers it measures by -g, so that they hold at
// the phone's antenna. The bench cable itself loses "cable_loss" dB (default 0) both ways: with a
// correction equal to it, the readings are the phone's own.
//
// The phone: the burst power follows the power control level of the traffic channel's band
// (low bands 33 - 2 (PCL - 5) dBm for PCL 5..19, high bands 30 - 2 PCL dBm for PCL 0..15, each
// level within +-0.3 dB of nominal); the reported RXLEV follows the cell power at the phone as
// floor(power + 111) clamped to 0..63 (RXLEV n covers -111 + n to -110 + n dBm); RXQUAL is 0
// down to -100 dBm and worsens by one every 3 dB below; the bit error ratio roughly doubles for
// every 2 dB below -104 dBm.
//
// Noise: with "noise" n > 0 every measured value (TX power, the PVT powers, the phase and
// frequency errors, the ORFS results, the bit error ratio) deviates by up to +-n dB (degrees,
// Hz, percentage points) from the model. The deviations come from a hash of the measurement's
// sequence number and the field, so the same run after a reset gives the same answers; the
// ORFS limit flags judge the noisy results of the last ORFS measurement. With n = 0 (the
// default) the answers are exactly the model's. *RST does not drop the call: the simulated phone
// re-establishes it at once, since nothing in the program could reconnect it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sim/scpi.h"

namespace vexa::sim {

enum class Band { kEgsm = 0, kDcs = 1, kPcs = 2, kGsm850 = 3 };

// Values of the simulated phone that tests may change (names for vexa_sim_set_value).
struct PhoneValues {
  double tx_power_offset = 0;          // "tx_power_offset", dB added to the burst power
  double frequency_error_ppm = 0.021;  // "frequency_error_ppm"
  double rms_phase_error = 1.85;       // "rms_phase_error", degrees
  double peak_phase_error = 6.4;       // "peak_phase_error", degrees
  double pvt_mask_fail = 0;            // "pvt_mask_fail", non-zero makes the mask fail
  double orfs_offset = 0;              // "orfs_offset", dB added to every ORFS result
  double rxlev_offset = 0;             // "rxlev_offset", added to the reported RXLEV
  double rxqual_offset = 0;            // "rxqual_offset", added to the reported RXQUAL
  double ber_offset = 0;               // "ber_offset", percentage points added to the BER
  double cable_loss = 0;               // "cable_loss", dB lost by the bench cable both ways
  double noise = 0;                    // "noise", largest random deviation (0: none)
};

class TestSet : public Instrument {
 public:
  TestSet() { Reset(); }

  // Everything back to power-on: settings, phone values, call connected.
  void Reset();
  void SetCallConnected(bool connected) { call_connected_ = connected; }
  bool call_connected() const { return call_connected_; }
  // Sets one of the PhoneValues by name; false for an unknown name.
  bool SetValue(const std::string& name, double value);

  std::optional<std::string> Handle(const Unit& unit, double& acquisition_seconds) override;

  // The burst power of the current traffic channel band and level at the phone, dBm.
  double BurstPower() const;
  // The burst power as the test set measures it: through the cable and corrected, dBm.
  double MeasuredBurstPower() const;
  // The cell power that reaches the phone, dBm.
  double CellPowerAtPhone() const;

 private:
  struct Settings {
    Band cell_band = Band::kEgsm;
    Band tch_band = Band::kEgsm;
    std::array<int, 4> channel = {62, 698, 661, 190};
    std::array<int, 4> level = {5, 0, 0, 5};
    double cell_power = -85.0;
    long ber_bits = 10000;
    std::string ber_type = "RESTYPEII";
    // Multi-measurement counts and time-outs by measurement (kMeasurementNames order).
    std::array<long, 5> measurement_count = {1, 1, 1, 1, 1};
    std::array<double, 5> measurement_timeout_s = {10, 10, 10, 10, 10};
    bool continuous = true;
    std::string paging_imsi = "001012345678901";
    std::vector<double> correction_hz;
    std::vector<double> correction_db;
    std::vector<double> pvt_offsets_us;
    std::vector<double> switching_khz;
    std::vector<double> modulation_khz;
  };

  void ResetSettings();
  std::optional<std::string> HandleCommand(const Unit& unit);
  std::optional<std::string> SetupQuery(const Unit& unit) const;
  bool HandleSetupCommand(const Unit& unit);
  // The correction gain at `mhz`, dB.
  double CorrectionGain(double mhz) const;
  std::string TxPowerAnswer() const;
  std::string PvtAnswer() const;
  std::string PferAnswer() const;
  std::string OrfsAnswer() const;
  std::string OrfsLimitAnswer() const;
  std::string BerAnswer() const;
  int ReportedRxLevel() const;
  int ReportedRxQuality() const;
  // The deviation of field `field` of the current measurement of `kind`, within +-noise.
  double Noise(int kind, int field) const;
  // `value` plus that deviation; exactly `value` without noise.
  double WithNoise(double value, int kind, int field) const;

  Settings settings_;
  PhoneValues phone_;
  bool call_connected_ = true;
  // Measurements answered so far, by kind (TX power, PVT, PFER, ORFS, BER): the noise seed.
  std::array<unsigned long, 5> measurement_sequence_{};
};

}  // namespace vexa::sim
