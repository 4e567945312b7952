// The GSM test run on the "8960" page, on the real widgets against the simulator: the buttons
// while a run goes and after it, the verdict colour, Stop Test, the "Disconnected" box, the
// progress, the bus trace, and closing the window in the middle of a run.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "app/main_window.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/pages/connection_dialog.h"
#include "instrument/pages/testset_page.h"
#include "instrument/runs/test_plan.h"
#include "sim/vexa_gpib_sim.h"
#include "support/dialog_recorder.h"
#include "support/wait_for.h"

namespace vexa {
namespace {

using testing::WaitFor;

const testing::RecordedBox kDisconnectedBox =
    testing::QuestionBox("Connect MS, and try again!", "Disconnected", {"OK", "Stop Test"});

QWidget* UseSimulator() {
  setenv("VEXA_GPIB_LIBRARY", VEXA_SIM_PATH, 1);
  gpib::ReloadDriver();
  vexa_sim_reset();
  vexa_sim_set_timeout_scale(0.01);
  return nullptr;
}

// EGSM, one channel, `levels` levels from 5 up, the items given.
TestPlan SmallPlan(int levels, std::initializer_list<int> items) {
  TestPlan plan{};
  for (auto& list : plan.channels)
    list.fill(kEndOfList);
  for (auto& list : plan.levels)
    list.fill(kEndOfList);
  plan.bandEnabled[0] = 1;
  plan.channels[0][0] = 62;
  for (int i = 0; i < levels; ++i)
    plan.levels[0][static_cast<std::size_t>(i)] = 5 + i;
  for (int item : items)
    plan.itemEnabled[static_cast<std::size_t>(item)] = 1;
  plan.berReferenceLevel = -102.5f;
  return plan;
}

QStringList MemoLines(MemoWidget* memo) {
  memo->Flush();
  return memo->toPlainText().split('\n');
}

QColor CommandLineColour(const QLineEdit* edit) {
  return edit->palette().color(QPalette::Base);
}

class GsmRunPageTest : public ::testing::Test {
 protected:
  GsmRunPageTest() {
    UseSimulator();
    form = std::make_unique<TForm1>(nullptr);
    page = form->TabSheet13;
    page->SetRunEnvironment(nullptr, logs.path().toStdString(), 0);
    form->show();
    form->Station().TestSetDevice.Open();  // as the configuration leaves it
    page->Bstart->setEnabled(true);
  }
  ~GsmRunPageTest() override { form.reset(); }

  void Start(const TestPlan& plan) {
    form->Station().Plan = plan;
    QTest::mouseClick(page->Bstart, Qt::LeftButton);
  }
  bool WaitForEnd(int timeout_ms = 10000) {
    return WaitFor([this] { return !page->RunInProgress() && page->Bstart->isEnabled(); },
                   timeout_ms);
  }
  QStringList LogFiles() const { return QDir(logs.path()).entryList({"*.xls"}, QDir::Files); }
  // Everything in the log folder, the hidden temporary file of a log being written included.
  QStringList AllFiles() const {
    return QDir(logs.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  }
  // The lines of the only log, without their CR LF.
  QStringList TheLog() const {
    const QStringList files = LogFiles();
    if (files.size() != 1)
      return {};
    QFile log(QDir(logs.path()).filePath(files.first()));
    if (!log.open(QIODevice::ReadOnly))
      return {};
    QString text = QString::fromLatin1(log.readAll());
    if (!text.endsWith("\r\n"))
      return {};
    text.chop(2);
    return text.split("\r\n");
  }
  // A command typed into the command line, waited for until its echo is in the memo.
  bool TypeCommand(const QString& command) {
    page->Edit28->setText(command);
    QTest::keyClick(page->Edit28, Qt::Key_Return);
    return WaitFor([&] { return MemoLines(page->Memo4).contains("<---" + command); });
  }

  testing::DialogRecorder dialogs;
  QTemporaryDir logs;
  std::unique_ptr<TForm1> form;
  TestSetPage* page;
};

TEST_F(GsmRunPageTest, ARunDisablesStartAndPlanThenShowsTheVerdictAndWritesTheLog) {
  vexa_sim_set_latency_ms(2);  // slow enough to see the buttons while it runs
  Start(SmallPlan(3, {0, 2}));
  ASSERT_TRUE(WaitFor([this] { return page->Bstop->isEnabled(); }));
  EXPECT_FALSE(page->Bstart->isEnabled());
  EXPECT_FALSE(page->Btpl->isEnabled());
  ASSERT_TRUE(WaitForEnd());
  EXPECT_TRUE(page->Btpl->isEnabled());
  EXPECT_FALSE(page->Bstop->isEnabled());
  EXPECT_EQ(CommandLineColour(page->Edit28), QColor(Qt::green));
  EXPECT_TRUE(page->Label77->text().contains(QRegularExpression("^Test time is \\d\\dm:\\d\\ds$")))
      << page->Label77->text().toStdString();
  const QStringList lines = MemoLines(page->Memo4);
  EXPECT_EQ(lines.first(), "BAND:CN :PCL\tTestItem      \tResult\tLimit1\tLimit2\tCheck");
  EXPECT_EQ(lines.filter("\tTXPower      \t").size(), 3);
  EXPECT_EQ(lines.filter("\tRMS         \t").size(), 3);
  ASSERT_TRUE(lines.contains("Test finished"));
  EXPECT_TRUE(lines.contains("Passed<<<<<<<<<<<<<<<<"));
  ASSERT_EQ(LogFiles().size(), 1);
  // The log holds the memo as it stands, CR LF after every line.
  QFile log(QDir(logs.path()).filePath(LogFiles().first()));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromLatin1(log.readAll()), lines.join("\r\n") + "\r\n");
  EXPECT_EQ(page->RunProgress->value(), page->RunProgress->maximum());
  EXPECT_EQ(page->TimeLeft->text(), "Time left 00m:00s");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(GsmRunPageTest, AFailedCheckTurnsTheCommandLineRed) {
  vexa_sim_set_value("tx_power_offset", 4);
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CommandLineColour(page->Edit28), QColor(Qt::red));
  EXPECT_TRUE(MemoLines(page->Memo4).contains("Failed>>>>>>>>>>>>>>>>"));
  // The next Start Test brings the normal colour back before it asks for the call.
  vexa_sim_set_call_connected(0);
  QTest::mouseClick(page->Bstart, Qt::LeftButton);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(page->Edit28->palette().color(QPalette::Base), QPalette().color(QPalette::Base));
}

TEST_F(GsmRunPageTest, WithoutACallStartTestOnlyAsksToConnect) {
  vexa_sim_set_call_connected(0);
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(MemoLines(page->Memo4).last(), "Connect MS, and try again!");
  EXPECT_TRUE(page->Btpl->isEnabled());
  EXPECT_FALSE(page->Bstop->isEnabled());
  EXPECT_TRUE(LogFiles().isEmpty());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(GsmRunPageTest, StopTestEndsTheRunAfterTheLevelWithoutEndLinesOrLog) {
  vexa_sim_set_latency_ms(5);
  Start(SmallPlan(15, {0}));
  ASSERT_TRUE(WaitFor([this] { return MemoLines(page->Memo4).filter("TXPower").size() >= 1; }));
  QTest::mouseClick(page->Bstop, Qt::LeftButton);
  ASSERT_TRUE(WaitForEnd());
  const QStringList lines = MemoLines(page->Memo4);
  EXPECT_LT(lines.filter("TXPower").size(), 15);
  EXPECT_FALSE(lines.contains("Test finished"));
  EXPECT_TRUE(AllFiles().isEmpty()) << AllFiles().join(' ').toStdString();
  EXPECT_EQ(CommandLineColour(page->Edit28), QPalette().color(QPalette::Base));
  EXPECT_TRUE(page->Btpl->isEnabled());
  EXPECT_FALSE(page->Bstop->isEnabled());
  // No time is left of a stopped run, also once the progress updates still queued have come.
  EXPECT_EQ(page->TimeLeft->text(), "Time left --m:--s");
  QTest::qWait(3 * MemoWidget::kRepaintIntervalMs);
  EXPECT_EQ(page->TimeLeft->text(), "Time left --m:--s");
}

TEST_F(GsmRunPageTest, ADroppedCallShowsTheDisconnectedBoxUntilTheCallIsBack) {
  int shown = 0;
  dialogs.on_question = [&shown] {
    // The operator presses OK twice before the phone is back.
    if (++shown == 2)
      vexa_sim_set_call_connected(1);
    return 0;
  };
  vexa_sim_drop_call_after(3);  // after the cell band, the call check and the traffic band
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(dialogs.Take(), (testing::Boxes{kDisconnectedBox, kDisconnectedBox}));
  EXPECT_TRUE(MemoLines(page->Memo4).contains("Test finished"));
}

// The box's "Stop Test" ends the run as Stop Test does: no end lines, no log.
TEST_F(GsmRunPageTest, TheDisconnectedBoxsStopTestEndsTheRunWithoutALog) {
  dialogs.on_question = [] { return 1; };
  vexa_sim_drop_call_after(3);
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(dialogs.Take(), testing::Boxes{kDisconnectedBox});
  const QStringList lines = MemoLines(page->Memo4);
  EXPECT_FALSE(lines.contains("Test finished"));
  EXPECT_TRUE(lines.filter("TXPower").isEmpty());
  EXPECT_TRUE(LogFiles().isEmpty());
  EXPECT_TRUE(page->Btpl->isEnabled());
  EXPECT_FALSE(page->Bstop->isEnabled());
  EXPECT_TRUE(page->Connection->Button->isEnabled());
}

// Stop Test on the page works while the run waits for the call: the box closes, the run ends.
TEST_F(GsmRunPageTest, StopTestWhileTheDisconnectedBoxIsUpClosesItAndEndsTheRun) {
  vexa_sim_drop_call_after(3);
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitFor([this] { return dialogs.OpenQuestions() == 1; }));
  ASSERT_TRUE(page->Bstop->isEnabled());
  QTest::mouseClick(page->Bstop, Qt::LeftButton);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(dialogs.OpenQuestions(), 0);
  EXPECT_EQ(dialogs.Take(), testing::Boxes{kDisconnectedBox});
  EXPECT_FALSE(MemoLines(page->Memo4).contains("Test finished"));
  EXPECT_TRUE(LogFiles().isEmpty());
}

// With the call down for good the box comes back after every OK; Stop Test pressed between
// two boxes ends the run.
TEST_F(GsmRunPageTest, OkKeepsAskingAndStopTestBetweenTheBoxesEndsTheRun) {
  int shown = 0;
  dialogs.on_question = [&shown] {
    ++shown;
    return 0;
  };
  vexa_sim_drop_call_after(3);
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitFor([&shown] { return shown >= 3; }));
  QTest::mouseClick(page->Bstop, Qt::LeftButton);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(dialogs.OpenQuestions(), 0);
  EXPECT_FALSE(MemoLines(page->Memo4).contains("Test finished"));
  EXPECT_TRUE(LogFiles().isEmpty());
}

// The box never holds the main window: closing it cancels the run, and the box goes too.
TEST_F(GsmRunPageTest, ClosingTheWindowWhileTheDisconnectedBoxIsUpCancelsTheRunAndTheBox) {
  vexa_sim_drop_call_after(3);
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitFor([this] { return dialogs.OpenQuestions() == 1; }));
  EXPECT_TRUE(form->close());
  EXPECT_FALSE(form->isVisible());
  ASSERT_TRUE(WaitFor([this] { return dialogs.OpenQuestions() == 0 && !page->RunInProgress(); }));
  form.reset();
  EXPECT_EQ(dialogs.Take(), testing::Boxes{kDisconnectedBox});
  EXPECT_TRUE(LogFiles().isEmpty());
}

TEST_F(GsmRunPageTest, TheBusTraceGoesBesideTheLog) {
  page->TraceBox->setChecked(true);
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitForEnd());
  const QStringList traces = QDir(logs.path()).entryList({"*-trace.txt"}, QDir::Files);
  ASSERT_EQ(traces.size(), 1);
  QFile trace(QDir(logs.path()).filePath(traces.first()));
  ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
  const QString text = QString::fromLatin1(trace.readAll());
  EXPECT_TRUE(text.contains(QRegularExpression("\\d+\\.\\d{6} > FETCh:TXPower\\?\n")));
  EXPECT_TRUE(text.contains(QRegularExpression("\\d+\\.\\d{6} < 0,")));
}

TEST_F(GsmRunPageTest, ClosingTheWindowMidRunEndsTheWorkerWithoutALog) {
  vexa_sim_set_latency_ms(20);
  Start(SmallPlan(15, {0, 1, 2, 3}));
  ASSERT_TRUE(WaitFor([this] { return page->Bstop->isEnabled(); }));
  const int sent_before_close = vexa_sim_log_count(14);
  form->close();
  form.reset();  // what the end of main() does
  // The worker ends before its next bus call: at most the command in progress reaches the
  // test set, however long its calls take, and the rest of the plan never does.
  EXPECT_LE(vexa_sim_log_count(14) - sent_before_close, 1);
  EXPECT_TRUE(AllFiles().isEmpty()) << AllFiles().join(' ').toStdString();
}

TEST_F(GsmRunPageTest, TheMemoKeepsItsLastLinesAndTheLogEveryLineConsoleEchoesIncluded) {
  // EGSM, 60 channels of every level, PVT and spectrum: 27,000 result lines.
  TestPlan plan = SmallPlan(15, {1, 3});
  for (int c = 0; c < 60; ++c)
    plan.channels[0][static_cast<std::size_t>(c)] = 1 + c;
  plan.channels[0][60] = kEndOfList;
  vexa_sim_set_latency_ms(1);  // slow while the console command is typed
  Start(plan);
  ASSERT_TRUE(WaitFor([this] { return MemoLines(page->Memo4).filter("\tPVT MASK\t").size() > 2; }));
  ASSERT_TRUE(TypeCommand("*IDN?"));
  vexa_sim_set_latency_ms(0);
  ASSERT_TRUE(WaitForEnd(300000));

  const std::vector<std::string> memo = page->Memo4->Lines();
  ASSERT_EQ(memo.size(), TestSetPage::kMemoLineLimit);
  EXPECT_EQ(MemoLines(page->Memo4).first(), MemoWidget::kDroppingNote);
  const QStringList log = TheLog();
  ASSERT_GT(log.size(), 27000);
  EXPECT_EQ(log.first(), "BAND:CN :PCL\tTestItem      \tResult\tLimit1\tLimit2\tCheck");
  // The echo where the memo received it, among the run's lines.
  const qsizetype echo = log.indexOf("<---*IDN?");
  ASSERT_GT(echo, 0);
  EXPECT_TRUE(log[echo + 1].startsWith("--->")) << log[echo + 1].toStdString();
  EXPECT_LT(echo, log.indexOf("Test finished"));
  // The memo holds the log's last lines.
  for (std::size_t i = 0; i < memo.size(); ++i) {
    ASSERT_EQ(log[log.size() - static_cast<qsizetype>(memo.size() - i)].toStdString(), memo[i])
        << i;
  }
}

TEST_F(GsmRunPageTest, AnAntennaSeriesGoesOnInOneLogWithTheLinesBetweenItsRuns) {
  TestPlan plan = SmallPlan(1, {0});
  plan.antennaMode = 1;
  plan.antennaStep = 180;
  Start(plan);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(MemoLines(page->Memo4).last(), "Angle 0 degree Test finished");
  // The series' log, not yet named.
  ASSERT_EQ(AllFiles().size(), 1);
  EXPECT_TRUE(AllFiles().first().startsWith(".log.vexa-tmp-"));
  ASSERT_TRUE(TypeCommand("*IDN?"));
  QTest::mouseClick(page->Bstart, Qt::LeftButton);
  ASSERT_TRUE(WaitForEnd());
  const QStringList memo = MemoLines(page->Memo4);
  EXPECT_EQ(memo.filter("BAND:CN :PCL").size(), 2);
  EXPECT_TRUE(memo.contains("Test finished"));
  EXPECT_EQ(TheLog(), memo);
  EXPECT_EQ(AllFiles(), LogFiles());
}

TEST_F(GsmRunPageTest, ALogFolderThatCannotBeWrittenRefusesStartTestBeforeAskingForTheCall) {
  const QString file = QDir(logs.path()).filePath("not a folder");
  QFile made(file);
  ASSERT_TRUE(made.open(QIODevice::WriteOnly));
  made.close();
  page->SetRunEnvironment(nullptr, file.toStdString(), 0);
  const int sent = vexa_sim_log_count(14);
  Start(SmallPlan(1, {0}));
  ASSERT_TRUE(WaitForEnd());
  const QStringList lines = MemoLines(page->Memo4);
  EXPECT_EQ(lines.last(), "Unable to write to " + file + ": Not a directory");
  EXPECT_TRUE(lines.filter("BAND:CN :PCL").isEmpty());
  EXPECT_EQ(vexa_sim_log_count(14), sent) << "the test set was asked";
  EXPECT_TRUE(page->Btpl->isEnabled());
  EXPECT_FALSE(page->Bstop->isEnabled());
  EXPECT_EQ(AllFiles(), QStringList{"not a folder"});
}

}  // namespace
}  // namespace vexa
