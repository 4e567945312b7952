#include "matching/match_page.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QSignalBlocker>

#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/guard.h"

namespace vexa {
namespace {

constexpr int kEditHeight = 21;
constexpr int kPortEditWidth = 96;
constexpr int kElementEditWidth = 128;  // room for a number in exponent form

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, const QString& text) {
  auto* label = MakeFormWidget<QLabel>(parent, name, left, top);
  label->setText(text);
  label->adjustSize();
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int left, int top, int width) {
  auto* edit = MakeFormWidget<QLineEdit>(parent, name, left, top);
  edit->resize(width, kEditHeight);
  return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, int left, int top, int width,
                        const char* caption) {
  auto* button = MakeFormWidget<QPushButton>(parent, name, left, top);
  button->setText(QLatin1String(caption));
  button->resize(width, 25);
  return button;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, int left, int top, const char* caption,
                        bool checked) {
  auto* radio = MakeFormWidget<QRadioButton>(parent, name, left, top);
  radio->setText(QLatin1String(caption));
  radio->setChecked(checked);
  radio->adjustSize();
  return radio;
}

// The schematics are drawn with characters and need a fixed-pitch font.
QLabel* MakeSchematic(QWidget* parent, const char* name, int left, int top) {
  auto* label = MakeFormWidget<QLabel>(parent, name, left, top);
  label->setFont(SchematicFont(13));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

void SetChecked(QRadioButton* radio, bool checked) {
  const QSignalBlocker blocker(radio);
  radio->setChecked(checked);
}

}  // namespace

MatchPage::MatchPage(QWidget* parent) : Page("TabSheet8", parent), form_(*this) {
  BuildNetworkGroup();
  BuildNetworkResults();
  BuildPadGroup();
  SetToolTips();
  fields_.Bind(this, kMatchFields);
  ShowForm();
  Connect();
}

// The upper group: port 1 on the left, the schematic with its series element above and its
// shunt element below, port 2 to its right, then frequency, topology and the two buttons.
void MatchPage::BuildNetworkGroup() {
  GroupBox1 = MakeFormWidget<QGroupBox>(this, "GroupBox1", 4, 2);
  GroupBox1->resize(586, 210);
  QWidget* group = GroupBox1;

  Label26 = MakeLabel(group, "Label26", 8, 16, QStringLiteral("Rg  Port1"));
  Edit11 = MakeEdit(group, "Edit11", 8, 30, kPortEditWidth);
  Label61 = MakeLabel(group, "Label61", 8, 58, QStringLiteral("X1"));
  Edit23 = MakeEdit(group, "Edit23", 8, 72, kPortEditWidth);

  Edit13 = MakeEdit(group, "Edit13", 112, 14, kElementEditWidth);
  Label30 = MakeFormWidget<QLabel>(group, "Label30", 244, 17);
  Label33 = MakeSchematic(group, "Label33", 112, 54);
  Edit12 = MakeEdit(group, "Edit12", 112, 162, kElementEditWidth);
  Label27 = MakeFormWidget<QLabel>(group, "Label27", 244, 165);

  Label28 = MakeLabel(group, "Label28", 336, 16, QStringLiteral("Rd  Port2"));
  Edit14 = MakeEdit(group, "Edit14", 336, 30, kPortEditWidth);
  Label62 = MakeLabel(group, "Label62", 336, 58, QStringLiteral("X2"));
  Edit24 = MakeEdit(group, "Edit24", 336, 72, kPortEditWidth);

  // The frequency field stands inside its caption, between "Freq" and "MHz".
  Label29 = MakeLabel(group, "Label29", 444, 33, QStringLiteral("Freq                      MHz"));
  const QFontMetrics metrics(Label29->font());
  const int gap_left = Label29->x() + metrics.horizontalAdvance(QStringLiteral("Freq ")) + 2;
  const int gap_right = Label29->x() + metrics.horizontalAdvance(Label29->text()) -
                        metrics.horizontalAdvance(QStringLiteral(" MHz")) - 2;
  Edit15 = MakeEdit(group, "Edit15", gap_left, 30, gap_right - gap_left);

  RadioButton1 = MakeRadio(group, "RadioButton1", 444, 60, "  LC", true);
  RadioButton2 = MakeRadio(group, "RadioButton2", 514, 60, "  CL", false);
  Button8 = MakeButton(group, "Button8", 444, 84, 66, "LC");
  Button9 = MakeButton(group, "Button9", 514, 84, 66, "Sparam");
}

// The arrows under the port they write, the results under port 2, and the E24 parts under
// the two element fields: places no described control takes.
void MatchPage::BuildNetworkResults() {
  QWidget* group = GroupBox1;
  d2g = MakeFormWidget<ClickableLabel>(group, "d2g", 8, 104);
  d2g->setText(QStringLiteral("<----------"));
  d2g->adjustSize();
  g2d = MakeFormWidget<ClickableLabel>(group, "g2d", 336, 104);
  g2d->setText(QStringLiteral("---------->"));
  g2d->adjustSize();

  Label31 = MakeFormWidget<QLabel>(group, "Label31", 336, 130);
  Label32 = MakeFormWidget<QLabel>(group, "Label32", 336, 148);
  Label53 = MakeFormWidget<QLabel>(group, "Label53", 336, 166);

  E24Series = MakeFormWidget<QLabel>(group, "E24Series", 114, 37);
  E24Shunt = MakeFormWidget<QLabel>(group, "E24Shunt", 114, 186);
  E24Gamma1 = MakeFormWidget<QLabel>(group, "E24Gamma1", 336, 184);
  const QColor navy(0x00, 0x00, 0x80);
  for (QLabel* label : {E24Series, E24Shunt, E24Gamma1}) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, navy);
    label->setPalette(palette);
  }
}

// The lower group: form choice and schematic on the left, the ports and attenuation, the
// three resistors, then the two buttons.
void MatchPage::BuildPadGroup() {
  GroupBox2 = MakeFormWidget<QGroupBox>(this, "GroupBox2", 4, 216);
  GroupBox2->resize(586, 134);
  QWidget* group = GroupBox2;

  RadioButton3 = MakeRadio(group, "RadioButton3", 8, 20, "Pi", true);
  RadioButton4 = MakeRadio(group, "RadioButton4", 8, 44, "T", false);
  Label34 = MakeLabel(group, "Label34", 48, 32, QStringLiteral("------>"));
  Label44 = MakeSchematic(group, "Label44", 96, 16);

  Label45 = MakeLabel(group, "Label45", 272, 10, QStringLiteral("Rn   Port1"));
  Edit17 = MakeEdit(group, "Edit17", 272, 24, kPortEditWidth);
  Label46 = MakeLabel(group, "Label46", 272, 50, QStringLiteral("Ro   Port2"));
  Edit18 = MakeEdit(group, "Edit18", 272, 64, kPortEditWidth);
  Label47 = MakeLabel(group, "Label47", 272, 90, QStringLiteral("Attenuation (dB)"));
  Edit19 = MakeEdit(group, "Edit19", 272, 104, kPortEditWidth);

  Label48 = MakeLabel(group, "Label48", 376, 10, QStringLiteral("Resistances (ohm)"));
  Label49 = MakeLabel(group, "Label49", 376, 31, QStringLiteral("R1"));
  Edit20 = MakeEdit(group, "Edit20", 394, 28, 100);
  Label50 = MakeLabel(group, "Label50", 376, 57, QStringLiteral("R2"));
  Edit21 = MakeEdit(group, "Edit21", 394, 54, 100);
  Label51 = MakeLabel(group, "Label51", 376, 83, QStringLiteral("R3"));
  Edit22 = MakeEdit(group, "Edit22", 394, 80, 100);
  Label52 = MakeFormWidget<QLabel>(group, "Label52", 376, 110);

  Button2 = MakeButton(group, "Button2", 502, 26, 78, "Resistance");
  Button3 = MakeButton(group, "Button3", 502, 58, 78, "Attenuation");
}

void MatchPage::SetToolTips() {
  const auto tip = [](QWidget* widget, const QString& text) { widget->setToolTip(text); };
  tip(Edit11, QStringLiteral("Rg: generator (port 1) resistance, ohm"));
  tip(Edit23, QStringLiteral("X1: generator (port 1) reactance, ohm"));
  tip(Edit14, QStringLiteral("Rd: load (port 2) resistance, ohm"));
  tip(Edit24, QStringLiteral("X2: load (port 2) reactance, ohm"));
  tip(Edit15, QStringLiteral("Frequency, MHz"));
  tip(Edit12, QStringLiteral("Shunt element at port 1, to ground (in the unit beside it: "
                             "nH an inductor, pF a capacitor)"));
  tip(Edit13, QStringLiteral("Series element from port 1 towards port 2 (in the unit beside "
                             "it: nH an inductor, pF a capacitor)"));
  tip(Label31, QStringLiteral("|Γ1|: reflection at port 1, the generator looking into the "
                              "network and the load, dB"));
  tip(Label32, QStringLiteral("|Γ2|: reflection at port 2, the load looking into the network "
                              "and the generator, dB"));
  tip(Label53, QStringLiteral("S21 = S12: transmission through the lossless network, dB"));
  tip(g2d, QStringLiteral("Generator to load: writes into Rd, X2 the load that the network "
                          "matches at port 2"));
  tip(d2g, QStringLiteral("Load to generator: writes into Rg, X1 the generator that the "
                          "network matches at port 1"));
  tip(E24Shunt, QStringLiteral("Nearest E24 standard value of the shunt element"));
  tip(E24Series, QStringLiteral("Nearest E24 standard value of the series element"));
  tip(E24Gamma1, QStringLiteral("|Γ1| at port 1 with the two E24 parts in place of the values "
                                "in the fields, dB"));
  tip(Edit17, QStringLiteral("Rn: port 1 resistance, ohm"));
  tip(Edit18, QStringLiteral("Ro: port 2 resistance, ohm"));
  tip(Edit19, QStringLiteral("Attenuation of the pad, dB (set for \"Resistance\", computed by "
                             "\"Attenuation\")"));
  tip(Edit20, QStringLiteral("R1, ohm: Pi - shunt to ground at port 1; T - series arm at "
                             "port 1"));
  tip(Edit21, QStringLiteral("R2, ohm: Pi - series arm between the ports; T - shunt to ground "
                             "from the middle node"));
  tip(Edit22, QStringLiteral("R3, ohm: Pi - shunt to ground at port 2; T - series arm at "
                             "port 2"));
  tip(Label52, QStringLiteral("|Γ1|: reflection at port 1 of the pad terminated in Ro, dB"));
}

void MatchPage::Connect() {
  for (QRadioButton* radio : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
    radio->installEventFilter(this);
  connect(Button8, &QPushButton::clicked, this,
          [this] { Handle([this] { form_.Button8Click(); }, E24Reflection::kClear); });
  connect(Button9, &QPushButton::clicked, this,
          [this] { Handle([this] { form_.Button9Click(); }, E24Reflection::kShow); });
  connect(g2d, &ClickableLabel::clicked, this,
          [this] { Handle([this] { form_.g2dClick(); }, E24Reflection::kClear); });
  connect(d2g, &ClickableLabel::clicked, this,
          [this] { Handle([this] { form_.d2gClick(); }, E24Reflection::kClear); });
  connect(Button2, &QPushButton::clicked, this,
          [this] { Handle([this] { form_.Button2Click(); }, E24Reflection::kKeep); });
  connect(Button3, &QPushButton::clicked, this,
          [this] { Handle([this] { form_.Button3Click(); }, E24Reflection::kKeep); });
}

bool MatchPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == RadioButton1)
      Handle([this] { form_.RadioButton1MouseDown(); }, E24Reflection::kClear);
    else if (watched == RadioButton2)
      Handle([this] { form_.RadioButton2MouseDown(); }, E24Reflection::kClear);
    else if (watched == RadioButton3)
      Handle([this] { form_.RadioButton3MouseDown(); }, E24Reflection::kKeep);
    else if (watched == RadioButton4)
      Handle([this] { form_.RadioButton4MouseDown(); }, E24Reflection::kKeep);
  }
  return Page::eventFilter(watched, event);  // the button then handles the press as usual
}

void MatchPage::FormCreate() {
  Handle([this] { form_.FormCreate(); }, E24Reflection::kKeep);
}

void MatchPage::Handle(const std::function<void()>& handler, E24Reflection reflection) {
  GuardedFormHandler([this] { ReadInput(); }, handler,
                     [this, reflection] {
                       ShowForm();
                       const MatchE24Texts e24 = form_.E24Texts();
                       ShowLabelText(E24Shunt, e24.shunt);
                       ShowLabelText(E24Series, e24.series);
                       if (reflection == E24Reflection::kShow)
                         ShowLabelText(E24Gamma1, e24.gamma1);
                       else if (reflection == E24Reflection::kClear)
                         ShowLabelText(E24Gamma1, std::string());
                     });
}

void MatchPage::ReadInput() {
  fields_.Read(form_);
  // Keyboard selection checks a button without any handler; the form sees it here.
  form_.RadioButton1 = RadioButton1->isChecked();
  form_.RadioButton2 = RadioButton2->isChecked();
  form_.RadioButton3 = RadioButton3->isChecked();
  form_.RadioButton4 = RadioButton4->isChecked();
}

void MatchPage::ShowForm() {
  fields_.Show(form_);
  SetChecked(RadioButton1, form_.RadioButton1);
  SetChecked(RadioButton2, form_.RadioButton2);
  SetChecked(RadioButton3, form_.RadioButton3);
  SetChecked(RadioButton4, form_.RadioButton4);
}

void MatchPage::ShowMessage(const std::string& text) {
  ShowForm();  // the box appears over what the handler has written so far
  AppDialogs().ShowMessage(QString::fromStdString(text));
}

}  // namespace vexa
