// The ARFCN view as a form model: the texts of its controls and its handlers, without Qt.
// The window's ArfcnPage mirrors these texts into its widgets and forwards its events here;
// `vexa-cli gsm` drives the same model, so the two can never drift apart.
#pragma once

#include <array>
#include <string>

#include "core/form_fields.h"
#include "core/form_messages.h"
#include "gsm/channels.h"

namespace vexa {

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

// One band's row of controls in the form, as the handlers use it.
struct ArfcnRow {
  std::string& entry;     // the channel entry field
  int& bar;               // the scroll bar's position
  std::string& preset;    // the preset box's text
  std::string& receive;   // "MS Rx  ...  MHz"
  std::string& transmit;  // "MS Tx  ...  MHz"
};

class ArfcnForm {
 public:
  // The form as designed, before the window's creation fills the labels.
  explicit ArfcnForm(FormMessages& messages);

  // The controls' texts and the bars' positions, band by band (E-GSM, DCS, PCS, GSM850).
  std::string Edit1, Edit2, Edit9, Edit16;                 // the channel entry fields
  std::string ComboBox1, ComboBox2, ComboBox3, ComboBox4;  // the preset boxes
  int ScrollBar1 = 0, ScrollBar2 = 0, ScrollBar3 = 0, ScrollBar5 = 0;
  std::string Label1, Label5, Label20, Label37;  // "MS Rx  ...  MHz"
  std::string Label2, Label6, Label21, Label38;  // "MS Tx  ...  MHz"
  std::string Label39 = "Harmonics";             // the harmonics list shared by the four rows

  ArfcnRow Row(GsmBand band);

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
};

// The form's texts in the page's entry fields and labels, in vexa-cli's printing order: per
// band the entry (its key the band's vexa-cli name) and the two frequency labels, then the
// list. The preset boxes and scroll bars run handlers and are bound on their own.
inline constexpr FormField<ArfcnForm> kArfcnFields[] = {
    {"egsm", "Edit1", "E-GSM channel entry field", &ArfcnForm::Edit1},
    {"egsm-rx", "Label1", "E-GSM receive frequency", &ArfcnForm::Label1, FieldUse::kPrinted},
    {"egsm-tx", "Label2", "E-GSM transmit frequency", &ArfcnForm::Label2, FieldUse::kPrinted},
    {"dcs", "Edit2", "DCS channel entry field", &ArfcnForm::Edit2},
    {"dcs-rx", "Label5", "DCS receive frequency", &ArfcnForm::Label5, FieldUse::kPrinted},
    {"dcs-tx", "Label6", "DCS transmit frequency", &ArfcnForm::Label6, FieldUse::kPrinted},
    {"pcs", "Edit9", "PCS channel entry field", &ArfcnForm::Edit9},
    {"pcs-rx", "Label20", "PCS receive frequency", &ArfcnForm::Label20, FieldUse::kPrinted},
    {"pcs-tx", "Label21", "PCS transmit frequency", &ArfcnForm::Label21, FieldUse::kPrinted},
    {"gsm850", "Edit16", "GSM850 channel entry field", &ArfcnForm::Edit16},
    {"gsm850-rx", "Label37", "GSM850 receive frequency", &ArfcnForm::Label37, FieldUse::kPrinted},
    {"gsm850-tx", "Label38", "GSM850 transmit frequency", &ArfcnForm::Label38, FieldUse::kPrinted},
    {"harmonics", "Label39", "the harmonics list", &ArfcnForm::Label39, FieldUse::kPrinted},
};

// The band's preset box and scroll bar, which run handlers and so stand outside the table,
// and where the band's three texts stand in it.
struct ArfcnRowControls {
  const char* preset;  // the preset box (ComboBox1 ...)
  const char* bar;     // the scroll bar (ScrollBar1 ...)
  std::string ArfcnForm::*preset_text;
  int ArfcnForm::*position;
  std::size_t first_field;  // the entry's index in kArfcnFields; receive, transmit follow
};
inline constexpr ArfcnRowControls kArfcnRowControls[] = {
    {"ComboBox1", "ScrollBar1", &ArfcnForm::ComboBox1, &ArfcnForm::ScrollBar1, 0},
    {"ComboBox2", "ScrollBar2", &ArfcnForm::ComboBox2, &ArfcnForm::ScrollBar2, 3},
    {"ComboBox3", "ScrollBar3", &ArfcnForm::ComboBox3, &ArfcnForm::ScrollBar3, 6},
    {"ComboBox4", "ScrollBar5", &ArfcnForm::ComboBox4, &ArfcnForm::ScrollBar5, 9},
};
inline const ArfcnRowControls& RowControls(GsmBand band) {
  return kArfcnRowControls[static_cast<std::size_t>(band)];
}

}  // namespace vexa
