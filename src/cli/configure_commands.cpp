#include <string>

#include "cli/commands.h"
#include "cli/connection_options.h"
#include "cli/run_terminal.h"
#include "cli/testset_cli.h"
#include "core/errors.h"
#include "core/latin1.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/runs/plan_file.h"
#include "instrument/runs/plan_form.h"
#include "instrument/runs/test_plan.h"

namespace vexa::cli {

void StreamPage::AppendLine(const std::string& line) {
  Keep(line);
  out_ << Latin1ToUtf8(line) << '\n';
  out_.flush();
}

int ConfigureFromPlan(InstrumentStation& station, const std::string& file, bool no_reset,
                      StreamPage& page, std::ostream& err) {
  PlanForm form;
  form.FormCreate();
  std::string notice;
  try {
    if (!file.empty()) {
      CheckPlanFileExists(file);
      OpenPlanFile(form, file, &notice);
    }
  } catch (const Error& error) {
    err << MessageWithFullStop(error.what()) << '\n';
    if (!notice.empty())
      err << notice << '\n';
    return 1;
  }
  if (!notice.empty())
    err << notice << '\n';
  if (no_reset)
    form.CheckBox1.checked = false;

  err << station.TestSetDevice.ConnectionNote() << '\n';
  station.TestSetDevice.SetMemo(&page);
  int code = 0;
  SetupResult setup;
  try {
    const bool finished = ConfigureTestSet(
        station.Plan, [&form](TestPlan& plan) { CaptureTestPlan(form, plan); },
        form.CheckBox1.checked, station.TestSetDevice, page, nullptr, &setup);
    // The memo shows a failed open; failed commands it does not show.
    if (finished && !setup.Succeeded()) {
      code = 1;
      if (!setup.opened)
        err << "vexa-cli: the test set was not set up: it could not be opened.\n";
      else
        err << "vexa-cli: the test set was not set up: " << setup.commands_failed << " of "
            << setup.commands_sent << " set-up commands failed.\n";
    }
  } catch (const Error& error) {
    err << MessageWithFullStop(error.what()) << '\n';
    code = 1;
  }
  station.TestSetDevice.DetachMemo(&page);
  return code == 0 && page.start_test_enabled() ? 0 : 1;
}

namespace {

int RunConfigure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool no_reset = false;
  std::string file;
  bool file_given = false;
  for (const std::string& arg : args) {
    if (arg == "--no-rst") {
      no_reset = true;
    } else if (arg.rfind("--", 0) != 0 && !file_given) {
      file = arg;
      file_given = true;
    } else {
      err << "vexa-cli: unknown argument '" << arg << "' for configure (see --help)\n";
      return 2;
    }
  }
  // A signal lets the set-up finish (the test set is not left half set up) and ends with
  // exit code 4, so that a script does not go on to a run.
  if (file_given && file.empty()) {
    err << "Cannot use \"\": the file does not exist.\n";
    return 1;
  }
  const StopSignals signals;
  InstrumentStation station;
  if (!ConnectStation(station, err))
    return 2;
  StreamPage page(out);
  const int code = ConfigureFromPlan(station, file, no_reset, page, err);
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
       "code 1 when FILE does not exist, opening or the capture stopped on an error, or the "
       "test set could not be opened or a set-up command failed.",
       RunConfigure},
  };
}

}  // namespace vexa::cli
