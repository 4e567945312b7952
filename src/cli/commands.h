// The subcommands of vexa-cli. Each prints exactly the texts the matching page shows.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace vexa::cli {

struct Command {
  const char* name;
  const char* usage;
  const char* summary;
  // Returns the exit code: 0 on success, 1 when the page would refuse the input, 2 on bad usage.
  std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)>
      run;
};

const std::vector<Command>& Commands();

// One file per area registers its subcommands here.
std::vector<Command> GsmCommands();
std::vector<Command> ReferenceCommands();
std::vector<Command> TransCommands();
std::vector<Command> MatchCommands();
std::vector<Command> SmithCommands();
std::vector<Command> FilterCommands();
std::vector<Command> PllCommands();
std::vector<Command> RxCommands();
std::vector<Command> InstrumentCommands();
std::vector<Command> PlanCommands();
std::vector<Command> ConfigureCommands();
std::vector<Command> GsmTestCommands();
std::vector<Command> CurrentTestCommands();

}  // namespace vexa::cli
