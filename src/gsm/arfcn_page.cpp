#include "gsm/arfcn_page.h"

#include <QSignalBlocker>

#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/guard.h"

namespace vexa {
namespace {

const QColor kGreen(0x00, 0x80, 0x00);

}  // namespace

ArfcnPage::ArfcnPage(QWidget* parent) : Page("TabSheet1", parent), form_(*this) {
  // Each row is 80 pixels high: receive label at its top, entry and presets 16 lower,
  // the name label 24 lower, the transmit label at 40 and the scroll bar at 48.
  // The name label's name; the other controls are named by the form's tables.
  BuildRow(GsmBand::EGSM, 8, "Label3", Label3, Label1, Label2, Edit1, ScrollBar1, ComboBox1);
  BuildRow(GsmBand::DCS, 88, "Label4", Label4, Label5, Label6, Edit2, ScrollBar2, ComboBox2);
  BuildRow(GsmBand::PCS, 168, "Label19", Label19, Label20, Label21, Edit9, ScrollBar3, ComboBox3);
  BuildRow(GsmBand::GSM850, 248, "Label36", Label36, Label37, Label38, Edit16, ScrollBar5,
           ComboBox4);

  Label39 = MakeFormWidget<QLabel>(this, "Label39", 476, 24);
  QPalette palette = Label39->palette();
  palette.setColor(QPalette::WindowText, kGreen);
  Label39->setPalette(palette);

  fields_.Bind(this, kArfcnFields);
  ShowForm();
  for (GsmBand band : kArfcnBands)
    ConnectRow(band);
}

void ArfcnPage::BuildRow(GsmBand band, int top, const char* name_label, QLabel*& name,
                         QLabel*& receive, ClickableLabel*& transmit, QLineEdit*& entry,
                         QScrollBar*& bar, QComboBox*& preset) {
  const BandTraits& traits = Traits(band);
  const ArfcnRowControls& controls = RowControls(band);
  const FormField<ArfcnForm>* texts = &kArfcnFields[controls.first_field];  // entry, rx, tx
  name = MakeFormWidget<QLabel>(this, name_label, 24, top + 24);
  name->setText(QString::fromLatin1(traits.display_name));
  name->adjustSize();
  receive = MakeFormWidget<QLabel>(this, texts[1].control, 72, top);
  transmit = MakeFormWidget<ClickableLabel>(this, texts[2].control, 72, top + 40);

  entry = MakeFormWidget<QLineEdit>(this, texts[0].control, 184, top + 16);
  entry->resize(121, 21);

  bar = new QScrollBar(Qt::Horizontal, this);
  bar->setObjectName(QLatin1String(controls.bar));
  bar->setGeometry(184, top + 48, 121, 16);
  bar->setRange(traits.scroll_min, traits.scroll_max);
  bar->setSingleStep(1);
  bar->setPageStep(1);

  preset = MakeFormWidget<QComboBox>(this, controls.preset, 320, top + 16);
  preset->resize(121, 21);
  preset->setEditable(true);
  preset->setInsertPolicy(QComboBox::NoInsert);
  preset->setCompleter(nullptr);  // the text is exactly what the user typed
  for (const char* item : RowDesign(band).presets) {
    if (item)
      preset->addItem(QString::fromLatin1(item));
  }
  preset->setCurrentIndex(-1);
  RowOf(band) = Row{transmit, entry, bar, preset};
}

void ArfcnPage::ConnectRow(GsmBand band) {
  const Row& row = RowOf(band);
  connect(row.entry, &QLineEdit::returnPressed, this, [this, band] { UpdateChannel(band); });
  // The bar's position changed by the user (the program's own changes are blocked).
  connect(row.bar, &QScrollBar::valueChanged, this,
          [this, band](int position) { Handle([&] { form_.SetScrollBar(band, position); }); });
  // A preset chosen from the list, or the box's text edited by the user. Text set by the
  // program emits neither signal, so it runs nothing.
  auto preset_changed = [this, band](const QString& text) {
    Handle([&] { form_.PresetChange(band, text.toStdString()); });
  };
  connect(row.preset, &QComboBox::textActivated, this, preset_changed);
  connect(row.preset->lineEdit(), &QLineEdit::textEdited, this, preset_changed);
  connect(row.transmit, &ClickableLabel::clicked, this, [this, band] { ShowHarmonics(band); });
}

void ArfcnPage::FormCreate() {
  Handle([this] { form_.FormCreate(); });
}

void ArfcnPage::UpdateChannel(GsmBand band) {
  Handle([&] { form_.UpdateChannel(band); });
}

void ArfcnPage::ShowHarmonics(GsmBand band) {
  Handle([&] { form_.ShowHarmonics(band); });
}

void ArfcnPage::Handle(const std::function<void()>& handler) {
  // Entry fields typed by the user are the form's input.
  GuardedFormHandler([this] { fields_.Read(form_); }, handler, [this] { ShowForm(); });
}

void ArfcnPage::ShowForm() {
  fields_.Show(form_);
  for (GsmBand band : kArfcnBands) {
    const ArfcnRow text = form_.Row(band);
    Row& row = RowOf(band);
    {
      const QSignalBlocker blocker(row.bar);
      row.bar->setValue(text.bar);
    }
    const QString preset = QString::fromStdString(text.preset);
    if (row.preset->currentText() != preset)
      row.preset->setEditText(preset);
  }
}

void ArfcnPage::ShowMessage(const std::string& text) {
  ShowForm();  // the box appears over what the handler has written so far
  AppDialogs().ShowMessage(QString::fromStdString(text));
}

}  // namespace vexa
