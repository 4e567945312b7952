// The current drain test behind "Config&&Test" on the "66319" page: configures the DC source,
// then reads the phone's supply current in batches of 50 on a worker thread until the test
// time is over or "Stop", keeps the minimum, maximum, mean and an eight-bucket histogram,
// and ends with a summary and the log file. Qt-free: the page and vexa-cli drive it through a
// CurrentRunView.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/memo_sink.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/runs/gsm_test_run.h"
#include "instrument/runs/run_control.h"
#include "instrument/runs/run_log.h"

namespace vexa {

// The page's settings as the user typed them.
struct CurrentSettings {
  std::string voltage = "3.8";  // LabeledEdit14, V
  std::string interval = "20";  // LabeledEdit15, sample interval in us
  std::string points = "4096";  // LabeledEdit16, buffer length
  std::string minutes = "30";   // LabeledEdit17, test time
  int mode = 0;                 // ComboBox12: 0 dedicated 3 A, 1 idle 1 A, 2 shutdown 20 mA;
                                // -1 none chosen (no range command)
  bool show_samples = true;     // CheckBox2 "Test Data Showed"
};

inline constexpr int kReadingsPerBatch = 50;
inline constexpr long kCurrentAnswerSize = 40;
inline constexpr int kHistogramBuckets = 8;
// Failed reads in a row that end the run: the source has stopped answering.
inline constexpr int kFailedReadLimit = 3;

// The bucket of a reading (amperes), or -1 for 3 A or more. The thresholds are compared in
// double precision, so 0.01 A (held just below 0.01 in single precision) falls in bucket 1.
int CurrentBucket(float reading);

// The histogram line of `bucket` with its count and the share of `total` readings, percent.
std::string HistogramLine(int bucket, long count, long total);

// What one finished batch adds to the picture (the plot and the progress).
struct CurrentBatch {
  long batches = 0;       // batches done, this one included
  long readings = 0;      // readings so far (failed reads are none)
  double elapsed_ms = 0;  // since the start of the run
  double test_ms = 0;     // the whole test time
  float batch_mean = 0;   // this batch's readings, A
  float batch_min = 0;
  float batch_max = 0;
  double running_mean = 0;  // all readings so far, A
  std::array<long, kHistogramBuckets> histogram{};
};

class CurrentRunView {
 public:
  virtual ~CurrentRunView() = default;
  // Memo5. Every line the memo receives while a log is attached (the run's own lines and any
  // other, such as console echoes typed during the run) must also go to that log, in order.
  virtual void AppendLine(const std::string& line) = 0;
  virtual void ClearMemo() = 0;
  // The memo's lines now (the start of the log: what the memo held before the samples).
  virtual std::vector<std::string> MemoLines() = 0;
  // Where the memo's lines go from now on besides the memo; nullptr detaches. Called by the
  // run on the worker thread right after MemoLines(): a line the memo receives between the two
  // calls must still reach the log (the view closes that gap, e.g. by remembering how many
  // lines MemoLines() gave).
  virtual void AttachLog(MemoSink* log) = 0;
  // Label75 and Label76.
  virtual void SetTestTime(const std::string& caption) = 0;
  virtual void SetAverage(const std::string& caption) = 0;
  // Running: "Config&&Test" disabled, "Stop" enabled; idle: the reverse.
  virtual void SetRunning(bool running) = 0;
  // "Demo Mode", read for every reading.
  virtual bool DemoMode() = 0;
  // After every batch (the plot, the progress).
  virtual void BatchFinished(const CurrentBatch& batch) = 0;
};

// The texts of the test.
inline constexpr const char* kSampleRateRefusal = "sample rate should between 15.6us and 31200s !";
inline constexpr const char* kBufferLengthRefusal = "buffer length should between 1 and 4096 !";
inline constexpr const char* kTestTimeRefusal = "test time should be a number of minutes above 0 !";
// The last line of a run that the DC source's silence ended.
inline constexpr const char* kSourceSilentLine =
    "Test ended early: the DC source gave no reading 3 times in a row";
inline constexpr const char* kCurrentFinishedLine =
    ">>>>>>>>>>>>>>>>>Current Test Finished !>>>>>>>>>>>>>>>>>>>>";

struct CurrentRunOptions {
  std::string log_directory = "Current Log";
  // The pause after the set-up, ms.
  int settle_ms = 200;
  // Seed of the demo readings (any uniform source will do; fixed for repeatable tests).
  std::uint32_t demo_seed = 0;
};

class CurrentTestRun {
 public:
  CurrentTestRun(InstrumentSession& session, CurrentRunView& view, RunClock& clock,
                 CurrentRunOptions options = {});
  ~CurrentTestRun();
  CurrentTestRun(const CurrentTestRun&) = delete;
  CurrentTestRun& operator=(const CurrentTestRun&) = delete;

  // "Config&&Test" up to the start of the worker (the caller's thread): clears the memo,
  // refuses a test time that is not a number above 0, creates the log (its temporary file) and
  // refuses, with the reason in the memo, when it cannot be created, opens the DC source (demo mode
  // goes on without it), sends the set-up and checks the interval and the buffer length. Returns
  // true when the worker may start. A field that is not a number throws ConversionError after the
  // buttons were swapped, as the page's guard expects; the run flag is then clear.
  bool Configure(const CurrentSettings& settings, bool demo_mode);
  // The worker: batches until the test time is over or Stop, then the summary and the log.
  // kNotStarted without a Configure that returned true.
  RunOutcome Run();

  // "Stop" (any thread): the run ends before its next bus call, with its summary over the
  // readings so far and its log.
  void RequestStop();
  // Closing the window (any thread): the run ends at once, without summary or log and without
  // further view calls; a bus call in progress is aborted where the transport allows it.
  void Cancel();
  // True from a Configure that let the worker start until the run ends or is asked to end.
  bool running() const { return configured_ && !control_.ending(); }

  // After Run: the log written ("" when none) and whether writing it failed.
  const std::string& log_path() const { return log_path_; }
  bool log_failed() const { return log_failed_; }
  long readings() const { return readings_; }
  // True when the run ended because the DC source stopped answering (kFailedReadLimit failed
  // reads in a row).
  bool source_failed() const { return source_failed_; }

 private:
  using Cancelled = RunControl::Cancelled;
  using Stopped = RunControl::Stopped;
  // Before every bus call: throws Cancelled, or Stopped after Stop.
  void CheckStopAndCancel();
  // One "MEAS:CURR?" on the session's current descriptor (a console command that opens the
  // source anew during the run is followed, as the page's command line shares the session).
  // The current in amperes, or no value when the source gave none (a failed write or read,
  // or an answer without a number): the memo then has one line saying so.
  std::optional<float> ReadCurrent();
  // The run's figures back at their start values.
  void ResetFigures();
  // One batch of readings, then its report (time, average, the batch's figures). Returns the
  // time at its end. Throws Stopped after the report when Stop ended it early.
  double RunBatch(double start);
  // Adds one reading to the run's figures and its sample line to the memo.
  void Count(float reading);
  void Summarise();

  InstrumentSession& session_;
  CurrentRunView& view_;
  RunClock& clock_;
  CurrentRunOptions options_;

  RunControl control_{session_};
  // From a Configure that let the worker start until the run ends.
  std::atomic<bool> configured_ = false;

  // Copied at the start.
  bool show_samples_ = true;
  double test_seconds_ = 0;
  double pace_ms_ = 0;  // demo readings without an answer: the time a real reading takes

  // The run's state.
  std::array<char, kCurrentAnswerSize + 1> answer_{};
  float maximum_ = -1;
  float minimum_ = 3;
  double sum_ = 0;
  long batches_ = 0;
  long readings_ = 0;
  int failures_in_row_ = 0;
  bool source_failed_ = false;
  std::array<long, kHistogramBuckets> histogram_{};
  std::uint32_t random_state_ = 0;
  std::string log_path_;
  bool log_failed_ = false;
  // From Configure to Run: the log, created before the first command.
  std::unique_ptr<StreamedLog> log_file_;
};

}  // namespace vexa
