// The instrument connection of vexa-cli's console and runs: leading options
//   --testset ADDRESS  --testset-transport gpib|socket|visa
//   --dcsource ADDRESS --dcsource-transport gpib|socket|visa
// (also as --testset=ADDRESS), or else the environment variables VEXA_TESTSET,
// VEXA_TESTSET_TRANSPORT, VEXA_DCSOURCE and VEXA_DCSOURCE_TRANSPORT. An address alone takes
// the transport its form implies ("GPIB0::14::INSTR": the GPIB driver,
// "TCPIP0::host::5025::SOCKET": the built-in socket, any other resource: VISA); a transport
// alone keeps the instrument's default address when it can carry it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vexa {
struct InstrumentStation;
}  // namespace vexa

namespace vexa::cli {

// Takes the connection options from the front of `args` and checks them with the environment
// variables they stand for. The options given then replace those variables in this process's
// environment, from which the command builds its station (ConnectStation). Returns nullopt
// when all is well, or the exit code (2, bad usage) after a one-line message on `err`.
std::optional<int> ApplyConnectionOptions(std::vector<std::string>& args, std::ostream& err);

// Sets the connections of both sessions of `station` from the environment variables (and so
// from the options ApplyConnectionOptions took). Returns false, after a one-line message on
// `err` naming the option, when a connection cannot be used (the command then exits with 2).
bool ConnectStation(InstrumentStation& station, std::ostream& err);

// The help text's paragraph on these options.
const char* ConnectionOptionsHelp();

}  // namespace vexa::cli
