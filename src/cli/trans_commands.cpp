#include "cli/cli_text.h"
#include "cli/commands.h"
#include "cli/page_cli.h"
#include "conversions/trans_form.h"
#include "core/convert.h"

namespace vexa::cli {
namespace {

// A message that ends its handler ("input must be negative", "mW must be greater than 0",
// ...) refuses the input: the later actions must not run and the exit status is 1.
struct RefusalState {
  bool refused = false;
};

PageCli TransPageCli(TransForm& form, const StderrMessages& messages, RefusalState& state) {
  PageCli page;
  page.page = "trans";
  page.title =
      "The TRANS page: S11 and VSWR, dBm and mW, mil and mm, the RXLEV range, and the LC "
      "balun's C and L.";
  AddTextKeys<TransForm>(page, form, kTransFields);
  page.keys.push_back({"balun",
                       "clc or lcl: a mouse press on \"CLC\" (RadioButton7) or \"LCL\" "
                       "(RadioButton8): the balun drawing",
                       ValueKind::kText,
                       [&form](const std::string& value) {
                         if (Lower(value) == "clc") {
                           form.RadioButton7MouseDown();
                         } else {
                           form.RadioButton8MouseDown();
                         }
                       },
                       {"clc", "lcl"}});

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

  AddTextFields<TransForm>(page, form, kTransFields);
  InsertFieldBefore(page, "rxlev-range",
                    {"rxlev-scroll", [&form] { return std::to_string(form.ScrollBar4); }});
  InsertFieldBefore(page, "r1",
                    {"balun-form", [&form] { return form.Label66 == kLclBalun ? "LCL" : "CLC"; }});
  return page;
}

int RunTrans(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // "error RXLEV" is shown on the way: the routine goes on and moves the scroll bar.
  StderrMessages messages(err, [](const std::string& text) { return text != kRxlevOutOfRange; });
  TransForm form(messages);
  RefusalState state;
  const PageCli page = TransPageCli(form, messages, state);
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
