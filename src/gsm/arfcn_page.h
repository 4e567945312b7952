// The ARFCN view of the GSM tab: channel entry, scroll bar and presets per band, the
// receive/transmit labels and the shared harmonics list. The texts and handlers live in
// ArfcnForm; this page shows the form's texts and forwards the user's events to it.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <array>
#include <functional>

#include "core/form_messages.h"
#include "gsm/arfcn_form.h"
#include "ui/clickable_label.h"
#include "ui/form_binding.h"
#include "ui/page.h"

namespace vexa {

class ArfcnPage : public Page, private FormMessages {
  Q_OBJECT

 public:
  explicit ArfcnPage(QWidget* parent = nullptr);

  // The band updaters of the window's creation (DCS, PCS, GSM850, E-GSM).
  void FormCreate() override;

  // Enter in the band's entry field, and a click on its transmit label, as the events run
  // them (the error guard included).
  void UpdateChannel(GsmBand band);
  void ShowHarmonics(GsmBand band);

  const ArfcnForm& Form() const { return form_; }

  // E-GSM row
  QLabel* Label3;
  QLabel* Label1;
  ClickableLabel* Label2;
  QLineEdit* Edit1;
  QScrollBar* ScrollBar1;
  QComboBox* ComboBox1;
  // DCS row
  QLabel* Label4;
  QLabel* Label5;
  ClickableLabel* Label6;
  QLineEdit* Edit2;
  QScrollBar* ScrollBar2;
  QComboBox* ComboBox2;
  // PCS row
  QLabel* Label19;
  QLabel* Label20;
  ClickableLabel* Label21;
  QLineEdit* Edit9;
  QScrollBar* ScrollBar3;
  QComboBox* ComboBox3;
  // GSM850 row
  QLabel* Label36;
  QLabel* Label37;
  ClickableLabel* Label38;
  QLineEdit* Edit16;
  QScrollBar* ScrollBar5;
  QComboBox* ComboBox4;
  // Harmonics list shared by the four rows
  QLabel* Label39;

 private:
  struct Row {
    ClickableLabel* transmit;
    QLineEdit* entry;
    QScrollBar* bar;
    QComboBox* preset;
  };
  void BuildRow(GsmBand band, int top, const char* name_label, QLabel*& name, QLabel*& receive,
                ClickableLabel*& transmit, QLineEdit*& entry, QScrollBar*& bar, QComboBox*& preset);
  void ConnectRow(GsmBand band);
  Row& RowOf(GsmBand band) { return rows_[static_cast<std::size_t>(band)]; }

  // Runs one handler of the form under the error guard; the widgets show the form's texts
  // before any box appears, so what the handler wrote before a failure stays visible.
  void Handle(const std::function<void()>& handler);
  // Copies the form's texts into the widgets (no widget signal reaches the form meanwhile).
  void ShowForm();
  void ShowMessage(const std::string& text) override;

  ArfcnForm form_;
  FormBinding<ArfcnForm> fields_;
  std::array<Row, 4> rows_{};
};

}  // namespace vexa
