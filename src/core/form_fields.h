// One table per form model lists its texts once: the key vexa-cli sets and prints it under,
// the page's control that shows it, and the model's member holding it. The page binds its
// widgets by walking the table (ui/form_binding.h) and vexa-cli builds its keys and printed
// fields from it (cli/page_cli.h), so the two cannot list different fields.
#pragma once

#include <string>

namespace vexa {

// Where a text of the model is reachable besides the window.
enum class FieldUse {
  kKey,      // vexa-cli sets it with --KEY (as typing would) and prints it
  kPrinted,  // vexa-cli prints it; no key sets it
  kWindow,   // the window only (a drawing made of characters)
};

template <typename Form>
struct FormField {
  const char* key;      // vexa-cli's key and printed name; unused for kWindow
  const char* control;  // the page's control showing the text (its objectName)
  const char* caption;  // what the control means, for vexa-cli PAGE --help
  std::string Form::*text;
  FieldUse use = FieldUse::kKey;
  const char* note = "";  // help text after the control's name
};

}  // namespace vexa
