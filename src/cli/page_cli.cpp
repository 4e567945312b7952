#include "cli/page_cli.h"

#include <algorithm>

#include "cli/cli_text.h"
#include "core/convert.h"
#include "core/errors.h"

namespace vexa::cli {
namespace {

struct Step {
  const std::function<void(const std::string&)>* run;
  std::string value;
};

bool ValueIsValid(ValueKind kind, const std::string& value) {
  if (kind != ValueKind::kInteger)
    return true;
  try {
    TextToInt(value);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

const char* ValueName(ValueKind kind) {
  return kind == ValueKind::kInteger ? "N" : "TEXT";
}

// "a or b", "a, b or c".
std::string ChoiceList(const std::vector<std::string>& choices) {
  std::string list;
  for (std::size_t i = 0; i < choices.size(); ++i)
    list += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
  return list;
}

// The choice keys take only their choices; anything else is bad usage, found before anything
// runs (before any other usage error).
bool ChoicesAreValid(const PageCli& page, const std::vector<std::string>& args, std::ostream& err) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0)
      continue;
    const std::string name = arg.substr(2);
    const auto key = std::find_if(page.keys.begin(), page.keys.end(),
                                  [&name](const PageKey& k) { return k.name == name; });
    if (key == page.keys.end())
      continue;
    const std::vector<std::string>& choices = key->choices;
    if (!choices.empty() &&
        std::find(choices.begin(), choices.end(), Lower(args[i + 1])) == choices.end()) {
      err << "vexa-cli " << page.page << ": " << arg << " takes " << ChoiceList(choices)
          << ", not '" << args[i + 1] << "'\n";
      return false;
    }
    ++i;  // skip the value, so that a value starting with "--" is not read as a key
  }
  return true;
}

}  // namespace

std::string FieldLine(const std::string& key, const std::string& text) {
  return key + ": " + OneLine(text);
}

void InsertKeyBefore(PageCli& page, const std::string& before, PageKey key) {
  const auto at = std::find_if(page.keys.begin(), page.keys.end(),
                               [&before](const PageKey& k) { return k.name == before; });
  page.keys.insert(at, std::move(key));
}

void InsertFieldBefore(PageCli& page, const std::string& before, PageField field) {
  const auto at = std::find_if(page.fields.begin(), page.fields.end(),
                               [&before](const PageField& f) { return f.key == before; });
  page.fields.insert(at, std::move(field));
}

void PrintPageHelp(const PageCli& page, std::ostream& out) {
  if (page.help) {
    page.help(out);
    return;
  }
  out << "Usage: vexa-cli " << page.page << " [--KEY TEXT]... [ACTION]...\n"
      << page.title << "\n\nKeys (applied in the order given, before the actions):\n";
  for (const PageKey& key : page.keys) {
    out << "  --" << key.name << ' ' << ValueName(key.value) << "\n      " << key.caption << '\n';
  }
  out << "\nActions (run in the order given):\n";
  for (const PageAction& action : page.actions) {
    out << "  " << action.name;
    if (action.value != ValueKind::kNone)
      out << '=' << ValueName(action.value);
    out << "\n      " << action.caption << '\n';
  }
  out << "\nPrinted, one line each: ";
  for (std::size_t i = 0; i < page.fields.size(); ++i)
    out << (i ? ", " : "") << page.fields[i].key;
  out << ".\nMessages go to stderr. Exit status: 0 done, 1 an action ended on an error (the "
         "later ones do not run), 2 bad usage.\n";
}

namespace {

// Reads the whole command line before anything runs: bad usage runs nothing.
class CommandLine {
 public:
  CommandLine(const PageCli& page, std::ostream& out, std::ostream& err)
      : page_(page), out_(out), err_(err) {}

  // -1 when the steps are ready to run, otherwise the exit status (0 after --help).
  int Read(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      int status = -1;
      if (arg == "--help" || arg == "-h") {
        PrintPageHelp(page_, out_);
        return 0;
      }
      if (const PageOption* option = FindOption(arg)) {
        if (i + 1 >= args.size())
          return Usage("--" + option->name + " needs a " + option->value_name);
        option->set(args[++i]);
        continue;
      }
      if (!page_.assignments && arg.rfind("--", 0) == 0) {
        const bool has_value = i + 1 < args.size();
        status = Key(arg, arg.substr(2), has_value ? &args[++i] : nullptr);
      } else if (page_.assignments && arg.find('=') != std::string::npos) {
        const std::size_t equals = arg.find('=');
        const std::string value = arg.substr(equals + 1);
        status = Key(arg.substr(0, equals), arg.substr(0, equals), &value);
      } else {
        status = Action(arg);
      }
      if (status >= 0)
        return status;
    }
    return -1;
  }

  const std::vector<Step>& steps() const { return steps_; }

 private:
  const PageOption* FindOption(const std::string& arg) const {
    for (const PageOption& option : page_.options) {
      if (arg == "--" + option.name)
        return &option;
    }
    return nullptr;
  }

  int Usage(const std::string& message) {
    err_ << "vexa-cli " << page_.page << ": " << message << '\n';
    return 2;
  }

  // `shown` is the key as written ("--rg", "C2 nF"); `value` null when none followed.
  int Key(const std::string& shown, const std::string& name, const std::string* value) {
    const PageKey* key = nullptr;
    for (const PageKey& candidate : page_.keys) {
      if (candidate.name == name)
        key = &candidate;
    }
    if (!key)
      return Usage("unknown key '" + shown + "' (see vexa-cli " + page_.page + " --help)");
    if (!first_action_.empty()) {
      return Usage("key '" + shown + "' after " +
                   (page_.assignments ? first_action_ : std::string("an action")) +
                   "; keys come first");
    }
    if (!value)
      return Usage("key '" + shown + "' needs a value");
    if (!ValueIsValid(key->value, *value))
      return Usage("key '" + shown + "' needs an integer, not '" + *value + "'");
    steps_.push_back({&key->apply, *value});
    return -1;
  }

  int Action(const std::string& arg) {
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const PageAction* action = nullptr;
    for (const PageAction& candidate : page_.actions) {
      if (candidate.name == name)
        action = &candidate;
    }
    const bool has_value = equals != std::string::npos;
    if (!action || has_value != (action->value != ValueKind::kNone))
      return Usage("unknown action '" + arg + "' (see vexa-cli " + page_.page + " --help)");
    const std::string value = has_value ? arg.substr(equals + 1) : std::string();
    if (!ValueIsValid(action->value, value))
      return Usage("action '" + name + "' needs an integer, not '" + value + "'");
    if (first_action_.empty())
      first_action_ = name;
    steps_.push_back({&action->run, value});
    return -1;
  }

  const PageCli& page_;
  std::ostream& out_;
  std::ostream& err_;
  std::vector<Step> steps_;
  std::string first_action_;
};

}  // namespace

int RunPageCli(const PageCli& page, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  if (!ChoicesAreValid(page, args, err))
    return 2;
  CommandLine command_line(page, out, err);
  if (const int status = command_line.Read(args); status >= 0)
    return status;

  int status = 0;
  for (const Step& step : command_line.steps()) {
    try {
      (*step.run)(step.value);
    } catch (const Error& error) {
      err << MessageWithFullStop(error.what()) << '\n';
      status = 1;
      break;
    }
  }
  for (const PageField& field : page.fields) {
    out << (page.assignments ? field.key + "=" + OneLine(field.text())
                             : FieldLine(field.key, field.text()))
        << '\n';
  }
  return status;
}

}  // namespace vexa::cli
