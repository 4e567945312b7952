// The "8960" page: the GSM test set's command line and memo, and the test-run buttons.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/elided_path_label.h"
#include "ui/memo_widget.h"
#include "ui/page.h"

namespace vexa {

class TestSetPage : public Page {
  Q_OBJECT

 public:
  explicit TestSetPage(QWidget* parent = nullptr);
  ~TestSetPage() override;

  // Memo4 and the note take the sheet's width and height; Edit28, Btpl, Bstart, Bstop and Label77
  // keep their distance to its right edge.
  void Relayout(int sheet_width, int sheet_height) override;

  MemoWidget* Memo4;
  QLineEdit* Edit28;
  QPushButton* Btpl;
  QPushButton* Bstart;
  QPushButton* Bstop;
  QLabel* Label77;
  ElidedPathLabel* DriverNote;  // which GPIB driver library the page talks through

 private:
  void Edit28KeyDown();
};

}  // namespace vexa
