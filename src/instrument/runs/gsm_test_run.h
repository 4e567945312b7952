// The GSM test run behind "Start Test" on the "8960" page: checks the call, then walks the test
// plan band by band, channel by channel and level by level on a worker thread, measures the
// chosen items, logs one line per result and writes the log file at the end. Qt-free: the page
// and vexa-cli drive it through a GsmRunView.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "instrument/bus/instrument_session.h"
#include "instrument/runs/gsm_measure.h"
#include "instrument/runs/run_control.h"
#include "instrument/runs/run_log.h"
#include "instrument/runs/test_plan.h"

namespace vexa {

// The overall verdict's colour of the command line (Edit28).
enum class VerdictColour { kNormal, kFailed, kPassed };

// The operator's answer to the "Disconnected" box.
enum class ReconnectAnswer {
  kRetry,     // OK: the call is asked for again
  kStopTest,  // the run ends as Stop Test ends it
};

// What the run does to the window. Called on the worker thread (except where noted); the
// page hands each call on to the GUI thread, in order.
class GsmRunView {
 public:
  virtual ~GsmRunView() = default;
  // Memo4: append one line (Latin-1). Every line the memo receives while a log is attached
  // (the run's own lines and any other, such as console echoes or bus errors) must also go to
  // that log, in the memo's order.
  virtual void AppendLine(const std::string& line) = 0;
  // Clears the memo and lets go of its log (as AttachLog(nullptr)): Config and a Start Test
  // that begins a new log both clear the memo.
  virtual void ClearMemo() = 0;
  // The lines the memo keeps now (the page keeps the newest kGsmMemoLineLimit): the start of
  // a log when an antenna series begins on a memo that was not cleared.
  virtual std::vector<std::string> MemoLines() = 0;
  // The log of the memo: from this call on every line the memo receives also goes to `log`,
  // and so does any line it received since the last MemoLines() call (the view closes that
  // gap, e.g. by remembering how many lines MemoLines() gave). The view holds `log` until
  // another log (or nullptr) is attached or the memo is cleared, also between the runs of an
  // antenna series, so that the series' log receives what the memo gets between its runs.
  // Called on the worker thread.
  virtual void AttachLog(std::shared_ptr<StreamedLog> log) = 0;
  // The log attached now (nullptr when none): an antenna series goes on in it.
  virtual std::shared_ptr<StreamedLog> AttachedLog() = 0;
  // Label77's caption ("Test time is 01m:05s").
  virtual void SetTestTime(const std::string& caption) = 0;
  // Running: Start Test and Test Plan disabled, Stop Test enabled; not running: the reverse.
  virtual void SetRunning(bool running) = 0;
  virtual void SetVerdictColour(VerdictColour colour) = 0;
  // Measurements done of the run's total, and the elapsed time, after every measurement.
  virtual void ShowProgress(long done, long total, double elapsed_ms) = 0;
  // The call is down: sound the beep (1,000 Hz, `beep_ms` long; the run waits that long).
  virtual void Beep(int beep_ms) = 0;
  // The "Disconnected" box: "Connect MS, and try again!" with "OK" (ask the test set again)
  // and "Stop Test"; returns when the operator answered, or at once with kStopTest when Stop
  // Test was pressed meanwhile (`stop_requested`). `cancelled` becomes true when the run is
  // cancelled while the box is up; the view should then return at once.
  virtual ReconnectAnswer AskToReconnect(const std::atomic<bool>& stop_requested,
                                         const std::atomic<bool>& cancelled) = 0;
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

// Memo4 keeps this many lines (the newest); the log, written while the run goes, keeps every
// line.
inline constexpr std::size_t kGsmMemoLineLimit = 20000;

struct GsmRunOptions {
  // Where the log goes. The run creates its log there (a temporary file, named at the end)
  // before it sends its first command, and refuses to start when it cannot.
  std::string log_directory = "GSM Log";
  int beep_ms = 2000;
  // When not empty, every command and answer of the run is written here with a time stamp:
  // into a temporary file beside it, created before the first command (a folder that cannot
  // take it, or a trace path naming a folder, refuses the start), which replaces the file
  // whole when the run ends, however it ends. A Start without a call leaves the file as it
  // was.
  std::string trace_path;
  // Add to the trace file instead of starting it anew (the runs of an antenna series).
  bool trace_append = false;
};

// How a run ended.
enum class RunOutcome {
  kNotStarted,  // Start Test refused: no call, or the log or the trace could not be created
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
  GsmTestRun(TestPlan& plan, InstrumentSession& session, GsmRunView& view, RunClock& clock,
             GsmRunOptions options = {});
  ~GsmTestRun();
  GsmTestRun(const GsmTestRun&) = delete;
  GsmTestRun& operator=(const GsmTestRun&) = delete;

  // "Start Test" before the worker starts (the caller's thread): resets the command line's
  // colour, creates the log (or goes on with the antenna series' log the view holds) and the
  // bus trace, asks the test set for the call, and clears the memo unless an antenna series
  // goes on. The memo's log then collects every memo line until the log is written: the
  // memo's lines since that clear, as the memo would hold them all. Returns false, with the
  // reason in the memo (and in start_error()), when the log or the trace cannot be created
  // (before any command is sent), or with "Connect MS, and try again!" when there is no call.
  bool Start();
  // The worker's procedure: one whole run after a Start that returned true (kNotStarted
  // otherwise). Returns how it ended. A run that is stopped or cancelled leaves no log: its
  // log's temporary file goes, unless an antenna series goes on after a Stop Test, whose log
  // the view keeps for the series' next run.
  RunOutcome Run();
  // Why the last Start refused because of a file ("" when it did not).
  const std::string& start_error() const { return start_error_; }

  // "Stop Test" (any thread): the run ends before its next bus call, or at once while it
  // waits for the call, without a log.
  void RequestStop();
  bool stop_requested() const { return control_.stop_requested(); }
  // Closing the window (any thread): the run ends at once, without end lines, log or further
  // view calls but the one that lets go of its log. A bus call in progress is aborted where the
  // transport allows it; otherwise the run ends when it returns.
  void Cancel();

  // The overall result of the last finished run; the log file it wrote ("" when none).
  bool any_failure() const { return any_failure_; }
  const std::string& log_path() const { return log_path_; }
  // True when the last log, or the bus trace of the last run, could not be written (the memo
  // says why).
  bool log_failed() const { return log_failed_; }

 private:
  class Bus;
  using Cancelled = RunControl::Cancelled;
  using Stopped = RunControl::Stopped;

  void RunPlan(Bus& bus);
  // While the call is down: the beep, then the "Disconnected" box; then asks again.
  void CallCheck(Bus& bus);
  void TimeUpdate();
  // The time update, then the end of the run when Stop Test was pressed (throws Stopped).
  void PollStop();
  // Before every bus call: throws Cancelled or, after Stop Test, Stopped.
  void CheckStopAndCancel();
  // GsmResultSink: the result lines and failures of MeasureItem.
  void AppendLine(const std::string& line) override;
  void MarkFailure() override;
  void Measure(Bus& bus, int band, int channel_position, int level_position, int item);
  void Finish();
  void WriteLog();
  // Start's refusal for a file that cannot be written: the reason in the memo.
  bool RefuseStart(const std::string& reason);
  // Creates the trace's temporary file (with the trace so far when the run adds to it); 0 or
  // the errno value.
  int OpenTrace();
  // The end of Run: the trace put in place; a failure is a memo line and counts as a log
  // that could not be written.
  void SaveTrace();
  // The end of Start or Run: the trace's temporary gone; the log let go of, kept attached
  // when `keep_log` (an antenna series goes on), else detached from the memo, which removes
  // its temporary file when it was not written.
  void ReleaseFiles(bool keep_log);

  TestPlan& plan_;
  InstrumentSession& session_;
  GsmRunView& view_;
  RunClock& clock_;
  GsmRunOptions options_;

  RunControl control_{session_};

  bool any_failure_ = false;
  float previous_tx_power_ = 0;
  double start_ms_ = 0;
  long measurements_done_ = 0;
  long measurements_total_ = 0;
  std::string log_path_;
  bool log_failed_ = false;
  // From Start to the end of Run: the log this run writes into, and the trace.
  std::shared_ptr<StreamedLog> log_;
  std::unique_ptr<PendingFile> trace_;
  std::string start_error_;
};

}  // namespace vexa
