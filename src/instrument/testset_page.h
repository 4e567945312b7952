// The "8960" page: the GSM test set's command line and memo, and the test-run buttons.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "instrument/testset_config.h"
#include "ui/elided_path_label.h"
#include "ui/memo_widget.h"
#include "ui/page.h"

namespace vexa {

class TForm2;

class TestSetPage : public Page, private ConfigureView {
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

  // The test-plan window, built when "Test Plan" first shows it (nullptr until then).
  TForm2* PlanWindow() const { return plan_window_; }

 private:
  void Edit28KeyDown();
  // "Test Plan": hides the main window and shows the test-plan window centred on it; closing
  // that window shows the main window again.
  void BtplClick();

  // What "Config" does to this page.
  void ClearMemo() override;
  void ResetCommandLineColour() override;
  void EnableStartTest() override;
  void CloseWindow() override;

  TForm2* plan_window_ = nullptr;
};

}  // namespace vexa
