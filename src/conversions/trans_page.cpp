#include "conversions/trans_page.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QSignalBlocker>

#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/guard.h"

namespace vexa {
namespace {

constexpr int kEditHeight = 21;
constexpr int kPairEditWidth = 96;

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, const char* text) {
  auto* label = MakeFormWidget<QLabel>(parent, name, left, top);
  label->setText(QString::fromUtf8(text));
  label->adjustSize();
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int left, int top, int width) {
  auto* edit = MakeFormWidget<QLineEdit>(parent, name, left, top);
  edit->resize(width, kEditHeight);
  return edit;
}

// The pictures of the three program buttons, drawn here so they stay crisp on any screen.
enum class Glyph { kCalculator, kEditor, kPaint };

QIcon ProgramIcon(Glyph glyph) {
  QPixmap picture(28, 28);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(40, 40, 40), 1.2));
  switch (glyph) {
    case Glyph::kCalculator:
      painter.setBrush(QColor(225, 225, 225));
      painter.drawRoundedRect(QRectF(5, 2, 18, 24), 2, 2);
      painter.setBrush(QColor(160, 200, 160));
      painter.drawRect(QRectF(8, 5, 12, 5));
      painter.setBrush(QColor(90, 90, 90));
      for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
          painter.drawRect(QRectF(8 + column * 4.5, 13 + row * 4, 2.5, 2.5));
      }
      break;
    case Glyph::kEditor:
      painter.setBrush(Qt::white);
      painter.drawRect(QRectF(5, 2, 17, 24));
      for (int line = 0; line < 5; ++line)
        painter.drawLine(QPointF(8, 7 + line * 4), QPointF(19, 7 + line * 4));
      break;
    case Glyph::kPaint: {
      QPainterPath palette;
      palette.addEllipse(QRectF(2, 5, 24, 18));
      painter.setBrush(QColor(230, 200, 150));
      painter.drawPath(palette);
      const QColor colors[] = {Qt::red, QColor(0, 120, 220), QColor(0, 160, 60), Qt::yellow};
      for (int i = 0; i < 4; ++i) {
        painter.setBrush(colors[i]);
        painter.drawEllipse(QPointF(8 + i * 4.5, 11 + (i % 2) * 5), 2.2, 2.2);
      }
      break;
    }
  }
  return QIcon(picture);
}

}  // namespace

TransPage::TransPage(QWidget* parent) : Page("TabSheet2", parent), form_(*this) {
  search_path_ = qEnvironmentVariable("PATH");
  starter_ = [](const QString& program) { return QProcess::startDetached(program, {}); };
  BuildPairs();
  BuildBalun();
  BuildProgramButtons();
  fields_.Bind(this, kTransFields);
  ShowForm();
  Connect();
}

void TransPage::FormCreate() {
  ShowLabelText(Label66, form_.Label66);
}

// The three pairs, one per row with the arrow between; the RXLEV field, its range and its
// scroll bar; the RXQUAL list; the formula reminders.
void TransPage::BuildPairs() {
  struct Pair {
    int top;
    const char* left_caption_name;
    const char* left_caption;
    const char* left_name;
    const char* arrow_name;
    const char* right_caption_name;
    const char* right_caption;
    const char* right_name;
    QLineEdit** left;
    QLineEdit** right;
  };
  const Pair pairs[] = {
      {4, "Label8", TransForm::kLabel8, "Edit3", "Label7", "Label9", TransForm::kLabel9, "Edit4",
       &Edit3, &Edit4},
      {44, "Label11", TransForm::kLabel11, "Edit5", "Label13", "Label12", TransForm::kLabel12,
       "Edit6", &Edit5, &Edit6},
      {84, "Label10", TransForm::kLabel10, "Edit7", "Label14", "Label15", TransForm::kLabel15,
       "Edit8", &Edit7, &Edit8},
  };
  for (const Pair& pair : pairs) {
    MakeLabel(this, pair.left_caption_name, 8, pair.top, pair.left_caption);
    *pair.left = MakeEdit(this, pair.left_name, 8, pair.top + 14, kPairEditWidth);
    MakeLabel(this, pair.arrow_name, 110, pair.top + 17, TransForm::kLabel7);
    MakeLabel(this, pair.right_caption_name, 190, pair.top, pair.right_caption);
    *pair.right = MakeEdit(this, pair.right_name, 190, pair.top + 14, kPairEditWidth);
  }

  MakeLabel(this, "Label23", 8, 124, TransForm::kLabel23);
  Edit10 = MakeEdit(this, "Edit10", 8, 138, 48);
  MakeLabel(this, "Label24", 62, 141, TransForm::kLabel24);
  Label25 = MakeLabel(this, "Label25", 142, 141, form_.Label25.c_str());
  ScrollBar4 = MakeFormWidget<QScrollBar>(this, "ScrollBar4", 8, 164);
  ScrollBar4->setOrientation(Qt::Horizontal);
  ScrollBar4->setRange(TransForm::kScrollBar4Min, TransForm::kScrollBar4Max);
  ScrollBar4->resize(278, 17);

  ComboBox5 = MakeFormWidget<QComboBox>(this, "ComboBox5", 8, 188);
  for (const char* item : kRxqualItems)
    ComboBox5->addItem(QString::fromLatin1(item));
  ComboBox5->setCurrentText(QString::fromStdString(form_.ComboBox5));
  ComboBox5->resize(278, 22);

  const char* const reminders[][2] = {
      {"Label43", TransForm::kLabel43}, {"Label35", TransForm::kLabel35},
      {"Label63", TransForm::kLabel63}, {"Label72", TransForm::kLabel72},
      {"Label74", TransForm::kLabel74}, {"Label78", TransForm::kLabel78}};
  int top = 218;
  for (const auto& [name, text] : reminders) {
    MakeLabel(this, name, 8, top, text)->setStyleSheet(QStringLiteral("color: #1d4f91;"));
    top += 16;
  }

  Edit3->setToolTip(QStringLiteral("Return loss S11, dB (negative); Enter converts"));
  Edit4->setToolTip(QStringLiteral("VSWR (above 1); Enter converts"));
  Edit5->setToolTip(QStringLiteral("Power, dBm; Enter converts"));
  Edit6->setToolTip(QStringLiteral("Power, mW; Enter converts"));
  Edit7->setToolTip(QStringLiteral("Length, mil; Enter converts"));
  Edit8->setToolTip(QStringLiteral("Length, mm; Enter converts"));
  Edit10->setToolTip(QStringLiteral("RXLEV 0 to 63; Enter shows its power range"));
}

void TransPage::BuildBalun() {
  GroupBox3 = MakeFormWidget<QGroupBox>(this, "GroupBox3", 296, 2);
  GroupBox3->setTitle(QLatin1String(TransForm::kGroupBox3));
  GroupBox3->resize(294, 300);
  Label66 = MakeFormWidget<QLabel>(GroupBox3, "Label66", 8, 18);
  Label66->setFont(SchematicFont(11));
  Label66->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  RadioButton7 = MakeFormWidget<QRadioButton>(GroupBox3, "RadioButton7", 214, 24);
  RadioButton7->setText(QLatin1String(TransForm::kRadioButton7));
  RadioButton7->adjustSize();
  RadioButton8 = MakeFormWidget<QRadioButton>(GroupBox3, "RadioButton8", 214, 46);
  RadioButton8->setText(QLatin1String(TransForm::kRadioButton8));
  RadioButton8->adjustSize();

  MakeLabel(GroupBox3, "Label67", 8, 190, TransForm::kLabel67);
  Edit25 = MakeEdit(GroupBox3, "Edit25", 8, 204, 70);
  MakeLabel(GroupBox3, "Label68", 90, 190, TransForm::kLabel68);
  Edit26 = MakeEdit(GroupBox3, "Edit26", 90, 204, 70);
  // The frequency field stands inside its caption, between "Freq" and "MHz".
  Label69 = MakeLabel(GroupBox3, "Label69", 8, 236, TransForm::kLabel69);
  const QFontMetrics metrics(Label69->font());
  const int gap_left = Label69->x() + metrics.horizontalAdvance(QStringLiteral("Freq ")) + 2;
  const int gap_right = Label69->x() + metrics.horizontalAdvance(Label69->text()) -
                        metrics.horizontalAdvance(QStringLiteral(" MHz")) - 2;
  Edit27 = MakeEdit(GroupBox3, "Edit27", gap_left, 233, std::max(60, gap_right - gap_left));
  Button7 = MakeFormWidget<QPushButton>(GroupBox3, "Button7", 8, 266);
  Button7->setText(QLatin1String(TransForm::kButton7));
  Button7->resize(60, 25);
  Label70 = MakeLabel(GroupBox3, "Label70", 80, 264, form_.Label70.c_str());
  Label71 = MakeLabel(GroupBox3, "Label71", 80, 280, form_.Label71.c_str());
  RadioButton7->setToolTip(QStringLiteral("C-L-C balun (the values do not change)"));
  RadioButton8->setToolTip(QStringLiteral("L-C-L balun (the values do not change)"));
  Button7->setToolTip(QStringLiteral("C and L whose reactance is sqrt(R1*R2) at the frequency"));
}

void TransPage::BuildProgramButtons() {
  const auto button = [this](const char* name, int left, Glyph glyph, const char* tip) {
    auto* made = MakeFormWidget<QPushButton>(this, name, left, 314);
    made->setIcon(ProgramIcon(glyph));
    made->setIconSize(QSize(28, 28));
    made->resize(38, 38);
    made->setToolTip(QString::fromUtf8(tip));
    return made;
  };
  BitBtn1 = button("BitBtn1", 296, Glyph::kCalculator, "Start the calculator");
  BitBtn2 = button("BitBtn2", 340, Glyph::kEditor, "Start the text editor");
  BitBtn3 = button("BitBtn3", 384, Glyph::kPaint, "Start the paint program");
}

void TransPage::Connect() {
  for (QWidget* edit :
       {static_cast<QWidget*>(Edit3), static_cast<QWidget*>(Edit4), static_cast<QWidget*>(Edit5),
        static_cast<QWidget*>(Edit6), static_cast<QWidget*>(Edit7), static_cast<QWidget*>(Edit8),
        static_cast<QWidget*>(Edit10)})
    edit->installEventFilter(this);
  // The balun's radio buttons act on the mouse press, not on a keyboard selection.
  RadioButton7->installEventFilter(this);
  RadioButton8->installEventFilter(this);
  connect(ScrollBar4, &QScrollBar::valueChanged, this,
          [this](int value) { Handle([this, value] { form_.SetScrollBar4(value); }); });
  connect(Button7, &QPushButton::clicked, this,
          [this] { Handle([this] { form_.Button7Click(); }); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { StartProgram(kCalculatorProgram); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { StartProgram(kTextEditorProgram); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { StartProgram(kPaintProgram); });
}

bool TransPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == RadioButton7)
      Handle([this] { form_.RadioButton7MouseDown(); });
    else if (watched == RadioButton8)
      Handle([this] { form_.RadioButton8MouseDown(); });
  } else if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      const std::pair<QObject*, void (TransForm::*)(int)> handlers[] = {
          {Edit3, &TransForm::Edit3KeyDown},  {Edit4, &TransForm::Edit4KeyDown},
          {Edit5, &TransForm::Edit5KeyDown},  {Edit6, &TransForm::Edit6KeyDown},
          {Edit7, &TransForm::Edit7KeyDown},  {Edit8, &TransForm::Edit8KeyDown},
          {Edit10, &TransForm::Edit10KeyDown}};
      for (const auto& [edit, handler] : handlers) {
        if (watched == edit)
          Handle([this, handler = handler] { (form_.*handler)(kEnterKey); });
      }
    }
  }
  return Page::eventFilter(watched, event);
}

void TransPage::Handle(const std::function<void()>& handler) {
  GuardedFormHandler([this] { ReadInput(); }, handler, [this] { ShowForm(); });
}

void TransPage::ReadInput() {
  fields_.Read(form_);
  form_.ComboBox5 = ComboBox5->currentText().toStdString();
  // A keyboard selection checks a balun button without a handler; the form keeps it.
  form_.RadioButton7 = RadioButton7->isChecked();
  form_.RadioButton8 = RadioButton8->isChecked();
}

void TransPage::ShowForm() {
  fields_.Show(form_);
  if (!Label66->text().isEmpty())  // shown from the window's creation on
    ShowLabelText(Label66, form_.Label66);
  {
    const QSignalBlocker block7(RadioButton7);
    const QSignalBlocker block8(RadioButton8);
    RadioButton7->setChecked(form_.RadioButton7);
    RadioButton8->setChecked(form_.RadioButton8);
  }
  if (ScrollBar4->value() != form_.ScrollBar4) {
    const QSignalBlocker blocker(ScrollBar4);
    ScrollBar4->setValue(form_.ScrollBar4);
  }
}

void TransPage::ShowMessage(const std::string& text) {
  ShowForm();
  AppDialogs().ShowMessage(QString::fromStdString(text));
}

QString TransPage::StartProgram(const DesktopProgram& program) {
  const QString found =
      QString::fromStdString(FindProgram(program.candidates, search_path_.toStdString()));
  if (found.isEmpty() || !starter_(found)) {
    const std::string message =
        found.isEmpty() ? MissingProgramMessage(program) : "Cannot start " + found.toStdString();
    AppDialogs().ShowMessage(QString::fromStdString(message));
    return QString();
  }
  return found;
}

}  // namespace vexa
