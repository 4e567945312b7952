#include "cli/commands.h"
#include "core/convert.h"
#include "core/errors.h"
#include "gsm/channels.h"

namespace vexa::cli {
namespace {

bool ReadBand(const std::vector<std::string>& args, GsmBand& band, std::ostream& err) {
  if (args.size() != 2) {
    err << "vexa-cli: expected BAND and a channel (see --help)\n";
    return false;
  }
  if (!ParseBandName(args[0], band)) {
    err << "vexa-cli: unknown band '" << args[0] << "' (egsm, dcs, pcs or gsm850)\n";
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

}  // namespace

std::vector<Command> GsmCommands() {
  return {
      {"channel", "channel BAND N",
       "Receive and transmit frequency and harmonics of channel N (BAND: egsm, dcs, pcs, gsm850).",
       RunChannel},
      {"harmonics", "harmonics BAND TEXT",
       "The harmonics list a click on the band's transmit frequency shows for TEXT.", RunHarmonics},
  };
}

}  // namespace vexa::cli
