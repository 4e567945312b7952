// vexa-cli gsm-test: the GSM test run without the window. Configures the test set as
// `vexa-cli configure` does, presses Start Test, prints the memo lines as they come and the
// progress on stderr, and writes the same log file as the page.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/connection_options.h"
#include "cli/run_terminal.h"
#include "cli/testset_cli.h"
#include "core/text_format.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/runs/gsm_test_run.h"
#include "instrument/runs/test_plan.h"

namespace vexa::cli {
namespace {

// The run's view on a terminal: memo lines on stdout, progress on stderr (one updating line
// when stderr is a terminal, a plain line every tenth of the run otherwise), the
// "Disconnected" box as a line on stderr.
class TerminalRunView : public GsmRunView {
 public:
  TerminalRunView(StreamPage& page, std::ostream& err) : page_(page), err_(err), progress_(err) {}

  void AppendLine(const std::string& line) override {
    progress_.Erase();
    page_.AppendLine(line);
  }
  void ClearMemo() override { page_.ClearMemo(); }
  std::vector<std::string> MemoLines() override { return page_.lines(); }
  // The page holds the log, so that the session's own memo lines reach it too.
  void AttachLog(std::shared_ptr<StreamedLog> log) override { page_.AttachLog(std::move(log)); }
  std::shared_ptr<StreamedLog> AttachedLog() override { return page_.log(); }
  void SetTestTime(const std::string& /*caption*/) override {}
  void SetRunning(bool running) override {
    if (!running)
      progress_.End();
  }
  void SetVerdictColour(VerdictColour /*colour*/) override {}
  void ShowProgress(long done, long total, double elapsed_ms) override {
    if (total <= 0)
      return;
    const double left = done > 0 ? elapsed_ms / done * static_cast<double>(total - done) : 0;
    progress_.Show(Format("Progress: %ld/%ld measurements (%ld%%), elapsed %s, left %s", done,
                          total, done * 100 / total, MinutesAndSeconds(elapsed_ms).c_str(),
                          done > 0 ? MinutesAndSeconds(left).c_str() : "--m:--s"),
                   static_cast<double>(done) / static_cast<double>(total), elapsed_ms);
  }
  void Beep(int /*beep_ms*/) override {
    progress_.Erase();
    err_ << '\a' << std::flush;
  }
  ReconnectAnswer AskToReconnect(const std::atomic<bool>& stop_requested,
                                 const std::atomic<bool>& /*cancelled*/) override {
    progress_.Erase();
    err_ << kConnectMsLine << '\n' << std::flush;
    // Interrupted while the call is down: the run gives up waiting and ends as stopped.
    return Interrupted() || stop_requested ? ReconnectAnswer::kStopTest : ReconnectAnswer::kRetry;
  }

 private:
  StreamPage& page_;
  std::ostream& err_;
  ProgressLine progress_;
};

// Exit codes of gsm-test.
enum : int {
  kPassed = 0,
  kRefused = 1,
  kUsage = 2,
  kFailed = 3,
  kStoppedEarly = 4,
};

int RunGsmTest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool no_reset = false;
  bool series = false;
  std::string file;
  std::string trace;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--no-rst") {
      no_reset = true;
    } else if (arg == "--series") {
      series = true;
    } else if (arg == "--trace" && i + 1 < args.size() && !args[i + 1].empty()) {
      trace = args[++i];
    } else if (arg.rfind("--", 0) != 0 && !arg.empty() && file.empty()) {
      file = arg;
    } else {
      err << "vexa-cli: unknown or incomplete argument '" << arg << "' for gsm-test (see --help)\n";
      return kUsage;
    }
  }

  // A signal during the set-up lets it finish (the test set is not left half set up); then
  // no run starts.
  StopSignals signals;
  InstrumentStation station;
  if (!ConnectStation(station, err))
    return kUsage;
  StreamPage page(out);
  if (ConfigureFromPlan(station, file, no_reset, page, err) != 0)
    return kRefused;
  if (series && station.Plan.antennaMode && station.Plan.antennaStep <= 0) {
    err << "vexa-cli: --series needs a Degree/Turn of 1 or more; with " << station.Plan.antennaStep
        << " the antenna never makes a full turn.\n";
    return kRefused;
  }

  TerminalRunView view(page, err);
  station.TestSetDevice.SetMemo(&page);
  int code = kPassed;
  bool write_failed = false;
  for (int run_number = 1;; ++run_number) {
    if (signals.StopRequested()) {
      err << "Test stopped before the end.\n";
      code = kStoppedEarly;
      break;
    }
    GsmRunOptions options;
    options.trace_path = trace;
    options.trace_append = run_number > 1;
    GsmTestRun run(station.Plan, station.TestSetDevice, view, SystemRunClock(), options);
    // Stop Test from the signal's watcher, also while the run waits in a bus call.
    const StopSignals::ActionScope stop = signals.OnStop([&run] { run.RequestStop(); });
    if (!run.Start()) {
      // A log or trace that cannot be written: the reason, in the memo, goes to stderr too.
      if (!run.start_error().empty())
        err << "vexa-cli: " << run.start_error() << "; the test was not started.\n";
      code = kRefused;
      break;
    }
    const RunOutcome outcome = run.Run();
    if (outcome != RunOutcome::kFinished) {
      err << "Test stopped before the end.\n";
      code = kStoppedEarly;
      break;
    }
    const bool series_goes_on = station.Plan.antennaMode && station.Plan.antennaAngle < 360;
    // A trace of a series' earlier run that could not be written counts too.
    write_failed = write_failed || run.log_failed();
    if (!series || !series_goes_on) {
      code = write_failed ? kRefused : run.any_failure() ? kFailed : kPassed;
      break;
    }
  }
  station.TestSetDevice.DetachMemo(&page);
  out.flush();
  return code;
}

}  // namespace

std::vector<Command> GsmTestCommands() {
  return {
      {"gsm-test", "gsm-test [FILE] [--no-rst] [--series] [--trace FILE]",
       "Configure the test set as configure does (FILE or the start-up plan), press Start Test "
       "and print the memo lines as they come; progress and time left go to stderr. The log is "
       "written to \"GSM Log\" under the working directory. --series presses Start Test again "
       "after each run until an antenna series is complete; --trace writes every command and "
       "answer with a time stamp to FILE. SIGINT, SIGTERM or SIGHUP acts as Stop Test. Exit code 0 "
       "\"Passed\", 3 \"Failed\", 4 stopped before the end, 1 refused at the start (no call, "
       "plan error, a log folder or trace FILE that cannot be written) or the log could not be "
       "written.",
       RunGsmTest},
  };
}

}  // namespace vexa::cli
