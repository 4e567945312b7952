#include "cli/cli_text.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace vexa::cli {

std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\n')
      line += "\\n";
    else
      line += c;
  }
  return line;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

StderrMessages::StderrMessages(std::ostream& err, std::function<bool(const std::string&)> refuses)
    : err_(err), refuses_(std::move(refuses)) {}

void StderrMessages::ShowMessage(const std::string& text) {
  err_ << OneLine(text) << '\n';
  ++shown_;
  if (!refuses_ || refuses_(text))
    ++refusals_;
}

}  // namespace vexa::cli
