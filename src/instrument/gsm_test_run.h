// The GSM test run behind "Start Test" on the "8960" page: checks the call, then walks the test
// plan band by band, channel by channel and level by level on a worker thread, measures the
// chosen items, logs one line per result and writes the log file at the end. Qt-free: the page
// and vexa-cli drive it through a GsmRunView.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "instrument/gpib_session.h"
#include "instrument/gsm_measure.h"
#include "instrument/run_log.h"
#include "instrument/test_plan.h"

namespace vexa {

// The overall verdict's colour of the command line (Edit28).
enum class VerdictColour { kNormal, kFailed, kPassed };

// What the run does to the window. Called on the worker thread (except where noted); the
// page hands each call on to the GUI thread, in order.
class GsmRunView {
 public:
  virtual ~GsmRunView() = default;
  // Memo4: append one line (Latin-1), clear, and all lines so far (what the log receives).
  virtual void AppendLine(const std::string& line) = 0;
  virtual void ClearMemo() = 0;
  virtual std::vector<std::string> MemoLines() = 0;
  // Label77's caption ("Test time is 01m:05s").
  virtual void SetTestTime(const std::string& caption) = 0;
  // Running: Start Test and Test Plan disabled, Stop Test enabled; not running: the reverse.
  virtual void SetRunning(bool running) = 0;
  virtual void SetVerdictColour(VerdictColour colour) = 0;
  // Measurements done of the run's total, and the elapsed time, after every measurement.
  virtual void ShowProgress(long done, long total, double elapsed_ms) = 0;
  // The call is down: sound the beep (1,000 Hz, `beep_ms` long; the run waits that long).
  virtual void Beep(int beep_ms) = 0;
  // The "Disconnected" box: "Connect MS, and try again!"; returns when the operator answered.
  // Returns false to give the run up (the command line's interrupt); the page always retries.
  // `cancelled` becomes true when the run is cancelled while the box is up; the view should
  // then return at once.
  virtual bool AskToReconnect(const std::atomic<bool>& cancelled) = 0;
};

// The clocks of the run: a millisecond clock for the test time and the UTC time for the log
// name. Tests inject their own.
class RunClock {
 public:
  virtual ~RunClock() = default;
  virtual double NowMs() = 0;
  virtual UtcTime NowUtc() = 0;
};

// The system's clocks.
RunClock& SystemRunClock();

struct GsmRunOptions {
  std::string log_directory = "GSM Log";
  int beep_ms = 2000;
  // When not empty, every command and answer of the run is written here with a time stamp.
  std::string trace_path;
  // Add to the trace file instead of starting it anew (the runs of an antenna series).
  bool trace_append = false;
};

// How a run ended.
enum class RunOutcome {
  kNotStarted,  // Start Test found no call
  kFinished,    // the end lines (and, unless an antenna series goes on, the log) are written
  kStopped,     // Stop Test
  kCancelled,   // the window closed, or the operator gave up waiting for the call
};

// The texts of the run.
inline constexpr const char* kConnectMsLine = "Connect MS, and try again!";
inline constexpr const char* kDisconnectedCaption = "Disconnected";
inline constexpr const char* kRunHeaderLine =
    "BAND:CN :PCL\tTestItem      \tResult\tLimit1\tLimit2\tCheck";
inline constexpr const char* kTestFinishedLine = "Test finished";
inline constexpr const char* kOverallFailed = "Failed>>>>>>>>>>>>>>>>";
inline constexpr const char* kOverallPassed = "Passed<<<<<<<<<<<<<<<<";
inline constexpr const char* kCreditLine = "Logged by VEXA 2.02, the RF toolbox for GSM phones";

// "Test time is %02dm:%02ds" for an elapsed time in milliseconds.
std::string TestTimeCaption(double elapsed_ms);

// The number of measurements (MeasureItem calls) a run of `plan` makes.
long CountMeasurements(const TestPlan& plan);

class GsmTestRun : private GsmResultSink {
 public:
  GsmTestRun(TestPlan& plan, GpibSession& session, GsmRunView& view, RunClock& clock,
             GsmRunOptions options = {});
  ~GsmTestRun();
  GsmTestRun(const GsmTestRun&) = delete;
  GsmTestRun& operator=(const GsmTestRun&) = delete;

  // "Start Test" before the worker starts (the caller's thread): resets the command line's
  // colour, asks the test set for the call, and clears the memo unless an antenna series goes
  // on. Returns false, with "Connect MS, and try again!" in the memo, when there is no call.
  bool Start();
  // The worker's procedure: one whole run. Returns how it ended.
  RunOutcome Run();

  // "Stop Test" (any thread): the run ends at its next poll, after the current level or
  // channel.
  void RequestStop() { stop_requested_ = true; }
  bool stop_requested() const { return stop_requested_; }
  // Closing the window (any thread): the run ends at its next bus call or poll, or at once
  // while it waits for the call, without end lines, log or further view calls.
  void Cancel();

  // The overall result of the last finished run; the log file it wrote ("" when none).
  bool any_failure() const { return any_failure_; }
  const std::string& log_path() const { return log_path_; }
  // True when the last log could not be written (the memo says why).
  bool log_failed() const { return log_failed_; }

 private:
  class Bus;
  struct Cancelled {};
  struct Stopped {};

  void RunPlan(Bus& bus);
  // While the call is down: the beep, then the "Disconnected" box; then asks again.
  void CallCheck(Bus& bus);
  void TimeUpdate();
  // The time update, then the end of the run when Stop Test was pressed (throws Stopped).
  void PollStop();
  // GsmResultSink: the result lines and failures of MeasureItem.
  void AppendLine(const std::string& line) override;
  void MarkFailure() override;
  void Measure(Bus& bus, int band, int channel_position, int level_position, int item);
  void Finish();
  void WriteLog();
  // Waits `ms` milliseconds or until the run is cancelled.
  void Wait(int ms);

  TestPlan& plan_;
  GpibSession& session_;
  GsmRunView& view_;
  RunClock& clock_;
  GsmRunOptions options_;

  std::atomic<bool> stop_requested_ = false;
  std::atomic<bool> cancelled_ = false;
  std::mutex wait_mutex_;
  std::condition_variable wait_condition_;

  bool any_failure_ = false;
  float previous_tx_power_ = 0;
  double start_ms_ = 0;
  long measurements_done_ = 0;
  long measurements_total_ = 0;
  std::string log_path_;
  bool log_failed_ = false;
};

}  // namespace vexa
