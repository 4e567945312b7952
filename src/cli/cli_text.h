// Text helpers every page command shares: how a form's messages reach stderr, and the
// case-blind comparison of choice values.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "core/form_messages.h"

namespace vexa::cli {

// TEXT with each line break written as the two characters "\n".
std::string OneLine(const std::string& text);

// TEXT in lower case (ASCII), for choice values given in any case.
std::string Lower(std::string text);

// A form's messages on stderr, one per line (a line break inside a message prints as "\n").
// `refuses` tells a message that refuses the input (the later actions must not run and the
// exit status is 1) from one the handler goes on from; without it every message refuses.
class StderrMessages : public FormMessages {
 public:
  explicit StderrMessages(std::ostream& err,
                          std::function<bool(const std::string&)> refuses = nullptr);
  void ShowMessage(const std::string& text) override;

  int shown() const { return shown_; }
  int refusals() const { return refusals_; }
  bool refused() const { return refusals_ > 0; }

 private:
  std::ostream& err_;
  std::function<bool(const std::string&)> refuses_;
  int shown_ = 0;
  int refusals_ = 0;
};

}  // namespace vexa::cli
