// The ARFCN view of the GSM tab: channel entry, scroll bar and presets per band, the
// receive/transmit labels and the shared harmonics list.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QWidget>
#include <array>

#include "app/clickable_label.h"
#include "gsm/channels.h"

namespace vexa {

class ArfcnPage : public QWidget {
  Q_OBJECT

 public:
  explicit ArfcnPage(QWidget* parent = nullptr);

  // Reads the band's entry field and refreshes its row and the harmonics list. The main
  // window runs it for DCS, PCS, GSM850 and E-GSM when it is created.
  void UpdateChannel(GsmBand band);
  // Shows the band's harmonics list from whatever its entry field holds (no range check).
  void ShowHarmonics(GsmBand band);

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
    GsmBand band;
    QLabel* receive;
    ClickableLabel* transmit;
    QLineEdit* entry;
    QScrollBar* bar;
    QComboBox* preset;
  };

  struct RowDesign {
    GsmBand band;
    int top;               // top of the row's receive label
    const char* names[6];  // name label, receive, transmit, entry, scroll bar, preset box
    const char* entry_text;
    int bar_position;
    const char* presets;  // comma-separated
    const char* preset_text;
  };

  void BuildRow(const RowDesign& design, QLabel*& name, QLabel*& receive, ClickableLabel*& transmit,
                QLineEdit*& entry, QScrollBar*& bar, QComboBox*& preset);
  void ConnectRow(const Row& row);
  Row& RowOf(GsmBand band);
  void SetLabel(QLabel* label, const QString& text);

  void ScrollBarChange(GsmBand band, int position);
  void PresetChange(GsmBand band);

  std::array<Row, 4> rows_;
};

}  // namespace vexa
