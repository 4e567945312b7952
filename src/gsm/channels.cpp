#include "gsm/channels.h"

#include <array>
#include <cctype>

#include "core/checked_math.h"
#include "core/convert.h"
#include "core/number_text.h"

namespace vexa {
namespace {

constexpr std::array<BandTraits, 4> kTraits{{
    {"E-GSM", "egsm", "error EGSM channel", 15, 0, 173},
    {"DCS", "dcs", "error DCS channel", 8, 512, 885},
    {"PCS", "pcs", "error PCS channel", 7, 512, 810},
    {"GSM850", "gsm850", "error GSM850 channel", 16, 128, 251},
}};

bool IsEgsmLowRange(int n) {
  return n >= 0 && n <= 124;
}

// " MHz" for E-GSM channels 0..124, "  MHz" everywhere else.
const char* HarmonicLineEnd(GsmBand band, int n) {
  return band == GsmBand::EGSM && IsEgsmLowRange(n) ? " MHz\n" : "  MHz\n";
}

void AppendHeader(GsmBand band, std::string_view channel_text, std::string& list) {
  list += "Harmonics ";
  list += Traits(band).display_name;
  list += "\nChannel ";
  list += channel_text;
  list += '\n';
}

// A transmit frequency beyond the double range (typed as a huge number) ends the list with
// "Floating point overflow" at the first harmonic that overflows.
void AppendHarmonicLine(int order, double transmit, const char* line_end, std::string& list) {
  const double frequency = Checked(transmit * order);
  list += 'H';
  list += std::to_string(order);
  list += ' ';
  list += FormatNumber(frequency);
  list += line_end;
}

}  // namespace

const BandTraits& Traits(GsmBand band) {
  return kTraits[static_cast<std::size_t>(band)];
}

bool IsValidChannel(GsmBand band, int n) {
  switch (band) {
    case GsmBand::EGSM:
      return IsEgsmLowRange(n) || (n >= 975 && n <= 1023);
    case GsmBand::DCS:
      return n >= 512 && n <= 885;
    case GsmBand::PCS:
      return n >= 512 && n <= 810;
    case GsmBand::GSM850:
      return n >= 128 && n <= 251;
  }
  return false;
}

double TransmitFrequency(GsmBand band, double x, int egsm_n) {
  switch (band) {
    case GsmBand::EGSM:
      return IsEgsmLowRange(egsm_n) ? x * 0.2 + 890 : (x - 1024) * 0.2 + 890;
    case GsmBand::DCS:
      return (x - 512) * 0.2 + 1710.2;
    case GsmBand::PCS:
      return (x - 512) * 0.2 + 1850.2;
    case GsmBand::GSM850:
      return (x - 128) * 0.2 + 824.2;
  }
  return 0.0;
}

Frequencies ChannelToFrequency(GsmBand band, int n) {
  const double transmit = TransmitFrequency(band, n, n);
  switch (band) {
    case GsmBand::EGSM:
      // Computed from the channel directly, not as transmit + 45.
      return {transmit, IsEgsmLowRange(n) ? n * 0.2 + 935 : (n - 1024) * 0.2 + 935};
    case GsmBand::DCS:
      return {transmit, transmit + 95};
    case GsmBand::PCS:
      return {transmit, transmit + 80};
    case GsmBand::GSM850:
      return {transmit, transmit + 45};
  }
  return {transmit, transmit};
}

std::string ReceiveLabelText(double receive) {
  return "MS Rx  " + FormatNumber(receive) + "  MHz";
}
std::string TransmitLabelText(double transmit) {
  return "MS Tx  " + FormatNumber(transmit) + "  MHz";
}

std::string HarmonicsList(GsmBand band, std::string_view channel_text, int n) {
  std::string list;
  AppendHeader(band, channel_text, list);
  const double transmit = ChannelToFrequency(band, n).transmit;
  const char* line_end = HarmonicLineEnd(band, n);
  for (int i = 2; i <= Traits(band).last_harmonic; ++i) {
    AppendHarmonicLine(i, transmit, line_end, list);
  }
  return list;
}

void AppendHarmonicsFromText(GsmBand band, std::string_view channel_text, std::string& list) {
  AppendHeader(band, channel_text, list);
  // E-GSM picks its formula branch from the integer value, read before anything else.
  const int n = band == GsmBand::EGSM ? TextToInt(channel_text) : 0;
  const double x = TextToFloat(channel_text);
  const double transmit = TransmitFrequency(band, x, n);
  const char* line_end = HarmonicLineEnd(band, n);
  for (int i = 2; i <= Traits(band).last_harmonic; ++i) {
    AppendHarmonicLine(i, transmit, line_end, list);
  }
}

int ChannelToScrollPosition(GsmBand band, int n) {
  if (band != GsmBand::EGSM)
    return n;
  return n <= 124 ? n + 49 : n - 975;
}

int ScrollPositionToChannel(GsmBand band, int position) {
  if (band != GsmBand::EGSM)
    return position;
  return position <= 48 ? position + 975 : position - 49;
}

bool ParseBandName(std::string_view name, GsmBand& band) {
  auto lower = [](std::string_view text) {
    std::string result;
    for (char c : text)
      result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
  };
  const std::string wanted = lower(name);
  for (std::size_t i = 0; i < kTraits.size(); ++i) {
    if (wanted == kTraits[i].cli_name || wanted == lower(kTraits[i].display_name)) {
      band = static_cast<GsmBand>(i);
      return true;
    }
  }
  return false;
}

}  // namespace vexa
