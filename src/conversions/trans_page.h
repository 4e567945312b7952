// The "TRANS" page: return loss and VSWR, dBm and mW, mil and mm, RXLEV and its power range,
// the RXQUAL list and the formula reminders down the left; the LC balun on the right; and
// three buttons that start the desktop's calculator, text editor and paint program. The texts
// and handlers live in TransForm; this page shows them and forwards the user's events.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <functional>

#include "conversions/trans_form.h"
#include "core/form_messages.h"
#include "ui/form_binding.h"
#include "ui/page.h"

namespace vexa {

class TransPage : public Page, private FormMessages {
  Q_OBJECT

 public:
  explicit TransPage(QWidget* parent = nullptr);

  // Shows the CLC balun's drawing (the window's creation writes the schematic captions).
  void FormCreate() override;

  const TransForm& Form() const { return form_; }

  QLineEdit* Edit3;   // S11 dB
  QLineEdit* Edit4;   // VSWR
  QLineEdit* Edit5;   // dBm
  QLineEdit* Edit6;   // mW
  QLineEdit* Edit7;   // mil
  QLineEdit* Edit8;   // mm
  QLineEdit* Edit10;  // RXLEV
  QScrollBar* ScrollBar4;
  QLabel* Label25;             // RXLEV range
  QComboBox* ComboBox5;        // RXQUAL list
  QGroupBox* GroupBox3;        // "Balun"
  QLabel* Label66;             // balun drawing
  QRadioButton* RadioButton7;  // CLC
  QRadioButton* RadioButton8;  // LCL
  QLineEdit* Edit25;           // R1
  QLineEdit* Edit26;           // R2
  QLabel* Label69;             // "Freq ... MHz", with Edit27 inside its caption
  QLineEdit* Edit27;           // frequency
  QPushButton* Button7;        // "LC"
  QLabel* Label70;             // C=
  QLabel* Label71;             // L=
  QPushButton* BitBtn1;        // calculator
  QPushButton* BitBtn2;        // text editor
  QPushButton* BitBtn3;        // paint program

  // Starts the program of `program` detached; says so in a message when none is installed.
  // Returns the program started ("" when none).
  QString StartProgram(const DesktopProgram& program);
  // Where StartProgram looks (PATH unless a test sets another) and how it starts a program.
  void SetProgramSearchPath(const QString& path) { search_path_ = path; }
  void SetProgramStarter(std::function<bool(const QString&)> starter) {
    starter_ = std::move(starter);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPairs();
  void BuildBalun();
  void BuildProgramButtons();
  void Connect();
  void Handle(const std::function<void()>& handler);
  void ReadInput();
  void ShowForm();
  void ShowMessage(const std::string& text) override;

  TransForm form_;
  FormBinding<TransForm> fields_;
  QString search_path_;
  std::function<bool(const QString&)> starter_;
};

}  // namespace vexa
