// The calculator pages' command-line grammar, shared by every page:
//
//   vexa-cli PAGE [--KEY TEXT]... [ACTION]...
//
// The page starts from its start-up state; each --KEY puts TEXT into that field as typing
// would (keys standing for a selection or a scroll-bar move run that control's handler); each
// ACTION runs one page event (Enter, a click, ...), an ACTION=VALUE one that takes a value;
// then every field prints as "KEY: TEXT". Messages go to stderr, one per line. Exit status 0,
// 1 when an action ended on an error (later actions do not run; the fields still print), 2
// for bad usage.
#pragma once

#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "core/form_fields.h"

namespace vexa::cli {

// What an option or action's value must be.
enum class ValueKind { kNone, kText, kInteger };

struct PageKey {
  std::string name;     // without the leading "--"
  std::string caption;  // what the page shows for the control, for --help
  ValueKind value = ValueKind::kText;
  std::function<void(const std::string& value)> apply;
  // A key standing for a choice takes only these values (any case); anything else is bad
  // usage, found before anything runs. Empty: any value.
  std::vector<std::string> choices = {};
};

struct PageAction {
  std::string name;
  std::string caption;
  ValueKind value = ValueKind::kNone;  // kNone: NAME; otherwise NAME=VALUE
  std::function<void(const std::string& value)> run;
};

struct PageField {
  std::string key;
  std::function<std::string()> text;
};

// An option that may stand anywhere, before or after the actions: "--NAME VALUE".
struct PageOption {
  std::string name;        // without the leading "--"
  std::string value_name;  // "FILE", for the message when the value is missing
  std::function<void(const std::string& value)> set;
};

struct PageCli {
  std::string page;   // "gsm"
  std::string title;  // one line for the command list
  std::vector<PageKey> keys;
  std::vector<PageAction> actions;
  std::vector<PageField> fields;
  std::vector<PageOption> options;
  // Value-list pages, whose keys carry blanks and units ("C2 nF"): keys are given as
  // "KEY=TEXT" and the fields print as "KEY=VALUE".
  bool assignments = false;
  // The page's own --help text, where the generic one does not fit.
  std::function<void(std::ostream& out)> help;
};

// Runs `args` (everything after PAGE) on the page; returns the exit status.
int RunPageCli(const PageCli& page, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);
void PrintPageHelp(const PageCli& page, std::ostream& out);

// The keys and printed fields of a form's text table, in the table's order: a kKey entry sets
// its text as typing would (no handler runs) and prints; a kPrinted entry only prints.
template <typename Form>
void AddTextKeys(PageCli& page, Form& form, std::span<const FormField<Form>> fields) {
  for (const FormField<Form>& field : fields) {
    if (field.use != FieldUse::kKey)
      continue;
    page.keys.push_back(
        {field.key,
         std::string(field.caption) + " (" + field.control + ")" + field.note + "; no handler runs",
         ValueKind::kText,
         [&form, member = field.text](const std::string& text) { form.*member = text; }});
  }
}

template <typename Form>
void AddTextFields(PageCli& page, const Form& form, std::span<const FormField<Form>> fields) {
  for (const FormField<Form>& field : fields) {
    if (field.use != FieldUse::kWindow)
      page.fields.push_back({field.key, [&form, member = field.text] { return form.*member; }});
  }
}

// Puts `key` / `field` before the one named `before` (at the end when there is none).
void InsertKeyBefore(PageCli& page, const std::string& before, PageKey key);
void InsertFieldBefore(PageCli& page, const std::string& before, PageField field);

// "KEY: TEXT" with each line break of TEXT written as the two characters "\n".
std::string FieldLine(const std::string& key, const std::string& text);

}  // namespace vexa::cli
