#include "instrument/pages/plan_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "instrument/runs/plan_file.h"
#include "ui/dialogs.h"
#include "ui/guard.h"

namespace vexa {
namespace {

constexpr int kLevelListWidth = 52;
constexpr int kLevelListHeight = 236;  // shows every level of a band
constexpr int kEditWidth = 110;

struct BandNames {
  const char* box;
  const char* levels;
  const char* label;
  const char* channels;
  const char* scan;
};
constexpr std::array<BandNames, kBandCount> kBandNames = {{
    {"CBgsm", "CLBgsm", "Lgsm", "EgsmCN", "CBgsmSM"},
    {"CBdcs", "CLBdcs", "Ldcs", "EdcsCN", "CBdcsSM"},
    {"CBpcs", "CLBpcs", "Lpcs", "EpcsCN", "CBpcsSM"},
    {"CBgsm850", "CLBgsm850", "Lgsm850", "Egsm850CN", "CBgsm850SM"},
}};

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QLineEdit* Edit(const char* name) {
  auto* edit = Named<QLineEdit>(name);
  edit->setFixedWidth(kEditWidth);
  return edit;
}

void ShowCheckList(QListWidget* widget, const PlanCheckList& list) {
  widget->setEnabled(list.enabled);
  for (int i = 0; i < widget->count() && i < static_cast<int>(list.items.size()); ++i) {
    widget->item(i)->setCheckState(list.items[static_cast<std::size_t>(i)].checked ? Qt::Checked
                                                                                   : Qt::Unchecked);
  }
}

QListWidget* CheckList(const char* name, const PlanCheckList& list) {
  auto* widget = Named<QListWidget>(name);
  for (const PlanCheckListItem& item : list.items) {
    auto* row = new QListWidgetItem(QString::fromStdString(item.text), widget);
    row->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    row->setCheckState(Qt::Unchecked);
  }
  return widget;
}

void ShowEdit(QLineEdit* widget, const PlanEdit& edit) {
  const QString text = QString::fromStdString(edit.text);
  if (widget->text() != text)
    widget->setText(text);
  widget->setEnabled(edit.enabled);
}

void ShowBox(QCheckBox* widget, const PlanCheckBox& box) {
  widget->setChecked(box.checked);
  widget->setEnabled(box.enabled);
}

}  // namespace

const QString TForm2::kFileFilters = QStringLiteral("Test Plan (*.tpl);;Text (*.txt);;All (*)");

TForm2::TForm2(TestPlan& plan, ConfigureView& view,
               std::function<void(bool reset_checked)> send_setup, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      plan_(plan),
      view_(view),
      send_setup_(std::move(send_setup)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Test Plan"));

  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(BuildBandGroup());
  left->addWidget(BuildChannelGroup());
  left->addWidget(BuildAntennaGroup());
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(BuildItemGroup());
  right->addWidget(BuildLossGroup());
  right->addStretch();
  columns->addLayout(left);
  columns->addWidget(BuildLevelGroup());
  columns->addLayout(right);

  OpenTpl = Named<QPushButton>("OpenTpl", QStringLiteral("Open Tpl"));
  SaveTpl = Named<QPushButton>("SaveTpl", QStringLiteral("Save Tpl"));
  Button5 = Named<QPushButton>("Button5", QStringLiteral("Config"));
  CheckBox1 = Named<QCheckBox>("CheckBox1", QStringLiteral("*RST"));
  Label15 = Named<QLabel>("Label15");
  Label15->setWordWrap(true);
  ConfigProgress = Named<QProgressBar>("ConfigProgress");
  ConfigProgress->setFormat(QStringLiteral("%v of %m"));
  ConfigProgress->setRange(0, 1);
  ConfigProgress->setValue(0);
  ConfigProgress->setFixedWidth(kEditWidth);
  // Keeps its room while hidden, so that the window's fixed size does not change.
  QSizePolicy keep = ConfigProgress->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  ConfigProgress->setSizePolicy(keep);
  ConfigProgress->hide();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(OpenTpl);
  buttons->addWidget(SaveTpl);
  buttons->addWidget(Label15, 1);
  buttons->addWidget(ConfigProgress);
  buttons->addWidget(CheckBox1);
  buttons->addWidget(Button5);

  auto* window = new QVBoxLayout(this);
  window->addLayout(columns);
  window->addLayout(buttons);
  window->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border

  form_.FormCreate();  // both "Check All"
  ShowForm();
  Connect();
}

QWidget* TForm2::BuildBandGroup() {
  auto* group = new QGroupBox(QStringLiteral("Band"));
  auto* layout = new QVBoxLayout(group);
  for (int band = 0; band < kBandCount; ++band) {
    Bands[band].box = Named<QCheckBox>(kBandNames[band].box, QLatin1String(kPlanBandNames[band]));
    layout->addWidget(Bands[band].box);
  }
  return group;
}

QWidget* TForm2::BuildLevelGroup() {
  auto* group = new QGroupBox(QStringLiteral("PCL TX"));
  auto* layout = new QGridLayout(group);
  for (int band = 0; band < kBandCount; ++band) {
    BandRow& row = Bands[band];
    row.level_label = new QLabel(QLatin1String(kPlanBandNames[band]));
    row.levels = CheckList(kBandNames[band].levels, form_.Band(band).levels);
    row.levels->setFixedSize(kLevelListWidth + 16, kLevelListHeight);
    layout->addWidget(row.level_label, 0, band);
    layout->addWidget(row.levels, 1, band);
  }
  Button1 = Named<QPushButton>("Button1", QStringLiteral("Check All"));
  Button6 = Named<QPushButton>("Button6", QStringLiteral("unCheck All"));
  layout->addWidget(Button1, 2, 0, 1, 2);
  layout->addWidget(Button6, 2, 2, 1, 2);
  layout->setRowStretch(3, 1);  // spare height below the buttons, not between the rows
  return group;
}

QWidget* TForm2::BuildChannelGroup() {
  auto* group = new QGroupBox(QStringLiteral("ARFCN"));
  auto* layout = new QGridLayout(group);
  for (int band = 0; band < kBandCount; ++band) {
    BandRow& row = Bands[band];
    row.label = Named<QLabel>(kBandNames[band].label, QLatin1String(kPlanBandNames[band]));
    row.channels = Edit(kBandNames[band].channels);
    row.scan = Named<QCheckBox>(kBandNames[band].scan, QStringLiteral("Scan Mode"));
    layout->addWidget(row.label, band, 0);
    layout->addWidget(row.channels, band, 1);
    layout->addWidget(row.scan, band, 2);
  }
  return group;
}

QWidget* TForm2::BuildItemGroup() {
  auto* group = new QGroupBox(QStringLiteral("Test Items"));
  auto* layout = new QGridLayout(group);
  CLBtestitem = CheckList("CLBtestitem", form_.CLBtestitem);
  CLBtestitem->setFixedHeight(124);
  Eberref = Edit("Eberref");
  Ebercount = Edit("Ebercount");
  Button2 = Named<QPushButton>("Button2", QStringLiteral("Check All"));
  Button7 = Named<QPushButton>("Button7", QStringLiteral("unCheck All"));
  layout->addWidget(CLBtestitem, 0, 0, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("BER REF (dBm)")), 1, 0);
  layout->addWidget(Eberref, 1, 1);
  layout->addWidget(new QLabel(QStringLiteral("BER COUNT")), 2, 0);
  layout->addWidget(Ebercount, 2, 1);
  layout->addWidget(Button2, 3, 0);
  layout->addWidget(Button7, 3, 1);
  return group;
}

QWidget* TForm2::BuildLossGroup() {
  auto* group = new QGroupBox(QStringLiteral("Cable Loss"));
  auto* layout = new QGridLayout(group);
  Elowfreq = Edit("Elowfreq");
  Elowloss = Edit("Elowloss");
  Ehighfreq = Edit("Ehighfreq");
  Ehighloss = Edit("Ehighloss");
  const std::array<std::pair<const char*, std::array<QLineEdit*, 2>>, 2> rows = {
      {{"Low Band", {Elowfreq, Elowloss}}, {"High Band", {Ehighfreq, Ehighloss}}}};
  int row = 0;
  for (const auto& [caption, edits] : rows) {
    layout->addWidget(new QLabel(QLatin1String(caption)), row, 0, 1, 2);
    layout->addWidget(edits[0], row + 1, 0);
    layout->addWidget(new QLabel(QStringLiteral("MHz")), row + 1, 1);
    layout->addWidget(edits[1], row + 2, 0);
    layout->addWidget(new QLabel(QStringLiteral("dB")), row + 2, 1);
    row += 3;
  }
  return group;
}

QWidget* TForm2::BuildAntennaGroup() {
  auto* group = new QGroupBox(QStringLiteral("Antenna"));
  auto* layout = new QHBoxLayout(group);
  CBant = Named<QCheckBox>("CBant", QStringLiteral("ANT MOD"));
  Eantstep = Edit("Eantstep");
  Eantstep->setFixedWidth(48);
  layout->addWidget(CBant);
  layout->addWidget(Eantstep);
  layout->addWidget(new QLabel(QStringLiteral("Degree/Turn")));
  return group;
}

void TForm2::Connect() {
  for (int band = 0; band < kBandCount; ++band) {
    BandRow& row = Bands[band];
    connect(row.box, &QCheckBox::clicked, this,
            [this, band](bool checked) { Handle([&] { form_.SetBandChecked(band, checked); }); });
    connect(row.scan, &QCheckBox::clicked, this, [this, band](bool checked) {
      Handle([&] { form_.SetScanModeChecked(band, checked); });
    });
    connect(row.levels, &QListWidget::itemChanged, this, [this, band](QListWidgetItem* item) {
      if (!showing_) {
        form_.Band(band).levels.SetChecked(Bands[band].levels->row(item),
                                           item->checkState() == Qt::Checked);
      }
    });
  }
  connect(CLBtestitem, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!showing_)
      form_.CLBtestitem.SetChecked(CLBtestitem->row(item), item->checkState() == Qt::Checked);
  });
  connect(CBant, &QCheckBox::toggled, this, [this](bool checked) {
    if (!showing_)
      form_.CBant.checked = checked;
  });
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool checked) {
    if (!showing_)
      form_.CheckBox1.checked = checked;
  });
  connect(Button1, &QPushButton::clicked, this, [this] { Handle([&] { form_.Button1Click(); }); });
  connect(Button6, &QPushButton::clicked, this, [this] { Handle([&] { form_.Button6Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Handle([&] { form_.Button2Click(); }); });
  connect(Button7, &QPushButton::clicked, this, [this] { Handle([&] { form_.Button7Click(); }); });
  connect(OpenTpl, &QPushButton::clicked, this, &TForm2::OpenTplClick);
  connect(SaveTpl, &QPushButton::clicked, this, &TForm2::SaveTplClick);
  connect(Button5, &QPushButton::clicked, this, &TForm2::Button5Click);
}

void TForm2::Handle(const std::function<void()>& handler) {
  const DialogOwner boxes_over_this_window(this);
  GuardedFormHandler([this] { ReadTexts(); }, handler, [this] { ShowForm(); });
}

void TForm2::ReadTexts() {
  // A text that differs from the form's was typed (the form's own texts are shown as they
  // are): it is checked strictly from now on.
  const auto read = [](QLineEdit* widget, PlanEdit& edit) {
    std::string text = widget->text().toStdString();
    if (text != edit.text) {
      edit.text = std::move(text);
      edit.typed = true;
    }
  };
  for (int band = 0; band < kBandCount; ++band)
    read(Bands[band].channels, form_.Band(band).channels);
  const std::array<std::pair<QLineEdit*, PlanEdit*>, 7> edits = {{{Eberref, &form_.Eberref},
                                                                  {Ebercount, &form_.Ebercount},
                                                                  {Elowfreq, &form_.Elowfreq},
                                                                  {Elowloss, &form_.Elowloss},
                                                                  {Ehighfreq, &form_.Ehighfreq},
                                                                  {Ehighloss, &form_.Ehighloss},
                                                                  {Eantstep, &form_.Eantstep}}};
  for (const auto& [widget, edit] : edits)
    read(widget, *edit);
}

void TForm2::ShowForm() {
  showing_ = true;
  for (int band = 0; band < kBandCount; ++band) {
    const PlanBandControls& state = form_.Band(band);
    BandRow& row = Bands[band];
    ShowBox(row.box, state.box);
    ShowCheckList(row.levels, state.levels);
    row.level_label->setEnabled(state.levels.enabled);
    row.label->setEnabled(state.label_enabled);
    ShowEdit(row.channels, state.channels);
    ShowBox(row.scan, state.scan);
  }
  ShowCheckList(CLBtestitem, form_.CLBtestitem);
  ShowEdit(Eberref, form_.Eberref);
  ShowEdit(Ebercount, form_.Ebercount);
  ShowEdit(Elowfreq, form_.Elowfreq);
  ShowEdit(Elowloss, form_.Elowloss);
  ShowEdit(Ehighfreq, form_.Ehighfreq);
  ShowEdit(Ehighloss, form_.Ehighloss);
  ShowBox(CBant, form_.CBant);
  ShowEdit(Eantstep, form_.Eantstep);
  ShowBox(CheckBox1, form_.CheckBox1);
  Label15->setText(QString::fromStdString(form_.Label15));
  showing_ = false;
}

void TForm2::OpenTplClick() {
  const DialogOwner dialogs_over_this_window(this);
  const QString name = AppDialogs().AskOpenFileName(kFileFilters);
  if (name.isEmpty())
    return;
  std::string notice;
  Handle([&] { OpenPlanFile(form_, name.toStdString(), &notice); });
  // Lists that the file rule reads otherwise than they look: one message, after the opening
  // (and after its error, if it stopped).
  if (!notice.empty())
    AppDialogs().ShowMessage(QString::fromStdString(notice));
}

void TForm2::SaveTplClick() {
  const DialogOwner dialogs_over_this_window(this);
  const QString name = AppDialogs().AskSaveFileName(kFileFilters);
  if (name.isEmpty())
    return;
  Handle([&] { SavePlanFile(form_, name.toStdString()); });
}

// The capture reads this window's state, so it runs here; the sending goes to the page's
// worker, and the window stays usable (and closable) while the test set is set up.
void TForm2::Button5Click() {
  Handle([&] {
    CaptureConfiguration(
        plan_, [this](TestPlan& plan) { CaptureTestPlan(form_, plan); }, view_);
    send_setup_(form_.CheckBox1.checked);
  });
}

void TForm2::ShowConfiguring(bool configuring) {
  Button5->setEnabled(!configuring);
  ConfigProgress->setRange(0, 1);
  ConfigProgress->setValue(0);
  ConfigProgress->setVisible(configuring);
}

void TForm2::ShowSetupProgress(int sent, int total) {
  ConfigProgress->setRange(0, std::max(total, 1));
  ConfigProgress->setValue(sent);
}

void TForm2::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (on_close_)
    on_close_();
}

}  // namespace vexa
