#include "cli/cli_text.h"
#include "cli/commands.h"
#include "cli/page_cli.h"
#include "matching/match_form.h"

namespace vexa::cli {
namespace {

// "Resistance" stops on its messages (the input is refused): the later actions must not run
// and the exit status is 1. The other actions' messages are shown and the action goes on.
struct RefusalState {
  bool refused = false;
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
  AddTextKeys<MatchForm>(page, form, kMatchFields);
  page.keys.push_back({"topology",
                       "lc or cl: a mouse press on \"  LC\" (RadioButton1) or \"  CL\" "
                       "(RadioButton2): schematic, unit labels, cleared elements and reflections",
                       ValueKind::kText,
                       [&form](const std::string& value) { PressTopology(form, value); },
                       {"lc", "cl"}});
  page.keys.push_back({"pad",
                       "pi or t: a mouse press on \"Pi\" (RadioButton3) or \"T\" (RadioButton4): "
                       "schematic, cleared resistors and reflection",
                       ValueKind::kText,
                       [&form](const std::string& value) { PressPad(form, value); },
                       {"pi", "t"}});
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
         const int shown = messages.shown();
         form.Button2Click();
         state.refused = messages.shown() != shown;
       }},
      {"attenuation", "click \"Attenuation\" (Button3): analyse the pad", ValueKind::kNone,
       action(&MatchForm::Button3Click)},
  };
  AddTextFields<MatchForm>(page, form, kMatchFields);
  return page;
}

int RunMatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  StderrMessages messages(err);
  MatchForm form(messages);
  form.FormCreate();
  RefusalState state;
  const PageCli page = MatchPageCli(form, messages, state);
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
