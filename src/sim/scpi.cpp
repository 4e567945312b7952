#include "sim/scpi.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace vexa::sim {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// Headers and character data are ASCII: their case is changed and compared in ASCII, whatever
// the process locale.
char UpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = UpperChar(c);
  return result;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperChar(a[i]) != UpperChar(b[i]))
      return false;
  }
  return true;
}

// The characters that TakeUntil stops at: quotes and the separators it is used with.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  for (const char c : {'"', '\'', ';', ':', '|', ','})
    special[static_cast<unsigned char>(c)] = true;
  return special;
}();

// Takes the text up to the first `separator` outside quotes ('...' or "...") off the front of
// `rest` and returns it. Once `rest` holds no such separator, returns all of it and sets
// `last`.
std::string_view TakeUntil(std::string_view& rest, char separator, bool& last) {
  char quote = 0;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const char c = rest[i];
    if (!kSpecial[static_cast<unsigned char>(c)]) {
    } else if (quote) {
      if (c == quote)
        quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == separator) {
      const std::string_view piece = rest.substr(0, i);
      rest.remove_prefix(i + 1);
      return piece;
    }
  }
  const std::string_view piece = rest;
  rest = {};
  last = true;
  return piece;
}

// A unit's text (trimmed, not empty) split into its header and parameters; the header without
// a final '?', which sets `query`.
struct UnitText {
  std::string_view header;
  std::string_view parameters;
  bool query = false;
};

UnitText SplitUnit(std::string_view part) {
  UnitText text;
  std::size_t blank = 0;
  while (blank < part.size() && part[blank] != ' ' && part[blank] != '\t')
    ++blank;
  text.header = part.substr(0, blank);
  text.parameters = Trim(part.substr(blank));
  if (!text.header.empty() && text.header.back() == '?') {
    text.query = true;
    text.header.remove_suffix(1);
  }
  return text;
}

}  // namespace

const Unit* UnitReader::Next() {
  if (pop_pending_) {
    path_.pop_back();
    pop_pending_ = false;
  }
  while (!done_) {
    const std::string_view part = Trim(TakeUntil(rest_, ';', done_));
    if (part.empty())
      continue;
    const UnitText text = SplitUnit(part);
    unit_ = Unit{};
    unit_.parameters = text.parameters;
    unit_.query = text.query;
    std::string_view header = text.header;
    if (!header.empty() && header.front() == '*') {
      unit_.common = header;
      return &unit_;
    }
    if (!header.empty() && header.front() == ':') {
      header.remove_prefix(1);
      path_.clear();
    }
    for (bool last = false; !last;)
      path_.push_back(TakeUntil(header, ':', last));
    unit_.nodes = path_;
    // The path that the next relative unit continues ends before this unit's last node.
    pop_pending_ = true;
    return &unit_;
  }
  return nullptr;
}

bool HasQuery(std::string_view message) {
  for (bool last = false; !last;) {
    const std::string_view part = Trim(TakeUntil(message, ';', last));
    if (!part.empty() && SplitUnit(part).query)
      return true;
  }
  return false;
}

Pattern::Pattern(std::string_view text) {
  if (!text.empty() && text.back() == '?') {
    query_ = true;
    text.remove_suffix(1);
  }
  if (!text.empty() && text.front() == '*') {
    common_ = text;
    return;
  }
  std::size_t position = 0;
  while (position < text.size()) {
    Node node;
    std::string_view forms;
    if (text[position] == '[') {
      const std::size_t end = text.find(']', position);
      forms = text.substr(position + 1, end == std::string_view::npos ? std::string_view::npos
                                                                      : end - position - 1);
      node.optional = true;
      position = end == std::string_view::npos ? text.size() : end + 1;
    } else {
      if (text[position] == ':')
        ++position;
      std::size_t end = position;
      while (end < text.size() && text[end] != ':' && text[end] != '[')
        ++end;
      forms = text.substr(position, end - position);
      position = end;
    }
    if (!forms.empty() && forms.front() == ':')
      forms.remove_prefix(1);
    for (bool last = false; !last;) {
      const std::string_view form = TakeUntil(forms, '|', last);
      std::size_t short_length = 0;
      while (short_length < form.size() &&
             !(form[short_length] >= 'a' && form[short_length] <= 'z')) {
        ++short_length;
      }
      node.forms.push_back({form.substr(0, short_length), form});
    }
    min_tokens_ += node.optional ? 0 : 1;
    nodes_.push_back(std::move(node));
  }
}

bool Pattern::Node::Accepts(std::string_view token) const {
  for (const Form& form : forms) {
    if (EqualsIgnoringCase(token, form.short_form) || EqualsIgnoringCase(token, form.long_form))
      return true;
  }
  return false;
}

// Each step takes one node, so the depth of the search is the pattern's.
bool Pattern::MatchFrom(std::size_t node, std::span<const std::string_view> tokens,
                        std::size_t t) const {
  if (node == nodes_.size())
    return t == tokens.size();
  if (t < tokens.size() && nodes_[node].Accepts(tokens[t]) && MatchFrom(node + 1, tokens, t + 1))
    return true;
  return nodes_[node].optional && MatchFrom(node + 1, tokens, t);
}

bool Pattern::Matches(const Unit& unit) const {
  if (query_ != unit.query)
    return false;
  if (!common_.empty() || !unit.common.empty())
    return EqualsIgnoringCase(unit.common, common_);
  if (unit.nodes.size() < min_tokens_ || unit.nodes.size() > nodes_.size())
    return false;
  return MatchFrom(0, unit.nodes, 0);
}

bool Matches(const Unit& unit, std::string_view pattern) {
  return Pattern(pattern).Matches(unit);
}

std::optional<double> ParseNumber(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+')
    text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::vector<double> ParseList(std::string_view text, double (*scale_for_suffix)(std::string_view)) {
  std::vector<double> values;
  for (bool last = false; !last;) {
    std::string_view item = Trim(TakeUntil(text, ',', last));
    if (!item.empty() && item.front() == '+')
      item.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (error != std::errc() || !std::isfinite(value))
      return {};
    const std::string suffix = Upper(Trim(std::string_view(end, item.data() + item.size() - end)));
    values.push_back(value * scale_for_suffix(suffix));
  }
  return values;
}

std::string ParseWord(std::string_view text) {
  text = Trim(text);
  const std::size_t end = std::min(text.find_first_of(" \t,"), text.size());
  return Upper(text.substr(0, end));
}

std::string Nr1(long value) {
  return std::to_string(value);
}

std::string Nr3(double value) {
  char buffer[40];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 6);
  std::string text(buffer, error == std::errc() ? end : buffer);
  for (char& c : text) {
    if (c == 'e')
      c = 'E';
  }
  return text;
}

std::string RunMessage(Instrument& instrument, std::string_view message,
                       double& acquisition_seconds) {
  if (message.size() > kMaxMessageBytes)
    return HasQuery(message) ? std::string(kInputBufferOverrun) + '\n' : std::string();
  std::string response;
  bool any_query = false;
  UnitReader reader(message);
  while (const Unit* unit = reader.Next()) {
    std::optional<std::string> answer = instrument.Handle(*unit, acquisition_seconds);
    if (!unit->query)
      continue;
    if (any_query)
      response += ';';
    response += answer.value_or(kUndefinedHeader);
    any_query = true;
  }
  if (any_query)
    response += '\n';
  return response;
}

std::optional<std::string> CommonQuery(const Unit& unit, const char* identification) {
  if (!unit.query)
    return std::nullopt;
  if (Matches(unit, "*IDN?"_scpi))
    return identification;
  if (Matches(unit, "*OPC?"_scpi))
    return "1";
  if (Matches(unit, "SYSTem:ERRor[:NEXT]?"_scpi))
    return "0,\"No error\"";
  return std::nullopt;
}

}  // namespace vexa::sim
