// The simulated DC source (bus address 5) that powers the phone and measures its current.
//
// Answers (each response ends with "\n"; reals as "2.345678E-01"):
//   *IDN?                                VEXA Simulator,Mobile Communications DC Source,
//                                        SIM00005,A.01.01
//   VOLTage[:LEVel][:IMMediate][:AMPLitude]?   the set voltage, V
//   SENSe:SWEep:TINTerval?               the sample interval, s
//   SENSe:SWEep:POINts?                  the number of samples
//   SENSe:CURRent:RANGe?                 the current range, A
//   MEASure[:SCALar]:CURRent[:DC]?       the phone's current, A, available after one
//                                        acquisition (interval x points, 15.6 us x 2048 after
//                                        *RST) scaled by the simulator's speed factor
//   MEASure[:SCALar]:VOLTage[:DC]?       the set voltage, V
//   SYSTem:ERRor?                        0,"No error"
//   any other query                      -113,"Undefined header"
// Settings: VOLTage..., SENSe:CURRent:RANGe, SENSe:CURRent:DETector, SENSe:SWEep:TINTerval
// (15.6E-6 .. 31200E-6 s), SENSe:SWEep:POINts (1 .. 4096), *RST. Other commands are logged only.
//
// The phone draws a mean current ("current", default 0.2345678 A) with a deterministic
// spread ("current_spread", default 0.05 = +-5 %) drawn from a fixed sequence that restarts
// at every simulator reset; a spread of 0 answers the mean exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/scpi.h"

namespace vexa::sim {

class DcSource : public Instrument {
 public:
  DcSource() { Reset(); }

  // Power-on state, including the phone's current and the reading sequence.
  void Reset();
  bool SetValue(const std::string& name, double value);

  std::optional<std::string> Handle(const Unit& unit, double& acquisition_seconds) override;

 private:
  void ResetSettings();
  double NextReading();

  double voltage_ = 0;
  double current_range_ = 3.0;
  double sample_interval_ = 15.6e-6;
  long points_ = 2048;
  double mean_current_ = 0.2345678;
  double spread_ = 0.05;
  std::uint32_t sequence_ = 1;
};

}  // namespace vexa::sim
