// The ARFCN view as a form model: the texts of its controls and its handlers, without Qt.
// The window's ArfcnPage mirrors these texts into its widgets and forwards its events here;
// `vexa-cli gsm` drives the same model, so the two can never drift apart.
#pragma once

#include <array>
#include <string>

#include "core/form_messages.h"
#include "gsm/channels.h"

namespace vexa {

// One band's row of controls, as the page shows them.
struct ArfcnRow {
  std::string entry;     // the channel entry field (Edit1, Edit2, Edit9, Edit16)
  int bar = 0;           // the scroll bar's position (ScrollBar1, 2, 3, 5)
  std::string preset;    // the preset box's text (ComboBox1 ... ComboBox4)
  std::string receive;   // "MS Rx  ...  MHz" (Label1, Label5, Label20, Label37)
  std::string transmit;  // "MS Tx  ...  MHz" (Label2, Label6, Label21, Label38)
};

// Design-time content of a row: entry text, bar position, preset items and preset text.
struct ArfcnRowDesign {
  const char* entry;
  int bar;
  std::array<const char*, 6> presets;  // unused slots are nullptr
  const char* preset;
};
const ArfcnRowDesign& RowDesign(GsmBand band);

// The bands in the page's order, top to bottom.
inline constexpr std::array<GsmBand, 4> kArfcnBands = {GsmBand::EGSM, GsmBand::DCS, GsmBand::PCS,
                                                       GsmBand::GSM850};

class ArfcnForm {
 public:
  // The form as designed, before the window's creation fills the labels.
  explicit ArfcnForm(FormMessages& messages);

  ArfcnRow& Row(GsmBand band) { return rows_[static_cast<std::size_t>(band)]; }
  const ArfcnRow& Row(GsmBand band) const { return rows_[static_cast<std::size_t>(band)]; }
  // The shared harmonics list (Label39).
  const std::string& Harmonics() const { return harmonics_; }

  // The window's creation: the band updaters in the order DCS, PCS, GSM850, E-GSM, so that
  // the list shows E-GSM at the end.
  void FormCreate();

  // Enter in the band's entry field (Edit1KeyDown, ...): reads the entry, refreshes the row
  // and the list, or shows the band's range message; then puts the bar on the channel (which
  // may run ScrollBarChange) and copies the entry into the preset box.
  void UpdateChannel(GsmBand band);

  // The scroll bar is set to `position`, by the user or by the program: the bar clamps it to
  // its range and, only when that changes its position, runs ScrollBarChange.
  void SetScrollBar(GsmBand band, int position);

  // The preset box's text changed by the user (a preset chosen, or the text edited):
  // entry := text, then UpdateChannel.
  void PresetChange(GsmBand band, const std::string& text);

  // A click on the band's "MS Tx" label: the band's list from whatever the entry holds, with
  // no range check. A text that does not convert leaves the header and channel line written.
  void ShowHarmonics(GsmBand band);

 private:
  void ScrollBarChange(GsmBand band);

  FormMessages& messages_;
  std::array<ArfcnRow, 4> rows_;
  std::string harmonics_ = "Harmonics";
};

}  // namespace vexa
