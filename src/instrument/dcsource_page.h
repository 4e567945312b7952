// The "66319" page: the DC source's command line and memo, and the current-test settings.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/elided_path_label.h"
#include "ui/labeled_edit.h"
#include "ui/memo_widget.h"
#include "ui/page.h"

namespace vexa {

class DcSourcePage : public Page {
  Q_OBJECT

 public:
  explicit DcSourcePage(QWidget* parent = nullptr);
  ~DcSourcePage() override;

  // Memo5 and the note widen with the sheet; the right-hand column keeps its distance to the
  // sheet's right edge (LabeledEdit15 and LabeledEdit17 their own second column).
  void Relayout(int sheet_width, int sheet_height) override;

  MemoWidget* Memo5;
  QLineEdit* Edit29;
  LabeledEdit* LabeledEdit14;  // supply voltage, V
  LabeledEdit* LabeledEdit15;  // sample interval, us
  LabeledEdit* LabeledEdit16;  // points per reading
  LabeledEdit* LabeledEdit17;  // test time, minutes
  QComboBox* ComboBox12;       // operating mode, selects the current range
  QCheckBox* CheckBox2;        // one memo line per reading
  QCheckBox* CheckBox3;        // demo mode
  QLabel* Label75;
  QLabel* Label76;
  QPushButton* Button10;
  QPushButton* Button1;
  ElidedPathLabel* DriverNote;

 private:
  void Edit29KeyDown();
};

}  // namespace vexa
