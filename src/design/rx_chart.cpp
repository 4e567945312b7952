#include "design/rx_chart.h"

#include <algorithm>

#include "core/convert.h"
#include "core/errors.h"

namespace vexa {
namespace {

// The number in a cell the analysis reads.
bool Number(const std::string& text, double& value) {
  try {
    value = TextToFloat(text);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// From the lowest bar (0 at most) to a tenth of the span plus 1 above the highest (0 at least).
ChartAxis ValueAxis(const std::vector<double>& bars) {
  double low = 0;
  double high = 0;
  for (const double bar : bars) {
    low = std::min(low, bar);
    high = std::max(high, bar);
  }
  ChartAxis axis;
  axis.automatic = false;
  axis.minimum = low;
  axis.maximum = high + (high - low) * 0.1 + 1;
  return axis;
}

// A CSV field, quoted when it holds a separator, a quote, a line break or blanks at either end.
std::string CsvField(const std::string& text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' ' ||
                                        text.front() == '\t' || text.back() == '\t'));
  if (!quote)
    return text;
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"')
      field += '"';
    field += c;
  }
  return field + '"';
}

}  // namespace

const char* const kRxGainChartTitle = "Gain from the input up to each stage (dB)";
const char* const kRxNfChartTitle = "Noise figure from the input up to each stage (dB)";
const char* const kRxNoBarsNote = " (no bars: the line-up cannot be analysed, see Analyse)";
const char* const kRxChartCsvHeader = "stage,name,gain_db,nf_db";

RxChart MakeRxChart(const RxForm& form) {
  RxChart chart;
  std::vector<CascadeStage> stages;
  bool complete = true;
  for (int column = 1; column <= form.StageCount() && complete; ++column) {
    const std::vector<std::string>& cells = form.StringGrid1[static_cast<std::size_t>(column)];
    CascadeStage stage;
    complete = Number(cells[kRxFirstInputRow], stage.nf) &&
               Number(cells[kRxFirstInputRow + 1], stage.gain) &&
               Number(cells[kRxFirstInputRow + 2], stage.oip3) &&
               Number(cells[kRxFirstInputRow + 3], stage.dnf_dtemp) &&
               Number(cells[kRxFirstInputRow + 4], stage.dgain_dtemp);
    stages.push_back(stage);
    chart.stages.push_back(column);
    chart.names.push_back(cells[kRxNameRow]);
    chart.categories.push_back(std::to_string(column) + ' ' + cells[kRxNameRow]);
  }
  CascadeParameters parameters;
  const auto& keys = RxForm::ParameterKeys();
  double* const values[] = {&parameters.input_power,   &parameters.analysis_temp,
                            &parameters.noise_bw,      &parameters.ref_temp,
                            &parameters.snr_for_sensi, &parameters.noise_source_ref};
  for (std::size_t i = 0; i < keys.size() && complete; ++i)
    complete = Number(form.Parameter(keys[i]), *values[i]);

  chart.gain.set_name = "Gain dB";
  chart.gain.color = kRxGainBarColor;
  chart.nf.set_name = "NF dB";
  chart.nf.color = kRxNfBarColor;
  for (std::size_t n = 1; n <= stages.size() && complete; ++n) {
    const CascadeAnalysis analysis =
        AnalyzeCascade(std::vector<CascadeStage>(stages.begin(), stages.begin() + n), parameters);
    if (!analysis.refusal.empty()) {
      complete = false;
      break;
    }
    chart.gain.bars.push_back(analysis.system[kCascadeGain]);
    chart.nf.bars.push_back(analysis.system[kCascadeNf]);
  }
  chart.complete = complete;
  if (!complete) {
    chart.gain.bars.clear();
    chart.nf.bars.clear();
    chart.categories.clear();
    chart.stages.clear();
    chart.names.clear();
  }
  chart.gain.title = std::string(kRxGainChartTitle) + (complete ? "" : kRxNoBarsNote);
  chart.nf.title = kRxNfChartTitle;
  chart.gain.values = ValueAxis(chart.gain.bars);
  chart.nf.values = ValueAxis(chart.nf.bars);
  return chart;
}

std::string RxChartCsv(const RxChart& chart) {
  std::string csv = std::string(kRxChartCsvHeader) + '\n';
  for (std::size_t i = 0; i < chart.gain.bars.size() && i < chart.nf.bars.size() &&
                          i < chart.stages.size() && i < chart.names.size();
       ++i) {
    csv += std::to_string(chart.stages[i]) + ',' + CsvField(chart.names[i]) + ',' +
           CsvNumber(chart.gain.bars[i]) + ',' + CsvNumber(chart.nf.bars[i]) + '\n';
  }
  return csv;
}

}  // namespace vexa
