#include "design/rx_form.h"

#include <array>
#include <cstddef>
#include <stdexcept>

#include "core/convert.h"
#include "core/number_text.h"

namespace vexa {
namespace {

// Rows 1 to 6 of the start table's seven stages.
constexpr std::array<std::array<const char*, 6>, 7> kStartStages = {{
    {"Duplexer", "3.8", "-3.8", "100", "0", "0"},
    {"LNA", "0.9", "13.8", "14.5", "0", "0"},
    {"Image Filter", "3.5", "-3.5", "100", "0", "0"},
    {"LNA", "1.7", "14.1", "9.8", "0", "0"},
    {"Mixer", "9", "13", "20", "0", "0"},
    {"IF Filter", "3.1", "-3.1", "100", "0", "0"},
    {"Amplifier", "6", "52", "12", "0", "0"},
}};

constexpr const char* kStartParameters[] = {"-50", "25", "1", "25", "10", "290"};

std::string StageHeader(int column) {
  return "Stage " + std::to_string(column);
}

const ValueListRow& Row(const std::vector<ValueListRow>& rows, const std::string& key) {
  for (const ValueListRow& row : rows) {
    if (row.key == key)
      return row;
  }
  throw std::out_of_range("no row '" + key + "' in the RX lists");
}

// A CSV field, quoted when it holds a separator, a quote, a line break or blanks at either end.
std::string CsvField(const std::string& text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote)
    return text;
  std::string field = "\"";
  for (char c : text) {
    if (c == '"')
      field += '"';
    field += c;
  }
  return field + '"';
}

void AddCsvRow(std::string& csv, const std::vector<std::string>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i)
    csv += (i ? "," : "") + CsvField(fields[i]);
  csv += "\r\n";
}

}  // namespace

const char* const kStagesCaption = "Stages";
const char* const kRxParametersKeyTitle = "System Parameters";
const char* const kRxAnalysisKeyTitle = "System Analysis";
const char* const kRxValueTitle = "Value";
const char* const kStagesRangeMessage = "stages should between 1 and 49";

const std::vector<std::string>& RxForm::RowLabels() {
  static const std::vector<std::string> labels = {"",
                                                  "Stage Name",
                                                  "NF",
                                                  "Gain",
                                                  "OIP3",
                                                  "dNF/dTemp",
                                                  "dGain/dTemp",
                                                  "Stage Analysis",
                                                  "NF(Temp corr)",
                                                  "Gain(Temp Corr)",
                                                  "Input Power",
                                                  "Output Power",
                                                  "dNF/dNF",
                                                  "dNF/dGain",
                                                  "dIP3/dIP3"};
  return labels;
}

const std::vector<std::string>& RxForm::ParameterKeys() {
  static const std::vector<std::string> keys = {"Input Power dBm",  "Analysis Temp C",
                                                "Noise BW MHz",     "Ref Temp C",
                                                "S/N for sensi dB", "Noise Source Ref K"};
  return keys;
}

const std::vector<std::string>& RxForm::AnalysisKeys() {
  static const std::vector<std::string> keys(CascadeValueKeys().begin(), CascadeValueKeys().end());
  return keys;
}

RxForm::RxForm(FormMessages& messages) : messages_(messages) {
  StringGrid1.push_back(RowLabels());
  SetColumnCount(kRxStartColumnCount);
  SetHeaders();
  for (std::size_t s = 0; s < kStartStages.size(); ++s) {
    for (std::size_t r = 0; r < kStartStages[s].size(); ++r)
      StringGrid1[s + 1][r + kRxNameRow] = kStartStages[s][r];
  }
  for (std::size_t k = 0; k < ParameterKeys().size(); ++k)
    ValueListEditor2.push_back({ParameterKeys()[k], kStartParameters[k]});
  for (const std::string& key : AnalysisKeys())
    ValueListEditor3.push_back({key, ""});
}

void RxForm::SetColumnCount(int count) {
  StringGrid1.resize(static_cast<std::size_t>(count), std::vector<std::string>(kRxRowCount));
}

void RxForm::SetHeaders() {
  for (int c = 1; c < ColumnCount(); ++c)
    StringGrid1[static_cast<std::size_t>(c)][kRxHeaderRow] = StageHeader(c);
}

const std::string& RxForm::Parameter(const std::string& key) const {
  return Row(ValueListEditor2, key).value;
}

void RxForm::SetParameter(const std::string& key, const std::string& value) {
  const_cast<ValueListRow&>(Row(ValueListEditor2, key)).value = value;
}

const std::string& RxForm::Analysis(const std::string& key) const {
  return Row(ValueListEditor3, key).value;
}

void RxForm::LabeledEdit13KeyDown(int key) {
  if (key != kEnterKey)
    return;
  const int stages = TextToInt(LabeledEdit13);
  if (stages < kRxMinStages || stages > kRxMaxStages) {
    messages_.ShowMessage(kStagesRangeMessage);
    return;
  }
  SetColumnCount(stages + 1);
  SetHeaders();
}

void RxForm::BitBtn4Click() {
  // Everything is read before anything is written: a value that is not a number ends the
  // click with the previous results still standing.
  std::vector<CascadeStage> stages(static_cast<std::size_t>(StageCount()));
  for (std::size_t s = 0; s < stages.size(); ++s) {
    const std::vector<std::string>& column = StringGrid1[s + 1];
    stages[s].nf = TextToFloat(column[2]);
    stages[s].gain = TextToFloat(column[3]);
    stages[s].oip3 = TextToFloat(column[4]);
    stages[s].dnf_dtemp = TextToFloat(column[5]);
    stages[s].dgain_dtemp = TextToFloat(column[6]);
  }
  CascadeParameters parameters;
  parameters.input_power = TextToFloat(Parameter("Input Power dBm"));
  parameters.analysis_temp = TextToFloat(Parameter("Analysis Temp C"));
  parameters.noise_bw = TextToFloat(Parameter("Noise BW MHz"));
  parameters.ref_temp = TextToFloat(Parameter("Ref Temp C"));
  parameters.snr_for_sensi = TextToFloat(Parameter("S/N for sensi dB"));
  parameters.noise_source_ref = TextToFloat(Parameter("Noise Source Ref K"));

  const CascadeAnalysis analysis = AnalyzeCascade(stages, parameters);
  if (!analysis.refusal.empty()) {
    messages_.ShowMessage(analysis.refusal);
    return;
  }
  for (std::size_t s = 0; s < analysis.stages.size(); ++s) {
    const CascadeStageResult& result = analysis.stages[s];
    std::vector<std::string>& column = StringGrid1[s + 1];
    column[8] = FormatNumber(result.nf_corrected);
    column[9] = FormatNumber(result.gain_corrected);
    column[10] = FormatNumber(result.input_power);
    column[11] = FormatNumber(result.output_power);
    column[12] = FormatNumber(result.dnf_dnf);
    column[13] = FormatNumber(result.dnf_dgain);
    column[14] = FormatNumber(result.dip3_dip3);
  }
  for (std::size_t k = 0; k < analysis.system.size(); ++k)
    ValueListEditor3[k].value = FormatNumber(analysis.system[k]);
}

Lineup RxForm::CurrentLineup() const {
  Lineup lineup;
  for (int c = 1; c < ColumnCount(); ++c) {
    LineupStage stage;
    for (int r = kRxNameRow; r <= kRxLastInputRow; ++r)
      stage.cells[static_cast<std::size_t>(r - kRxNameRow)] =
          StringGrid1[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)];
    lineup.stages.push_back(stage);
  }
  for (const ValueListRow& row : ValueListEditor2)
    lineup.parameters.emplace_back(row.key, row.value);
  return lineup;
}

void RxForm::ApplyLineup(const Lineup& lineup) {
  const int count = static_cast<int>(lineup.stages.size());
  if (count < kRxMinStages || count > kRxMaxStages)
    throw std::invalid_argument("a line-up has 1 to 49 stages");
  for (const auto& [key, value] : lineup.parameters)
    Row(ValueListEditor2, key);  // throws std::out_of_range for a key the list lacks

  SetColumnCount(count + 1);
  SetHeaders();
  for (int c = 1; c <= count; ++c) {
    std::vector<std::string>& column = StringGrid1[static_cast<std::size_t>(c)];
    const LineupStage& stage = lineup.stages[static_cast<std::size_t>(c - 1)];
    for (int r = kRxNameRow; r <= kRxLastInputRow; ++r)
      column[static_cast<std::size_t>(r)] = stage.cells[static_cast<std::size_t>(r - kRxNameRow)];
    for (int r = kRxFirstResultRow; r <= kRxLastResultRow; ++r)
      column[static_cast<std::size_t>(r)].clear();
  }
  for (ValueListRow& row : ValueListEditor3)
    row.value.clear();
  LabeledEdit13 = std::to_string(count);
  for (const auto& [key, value] : lineup.parameters)
    SetParameter(key, value);
}

std::string RxForm::ResultsCsv() const {
  std::string csv;
  std::vector<std::string> header = {"Stage", "Name"};
  for (int r = kRxFirstResultRow; r <= kRxLastResultRow; ++r)
    header.push_back(RowLabels()[static_cast<std::size_t>(r)]);
  AddCsvRow(csv, header);
  for (int c = 1; c < ColumnCount(); ++c) {
    const std::vector<std::string>& column = StringGrid1[static_cast<std::size_t>(c)];
    std::vector<std::string> fields = {std::to_string(c), column[kRxNameRow]};
    for (int r = kRxFirstResultRow; r <= kRxLastResultRow; ++r)
      fields.push_back(column[static_cast<std::size_t>(r)]);
    AddCsvRow(csv, fields);
  }
  csv += "\r\n";
  AddCsvRow(csv, {kRxAnalysisKeyTitle, kRxValueTitle});
  for (const ValueListRow& row : ValueListEditor3)
    AddCsvRow(csv, {row.key, row.value});
  return csv;
}

}  // namespace vexa
