#include "sim/dc_source.h"

#include <algorithm>

namespace vexa::sim {
namespace {

constexpr const char* kIdentification =
    "VEXA Simulator,Mobile Communications DC Source,SIM00005,A.01.01";
constexpr double kMinInterval = 15.6e-6;
constexpr double kMaxInterval = 31200e-6;
constexpr long kMaxPoints = 4096;

}  // namespace

void DcSource::Reset() {
  ResetSettings();
  mean_current_ = 0.2345678;
  spread_ = 0.05;
  sequence_ = 1;
}

void DcSource::ResetSettings() {
  voltage_ = 0;
  current_range_ = 3.0;
  sample_interval_ = kMinInterval;
  points_ = 2048;
}

bool DcSource::SetValue(const std::string& name, double value) {
  if (name == "current") {
    mean_current_ = value;
  } else if (name == "current_spread") {
    spread_ = std::clamp(value, 0.0, 1.0);
  } else {
    return false;
  }
  return true;
}

double DcSource::NextReading() {
  // A fixed linear congruential sequence: deterministic, yet varied enough for a histogram.
  sequence_ = sequence_ * 1664525u + 1013904223u;
  const double unit = static_cast<double>(sequence_ >> 8) / static_cast<double>(1u << 24);
  return mean_current_ * (1.0 + spread_ * (2.0 * unit - 1.0));
}

std::optional<std::string> DcSource::Handle(const Unit& unit, double& acquisition_seconds) {
  const std::optional<double> number = ParseNumber(unit.parameters);
  if (std::optional<std::string> common = CommonQuery(unit, kIdentification))
    return common;
  if (unit.query) {
    if (Matches(unit, "[SOURce]:VOLTage[:LEVel][:IMMediate][:AMPLitude]?"))
      return Nr3(voltage_);
    if (Matches(unit, "SENSe:SWEep:TINTerval?"))
      return Nr3(sample_interval_);
    if (Matches(unit, "SENSe:SWEep:POINts?"))
      return Nr1(points_);
    if (Matches(unit, "SENSe:CURRent:RANGe[:UPPer]?"))
      return Nr3(current_range_);
    if (Matches(unit, "MEASure[:SCALar]:CURRent[:DC]?")) {
      acquisition_seconds += sample_interval_ * static_cast<double>(points_);
      return Nr3(NextReading());
    }
    if (Matches(unit, "MEASure[:SCALar]:VOLTage[:DC]?"))
      return Nr3(voltage_);
    return kUndefinedHeader;
  }
  if (Matches(unit, "*RST")) {
    ResetSettings();
  } else if (Matches(unit, "[SOURce]:VOLTage[:LEVel][:IMMediate][:AMPLitude]")) {
    if (number)
      voltage_ = std::clamp(*number, 0.0, 15.0);
  } else if (Matches(unit, "SENSe:CURRent:RANGe[:UPPer]")) {
    if (number)
      current_range_ = *number;
  } else if (Matches(unit, "SENSe:SWEep:TINTerval")) {
    if (number)
      sample_interval_ = std::clamp(*number, kMinInterval, kMaxInterval);
  } else if (Matches(unit, "SENSe:SWEep:POINts")) {
    if (number)
      points_ = static_cast<long>(std::clamp(*number, 1.0, static_cast<double>(kMaxPoints)));
  }
  return std::nullopt;
}

}  // namespace vexa::sim
