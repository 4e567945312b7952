#include "instrument/pages/dcsource_page.h"

#include <QMetaObject>
#include <QScreen>
#include <QTimer>
#include <exception>

#include "instrument/bus/instrument_session.h"
#include "instrument/pages/connection_dialog.h"
#include "instrument/pages/current_plot_window.h"
#include "instrument/pages/instrument_page_parts.h"
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

DcSourcePage::DcSourcePage(InstrumentStation& station, QWidget* parent)
    : Page("TabSheet14", parent), station_(station), clock_(&SystemRunClock()) {
  Memo5 = MakeMemo(this, "Memo5");
  // A long run shows a line per reading; the memo keeps the newest, the log file every one.
  Memo5->SetLineLimit(kMemoLineLimit);
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
  // In the free space between "Demo Mode" and the two result labels.
  PlotButton = MakeButton(this, "PlotButton", QStringLiteral("Plot"), 189, true);
  PlotButton->resize(kControlWidth, 23);
  PlotButton->setToolTip(QStringLiteral("Show the current against time and the histogram"));
  DriverNote = MakeDriverNote(this);
  Connection = new ConnectionControl(this, station_.DcSourceDevice, DriverNote, "dcsource",
                                     QStringLiteral("DC source"));
  station_.DcSourceDevice.SetMemo(Memo5);
  demo_mode_ = CheckBox3->isChecked();
  connect(CheckBox3, &QCheckBox::toggled, this, [this](bool checked) { demo_mode_ = checked; });
  connect(Edit29, &QLineEdit::returnPressed, this, &DcSourcePage::Edit29KeyDown);
  connect(Button10, &QPushButton::clicked, this, &DcSourcePage::Button10Click);
  connect(Button1, &QPushButton::clicked, this, &DcSourcePage::Button1Click);
  connect(PlotButton, &QPushButton::clicked, this, &DcSourcePage::PlotClick);
}

DcSourcePage::~DcSourcePage() {
  FormClose();
  commands_.Join();
  JoinWorker();
  Memo5->SetTap(nullptr);
  station_.DcSourceDevice.DetachMemo(Memo5);
}

void DcSourcePage::Relayout(int sheet_width, int sheet_height) {
  PlaceMemoAndNote(Memo5, DriverNote, sheet_width, sheet_height);
  Connection->Place(0, DriverNote->y(), Memo5->width());
  const int left = RightColumnLeft(sheet_width);
  MoveLeft({Edit29, LabeledEdit14, LabeledEdit16, ComboBox12, CheckBox2, CheckBox3, PlotButton,
            Label75, Label76, Button10, Button1},
           left);
  // The second column stands 64 pixels right of the first (512 at the design size).
  MoveLeft({LabeledEdit15, LabeledEdit17}, left + 64);
}

void DcSourcePage::FormClose() {
  const bool working = worker_busy_ || commands_.pending() > 0;
  commands_.Cancel();
  if (worker_busy_ && run_)
    run_->Cancel();
  // A console command (or the configuration before the run) may wait in a bus call.
  if (working)
    station_.DcSourceDevice.AbortCalls();
}

void DcSourcePage::SetRunEnvironment(RunClock* clock, const std::string& log_directory,
                                     int settle_ms) {
  clock_ = clock ? clock : &SystemRunClock();
  options_.log_directory = log_directory;
  options_.settle_ms = settle_ms;
}

void DcSourcePage::Edit29KeyDown() {
  const std::string text = Edit29->text().toStdString();
  commands_.Push([this, text] { station_.DcSourceDevice.SendConsoleText(text); });
}

void DcSourcePage::UpdateConnection() {
  Connection->SetBusy(worker_busy_ || commands_.pending() > 0);
}

// The configuration runs on the worker too: opening the source can wait for a bus time-out
// and the set-up ends with a pause, and the window stays free meanwhile. Its outcome reaches
// the window as the run's view calls do; a field that does not convert is shown in the
// application's error box on the GUI thread, as the guard shows any handler's error.
void DcSourcePage::Button10Click() {
  Guarded([this] {
    // One worker at a time: a stopped run still finishing its batch and log keeps the page.
    if (worker_busy_)
      return;
    JoinWorker();
    CurrentSettings settings;
    settings.voltage = LabeledEdit14->text().toStdString();
    settings.interval = LabeledEdit15->text().toStdString();
    settings.points = LabeledEdit16->text().toStdString();
    settings.minutes = LabeledEdit17->text().toStdString();
    settings.mode = ComboBox12->currentIndex();
    settings.show_samples = CheckBox2->isChecked();
    const bool demo = CheckBox3->isChecked();
    {
      const std::lock_guard lock(plot_mutex_);
      plot_data_.Clear();
    }
    ShowLatestPlot();
    CurrentRunView& view = *this;
    run_ = std::make_unique<CurrentTestRun>(station_.DcSourceDevice, view, *clock_, options_);
    stop_requested_ = false;
    Button10->setEnabled(false);
    // From this click on: the worker opens the source right away.
    worker_busy_ = true;
    UpdateConnection();
    worker_ = std::thread([this, run = run_.get(), settings, demo] {
      bool keep_swapped = false;
      bool start = false;
      try {
        start = run->Configure(settings, demo);
      } catch (...) {
        keep_swapped = true;
        Post([error = std::current_exception()] {
          Guarded([&] { std::rethrow_exception(error); });
        });
      }
      if (start) {
        // A Stop that came while the source was set up still counts.
        if (stop_requested_)
          run->RequestStop();
        run->Run();
      }
      Post([this, keep_swapped] { WorkerEnded(keep_swapped); });
    });
  });
}

// Stop disables itself at once; "Config&&Test" comes back when the worker has ended (after its
// batch, summary and log), so a second start can never run beside a finishing run.
void DcSourcePage::Button1Click() {
  if (worker_busy_) {
    stop_requested_ = true;
    if (run_)
      run_->RequestStop();
    Button1->setEnabled(false);
    return;
  }
  // No worker: the buttons were left swapped by a field that did not convert.
  Button10->setEnabled(true);
  Button1->setEnabled(false);
}

void DcSourcePage::WorkerEnded(bool keep_swapped) {
  JoinWorker();
  worker_busy_ = false;
  UpdateConnection();
  if (!keep_swapped || stop_requested_) {
    Button10->setEnabled(true);
    Button1->setEnabled(false);
  }
  ShowLatestCaptions();
  ShowLatestPlot();
}

void DcSourcePage::JoinWorker() {
  if (worker_.joinable())
    worker_.join();
}

void DcSourcePage::PlotClick() {
  if (!plot_window_) {
    plot_window_ = new CurrentPlotWindow(this);
    // Beside the main window when the screen has room, so the page stays in view.
    const QRect main = window()->frameGeometry();
    const QRect beside(main.topRight() + QPoint(8, 0), plot_window_->size());
    if (const QScreen* screen = window()->screen();
        screen && screen->availableGeometry().contains(beside))
      plot_window_->move(beside.topLeft());
  }
  plot_window_->show();
  ShowLatestPlot();
  plot_window_->raise();
  plot_window_->activateWindow();
}

void DcSourcePage::Post(std::function<void()> update) {
  QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

void DcSourcePage::AppendLine(const std::string& line) {
  Memo5->AppendLine(line);
}

void DcSourcePage::ClearMemo() {
  Memo5->Clear();
}

std::vector<std::string> DcSourcePage::MemoLines() {
  std::uint64_t end = 0;
  std::vector<std::string> lines = Memo5->Lines(&end);
  memo_copied_ = end;
  return lines;
}

// The log gets every line from where the run copied the memo: a console echo typed between
// the copy and this call is handed over too, and the memo's tap keeps the order of lines
// from both threads.
void DcSourcePage::AttachLog(MemoSink* log) {
  if (log)
    Memo5->SetTap(log, memo_copied_);
  else
    Memo5->SetTap(nullptr);
}

void DcSourcePage::SetTestTime(const std::string& caption) {
  {
    const std::lock_guard lock(caption_mutex_);
    latest_time_ = caption;
  }
  // The captions change after every batch; one update per repaint interval is plenty.
  captions_update_.Request();
}

void DcSourcePage::SetAverage(const std::string& caption) {
  {
    const std::lock_guard lock(caption_mutex_);
    latest_average_ = caption;
  }
  captions_update_.Request();
}

void DcSourcePage::ShowLatestCaptions() {
  QString time;
  QString average;
  {
    const std::lock_guard lock(caption_mutex_);
    time = QString::fromLatin1(latest_time_);
    average = QString::fromLatin1(latest_average_);
  }
  for (auto [label, text] : {std::pair{Label75, time}, std::pair{Label76, average}}) {
    if (!text.isEmpty() && label->text() != text) {
      label->setText(text);
      label->adjustSize();
    }
  }
}

void DcSourcePage::SetRunning(bool running) {
  Post([this, running] {
    // "Config&&Test" comes back with the worker's end (WorkerEnded), not here.
    if (running)
      Button10->setEnabled(false);
    Button1->setEnabled(running && !stop_requested_);
    if (!running)
      ShowLatestCaptions();
  });
}

bool DcSourcePage::DemoMode() {
  return demo_mode_;
}

void DcSourcePage::BatchFinished(const CurrentBatch& batch) {
  {
    const std::lock_guard lock(plot_mutex_);
    plot_data_.Add(batch);
  }
  plot_update_.Request();
}

void DcSourcePage::ShowLatestPlot() {
  if (!plot_window_ || !plot_window_->isVisible())
    return;
  CurrentPlotData data;
  {
    const std::lock_guard lock(plot_mutex_);
    data = plot_data_;
  }
  plot_window_->ShowData(data);
}

}  // namespace vexa
