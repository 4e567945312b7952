// What the RX page's "Chart..." window shows, without Qt: for each stage, the gain and the
// noise figure of the line-up from the input up to and including that stage, at the page's
// system parameters, as two bar charts one above the other. The window draws it with Qt
// Charts; `vexa-cli rx --chart-csv` writes the same bars.
#pragma once

#include <string>
#include <vector>

#include "design/chart_model.h"
#include "design/rx_form.h"

namespace vexa {

// A colour value as the forms store it: red in the low byte, then green, then blue.
inline constexpr unsigned kRxGainBarColor = 70 | 130 << 8 | 200 << 16;
inline constexpr unsigned kRxNfBarColor = 210 | 120 << 8 | 40 << 16;

extern const char* const kRxGainChartTitle;  // "Gain from the input up to each stage (dB)"
extern const char* const kRxNfChartTitle;    // "Noise figure from the input up to each stage (dB)"
// Added to the gain chart's title when there are no bars.
extern const char* const kRxNoBarsNote;  // " (no bars: the line-up cannot be analysed, ...)"
// The header line of RxChartCsv.
extern const char* const kRxChartCsvHeader;  // "stage,name,gain_db,nf_db"

// One of the two charts: its title, one bar per stage (empty when the line-up cannot be
// analysed), and the value axis' range, from the lowest bar (0 at most) to a tenth of the span
// plus 1 dB above the highest (0 at least).
struct RxBarChart {
  std::string title;
  std::string set_name;  // "Gain dB" or "NF dB"
  unsigned color = 0;
  std::vector<double> bars;
  ChartAxis values;  // set by hand, not automatic; no title
};

struct RxChart {
  // Whether every stage's inputs and every parameter are numbers and every part of the line-up
  // from the input on could be analysed; otherwise there are no bars and no categories.
  bool complete = false;
  // "N NAME" for stage N, in order: the bars' categories.
  std::vector<std::string> categories;
  std::vector<int> stages;  // the stage numbers, for the CSV
  std::vector<std::string> names;
  RxBarChart gain;
  RxBarChart nf;
};

// The chart of `form`'s line-up as the page shows it (its cells and parameters as typed; the
// analysis need not have run). The part up to stage N is analysed as AnalyzeCascade does.
RxChart MakeRxChart(const RxForm& form);

// The bars as CSV: kRxChartCsvHeader, then one row per stage "N,NAME,GAIN,NF" (numbers as
// CsvNumber writes them, the name quoted as RFC 4180 says when it must be), LF line ends. A
// chart without bars is the header alone.
std::string RxChartCsv(const RxChart& chart);

}  // namespace vexa
