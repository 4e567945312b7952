#include "matching/smith_page.h"

#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <cmath>

#include "core/form_messages.h"
#include "ui/dialogs.h"
#include "ui/file_save.h"
#include "ui/form_widgets.h"
#include "ui/guard.h"

namespace vexa {
namespace {

// The right-hand column starts beside the chart; the circuits and tools beside the bar.
constexpr int kColumn = 358;
constexpr int kInner = 378;
constexpr int kEditWidth = 110;

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, const std::string& text) {
  auto* label = MakeFormWidget<QLabel>(parent, name, left, top);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ShowLabelText(label, text);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, int left, int top, int width,
                        const QString& caption, const QString& tip) {
  auto* button = MakeFormWidget<QPushButton>(parent, name, left, top);
  button->setText(caption);
  button->setToolTip(tip);
  button->resize(width, 22);
  return button;
}

// A number for the readout: six significant digits.
QString Short(double value) {
  return QString::number(value, 'g', 6);
}

}  // namespace

SmithPage::SmithPage(QWidget* parent) : Page("TabSheet10", parent) {
  BuildControls();
  BuildTools();
  fields_.Bind(this, kSmithFields);
  ShowForm();
  Connect();
}

void SmithPage::FormCreate() {
  Image3->DrawGrid();
}

void SmithPage::BuildControls() {
  Image3 = new SmithChart(this);
  Image3->move(0, 0);

  LabeledEdit10 =
      MakeLabeledEdit(this, "LabeledEdit10", QStringLiteral("R"), kColumn, 18, kEditWidth);
  LabeledEdit11 = MakeLabeledEdit(this, "LabeledEdit11", QStringLiteral("+j X"),
                                  kColumn + kEditWidth + 10, 18, kEditWidth);
  // Fixed 233 × 33, no automatic size: the impedance shows on two lines.
  Label55 = MakeFormWidget<QLabel>(this, "Label55", kColumn, 44);
  Label55->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label55->setFixedSize(233, 33);
  Label64 = MakeLabel(this, "Label64", kColumn, 80, form_.Label64);

  ScrollBar6 = MakeFormWidget<QScrollBar>(this, "ScrollBar6", kColumn, 116);
  ScrollBar6->setOrientation(Qt::Vertical);
  ScrollBar6->setRange(0, kSmithScrollMax);
  ScrollBar6->setPageStep(0);
  ScrollBar6->setSingleStep(1);
  ScrollBar6->resize(16, 236);

  LabeledEdit12 = MakeLabeledEdit(this, "LabeledEdit12", QStringLiteral("Freq  MHz  C/L  pF/nH"),
                                  kInner, 130, kEditWidth);
  Label56 = MakeLabel(this, "Label56", kInner, 156, "");
  Label56->setFont(SchematicFont(13));
  Label57 = MakeLabel(this, "Label57", kInner, 222, form_.Label57);
  Label58 = MakeLabel(this, "Label58", kInner, 236, form_.Label58);
  Label59 = MakeLabel(this, "Label59", kInner, 250, form_.Label59);
  Label60 = MakeLabel(this, "Label60", kInner, 264, form_.Label60);

  LabeledEdit10->setToolTip(QStringLiteral("Resistance, ohms; Enter puts the marker there"));
  LabeledEdit11->setToolTip(QStringLiteral("Reactance, ohms; Enter puts the marker there"));
  ScrollBar6->setToolTip(
      QStringLiteral("Turns the marker around the centre, a tenth of a degree a step"));
  LabeledEdit12->setToolTip(QStringLiteral("Frequency of the equivalent circuits, MHz"));
  Image3->setToolTip(
      QStringLiteral("Hover: the impedance under the pointer; press and drag: the marker; "
                     "wheel: zoom"));
}

void SmithPage::BuildTools() {
  TouchstoneButton =
      MakeButton(this, "TouchstoneButton", kInner, 282, 86, QStringLiteral("Touchstone..."),
                 QStringLiteral("Open a measured .s1p or .s2p file and draw it on the chart"));
  SavePngButton = MakeButton(this, "SavePngButton", kInner + 90, 282, 50, QStringLiteral("PNG..."),
                             QStringLiteral("Save the chart as PNG"));
  ResetZoomButton = MakeButton(this, "ResetZoomButton", kInner + 144, 282, 34,
                               QStringLiteral("1:1"), QStringLiteral("Show the whole chart"));
  VswrCircleBox = MakeFormWidget<QCheckBox>(this, "VswrCircleBox", kInner, 306);
  VswrCircleBox->setText(QStringLiteral("VSWR circle"));
  VswrCircleBox->adjustSize();
  VswrCircleBox->setToolTip(QStringLiteral("The circle of constant VSWR through the marker"));
  TraceSlider = MakeFormWidget<QSlider>(this, "TraceSlider", kInner + 100, 306);
  TraceSlider->setOrientation(Qt::Horizontal);
  TraceSlider->resize(112, 18);
  TraceSlider->setEnabled(false);
  TraceSlider->setToolTip(QStringLiteral("The frequency point of the measured trace"));
  TraceReadout = MakeFormWidget<QLabel>(this, "TraceReadout", kInner, 326);
  TraceReadout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  TraceReadout->setFixedSize(212, 28);
}

void SmithPage::Connect() {
  for (LabeledEdit* edit : {LabeledEdit10, LabeledEdit11})
    edit->installEventFilter(this);
  connect(Image3, &SmithChart::ImageMouseMove, this,
          [this](int x, int y) { Handle([this, x, y] { form_.Image3MouseMove(x, y); }); });
  connect(Image3, &SmithChart::ImageMouseDown, this,
          [this](int x, int y) { Handle([this, x, y] { form_.Image3MouseDown(x, y); }); });
  connect(Image3, &SmithChart::ImageMouseUp, this,
          [this] { Handle([this] { form_.Image3MouseUp(); }); });
  // Only the user's moves arrive here: the page sets the bar with its signals blocked.
  connect(ScrollBar6, &QScrollBar::valueChanged, this,
          [this](int value) { Handle([this, value] { form_.SetScrollPosition(value); }); });

  connect(TouchstoneButton, &QPushButton::clicked, this, &SmithPage::AskAndOpenTouchstone);
  connect(SavePngButton, &QPushButton::clicked, this, &SmithPage::AskAndSavePng);
  connect(ResetZoomButton, &QPushButton::clicked, Image3, &SmithChart::ResetZoom);
  connect(VswrCircleBox, &QCheckBox::toggled, Image3, &SmithChart::SetVswrCircle);
  connect(TraceSlider, &QSlider::valueChanged, this, &SmithPage::ShowTracePoint);
}

bool SmithPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (watched == LabeledEdit10)
        Handle([this] { form_.LabeledEdit10KeyDown(kEnterKey); });
      else if (watched == LabeledEdit11)
        Handle([this] { form_.LabeledEdit11KeyDown(kEnterKey); });
    }
  }
  return Page::eventFilter(watched, event);
}

void SmithPage::Handle(const std::function<void()>& handler) {
  GuardedFormHandler([this] { ReadInput(); }, handler, [this] { ShowForm(); });
}

void SmithPage::ReadInput() {
  fields_.Read(form_);
}

// The impedance label keeps its fixed size; the others fit their texts.
void SmithPage::ShowForm() {
  fields_.Show(form_);
  Image3->SetMarker(form_.MarkerLeft, form_.MarkerTop);
  if (ScrollBar6->value() != form_.ScrollPosition) {
    const QSignalBlocker blocker(ScrollBar6);
    ScrollBar6->setValue(form_.ScrollPosition);
  }
}

bool SmithPage::OpenTouchstone(const QString& path) {
  const TouchstoneResult result = ReadTouchstoneFile(QFile::encodeName(path).toStdString());
  if (!result.ok) {
    AppDialogs().ShowMessage(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(),
                                                          QString::fromStdString(result.error)));
    return false;
  }
  trace_ = result.data;
  trace_name_ = QFileInfo(path).fileName();
  std::vector<std::complex<double>> gammas;
  gammas.reserve(trace_.points.size());
  for (const TouchstonePoint& point : trace_.points)
    gammas.push_back(PointGamma50(point, trace_.reference_ohms));
  Image3->SetTrace(std::move(gammas));
  {
    const QSignalBlocker blocker(TraceSlider);
    TraceSlider->setRange(0, static_cast<int>(trace_.points.size()) - 1);
    TraceSlider->setValue(0);
  }
  TraceSlider->setEnabled(trace_.points.size() > 1);
  TraceReadout->setToolTip(path);
  ShowTracePoint(0);
  return true;
}

// The readout of one point: its frequency and impedance, then |Γ| and VSWR at 50 ohms.
void SmithPage::ShowTracePoint(int index) {
  if (index < 0 || index >= static_cast<int>(trace_.points.size())) {
    TraceReadout->clear();
    return;
  }
  const TouchstonePoint& point = trace_.points[static_cast<std::size_t>(index)];
  const std::complex<double> z = PointImpedance(point, trace_.reference_ohms);
  const double magnitude = std::abs(PointGamma50(point, trace_.reference_ohms));
  const QString vswr =
      magnitude < 1 ? Short((1 + magnitude) / (1 - magnitude)) : QStringLiteral("inf");
  const QString impedance =
      std::isfinite(z.real()) && std::isfinite(z.imag())
          ? QStringLiteral("%1 %2 j%3 \u03a9")
                .arg(Short(z.real()), z.imag() < 0 ? QStringLiteral("-") : QStringLiteral("+"),
                     Short(std::abs(z.imag())))
          : QStringLiteral("open");
  TraceReadout->setText(
      QStringLiteral("%1 MHz: %2\n|\u0393| %3  VSWR %4")
          .arg(Short(point.frequency_hz / 1e6), impedance, Short(magnitude), vswr));
  Image3->SetTraceMarker(index);
}

void SmithPage::AskAndOpenTouchstone() {
  const QString path =
      AppDialogs().AskOpenFileName(QStringLiteral("Touchstone (*.s1p *.s2p);;All (*)"));
  if (!path.isEmpty())
    OpenTouchstone(path);
}

void SmithPage::AskAndSavePng() {
  QString path = AppDialogs().AskSaveFileName(QStringLiteral("PNG image (*.png);;All (*)"));
  if (path.isEmpty())
    return;
  if (QFileInfo(path).suffix().isEmpty())
    path += QStringLiteral(".png");
  if (const int error = Image3->SavePng(path))
    AppDialogs().ShowMessage(
        QStringLiteral("Cannot save \"%1\": %2").arg(path, FileErrorText(error)));
}

}  // namespace vexa
