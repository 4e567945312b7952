#include "sim/scpi.h"

#include <algorithm>
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

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

std::vector<std::string_view> SplitOutsideQuotes(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote)
        quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == separator) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

// One node of a pattern: its alternatives as (short form, long form), both upper case.
struct PatternNode {
  std::vector<std::pair<std::string, std::string>> forms;
  bool optional = false;

  bool Accepts(const std::string& token) const {
    const std::string upper = Upper(token);
    for (const auto& [short_form, long_form] : forms) {
      if (upper == short_form || upper == long_form)
        return true;
    }
    return false;
  }
};

PatternNode MakeNode(std::string_view text, bool optional) {
  PatternNode node;
  node.optional = optional;
  if (!text.empty() && text.front() == ':')
    text.remove_prefix(1);
  for (std::string_view form : SplitOutsideQuotes(text, '|')) {
    std::size_t short_length = 0;
    while (short_length < form.size() &&
           !std::islower(static_cast<unsigned char>(form[short_length]))) {
      ++short_length;
    }
    node.forms.emplace_back(Upper(form.substr(0, short_length)), Upper(form));
  }
  return node;
}

std::vector<PatternNode> ParsePattern(std::string_view pattern) {
  std::vector<PatternNode> nodes;
  std::size_t i = 0;
  while (i < pattern.size()) {
    if (pattern[i] == '[') {
      const std::size_t end = pattern.find(']', i);
      nodes.push_back(MakeNode(pattern.substr(i + 1, end - i - 1), true));
      i = end == std::string_view::npos ? pattern.size() : end + 1;
    } else {
      if (pattern[i] == ':')
        ++i;
      const std::size_t end = std::min(pattern.find_first_of(":[", i), pattern.size());
      nodes.push_back(MakeNode(pattern.substr(i, end - i), false));
      i = end;
    }
  }
  return nodes;
}

bool MatchFrom(const std::vector<PatternNode>& nodes, std::size_t n,
               const std::vector<std::string>& tokens, std::size_t t) {
  if (n == nodes.size())
    return t == tokens.size();
  if (t < tokens.size() && nodes[n].Accepts(tokens[t]) && MatchFrom(nodes, n + 1, tokens, t + 1)) {
    return true;
  }
  return nodes[n].optional && MatchFrom(nodes, n + 1, tokens, t);
}

}  // namespace

std::vector<Unit> SplitMessage(std::string_view message) {
  std::vector<Unit> units;
  std::vector<std::string> path;  // the header path that a relative unit continues
  for (std::string_view part : SplitOutsideQuotes(message, ';')) {
    part = Trim(part);
    if (part.empty())
      continue;
    const std::size_t blank = std::min(part.find_first_of(" \t"), part.size());
    std::string_view header = part.substr(0, blank);
    Unit unit;
    unit.parameters = std::string(Trim(part.substr(blank)));
    if (!header.empty() && header.back() == '?') {
      unit.query = true;
      header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == '*') {
      unit.common = Upper(header);
      units.push_back(std::move(unit));
      continue;
    }
    if (!header.empty() && header.front() == ':') {
      header.remove_prefix(1);
    } else {
      unit.nodes = path;
    }
    for (std::string_view node : SplitOutsideQuotes(header, ':')) {
      unit.nodes.emplace_back(node);
    }
    path.assign(unit.nodes.begin(), unit.nodes.end() - 1);
    units.push_back(std::move(unit));
  }
  return units;
}

bool Matches(const Unit& unit, std::string_view pattern) {
  bool query = false;
  if (!pattern.empty() && pattern.back() == '?') {
    query = true;
    pattern.remove_suffix(1);
  }
  if (query != unit.query)
    return false;
  if (!pattern.empty() && pattern.front() == '*')
    return unit.common == Upper(pattern);
  if (!unit.common.empty())
    return false;
  return MatchFrom(ParsePattern(pattern), 0, unit.nodes, 0);
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
  for (std::string_view item : SplitOutsideQuotes(text, ',')) {
    item = Trim(item);
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
  std::string response;
  bool any_query = false;
  for (const Unit& unit : SplitMessage(message)) {
    std::optional<std::string> answer = instrument.Handle(unit, acquisition_seconds);
    if (!unit.query)
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
  if (Matches(unit, "*IDN?"))
    return identification;
  if (Matches(unit, "*OPC?"))
    return "1";
  if (Matches(unit, "SYSTem:ERRor[:NEXT]?"))
    return "0,\"No error\"";
  return std::nullopt;
}

}  // namespace vexa::sim
