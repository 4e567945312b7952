#include "gsm/arfcn_form.h"

#include <algorithm>
#include <iterator>

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
    const ArfcnRow row = Row(band);
    row.entry = design.entry;
    row.bar = design.bar;
    row.preset = design.preset;
  }
}

namespace {

// Each row's entry, receive and transmit texts stand together in the table, in that order.
constexpr bool RowsMatchTheTable() {
  for (const ArfcnRowControls& row : kArfcnRowControls) {
    const FormField<ArfcnForm>* fields = &kArfcnFields[row.first_field];
    if (fields[0].use != FieldUse::kKey || fields[1].use != FieldUse::kPrinted ||
        fields[2].use != FieldUse::kPrinted)
      return false;
  }
  return std::size(kArfcnFields) == 3 * std::size(kArfcnRowControls) + 1;
}
static_assert(RowsMatchTheTable());

}  // namespace

ArfcnRow ArfcnForm::Row(GsmBand band) {
  const ArfcnRowControls& controls = RowControls(band);
  const FormField<ArfcnForm>* fields = &kArfcnFields[controls.first_field];
  return {this->*fields[0].text, this->*controls.position, this->*controls.preset_text,
          this->*fields[1].text, this->*fields[2].text};
}

void ArfcnForm::FormCreate() {
  for (GsmBand band : {GsmBand::DCS, GsmBand::PCS, GsmBand::GSM850, GsmBand::EGSM})
    UpdateChannel(band);
}

void ArfcnForm::UpdateChannel(GsmBand band) {
  const ArfcnRow row = Row(band);
  const std::string text = row.entry;
  const int n = TextToInt(text);
  if (IsValidChannel(band, n)) {
    const Frequencies f = ChannelToFrequency(band, n);
    Label39 = HarmonicsList(band, text, n);
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
  const ArfcnRow row = Row(band);
  if (clamped == row.bar)
    return;
  row.bar = clamped;
  ScrollBarChange(band);
}

void ArfcnForm::ScrollBarChange(GsmBand band) {
  const ArfcnRow row = Row(band);
  row.entry = std::to_string(ScrollPositionToChannel(band, row.bar));
  UpdateChannel(band);
}

void ArfcnForm::PresetChange(GsmBand band, const std::string& text) {
  const ArfcnRow row = Row(band);
  row.preset = text;
  row.entry = text;
  UpdateChannel(band);
}

void ArfcnForm::ShowHarmonics(GsmBand band) {
  std::string list;
  try {
    AppendHarmonicsFromText(band, Row(band).entry, list);
  } catch (...) {
    Label39 = list;  // the header and the channel line stay
    throw;
  }
  Label39 = list;
}

}  // namespace vexa
