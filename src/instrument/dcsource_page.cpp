#include "instrument/dcsource_page.h"

#include "instrument/gpib_session.h"
#include "instrument/instrument_page_parts.h"
#include "ui/guard.h"

namespace vexa {
namespace {

LabeledEdit* MakeLabeledEdit(QWidget* page, const char* name, const QString& caption,
                             const QString& text, int left, int top) {
  auto* edit = new LabeledEdit(caption, page);
  edit->setObjectName(QLatin1String(name));
  edit->EditLabel()->setObjectName(QLatin1String(name) + QStringLiteral("Label"));
  edit->setGeometry(left, top, 57, 21);
  edit->PlaceLabel();
  edit->setText(text);
  return edit;
}

QCheckBox* MakeCheckBox(QWidget* page, const char* name, const QString& caption, int top,
                        bool checked) {
  auto* box = new QCheckBox(caption, page);
  box->setObjectName(QLatin1String(name));
  box->setGeometry(kRightColumn, top, kControlWidth, 17);
  box->setChecked(checked);
  return box;
}

}  // namespace

DcSourcePage::DcSourcePage(QWidget* parent) : Page("TabSheet14", parent) {
  Memo5 = MakeMemo(this, "Memo5");
  Edit29 = MakeCommandLine(this, "Edit29");
  LabeledEdit14 = MakeLabeledEdit(this, "LabeledEdit14", QStringLiteral("Voltage V"),
                                  QStringLiteral("3.8"), kRightColumn, 40);
  LabeledEdit15 = MakeLabeledEdit(this, "LabeledEdit15", QStringLiteral("Sample rate us"),
                                  QStringLiteral("20"), 512, 40);
  LabeledEdit16 = MakeLabeledEdit(this, "LabeledEdit16", QStringLiteral("Buffer length"),
                                  QStringLiteral("4096"), kRightColumn, 80);
  LabeledEdit17 = MakeLabeledEdit(this, "LabeledEdit17", QStringLiteral("Test time minute"),
                                  QStringLiteral("30"), 512, 80);
  ComboBox12 = new QComboBox(this);
  ComboBox12->setObjectName(QStringLiteral("ComboBox12"));
  ComboBox12->addItems({QStringLiteral("Dedicated mode 3A"), QStringLiteral("Idle mode 1A"),
                        QStringLiteral("Shutdown mode 20mA")});
  ComboBox12->setGeometry(kRightColumn, 112, 138, 21);
  CheckBox2 = MakeCheckBox(this, "CheckBox2", QStringLiteral("Test Data Showed"), 144, true);
  CheckBox3 = MakeCheckBox(this, "CheckBox3", QStringLiteral("Demo Mode"), 168, false);
  Label75 = MakeLabel(this, "Label75", QStringLiteral("Test time is "), kRightColumn, 216);
  Label76 = MakeLabel(this, "Label76", QStringLiteral("Aver is "), kRightColumn, 240);
  // "&&" shows as one ampersand.
  Button10 = MakeButton(this, "Button10", QStringLiteral("Config&&Test"), 280, true);
  Button1 = MakeButton(this, "Button1", QStringLiteral("Stop"), 312, false);
  DriverNote = MakeDriverNote(this);
  DcSourceDevice.SetMemo(Memo5);
  connect(Edit29, &QLineEdit::returnPressed, this, &DcSourcePage::Edit29KeyDown);
}

DcSourcePage::~DcSourcePage() {
  DcSourceDevice.DetachMemo(Memo5);
}

void DcSourcePage::Relayout(int sheet_width, int sheet_height) {
  PlaceMemoAndNote(Memo5, DriverNote, sheet_width, sheet_height);
  const int left = RightColumnLeft(sheet_width);
  MoveLeft({Edit29, LabeledEdit14, LabeledEdit16, ComboBox12, CheckBox2, CheckBox3, Label75,
            Label76, Button10, Button1},
           left);
  // The second column stands 64 pixels right of the first (512 at the design size).
  MoveLeft({LabeledEdit15, LabeledEdit17}, left + 64);
}

void DcSourcePage::Edit29KeyDown() {
  Guarded([this] {
    SendDcSourceConsoleCommand(Edit29->text().toStdString());
    Memo5->Flush();
  });
}

}  // namespace vexa
