// The test-plan window on the real widgets: start-up state, enabling rules, plan files through
// the file dialogs, and "Config" against the simulator, with the main window hidden and shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <mutex>

#include "app/main_window.h"
#include "instrument/connection_dialog.h"
#include "instrument/gpib_driver.h"
#include "instrument/gpib_session.h"
#include "instrument/plan_window.h"
#include "instrument/testset_page.h"
#include "sim/vexa_gpib_sim.h"
#include "support/dialog_recorder.h"
#include "support/wait_for.h"

namespace vexa {
namespace {

using testing::Boxes;
using testing::ErrorBox;

QStringList Checked(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->checkState() == Qt::Checked)
      texts << list->item(i)->text();
  }
  return texts;
}

QStringList MemoLines(MemoWidget* memo) {
  memo->Flush();
  return memo->toPlainText().split('\n', Qt::SkipEmptyParts);
}

// The simulator as the driver, both in their start state (before a window attaches its memos).
QWidget* UseSimulator() {
  setenv("VEXA_GPIB_LIBRARY", VEXA_SIM_PATH, 1);
  gpib::UnloadDriverForTesting();
  vexa_sim_reset();
  TestSetDevice.ResetForTesting();
  return nullptr;
}

class PlanWindowTest : public ::testing::Test {
 protected:
  PlanWindowTest() : form(UseSimulator()) {
    page = form.TabSheet13;
    form.show();
    QTest::mouseClick(page->Btpl, Qt::LeftButton);
    plan = page->PlanWindow();
  }
  ~PlanWindowTest() override { TestSetDevice.ResetForTesting(); }

  // A click as the user makes it (check boxes toggle, then report the click).
  void Click(QAbstractButton* button) { button->click(); }

  testing::DialogRecorder dialogs;
  TForm1 form;
  TestSetPage* page;
  TForm2* plan;
};

TEST_F(PlanWindowTest, TestPlanHidesTheMainWindowAndOpensAtItsStartUpState) {
  ASSERT_NE(plan, nullptr);
  EXPECT_TRUE(plan->isVisible());
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(plan->windowTitle(), "Test Plan");
  EXPECT_EQ(plan->Bands[0].box->text(), "EGSM");
  EXPECT_TRUE(plan->Bands[2].box->isChecked());
  EXPECT_FALSE(plan->Bands[3].box->isChecked());
  EXPECT_FALSE(plan->Bands[3].levels->isEnabled());
  EXPECT_FALSE(plan->Bands[3].channels->isEnabled());
  EXPECT_FALSE(plan->Bands[3].scan->isEnabled());
  EXPECT_EQ(Checked(plan->Bands[0].levels).size(), 15);  // both "Check All" at start-up
  EXPECT_EQ(Checked(plan->Bands[1].levels).first(), "0");
  EXPECT_TRUE(Checked(plan->Bands[3].levels).isEmpty());
  EXPECT_EQ(Checked(plan->CLBtestitem), (QStringList{"TXPower", "PVTime", "PFERror", "ORFSpectrum",
                                                     "RXLEV", "RXQUAL", "BERRor"}));
  EXPECT_EQ(plan->Bands[1].channels->text(), "512,698,885,");
  EXPECT_EQ(plan->Eberref->text(), "-102.5");
  EXPECT_EQ(plan->Ehighloss->text(), "-1.2~-1.5");
  EXPECT_TRUE(plan->CheckBox1->isChecked());
  EXPECT_EQ(plan->Label15->text(), "Tpl Path Name");
  // The window's size is fixed; closing it brings the main window back.
  EXPECT_EQ(plan->minimumSize(), plan->maximumSize());
  plan->close();
  EXPECT_TRUE(form.isVisible());
}

TEST_F(PlanWindowTest, BandScanModeAndLevelButtonsFollowTheirRules) {
  Click(plan->Bands[1].box);  // DCS off
  EXPECT_FALSE(plan->Bands[1].levels->isEnabled());
  EXPECT_FALSE(plan->Bands[1].label->isEnabled());
  EXPECT_FALSE(plan->Bands[1].channels->isEnabled());
  Click(plan->Button6);  // unCheck All: the disabled DCS list keeps its checks
  EXPECT_TRUE(Checked(plan->Bands[0].levels).isEmpty());
  EXPECT_EQ(Checked(plan->Bands[1].levels).size(), 16);
  Click(plan->Bands[0].scan);  // EGSM scan mode: its channel edit is disabled
  EXPECT_FALSE(plan->Bands[0].channels->isEnabled());
  Click(plan->Bands[0].box);  // EGSM off and on: the edit comes back even in scan mode
  Click(plan->Bands[0].box);
  EXPECT_TRUE(plan->Bands[0].channels->isEnabled());
  EXPECT_TRUE(plan->Bands[0].scan->isChecked());
  Click(plan->Button7);
  EXPECT_TRUE(Checked(plan->CLBtestitem).isEmpty());
  plan->CLBtestitem->item(4)->setCheckState(Qt::Checked);  // the user ticks RXLEV
  EXPECT_TRUE(plan->Form().CLBtestitem.items[4].checked);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(PlanWindowTest, SaveAndOpenGoThroughTheFileDialogs) {
  QTemporaryDir dir;
  const QString chosen = dir.filePath("bench.txt");
  dialogs.file_names = {chosen};
  plan->Bands[0].channels->setText("1,2,3");  // typed, no Enter needed
  Click(plan->SaveTpl);
  EXPECT_EQ(dialogs.last_filters, "Test Plan (*.tpl);;Text (*.txt);;All (*)");
  EXPECT_EQ(plan->Label15->text(), chosen + "  Saved");
  ASSERT_TRUE(QFile::exists(dir.filePath("bench.tpl")));

  plan->Bands[0].channels->setText("975");
  Click(plan->Button6);
  dialogs.file_names = {dir.filePath("bench.tpl")};
  Click(plan->OpenTpl);
  EXPECT_EQ(plan->Label15->text(), dir.filePath("bench.tpl") + " Opened");
  EXPECT_EQ(plan->Bands[0].channels->text(), "1,2,3");
  EXPECT_EQ(Checked(plan->Bands[0].levels).size(), 15);

  dialogs.file_names = {QString()};  // cancelled: nothing happens
  Click(plan->OpenTpl);
  EXPECT_EQ(plan->Label15->text(), dir.filePath("bench.tpl") + " Opened");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(PlanWindowTest, AMissingLevelSectionStopsTheOpeningWithTheListError) {
  QTemporaryDir dir;
  QFile file(dir.filePath("bands.tpl"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[BAND]\r\nEGSM=0\r\nGSM850=1\r\n");
  file.close();
  dialogs.file_names = {file.fileName()};
  Click(plan->OpenTpl);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("List index out of bounds (95)")});
  EXPECT_FALSE(plan->Bands[0].box->isChecked());  // the bands were applied before it
  EXPECT_TRUE(plan->Bands[3].box->isChecked());
  EXPECT_TRUE(plan->Bands[3].levels->isEnabled());
}

TEST_F(PlanWindowTest, ConfigConfiguresTheTestSetAndReturnsToTheMainWindow) {
  EXPECT_FALSE(page->Bstart->isEnabled());
  Click(plan->Button5);
  ASSERT_TRUE(testing::WaitFor([this] { return !plan->isVisible() && !page->CommandsPending(); }));
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(page->Bstart->isEnabled());
  const QStringList lines = MemoLines(page->Memo4);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.first(), "Test Plan configured. Now begin setup 8960 ......");
  EXPECT_EQ(lines.last(),
            "8960 setup finished. Now connect 8960 with MS mannually, and start to test");
  EXPECT_EQ(ProgramTestPlan.berCount, 8200);
  EXPECT_EQ(ProgramTestPlan.channels[1][1], 698);
  char first[16] = {};
  vexa_sim_log_entry(14, 0, first, sizeof first);
  EXPECT_STREQ(first, "*RST");
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The set-up goes to the 8960 page's worker: "Config" returns at once, the windows go on (a
// timer fires) while the test set is busy, what must not be pressed meanwhile waits, and the
// window shows how far the set-up has come.
TEST_F(PlanWindowTest, ConfigSendsOnThePagesWorkerAndShowsItsProgress) {
  QStringList progress;
  QObject::connect(plan->ConfigProgress, &QProgressBar::valueChanged, plan,
                   [&] { progress << plan->ConfigProgress->text(); });
  std::unique_lock<std::mutex> bus = TestSetDevice.HoldBus();  // the test set is busy
  Click(plan->Button5);
  EXPECT_TRUE(plan->isVisible());
  EXPECT_FALSE(plan->Button5->isEnabled());
  EXPECT_TRUE(plan->ConfigProgress->isVisible());
  EXPECT_FALSE(page->Bstart->isEnabled());
  EXPECT_FALSE(page->Btpl->isEnabled());
  EXPECT_FALSE(page->Connection->Button->isEnabled());
  bool fired = false;
  QTimer::singleShot(0, plan, [&] { fired = true; });
  ASSERT_TRUE(testing::WaitFor([&] { return fired; }));
  EXPECT_EQ(vexa_sim_log_count(14), 0);
  EXPECT_TRUE(page->CommandsPending());
  bus.unlock();

  ASSERT_TRUE(testing::WaitFor([this] { return !plan->isVisible() && !page->CommandsPending(); }));
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(page->Bstart->isEnabled());
  EXPECT_TRUE(page->Btpl->isEnabled());
  EXPECT_TRUE(page->Connection->Button->isEnabled());
  EXPECT_TRUE(plan->Button5->isEnabled());
  EXPECT_FALSE(plan->ConfigProgress->isVisible());
  // "*RST", the cell-band query (the cell answers EGSM: no band command) and the 20 set-ups.
  QStringList expected;
  for (int sent = 1; sent <= 22; ++sent)
    expected << QString("%1 of 22").arg(sent);
  EXPECT_EQ(progress.filter(QRegularExpression(" of 22$")), expected);
  EXPECT_EQ(vexa_sim_log_count(14), 22);
  EXPECT_EQ(page->TimeLeft->text(), "Time left --m:--s");
  EXPECT_EQ(MemoLines(page->Memo4).last(),
            "8960 setup finished. Now connect 8960 with MS mannually, and start to test");
  EXPECT_TRUE(dialogs.boxes.empty());
}

// Closing the main window while the set-up waits for the test set: nothing more is sent.
TEST_F(PlanWindowTest, ClosingTheMainWindowStopsTheConfigBeforeItsNextCommand) {
  std::unique_lock<std::mutex> bus = TestSetDevice.HoldBus();
  Click(plan->Button5);
  // The set-up has begun and waits for the test set.
  ASSERT_TRUE(testing::WaitFor([this] { return !MemoLines(page->Memo4).isEmpty(); }));
  plan->close();  // the main window comes back, and the user closes it
  ASSERT_TRUE(form.isVisible());
  form.close();
  bus.unlock();
  ASSERT_TRUE(testing::WaitFor([this] { return !page->CommandsPending(); }));
  EXPECT_EQ(vexa_sim_log_count(14), 0);
  EXPECT_EQ(MemoLines(page->Memo4),
            QStringList{"Test Plan configured. Now begin setup 8960 ......"});
  EXPECT_FALSE(page->Bstart->isEnabled());
}

TEST_F(PlanWindowTest, ABadNumberStopsTheConfigurationBeforeAnythingIsSent) {
  plan->Ebercount->setText("eight thousand");
  Click(plan->Button5);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'eight thousand' is not a valid integer value.")});
  EXPECT_TRUE(plan->isVisible());
  EXPECT_FALSE(page->Bstart->isEnabled());
  EXPECT_EQ(vexa_sim_log_count(14), 0);
}

}  // namespace
}  // namespace vexa
