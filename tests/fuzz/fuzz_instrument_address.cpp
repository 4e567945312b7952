// Fuzz target for instrument addresses (ParseInstrumentAddress and what is built on it).
//
// Input: the whole input is the address text, as typed into the connection field or given to
// --testset. Invariants:
//   - A refusal sets one of the parser's messages (and is the same without an error pointer);
//     "No instrument address given" exactly when only blanks and tabs were given. A refused
//     text gives the same message from CheckConnection on every transport, and no connection.
//   - An address keeps the text with the blanks and tabs around it removed, holds no blank or
//     control character, and leaves the error untouched.
//   - GPIB: board 0 to 999, primary 0 to 30, secondary -1 or 0 to 30, no host or port; the
//     canonical "GPIB<board>::<primary>[::<secondary>]::INSTR" reads back the same numbers.
//   - Socket: port 1 to 65535, a host without blanks; "TCPIP0::[<host>]::<port>::SOCKET" reads
//     back the same host and port.
//   - VISA: no GPIB numbers, host or port.
//   - The words are case-insensitive: the text in lower case reads as the same kind with the
//     same numbers.
//   - CheckConnection accepts the address on VISA always, on the GPIB driver and the socket
//     exactly for their own kind; ConnectionForResource gives the kind the address implies.
//   - TransportFromKeyword knows exactly "gpib", "socket" and "visa" in any case.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "instrument/bus/instrument_address.h"

namespace vexa::fuzz {
namespace {

const char* KindName(TransportKind kind) {
  return TransportKeyword(kind);
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool HasBlankOrControl(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7f)
      return true;
  }
  return false;
}

std::string Describe(const InstrumentAddress& a) {
  return std::string(KindName(a.natural)) + " board " + std::to_string(a.board) + " primary " +
         std::to_string(a.primary) + " secondary " + std::to_string(a.secondary) + " host \"" +
         Escaped(a.host) + "\" port " + std::to_string(a.port);
}

void CheckRefusal(std::string_view text, const std::string& error) {
  const std::string context = "\"" + Escaped(text) + "\": " + Escaped(error);
  static const char* const kMessages[] = {
      "No instrument address given",
      "The instrument address \"",
      "The GPIB primary address must be 0 to 30 (\"",
      "The GPIB secondary address must be 0 to 30 (\"",
      "No host in the instrument address \"",
      "The port must be 1 to 65535 (\"",
  };
  bool known = false;
  for (const char* message : kMessages)
    known = known || error.starts_with(message);
  FUZZ_CHECK(known, "unknown refusal " + context);
  FUZZ_CHECK(Trimmed(text).empty() == (error == "No instrument address given"), context);
  FUZZ_CHECK(!ParseInstrumentAddress(text, nullptr), context);
  const std::string resource(text);
  for (const TransportKind kind :
       {TransportKind::kGpib, TransportKind::kSocket, TransportKind::kVisa}) {
    FUZZ_CHECK(CheckConnection(kind, resource) == error,
               std::string(KindName(kind)) + " check of " + context);
  }
  std::string connection_error;
  FUZZ_CHECK(!ConnectionForResource(text, &connection_error) && connection_error == error, context);
}

void CheckAddress(std::string_view text, const InstrumentAddress& a) {
  const std::string context = "\"" + Escaped(text) + "\" read as " + Describe(a);
  FUZZ_CHECK(a.resource == Trimmed(text) && !a.resource.empty(), context);
  FUZZ_CHECK(!HasBlankOrControl(a.resource), context);

  switch (a.natural) {
    case TransportKind::kGpib: {
      FUZZ_CHECK(a.board >= 0 && a.board <= 999 && a.primary >= 0 && a.primary <= 30 &&
                     a.secondary >= -1 && a.secondary <= 30 && a.host.empty() && a.port == 0,
                 context);
      std::string canonical = "GPIB" + std::to_string(a.board) + "::" + std::to_string(a.primary);
      if (a.secondary >= 0)
        canonical += "::" + std::to_string(a.secondary);
      canonical += "::INSTR";
      const std::optional<InstrumentAddress> again = ParseInstrumentAddress(canonical, nullptr);
      FUZZ_CHECK(again && again->natural == TransportKind::kGpib && again->board == a.board &&
                     again->primary == a.primary && again->secondary == a.secondary,
                 context + "; " + canonical + (again ? " read as " + Describe(*again) : ""));
      break;
    }
    case TransportKind::kSocket: {
      FUZZ_CHECK(a.port >= 1 && a.port <= 65535 && !a.host.empty() && !HasBlankOrControl(a.host) &&
                     a.primary == -1 && a.secondary == -1,
                 context);
      const std::string canonical =
          "TCPIP0::[" + a.host + "]::" + std::to_string(a.port) + "::SOCKET";
      const std::optional<InstrumentAddress> again = ParseInstrumentAddress(canonical, nullptr);
      FUZZ_CHECK(
          again && again->natural == TransportKind::kSocket && again->host == a.host &&
              again->port == a.port,
          context + "; " + Escaped(canonical) + (again ? " read as " + Describe(*again) : ""));
      break;
    }
    case TransportKind::kVisa:
      FUZZ_CHECK(a.primary == -1 && a.secondary == -1 && a.host.empty() && a.port == 0, context);
      break;
  }

  std::string error;
  const std::optional<InstrumentAddress> lower = ParseInstrumentAddress(Lower(text), &error);
  FUZZ_CHECK(
      lower && lower->natural == a.natural && lower->board == a.board &&
          lower->primary == a.primary && lower->secondary == a.secondary &&
          lower->host == Lower(a.host) && lower->port == a.port,
      context + "; in lower case " + (lower ? Describe(*lower) : "refused: " + Escaped(error)));

  const std::string resource(text);
  FUZZ_CHECK(CheckConnection(TransportKind::kVisa, resource).empty(), context);
  FUZZ_CHECK(CheckConnection(TransportKind::kGpib, resource).empty() ==
                 (a.natural == TransportKind::kGpib),
             context);
  FUZZ_CHECK(CheckConnection(TransportKind::kSocket, resource).empty() ==
                 (a.natural == TransportKind::kSocket),
             context);
  const std::optional<Connection> connection = ConnectionForResource(text, nullptr);
  FUZZ_CHECK(connection && connection->transport == a.natural && connection->resource == a.resource,
             context);
}

void CheckKeyword(std::string_view text) {
  const std::optional<TransportKind> kind = TransportFromKeyword(text);
  const std::string lower = Lower(text);
  const bool known = lower == "gpib" || lower == "socket" || lower == "visa";
  FUZZ_CHECK(kind.has_value() == known, "keyword \"" + Escaped(text) + "\"");
  if (kind)
    FUZZ_CHECK(lower == TransportKeyword(*kind), "keyword \"" + Escaped(text) + "\"");
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vexa::fuzz;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error = "(untouched)";
  const std::optional<vexa::InstrumentAddress> address = vexa::ParseInstrumentAddress(text, &error);
  if (address) {
    FUZZ_CHECK(error == "(untouched)", "\"" + Escaped(text) + "\" set " + Escaped(error));
    CheckAddress(text, *address);
  } else {
    CheckRefusal(text, error);
  }
  CheckKeyword(text);
  return 0;
}
