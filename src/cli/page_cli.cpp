#include "cli/page_cli.h"

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

}  // namespace

std::string FieldLine(const std::string& key, const std::string& text) {
  std::string line = key + ": ";
  for (char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  return line;
}

void PrintPageHelp(const PageCli& page, std::ostream& out) {
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

int RunPageCli(const PageCli& page, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  // Read the whole command line first: bad usage runs nothing.
  std::vector<Step> steps;
  bool actions_started = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      PrintPageHelp(page, out);
      return 0;
    }
    if (arg.rfind("--", 0) == 0) {
      const std::string name = arg.substr(2);
      const PageKey* key = nullptr;
      for (const PageKey& candidate : page.keys) {
        if (candidate.name == name)
          key = &candidate;
      }
      if (!key) {
        err << "vexa-cli " << page.page << ": unknown key '" << arg << "' (see vexa-cli "
            << page.page << " --help)\n";
        return 2;
      }
      if (actions_started) {
        err << "vexa-cli " << page.page << ": key '" << arg << "' after an action; keys come "
            << "first\n";
        return 2;
      }
      if (i + 1 >= args.size()) {
        err << "vexa-cli " << page.page << ": key '" << arg << "' needs a value\n";
        return 2;
      }
      const std::string& value = args[++i];
      if (!ValueIsValid(key->value, value)) {
        err << "vexa-cli " << page.page << ": key '" << arg << "' needs an integer, not '" << value
            << "'\n";
        return 2;
      }
      steps.push_back({&key->apply, value});
      continue;
    }
    actions_started = true;
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const PageAction* action = nullptr;
    for (const PageAction& candidate : page.actions) {
      if (candidate.name == name)
        action = &candidate;
    }
    const bool has_value = equals != std::string::npos;
    if (!action || has_value != (action->value != ValueKind::kNone)) {
      err << "vexa-cli " << page.page << ": unknown action '" << arg << "' (see vexa-cli "
          << page.page << " --help)\n";
      return 2;
    }
    const std::string value = has_value ? arg.substr(equals + 1) : std::string();
    if (!ValueIsValid(action->value, value)) {
      err << "vexa-cli " << page.page << ": action '" << name << "' needs an integer, not '"
          << value << "'\n";
      return 2;
    }
    steps.push_back({&action->run, value});
  }

  int status = 0;
  for (const Step& step : steps) {
    try {
      (*step.run)(step.value);
    } catch (const Error& error) {
      err << MessageWithFullStop(error.what()) << '\n';
      status = 1;
      break;
    }
  }
  for (const PageField& field : page.fields)
    out << FieldLine(field.key, field.text()) << '\n';
  return status;
}

}  // namespace vexa::cli
