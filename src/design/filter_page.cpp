#include "design/filter_page.h"

#include <QChart>
#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLogValueAxis>
#include <QSignalBlocker>
#include <QValueAxis>

#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/guard.h"

namespace vexa {
namespace {

constexpr int kEditHeight = 21;

void ShowCaption(LabeledEdit* edit, const std::string& caption) {
  ShowLabelText(edit->EditLabel(), caption);
}

}  // namespace

FilterPage::FilterPage(QWidget* parent) : Page("TabSheet9", parent), form_(*this) {
  BuildControls();
  BuildChart();
  fields_.Bind(this, kFilterFields);
  ShowForm();
  ShowChart();
  Connect();
}

// The family and the tolerance scheme down the left side, then the options, "Calc" and the
// order; the axis fields under the chart.
void FilterPage::BuildControls() {
  ComboBox6 = MakeFormWidget<QComboBox>(this, "ComboBox6", 8, 8);
  ComboBox6->setEditable(true);
  ComboBox6->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& item : FilterForm::FamilyItems())
    ComboBox6->addItem(QString::fromStdString(item));
  ComboBox6->resize(100, kEditHeight);

  LabeledEdit1 = MakeLabeledEdit(this, "LabeledEdit1",
                                 QString::fromStdString(form_.LabeledEdit1Caption), 8, 50, 100);
  LabeledEdit2 = MakeLabeledEdit(this, "LabeledEdit2",
                                 QString::fromStdString(form_.LabeledEdit2Caption), 8, 90, 100);
  LabeledEdit3 = MakeLabeledEdit(this, "LabeledEdit3",
                                 QString::fromStdString(form_.LabeledEdit3Caption), 8, 130, 100);
  LabeledEdit4 = MakeLabeledEdit(this, "LabeledEdit4",
                                 QString::fromStdString(form_.LabeledEdit4Caption), 8, 170, 100);

  RadioButton5 = MakeFormWidget<QRadioButton>(this, "RadioButton5", 8, 198);
  RadioButton5->setText(QStringLiteral("ap preferred"));
  RadioButton5->adjustSize();
  RadioButton6 = MakeFormWidget<QRadioButton>(this, "RadioButton6", 8, 218);
  RadioButton6->setText(QStringLiteral("as preferred"));
  RadioButton6->adjustSize();
  CheckBox1 = MakeFormWidget<QCheckBox>(this, "CheckBox1", 8, 238);
  CheckBox1->setText(QStringLiteral("show pass band "));
  CheckBox1->adjustSize();

  Button4 = MakeFormWidget<QPushButton>(this, "Button4", 8, 262);
  Button4->setText(QStringLiteral("Calc"));
  Button4->resize(100, 25);
  LabeledEdit5 = MakeLabeledEdit(this, "LabeledEdit5", QStringLiteral("N"), 8, 310, 100);

  LabeledEdit6 = MakeLabeledEdit(this, "LabeledEdit6", QStringLiteral("Min X MHz"), 120, 330, 100);
  LabeledEdit7 = MakeLabeledEdit(this, "LabeledEdit7", QStringLiteral("Max X MHz"), 236, 330, 100);
  LabeledEdit8 = MakeLabeledEdit(this, "LabeledEdit8", QStringLiteral("Min Y dB"), 352, 330, 100);
  LabeledEdit9 = MakeLabeledEdit(this, "LabeledEdit9", QStringLiteral("Max Y dB"), 468, 330, 100);

  const auto tip = [](QWidget* widget, const char* text) {
    widget->setToolTip(QString::fromUtf8(text));
  };
  tip(ComboBox6, "Filter family");
  tip(LabeledEdit1,
      "Butterworth, Chebyshev: pass-band edge fp, MHz. Bessel: start of the "
      "drawn range, MHz");
  tip(LabeledEdit2, "Butterworth, Chebyshev: stop-band edge fs, MHz. Bessel: stop frequency, MHz");
  tip(LabeledEdit3,
      "Butterworth, Chebyshev: pass-band attenuation ap, dB. Bessel: delay "
      "tolerance, %");
  tip(LabeledEdit4, "Butterworth, Chebyshev: stop-band attenuation as, dB. Bessel: delay T0, µs");
  tip(RadioButton5, "Draw the response through ap at fp");
  tip(RadioButton6, "Draw the response through as at fs");
  tip(CheckBox1, "Draw only the pass band, up to fp");
  tip(LabeledEdit5, "Minimum order N");
  for (LabeledEdit* edit : {LabeledEdit6, LabeledEdit7, LabeledEdit8, LabeledEdit9})
    tip(edit, "Enter sets this axis limit by hand until the next Calc");
}

void FilterPage::BuildChart() {
  Chart1 = new QChart;
  Chart1->setObjectName(QStringLiteral("Chart1"));
  Chart1->setTitleBrush(QBrush(Qt::red));
  Chart1->setTitleFont(QFont(QStringLiteral("Arial")));
  Chart1->legend()->setVisible(form_.Chart1.legend_visible);
  Chart1->setAnimationOptions(QChart::NoAnimation);

  BottomAxis = new QLogValueAxis(Chart1);
  BottomAxis->setObjectName(QStringLiteral("BottomAxis"));
  BottomAxis->setBase(10);
  BottomAxis->setLabelFormat(QStringLiteral("%g"));
  BottomAxis->setMinorTickCount(-1);  // the 2 … 9 lines of each decade
  BottomAxis->setTitleText(QString::fromStdString(form_.Chart1.bottom.title));
  Chart1->addAxis(BottomAxis, Qt::AlignBottom);
  LeftAxis = new QValueAxis(Chart1);
  LeftAxis->setObjectName(QStringLiteral("LeftAxis"));
  LeftAxis->setTitleText(QString::fromStdString(form_.Chart1.left.title));
  Chart1->addAxis(LeftAxis, Qt::AlignLeft);

  Chart1View = new DesignChartView(Chart1, QStringLiteral("filter"), this);
  Chart1View->SetCsvSource([this] { return form_.CurveCsv(); });
  Chart1View->SetReadoutUnits(QStringLiteral("MHz"), QStringLiteral("dB"));
  Chart1View->setObjectName(QStringLiteral("Chart1View"));
  Chart1View->setRenderHint(QPainter::Antialiasing, false);
  Chart1View->setGeometry(116, 4, 482, 306);
}

void FilterPage::Connect() {
  for (LabeledEdit* edit : {LabeledEdit6, LabeledEdit7, LabeledEdit8, LabeledEdit9})
    edit->installEventFilter(this);
  connect(Button4, &QPushButton::clicked, this, [this] {
    Handle([this] {
      form_.Button4Click();
      ShowChart();
    });
  });
  // Choosing an item and editing the text both change the family.
  connect(ComboBox6, &QComboBox::currentTextChanged, this,
          [this] { Handle([this] { form_.ComboBox6Change(); }); });
}

bool FilterPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (watched == LabeledEdit6)
        Handle([this] {
          form_.LabeledEdit6KeyDown(kEnterKey);
          ShowAxisLimit(true, false);
        });
      else if (watched == LabeledEdit7)
        Handle([this] {
          form_.LabeledEdit7KeyDown(kEnterKey);
          ShowAxisLimit(true, true);
        });
      else if (watched == LabeledEdit8)
        Handle([this] {
          form_.LabeledEdit8KeyDown(kEnterKey);
          ShowAxisLimit(false, false);
        });
      else if (watched == LabeledEdit9)
        Handle([this] {
          form_.LabeledEdit9KeyDown(kEnterKey);
          ShowAxisLimit(false, true);
        });
    }
  }
  return Page::eventFilter(watched, event);
}

void FilterPage::Handle(const std::function<void()>& handler) {
  GuardedFormHandler([this] { ReadInput(); }, handler, [this] { ShowForm(); });
}

void FilterPage::ReadInput() {
  form_.ComboBox6 = ComboBox6->findText(ComboBox6->currentText(), Qt::MatchExactly);
  fields_.Read(form_);
  form_.RadioButton5 = RadioButton5->isChecked();
  form_.RadioButton6 = RadioButton6->isChecked();
  form_.CheckBox1 = CheckBox1->isChecked();
}

void FilterPage::ShowForm() {
  {
    const QSignalBlocker blocker(ComboBox6);
    if (form_.ComboBox6 >= 0 && form_.ComboBox6 < ComboBox6->count() &&
        ComboBox6->currentIndex() != form_.ComboBox6)
      ComboBox6->setCurrentIndex(form_.ComboBox6);
  }
  fields_.Show(form_);
  ShowCaption(LabeledEdit1, form_.LabeledEdit1Caption);
  ShowCaption(LabeledEdit2, form_.LabeledEdit2Caption);
  ShowCaption(LabeledEdit3, form_.LabeledEdit3Caption);
  ShowCaption(LabeledEdit4, form_.LabeledEdit4Caption);
  {
    const QSignalBlocker block5(RadioButton5);
    const QSignalBlocker block6(RadioButton6);
    const QSignalBlocker block1(CheckBox1);
    RadioButton5->setChecked(form_.RadioButton5);
    RadioButton6->setChecked(form_.RadioButton6);
    CheckBox1->setChecked(form_.CheckBox1);
  }
  for (QWidget* control : {static_cast<QWidget*>(RadioButton5), static_cast<QWidget*>(RadioButton6),
                           static_cast<QWidget*>(CheckBox1)})
    control->setEnabled(form_.ToleranceControlsEnabled);
}

void FilterPage::ShowChart() {
  Chart1View->ShowModel(form_.Chart1, BottomAxis, LeftAxis);
}

void FilterPage::ShowAxisLimit(bool bottom, bool maximum) {
  const ChartAxis& axis = bottom ? form_.Chart1.bottom : form_.Chart1.left;
  const double value = maximum ? axis.maximum : axis.minimum;
  if (bottom) {
    if (maximum)
      BottomAxis->setMax(value);
    else
      BottomAxis->setMin(value);
  } else {
    if (maximum)
      LeftAxis->setMax(value);
    else
      LeftAxis->setMin(value);
  }
}

void FilterPage::ShowMessage(const std::string& text) {
  ShowForm();  // the box appears over what the handler has written so far
  AppDialogs().ShowMessage(QString::fromStdString(text));
}

}  // namespace vexa
