// A small SCPI reader for the simulated instruments: splits a bus message into program
// message units, resolves their header paths, matches headers against patterns written in
// the manuals' notation, and reads and writes numbers independently of the process locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::sim {

// One program message unit, e.g. "CALL:CELL:BAND DCS" or "NEW?" after a ';'.
struct Unit {
  std::vector<std::string> nodes;  // the full header path, e.g. {"CALL", "CELL", "BAND"}
  std::string common;              // a common command such as "*IDN" (nodes empty then)
  bool query = false;
  std::string parameters;  // the text after the header, trimmed
};

// Splits one bus message into units. Units are separated by ';' outside quotes; a unit whose
// header does not start with ':' or '*' continues the path of the previous unit, as SCPI
// compound messages do ("CALL:MS:REP:RXL:NEW?;NEW?" asks NEW? twice).
std::vector<Unit> SplitMessage(std::string_view message);

// True when `unit` matches `pattern`, written in the manuals' notation: the upper-case part
// of a node is its short form, the whole node its long form, either is accepted in any case;
// "[:NODE]" is optional; "A|B" lists alternatives; a final '?' marks a query. Common commands
// are matched by their exact name ("*IDN?").
bool Matches(const Unit& unit, std::string_view pattern);

// The answers every instrument gives alike: "*IDN?" (its identification), "*OPC?" and
// "SYSTem:ERRor?"; nullopt for any other unit.
std::optional<std::string> CommonQuery(const Unit& unit, const char* identification);

// The leading number of a parameter text, ignoring a unit suffix ("-65dBm" -> -65,
// "20.00E-6" -> 2e-5). nullopt when the text does not start with a number.
std::optional<double> ParseNumber(std::string_view text);

// A comma-separated list of values with optional unit suffixes, each converted by
// `scale_for_suffix` (given the suffix in upper case, "" when none).
std::vector<double> ParseList(std::string_view text, double (*scale_for_suffix)(std::string_view));

// The first word of a parameter text in upper case (for character data such as "DCS").
std::string ParseWord(std::string_view text);

// Numbers in the answers: NR1 integers ("48") and NR3 reals ("3.312000E+01").
std::string Nr1(long value);
std::string Nr3(double value);

// The value a test set answers for a result that is not available.
inline constexpr double kNotAvailable = 9.91e37;

// The answer to a query neither instrument knows: the SCPI error that a real instrument would
// queue, given at once so that a mistyped query never hangs the console for the time-out.
inline constexpr const char* kUndefinedHeader = "-113,\"Undefined header\"";

// What an instrument model does with the units of one message.
class Instrument {
 public:
  virtual ~Instrument() = default;
  // Handles one unit. A query returns its answer; a command returns nullopt. A query whose
  // answer takes time to acquire adds the time in seconds to `acquisition_seconds`.
  virtual std::optional<std::string> Handle(const Unit& unit, double& acquisition_seconds) = 0;
};

// Runs a whole message on `instrument`. Returns the response message (the answers of the
// queries joined by ';', with the terminating "\n") or "" when the message held no query.
std::string RunMessage(Instrument& instrument, std::string_view message,
                       double& acquisition_seconds);

}  // namespace vexa::sim
