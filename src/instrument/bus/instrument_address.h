// Instrument addresses as VISA-style resource strings, the convention of the field:
//   "GPIB0::14::INSTR"                (board 0, primary address 14; "::INSTR" may be left out,
//                                      a secondary address 0 to 30 may follow the primary one)
//   "TCPIP0::testset.lab::5025::SOCKET" (a raw SCPI socket; IPv6 hosts in brackets)
//   anything else, for example "TCPIP0::testset.lab::inst0::INSTR", "USB0::...::INSTR" or
//   "TCPIP0::host::hislip0::INSTR", is left to a VISA library.
// The words are case-insensitive, as in VISA.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexa {

// How bytes reach an instrument.
enum class TransportKind {
  kGpib,    // the run-time loaded GPIB driver
  kSocket,  // the built-in raw SCPI socket (TCP, LF-terminated)
  kVisa,    // a run-time loaded VISA library
};

// "gpib", "socket", "visa": the names the command line and the settings use.
const char* TransportKeyword(TransportKind kind);
std::optional<TransportKind> TransportFromKeyword(std::string_view keyword);
// "GPIB driver", "LAN socket", "VISA": the names a person reads.
const char* TransportTitle(TransportKind kind);

struct InstrumentAddress {
  std::string resource;                          // the text as given, blanks around it removed
  TransportKind natural = TransportKind::kVisa;  // the transport the resource implies
  // GPIB resources
  int board = 0;
  int primary = -1;
  int secondary = -1;  // -1: none
  // raw-socket resources
  std::string host;
  int port = 0;
};

// Reads a resource string. nullopt with a message for the operator in *error when it is
// empty, holds blanks or control characters inside, or gives a GPIB address outside 0 to 30
// or a port outside 1 to 65535.
std::optional<InstrumentAddress> ParseInstrumentAddress(std::string_view text, std::string* error);

// The resource and the transport that carries it, as the operator chose them.
struct Connection {
  TransportKind transport = TransportKind::kGpib;
  std::string resource;
  bool operator==(const Connection&) const = default;
};

// The default connection of an instrument at GPIB primary address `primary` on board 0.
Connection DefaultGpibConnection(int primary);

// Checks that `transport` can carry `resource`: the GPIB driver only GPIB resources, the
// socket only "TCPIP...::SOCKET" resources, VISA any. "" when it can, else the reason.
std::string CheckConnection(TransportKind transport, const std::string& resource);

// The connection for a resource given without a transport (the command line's
// --testset ADDRESS): the transport its form implies. nullopt with *error when it is no
// valid resource.
std::optional<Connection> ConnectionForResource(std::string_view resource, std::string* error);

}  // namespace vexa
