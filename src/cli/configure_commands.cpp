#include <string>

#include "cli/commands.h"
#include "core/errors.h"
#include "core/latin1.h"
#include "instrument/gpib_driver.h"
#include "instrument/gpib_session.h"
#include "instrument/plan_file.h"
#include "instrument/plan_form.h"
#include "instrument/test_plan.h"
#include "instrument/testset_config.h"

namespace vexa::cli {
namespace {

// The memo lines on `out` (Latin-1 bus bytes printed as UTF-8); the window effects have
// nothing to show on a terminal but whether Start Test ended up enabled.
class StreamPage : public MemoSink, public ConfigureView {
 public:
  explicit StreamPage(std::ostream& out) : out_(out) {}
  void AppendLine(const std::string& line) override { out_ << Latin1ToUtf8(line) << '\n'; }
  void ClearMemo() override {}
  void ResetCommandLineColour() override {}
  void EnableStartTest() override { start_test_enabled_ = true; }
  void CloseWindow() override {}
  bool start_test_enabled() const { return start_test_enabled_; }

 private:
  std::ostream& out_;
  bool start_test_enabled_ = false;
};

// "Config" in the test-plan window: the window as it opens, or with FILE opened into it as
// "Open Tpl" does; "--no-rst" unchecks "*RST". Configures the test set through the same driver
// loader as the window and prints the memo lines.
int RunConfigure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool no_reset = false;
  std::string file;
  for (const std::string& arg : args) {
    if (arg == "--no-rst") {
      no_reset = true;
    } else if (arg.rfind("--", 0) != 0 && file.empty()) {
      file = arg;
    } else {
      err << "vexa-cli: unknown argument '" << arg << "' for configure (see --help)\n";
      return 2;
    }
  }
  PlanForm form;
  form.FormCreate();
  try {
    if (!file.empty())
      OpenPlanFile(form, file);
  } catch (const Error& error) {
    err << MessageWithFullStop(error.what()) << '\n';
    return 1;
  }
  if (no_reset)
    form.CheckBox1.checked = false;

  err << gpib::DriverNote() << '\n';
  StreamPage page(out);
  TestSetDevice.SetMemo(&page);
  int code = 0;
  try {
    ConfigureTestSet(
        ProgramTestPlan, [&form](TestPlan& plan) { CaptureTestPlan(form, plan); },
        form.CheckBox1.checked, TestSetDevice, page);
  } catch (const Error& error) {
    err << MessageWithFullStop(error.what()) << '\n';
    code = 1;
  }
  TestSetDevice.DetachMemo(&page);
  out.flush();
  return code == 0 && page.start_test_enabled() ? 0 : 1;
}

}  // namespace

std::vector<Command> ConfigureCommands() {
  return {
      {"configure", "configure [FILE] [--no-rst]",
       "Press Config in the test-plan window as it opens, or with the plan FILE opened (and "
       "\"*RST\" unchecked with --no-rst): capture the plan, send the set-up sequence to the "
       "test set (GPIB driver from $VEXA_GPIB_LIBRARY or the usual Linux names) and print the "
       "memo lines. Exit code 1 when opening or the capture stopped on an error.",
       RunConfigure},
  };
}

}  // namespace vexa::cli
