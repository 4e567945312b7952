#include <algorithm>
#include <cctype>

#include "cli/commands.h"
#include "cli/page_cli.h"
#include "matching/match_form.h"

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
    ++count_;
  }
  int count() const { return count_; }

 private:
  std::ostream& err_;
  int count_ = 0;
};

// "Resistance" stops on its messages (the input is refused): the later actions must not run
// and the exit status is 1. The other actions' messages are shown and the action goes on.
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
  std::string MatchForm::*text;
};

// In the printing order.
constexpr TextField kFields[] = {
    {"rg", "Rg  Port1, ohms (Edit11)", &MatchForm::Edit11},
    {"x1", "X1, port-1 reactance, ohms (Edit23)", &MatchForm::Edit23},
    {"rd", "Rd  Port2, ohms (Edit14)", &MatchForm::Edit14},
    {"x2", "X2, port-2 reactance, ohms (Edit24)", &MatchForm::Edit24},
    {"freq", "Freq, MHz (Edit15)", &MatchForm::Edit15},
    {"shunt", "shunt element value, across port 1 (Edit12)", &MatchForm::Edit12},
    {"shunt-unit", "shunt element unit, nH or pF (Label27)", &MatchForm::Label27},
    {"series", "series element value, towards port 2 (Edit13)", &MatchForm::Edit13},
    {"series-unit", "series element unit, nH or pF (Label30)", &MatchForm::Label30},
    {"gamma1", "port-1 reflection line (Label31)", &MatchForm::Label31},
    {"gamma2", "port-2 reflection line (Label32)", &MatchForm::Label32},
    {"s21", "transmission line (Label53)", &MatchForm::Label53},
    {"rn", "Rn   Port1, ohms (Edit17)", &MatchForm::Edit17},
    {"ro", "Ro   Port2, ohms (Edit18)", &MatchForm::Edit18},
    {"att", "Attenuation (dB) (Edit19)", &MatchForm::Edit19},
    {"r1", "pad resistor R1, ohms (Edit20)", &MatchForm::Edit20},
    {"r2", "pad resistor R2, ohms (Edit21)", &MatchForm::Edit21},
    {"r3", "pad resistor R3, ohms (Edit22)", &MatchForm::Edit22},
    {"pad-gamma1", "pad port-1 reflection line (Label52)", &MatchForm::Label52},
};

// The radio buttons: a mouse press runs the button's handler, and the click then checks it.
void PressTopology(MatchForm& form, const std::string& value) {
  if (Lower(value) == "lc") {
    form.RadioButton1MouseDown();
    form.CheckTopology(LNetworkTopology::kLC);
  } else {
    form.RadioButton2MouseDown();
    form.CheckTopology(LNetworkTopology::kCL);
  }
}

void PressPad(MatchForm& form, const std::string& value) {
  if (Lower(value) == "pi") {
    form.RadioButton3MouseDown();
    form.CheckPad(PadType::kPi);
  } else {
    form.RadioButton4MouseDown();
    form.CheckPad(PadType::kT);
  }
}

PageCli MatchPageCli(MatchForm& form, const StderrMessages& messages, RefusalState& state) {
  PageCli page;
  page.page = "match";
  page.title =
      "The MATCH page: L-network design (LC/CL), reflections and S21 of the network, impedance "
      "transfer between the ports, Pi and T attenuator pads.";
  for (const TextField& field : kFields) {
    page.keys.push_back(
        {field.key, std::string(field.caption) + "; no handler runs", ValueKind::kText,
         [&form, member = field.text](const std::string& text) { form.*member = text; }});
  }
  page.keys.push_back({"topology",
                       "lc or cl: a mouse press on \"  LC\" (RadioButton1) or \"  CL\" "
                       "(RadioButton2): schematic, unit labels, cleared elements and reflections",
                       ValueKind::kText,
                       [&form](const std::string& value) { PressTopology(form, value); }});
  page.keys.push_back({"pad",
                       "pi or t: a mouse press on \"Pi\" (RadioButton3) or \"T\" (RadioButton4): "
                       "schematic, cleared resistors and reflection",
                       ValueKind::kText,
                       [&form](const std::string& value) { PressPad(form, value); }});
  // Each action is skipped once an earlier one was refused.
  const auto action = [&form, &state](void (MatchForm::*handler)()) {
    return [&form, &state, handler](const std::string&) {
      if (!state.refused)
        (form.*handler)();
    };
  };
  page.actions = {
      {"design", "click \"LC\" (Button8): design the L network", ValueKind::kNone,
       action(&MatchForm::Button8Click)},
      {"sparam", "click \"Sparam\" (Button9): reflections and S21 of the network", ValueKind::kNone,
       action(&MatchForm::Button9Click)},
      {"g2d", "click \"---------->\": the load the network matches, into rd and x2",
       ValueKind::kNone, action(&MatchForm::g2dClick)},
      {"d2g", "click \"<----------\": the generator the network matches, into rg and x1",
       ValueKind::kNone, action(&MatchForm::d2gClick)},
      {"resistance",
       "click \"Resistance\" (Button2): design the pad (a refused pad ends the run, status 1)",
       ValueKind::kNone,
       [&form, &messages, &state](const std::string&) {
         if (state.refused)
           return;
         const int shown = messages.count();
         form.Button2Click();
         state.refused = messages.count() != shown;
       }},
      {"attenuation", "click \"Attenuation\" (Button3): analyse the pad", ValueKind::kNone,
       action(&MatchForm::Button3Click)},
  };
  for (const TextField& field : kFields)
    page.fields.push_back({field.key, [&form, member = field.text] { return form.*member; }});
  return page;
}

// The radio-button keys take only their choices; anything else is bad usage, found before
// anything runs.
bool ChoicesAreValid(const PageCli& page, const std::vector<std::string>& args, std::ostream& err) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0)
      continue;
    const std::string value = Lower(args[i + 1]);
    if (arg == "--topology" && value != "lc" && value != "cl") {
      err << "vexa-cli match: --topology takes lc or cl, not '" << args[i + 1] << "'\n";
      return false;
    }
    if (arg == "--pad" && value != "pi" && value != "t") {
      err << "vexa-cli match: --pad takes pi or t, not '" << args[i + 1] << "'\n";
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

int RunMatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  StderrMessages messages(err);
  MatchForm form(messages);
  form.FormCreate();
  RefusalState state;
  const PageCli page = MatchPageCli(form, messages, state);
  if (!ChoicesAreValid(page, args, err))
    return 2;
  const int status = RunPageCli(page, args, out, err);
  return status == 0 && state.refused ? 1 : status;
}

}  // namespace

std::vector<Command> MatchCommands() {
  return {
      {"match", "match [--KEY TEXT]... [ACTION]...",
       "The MATCH page: set fields, press the topology/pad buttons, run design, sparam, g2d, "
       "d2g, resistance, attenuation, print every field (vexa-cli match --help lists them).",
       RunMatch},
  };
}

}  // namespace vexa::cli
