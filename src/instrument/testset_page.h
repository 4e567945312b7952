// The "8960" page: the GSM test set's command line and memo, the test-plan window, and the GSM
// test run (Start Test / Stop Test) with its progress.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "instrument/gsm_test_run.h"
#include "instrument/testset_config.h"
#include "ui/elided_path_label.h"
#include "ui/memo_widget.h"
#include "ui/page.h"

namespace vexa {

class ConnectionControl;

class TForm2;

class TestSetPage : public Page, private ConfigureView, private GsmRunView {
  Q_OBJECT

 public:
  explicit TestSetPage(QWidget* parent = nullptr);
  // Cancels a run still going and waits for its bus call in progress.
  ~TestSetPage() override;

  // Memo4 and the note take the sheet's width and height; the right-hand column keeps its
  // distance to the sheet's right edge.
  void Relayout(int sheet_width, int sheet_height) override;
  // Cancels a run: it ends at its next bus call, without a log.
  void FormClose() override;

  MemoWidget* Memo4;
  QLineEdit* Edit28;
  QPushButton* Btpl;
  QPushButton* Bstart;
  QPushButton* Bstop;
  QLabel* Label77;
  // The run's progress: measurements done of the plan's total, and the estimated time left.
  QProgressBar* RunProgress;
  QLabel* TimeLeft;
  // "Bus trace": the next runs write every command and answer beside the log.
  QCheckBox* TraceBox;
  ElidedPathLabel* DriverNote;    // the connection: resource and transport
  ConnectionControl* Connection;  // the connection button ("...") and its dialog

  // The test-plan window, built when "Test Plan" first shows it (nullptr until then).
  TForm2* PlanWindow() const { return plan_window_; }
  // True while a run (or the call check before it) is going.
  bool RunInProgress() const { return worker_busy_; }
  // The run of the last Start Test (nullptr before the first).
  const GsmTestRun* LastRun() const { return run_.get(); }
  // Tests: the clock and log directory of the next runs; the beep's length.
  void SetRunEnvironment(RunClock* clock, const std::string& log_directory, int beep_ms);

 private:
  void Edit28KeyDown();
  // "Test Plan": hides the main window and shows the test-plan window centred on it; closing
  // that window shows the main window again.
  void BtplClick();
  // "Start Test": checks the call and runs the test on the worker thread. The window never
  // waits for the instrument: even the first question to the test set is the worker's.
  void BstartClick();
  void BstopClick();

  // What "Config" does to this page.
  void ClearMemo() override;
  void ResetCommandLineColour() override;
  void EnableStartTest() override;
  void CloseWindow() override;

  // GsmRunView: called on the worker, handed on to the GUI thread in order.
  void AppendLine(const std::string& line) override;
  std::vector<std::string> MemoLines() override;
  void SetTestTime(const std::string& caption) override;
  void SetRunning(bool running) override;
  void SetVerdictColour(VerdictColour colour) override;
  void ShowProgress(long done, long total, double elapsed_ms) override;
  void Beep(int beep_ms) override;
  bool AskToReconnect(const std::atomic<bool>& cancelled) override;

  // Runs `update` on the GUI thread after the updates posted before it.
  void Post(std::function<void()> update);
  void ShowLatestProgress();
  void ShowLatestTestTime();
  void JoinWorker();
  // A new file name for the bus trace of a run starting now, beside the logs.
  std::string NextTracePath();

  TForm2* plan_window_ = nullptr;
  std::unique_ptr<GsmTestRun> run_;
  std::thread worker_;
  std::atomic<bool> worker_busy_ = false;
  RunClock* clock_;
  std::string log_directory_ = "GSM Log";
  int beep_ms_ = 2000;
  // The latest progress, shown at most once per repaint interval.
  std::atomic<long> progress_done_ = 0;
  std::atomic<long> progress_total_ = 0;
  std::atomic<double> progress_elapsed_ms_ = 0;
  std::atomic<bool> progress_posted_ = false;
  // The latest test-time caption, shown at most once per repaint interval.
  std::mutex caption_mutex_;
  std::string latest_caption_;   // guarded by caption_mutex_
  bool caption_posted_ = false;  // guarded by caption_mutex_
};

}  // namespace vexa
