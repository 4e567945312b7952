// The current drain test on the "66319" page, on the real widgets against the simulator: a run
// that ends by its time, Stop in the middle with a console command typed during the run, demo
// mode without an instrument, the refusals, a field that does not convert, the plot window and
// its exports, closing the window mid-run; and the memo's line limit and log tap.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "app/main_window.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/pages/current_plot_window.h"
#include "instrument/pages/dcsource_page.h"
#include "instrument/runs/current_plot_data.h"
#include "instrument/runs/instrument_station.h"
#include "sim/vexa_gpib_sim.h"
#include "support/dialog_recorder.h"
#include "support/wait_for.h"

namespace vexa {
namespace {

using testing::ErrorBox;
using testing::WaitFor;

void UseDriver(const char* library) {
  setenv("VEXA_GPIB_LIBRARY", library, 1);
  gpib::ReloadDriver();
  vexa_sim_reset();
  vexa_sim_set_timeout_scale(0.01);
}

QStringList WidgetLines(MemoWidget* memo) {
  memo->Flush();
  return memo->toPlainText().split('\n');
}

QStringList SimulatorLog() {
  QStringList commands;
  char buffer[256];
  for (int i = 0; i < vexa_sim_log_count(5); ++i) {
    vexa_sim_log_entry(5, i, buffer, sizeof buffer);
    commands << QString::fromLatin1(buffer);
  }
  return commands;
}

// The readings N of the summary's "Total N, Aver ..." line, -1 without one.
long SummaryTotal(const QStringList& lines) {
  static const QRegularExpression total(QStringLiteral("^Total (\\d+), Aver "));
  for (const QString& line : lines) {
    if (const auto match = total.match(line); match.hasMatch())
      return match.captured(1).toLong();
  }
  return -1;
}

class CurrentPageTest : public ::testing::Test {
 protected:
  CurrentPageTest() {
    UseDriver(VEXA_SIM_PATH);
    form = std::make_unique<TForm1>(nullptr);
    page = form->TabSheet14;
    page->SetRunEnvironment(nullptr, logs.path().toStdString(), 0);
    form->PageControl1->setCurrentWidget(page);
    form->show();
    // Short runs: one point of 15.6 us per reading.
    page->LabeledEdit15->setText("15.6");
    page->LabeledEdit16->setText("1");
  }
  ~CurrentPageTest() override {
    form.reset();
    UseDriver(VEXA_SIM_PATH);
  }

  void Start(const QString& minutes) {
    page->LabeledEdit17->setText(minutes);
    QTest::mouseClick(page->Button10, Qt::LeftButton);
  }
  bool WaitForEnd(int timeout_ms = 10000) {
    return WaitFor([this] { return !page->RunInProgress() && page->Button10->isEnabled(); },
                   timeout_ms);
  }
  bool WaitForSamples(int count) {
    return WaitFor([this, count] {
      return WidgetLines(page->Memo5).filter(QRegularExpression("^No\\.\\d+ ")).size() >= count;
    });
  }
  // Another driver (or a fresh simulator) for the page's session, the page's memo attached.
  void Reconnect(const char* library) {
    // The descriptor goes before the driver does, as with a connection change.
    InstrumentSession& session = form->Station().DcSourceDevice;
    ASSERT_EQ(session.SetConnection(session.connection()), "");
    UseDriver(library);
  }
  QStringList LogFiles() const { return QDir(logs.path()).entryList({"*.txt"}, QDir::Files); }
  // The log's lines; it ends with CR LF after its last line.
  QStringList LogLines() const {
    QFile log(QDir(logs.path()).filePath(LogFiles().value(0)));
    if (!log.open(QIODevice::ReadOnly))
      return {};
    QString text = QString::fromLatin1(log.readAll());
    EXPECT_TRUE(text.endsWith("\r\n"));
    text.chop(2);
    return text.split("\r\n");
  }

  testing::DialogRecorder dialogs;
  QTemporaryDir logs;
  std::unique_ptr<TForm1> form;
  DcSourcePage* page;
};

TEST_F(CurrentPageTest, ARunEndsByItsTimeWithTheSummaryAndALogEqualToTheMemo) {
  vexa_sim_set_latency_ms(1);
  page->ComboBox12->setCurrentIndex(1);
  Start("0.001");
  ASSERT_TRUE(WaitForEnd());
  EXPECT_FALSE(page->Button1->isEnabled());

  const QStringList commands = SimulatorLog();
  ASSERT_GE(commands.size(), 6);
  EXPECT_EQ(commands.mid(0, 5), (QStringList{"VOLT 3.80", "SENS:CURR:DET ACDC", "SENS:CURR:RANG 1",
                                             "SENS:SWE:TINT 15.60E-6", "SENS:SWE:POIN 1"}));
  EXPECT_EQ(commands[5], "MEAS:CURR?");

  const QStringList lines = WidgetLines(page->Memo5);
  EXPECT_TRUE(lines.first().startsWith("No.0 Current: ")) << lines.first().toStdString();
  const long total = SummaryTotal(lines);
  ASSERT_GT(total, 0);
  EXPECT_EQ(total % kReadingsPerBatch, 0);
  EXPECT_EQ(lines.filter(QRegularExpression("^No\\.\\d+ Current: \\d+\\.\\d{6} mA$")).size(),
            total);
  const auto finished = lines.indexOf(kCurrentFinishedLine);
  ASSERT_GE(finished, 0);
  EXPECT_EQ(lines.mid(finished + 10, 2), (QStringList{"Total 100.000000%", "Test finished"}));
  ASSERT_EQ(LogFiles().size(), 1);
  EXPECT_EQ(lines.mid(lines.size() - 2),
            (QStringList{QDir(logs.path()).filePath(LogFiles().first()), kCreditLine}));
  EXPECT_EQ(LogLines(), lines);
  EXPECT_EQ(page->LastRun()->log_path(), lines[lines.size() - 2].toStdString());

  EXPECT_TRUE(page->Label75->text().contains(QRegularExpression("^Test time is \\d\\dm:\\d\\ds$")))
      << page->Label75->text().toStdString();
  EXPECT_TRUE(page->Label76->text().contains(QRegularExpression("^Aver is \\d+\\.\\d{6} mA$")))
      << page->Label76->text().toStdString();
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(CurrentPageTest, StopEndsTheRunWithItsSummaryAndNoSecondRunStartsWhileItFinishes) {
  vexa_sim_set_latency_ms(1);
  Start("10");
  ASSERT_TRUE(WaitForSamples(60));
  // The buttons were swapped before the first sample line was posted.
  EXPECT_TRUE(page->Button1->isEnabled());
  EXPECT_FALSE(page->Button10->isEnabled());
  // A console command typed during the run shows in the memo and goes to the log in place.
  page->Edit29->setText("*IDN?");
  QTest::keyClick(page->Edit29, Qt::Key_Return);
  // It goes between the run's readings, on the page's command queue.
  ASSERT_TRUE(WaitFor([this] { return !page->CommandsPending(); }));
  ASSERT_TRUE(WaitForSamples(WidgetLines(page->Memo5).size() + 10));
  QTest::mouseClick(page->Button1, Qt::LeftButton);
  // Stop waits for the worker's end: Config&&Test stays off, and even forced on it starts
  // nothing.
  EXPECT_FALSE(page->Button1->isEnabled());
  EXPECT_FALSE(page->Button10->isEnabled());
  page->Button10->setEnabled(true);
  QTest::mouseClick(page->Button10, Qt::LeftButton);
  ASSERT_TRUE(WaitForEnd());

  const QStringList lines = WidgetLines(page->Memo5);
  EXPECT_EQ(lines.count(kCurrentFinishedLine), 1);
  const long total = SummaryTotal(lines);
  EXPECT_GT(total, 50);
  EXPECT_EQ(lines.filter(QRegularExpression("^No\\.\\d+ ")).size(), total);
  const auto echo = lines.indexOf("<---*IDN?");
  ASSERT_GT(echo, 0);
  // Its answer follows, maybe after sample lines of the worker.
  EXPECT_GT(lines.indexOf(QRegularExpression("--->.*")), echo);
  EXPECT_LT(echo, lines.indexOf(kCurrentFinishedLine));
  ASSERT_EQ(LogFiles().size(), 1);
  EXPECT_EQ(LogLines(), lines);
  EXPECT_EQ(SimulatorLog().count("SENS:SWE:POIN 1"), 1);  // configured once: one run
}

TEST_F(CurrentPageTest, DemoModeWithoutAnInstrumentStartsWithTheOpenFailureAndKeepsEveryLine) {
  Reconnect("/nonexistent/libgpib-missing.so");
  page->Memo5->SetLineLimit(40);  // fewer than one batch: the memo drops, the log keeps all
  page->CheckBox3->setChecked(true);
  Start("0.0005");
  ASSERT_TRUE(WaitForEnd());
  const QStringList log = LogLines();
  ASSERT_GT(log.size(), 60);
  EXPECT_EQ(log[0], "Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)");
  EXPECT_TRUE(log[1].startsWith("No.0 Current: ")) << log[1].toStdString();
  const long total = SummaryTotal(log);
  EXPECT_EQ(log.filter(QRegularExpression("^No\\.\\d+ ")).size(), total);
  // The memo: the note on top, then the newest 40 lines of the log.
  const QStringList shown = WidgetLines(page->Memo5);
  EXPECT_EQ(shown.first(), MemoWidget::kDroppingNote);
  EXPECT_EQ(shown.mid(1), log.mid(log.size() - 40));
  EXPECT_EQ(page->Memo5->Lines().size(), 40u);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(CurrentPageTest, RefusedSettingsLeaveThePageIdleAndStartNothing) {
  struct Case {
    const char* interval;
    const char* points;
    const char* refusal;
  };
  for (const Case& refused :
       {Case{"15.5", "1", kSampleRateRefusal}, Case{"15.6", "4097", kBufferLengthRefusal},
        Case{"15.6", "0", kBufferLengthRefusal}}) {
    SCOPED_TRACE(refused.points);
    Reconnect(VEXA_SIM_PATH);
    page->LabeledEdit15->setText(refused.interval);
    page->LabeledEdit16->setText(refused.points);
    Start("0.001");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_FALSE(page->Button1->isEnabled());
    EXPECT_EQ(WidgetLines(page->Memo5), QStringList{refused.refusal});
    EXPECT_FALSE(SimulatorLog().contains("MEAS:CURR?"));
  }
  EXPECT_TRUE(LogFiles().isEmpty());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(CurrentPageTest, AFieldThatDoesNotConvertShowsTheErrorBoxAndWaitsForStop) {
  page->LabeledEdit14->setText("3,8V");
  Start("0.001");
  ASSERT_TRUE(WaitFor([this] { return !page->RunInProgress(); }));
  QTest::qWait(2 * MemoWidget::kRepaintIntervalMs);
  EXPECT_EQ(dialogs.Take(),
            testing::Boxes{ErrorBox("'3,8V' is not a valid floating point value.")});
  EXPECT_FALSE(page->Button10->isEnabled());
  EXPECT_TRUE(page->Button1->isEnabled());
  EXPECT_TRUE(SimulatorLog().isEmpty());  // the device was opened and cleared, nothing written
  QTest::mouseClick(page->Button1, Qt::LeftButton);
  EXPECT_TRUE(page->Button10->isEnabled());
  EXPECT_FALSE(page->Button1->isEnabled());
  EXPECT_TRUE(LogFiles().isEmpty());
}

TEST_F(CurrentPageTest, ThePlotFollowsTheRunAndExportsItsPoints) {
  QTest::mouseClick(page->PlotButton, Qt::LeftButton);
  CurrentPlotWindow* plot = page->PlotWindow();
  ASSERT_NE(plot, nullptr);
  EXPECT_TRUE(plot->isVisible());
  EXPECT_EQ(plot->windowTitle(), "Current Plot");
  vexa_sim_set_latency_ms(1);
  Start("10");
  ASSERT_TRUE(WaitFor([&] { return plot->MeanSeries()->count() >= 2; }));
  EXPECT_TRUE(page->RunInProgress());
  QTest::mouseClick(page->Button1, Qt::LeftButton);
  ASSERT_TRUE(WaitForEnd());

  const long total = SummaryTotal(WidgetLines(page->Memo5));
  // A Stop during a batch plots the readings of that batch too.
  const long batches = (total + kReadingsPerBatch - 1) / kReadingsPerBatch;
  ASSERT_EQ(plot->MeanSeries()->count(), batches);
  double counted = 0;
  for (int bucket = 0; bucket < kHistogramBuckets; ++bucket)
    counted += plot->HistogramSet()->at(bucket);
  EXPECT_EQ(counted, static_cast<double>(total));

  const QString csv = QDir(logs.path()).filePath("points");  // the suffix is added
  const QString png = QDir(logs.path()).filePath("plot.png");
  dialogs.file_names = {csv, png};
  QTest::mouseClick(plot->SaveCsv, Qt::LeftButton);
  QTest::mouseClick(plot->SavePng, Qt::LeftButton);
  QFile file(csv + ".csv");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList rows = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), batches + 1);
  EXPECT_EQ(rows.first(), "elapsed_s,mean_mA,min_mA,max_mA,batches");
  EXPECT_TRUE(rows[1].contains(QRegularExpression("^\\d+\\.\\d{3}(,\\d+\\.\\d{6}){3},1$")))
      << rows[1].toStdString();
  EXPECT_FALSE(QImage(png).isNull());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(CurrentPageTest, ClosingTheWindowMidRunEndsTheWorkerWithoutALog) {
  QTest::mouseClick(page->PlotButton, Qt::LeftButton);
  vexa_sim_set_latency_ms(20);
  Start("10");
  ASSERT_TRUE(WaitForSamples(1));
  const int sent_before_close = vexa_sim_log_count(5);
  form->close();
  form.reset();  // what the end of main() does
  // The worker ends before its next bus call: at most the command in progress reaches the
  // DC source, however long its calls take, and the rest of the ten-minute run never does.
  EXPECT_LE(vexa_sim_log_count(5) - sent_before_close, 1);
  EXPECT_TRUE(QDir(logs.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .isEmpty());
}

class RecordingSink : public MemoSink {
 public:
  void AppendLine(const std::string& line) override {
    const std::lock_guard lock(mutex);
    lines.push_back(line);
  }
  std::mutex mutex;
  std::vector<std::string> lines;
};

TEST(MemoWidgetLimit, AFloodKeepsTheNewestLinesShowsTheNoteOnceAndTapsEveryLine) {
  MemoWidget memo;
  memo.SetLineLimit(1000);
  RecordingSink tap;
  memo.SetTap(&tap);
  constexpr int kLines = 30000;
  std::thread worker([&memo] {
    for (int i = 0; i < kLines; ++i)
      memo.AppendLine("line " + std::to_string(i));
  });
  // The time-sliced flush runs while the worker floods.
  ASSERT_TRUE(WaitFor([&] { return memo.document()->lastBlock().text() == "line 29999"; }, 20000));
  worker.join();
  memo.SetTap(nullptr);
  memo.AppendLine("after detach");
  memo.Flush();
  EXPECT_EQ(memo.blockCount(), 1001);
  EXPECT_EQ(memo.document()->firstBlock().text(), MemoWidget::kDroppingNote);
  EXPECT_EQ(memo.document()->findBlockByNumber(1).text(), "line 29001");
  EXPECT_EQ(memo.toPlainText().count(MemoWidget::kDroppingNote), 1);
  const std::vector<std::string> kept = memo.Lines();
  ASSERT_EQ(kept.size(), 1000u);
  EXPECT_EQ(kept.front(), "line 29001");
  EXPECT_EQ(kept.back(), "after detach");
  ASSERT_EQ(tap.lines.size(), static_cast<std::size_t>(kLines));
  for (int i = 0; i < kLines; i += 997)
    ASSERT_EQ(tap.lines[static_cast<std::size_t>(i)], "line " + std::to_string(i));

  // A new content starts without the note, and a tap attached after a copy gets the lines
  // appended in between.
  memo.Clear();
  memo.AppendLine("first");
  std::uint64_t copied = 0;
  EXPECT_EQ(memo.Lines(&copied), std::vector<std::string>{"first"});
  memo.AppendLine("between");
  RecordingSink late;
  memo.SetTap(&late, copied);
  memo.AppendLine("after");
  memo.SetTap(nullptr);
  EXPECT_EQ(late.lines, (std::vector<std::string>{"between", "after"}));
  EXPECT_EQ(WidgetLines(&memo), (QStringList{"first", "between", "after"}));
}

TEST(CurrentPlotData, LongRunsMergeNeighboursKeepingTheExtremesAndTheWeightedMean) {
  CurrentPlotData data(4);
  CurrentBatch batch;
  for (int i = 1; i <= 11; ++i) {
    batch.batches = i;
    batch.elapsed_ms = 100.0 * i;
    batch.batch_mean = static_cast<float>(0.001 * i);
    batch.batch_min = static_cast<float>(0.001 * i - 0.0005);
    batch.batch_max = static_cast<float>(0.001 * i + 0.0005);
    batch.histogram[2] = i * 50;
    data.Add(batch);
  }
  const std::vector<CurrentPlotPoint> points = data.Points();
  ASSERT_LE(points.size(), 4u);
  long covered = 0;
  double weighted = 0;
  for (const CurrentPlotPoint& point : points) {
    covered += point.batches;
    weighted += point.mean_ma * static_cast<double>(point.batches);
  }
  EXPECT_EQ(covered, 11);
  EXPECT_NEAR(weighted, 66.0, 1e-3);  // 1 + 2 + ... + 11 mA
  EXPECT_NEAR(points.front().min_ma, 0.5, 1e-3);
  EXPECT_NEAR(points.back().max_ma, 11.5, 1e-3);
  EXPECT_DOUBLE_EQ(points.back().elapsed_s, 1.1);
  EXPECT_EQ(points.front().batches, 4);  // evenly spaced: every full point covers 4 batches
  EXPECT_EQ(data.histogram()[2], 550);
  const std::string csv = CurrentPlotCsv(data);
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "elapsed_s,mean_mA,min_mA,max_mA,batches");
  EXPECT_NE(csv.find("\n0.400,2.500000,0.500000,4.500000,4\n"), std::string::npos) << csv;
}

// Qt's warnings while the test runs.
QStringList g_warnings;
void RecordWarning(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtDebugMsg && type != QtInfoMsg)
    g_warnings.push_back(message);
}

TEST(CurrentPlotWindow, TheHistogramsSmallerLabelsComeWithoutAFontWarning) {
  g_warnings.clear();
  const QtMessageHandler previous = qInstallMessageHandler(RecordWarning);
  auto plot = std::make_unique<CurrentPlotWindow>(nullptr);
  plot->show();
  QApplication::processEvents();
  qInstallMessageHandler(previous);
  EXPECT_TRUE(g_warnings.filter("Point size").isEmpty()) << g_warnings.join('\n').toStdString();

  // The range names are drawn a tenth smaller than the time axis's numbers, whether the
  // charts size their fonts in points or in pixels.
  QFont ranges;
  QFont times;
  for (const QChartView* view : plot->findChildren<QChartView*>()) {
    for (const QAbstractAxis* axis : view->chart()->axes(Qt::Horizontal)) {
      (qobject_cast<const QBarCategoryAxis*>(axis) ? ranges : times) = axis->labelsFont();
    }
  }
  const auto size = [](const QFont& font) {
    return font.pointSizeF() > 0 ? font.pointSizeF() : static_cast<double>(font.pixelSize());
  };
  ASSERT_GT(size(times), 0);
  EXPECT_LT(size(ranges), size(times));
  EXPECT_GE(size(ranges), size(times) * 0.85);
}

}  // namespace
}  // namespace vexa
