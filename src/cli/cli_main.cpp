// vexa-cli: the calculators without the window, one subcommand each.
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
      << "     console: a command failed on the bus or was refused\n"
      << "  2  bad usage (unknown command, key, action or band, missing arguments)\n"
      << "  3  gsm-test: the run finished with the verdict \"Failed\"\n"
      << "  4  gsm-test, current-test: the run was stopped (SIGINT, SIGTERM) before the end\n\n"
      << vexa::cli::ConnectionOptionsHelp();
}

}  // namespace

int main(int argc, char** argv) {
  // Numbers are shown with the user's regional decimal separator, as in the window.
  std::setlocale(LC_ALL, "");
  if (const std::lconv* conventions = std::localeconv(); conventions && conventions->decimal_point)
    vexa::SetDecimalSeparator(vexa::DecimalSeparatorFor(conventions->decimal_point));
  std::setlocale(LC_NUMERIC, "C");

  std::vector<std::string> args(argv + 1, argv + argc);
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
