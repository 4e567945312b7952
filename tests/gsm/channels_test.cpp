#include "gsm/channels.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/errors.h"

namespace vexa {
namespace {

struct FrequencyCase {
  GsmBand band;
  int n;
  const char* receive;
  const char* transmit;
};

TEST(ChannelToFrequency, BandEdgesAndDefaultsPrintAsThePageShowsThem) {
  const FrequencyCase cases[] = {
      {GsmBand::EGSM, 0, "MS Rx  935  MHz", "MS Tx  890  MHz"},
      {GsmBand::EGSM, 62, "MS Rx  947.4  MHz", "MS Tx  902.4  MHz"},
      {GsmBand::EGSM, 124, "MS Rx  959.8  MHz", "MS Tx  914.8  MHz"},
      {GsmBand::EGSM, 975, "MS Rx  925.2  MHz", "MS Tx  880.2  MHz"},
      {GsmBand::EGSM, 1023, "MS Rx  934.8  MHz", "MS Tx  889.8  MHz"},
      {GsmBand::DCS, 512, "MS Rx  1805.2  MHz", "MS Tx  1710.2  MHz"},
      {GsmBand::DCS, 699, "MS Rx  1842.6  MHz", "MS Tx  1747.6  MHz"},
      {GsmBand::DCS, 885, "MS Rx  1879.8  MHz", "MS Tx  1784.8  MHz"},
      {GsmBand::PCS, 512, "MS Rx  1930.2  MHz", "MS Tx  1850.2  MHz"},
      {GsmBand::PCS, 661, "MS Rx  1960  MHz", "MS Tx  1880  MHz"},
      {GsmBand::PCS, 810, "MS Rx  1989.8  MHz", "MS Tx  1909.8  MHz"},
      {GsmBand::GSM850, 128, "MS Rx  869.2  MHz", "MS Tx  824.2  MHz"},
      {GsmBand::GSM850, 190, "MS Rx  881.6  MHz", "MS Tx  836.6  MHz"},
      {GsmBand::GSM850, 251, "MS Rx  893.8  MHz", "MS Tx  848.8  MHz"},
  };
  for (const FrequencyCase& c : cases) {
    const Frequencies f = ChannelToFrequency(c.band, c.n);
    EXPECT_EQ(ReceiveLabelText(f.receive), c.receive) << c.n;
    EXPECT_EQ(TransmitLabelText(f.transmit), c.transmit) << c.n;
  }
}

TEST(IsValidChannel, InclusiveRangesAndTheEgsmGap) {
  const std::tuple<GsmBand, int, bool> cases[] = {
      {GsmBand::EGSM, -1, false},   {GsmBand::EGSM, 0, true},     {GsmBand::EGSM, 124, true},
      {GsmBand::EGSM, 125, false},  {GsmBand::EGSM, 974, false},  {GsmBand::EGSM, 975, true},
      {GsmBand::EGSM, 1023, true},  {GsmBand::EGSM, 1024, false}, {GsmBand::DCS, 511, false},
      {GsmBand::DCS, 512, true},    {GsmBand::DCS, 885, true},    {GsmBand::DCS, 886, false},
      {GsmBand::PCS, 810, true},    {GsmBand::PCS, 811, false},   {GsmBand::GSM850, 127, false},
      {GsmBand::GSM850, 128, true}, {GsmBand::GSM850, 251, true}, {GsmBand::GSM850, 252, false}};
  for (const auto& [band, n, valid] : cases) {
    EXPECT_EQ(IsValidChannel(band, n), valid) << Traits(band).display_name << ' ' << n;
  }
}

TEST(ScrollMapping, EgsmFoldsTheUpperRangeFirst) {
  const std::pair<int, int> positions[] = {{0, 975}, {48, 1023}, {49, 0}, {111, 62}, {173, 124}};
  for (const auto& [position, channel] : positions) {
    EXPECT_EQ(ScrollPositionToChannel(GsmBand::EGSM, position), channel);
    EXPECT_EQ(ChannelToScrollPosition(GsmBand::EGSM, channel), position);
  }
  // Out-of-band entries map to positions the bar clamps: 1100 sits at 125 (channel 76),
  // -10 at 39 (channel 1014), 500 below the bar, 2000 above it.
  EXPECT_EQ(ChannelToScrollPosition(GsmBand::EGSM, 1100), 125);
  EXPECT_EQ(ChannelToScrollPosition(GsmBand::EGSM, -10), 39);
  EXPECT_LT(ChannelToScrollPosition(GsmBand::EGSM, 500), 0);
  EXPECT_GT(ChannelToScrollPosition(GsmBand::EGSM, 2000), 173);
  EXPECT_EQ(ChannelToScrollPosition(GsmBand::DCS, 886), 886);
  EXPECT_EQ(ScrollPositionToChannel(GsmBand::GSM850, 200), 200);
}

TEST(HarmonicsList, EgsmLowRangeEndsWithOneBlank) {
  EXPECT_EQ(HarmonicsList(GsmBand::EGSM, "062", 62),
            "Harmonics E-GSM\nChannel 062\n"
            "H2 1804.8 MHz\nH3 2707.2 MHz\nH4 3609.6 MHz\nH5 4512 MHz\nH6 5414.4 MHz\n"
            "H7 6316.8 MHz\nH8 7219.2 MHz\nH9 8121.6 MHz\nH10 9024 MHz\nH11 9926.4 MHz\n"
            "H12 10828.8 MHz\nH13 11731.2 MHz\nH14 12633.6 MHz\nH15 13536 MHz\n");
}

TEST(HarmonicsList, OtherChannelsAndBandsEndWithTwoBlanks) {
  EXPECT_EQ(HarmonicsList(GsmBand::PCS, "661", 661),
            "Harmonics PCS\nChannel 661\nH2 3760  MHz\nH3 5640  MHz\nH4 7520  MHz\n"
            "H5 9400  MHz\nH6 11280  MHz\nH7 13160  MHz\n");
  const std::string egsm_high = HarmonicsList(GsmBand::EGSM, "975", 975);
  EXPECT_TRUE(egsm_high.starts_with("Harmonics E-GSM\nChannel 975\nH2 1760.4  MHz\n"));
  EXPECT_TRUE(egsm_high.ends_with("H15 13203  MHz\n"));
  const std::string gsm850 = HarmonicsList(GsmBand::GSM850, "128", 128);
  EXPECT_TRUE(gsm850.ends_with("H16 13187.2  MHz\n"));
  EXPECT_EQ(std::count(gsm850.begin(), gsm850.end(), '\n'), 2 + 15);
  const std::string dcs = HarmonicsList(GsmBand::DCS, "699", 699);
  EXPECT_TRUE(dcs.ends_with("H7 12233.2  MHz\nH8 13980.8  MHz\n"));
}

TEST(HarmonicsFromText, MatchesTheUpdateForValidChannels) {
  for (const auto& [band, n] :
       {std::pair{GsmBand::EGSM, 62}, std::pair{GsmBand::EGSM, 1000}, std::pair{GsmBand::DCS, 699},
        std::pair{GsmBand::PCS, 512}, std::pair{GsmBand::GSM850, 251}}) {
    std::string list;
    AppendHarmonicsFromText(band, std::to_string(n), list);
    EXPECT_EQ(list, HarmonicsList(band, std::to_string(n), n));
  }
}

TEST(HarmonicsFromText, NoRangeCheckAndFractionsOutsideEgsm) {
  std::string egsm;
  AppendHarmonicsFromText(GsmBand::EGSM, "500", egsm);  // (500 - 1024) * 0.2 + 890 = 785.2
  EXPECT_TRUE(egsm.starts_with("Harmonics E-GSM\nChannel 500\nH2 1570.4  MHz\n")) << egsm;
  EXPECT_TRUE(egsm.ends_with("H15 11778  MHz\n"));
  std::string dcs;
  AppendHarmonicsFromText(GsmBand::DCS, "512.5", dcs);  // 1710.3 MHz
  EXPECT_TRUE(dcs.starts_with("Harmonics DCS\nChannel 512.5\nH2 3420.6  MHz\n")) << dcs;
}

TEST(HarmonicsFromText, ConversionErrorKeepsHeaderAndChannelLine) {
  const std::tuple<GsmBand, const char*, const char*> cases[] = {
      {GsmBand::GSM850, "", "'' is not a valid floating point value"},
      {GsmBand::DCS, "abc", "'abc' is not a valid floating point value"},
      {GsmBand::EGSM, "1.5", "'1.5' is not a valid integer value"},
  };
  for (const auto& [band, text, message] : cases) {
    std::string list;
    try {
      AppendHarmonicsFromText(band, text, list);
      ADD_FAILURE() << "accepted " << text;
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.what(), std::string(message));
    }
    EXPECT_EQ(list,
              std::string("Harmonics ") + Traits(band).display_name + "\nChannel " + text + "\n");
  }
}

TEST(ParseBandName, ShortAndShownNamesInAnyCase) {
  const std::pair<const char*, GsmBand> accepted[] = {
      {"EGSM", GsmBand::EGSM},    {"egsm", GsmBand::EGSM}, {"E-GSM", GsmBand::EGSM},
      {"e-gsm", GsmBand::EGSM},   {"DCS", GsmBand::DCS},   {"pcs", GsmBand::PCS},
      {"Gsm850", GsmBand::GSM850}};
  for (const auto& [name, expected] : accepted) {
    GsmBand band = expected == GsmBand::DCS ? GsmBand::PCS : GsmBand::DCS;
    ASSERT_TRUE(ParseBandName(name, band)) << name;
    EXPECT_EQ(band, expected) << name;
  }
  for (const char* refused : {"", "GSM", "E GSM", "egsm ", "1800", "GSM-850"}) {
    GsmBand band{};
    EXPECT_FALSE(ParseBandName(refused, band)) << refused;
  }
}

TEST(HarmonicsList, AHugeTransmitFrequencyEndsTheListWithAnOverflow) {
  // The transmit frequency of 1.7e308 is about 3.4e307 MHz: H2 to H5 are still doubles, H6
  // is beyond the double range and ends the list, keeping the lines before it.
  struct Case {
    GsmBand band;
    const char* text;
    int lines_before;  // harmonic lines written before the overflow
  };
  const Case cases[] = {{GsmBand::DCS, "1.7e308", 4},
                        {GsmBand::PCS, "-1.7e308", 4},  // towards minus infinity too
                        {GsmBand::GSM850, "1.79e308", 4},
                        {GsmBand::DCS, "8.9e308", -1}};  // beyond the double: conversion error
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string list;
    try {
      AppendHarmonicsFromText(c.band, c.text, list);
      ADD_FAILURE() << "completed: " << list;
    } catch (const FloatError& error) {
      EXPECT_STREQ(error.what(), "Floating point overflow");
      EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 2 + c.lines_before) << list;
      EXPECT_EQ(list.find("INF"), std::string::npos) << list;
    } catch (const ConversionError&) {
      EXPECT_EQ(c.lines_before, -1);
    }
  }
}

}  // namespace
}  // namespace vexa
