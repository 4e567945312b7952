#include "gsm/arfcn_form.h"

#include <algorithm>

#include "core/convert.h"

namespace vexa {

const ArfcnRowDesign& RowDesign(GsmBand band) {
  static const std::array<ArfcnRowDesign, 4> kDesigns = {{
      {"62", 111, {"975", "1000", "1023", "0", "62", "124"}, "62"},
      {"699", 699, {"512", "699", "885", nullptr, nullptr, nullptr}, "699"},
      {"661", 661, {"512", "661", "810", nullptr, nullptr, nullptr}, "661"},
      {"190", 190, {"128", "190", "251", nullptr, nullptr, nullptr}, ""},
  }};
  return kDesigns[static_cast<std::size_t>(band)];
}

ArfcnForm::ArfcnForm(FormMessages& messages) : messages_(messages) {
  for (GsmBand band : kArfcnBands) {
    const ArfcnRowDesign& design = RowDesign(band);
    ArfcnRow& row = Row(band);
    row.entry = design.entry;
    row.bar = design.bar;
    row.preset = design.preset;
  }
}

void ArfcnForm::FormCreate() {
  for (GsmBand band : {GsmBand::DCS, GsmBand::PCS, GsmBand::GSM850, GsmBand::EGSM})
    UpdateChannel(band);
}

void ArfcnForm::UpdateChannel(GsmBand band) {
  ArfcnRow& row = Row(band);
  const std::string text = row.entry;
  const int n = TextToInt(text);
  if (IsValidChannel(band, n)) {
    const Frequencies f = ChannelToFrequency(band, n);
    harmonics_ = HarmonicsList(band, text, n);
    row.receive = ReceiveLabelText(f.receive);
    row.transmit = TransmitLabelText(f.transmit);
  } else {
    messages_.ShowMessage(Traits(band).range_message);
  }
  // When the clamped position moves the bar, its change handler writes the channel of the new
  // position into the entry and runs this update again, so an out-of-band entry ends on the
  // nearest end of the bar.
  SetScrollBar(band, ChannelToScrollPosition(band, n));
  row.preset = row.entry;
}

void ArfcnForm::SetScrollBar(GsmBand band, int position) {
  const BandTraits& traits = Traits(band);
  const int clamped = std::clamp(position, traits.scroll_min, traits.scroll_max);
  ArfcnRow& row = Row(band);
  if (clamped == row.bar)
    return;
  row.bar = clamped;
  ScrollBarChange(band);
}

void ArfcnForm::ScrollBarChange(GsmBand band) {
  ArfcnRow& row = Row(band);
  row.entry = std::to_string(ScrollPositionToChannel(band, row.bar));
  UpdateChannel(band);
}

void ArfcnForm::PresetChange(GsmBand band, const std::string& text) {
  ArfcnRow& row = Row(band);
  row.preset = text;
  row.entry = text;
  UpdateChannel(band);
}

void ArfcnForm::ShowHarmonics(GsmBand band) {
  std::string list;
  try {
    AppendHarmonicsFromText(band, Row(band).entry, list);
  } catch (...) {
    harmonics_ = list;  // the header and the channel line stay
    throw;
  }
  harmonics_ = list;
}

}  // namespace vexa
