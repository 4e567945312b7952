// The "SMITH" page: the 50-ohm Smith chart (Image3 with its marker Shape1) on the left; the
// impedance fields, the marked impedance, the reflection, the turning scroll bar, the frequency
// and the equivalent circuits on the right. The texts and handlers live in SmithForm; this page
// shows them and forwards the mouse, the scroll bar and Enter.
//
// Below the circuits, for measured data: a Touchstone file (.s1p, .s2p) drawn as a trace on
// the chart with a frequency slider and its readout, the circle of constant VSWR through the
// marker, the zoom reset and "Save PNG".
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <functional>
#include <vector>

#include "matching/smith_chart_view.h"
#include "matching/smith_form.h"
#include "matching/touchstone.h"
#include "ui/form_binding.h"
#include "ui/labeled_edit.h"
#include "ui/page.h"

namespace vexa {

class SmithPage : public Page {
  Q_OBJECT

 public:
  explicit SmithPage(QWidget* parent = nullptr);

  // Draws the chart's grid (the window's creation runs it once).
  void FormCreate() override;

  const SmithForm& Form() const { return form_; }

  SmithChart* Image3;          // the chart; its marker is Image3->Marker() ("Shape1")
  LabeledEdit* LabeledEdit10;  // "R"
  LabeledEdit* LabeledEdit11;  // "+j X"
  QLabel* Label55;             // the marked impedance
  QLabel* Label64;             // the polar reflection
  QScrollBar* ScrollBar6;      // turns the marker, tenths of a degree
  LabeledEdit* LabeledEdit12;  // "Freq  MHz  C/L  pF/nH"
  QLabel* Label56;             // the equivalent-circuit drawing
  QLabel* Label57;             // R1=
  QLabel* Label58;             // L1= / C1=
  QLabel* Label59;             // R2=
  QLabel* Label60;             // L2= / C2=

  // Measured data and the chart's tools.
  QPushButton* TouchstoneButton;  // "Touchstone..."
  QPushButton* SavePngButton;     // "PNG..."
  QPushButton* ResetZoomButton;   // "1:1"
  QCheckBox* VswrCircleBox;       // "VSWR circle"
  QSlider* TraceSlider;           // the trace's frequency point
  QLabel* TraceReadout;           // file, frequency, Z, |Γ| and VSWR of that point

  // Opens a Touchstone file and draws its trace; false (with a message) when it is refused.
  bool OpenTouchstone(const QString& path);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildTools();
  void Connect();

  // Runs one handler of the form under the error guard; the widgets show the form's texts on
  // the way out, also when the handler ends with an error.
  void Handle(const std::function<void()>& handler);
  void ReadInput();
  void ShowForm();
  void ShowTracePoint(int index);
  void AskAndOpenTouchstone();
  void AskAndSavePng();

  SmithForm form_;
  FormBinding<SmithForm> fields_;
  TouchstoneData trace_;
  QString trace_name_;
};

}  // namespace vexa
