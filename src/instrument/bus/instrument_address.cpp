#include "instrument/bus/instrument_address.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace vexa {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// A whole-text decimal number without sign; nullopt for anything else or beyond `limit`.
std::optional<int> Decimal(std::string_view text, int limit) {
  if (text.empty() || text.size() > 6)
    return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > limit)
    return std::nullopt;
  return value;
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// The words between "::", keeping a bracketed IPv6 host (which holds "::") whole.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (true) {
    std::size_t search_from = start;
    if (start < text.size() && text[start] == '[') {
      const std::size_t close = text.find(']', start);
      if (close != std::string_view::npos)
        search_from = close;
    }
    const std::size_t separator = text.find("::", search_from);
    if (separator == std::string_view::npos) {
      words.push_back(text.substr(start));
      return words;
    }
    words.push_back(text.substr(start, separator - start));
    start = separator + 2;
  }
}

// "GPIB" or "TCPIP" followed by an optional board number.
bool IsInterface(std::string_view word, std::string_view name) {
  return StartsWithIgnoringCase(word, name) && AllDigits(word.substr(name.size())) &&
         word.size() - name.size() <= 3;
}

}  // namespace

const char* TransportKeyword(TransportKind kind) {
  switch (kind) {
    case TransportKind::kGpib:
      return "gpib";
    case TransportKind::kSocket:
      return "socket";
    case TransportKind::kVisa:
      return "visa";
  }
  return "gpib";
}

std::optional<TransportKind> TransportFromKeyword(std::string_view keyword) {
  for (TransportKind kind : {TransportKind::kGpib, TransportKind::kSocket, TransportKind::kVisa}) {
    if (EqualsIgnoringCase(keyword, TransportKeyword(kind)))
      return kind;
  }
  return std::nullopt;
}

const char* TransportTitle(TransportKind kind) {
  switch (kind) {
    case TransportKind::kGpib:
      return "GPIB driver";
    case TransportKind::kSocket:
      return "LAN socket";
    case TransportKind::kVisa:
      return "VISA";
  }
  return "GPIB driver";
}

std::optional<InstrumentAddress> ParseInstrumentAddress(std::string_view text, std::string* error) {
  const auto fail = [error](std::string message) -> std::optional<InstrumentAddress> {
    if (error)
      *error = std::move(message);
    return std::nullopt;
  };
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  if (text.empty())
    return fail("No instrument address given");
  if (std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte == 0x7f;
      })) {
    return fail("The instrument address \"" + std::string(text) +
                "\" holds a blank or a control character");
  }

  InstrumentAddress address;
  address.resource = std::string(text);
  std::vector<std::string_view> words = Words(text);

  if (IsInterface(words[0], "GPIB") && words.size() >= 2 && AllDigits(words[1])) {
    // GPIB[board]::primary[::secondary][::INSTR]
    if (words.size() >= 3 && EqualsIgnoringCase(words.back(), "INSTR"))
      words.pop_back();
    if (words.size() <= 3 && std::all_of(words.begin() + 1, words.end(), AllDigits)) {
      const std::optional<int> primary = Decimal(words[1], 30);
      if (!primary)
        return fail("The GPIB primary address must be 0 to 30 (\"" + address.resource + "\")");
      if (words.size() == 3) {
        const std::optional<int> secondary = Decimal(words[2], 30);
        if (!secondary)
          return fail("The GPIB secondary address must be 0 to 30 (\"" + address.resource + "\")");
        address.secondary = *secondary;
      }
      address.board = Decimal(words[0].substr(4), 999).value_or(0);
      address.primary = *primary;
      address.natural = TransportKind::kGpib;
      return address;
    }
  }

  if (IsInterface(words[0], "TCPIP") && words.size() == 4 &&
      EqualsIgnoringCase(words[3], "SOCKET")) {
    std::string_view host = words[1];
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
      host = host.substr(1, host.size() - 2);
    if (host.empty())
      return fail("No host in the instrument address \"" + address.resource + "\"");
    const std::optional<int> port = Decimal(words[2], 65535);
    if (!port || *port == 0)
      return fail("The port must be 1 to 65535 (\"" + address.resource + "\")");
    address.host = std::string(host);
    address.port = *port;
    address.natural = TransportKind::kSocket;
    return address;
  }

  address.natural = TransportKind::kVisa;
  return address;
}

Connection DefaultGpibConnection(int primary) {
  return Connection{TransportKind::kGpib, "GPIB0::" + std::to_string(primary) + "::INSTR"};
}

std::string CheckConnection(TransportKind transport, const std::string& resource) {
  std::string error;
  const std::optional<InstrumentAddress> address = ParseInstrumentAddress(resource, &error);
  if (!address)
    return error;
  if (transport == TransportKind::kGpib && address->natural != TransportKind::kGpib) {
    return "The GPIB driver takes GPIB addresses such as GPIB0::14::INSTR, not \"" +
           address->resource + "\"";
  }
  if (transport == TransportKind::kSocket && address->natural != TransportKind::kSocket) {
    return "The LAN socket takes addresses such as TCPIP0::192.168.1.20::5025::SOCKET, not \"" +
           address->resource + "\"";
  }
  return "";
}

std::optional<Connection> ConnectionForResource(std::string_view resource, std::string* error) {
  const std::optional<InstrumentAddress> address = ParseInstrumentAddress(resource, error);
  if (!address)
    return std::nullopt;
  return Connection{address->natural, address->resource};
}

}  // namespace vexa
