#include "instrument/testset_page.h"

#include "instrument/gpib_session.h"
#include "instrument/instrument_page_parts.h"
#include "instrument/plan_window.h"
#include "ui/guard.h"

namespace vexa {

TestSetPage::TestSetPage(QWidget* parent) : Page("TabSheet13", parent) {
  Memo4 = MakeMemo(this, "Memo4");
  Edit28 = MakeCommandLine(this, "Edit28");
  Btpl = MakeButton(this, "Btpl", QStringLiteral("Test Plan"), 40, true);
  Bstart = MakeButton(this, "Bstart", QStringLiteral("Start Test"), 72, false);
  Bstop = MakeButton(this, "Bstop", QStringLiteral("Stop Test"), 104, false);
  Label77 = MakeLabel(this, "Label77", QStringLiteral("Test time is "), kRightColumn, 144);
  DriverNote = MakeDriverNote(this);
  TestSetDevice.SetMemo(Memo4);
  connect(Edit28, &QLineEdit::returnPressed, this, &TestSetPage::Edit28KeyDown);
  connect(Btpl, &QPushButton::clicked, this, &TestSetPage::BtplClick);
}

TestSetPage::~TestSetPage() {
  TestSetDevice.DetachMemo(Memo4);
}

void TestSetPage::Relayout(int sheet_width, int sheet_height) {
  PlaceMemoAndNote(Memo4, DriverNote, sheet_width, sheet_height);
  MoveLeft({Edit28, Btpl, Bstart, Bstop, Label77}, RightColumnLeft(sheet_width));
}

void TestSetPage::Edit28KeyDown() {
  Guarded([this] {
    SendTestSetConsoleCommand(Edit28->text().toStdString());
    Memo4->Flush();
  });
}

void TestSetPage::BtplClick() {
  Guarded([this] {
    QWidget* main_window = window();
    if (!plan_window_) {
      plan_window_ = new TForm2(*this, this);
      plan_window_->SetOnClose([main_window] { main_window->show(); });
    }
    plan_window_->adjustSize();
    QRect frame(QPoint(0, 0), plan_window_->size());
    frame.moveCenter(main_window->frameGeometry().center());
    plan_window_->move(frame.topLeft());
    main_window->hide();
    plan_window_->show();
    plan_window_->raise();
    plan_window_->activateWindow();
  });
}

void TestSetPage::ClearMemo() {
  Memo4->Clear();
}

void TestSetPage::ResetCommandLineColour() {
  Edit28->setPalette(QPalette());
}

void TestSetPage::EnableStartTest() {
  Bstart->setEnabled(true);
}

void TestSetPage::CloseWindow() {
  Memo4->Flush();
  if (plan_window_)
    plan_window_->close();
}

}  // namespace vexa
