// vexa-cli: the calculators without the window, one subcommand each.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/connection_options.h"
#include "cli/run_terminal.h"
#include "core/convert.h"

namespace {

constexpr char kVersion[] = "vexa-cli 2.02";

void PrintHelp(std::ostream& out) {
  out << "Usage: vexa-cli COMMAND [ARGUMENTS]\n\nCommands:\n";
  for (const vexa::cli::Command& command : vexa::cli::Commands()) {
    out << "  " << command.usage << "\n      " << command.summary << '\n';
  }
  out << "  --help\n      Show this list.\n"
      << "  --version\n      Show the version.\n\n"
      << "Exit status:\n"
      << "  0  done; for console and runs: every instrument command succeeded\n"
      << "  1  the page refused the input or an action ended on an error (message on stderr);\n"
      << "     console: a command failed on the bus or was refused; any command: standard\n"
      << "     output could not be written (one message on stderr; the command still ran to\n"
      << "     its end, a run wrote its log)\n"
      << "  2  bad usage (unknown command, key, action or band, missing arguments)\n"
      << "  3  gsm-test: the run finished with the verdict \"Failed\"\n"
      << "  4  console, configure, gsm-test, current-test: stopped by SIGINT, SIGTERM or SIGHUP\n"
      << "     before the end\n"
      << "  130, 143  a second SIGINT or SIGTERM ended the program at once (128 + signal)\n\n"
      << "Signals (console, configure, gsm-test, current-test):\n"
      << "  SIGINT (Ctrl-C), SIGTERM or SIGHUP (the terminal closed) stops as the page's stop\n"
      << "  button does: a run ends after the bus call in progress (current-test with its\n"
      << "  summary and log), console sends no further command, configure and\n"
      << "  gsm-test finish the set-up in progress and start no run. A second SIGINT or\n"
      << "  SIGTERM ends the program at once. A closed standard output (a pipe whose reader\n"
      << "  ended, a closed terminal) never ends a command: it stops being written to.\n\n"
      << vexa::cli::ConnectionOptionsHelp();
}

// Standard descriptors that are closed get /dev/null, so that no file the command opens takes
// their place. Standard output's is opened for reading only: writing to it still fails.
void FillClosedStandardDescriptors() {
  for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
      [[maybe_unused]] const int opened =
          open("/dev/null", descriptor == STDERR_FILENO ? O_WRONLY : O_RDONLY);
    }
  }
}

int RunCommandLine(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::cerr << "vexa-cli: missing COMMAND (one of";
    for (const vexa::cli::Command& command : vexa::cli::Commands())
      std::cerr << ' ' << command.name;
    std::cerr << "); see vexa-cli --help\n";
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(std::cout);
    return 0;
  }
  if (args[0] == "--version") {
    std::cout << kVersion << '\n';
    return 0;
  }
  for (const vexa::cli::Command& command : vexa::cli::Commands()) {
    if (args[0] == command.name) {
      std::vector<std::string> rest(args.begin() + 1, args.end());
      const std::string name = command.name;
      // The page commands list their keys and actions themselves; the others show their
      // usage line and summary.
      static const std::set<std::string> kOwnHelp = {"gsm",    "trans", "match", "smith",
                                                     "filter", "pll",   "rx",    "plan"};
      if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h") &&
          !kOwnHelp.contains(name)) {
        std::cout << "Usage: vexa-cli " << command.usage << "\n\n" << command.summary << '\n';
        if (name == "console" || name == "configure" || name == "gsm-test" ||
            name == "current-test")
          std::cout << '\n' << vexa::cli::ConnectionOptionsHelp();
        return 0;
      }
      // The console and the runs reach instruments: their connection options come first.
      if (name == "console" || name == "configure" || name == "gsm-test" ||
          name == "current-test") {
        if (const std::optional<int> code = vexa::cli::ApplyConnectionOptions(rest, std::cerr))
          return *code;
      }
      return command.run(rest, std::cout, std::cerr);
    }
  }
  std::cerr << "vexa-cli: unknown command '" << args[0] << "'\n\n";
  PrintHelp(std::cerr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  FillClosedStandardDescriptors();
  // A pipe whose reader ended (`vexa-cli gsm-test | head -3`) is a failed write, not the end of
  // the program: the command goes on to its end, and a run writes its log.
  signal(SIGPIPE, SIG_IGN);

  // Numbers are shown with the user's regional decimal separator, as in the window.
  std::setlocale(LC_ALL, "");
  if (const std::lconv* conventions = std::localeconv(); conventions && conventions->decimal_point)
    vexa::SetDecimalSeparator(vexa::DecimalSeparatorFor(conventions->decimal_point));
  std::setlocale(LC_NUMERIC, "C");

  // Every command writes standard output through this buffer; a write that fails is reported
  // once and makes the exit status 1 when the command itself had nothing worse to say.
  vexa::cli::OutputBuffer output(STDOUT_FILENO, std::cerr);
  std::streambuf* const previous = std::cout.rdbuf(&output);
  const int code = RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  std::cout.flush();
  std::cout.rdbuf(previous);
  return output.failed() && code == 0 ? 1 : code;
}
