// What `vexa-cli configure` and `vexa-cli gsm-test` share: the "8960" page on a terminal, and
// the configuration from a plan file or the start-up plan.
#pragma once

#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/memo_sink.h"
#include "instrument/runs/gsm_test_run.h"
#include "instrument/runs/instrument_station.h"
#include "instrument/runs/run_log.h"
#include "instrument/runs/testset_config.h"

namespace vexa::cli {

// The memo lines on `out` as they come (Latin-1 bus bytes printed as UTF-8). While a run's log
// is attached they go to it as well; otherwise the newest kGsmMemoLineLimit are kept, as the
// page's memo keeps them (the start of an antenna series' log), so a long run keeps no lines in
// memory. The window effects have nothing to show on a terminal but whether Start Test ended
// up enabled. One thread at a time.
class StreamPage : public MemoSink, public ConfigureView {
 public:
  explicit StreamPage(std::ostream& out) : out_(out) {}
  void AppendLine(const std::string& line) override;
  // Also lets go of the log.
  void ClearMemo() override {
    lines_.clear();
    log_.reset();
  }
  void ResetCommandLineColour() override {}
  void EnableStartTest() override { start_test_enabled_ = true; }
  void CloseWindow() override {}
  bool start_test_enabled() const { return start_test_enabled_; }
  // The lines kept (none while a log is attached).
  std::vector<std::string> lines() const { return {lines_.begin(), lines_.end()}; }
  // Every line from now on also goes to `log` (nullptr: none), until another log is attached
  // or the memo is cleared. The lines kept so far are dropped: the run copied them into `log`.
  void AttachLog(std::shared_ptr<StreamedLog> log) {
    log_ = std::move(log);
    if (log_)
      lines_.clear();
  }
  const std::shared_ptr<StreamedLog>& log() const { return log_; }

 private:
  // A line printed goes to the log, or is kept.
  void Keep(const std::string& line) {
    if (log_) {
      log_->AppendLine(line);
      return;
    }
    lines_.push_back(line);
    if (lines_.size() > kGsmMemoLineLimit)
      lines_.pop_front();
  }

  std::ostream& out_;
  std::deque<std::string> lines_;
  std::shared_ptr<StreamedLog> log_;
  bool start_test_enabled_ = false;
};

// "Config" in the test-plan window of `station` as it opens, or with `file` opened into it as "Open
// Tpl" does, "*RST" unchecked with `no_reset`: prints the driver note on `err` and the memo lines
// through `page`. Returns 0, or 1 (message on `err`) when `file` does not exist, opening or the
// capture stopped on an error, the test set could not be opened or a set-up command failed, or
// Start Test was not enabled. The notice of lists that the file rule reads otherwise than they
// look goes to `err` as well.
int ConfigureFromPlan(InstrumentStation& station, const std::string& file, bool no_reset,
                      StreamPage& page, std::ostream& err);

}  // namespace vexa::cli
