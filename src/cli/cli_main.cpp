// vexa-cli: the calculators without the window, one subcommand each.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "core/convert.h"

namespace {

void PrintHelp(std::ostream& out) {
  out << "Usage: vexa-cli COMMAND [ARGUMENTS]\n\nCommands:\n";
  for (const vexa::cli::Command& command : vexa::cli::Commands()) {
    out << "  " << command.usage << "\n      " << command.summary << '\n';
  }
  out << "  --help\n      Show this list.\n";
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
    PrintHelp(std::cerr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(std::cout);
    return 0;
  }
  for (const vexa::cli::Command& command : vexa::cli::Commands()) {
    if (args[0] == command.name) {
      const std::vector<std::string> rest(args.begin() + 1, args.end());
      return command.run(rest, std::cout, std::cerr);
    }
  }
  std::cerr << "vexa-cli: unknown command '" << args[0] << "'\n\n";
  PrintHelp(std::cerr);
  return 2;
}
