// The "MATCH" page: the L network between a generator and a load (design, "Sparam", the two
// arrow labels) in the upper group, and the Pi / T attenuator pads in the lower group. The
// texts and handlers live in MatchForm; this page shows the form's texts and forwards the
// user's events to it. Beside the designed elements it also shows their nearest E24 parts
// and, after "Sparam", the port-1 reflection those parts would give.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "core/form_messages.h"
#include "matching/match_form.h"
#include "ui/clickable_label.h"
#include "ui/form_binding.h"
#include "ui/page.h"

namespace vexa {

class MatchPage : public Page, private FormMessages {
  Q_OBJECT

 public:
  explicit MatchPage(QWidget* parent = nullptr);

  // The schematics of the radio buttons checked at start (LC network, Pi pad).
  void FormCreate() override;

  const MatchForm& Form() const { return form_; }

  // ---- upper group: L network, reflections and S-parameters ----
  QGroupBox* GroupBox1;
  QLabel* Label29;  // "Freq ... MHz", with Edit15 inside its caption
  QLineEdit* Edit15;
  QLabel* Label26;
  QLineEdit* Edit11;  // Rg
  QLabel* Label61;
  QLineEdit* Edit23;  // X1
  QLabel* Label28;
  QLineEdit* Edit14;  // Rd
  QLabel* Label62;
  QLineEdit* Edit24;           // X2
  QLineEdit* Edit13;           // series element
  QLabel* Label30;             // its unit
  QLineEdit* Edit12;           // shunt element
  QLabel* Label27;             // its unit
  QLabel* Label33;             // schematic
  QRadioButton* RadioButton1;  // "  LC"
  QRadioButton* RadioButton2;  // "  CL"
  QPushButton* Button8;        // "LC"
  QPushButton* Button9;        // "Sparam"
  ClickableLabel* g2d;         // "---------->"
  ClickableLabel* d2g;         // "<----------"
  QLabel* Label31;             // Γ1
  QLabel* Label32;             // Γ2
  QLabel* Label53;             // S21=S12
  // Nearest E24 parts beside the two elements, and |Γ1| with those parts after "Sparam".
  QLabel* E24Series;
  QLabel* E24Shunt;
  QLabel* E24Gamma1;

  // ---- lower group: attenuator pads ----
  QGroupBox* GroupBox2;
  QRadioButton* RadioButton3;  // "Pi"
  QRadioButton* RadioButton4;  // "T"
  QLabel* Label34;             // "------>"
  QLabel* Label44;             // schematic
  QLabel* Label45;
  QLineEdit* Edit17;  // Rn
  QLabel* Label46;
  QLineEdit* Edit18;  // Ro
  QLabel* Label47;
  QLineEdit* Edit19;  // attenuation, dB
  QLabel* Label48;    // "Resistances (ohm)"
  QLabel* Label49;
  QLineEdit* Edit20;  // R1
  QLabel* Label50;
  QLineEdit* Edit21;  // R2
  QLabel* Label51;
  QLineEdit* Edit22;     // R3
  QPushButton* Button2;  // "Resistance"
  QPushButton* Button3;  // "Attenuation"
  QLabel* Label52;       // pad Γ1

 protected:
  // A mouse press on a radio button runs its handler (before the click checks it); keyboard
  // selection only checks the button.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildNetworkGroup();
  void BuildNetworkResults();
  void BuildPadGroup();
  void SetToolTips();
  void Connect();

  // What a handler does to the E24 reflection line: a pad handler leaves it, "Sparam" shows
  // it, every other handler of the upper group clears it (the network it described changed).
  enum class E24Reflection { kKeep, kClear, kShow };

  // Runs one handler of the form under the error guard; the widgets show the form's texts
  // before any box appears, so what the handler wrote before a failure stays visible.
  void Handle(const std::function<void()>& handler, E24Reflection reflection);
  // Copies what the user typed and the radio buttons' states into the form.
  void ReadInput();
  // Copies the form's texts into the widgets.
  void ShowForm();
  void ShowMessage(const std::string& text) override;

  MatchForm form_;
  FormBinding<MatchForm> fields_;
};

}  // namespace vexa
