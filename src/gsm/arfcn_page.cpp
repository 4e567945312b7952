#include "gsm/arfcn_page.h"

#include <QStringList>

#include "app/dialogs.h"
#include "app/guard.h"
#include "core/convert.h"

namespace vexa {
namespace {

const QColor kGreen(0x00, 0x80, 0x00);

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, int left, int top) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QLatin1String(name));
  widget->move(left, top);
  return widget;
}

}  // namespace

ArfcnPage::ArfcnPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TabSheet1"));

  // Each row is 80 pixels high: receive label at its top, entry and presets 16 lower,
  // the name label 24 lower, the transmit label and the scroll bar at 40 and 48.
  BuildRow({GsmBand::EGSM,
            8,
            {"Label3", "Label1", "Label2", "Edit1", "ScrollBar1", "ComboBox1"},
            "62",
            111,
            "975,1000,1023,0,62,124",
            "62"},
           Label3, Label1, Label2, Edit1, ScrollBar1, ComboBox1);
  BuildRow({GsmBand::DCS,
            88,
            {"Label4", "Label5", "Label6", "Edit2", "ScrollBar2", "ComboBox2"},
            "699",
            699,
            "512,699,885",
            "699"},
           Label4, Label5, Label6, Edit2, ScrollBar2, ComboBox2);
  BuildRow({GsmBand::PCS,
            168,
            {"Label19", "Label20", "Label21", "Edit9", "ScrollBar3", "ComboBox3"},
            "661",
            661,
            "512,661,810",
            "661"},
           Label19, Label20, Label21, Edit9, ScrollBar3, ComboBox3);
  BuildRow({GsmBand::GSM850,
            248,
            {"Label36", "Label37", "Label38", "Edit16", "ScrollBar5", "ComboBox4"},
            "190",
            190,
            "128,190,251",
            ""},
           Label36, Label37, Label38, Edit16, ScrollBar5, ComboBox4);

  rows_ = {Row{GsmBand::EGSM, Label1, Label2, Edit1, ScrollBar1, ComboBox1},
           Row{GsmBand::DCS, Label5, Label6, Edit2, ScrollBar2, ComboBox2},
           Row{GsmBand::PCS, Label20, Label21, Edit9, ScrollBar3, ComboBox3},
           Row{GsmBand::GSM850, Label37, Label38, Edit16, ScrollBar5, ComboBox4}};

  Label39 = Make<QLabel>(this, "Label39", 476, 24);
  QPalette palette = Label39->palette();
  palette.setColor(QPalette::WindowText, kGreen);
  Label39->setPalette(palette);
  SetLabel(Label39, QStringLiteral("Harmonics"));

  for (const Row& row : rows_)
    ConnectRow(row);
}

void ArfcnPage::BuildRow(const RowDesign& design, QLabel*& name, QLabel*& receive,
                         ClickableLabel*& transmit, QLineEdit*& entry, QScrollBar*& bar,
                         QComboBox*& preset) {
  const BandTraits& traits = Traits(design.band);
  const int top = design.top;
  name = Make<QLabel>(this, design.names[0], 24, top + 24);
  SetLabel(name, QString::fromLatin1(traits.display_name));
  receive = Make<QLabel>(this, design.names[1], 72, top);
  transmit = Make<ClickableLabel>(this, design.names[2], 72, top + 40);

  entry = Make<QLineEdit>(this, design.names[3], 184, top + 16);
  entry->resize(121, 21);
  entry->setText(QString::fromLatin1(design.entry_text));

  bar = new QScrollBar(Qt::Horizontal, this);
  bar->setObjectName(QLatin1String(design.names[4]));
  bar->setGeometry(184, top + 48, 121, 16);
  bar->setRange(traits.scroll_min, traits.scroll_max);
  bar->setSingleStep(1);
  bar->setPageStep(1);
  bar->setValue(design.bar_position);

  preset = Make<QComboBox>(this, design.names[5], 320, top + 16);
  preset->resize(121, 21);
  preset->setEditable(true);
  preset->setInsertPolicy(QComboBox::NoInsert);
  preset->setCompleter(nullptr);  // the text is exactly what the user typed
  preset->addItems(QString::fromLatin1(design.presets).split(QLatin1Char(',')));
  preset->setCurrentIndex(-1);
  preset->setEditText(QString::fromLatin1(design.preset_text));
}

void ArfcnPage::ConnectRow(const Row& row) {
  const GsmBand band = row.band;
  connect(row.entry, &QLineEdit::returnPressed, this,
          [this, band] { Guarded([this, band] { UpdateChannel(band); }); });
  connect(row.bar, &QScrollBar::valueChanged, this,
          [this, band](int position) { ScrollBarChange(band, position); });
  // A preset chosen from the list, or the box's text edited by the user. Text set by the
  // program emits neither signal, so it runs nothing.
  connect(row.preset, &QComboBox::textActivated, this, [this, band] { PresetChange(band); });
  connect(row.preset->lineEdit(), &QLineEdit::textEdited, this,
          [this, band] { PresetChange(band); });
  connect(row.transmit, &ClickableLabel::clicked, this,
          [this, band] { Guarded([this, band] { ShowHarmonics(band); }); });
}

ArfcnPage::Row& ArfcnPage::RowOf(GsmBand band) {
  return rows_[static_cast<std::size_t>(band)];
}

void ArfcnPage::SetLabel(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
}

void ArfcnPage::UpdateChannel(GsmBand band) {
  Row& row = RowOf(band);
  const QString text = row.entry->text();
  const int n = TextToInt(text.toStdString());
  if (IsValidChannel(band, n)) {
    const Frequencies f = ChannelToFrequency(band, n);
    SetLabel(Label39, QString::fromStdString(HarmonicsList(band, text.toStdString(), n)));
    SetLabel(row.receive, QString::fromStdString(ReceiveLabelText(f.receive)));
    SetLabel(row.transmit, QString::fromStdString(TransmitLabelText(f.transmit)));
  } else {
    AppDialogs().ShowMessage(QString::fromLatin1(Traits(band).range_message));
  }
  // The bar clamps the position to its range. When that moves it, its change handler
  // writes the channel of the new position into the entry and runs this update again,
  // so an out-of-band entry ends on the nearest end of the bar.
  row.bar->setValue(ChannelToScrollPosition(band, n));
  row.preset->setEditText(row.entry->text());
}

void ArfcnPage::ShowHarmonics(GsmBand band) {
  std::string list;
  try {
    AppendHarmonicsFromText(band, RowOf(band).entry->text().toStdString(), list);
  } catch (...) {
    SetLabel(Label39, QString::fromStdString(list));  // header and channel line stay
    throw;
  }
  SetLabel(Label39, QString::fromStdString(list));
}

void ArfcnPage::ScrollBarChange(GsmBand band, int position) {
  Guarded([this, band, position] {
    RowOf(band).entry->setText(QString::number(ScrollPositionToChannel(band, position)));
    UpdateChannel(band);
  });
}

void ArfcnPage::PresetChange(GsmBand band) {
  Guarded([this, band] {
    Row& row = RowOf(band);
    row.entry->setText(row.preset->currentText());
    UpdateChannel(band);
  });
}

}  // namespace vexa
