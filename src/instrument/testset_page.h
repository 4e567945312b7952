// The "8960" page: the GSM test set's command line and memo, and the test-run buttons.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "instrument/memo_widget.h"

namespace vexa {

class TestSetPage : public QWidget {
  Q_OBJECT

 public:
  explicit TestSetPage(QWidget* parent = nullptr);
  ~TestSetPage() override;

  MemoWidget* Memo4;
  QLineEdit* Edit28;
  QPushButton* Btpl;
  QPushButton* Bstart;
  QPushButton* Bstop;
  QLabel* Label77;
  QLabel* DriverNote;  // which GPIB driver library the page talks through

 private:
  void Edit28KeyDown();
};

}  // namespace vexa
