// The TRANS page as a form model: the texts of its controls and its handlers, without Qt.
// The window's page mirrors these texts into its widgets and forwards its events here;
// `vexa-cli trans` drives the same model.
//
// Handlers throw ConversionError / FloatError (core/errors.h) where the page's default error
// handler would take over; nothing is written before they do. Refused input shows a message
// through FormMessages and leaves the fields as they were.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/form_fields.h"
#include "core/form_messages.h"

namespace vexa {

// The balun drawings of Label66, eleven lines joined by '\n'. LCL is CLC with every L and C
// exchanged.
extern const char* const kClcBalun;
extern const char* const kLclBalun;

// The RXQUAL reference list (ComboBox5's items, in order).
extern const std::array<const char*, 8> kRxqualItems;

// The messages of refused input.
inline constexpr const char* kS11NotNegative = "input must be negative";
inline constexpr const char* kVswrNotAboveOne = "input must be larger than 1";
inline constexpr const char* kMwNotPositive = "mW must be greater than 0";
inline constexpr const char* kRxlevOutOfRange = "error RXLEV";
inline constexpr const char* kBalunProductNotPositive = "R1*R2 must be greater than 0";
inline constexpr const char* kBalunFreqNotPositive = "Freq must be greater than 0";

class TransForm {
 public:
  // Captions that never change.
  // Labels 7, 13, 14 and 24 are the arrows between the pairs.
  static constexpr const char* kLabel7 = "<---------->";
  static constexpr const char* kLabel8 = "S11(dB)";
  static constexpr const char* kLabel9 = "VSWR";
  static constexpr const char* kLabel10 = "mil";
  static constexpr const char* kLabel11 = "dBm";
  static constexpr const char* kLabel12 = "mW";
  static constexpr const char* kLabel13 = "<---------->";
  static constexpr const char* kLabel14 = "<---------->";
  static constexpr const char* kLabel15 = "mm";
  static constexpr const char* kLabel23 = "RXLEV";
  static constexpr const char* kLabel24 = "<---------->";
  static constexpr const char* kLabel67 = "R1";
  static constexpr const char* kLabel68 = "R2";
  static constexpr const char* kLabel69 = "Freq                                          MHz";
  static constexpr const char* kGroupBox3 = "Balun";
  static constexpr const char* kRadioButton7 = "CLC";
  static constexpr const char* kRadioButton8 = "LCL";
  static constexpr const char* kButton7 = "LC";
  // Formula reminders; nothing computes with them.
  static constexpr const char* kLabel43 = "dBm=dBuVemf-113";
  static constexpr const char* kLabel35 = "dBm=dBuV-107";
  static constexpr const char* kLabel63 = "if difference Zd=R+jX, then single Zs=R/2+jX/2";
  static constexpr const char* kLabel72 = "LC=1/(w*w)";
  static constexpr const char* kLabel74 = "Sensi=-174dBm+10logB+NFsys+C/N  @290K";
  static constexpr const char* kLabel78 = "C=W*log(1+S/N)";

  // The scroll bar's range.
  static constexpr int kScrollBar4Min = 0;
  static constexpr int kScrollBar4Max = 63;

  // The form at start: empty pairs, RXLEV 0, the CLC balun.
  explicit TransForm(FormMessages& messages);

  std::string Edit3;         // S11, dB
  std::string Edit4;         // VSWR
  std::string Edit5;         // dBm
  std::string Edit6;         // mW
  std::string Edit7;         // mil
  std::string Edit8;         // mm
  std::string Edit10 = "0";  // RXLEV index
  int ScrollBar4 = 0;        // RXLEV index, 0 … 63; change it through SetScrollBar4
  std::string Label25 = "less than -110 dBm";  // RXLEV range
  std::string ComboBox5 = "RXQUAL_4     1.6%  <BER<  3.2%";
  std::string Label66 = kClcBalun;  // balun drawing
  bool RadioButton7 = true;         // CLC
  bool RadioButton8 = false;        // LCL
  std::string Edit25 = "50";        // R1, ohms
  std::string Edit26 = "50";        // R2, ohms
  std::string Edit27 = "1000";      // frequency, MHz
  std::string Label70 = "C=";
  std::string Label71 = "L=";

  // The paired fields act on Enter only: each converts its own text and writes the result
  // into its partner (whose handler does not run).
  void Edit3KeyDown(int key);  // S11 -> VSWR; S11 of 0 or more is refused
  void Edit4KeyDown(int key);  // VSWR -> S11; VSWR of 1 or less is refused
  void Edit5KeyDown(int key);  // dBm -> mW
  void Edit6KeyDown(int key);  // mW -> dBm; mW of 0 or less is refused
  void Edit7KeyDown(int key);  // mil -> mm
  void Edit8KeyDown(int key);  // mm -> mil

  // Enter in the RXLEV field runs the RXLEV routine: Edit10 read as an integer (a conversion
  // error changes nothing), Label25 set to its range or "error RXLEV" shown when it is outside
  // 0 … 63, then the scroll bar moved to it.
  void Edit10KeyDown(int key);

  // Moves the scroll bar, kept within 0 … 63. Only a change of position runs ScrollBar4Change:
  // the position into Edit10, then the RXLEV routine, whose own move of the scroll bar may run
  // it once more (70 in Edit10 settles at 63).
  void SetScrollBar4(int position);

  // Mouse press on the balun buttons: checks the button, unchecks the other and shows its
  // drawing. The values do not depend on the form.
  void RadioButton7MouseDown();  // CLC
  void RadioButton8MouseDown();  // LCL

  // "LC": R1, R2 and the frequency read in this order, then "C=<pF> pF" and "L=<nH> nH".
  // R1·R2 or a frequency of 0 or less is refused and the labels stay as they were.
  void Button7Click();

 private:
  void ScrollBar4Change();
  void RxlevRoutine();

  FormMessages& messages_;
};

// The form's texts, in vexa-cli's printing order (it prints the scroll bar before the range
// and the balun's form before R1).
inline constexpr FormField<TransForm> kTransFields[] = {
    {"s11", "Edit3", "S11(dB)", &TransForm::Edit3},
    {"vswr", "Edit4", "VSWR", &TransForm::Edit4},
    {"dbm", "Edit5", "dBm", &TransForm::Edit5},
    {"mw", "Edit6", "mW", &TransForm::Edit6},
    {"mil", "Edit7", "mil", &TransForm::Edit7},
    {"mm", "Edit8", "mm", &TransForm::Edit8},
    {"rxlev", "Edit10", "RXLEV", &TransForm::Edit10},
    {"rxlev-range", "Label25", "RXLEV range", &TransForm::Label25, FieldUse::kPrinted},
    {"r1", "Edit25", "R1, ohms", &TransForm::Edit25},
    {"r2", "Edit26", "R2, ohms", &TransForm::Edit26},
    {"freq", "Edit27", "Freq, MHz", &TransForm::Edit27},
    {"c", "Label70", "capacitance result, \"C=... pF\"", &TransForm::Label70},
    {"l", "Label71", "inductance result, \"L=... nH\"", &TransForm::Label71},
};

// The three program buttons start a desktop program. Each role lists the usual Linux programs,
// most preferred first.
struct DesktopProgram {
  const char* role;  // "calculator", "text editor", "paint program"
  std::vector<std::string> candidates;
};

extern const DesktopProgram kCalculatorProgram;  // BitBtn1
extern const DesktopProgram kTextEditorProgram;  // BitBtn2
extern const DesktopProgram kPaintProgram;       // BitBtn3

// The full path of the first candidate that is an executable regular file in one of the
// directories of `path_env` (a PATH value, ':'-separated; empty entries are skipped), or ""
// when none is.
std::string FindProgram(const std::vector<std::string>& candidates, const std::string& path_env);

// "No calculator found. Install one of: gnome-calculator, kcalc, ..." for the role.
std::string MissingProgramMessage(const DesktopProgram& program);

}  // namespace vexa
