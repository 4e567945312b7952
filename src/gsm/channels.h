// GSM band and channel (ARFCN) arithmetic: frequencies, harmonics lists and the folded
// scroll-bar mapping of the channel calculator.
#pragma once

#include <string>
#include <string_view>

namespace vexa {

// Index order as used in plan files, commands and logs.
enum class GsmBand { EGSM = 0, DCS = 1, PCS = 2, GSM850 = 3 };

struct Frequencies {
  double transmit;  // mobile uplink, MHz
  double receive;   // mobile downlink, MHz
};

struct BandTraits {
  const char* display_name;   // "E-GSM", "DCS", ...
  const char* cli_name;       // "egsm", "dcs", "pcs", "gsm850"
  const char* range_message;  // "error EGSM channel", ...
  int last_harmonic;          // harmonics listed from H2 to this order
  int scroll_min;             // the channel scroll bar's range
  int scroll_max;
};

const BandTraits& Traits(GsmBand band);

// True for the band's valid channels (E-GSM 0..124 and 975..1023, DCS 512..885,
// PCS 512..810, GSM850 128..251).
bool IsValidChannel(GsmBand band, int n);

// Transmit and receive frequency of channel n. The arithmetic keeps the order
// subtract, multiply by 0.2, add the band start, then add the duplex offset; the printed
// digits depend on it.
Frequencies ChannelToFrequency(GsmBand band, int n);

// The transmit frequency for a channel value read as a floating-point number. For E-GSM
// the formula branch is chosen by the integer channel n (0..124 or not).
double TransmitFrequency(GsmBand band, double x, int egsm_n);

// "MS Rx  947.4  MHz" and "MS Tx  902.4  MHz".
std::string ReceiveLabelText(double receive);
std::string TransmitLabelText(double transmit);

// The harmonics list of a valid channel: header, "Channel <text as typed>", then
// "H<i> <frequency>  MHz" for i = 2..last order, every line ended by "\n". E-GSM channels
// 0..124 end their harmonic lines with one blank before "MHz", all others with two.
std::string HarmonicsList(GsmBand band, std::string_view channel_text, int n);

// The list that a click on a band's transmit label shows: built from the entry text
// without any range check. Lines are appended to `list` as they are made, so when the
// text does not convert (ConversionError) the header and channel line stay written.
// E-GSM reads the text as an integer first; the other bands read it as a float.
void AppendHarmonicsFromText(GsmBand band, std::string_view channel_text, std::string& list);

// Scroll-bar mapping. DCS, PCS and GSM850: the position is the channel. E-GSM folds its
// two ranges onto positions 0..173, the upper range first (0..48 = 975..1023, 49..173 = 0..124).
int ChannelToScrollPosition(GsmBand band, int n);
int ScrollPositionToChannel(GsmBand band, int position);

// Parses a band name as the command line takes it, in any case: the names the window shows
// ("E-GSM", "DCS", "PCS", "GSM850") and the short ones ("egsm", ...).
bool ParseBandName(std::string_view name, GsmBand& band);

}  // namespace vexa
