// The RX page as a form model: the stage table, the stage count, the system parameters and
// the system analysis, with the page's two handlers, without Qt. The window's page mirrors
// these into its widgets and forwards its events here; vexa-cli drives the same model.
//
// BitBtn4Click throws ConversionError (core/errors.h) at the first input that is not a number
// and then writes nothing. A line-up that has no finite results is refused through
// FormMessages and writes nothing either.
#pragma once

#include <string>
#include <vector>

#include "core/form_messages.h"
#include "design/cascade.h"
#include "design/lineup_csv.h"
#include "design/value_list.h"

namespace vexa {

inline constexpr int kRxRowCount = 15;
inline constexpr int kRxStartColumnCount = 8;
inline constexpr int kRxMinStages = 1;
inline constexpr int kRxMaxStages = kLineupMaxStages;  // 49
inline constexpr int kRxColumnWidth = 72;
inline constexpr int kRxRowHeight = 15;

// Rows of StringGrid1.
inline constexpr int kRxHeaderRow = 0;
inline constexpr int kRxNameRow = 1;
inline constexpr int kRxFirstInputRow = 2;  // NF, Gain, OIP3, dNF/dTemp, dGain/dTemp
inline constexpr int kRxLastInputRow = 6;
inline constexpr int kRxLabelRow = 7;        // "Stage Analysis": nothing writes it
inline constexpr int kRxFirstResultRow = 8;  // NF(Temp corr) ... dIP3/dIP3
inline constexpr int kRxLastResultRow = 14;

extern const char* const kStagesCaption;         // "Stages"
extern const char* const kRxParametersKeyTitle;  // "System Parameters"
extern const char* const kRxAnalysisKeyTitle;    // "System Analysis"
extern const char* const kRxValueTitle;          // "Value", both lists
extern const char* const kStagesRangeMessage;    // "stages should between 1 and 49"

class RxForm {
 public:
  explicit RxForm(FormMessages& messages);

  // Column 0 of the grid: "" then the fourteen row labels.
  static const std::vector<std::string>& RowLabels();
  // The keys of ValueListEditor2, in list order.
  static const std::vector<std::string>& ParameterKeys();
  // The keys of ValueListEditor3, in list order.
  static const std::vector<std::string>& AnalysisKeys();

  // Cells as [column][row], every column kRxRowCount long. Column 0 holds the row labels, row
  // 0 the headers "Stage N"; column c is stage c.
  std::vector<std::vector<std::string>> StringGrid1;
  std::string LabeledEdit13 = "7";             // "Stages"
  std::vector<ValueListRow> ValueListEditor2;  // the system parameters
  std::vector<ValueListRow> ValueListEditor3;  // the system analysis, empty values at start

  int ColumnCount() const { return static_cast<int>(StringGrid1.size()); }
  int StageCount() const { return ColumnCount() - 1; }
  // Columns beyond `count` go with their cells; new ones come with empty cells.
  void SetColumnCount(int count);

  // The value of a ValueListEditor2 row; the key must be one of ParameterKeys().
  const std::string& Parameter(const std::string& key) const;
  void SetParameter(const std::string& key, const std::string& value);
  // The value of a ValueListEditor3 row; the key must be one of AnalysisKeys().
  const std::string& Analysis(const std::string& key) const;

  // Enter in "Stages": the grid gets that many stage columns with their headers.
  void LabeledEdit13KeyDown(int key);
  // The analysis: reads every stage's inputs and the parameters, then writes rows 8 to 14 of
  // every stage and the system analysis.
  void BitBtn4Click();

  // The line-up as the page shows it: rows 1 to 6 of every stage and the parameters.
  Lineup CurrentLineup() const;
  // Shows `lineup`: the stage count in the grid and in LabeledEdit13, the headers, rows 1 to 6
  // and the parameter values; the results of the previous analysis are cleared. Before
  // changing anything, throws std::invalid_argument for a count outside 1 to 49 and
  // std::out_of_range for a parameter key the list does not have.
  void ApplyLineup(const Lineup& lineup);

  // The analysis as a CSV file a spreadsheet opens (CR LF line ends, RFC 4180 quoting):
  // "Stage,Name,NF(Temp corr),..." with one row per stage, an empty line, then
  // "System Analysis,Value" and the fourteen system values, all as the page shows them.
  std::string ResultsCsv() const;

 private:
  void SetHeaders();

  FormMessages& messages_;
};

}  // namespace vexa
