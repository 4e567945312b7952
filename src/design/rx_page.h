// The "RX" page: the stage table of the receiver line-up across the top; under it the stage
// count, the system parameters, the analysis button and the system analysis. The texts and
// handlers live in RxForm; this page shows them and forwards the user's events.
//
// Beyond the table: line-ups are saved and opened as CSV files, the analysis is exported as
// CSV, and "Chart..." opens a window with the cumulative gain and noise figure along the chain.
#pragma once

#include <QPushButton>
#include <functional>

#include "core/form_messages.h"
#include "design/rx_chart.h"
#include "design/rx_form.h"
#include "ui/editable_table.h"
#include "ui/labeled_edit.h"
#include "ui/page.h"
#include "ui/value_list_editor.h"

class QBarSet;
class QChart;

namespace vexa {

// The window "Chart..." opens: the gain and the noise figure from the antenna up to and
// including each stage, as bars, one chart above the other.
class RxChartWindow : public QWidget {
  Q_OBJECT

 public:
  explicit RxChartWindow(QWidget* owner);

  // Draws the cumulative values of `form`'s line-up (MakeRxChart), or says why there are none.
  void ShowLineup(const RxForm& form);
  // Draws `chart` as it is.
  void ShowChart(const RxChart& chart);

  QChart* GainChart;
  QChart* NfChart;
  QBarSet* GainSet() const;
  QBarSet* NfSet() const;
  QPushButton* SavePng;

 private:
  QWidget* charts_;
};

class RxPage : public Page, private FormMessages {
  Q_OBJECT

 public:
  explicit RxPage(QWidget* parent = nullptr);

  // Fills the stage table's start values (the window's creation runs it).
  void FormCreate() override;

  const RxForm& Form() const { return form_; }

  EditableTable* StringGrid1;
  LabeledEdit* LabeledEdit13;         // "Stages"
  ValueListEditor* ValueListEditor2;  // system parameters
  QPushButton* BitBtn4;               // the analysis, a picture button
  ValueListEditor* ValueListEditor3;  // system analysis
  QPushButton* OpenButton;            // "Open..."
  QPushButton* SaveButton;            // "Save..."
  QPushButton* ExportButton;          // "Export..."
  QPushButton* ChartButton;           // "Chart..."
  RxChartWindow* ChartWindow() const { return chart_window_; }

  // Opens a line-up file; false (with a message) when it is refused.
  bool OpenLineup(const QString& path);
  bool SaveLineup(const QString& path);
  bool ExportResults(const QString& path);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void Connect();
  // Runs one handler of the form under the error guard; the widgets show the form's texts on
  // the way out, also when the handler ends with an error.
  void Handle(const std::function<void()>& handler);
  void ReadInput();
  void ShowForm();
  void ShowMessage(const std::string& text) override;
  void ShowChartWindow();

  RxForm form_;
  RxChartWindow* chart_window_ = nullptr;
};

}  // namespace vexa
