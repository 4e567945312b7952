// The "PLL" page: the loop's parameters and results in a key=value list with "Calc" under it,
// the loop filter's schematic at the top right and the lock transient's chart under it. The
// texts, the handler and the chart's content live in PllForm; this page shows them and
// forwards the click.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <functional>

#include "core/form_messages.h"
#include "design/design_chart_view.h"
#include "design/pll_form.h"
#include "ui/page.h"
#include "ui/value_list_editor.h"

class QChart;
class QValueAxis;

namespace vexa {

class PllPage : public Page, private FormMessages {
  Q_OBJECT

 public:
  explicit PllPage(QWidget* parent = nullptr);

  // Shows the loop filter's schematic (the window's creation writes it with the other
  // schematic captions).
  void FormCreate() override;

  const PllForm& Form() const { return form_; }

  ValueListEditor* ValueListEditor1;  // inputs, separator, results
  QPushButton* Button6;               // "Calc"
  QLabel* Label65;                    // the loop filter's schematic
  DesignChartView* Chart2View;        // shows Chart2
  QChart* Chart2;
  QValueAxis* BottomAxis;  // "time us"
  QValueAxis* LeftAxis;    // "freq MHz"

  void Relayout(int sheet_width, int sheet_height) override;

 private:
  void BuildControls();
  void BuildChart();

  // Runs the form's Calc under the error guard; the list shows the form's values on the way
  // out, also when Calc ends with an error.
  void Handle(const std::function<void()>& handler);
  void ReadInput();
  void ShowForm();
  void ShowChart();
  void ShowMessage(const std::string& text) override;

  PllForm form_;
};

}  // namespace vexa
