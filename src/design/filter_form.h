// The FILTER page as a form model: the texts of its controls, the chart's content and its
// handlers, without Qt. The window's page mirrors these into its widgets and chart and
// forwards its events here.
//
// Handlers throw ConversionError (core/errors.h) where the page's default error handler would
// take over; what they wrote before that stays written. Refusals and the Bessel limit go
// through FormMessages.
#pragma once

#include <string>
#include <vector>

#include "core/form_fields.h"
#include "core/form_messages.h"
#include "design/chart_model.h"
#include "design/filter.h"

namespace vexa {

inline constexpr unsigned kFilterCurveColor = kChartRed;
// The first line of the curve's CSV.
inline constexpr char kFilterCsvHeader[] = "f_mhz,attenuation_db";

// Chart1 as it starts: title "LPF", a logarithmic "freq MHz" axis, an "Alpha dB" axis, no
// legend, a flat view and no series.
ChartModel StartFilterChart();

class FilterForm {
 public:
  explicit FilterForm(FormMessages& messages);

  static const std::vector<std::string>& FamilyItems();  // "Butterworth", "Chebyshev", "Bessel"

  int ComboBox6 = 1;  // selected item; -1 when the text is no item
  std::string LabeledEdit1 = "3";
  std::string LabeledEdit2 = "12";
  std::string LabeledEdit3 = "0.1";
  std::string LabeledEdit4 = "60";
  std::string LabeledEdit1Caption = "fp <= MHz";
  std::string LabeledEdit2Caption = "fs >= MHz";
  std::string LabeledEdit3Caption = "ap <= dB";
  std::string LabeledEdit4Caption = "as >= dB";
  bool RadioButton5 = true;              // "ap preferred"
  bool RadioButton6 = false;             // "as preferred"
  bool CheckBox1 = false;                // "show pass band "
  bool ToleranceControlsEnabled = true;  // RadioButton5, RadioButton6, CheckBox1
  std::string LabeledEdit5;              // N
  std::string LabeledEdit6;              // Min X MHz
  std::string LabeledEdit7;              // Max X MHz
  std::string LabeledEdit8;              // Min Y dB
  std::string LabeledEdit9;              // Max Y dB
  ChartModel Chart1 = StartFilterChart();

  // Checks one preference radio button and unchecks the other, with no handler.
  void CheckApPreferred(bool ap_preferred);

  // "Calc": the order into LabeledEdit5, the curve into Chart1, then both axes automatic. A
  // scheme with no meaningful order shows its refusal and leaves the page as it was.
  void Button4Click();
  // The curve as CSV: the header line, then its points as "x,y" rows (MHz, dB); only the
  // header before the first curve.
  std::string CurveCsv() const;

  // The family change: captions, enabled controls and the four inputs' defaults.
  void ComboBox6Change();
  // The axis fields: on Enter, automatic scaling off, then the field's value as the limit.
  void LabeledEdit6KeyDown(int key);  // bottom minimum
  void LabeledEdit7KeyDown(int key);  // bottom maximum
  void LabeledEdit8KeyDown(int key);  // left minimum
  void LabeledEdit9KeyDown(int key);  // left maximum

 private:
  void ShowCurve(const std::string& title, AttenuationCurve curve);
  // Dashed lines along the tolerance scheme: A <= ap up to fp, A >= as from fs on.
  void ShowToleranceGuides(const ToleranceScheme& scheme);
  void AxisKeyDown(int key, ChartAxis& axis, const std::string& text, bool maximum);

  FormMessages& messages_;
};

// The form's texts, in vexa-cli's printing order (it prints the family before fp, the two
// options before n and the curve after it).
inline constexpr FormField<FilterForm> kFilterFields[] = {
    {"fp", "LabeledEdit1", "\"fp <= MHz\" (Bessel: start of the drawn range, MHz)",
     &FilterForm::LabeledEdit1},
    {"fs", "LabeledEdit2", "\"fs >= MHz\" (Bessel: stop frequency, MHz)",
     &FilterForm::LabeledEdit2},
    {"ap", "LabeledEdit3", "\"ap <= dB\" (Bessel: \"Max tol. %\")", &FilterForm::LabeledEdit3},
    {"as", "LabeledEdit4", "\"as >= dB\" (Bessel: \"T0 us\")", &FilterForm::LabeledEdit4},
    {"n", "LabeledEdit5", "\"N\"", &FilterForm::LabeledEdit5, FieldUse::kKey,
     ", the order Calc writes"},
    {"min-x", "LabeledEdit6", "\"Min X MHz\"", &FilterForm::LabeledEdit6},
    {"max-x", "LabeledEdit7", "\"Max X MHz\"", &FilterForm::LabeledEdit7},
    {"min-y", "LabeledEdit8", "\"Min Y dB\"", &FilterForm::LabeledEdit8},
    {"max-y", "LabeledEdit9", "\"Max Y dB\"", &FilterForm::LabeledEdit9},
};

}  // namespace vexa
