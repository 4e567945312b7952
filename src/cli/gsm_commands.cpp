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
  static const char* const kFields[4][6] = {
      {"Edit1", "ComboBox1", "ScrollBar1", "Label1", "Label2", "E-GSM"},
      {"Edit2", "ComboBox2", "ScrollBar2", "Label5", "Label6", "DCS"},
      {"Edit9", "ComboBox3", "ScrollBar3", "Label20", "Label21", "PCS"},
      {"Edit16", "ComboBox4", "ScrollBar5", "Label37", "Label38", "GSM850"}};
  PageCli page;
  page.page = "gsm";
  page.title = "The GSM tab's ARFCN view: channels of the four bands, frequencies, harmonics.";
  for (GsmBand band : kArfcnBands) {
    const std::string key = Traits(band).cli_name;
    const auto& names = kFields[static_cast<int>(band)];
    const std::string shown = names[5];
    page.keys.push_back({key, shown + " channel entry field (" + names[0] + "); no handler runs",
                         ValueKind::kText,
                         [&form, band](const std::string& text) { form.Row(band).entry = text; }});
    page.keys.push_back(
        {key + "-preset", shown + " preset box (" + names[1] + "): choosing or typing runs it",
         ValueKind::kText,
         [&form, band](const std::string& text) { form.PresetChange(band, text); }});
    page.keys.push_back({key + "-bar",
                         shown + " scroll bar position (" + names[2] +
                             "): a move runs it when the position changes",
                         ValueKind::kInteger, [&form, band](const std::string& position) {
                           form.SetScrollBar(band, TextToInt(position));
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
    page.actions.push_back({"click-" + key,
                            std::string("click on the ") + shown + " \"MS Tx\" label (" + names[4] +
                                "): its harmonics list",
                            ValueKind::kNone,
                            [&form, band](const std::string&) { form.ShowHarmonics(band); }});
  }
  for (GsmBand band : kArfcnBands) {
    const std::string key = Traits(band).cli_name;
    const ArfcnRow& row = form.Row(band);
    page.fields.push_back({key, [&row] { return row.entry; }});
    page.fields.push_back({key + "-preset", [&row] { return row.preset; }});
    page.fields.push_back({key + "-bar", [&row] { return std::to_string(row.bar); }});
    page.fields.push_back({key + "-rx", [&row] { return row.receive; }});
    page.fields.push_back({key + "-tx", [&row] { return row.transmit; }});
  }
  page.fields.push_back({"harmonics", [&form] { return form.Harmonics(); }});
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
