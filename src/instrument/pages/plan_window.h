// The test-plan window (TForm2): bands, power control levels, channels, test items, BER
// settings, cable losses and antenna mode; plan files; "Config". Its state and handlers live in
// PlanForm; this window shows the form and forwards the user's clicks and texts to it.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>

#include "instrument/runs/plan_form.h"
#include "instrument/runs/testset_config.h"

namespace vexa {

class TForm2 : public QWidget {
  Q_OBJECT

 public:
  // "Config" captures the plan into `plan` (the station's, which outlives the window), then
  // hands the sending to the page: `send_setup` runs
  // with the state of "*RST" and sends the set-up off the window's thread. `view` receives
  // the configuration's effects on the "8960" page (memo, Start Test) and closes this window.
  // `parent` is the page that owns the window (it stays a window).
  TForm2(TestPlan& plan, ConfigureView& view, std::function<void(bool reset_checked)> send_setup,
         QWidget* parent);

  const PlanForm& Form() const { return form_; }
  // Runs when the window closes (the main window shows again).
  void SetOnClose(std::function<void()> on_close) { on_close_ = std::move(on_close); }
  // While the set-up is sent: "Config" disabled and ConfigProgress shown ("3 of 22").
  void ShowConfiguring(bool configuring);
  void ShowSetupProgress(int sent, int total);

  struct BandRow {
    QCheckBox* box;       // CBgsm ...
    QLabel* level_label;  // above the level list
    QListWidget* levels;  // CLBgsm ...
    QLabel* label;        // Lgsm ...
    QLineEdit* channels;  // EgsmCN ...
    QCheckBox* scan;      // CBgsmSM ...
  };
  std::array<BandRow, kBandCount> Bands{};
  QPushButton* Button1;  // levels "Check All"
  QPushButton* Button6;  // levels "unCheck All"
  QListWidget* CLBtestitem;
  QLineEdit* Eberref;
  QLineEdit* Ebercount;
  QPushButton* Button2;  // items "Check All"
  QPushButton* Button7;  // items "unCheck All"
  QLineEdit* Elowfreq;
  QLineEdit* Elowloss;
  QLineEdit* Ehighfreq;
  QLineEdit* Ehighloss;
  QCheckBox* CBant;
  QLineEdit* Eantstep;
  QPushButton* OpenTpl;
  QPushButton* SaveTpl;
  QPushButton* Button5;  // "Config"
  QCheckBox* CheckBox1;  // "*RST"
  QLabel* Label15;
  QProgressBar* ConfigProgress;  // the set-up's commands sent, while "Config" works

  // The dialogs' filters.
  static const QString kFileFilters;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildBandGroup();
  QWidget* BuildLevelGroup();
  QWidget* BuildChannelGroup();
  QWidget* BuildItemGroup();
  QWidget* BuildLossGroup();
  QWidget* BuildAntennaGroup();
  void Connect();

  // Runs a handler of the form: the typed texts go into the form first, the form's state is
  // shown afterwards (also when the handler ends with an error, before its box appears).
  void Handle(const std::function<void()>& handler);
  void ReadTexts();
  void ShowForm();
  void OpenTplClick();
  void SaveTplClick();
  void Button5Click();

  PlanForm form_;
  TestPlan& plan_;
  ConfigureView& view_;
  std::function<void(bool reset_checked)> send_setup_;
  std::function<void()> on_close_;
  bool showing_ = false;  // ShowForm is writing into the widgets
};

}  // namespace vexa
