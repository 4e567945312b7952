// vexa-cli current-test: the current drain test of the "66319" page without the window. Sets
// the page's fields from the options, presses "Config&&Test", prints the memo lines as they
// come and the progress on stderr, and writes the same log file as the page.
#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/connection_options.h"
#include "cli/run_terminal.h"
#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/latin1.h"
#include "core/text_format.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/runs/current_plot_data.h"
#include "instrument/runs/current_test_run.h"
#include "instrument/runs/instrument_station.h"

namespace vexa::cli {
namespace {

// The page on a terminal: memo lines on stdout as they come (Latin-1 bytes printed as UTF-8)
// and into the run's log while one is attached; progress on stderr (one updating line when
// stderr is a terminal, a plain line every tenth of the test time otherwise); one CSV point per
// batch. Only the lines from before the run are kept: they start the log. Also the DC-source
// session's memo, so the open-failure line lands in the memo.
class TerminalCurrentView : public CurrentRunView, public MemoSink {
 public:
  TerminalCurrentView(std::ostream& out, std::ostream& err, bool demo)
      : out_(out), err_(err), demo_(demo), progress_(err) {}

  void AppendLine(const std::string& line) override {
    progress_.Erase();
    out_ << Latin1ToUtf8(line) << '\n';
    out_.flush();
    if (log_)
      log_->AppendLine(line);
    else
      lines_.push_back(line);
  }
  void ClearMemo() override { lines_.clear(); }
  std::vector<std::string> MemoLines() override { return lines_; }
  void AttachLog(MemoSink* log) override { log_ = log; }
  void SetTestTime(const std::string& /*caption*/) override {}
  void SetAverage(const std::string& /*caption*/) override {}
  void SetRunning(bool running) override {
    if (!running)
      progress_.End();
  }
  bool DemoMode() override { return demo_; }
  void BatchFinished(const CurrentBatch& batch) override {
    batches_.push_back(BatchPoint(batch));
    ShowProgress(batch);
  }
  // Every batch of the run, one point each (a few hundred for a 30-minute test).
  const std::vector<CurrentPlotPoint>& batches() const { return batches_; }

 private:
  void ShowProgress(const CurrentBatch& batch) {
    if (batch.test_ms <= 0)
      return;
    const double done = std::min(batch.elapsed_ms / batch.test_ms, 1.0);
    const double left = std::max(batch.test_ms - batch.elapsed_ms, 0.0);
    progress_.Show(
        Format("Progress: %ld readings (%d%%), elapsed %s, left %s, Aver %f mA", batch.readings,
               static_cast<int>(done * 100.0), MinutesAndSeconds(batch.elapsed_ms).c_str(),
               MinutesAndSeconds(left).c_str(), batch.running_mean * 1000.0),
        done, batch.elapsed_ms);
  }

  std::ostream& out_;
  std::ostream& err_;
  const bool demo_;
  ProgressLine progress_;
  std::vector<CurrentPlotPoint> batches_;
  MemoSink* log_ = nullptr;
  std::vector<std::string> lines_;
};

// Exit codes of current-test.
enum : int {
  kFinished = 0,
  kRefused = 1,
  kUsage = 2,
  kStoppedEarly = 4,
};

// What the command line asks of current-test.
struct CurrentTestArgs {
  CurrentSettings settings;
  bool demo = false;
  std::string csv;
};

// Reads the arguments; false, with the reason on `err`, for bad usage.
bool ReadCurrentTestArgs(const std::vector<std::string>& args, CurrentTestArgs& read,
                         std::ostream& err) {
  CurrentSettings& settings = read.settings;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    std::string* field = arg == "--voltage"    ? &settings.voltage
                         : arg == "--interval" ? &settings.interval
                         : arg == "--points"   ? &settings.points
                         : arg == "--minutes"  ? &settings.minutes
                                               : nullptr;
    if (field && has_value) {
      *field = args[++i];
    } else if (arg == "--mode" && has_value && args[i + 1] == "dedicated") {
      settings.mode = 0;
      ++i;
    } else if (arg == "--mode" && has_value && args[i + 1] == "idle") {
      settings.mode = 1;
      ++i;
    } else if (arg == "--mode" && has_value && args[i + 1] == "shutdown") {
      settings.mode = 2;
      ++i;
    } else if (arg == "--csv" && has_value && !args[i + 1].empty()) {
      read.csv = args[++i];
    } else if (arg == "--demo") {
      read.demo = true;
    } else if (arg == "--no-samples") {
      settings.show_samples = false;
    } else {
      err << "vexa-cli: unknown or incomplete argument '" << arg
          << "' for current-test (see --help)\n";
      return false;
    }
  }
  return true;
}

int RunCurrentTest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CurrentTestArgs read;
  if (!ReadCurrentTestArgs(args, read, err))
    return kUsage;
  const CurrentSettings& settings = read.settings;
  const bool demo = read.demo;
  const std::string& csv = read.csv;

  // The CSV is written whole at the end; a file that cannot be written refuses the test
  // before it begins.
  if (!csv.empty()) {
    if (const int error = CheckFileWritable(csv); error != 0) {
      err << "vexa-cli: cannot write " << csv << ": " << std::strerror(error) << '\n';
      return kRefused;
    }
  }

  InstrumentStation station;
  if (!ConnectStation(station, err))
    return kUsage;
  err << station.DcSourceDevice.ConnectionNote() << '\n';
  StopSignals signals;
  TerminalCurrentView view(out, err, demo);
  station.DcSourceDevice.SetMemo(&view);
  int code = kFinished;
  bool ran = false;
  {
    CurrentTestRun run(station.DcSourceDevice, view, SystemRunClock());
    // Stop from the signal's watcher, also while the run waits in a bus call.
    const StopSignals::ActionScope stop = signals.OnStop([&run] { run.RequestStop(); });
    bool configured = false;
    try {
      configured = run.Configure(settings, demo);
    } catch (const Error& error) {
      err << MessageWithFullStop(error.what()) << '\n';
    }
    ran = configured;
    if (!configured) {
      code = kRefused;
    } else {
      // Interrupted during the set-up: the run ends before its first batch.
      if (Interrupted())
        run.RequestStop();
      const RunOutcome outcome = run.Run();
      if (run.log_failed()) {
        code = kRefused;
      } else if (run.source_failed()) {
        err << "The DC source stopped answering: the run ended early.\n";
        code = kRefused;
      } else if (outcome != RunOutcome::kFinished) {
        err << "Test stopped before the end.\n";
        code = kStoppedEarly;
      }
    }
  }
  station.DcSourceDevice.DetachMemo(&view);
  out.flush();
  // The batches of a run that began, also one stopped early, in the plot's "Save CSV" format.
  if (!csv.empty() && ran) {
    if (const int error = ReplaceFileAtomically(csv, CurrentCsv(view.batches())); error != 0) {
      err << "vexa-cli: cannot write " << csv << ": " << std::strerror(error) << '\n';
      code = kRefused;
    }
  }
  return code;
}

}  // namespace

std::vector<Command> CurrentTestCommands() {
  return {
      {"current-test",
       "current-test [--voltage V] [--interval US] [--points N] [--mode "
       "dedicated|idle|shutdown] [--minutes T] [--demo] [--no-samples] [--csv FILE]",
       "Set the \"66319\" page's fields (defaults: 3.8 V, 20 us, 4096 points, dedicated mode, "
       "30 minutes, samples shown), press Config&&Test and print the memo lines as they come "
       "(one \"No.N Current: X mA\" line per reading unless --no-samples, then the summary "
       "and histogram); progress and time left go to stderr. The log is written to \"Current "
       "Log\" under the working directory. --demo runs on random readings when the DC source "
       "cannot be opened; --csv writes one row per batch of 50 readings (elapsed_s, mean_mA, "
       "min_mA, max_mA, batches: the plot's \"Save CSV\" format) at the end. SIGINT, SIGTERM or "
       "SIGHUP acts as Stop: the run ends before its next reading with the summary and the "
       "log. A failed read is no reading (one memo line each); 3 in a row end the run with its "
       "summary and log. Exit code 0 finished, 4 stopped, 1 refused at the set-up (no DC "
       "source, a field out of range or not a number, a --csv FILE that cannot be written), "
       "the DC source stopped answering, or the log or the CSV could not be written.",
       RunCurrentTest},
  };
}

}  // namespace vexa::cli
