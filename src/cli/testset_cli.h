// What `vexa-cli configure` and `vexa-cli gsm-test` share: the "8960" page on a terminal, and
// the configuration from a plan file or the start-up plan.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "core/memo_sink.h"
#include "instrument/testset_config.h"

namespace vexa::cli {

// The memo lines on `out` as they come (Latin-1 bus bytes printed as UTF-8), also kept for the
// log; the window effects have nothing to show on a terminal but whether Start Test ended up
// enabled.
class StreamPage : public MemoSink, public ConfigureView {
 public:
  explicit StreamPage(std::ostream& out) : out_(out) {}
  void AppendLine(const std::string& line) override;
  void ClearMemo() override { lines_.clear(); }
  void ResetCommandLineColour() override {}
  void EnableStartTest() override { start_test_enabled_ = true; }
  void CloseWindow() override {}
  bool start_test_enabled() const { return start_test_enabled_; }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::ostream& out_;
  std::vector<std::string> lines_;
  bool start_test_enabled_ = false;
};

// "Config" in the test-plan window as it opens, or with `file` opened into it as "Open Tpl"
// does, "*RST" unchecked with `no_reset`: prints the driver note on `err` and the memo lines
// through `page`. Returns 0, or 1 (message on `err`) when opening or the capture stopped on an
// error or Start Test was not enabled.
int ConfigureFromPlan(const std::string& file, bool no_reset, StreamPage& page, std::ostream& err);

}  // namespace vexa::cli
