// The simulated DC source (bus address 5) that powers the phone and measures its current.
//
// Answers (each response ends with "\n"; reals as "2.345678E-01"):
//   *IDN?                                VEXA Simulator,Mobile Communications DC Source,
//                                        SIM00005,A.01.01
//   VOLTage[:LEVel][:IMMediate][:AMPLitude]?   the set voltage, V
//   SENSe:SWEep:TINTerval?               the sample interval, s
//   SENSe:SWEep:POINts?                  the number of samples
//   SENSe:CURRent:RANGe?                 the current range, A
//   MEASure[:SCALar]:CURRent[:DC]?       the phone's current, A: the mean of one sweep (points
//                                        samples, interval apart), available after that
//                                        acquisition (15.6 us x 2048 after *RST) scaled by the
//                                        simulator's speed factor
//   MEASure[:SCALar]:VOLTage[:DC]?       the set voltage, V
//   SYSTem:ERRor?                        0,"No error"
//   any other query                      -113,"Undefined header"
// Settings: VOLTage..., SENSe:CURRent:RANGe, SENSe:CURRent:DETector, SENSe:SWEep:TINTerval
// (15.6E-6 .. 31200E-6 s), SENSe:SWEep:POINts (1 .. 4096), *RST. Other commands are logged only.
//
// What the phone draws:
//   - After power-on (a simulator reset) a steady load of "current" (default 0.2345678 A).
//   - SENSe:CURRent:RANGe puts the phone into the operating mode that range serves (the source
//     takes the smallest of its ranges 20 mA, 1 A, 3 A that holds the value):
//       3 A     dedicated mode: one transmit burst of 1.8 A per TDMA frame (577 us of
//               4.615 ms), 0.2 A between the bursts;
//       1 A     idle mode: a floor of 5 mA with a paging wake-up every 941.5 ms (four
//               51-frame multiframes) of 27.7 ms at 150 to 300 mA, the height varying from
//               one wake-up to the next;
//       20 mA   switched off: 45 uA.
//     The phone's clock runs on by the sweep and 2.5 ms between two measurements, so
//     successive readings sample different phases of the bursts and wake-ups. A sweep of one
//     point reads a single sample (a burst or the level between); a long sweep reads close to
//     the mode's mean.
//   - Setting "current" replaces the phone by a steady load of that value until the next reset,
//     whatever the range.
// Every reading deviates from its value by a deterministic spread ("current_spread", default
// 0.05 = +-5 %) drawn from a fixed sequence that restarts at every simulator reset; a spread of
// 0 answers the value exactly. Everything is deterministic from the reset on.
//
// Scripted answers (ScriptReadings) replace the next readings' texts, one each, in order; the
// acquisition time and the phone's clock are unchanged by them.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "sim/scpi.h"

namespace vexa::sim {

class DcSource : public Instrument {
 public:
  DcSource() { Reset(); }

  // Power-on state, including the phone's current, its mode, clock and the reading sequence.
  void Reset();
  bool SetValue(const std::string& name, double value);
  // The answers of the next MEASure:CURRent? queries (without terminator), separated by ';':
  // "0.5;abc;" gives "0.5", "abc" and an empty answer. Replaces answers still pending;
  // nullptr only clears them.
  void ScriptReadings(const char* answers);

  std::optional<std::string> Handle(const Unit& unit, double& acquisition_seconds) override;

  // What the phone draws.
  enum class Load { kSteady, kDedicated, kIdle, kShutdown };

 private:
  void ResetSettings();
  // The mean of the sweep starting at the phone's time `start`, without spread, A.
  double SweepMean(double start) const;
  double NextReading();

  double voltage_ = 0;
  double current_range_ = 3.0;
  double sample_interval_ = 15.6e-6;
  long points_ = 2048;
  double mean_current_ = 0.2345678;
  double spread_ = 0.05;
  std::uint32_t sequence_ = 1;
  Load load_ = Load::kSteady;
  bool fixed_load_ = false;  // "current" was set: the range does not change the load
  double phone_time_ = 0;    // seconds since the reset
  std::deque<std::string> scripted_;
};

}  // namespace vexa::sim
