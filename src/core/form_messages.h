// How a page's form model shows a range or sanity message ("error DCS channel", ...): a
// plain box with one OK button in the window, a line on stderr in vexa-cli, a list in tests.
// Errors that end a handler (conversion, floating point) are exceptions, not messages.
#pragma once

#include <string>

namespace vexa {

// The key code of Enter, as the forms' key handlers (LabeledEdit6KeyDown, ...) receive it.
inline constexpr int kEnterKey = 13;

class FormMessages {
 public:
  virtual ~FormMessages() = default;
  // Shows `text` and returns when the user has acknowledged it; the handler then goes on.
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace vexa
