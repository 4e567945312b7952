// The simulated phone's signal as the simulated test set measures it, and the GSM limits it
// checks those measurements against: channel frequencies, the burst's shape, the switching and
// modulation spectrum. Plain functions of the band, channel, level, time and offset.
#pragma once

#include <utility>
#include <vector>

#include "sim/test_set.h"

namespace vexa::sim {

bool IsLowBand(Band band);

// Piecewise-linear interpolation in a table of (x, y) sorted by x, clamped at both ends.
double Interpolate(const std::vector<std::pair<double, double>>& table, double x);

// Burst shape relative to the useful part, dBc, by time from bit 0 in microseconds.
extern const std::vector<std::pair<double, double>> kBurstShape;
// Switching transients below the carrier, dB, by offset in kHz.
extern const std::vector<std::pair<double, double>> kSwitchingBelowCarrier;
// Modulation spectrum relative to the 30 kHz bandwidth power, dB, by offset in kHz.
extern const std::vector<std::pair<double, double>> kModulationShape;

// The limits at an offset from the carrier, dB (dBm for the absolute one).
double SwitchingLimit(Band band, double offset_khz);
double ModulationRelativeLimit(double offset_khz);
double ModulationAbsoluteLimit(Band band, double offset_khz);

// The simulated phone's fixed output power error at a power control level, dB.
double PowerDeviation(int level);

// The uplink (phone to test set) and downlink frequencies of a channel, MHz.
double UplinkMhz(Band band, int channel);
double DownlinkMhz(Band band, int channel);

}  // namespace vexa::sim
