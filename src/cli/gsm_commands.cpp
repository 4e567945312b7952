#include "cli/cli_text.h"
#include "cli/commands.h"
#include "cli/page_cli.h"
#include "core/convert.h"
#include "core/errors.h"
#include "gsm/arfcn_form.h"
#include "gsm/channels.h"

namespace vexa::cli {
namespace {

bool ReadBand(const std::vector<std::string>& args, GsmBand& band, std::ostream& err) {
  if (args.size() != 2) {
    err << "vexa-cli: expected BAND and a channel (see --help)\n";
    return false;
  }
  if (!ParseBandName(args[0], band)) {
    err << "vexa-cli: unknown band '" << args[0] << "' (E-GSM, DCS, PCS or GSM850)\n";
    return false;
  }
  return true;
}

// Enter in the band's channel field: both labels and the harmonics list, or the message.
int RunChannel(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  GsmBand band{};
  if (!ReadBand(args, band, err))
    return 2;
  try {
    const int n = TextToInt(args[1]);
    if (!IsValidChannel(band, n)) {
      err << Traits(band).range_message << '\n';
      return 1;
    }
    const Frequencies f = ChannelToFrequency(band, n);
    out << ReceiveLabelText(f.receive) << '\n'
        << TransmitLabelText(f.transmit) << '\n'
        << HarmonicsList(band, args[1], n);
    return 0;
  } catch (const Error& error) {
    err << error.what() << '\n';
    return 1;
  }
}

// A click on the band's transmit label: the list from the text, without a range check.
int RunHarmonics(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  GsmBand band{};
  if (!ReadBand(args, band, err))
    return 2;
  std::string list;
  try {
    AppendHarmonicsFromText(band, args[1], list);
    out << list;
    return 0;
  } catch (const Error& error) {
    out << list;
    err << error.what() << '\n';
    return 1;
  }
}

// The ARFCN view's keys, actions and fields on `form`. Per band (egsm, dcs, pcs, gsm850):
// --BAND the entry field, --BAND-preset the preset box (typing or choosing runs its handler),
// --BAND-bar the scroll bar (a move runs its handler when the position changes).
PageCli ArfcnPageCli(ArfcnForm& form) {
  PageCli page;
  page.page = "gsm";
  page.title = "The GSM tab's ARFCN view: channels of the four bands, frequencies, harmonics.";
  AddTextKeys<ArfcnForm>(page, form, kArfcnFields);
  AddTextFields<ArfcnForm>(page, form, kArfcnFields);
  for (std::size_t i = 0; i < kArfcnBands.size(); ++i) {
    const GsmBand band = kArfcnBands[i];
    const std::string key = Traits(band).cli_name;
    const std::string shown = Traits(band).display_name;
    const ArfcnRowControls& controls = RowControls(band);
    // The row's keys end before the next band's entry key.
    const std::string next = i + 1 < kArfcnBands.size() ? Traits(kArfcnBands[i + 1]).cli_name : "";
    InsertKeyBefore(page, next,
                    {key + "-preset",
                     shown + " preset box (" + controls.preset + "): choosing or typing runs it",
                     ValueKind::kText,
                     [&form, band](const std::string& text) { form.PresetChange(band, text); }});
    InsertKeyBefore(page, next,
                    {key + "-bar",
                     shown + " scroll bar position (" + controls.bar +
                         "): a move runs it when the position changes",
                     ValueKind::kInteger, [&form, band](const std::string& position) {
                       form.SetScrollBar(band, TextToInt(position));
                     }});
    InsertFieldBefore(page, key + "-rx", {key + "-preset", [&form, text = controls.preset_text] {
                                            return form.*text;
                                          }});
    InsertFieldBefore(page, key + "-rx", {key + "-bar", [&form, position = controls.position] {
                                            return std::to_string(form.*position);
                                          }});
    page.actions.push_back({"enter-" + key, "Enter in the " + shown + " channel field",
                            ValueKind::kNone,
                            [&form, band](const std::string&) { form.UpdateChannel(band); }});
    page.actions.push_back({"scroll-" + key, "move the " + shown + " scroll bar to N",
                            ValueKind::kInteger, [&form, band](const std::string& position) {
                              form.SetScrollBar(band, TextToInt(position));
                            }});
    page.actions.push_back(
        {"pick-" + key, "choose TEXT in the " + shown + " preset box", ValueKind::kText,
         [&form, band](const std::string& text) { form.PresetChange(band, text); }});
    page.actions.push_back(
        {"click-" + key,
         std::string("click on the ") + shown + " \"MS Tx\" label (" +
             kArfcnFields[controls.first_field + 2].control + "): its harmonics list",
         ValueKind::kNone, [&form, band](const std::string&) { form.ShowHarmonics(band); }});
  }
  return page;
}

int RunGsm(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // Range messages: printed, and the handler goes on (no failure).
  StderrMessages messages(err, [](const std::string&) { return false; });
  ArfcnForm form(messages);
  form.FormCreate();
  return RunPageCli(ArfcnPageCli(form), args, out, err);
}

}  // namespace

std::vector<Command> GsmCommands() {
  return {
      {"gsm", "gsm [--KEY TEXT]... [ACTION]...",
       "The ARFCN view: set fields, run Enter/scroll/preset/click actions, print every field "
       "(vexa-cli gsm --help lists the keys and actions).",
       RunGsm},
      {"channel", "channel BAND N",
       "Receive and transmit frequency and harmonics of channel N (BAND: E-GSM, DCS, PCS, "
       "GSM850; any case, EGSM for E-GSM).",
       RunChannel},
      {"harmonics", "harmonics BAND TEXT",
       "The harmonics list a click on the band's transmit frequency shows for TEXT.", RunHarmonics},
  };
}

}  // namespace vexa::cli
