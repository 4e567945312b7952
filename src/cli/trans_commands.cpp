#include <algorithm>
#include <cctype>

#include "cli/commands.h"
#include "cli/page_cli.h"
#include "conversions/trans_form.h"
#include "core/convert.h"

namespace vexa::cli {
namespace {

// Messages on stderr, one per line (a line break inside a message prints as "\n").
class StderrMessages : public FormMessages {
 public:
  explicit StderrMessages(std::ostream& err) : err_(err) {}
  void ShowMessage(const std::string& text) override {
    for (char c : text) {
      if (c == '\n') {
        err_ << "\\n";
      } else {
        err_ << c;
      }
    }
    err_ << '\n';
    // "error RXLEV" is shown on the way: the routine goes on and moves the scroll bar.
    if (text != kRxlevOutOfRange)
      ++refusals_;
  }
  int refusals() const { return refusals_; }

 private:
  std::ostream& err_;
  int refusals_ = 0;
};

// A message that ends its handler ("input must be negative", "mW must be greater than 0",
// ...) refuses the input: the later actions must not run and the exit status is 1.
struct RefusalState {
  bool refused = false;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A text field of the form: the key sets it as typing would, and it prints as it stands.
struct TextField {
  const char* key;
  const char* caption;
  std::string TransForm::*text;
};

constexpr TextField kPairFields[] = {
    {"s11", "S11(dB) (Edit3)", &TransForm::Edit3},   {"vswr", "VSWR (Edit4)", &TransForm::Edit4},
    {"dbm", "dBm (Edit5)", &TransForm::Edit5},       {"mw", "mW (Edit6)", &TransForm::Edit6},
    {"mil", "mil (Edit7)", &TransForm::Edit7},       {"mm", "mm (Edit8)", &TransForm::Edit8},
    {"rxlev", "RXLEV (Edit10)", &TransForm::Edit10},
};

constexpr TextField kBalunFields[] = {
    {"r1", "R1, ohms (Edit25)", &TransForm::Edit25},
    {"r2", "R2, ohms (Edit26)", &TransForm::Edit26},
    {"freq", "Freq, MHz (Edit27)", &TransForm::Edit27},
    {"c", "capacitance result, \"C=... pF\" (Label70)", &TransForm::Label70},
    {"l", "inductance result, \"L=... nH\" (Label71)", &TransForm::Label71},
};

PageCli TransPageCli(TransForm& form, const StderrMessages& messages, RefusalState& state) {
  PageCli page;
  page.page = "trans";
  page.title =
      "The TRANS page: S11 and VSWR, dBm and mW, mil and mm, the RXLEV range, and the LC "
      "balun's C and L.";
  const auto add_key = [&page, &form](const TextField& field) {
    page.keys.push_back(
        {field.key, std::string(field.caption) + "; no handler runs", ValueKind::kText,
         [&form, member = field.text](const std::string& text) { form.*member = text; }});
  };
  for (const TextField& field : kPairFields)
    add_key(field);
  for (const TextField& field : kBalunFields)
    add_key(field);
  page.keys.push_back({"balun",
                       "clc or lcl: a mouse press on \"CLC\" (RadioButton7) or \"LCL\" "
                       "(RadioButton8): the balun drawing",
                       ValueKind::kText, [&form](const std::string& value) {
                         if (Lower(value) == "clc") {
                           form.RadioButton7MouseDown();
                         } else {
                           form.RadioButton8MouseDown();
                         }
                       }});

  // Each action is skipped once an earlier one was refused; a message refuses the action.
  const auto action = [&messages, &state](std::function<void(const std::string&)> handler) {
    return [&messages, &state, handler](const std::string& value) {
      if (state.refused)
        return;
      const int refusals = messages.refusals();
      handler(value);
      state.refused = messages.refusals() != refusals;
    };
  };
  const auto enter = [&form, &action](void (TransForm::*handler)(int)) {
    return action([&form, handler](const std::string&) { (form.*handler)(kEnterKey); });
  };
  page.actions = {
      {"s11", "Enter in S11(dB): the VSWR (S11 of 0 or more is refused)", ValueKind::kNone,
       enter(&TransForm::Edit3KeyDown)},
      {"vswr", "Enter in VSWR: the S11 (VSWR of 1 or less is refused)", ValueKind::kNone,
       enter(&TransForm::Edit4KeyDown)},
      {"dbm", "Enter in dBm: the mW", ValueKind::kNone, enter(&TransForm::Edit5KeyDown)},
      {"mw", "Enter in mW: the dBm (0 or less is refused)", ValueKind::kNone,
       enter(&TransForm::Edit6KeyDown)},
      {"mil", "Enter in mil: the mm", ValueKind::kNone, enter(&TransForm::Edit7KeyDown)},
      {"mm", "Enter in mm: the mil", ValueKind::kNone, enter(&TransForm::Edit8KeyDown)},
      {"rxlev",
       "Enter in RXLEV: the range and the scroll bar (outside 0 to 63: \"error RXLEV\", "
       "then the bar settles at the nearest end)",
       ValueKind::kNone, enter(&TransForm::Edit10KeyDown)},
      {"rxlev-scroll", "the RXLEV scroll bar moved to N (kept within 0 to 63)", ValueKind::kInteger,
       action([&form](const std::string& value) { form.SetScrollBar4(TextToInt(value)); })},
      {"lc", "click \"LC\" (Button7): C and L of the balun", ValueKind::kNone,
       action([&form](const std::string&) { form.Button7Click(); })},
  };

  const auto add_field = [&page, &form](const TextField& field) {
    page.fields.push_back({field.key, [&form, member = field.text] { return form.*member; }});
  };
  for (const TextField& field : kPairFields)
    add_field(field);
  page.fields.push_back({"rxlev-scroll", [&form] { return std::to_string(form.ScrollBar4); }});
  page.fields.push_back({"rxlev-range", [&form] { return form.Label25; }});
  page.fields.push_back(
      {"balun-form", [&form] { return form.Label66 == kLclBalun ? "LCL" : "CLC"; }});
  for (const TextField& field : kBalunFields)
    add_field(field);
  return page;
}

// --balun takes only its choices; anything else is bad usage, found before anything runs.
bool ChoicesAreValid(const PageCli& page, const std::vector<std::string>& args, std::ostream& err) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0)
      continue;
    const std::string value = Lower(args[i + 1]);
    if (arg == "--balun" && value != "clc" && value != "lcl") {
      err << "vexa-cli trans: --balun takes clc or lcl, not '" << args[i + 1] << "'\n";
      return false;
    }
    // Skip the value of a known key, so that a value starting with "--" is not read as a key.
    const std::string name = arg.substr(2);
    if (std::any_of(page.keys.begin(), page.keys.end(),
                    [&name](const PageKey& key) { return key.name == name; }))
      ++i;
  }
  return true;
}

int RunTrans(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  StderrMessages messages(err);
  TransForm form(messages);
  RefusalState state;
  const PageCli page = TransPageCli(form, messages, state);
  if (!ChoicesAreValid(page, args, err))
    return 2;
  const int status = RunPageCli(page, args, out, err);
  return status == 0 && state.refused ? 1 : status;
}

}  // namespace

std::vector<Command> TransCommands() {
  return {
      {"trans", "trans [--KEY TEXT]... [ACTION]...",
       "The TRANS page: set fields, press the balun buttons, press Enter in a field, move the "
       "RXLEV scroll bar, run lc, print every field (vexa-cli trans --help lists them).",
       RunTrans},
  };
}

}  // namespace vexa::cli
