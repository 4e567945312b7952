#include "design/pll_page.h"

#include <QChart>
#include <QFontMetrics>
#include <QValueAxis>
#include <string>
#include <vector>

#include "design/value_list_binding.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/guard.h"

namespace vexa {
namespace {

// The design places: the list down the left side with "Calc" under it; the schematic and the
// chart on the right.
constexpr int kListLeft = 8;
constexpr int kListTop = 8;
constexpr int kListWidth = 200;
constexpr int kButtonHeight = 25;
constexpr int kRightLeft = 214;
constexpr int kDesignSheetWidth = 594;
constexpr int kDesignSheetHeight = 356;

}  // namespace

PllPage::PllPage(QWidget* parent) : Page("TabSheet12", parent), form_(*this) {
  BuildControls();
  BuildChart();
  ShowForm();
  ShowChart();
  connect(Button6, &QPushButton::clicked, this, [this] {
    Handle([this] {
      form_.Button6Click();
      ShowChart();
    });
  });
  Relayout(kDesignSheetWidth, kDesignSheetHeight);
}

void PllPage::BuildControls() {
  ValueListEditor1 = MakeFormWidget<ValueListEditor>(this, "ValueListEditor1", kListLeft, kListTop);
  std::vector<std::string> keys;
  for (const ValueListRow& row : form_.ValueListEditor1)
    keys.push_back(row.key);
  ValueListEditor1->SetKeys(keys, {kPllSeparatorKey});
  ValueListEditor1->setToolTip(
      QStringLiteral("Loop inputs above the separator; Calc writes the results below it"));

  Button6 = MakeFormWidget<QPushButton>(this, "Button6", kListLeft, 0);
  Button6->setText(QStringLiteral("Calc"));

  Label65 = MakeFormWidget<QLabel>(this, "Label65", kRightLeft, 4);
  Label65->setFont(SchematicFont(10));
  Label65->setTextFormat(Qt::PlainText);
}

void PllPage::FormCreate() {
  ShowLabelText(Label65, form_.Label65);
}

void PllPage::BuildChart() {
  Chart2 = new QChart;
  Chart2->setObjectName(QStringLiteral("Chart2"));
  Chart2->setAnimationOptions(QChart::NoAnimation);
  BottomAxis = new QValueAxis(Chart2);
  BottomAxis->setObjectName(QStringLiteral("BottomAxis"));
  BottomAxis->setTitleText(QString::fromStdString(form_.Chart2.bottom.title));
  Chart2->addAxis(BottomAxis, Qt::AlignBottom);
  LeftAxis = new QValueAxis(Chart2);
  LeftAxis->setObjectName(QStringLiteral("LeftAxis"));
  LeftAxis->setTitleText(QString::fromStdString(form_.Chart2.left.title));
  Chart2->addAxis(LeftAxis, Qt::AlignLeft);

  Chart2View = new DesignChartView(Chart2, QStringLiteral("pll"), this);
  Chart2View->setObjectName(QStringLiteral("Chart2View"));
  Chart2View->setRenderHint(QPainter::Antialiasing, false);
  Chart2View->SetCsvSource([this] { return form_.TransientCsv(); });
  Chart2View->SetReadoutUnits(QStringLiteral("us"), QStringLiteral("MHz"));
}

// The list and the chart take the sheet's height; the chart also its width, under the
// schematic.
void PllPage::Relayout(int sheet_width, int sheet_height) {
  const int list_height = sheet_height - kListTop - kButtonHeight - 12;
  ValueListEditor1->setGeometry(kListLeft, kListTop, kListWidth, list_height);
  Button6->setGeometry(kListLeft, kListTop + list_height + 4, kListWidth, kButtonHeight);
  // Under the schematic's nine lines, shown or not yet.
  const QSize schematic =
      QFontMetrics(Label65->font()).size(0, QString::fromStdString(form_.Label65));
  const int chart_top = Label65->y() + schematic.height() + 6;
  Chart2View->setGeometry(kRightLeft - 4, chart_top, sheet_width - kRightLeft,
                          sheet_height - chart_top - 4);
}

void PllPage::Handle(const std::function<void()>& handler) {
  GuardedFormHandler([this] { ReadInput(); }, handler, [this] { ShowForm(); });
}

void PllPage::ReadInput() {
  ReadRows(*ValueListEditor1, form_.ValueListEditor1);
}

void PllPage::ShowForm() {
  ShowRows(*ValueListEditor1, form_.ValueListEditor1);
}

void PllPage::ShowChart() {
  Chart2View->ShowModel(form_.Chart2, BottomAxis, LeftAxis);
}

void PllPage::ShowMessage(const std::string& text) {
  ShowForm();  // the box appears over what Calc has written so far
  AppDialogs().ShowMessage(QString::fromStdString(text));
}

}  // namespace vexa
