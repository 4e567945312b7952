#include "cli/commands.h"

namespace vexa::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = [] {
    std::vector<Command> all;
    for (auto& command : GsmCommands())
      all.push_back(std::move(command));
    for (auto& command : ReferenceCommands())
      all.push_back(std::move(command));
    for (auto& command : TransCommands())
      all.push_back(std::move(command));
    for (auto& command : MatchCommands())
      all.push_back(std::move(command));
    for (auto& command : SmithCommands())
      all.push_back(std::move(command));
    for (auto& command : FilterCommands())
      all.push_back(std::move(command));
    for (auto& command : PllCommands())
      all.push_back(std::move(command));
    for (auto& command : RxCommands())
      all.push_back(std::move(command));
    for (auto& command : InstrumentCommands())
      all.push_back(std::move(command));
    for (auto& command : ConfigureCommands())
      all.push_back(std::move(command));
    for (auto& command : GsmTestCommands())
      all.push_back(std::move(command));
    for (auto& command : CurrentTestCommands())
      all.push_back(std::move(command));
    for (auto& command : PlanCommands())
      all.push_back(std::move(command));
    return all;
  }();
  return commands;
}

}  // namespace vexa::cli
