#include <string>

#include "cli/commands.h"
#include "cli/run_terminal.h"
#include "cli/testset_cli.h"
#include "core/errors.h"
#include "core/latin1.h"
#include "instrument/gpib_driver.h"
#include "instrument/gpib_session.h"
#include "instrument/plan_file.h"
#include "instrument/plan_form.h"
#include "instrument/test_plan.h"

namespace vexa::cli {

void StreamPage::AppendLine(const std::string& line) {
  Keep(line);
  out_ << Latin1ToUtf8(line) << '\n';
  out_.flush();
}

int ConfigureFromPlan(const std::string& file, bool no_reset, StreamPage& page, std::ostream& err) {
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

  err << TestSetDevice.ConnectionNote() << '\n';
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
  return code == 0 && page.start_test_enabled() ? 0 : 1;
}

namespace {

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
  // A signal lets the set-up finish (the test set is not left half set up) and ends with
  // exit code 4, so that a script does not go on to a run.
  const StopSignals signals;
  StreamPage page(out);
  const int code = ConfigureFromPlan(file, no_reset, page, err);
  out.flush();
  return code == 0 && signals.StopRequested() ? 4 : code;
}

}  // namespace

std::vector<Command> ConfigureCommands() {
  return {
      {"configure", "configure [FILE] [--no-rst]",
       "Press Config in the test-plan window as it opens, or with the plan FILE opened (and "
       "\"*RST\" unchecked with --no-rst): capture the plan, send the set-up sequence to the "
       "test set (GPIB driver from $VEXA_GPIB_LIBRARY or the usual Linux names) and print the "
       "memo lines. SIGINT, SIGTERM or SIGHUP lets the set-up finish, then exit code 4. Exit "
       "code 1 when opening or the capture stopped on an error.",
       RunConfigure},
  };
}

}  // namespace vexa::cli
