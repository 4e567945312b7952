// The MATCH page as a form model: the texts of its controls and its handlers, without Qt.
// The window's page mirrors these texts into its widgets and forwards its events here;
// `vexa-cli match` drives the same model.
//
// Handlers throw ConversionError / FloatError (core/errors.h) where the page's default error
// handler would take over; what they wrote before that stays written. Range and sanity
// messages go through FormMessages and the handler goes on or stops as described per handler.
#pragma once

#include <string>

#include "core/form_fields.h"
#include "core/form_messages.h"
#include "matching/matching.h"

namespace vexa {

// The schematics, one line per element, lines joined by '\n'.
extern const char* const kLcSchematic;  // Label33, LC topology
extern const char* const kClSchematic;  // Label33, CL topology
extern const char* const kPiSchematic;  // Label44, Pi pad
extern const char* const kTSchematic;   // Label44, T pad

// The message of the port exchange, and the pad's refusals.
extern const char* const kExchangeMessage;

// Nearest E24 parts for the elements standing in the page, and |Γ1| of the network built from
// them. Each text is empty when it cannot be computed (a field that does not convert, an
// arithmetic fault, a value that is not positive).
struct MatchE24Texts {
  std::string shunt;   // e.g. "E24: 13 nH"
  std::string series;  // e.g. "E24: 3 pF"
  std::string gamma1;  // e.g. "E24 parts: Γ1= -23.4 dB"
};

class MatchForm {
 public:
  // The form as designed, before the window's creation writes the schematics.
  explicit MatchForm(FormMessages& messages);

  // ---- upper group (GroupBox1): L network ----
  std::string Edit11 = "75";    // Rg, port 1, ohms
  std::string Edit23 = "0";     // X1, ohms
  std::string Edit14 = "60";    // Rd, port 2, ohms
  std::string Edit24 = "0";     // X2, ohms
  std::string Edit15 = "1800";  // frequency, MHz
  std::string Edit12;           // shunt element value
  std::string Label27 = "nH";   // shunt element unit
  std::string Edit13;           // series element value
  std::string Label30 = "pF";   // series element unit
  std::string Label33;          // L network schematic
  std::string Label31 = "Γ1=  ";
  std::string Label32 = "Γ2=  ";
  std::string Label53 = "S21=S12=";
  // Topology radio buttons: LC exactly when RadioButton1 is checked.
  bool RadioButton1 = true;   // "  LC"
  bool RadioButton2 = false;  // "  CL"

  // ---- lower group (GroupBox2): pads ----
  std::string Edit17 = "50";  // Rn, port 1, ohms
  std::string Edit18 = "50";  // Ro, port 2, ohms
  std::string Edit19 = "30";  // attenuation, dB
  std::string Edit20;         // R1, ohms
  std::string Edit21;         // R2, ohms
  std::string Edit22;         // R3, ohms
  std::string Label44;        // pad schematic
  std::string Label52 = "Γ1=  ";
  // Pad radio buttons: Pi exactly when RadioButton3 is checked.
  bool RadioButton3 = true;   // "Pi"
  bool RadioButton4 = false;  // "T"

  LNetworkTopology Topology() const {
    return RadioButton1 ? LNetworkTopology::kLC : LNetworkTopology::kCL;
  }
  PadType Pad() const { return RadioButton3 ? PadType::kPi : PadType::kT; }

  // Checks a radio button of a group and unchecks the other, with no handler: what keyboard
  // selection (or the click that follows a mouse press) does.
  void CheckTopology(LNetworkTopology topology);
  void CheckPad(PadType type);

  // The window's creation: the LC schematic into Label33 and the Pi schematic into Label44.
  void FormCreate();

  // "LC" (Button8): designs the network; the exchange message and rewritten ports when the
  // generator's parallel resistance is below the load's.
  void Button8Click();
  // "Sparam" (Button9): Label31, Label32, Label53. A zero reflection shows "Γ1= -INF  " /
  // "Γ2= -INF  ".
  void Button9Click();
  // "---------->" (g2d): the load that the network matches, into Edit14 / Edit24.
  void g2dClick();
  // "<----------" (d2g): the generator that the network matches, into Edit11 / Edit23.
  void d2gClick();

  // Mouse press on the topology buttons: schematic, unit labels, cleared element fields and
  // reflection labels. They do not check the button (see CheckTopology).
  void RadioButton1MouseDown();  // LC
  void RadioButton2MouseDown();  // CL

  // "Resistance" (Button2): the pad's resistors, or a message and nothing written.
  void Button2Click();
  // "Attenuation" (Button3): Edit19, then Label52.
  void Button3Click();
  // Mouse press on the pad buttons: schematic, cleared resistors and Label52. They do not
  // check the button (see CheckPad).
  void RadioButton3MouseDown();  // Pi
  void RadioButton4MouseDown();  // T

  // Beyond the page's described controls: the nearest E24 parts of the two elements and what
  // they would do to |Γ1| at the ports and frequency standing in the fields. Never throws.
  MatchE24Texts E24Texts() const;

 private:
  void TopologyMouseDown(LNetworkTopology topology);
  void PadMouseDown(PadType type);

  FormMessages& messages_;
};

// The form's texts, in vexa-cli's printing order; the schematics show in the window only.
inline constexpr FormField<MatchForm> kMatchFields[] = {
    {"rg", "Edit11", "Rg  Port1, ohms", &MatchForm::Edit11},
    {"x1", "Edit23", "X1, port-1 reactance, ohms", &MatchForm::Edit23},
    {"rd", "Edit14", "Rd  Port2, ohms", &MatchForm::Edit14},
    {"x2", "Edit24", "X2, port-2 reactance, ohms", &MatchForm::Edit24},
    {"freq", "Edit15", "Freq, MHz", &MatchForm::Edit15},
    {"shunt", "Edit12", "shunt element value, across port 1", &MatchForm::Edit12},
    {"shunt-unit", "Label27", "shunt element unit, nH or pF", &MatchForm::Label27},
    {"series", "Edit13", "series element value, towards port 2", &MatchForm::Edit13},
    {"series-unit", "Label30", "series element unit, nH or pF", &MatchForm::Label30},
    {"gamma1", "Label31", "port-1 reflection line", &MatchForm::Label31},
    {"gamma2", "Label32", "port-2 reflection line", &MatchForm::Label32},
    {"s21", "Label53", "transmission line", &MatchForm::Label53},
    {"rn", "Edit17", "Rn   Port1, ohms", &MatchForm::Edit17},
    {"ro", "Edit18", "Ro   Port2, ohms", &MatchForm::Edit18},
    {"att", "Edit19", "Attenuation (dB)", &MatchForm::Edit19},
    {"r1", "Edit20", "pad resistor R1, ohms", &MatchForm::Edit20},
    {"r2", "Edit21", "pad resistor R2, ohms", &MatchForm::Edit21},
    {"r3", "Edit22", "pad resistor R3, ohms", &MatchForm::Edit22},
    {"pad-gamma1", "Label52", "pad port-1 reflection line", &MatchForm::Label52},
    {"", "Label33", "L network schematic", &MatchForm::Label33, FieldUse::kWindow},
    {"", "Label44", "pad schematic", &MatchForm::Label44, FieldUse::kWindow},
};

}  // namespace vexa
