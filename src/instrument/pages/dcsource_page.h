// The "66319" page: the DC source's command line and memo, the current drain test (Config&&Test
// / Stop) with its elapsed time and running average, and the "Current Plot" window.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "instrument/pages/instrument_page_parts.h"
#include "instrument/pages/throttled_update.h"
#include "instrument/runs/current_plot_data.h"
#include "instrument/runs/current_test_run.h"
#include "instrument/runs/instrument_station.h"

#include "ui/elided_path_label.h"
#include "ui/labeled_edit.h"
#include "ui/memo_widget.h"
#include "ui/page.h"

namespace vexa {

class ConnectionControl;

class CurrentPlotWindow;

class DcSourcePage : public Page, private CurrentRunView {
  Q_OBJECT

 public:
  // Memo5 keeps this many lines; a run's log (streamed to its file) keeps every line.
  static constexpr std::size_t kMemoLineLimit = 20000;

  // The page works on `station`'s DC-source session; the station outlives it.
  explicit DcSourcePage(InstrumentStation& station, QWidget* parent = nullptr);
  // Cancels the page's work still going and waits for a bus call in progress that could not
  // be aborted (the window is gone by then).
  ~DcSourcePage() override;

  // Memo5 and the note widen with the sheet; the right-hand column keeps its distance to the
  // sheet's right edge (LabeledEdit15 and LabeledEdit17 their own second column).
  void Relayout(int sheet_width, int sheet_height) override;
  // Cancels the page's work without waiting for it: a run ends at its next bus call, without
  // summary or log, the console commands not yet sent are dropped, and a bus call in progress
  // is aborted where the transport allows it.
  void FormClose() override;

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
  ElidedPathLabel* DriverNote;    // the connection: resource and transport
  ConnectionControl* Connection;  // the connection button ("...") and its dialog
  QPushButton* PlotButton;        // opens the "Current Plot" window

  // True from "Config&&Test" until the page has seen its worker end.
  bool RunInProgress() const { return worker_busy_; }
  // True from Enter in the command line until every command given has been sent and answered.
  bool CommandsPending() const { return commands_.pending() > 0; }
  // The run of the last "Config&&Test" (nullptr before the first).
  const CurrentTestRun* LastRun() const { return run_.get(); }
  // The plot window, built when "Plot" first shows it (nullptr until then).
  CurrentPlotWindow* PlotWindow() const { return plot_window_; }
  // Tests: the clock, the log directory and the pause after the set-up of the next runs.
  void SetRunEnvironment(RunClock* clock, const std::string& log_directory, int settle_ms);

 private:
  // Enter: the command joins the page's command queue; the window goes on at once, and the
  // command line takes further commands, sent in the order given.
  void Edit29KeyDown();
  // "Config&&Test": reads the settings and runs the configuration and the test on a worker.
  void Button10Click();
  // "Stop": the run ends after its current batch.
  void Button1Click();
  void PlotClick();
  // On the GUI thread once the worker is done; `keep_swapped`: a field did not convert, and
  // the buttons stay as they are until "Stop".
  void WorkerEnded(bool keep_swapped);
  void JoinWorker();
  // The connection button: disabled while a run or a console command is going or queued.
  void UpdateConnection();

  // CurrentRunView: called on the worker, handed on to the GUI thread in order.
  void AppendLine(const std::string& line) override;
  void ClearMemo() override;
  std::vector<std::string> MemoLines() override;
  void AttachLog(MemoSink* log) override;
  void SetTestTime(const std::string& caption) override;
  void SetAverage(const std::string& caption) override;
  void SetRunning(bool running) override;
  bool DemoMode() override;
  void BatchFinished(const CurrentBatch& batch) override;

  // Runs `update` on the GUI thread after the updates posted before it.
  void Post(std::function<void()> update);
  void ShowLatestCaptions();
  void ShowLatestPlot();

  InstrumentStation& station_;
  std::unique_ptr<CurrentTestRun> run_;
  std::thread worker_;
  std::atomic<bool> worker_busy_ = false;
  std::atomic<bool> stop_requested_ = false;
  // Console commands, in the order given.
  PageCommands commands_{this, [this] { UpdateConnection(); }};
  // "Demo Mode" as the worker reads it: mirrored from CheckBox3 on every toggle.
  std::atomic<bool> demo_mode_ = false;
  // Where the memo stood when the run copied it for its log (worker thread).
  std::atomic<std::uint64_t> memo_copied_ = 0;
  RunClock* clock_;
  CurrentRunOptions options_;
  // The latest captions of Label75 and Label76, shown at most once per repaint interval.
  std::mutex caption_mutex_;
  std::string latest_time_;     // guarded by caption_mutex_
  std::string latest_average_;  // guarded by caption_mutex_
  ThrottledUpdate captions_update_{this, MemoWidget::kRepaintIntervalMs,
                                   [this] { ShowLatestCaptions(); }};
  // The run's picture, drawn at most kPlotIntervalMs apart.
  static constexpr int kPlotIntervalMs = 100;
  std::mutex plot_mutex_;
  CurrentPlotData plot_data_;  // guarded by plot_mutex_
  ThrottledUpdate plot_update_{this, kPlotIntervalMs, [this] { ShowLatestPlot(); }};
  CurrentPlotWindow* plot_window_ = nullptr;
};

}  // namespace vexa
