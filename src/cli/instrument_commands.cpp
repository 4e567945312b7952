#include <string>

#include "cli/commands.h"
#include "cli/connection_options.h"
#include "cli/run_terminal.h"
#include "core/latin1.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/runs/instrument_station.h"

namespace vexa::cli {
namespace {

// Prints memo lines, one per line as they come, as the page's memo would show them: the lines
// are the bus's Latin-1 bytes, printed in UTF-8.
class StreamMemo : public MemoSink {
 public:
  explicit StreamMemo(std::ostream& out) : out_(out) {}
  void AppendLine(const std::string& line) override {
    out_ << Latin1ToUtf8(line) << '\n';
    out_.flush();
  }

 private:
  std::ostream& out_;
};

// Enter in the command line of the "8960" (testset) or "66319" (dcsource) page, once for
// each COMMAND (UTF-8, as typed), through the same driver loader as the window. Every command
// runs; the exit code is 1 when any of them was refused or failed on the bus. SIGINT, SIGTERM
// or SIGHUP lets the command in progress finish and sends no further one (exit code 4).
int RunConsole(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 2 || (args[0] != "testset" && args[0] != "dcsource")) {
    err << "vexa-cli: expected testset or dcsource and at least one command (see --help)\n";
    return 2;
  }
  const bool test_set = args[0] == "testset";
  InstrumentStation station;
  if (!ConnectStation(station, err))
    return 2;
  InstrumentSession& session = test_set ? station.TestSetDevice : station.DcSourceDevice;
  const StopSignals signals;
  err << session.ConnectionNote() << '\n';
  StreamMemo memo(out);
  session.SetMemo(&memo);
  bool all_succeeded = true;
  bool stopped = false;
  for (std::size_t i = 1; i < args.size() && !stopped; ++i) {
    if (!session.SendConsoleText(args[i]))
      all_succeeded = false;
    stopped = signals.StopRequested() && i + 1 < args.size();
  }
  session.DetachMemo(&memo);
  out.flush();
  return !all_succeeded ? 1 : stopped ? 4 : 0;
}

}  // namespace

std::vector<Command> InstrumentCommands() {
  return {
      {"console", "console testset|dcsource COMMAND...",
       "Send each COMMAND as Enter in the instrument page's command line and print the memo "
       "lines as they come (the connection below: GPIB, LAN socket or VISA). SIGINT, SIGTERM "
       "or SIGHUP sends no further command. Exit code 1 when a command was refused or failed "
       "on the bus, 4 when stopped before the last command.",
       RunConsole},
  };
}

}  // namespace vexa::cli
