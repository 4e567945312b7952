// A form model's message sink for tests: keeps every message the form shows, in order.
#pragma once

#include <string>
#include <vector>

#include "core/form_messages.h"

namespace vexa::testing {

class MessageRecorder : public FormMessages {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

}  // namespace vexa::testing
