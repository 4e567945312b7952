#include "sim/gsm_signal.h"

#include <algorithm>
#include <cmath>

namespace vexa::sim {
namespace {

// Limits of the table row at or below |offset|.
double StepLimit(const std::vector<std::pair<double, double>>& table, double offset_khz) {
  double limit = table.front().second;
  for (const auto& [khz, value] : table) {
    if (std::fabs(offset_khz) >= khz)
      limit = value;
  }
  return limit;
}

}  // namespace

bool IsLowBand(Band band) {
  return band == Band::kEgsm || band == Band::kGsm850;
}

double Interpolate(const std::vector<std::pair<double, double>>& table, double x) {
  if (x <= table.front().first)
    return table.front().second;
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (x <= table[i].first) {
      const auto [x0, y0] = table[i - 1];
      const auto [x1, y1] = table[i];
      return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
    }
  }
  return table.back().second;
}

const std::vector<std::pair<double, double>> kBurstShape = {
    {-40.0, -70.0}, {-28.0, -68.4}, {-18.0, -47.9}, {-10.0, -7.1},  {0.0, 0.06},
    {542.8, -0.09}, {552.8, -8.8},  {560.8, -44.6}, {570.8, -67.2}, {590.0, -70.0}};
const std::vector<std::pair<double, double>> kSwitchingBelowCarrier = {
    {400, -58.3}, {600, -63.9}, {1200, -69.6}, {1800, -72.4}};
const std::vector<std::pair<double, double>> kModulationShape = {
    {100, -4.6}, {200, -34.2}, {250, -37.8}, {400, -66.1}, {600, -69.8}, {1800, -72.9}};

double SwitchingLimit(Band band, double offset_khz) {
  static const std::vector<std::pair<double, double>> low = {
      {0, -23}, {600, -26}, {1200, -32}, {1800, -36}};
  static const std::vector<std::pair<double, double>> high = {
      {0, -22}, {600, -26}, {1200, -32}, {1800, -36}};
  return StepLimit(IsLowBand(band) ? low : high, offset_khz);
}

double ModulationRelativeLimit(double offset_khz) {
  static const std::vector<std::pair<double, double>> table = {
      {0, 0.5}, {200, -30}, {250, -33}, {400, -60}, {1800, -63}};
  return StepLimit(table, offset_khz);
}

double ModulationAbsoluteLimit(Band band, double offset_khz) {
  if (std::fabs(offset_khz) < 600)
    return -36;
  return IsLowBand(band) ? -51 : -56;
}

double PowerDeviation(int level) {
  // A fixed, level-dependent error of the simulated phone, within +-0.3 dB.
  static constexpr double kDeviation[] = {0.12, -0.21, 0.08, 0.27,  -0.15, 0.05, -0.08,
                                          0.19, -0.26, 0.02, 0.14,  -0.11, 0.23, -0.04,
                                          0.09, -0.18, 0.16, -0.02, 0.25,  -0.13};
  return kDeviation[std::clamp(level, 0, 19)];
}

// The uplink (phone to test set) frequency of a channel, MHz; the downlink is `duplex` above.
double UplinkMhz(Band band, int channel) {
  switch (band) {
    case Band::kEgsm:
      return 890.0 + 0.2 * (channel <= 124 ? channel : channel - 1024);
    case Band::kDcs:
      return 1710.2 + 0.2 * (channel - 512);
    case Band::kPcs:
      return 1850.2 + 0.2 * (channel - 512);
    case Band::kGsm850:
      return 824.2 + 0.2 * (channel - 128);
  }
  return 0;
}
double DownlinkMhz(Band band, int channel) {
  static constexpr double kDuplexMhz[] = {45.0, 95.0, 80.0, 45.0};
  return UplinkMhz(band, channel) + kDuplexMhz[static_cast<int>(band)];
}

}  // namespace vexa::sim
