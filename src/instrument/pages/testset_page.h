// The "8960" page: the GSM test set's command line and memo, the test-plan window, and the GSM
// test run (Start Test / Stop Test) with its progress.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "instrument/pages/instrument_page_parts.h"
#include "instrument/pages/throttled_update.h"
#include "instrument/runs/gsm_test_run.h"
#include "instrument/runs/instrument_station.h"
#include "instrument/runs/testset_config.h"
#include "ui/elided_path_label.h"
#include "ui/memo_widget.h"
#include "ui/page.h"

namespace vexa {

class ConnectionControl;

class TForm2;

class TestSetPage : public Page, private ConfigureView, private GsmRunView {
  Q_OBJECT

 public:
  // Memo4 keeps this many lines; a run's log (streamed to its file) keeps every line.
  static constexpr std::size_t kMemoLineLimit = kGsmMemoLineLimit;

  // The page works on `station`'s test-set session and test plan; the station outlives it.
  explicit TestSetPage(InstrumentStation& station, QWidget* parent = nullptr);
  // Cancels the page's work still going and waits for a bus call in progress that could not
  // be aborted (the window is gone by then).
  ~TestSetPage() override;

  // Memo4 and the note take the sheet's width and height; the right-hand column keeps its
  // distance to the sheet's right edge.
  void Relayout(int sheet_width, int sheet_height) override;
  // Cancels the page's work without waiting for it: a run ends without a log, its
  // "Disconnected" box closes, the console commands not yet sent are dropped, the set-up stops
  // before its next command, and a bus call in progress is aborted where the transport
  // allows it.
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
  // True from Enter in the command line or "Config" until every command given has been sent
  // and answered (the page's command queue is idle).
  bool CommandsPending() const { return commands_.pending() > 0; }
  // The run of the last Start Test (nullptr before the first).
  const GsmTestRun* LastRun() const { return run_.get(); }
  // Tests: the clock and log directory of the next runs; the beep's length.
  void SetRunEnvironment(RunClock* clock, const std::string& log_directory, int beep_ms);

 private:
  // Enter: the command joins the page's command queue; the window goes on at once, and the
  // command line takes further commands, sent in the order given.
  void Edit28KeyDown();
  // "Test Plan": hides the main window and shows the test-plan window centred on it; closing
  // that window shows the main window again.
  void BtplClick();
  // "Start Test": checks the call and runs the test on the worker thread. The window never
  // waits for the instrument: even the first question to the test set is the worker's.
  void BstartClick();
  // "Stop Test": the run ends before its next bus call; a "Disconnected" box closes.
  void BstopClick();
  // "Config" in the test-plan window, after its capture: the set-up goes to the command
  // queue. Config, Start Test, Test Plan and the connection button wait for its end.
  void SendSetup(bool reset_checked);
  // On the GUI thread once the set-up has ended (`completed`: it ran to its last command).
  void SetupEnded(bool completed);
  // On the GUI thread once the run's worker has ended.
  // `outcome`: how the run ended (kNotStarted when Start Test refused or found no call).
  void WorkerEnded(RunOutcome outcome);
  // The connection button: disabled while any work of the page is going or queued.
  void UpdateConnection();

  // What "Config" does to this page.
  void ClearMemo() override;
  void ResetCommandLineColour() override;
  void EnableStartTest() override;
  void CloseWindow() override;
  void ShowSetupProgress(int sent, int total) override;
  // The set-up's progress in the bar, the label under it and the test-plan window.
  void ShowSetupStep(int sent, int total);
  // Edit28's normal colour, on the GUI thread.
  void ShowNormalColour();

  // GsmRunView: called on the worker, handed on to the GUI thread in order.
  void AppendLine(const std::string& line) override;
  std::vector<std::string> MemoLines() override;
  void AttachLog(std::shared_ptr<StreamedLog> log) override;
  std::shared_ptr<StreamedLog> AttachedLog() override;
  void SetTestTime(const std::string& caption) override;
  void SetRunning(bool running) override;
  void SetVerdictColour(VerdictColour colour) override;
  void ShowProgress(long done, long total, double elapsed_ms) override;
  void Beep(int beep_ms) override;
  ReconnectAnswer AskToReconnect(const std::atomic<bool>& stop_requested,
                                 const std::atomic<bool>& cancelled) override;

  // The "Disconnected" box, on the GUI thread, for the question the worker waits on.
  void ShowReconnectBox(int question);
  // Answers `question` (0: whichever question the worker waits on, if any) and closes its box.
  void AnswerReconnect(ReconnectAnswer answer, int question = 0);
  void CloseReconnectBox();

  // Runs `update` on the GUI thread after the updates posted before it.
  void Post(std::function<void()> update);
  void ShowLatestProgress();
  void ShowLatestTestTime();
  void JoinWorker();
  // A new file name for the bus trace of a run starting now, beside the logs.
  std::string NextTracePath();

  InstrumentStation& station_;
  TForm2* plan_window_ = nullptr;
  std::unique_ptr<GsmTestRun> run_;
  std::thread worker_;
  std::atomic<bool> worker_busy_ = false;
  // Console commands and the set-up, in the order given.
  PageCommands commands_{this, [this] { UpdateConnection(); }};
  bool setup_going_ = false;         // GUI thread: from "Config" until SetupEnded
  bool closing_ = false;             // GUI thread: FormClose was called
  bool start_before_setup_ = false;  // Start Test's state when the set-up began
  // The question of the "Disconnected" box: set while the worker waits for its answer.
  std::mutex reconnect_mutex_;
  std::condition_variable reconnect_answered_;
  bool reconnect_waiting_ = false;                   // guarded by reconnect_mutex_
  int reconnect_question_ = 0;                       // guarded by reconnect_mutex_; counts up
  std::optional<ReconnectAnswer> reconnect_answer_;  // guarded by reconnect_mutex_
  QPointer<QObject> reconnect_box_;                  // GUI thread
  RunClock* clock_;
  std::string log_directory_ = "GSM Log";
  int beep_ms_ = 2000;
  // The latest progress, shown at most once per repaint interval.
  std::atomic<long> progress_done_ = 0;
  std::atomic<long> progress_total_ = 0;
  std::atomic<double> progress_elapsed_ms_ = 0;
  ThrottledUpdate progress_update_{this, MemoWidget::kRepaintIntervalMs,
                                   [this] { ShowLatestProgress(); }};
  // The log Memo4 feeds (its tap): a run's, kept between the runs of an antenna series.
  std::mutex memo_log_mutex_;
  std::shared_ptr<StreamedLog> memo_log_;  // guarded by memo_log_mutex_
  // Where the memo stood when the run copied it for its log (worker thread).
  std::atomic<std::uint64_t> memo_copied_ = 0;
  // The latest test-time caption, shown at most once per repaint interval.
  std::mutex caption_mutex_;
  std::string latest_caption_;  // guarded by caption_mutex_
  ThrottledUpdate caption_update_{this, MemoWidget::kRepaintIntervalMs,
                                  [this] { ShowLatestTestTime(); }};
};

}  // namespace vexa
