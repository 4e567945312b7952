// The test plan: what the GSM test run measures, captured from the test-plan
// window by the configuration and read by the run. Plain data, no Qt.
#pragma once

#include <array>
#include <cstdint>

namespace vexa {

// Band index and name as plan files, test-set commands and logs use them.
inline constexpr int kBandCount = 4;  // 0 EGSM, 1 DCS, 2 PCS, 3 GSM850
inline constexpr std::array<const char*, kBandCount> kPlanBandNames = {"EGSM", "DCS", "PCS",
                                                                       "GSM850"};
// EGSM and GSM850 are the low bands (power control levels 5 to 19), DCS and PCS the high
// bands (levels 0 to 15).
inline constexpr bool IsLowBand(int band) {
  return band == 0 || band == 3;
}

// The test items in the order of the window's item list.
inline constexpr int kTestItemCount = 7;
inline constexpr std::array<const char*, kTestItemCount> kTestItemNames = {
    "TXPower", "PVTime", "PFERror", "ORFSpectrum", "RXLEV", "RXQUAL", "BERRor"};

// Fixed-size lists end with -1; entries after it are never read.
inline constexpr int kEndOfList = -1;
inline constexpr int kChannelListSize = 400;
inline constexpr int kLevelListSize = 20;

struct TestPlan {
  std::array<std::uint8_t, kBandCount> bandEnabled{};
  std::array<std::uint8_t, kBandCount> scanMode{};
  std::array<std::array<std::int32_t, kChannelListSize>, kBandCount> channels{};
  std::array<std::array<std::int32_t, kLevelListSize>, kBandCount> levels{};
  std::array<std::uint8_t, kTestItemCount> itemEnabled{};
  float berReferenceLevel = 0;
  std::int32_t berCount = 0;
  std::uint8_t antennaMode = 0;
  std::int32_t antennaStep = 0;
  std::int32_t antennaAngle = 0;
  std::array<float, 2> lowBandFrequencies{};
  std::array<float, 2> lowBandLosses{};
  std::array<float, 2> highBandFrequencies{};
  std::array<float, 2> highBandLosses{};
};

}  // namespace vexa
