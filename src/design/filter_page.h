// The "FILTER" page: the family, the tolerance scheme and "Calc" on the left, the attenuation
// chart on the right and the four axis-limit fields under it. The texts, handlers and the
// chart's content live in FilterForm; this page shows them and forwards the user's events.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "core/form_messages.h"
#include "design/design_chart_view.h"
#include "design/filter_form.h"
#include "ui/form_binding.h"
#include "ui/labeled_edit.h"
#include "ui/page.h"

class QChart;
class QLineSeries;
class QLogValueAxis;
class QValueAxis;

namespace vexa {

class FilterPage : public Page, private FormMessages {
  Q_OBJECT

 public:
  explicit FilterPage(QWidget* parent = nullptr);

  const FilterForm& Form() const { return form_; }

  QComboBox* ComboBox6;         // family
  LabeledEdit* LabeledEdit1;    // fp / start
  LabeledEdit* LabeledEdit2;    // fs / stop
  LabeledEdit* LabeledEdit3;    // ap / tolerance
  LabeledEdit* LabeledEdit4;    // as / T0
  QRadioButton* RadioButton5;   // "ap preferred"
  QRadioButton* RadioButton6;   // "as preferred"
  QCheckBox* CheckBox1;         // "show pass band "
  QPushButton* Button4;         // "Calc"
  LabeledEdit* LabeledEdit5;    // N
  LabeledEdit* LabeledEdit6;    // Min X MHz
  LabeledEdit* LabeledEdit7;    // Max X MHz
  LabeledEdit* LabeledEdit8;    // Min Y dB
  LabeledEdit* LabeledEdit9;    // Max Y dB
  DesignChartView* Chart1View;  // shows Chart1
  QChart* Chart1;
  QLogValueAxis* BottomAxis;  // "freq MHz"
  QValueAxis* LeftAxis;       // "Alpha dB"

 protected:
  // Enter in an axis field runs its key handler.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildChart();
  void Connect();

  // Runs one handler of the form under the error guard; the widgets show the form's texts on
  // the way out, also when the handler ends with an error.
  void Handle(const std::function<void()>& handler);
  void ReadInput();
  void ShowForm();
  // Rebuilds the chart's series from the form and scales the axes to the data.
  void ShowChart();
  // Applies a hand-set limit of one axis (the form switched its automatic scaling off).
  void ShowAxisLimit(bool bottom, bool maximum);
  void ShowMessage(const std::string& text) override;

  FilterForm form_;
  FormBinding<FilterForm> fields_;
};

}  // namespace vexa
