#include "matching/match_form.h"

#include "core/checked_math.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/number_text.h"

namespace vexa {
namespace {

const char* Schematic(LNetworkTopology topology) {
  return topology == LNetworkTopology::kLC ? kLcSchematic : kClSchematic;
}

// "Γ1= -12.5 dB  " for a reflection magnitude. A perfect match has no finite dB value; it
// shows "-INF" without a unit, as the pad's reflection does, instead of ending the click on
// the logarithm of zero.
std::string ReflectionText(const char* prefix, double magnitude) {
  if (magnitude == 0.0)
    return std::string(prefix) + "-INF  ";
  return prefix + FormatNumber(20.0 * Log10(magnitude)) + " dB  ";
}

// The element standing in a value field and its unit label, as "Sparam" reads it: "nH" is an
// inductance, anything else a capacitance in pF.
Complex StandingElement(const std::string& value, const std::string& unit, double omega) {
  return ElementImpedance(TextToFloat(value), unit == "nH" ? "nH" : "pF", omega);
}

// The element as the arrow labels read it: only "nH" and "pF" stand for an element (the value
// field is read only then); any other unit label leaves the element at zero impedance.
Complex ArrowElement(const std::string& value, const std::string& unit, double omega) {
  if (unit == "nH" || unit == "pF")
    return ElementImpedance(TextToFloat(value), unit, omega);
  return {};
}

}  // namespace

const char* const kLcSchematic =
    "_____________ C ______\n"
    "|      |              |\n"
    "|      |              |\n"
    " Zg      L            Zload\n"
    "|      |              |\n"
    "|      |              |\n"
    "GND    GND            GND ";
const char* const kClSchematic =
    "_____________ L ______\n"
    "|      |              |\n"
    "|      |              |\n"
    " Zg      C            Zload\n"
    "|      |              |\n"
    "|      |              |\n"
    "GND    GND            GND ";
const char* const kPiSchematic =
    "_________R2__________\n"
    "   |             |\n"
    "   R1            R3\n"
    "   |             |\n"
    "   |             |\n"
    "  GND           GND";
const char* const kTSchematic =
    "___R1___________R3___\n"
    "          |\n"
    "          R2\n"
    "          |\n"
    "          |\n"
    "         GND";
const char* const kExchangeMessage =
    "To match (g*g+x1*x1)/g should be greater than d in this model!";

MatchForm::MatchForm(FormMessages& messages) : messages_(messages) {}

void MatchForm::CheckTopology(LNetworkTopology topology) {
  RadioButton1 = topology == LNetworkTopology::kLC;
  RadioButton2 = !RadioButton1;
}

void MatchForm::CheckPad(PadType type) {
  RadioButton3 = type == PadType::kPi;
  RadioButton4 = !RadioButton3;
}

void MatchForm::FormCreate() {
  Label33 = kLcSchematic;
  Label44 = kPiSchematic;
}

void MatchForm::Button8Click() {
  MatchInputs inputs;
  inputs.g = TextToFloat(Edit11);
  inputs.x1 = TextToFloat(Edit23);
  inputs.d = TextToFloat(Edit14);
  inputs.x2 = TextToFloat(Edit24);
  inputs.f = TextToFloat(Edit15);
  const LNetworkTopology topology = Topology();
  Label33 = Schematic(topology);
  const LNetworkElements elements =
      MatchLNetwork(inputs, topology, [this](const MatchInputs& exchanged) {
        messages_.ShowMessage(kExchangeMessage);
        Edit11 = FormatNumber(exchanged.g);
        Edit23 = FormatNumber(exchanged.x1);
        Edit14 = FormatNumber(exchanged.d);
        Edit24 = FormatNumber(exchanged.x2);
      });
  Edit12 = FormatNumber(elements.shunt.value);
  Label27 = elements.shunt.unit;
  Edit13 = FormatNumber(elements.series.value);
  Label30 = elements.series.unit;
}

void MatchForm::Button9Click() {
  const double g = TextToFloat(Edit11);
  const double d = TextToFloat(Edit14);
  const double x1 = TextToFloat(Edit23);
  const double x2 = TextToFloat(Edit24);
  const double omega = AngularFrequency(TextToFloat(Edit15));
  const Complex zsh = StandingElement(Edit12, Label27, omega);
  const Complex zse = StandingElement(Edit13, Label30, omega);
  const Mismatch mismatch = NetworkMismatch({g, x1}, {d, x2}, zsh, zse);
  Label31 = ReflectionText("Γ1= ", mismatch.gamma1);
  Label32 = ReflectionText("Γ2= ", mismatch.gamma2);
  // |Γ1| = 1 leaves no transmission: its logarithm ends the click here.
  Label53 = "S21=S12=" + FormatNumber(20.0 * Log10(mismatch.s21)) + " dB  ";
}

void MatchForm::g2dClick() {
  const double x1 = TextToFloat(Edit23);
  const double g = TextToFloat(Edit11);
  const double omega = AngularFrequency(TextToFloat(Edit15));
  const Complex zg(g, x1);
  const Complex zsh = ArrowElement(Edit12, Label27, omega);
  Complex z = ComplexDivide(zg * zsh, zg + zsh);
  z += ArrowElement(Edit13, Label30, omega);
  z = Complex(Checked(z.real()), Checked(z.imag()));
  // The load that this output impedance matches is its conjugate.
  Edit14 = FormatNumber(z.real());
  Edit24 = FormatNumber(-z.imag());
}

void MatchForm::d2gClick() {
  const double x2 = TextToFloat(Edit24);
  const double d = TextToFloat(Edit14);
  const double omega = AngularFrequency(TextToFloat(Edit15));
  const Complex zsh = ArrowElement(Edit12, Label27, omega);
  const Complex zse = ArrowElement(Edit13, Label30, omega);
  const Complex z = NetworkInputImpedance({d, x2}, zsh, zse);
  Edit11 = FormatNumber(z.real());
  Edit23 = FormatNumber(-z.imag());
}

void MatchForm::TopologyMouseDown(LNetworkTopology topology) {
  Label33 = Schematic(topology);
  const bool lc = topology == LNetworkTopology::kLC;
  Label27 = lc ? "nH" : "pF";
  Label30 = lc ? "pF" : "nH";
  Edit12.clear();
  Edit13.clear();
  Label31 = "Γ1=  ";
  Label32 = "Γ2=  ";
}

void MatchForm::RadioButton1MouseDown() {
  TopologyMouseDown(LNetworkTopology::kLC);
}

void MatchForm::RadioButton2MouseDown() {
  TopologyMouseDown(LNetworkTopology::kCL);
}

void MatchForm::Button2Click() {
  const PadType type = Pad();
  const double att_db = TextToFloat(Edit19);
  // The attenuation is read in single precision and checked, and its power ratio formed,
  // before the port fields are read: their errors come first.
  const float adb = Store(att_db);
  if (!(adb > 0.0f)) {
    messages_.ShowMessage(kPadAttenuationMessage);
    return;
  }
  Store(Power(10.0, 0.1 * adb));
  const double rn = TextToFloat(Edit17);
  const double ro = TextToFloat(Edit18);
  const PadDesign design = DesignPad(type, att_db, rn, ro);
  if (!design.message.empty()) {
    messages_.ShowMessage(design.message);
    return;
  }
  Edit21 = FormatNumber(design.resistors.r2);
  Edit20 = FormatNumber(design.resistors.r1);
  Edit22 = FormatNumber(design.resistors.r3);
}

void MatchForm::Button3Click() {
  const PadType type = Pad();
  const double rn = TextToFloat(Edit17);
  const double ro = TextToFloat(Edit18);
  PadResistors resistors;
  resistors.r1 = TextToFloat(Edit20);
  resistors.r2 = TextToFloat(Edit21);
  resistors.r3 = TextToFloat(Edit22);
  Edit19 = FormatNumber(PadAttenuation(type, rn, ro, resistors));
  Label52 = ReflectionText("Γ1= ", PadReflection(type, rn, ro, resistors));
}

void MatchForm::PadMouseDown(PadType type) {
  Label44 = type == PadType::kPi ? kPiSchematic : kTSchematic;
  Edit20.clear();
  Edit21.clear();
  Edit22.clear();
  Label52 = "Γ1=  ";
}

void MatchForm::RadioButton3MouseDown() {
  PadMouseDown(PadType::kPi);
}

void MatchForm::RadioButton4MouseDown() {
  PadMouseDown(PadType::kT);
}

MatchE24Texts MatchForm::E24Texts() const {
  MatchE24Texts texts;
  try {
    const double omega = AngularFrequency(TextToFloat(Edit15));
    const std::string shunt_unit = Label27 == "nH" ? "nH" : "pF";
    const std::string series_unit = Label30 == "nH" ? "nH" : "pF";
    const double shunt = NearestE24(TextToFloat(Edit12));
    const double series = NearestE24(TextToFloat(Edit13));
    if (shunt > 0.0)
      texts.shunt = "E24: " + FormatNumber(shunt) + " " + shunt_unit;
    if (series > 0.0)
      texts.series = "E24: " + FormatNumber(series) + " " + series_unit;
    if (shunt > 0.0 && series > 0.0) {
      const Complex zg(TextToFloat(Edit11), TextToFloat(Edit23));
      const Complex zd(TextToFloat(Edit14), TextToFloat(Edit24));
      const Mismatch mismatch = NetworkMismatch(zg, zd, ElementImpedance(shunt, shunt_unit, omega),
                                                ElementImpedance(series, series_unit, omega));
      texts.gamma1 = ReflectionText("E24 parts: Γ1= ", mismatch.gamma1);
    }
  } catch (const Error&) {
    // What could be computed stays; the rest is left empty.
  }
  return texts;
}

}  // namespace vexa
