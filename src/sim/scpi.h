// A small SCPI reader for the simulated instruments: splits a bus message into program
// message units, resolves their header paths, matches headers against patterns written in
// the manuals' notation, and reads and writes numbers independently of the process locale.
//
// Reading a message takes time and memory in proportion to its length: a unit's header path
// is a view of one path kept for the whole message, never a copy per unit, and matching a
// unit against a pattern costs no more than the pattern's length, however deep the path.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::sim {

// The longest message an instrument takes, in bytes. A longer one is refused whole (see
// RunMessage); vexa-instrument-sim takes lines up to this length.
inline constexpr std::size_t kMaxMessageBytes = 64 * 1024;

// One program message unit, e.g. "CALL:CELL:BAND DCS" or "NEW?" after a ';'. Its texts are
// views of the message and of the reader's path: valid until the reader moves on.
struct Unit {
  std::span<const std::string_view> nodes;  // the full header path, e.g. {"CALL", "CELL", "BAND"}
  std::string_view common;  // a common command as sent, such as "*IDN" or "*idn" (nodes empty)
  bool query = false;
  std::string_view parameters;  // the text after the header, trimmed
};

// Reads the units of one message in order. Units are separated by ';' outside quotes; a unit
// whose header does not start with ':' or '*' continues the path of the previous unit, as
// SCPI compound messages do ("CALL:MS:REP:RXL:NEW?;NEW?" asks NEW? twice). Common commands
// leave the path as it was.
class UnitReader {
 public:
  explicit UnitReader(std::string_view message) : rest_(message), done_(false) {}

  // The next unit, or nullptr after the last. The unit stays valid until the next call.
  const Unit* Next();

 private:
  std::string_view rest_;
  bool done_;
  bool pop_pending_ = false;  // the last unit's final node leaves the path at the next call
  std::vector<std::string_view> path_;
  Unit unit_;
};

// True when `message` holds a query unit, so that the instrument answers it. Reads the
// message once and keeps nothing of it.
bool HasQuery(std::string_view message);

// A header pattern written in the manuals' notation, read once: the upper-case part of a node
// is its short form, the whole node its long form, either is accepted in any case; "[:NODE]"
// is optional; "A|B" lists alternatives; a final '?' marks a query. Common commands are
// matched by their name in any case ("*IDN?").
class Pattern {
 public:
  // Keeps views of `text`, which must outlive the pattern (a string literal, say).
  explicit Pattern(std::string_view text);

  // True when `unit` matches. Costs no more than the pattern's nodes, whatever the path.
  bool Matches(const Unit& unit) const;

 private:
  struct Form {
    std::string_view short_form;
    std::string_view long_form;
  };
  struct Node {
    std::vector<Form> forms;
    bool optional = false;
    bool Accepts(std::string_view token) const;
  };
  bool MatchFrom(std::size_t node, std::span<const std::string_view> tokens, std::size_t t) const;

  std::vector<Node> nodes_;
  std::string_view common_;  // "*IDN" for a common command, "" otherwise
  bool query_ = false;
  std::size_t min_tokens_ = 0;  // the nodes that are not optional
};

// The text of a pattern literal, as a template argument.
template <std::size_t N>
struct PatternText {
  char text[N];
  constexpr PatternText(const char (&literal)[N]) {  // NOLINT: converts from the literal
    for (std::size_t i = 0; i < N; ++i)
      text[i] = literal[i];
  }
  constexpr std::string_view view() const { return {text, N - 1}; }
};

// "CALL:CONNected[:STATe]?"_scpi: the pattern of a literal, read the first time it is used.
template <PatternText Text>
const Pattern& operator""_scpi() {
  static const Pattern pattern(Text.view());
  return pattern;
}

inline bool Matches(const Unit& unit, const Pattern& pattern) {
  return pattern.Matches(unit);
}

// The same for a pattern given as text, read anew at every call.
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

// The answer to a message longer than kMaxMessageBytes that holds a query.
inline constexpr const char* kInputBufferOverrun = "-363,\"Input buffer overrun\"";

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
// A message longer than kMaxMessageBytes runs none of its units, as an instrument whose
// input buffer overflowed: it is answered with kInputBufferOverrun when it holds a query.
std::string RunMessage(Instrument& instrument, std::string_view message,
                       double& acquisition_seconds);

}  // namespace vexa::sim
