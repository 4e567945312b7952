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
#include <string>
#include <vector>

namespace vexa::cli {

// What an option or action's value must be.
enum class ValueKind { kNone, kText, kInteger };

struct PageKey {
  std::string name;     // without the leading "--"
  std::string caption;  // what the page shows for the control, for --help
  ValueKind value = ValueKind::kText;
  std::function<void(const std::string& value)> apply;
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

struct PageCli {
  std::string page;   // "gsm"
  std::string title;  // one line for the command list
  std::vector<PageKey> keys;
  std::vector<PageAction> actions;
  std::vector<PageField> fields;
};

// Runs `args` (everything after PAGE) on the page; returns the exit status.
int RunPageCli(const PageCli& page, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);
void PrintPageHelp(const PageCli& page, std::ostream& out);

// "KEY: TEXT" with each line break of TEXT written as the two characters "\n".
std::string FieldLine(const std::string& key, const std::string& text);

}  // namespace vexa::cli
