#include "cli/connection_options.h"

#include <cstdlib>

#include "instrument/bus/instrument_address.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/runs/instrument_station.h"

namespace vexa::cli {
namespace {

struct Choice {
  std::optional<std::string> address;
  std::optional<std::string> transport;
};

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !value[0])
    return std::nullopt;
  return std::string(value);
}

// Sets `session`'s connection from the choice; "" or the reason it cannot be used.
std::string Apply(InstrumentSession& session, const Choice& choice, const char* option) {
  if (!choice.address && !choice.transport)
    return "";
  Connection connection = DefaultGpibConnection(session.address());
  if (choice.address) {
    std::string error;
    const std::optional<Connection> natural = ConnectionForResource(*choice.address, &error);
    if (!natural)
      return error + " (" + option + ")";
    connection = *natural;
  }
  if (choice.transport) {
    const std::optional<TransportKind> kind = TransportFromKeyword(*choice.transport);
    if (!kind) {
      return "unknown transport '" + *choice.transport + "' (" + option +
             "-transport takes gpib, socket or visa)";
    }
    connection.transport = *kind;
  }
  const std::string error = session.SetConnection(connection);
  return error.empty() ? "" : error + " (" + option + ")";
}

Choice TestSetChoice() {
  return {Environment("VEXA_TESTSET"), Environment("VEXA_TESTSET_TRANSPORT")};
}

Choice DcSourceChoice() {
  return {Environment("VEXA_DCSOURCE"), Environment("VEXA_DCSOURCE_TRANSPORT")};
}

std::string Apply(InstrumentStation& station, const Choice& test_set, const Choice& dc_source) {
  std::string error = Apply(station.TestSetDevice, test_set, "--testset");
  if (error.empty())
    error = Apply(station.DcSourceDevice, dc_source, "--dcsource");
  return error;
}

void Export(const char* name, const std::optional<std::string>& value) {
  if (value)
    setenv(name, value->c_str(), 1);
}

}  // namespace

bool ConnectStation(InstrumentStation& station, std::ostream& err) {
  const std::string error = Apply(station, TestSetChoice(), DcSourceChoice());
  if (!error.empty())
    err << "vexa-cli: " << error << '\n';
  return error.empty();
}

std::optional<int> ApplyConnectionOptions(std::vector<std::string>& args, std::ostream& err) {
  Choice test_set = TestSetChoice();
  Choice dc_source = DcSourceChoice();
  struct Option {
    const char* name;
    std::optional<std::string>* slot;
  };
  const Option options[] = {{"--testset", &test_set.address},
                            {"--testset-transport", &test_set.transport},
                            {"--dcsource", &dc_source.address},
                            {"--dcsource-transport", &dc_source.transport}};
  std::size_t used = 0;
  while (used < args.size()) {
    const std::string& arg = args[used];
    const Option* matched = nullptr;
    std::optional<std::string> value;
    for (const Option& option : options) {
      const std::string name = option.name;
      if (arg == name) {
        matched = &option;
        if (used + 1 < args.size())
          value = args[used + 1];
        break;
      }
      if (arg.rfind(name + "=", 0) == 0) {
        matched = &option;
        value = arg.substr(name.size() + 1);
        break;
      }
    }
    if (!matched)
      break;
    if (!value || value->empty()) {
      err << "vexa-cli: " << matched->name << " needs a value (see --help)\n";
      return 2;
    }
    *matched->slot = *value;
    used += arg == matched->name ? 2 : 1;
  }
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(used));

  // Checked on a station of its own; the command builds its station from the environment.
  InstrumentStation checked;
  if (const std::string error = Apply(checked, test_set, dc_source); !error.empty()) {
    err << "vexa-cli: " << error << '\n';
    return 2;
  }
  Export("VEXA_TESTSET", test_set.address);
  Export("VEXA_TESTSET_TRANSPORT", test_set.transport);
  Export("VEXA_DCSOURCE", dc_source.address);
  Export("VEXA_DCSOURCE_TRANSPORT", dc_source.transport);
  return std::nullopt;
}

const char* ConnectionOptionsHelp() {
  return "Instrument connection (console, configure, gsm-test, current-test), given before the\n"
         "command's own arguments or in the environment:\n"
         "  --testset ADDRESS            (VEXA_TESTSET)             default GPIB0::14::INSTR\n"
         "  --dcsource ADDRESS           (VEXA_DCSOURCE)            default GPIB0::5::INSTR\n"
         "  --testset-transport T        (VEXA_TESTSET_TRANSPORT)   gpib, socket or visa\n"
         "  --dcsource-transport T       (VEXA_DCSOURCE_TRANSPORT)\n"
         "  ADDRESS is a VISA resource string: GPIBn::PAD[::SAD][::INSTR] goes through the GPIB\n"
         "  driver ($VEXA_GPIB_LIBRARY or the usual Linux names), TCPIPn::HOST::PORT::SOCKET\n"
         "  through the built-in raw SCPI socket (LF-terminated, 10 s time-out), any other\n"
         "  resource through a VISA library ($VEXA_VISA_LIBRARY or libvisa.so and the usual\n"
         "  vendor names). A transport given without an address keeps the default address.\n";
}

}  // namespace vexa::cli
