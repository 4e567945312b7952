#include <string>

#include "cli/commands.h"
#include "instrument/gpib_driver.h"
#include "instrument/gpib_session.h"

namespace vexa::cli {
namespace {

// Prints memo lines, one per line, as the page's memo would show them.
class StreamMemo : public MemoSink {
 public:
  explicit StreamMemo(std::ostream& out) : out_(out) {}
  void AppendLine(const std::string& line) override { out_ << line << '\n'; }

 private:
  std::ostream& out_;
};

// Enter in the command line of the "8960" (testset) or "66319" (dcsource) page, once for
// each COMMAND, through the same driver loader as the window.
int RunConsole(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 2 || (args[0] != "testset" && args[0] != "dcsource")) {
    err << "vexa-cli: expected testset or dcsource and at least one command (see --help)\n";
    return 2;
  }
  GpibSession& session = args[0] == "testset" ? TestSetDevice : DcSourceDevice;
  err << gpib::DriverNote() << '\n';
  StreamMemo memo(out);
  session.SetMemo(&memo);
  for (std::size_t i = 1; i < args.size(); ++i)
    session.SendConsoleCommand(args[i]);
  session.SetMemo(nullptr);
  out.flush();
  return 0;
}

}  // namespace

std::vector<Command> InstrumentCommands() {
  return {
      {"console", "console testset|dcsource COMMAND...",
       "Send each COMMAND as Enter in the instrument page's command line and print the memo "
       "lines (GPIB driver from $VEXA_GPIB_LIBRARY or the usual Linux names).",
       RunConsole},
  };
}

}  // namespace vexa::cli
