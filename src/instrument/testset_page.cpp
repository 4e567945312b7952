#include "instrument/testset_page.h"

#include <sys/stat.h>

#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <filesystem>

#include "core/text_format.h"
#include "instrument/connection_dialog.h"
#include "instrument/gpib_session.h"
#include "instrument/instrument_page_parts.h"
#include "instrument/plan_window.h"
#include "ui/dialogs.h"
#include "ui/guard.h"

namespace vexa {
namespace {

// "Time left 01m:05s" for an estimate in milliseconds.
QString TimeLeftCaption(double ms) {
  const auto seconds = static_cast<long long>(ms / 1000.0 + 0.5);
  return QString::fromStdString(Format("Time left %02lldm:%02llds", seconds / 60, seconds % 60));
}

const QString kTimeLeftUnknown = QStringLiteral("Time left --m:--s");

}  // namespace

TestSetPage::TestSetPage(QWidget* parent) : Page("TabSheet13", parent), clock_(&SystemRunClock()) {
  Memo4 = MakeMemo(this, "Memo4");
  // Wide enough tab stops that the run's columns line up ("GSM850:251:19", "DIFF PWR      ").
  Memo4->setTabStopDistance(
      Memo4->fontMetrics().horizontalAdvance(QStringLiteral("GSM850:251:19     ")));
  Edit28 = MakeCommandLine(this, "Edit28");
  Btpl = MakeButton(this, "Btpl", QStringLiteral("Test Plan"), 40, true);
  Bstart = MakeButton(this, "Bstart", QStringLiteral("Start Test"), 72, false);
  Bstop = MakeButton(this, "Bstop", QStringLiteral("Stop Test"), 104, false);
  Label77 = MakeLabel(this, "Label77", QStringLiteral("Test time is "), kRightColumn, 144);
  RunProgress = new QProgressBar(this);
  RunProgress->setObjectName(QStringLiteral("RunProgress"));
  RunProgress->setGeometry(kRightColumn, 166, kControlWidth, 16);
  RunProgress->setRange(0, 1);
  RunProgress->setValue(0);
  RunProgress->setTextVisible(false);
  TimeLeft = MakeLabel(this, "TimeLeft", kTimeLeftUnknown, kRightColumn, 186);
  TraceBox = new QCheckBox(QStringLiteral("Bus trace"), this);
  TraceBox->setObjectName(QStringLiteral("TraceBox"));
  TraceBox->setToolTip(QStringLiteral(
      "Write every command and answer of the next runs, with time stamps, into the GSM Log "
      "folder beside the logs"));
  TraceBox->move(kRightColumn, 210);
  TraceBox->adjustSize();
  DriverNote = MakeDriverNote(this);
  Connection =
      new ConnectionControl(this, TestSetDevice, DriverNote, "testset", QStringLiteral("Test set"));
  TestSetDevice.SetMemo(Memo4);
  connect(Edit28, &QLineEdit::returnPressed, this, &TestSetPage::Edit28KeyDown);
  connect(Btpl, &QPushButton::clicked, this, &TestSetPage::BtplClick);
  connect(Bstart, &QPushButton::clicked, this, &TestSetPage::BstartClick);
  connect(Bstop, &QPushButton::clicked, this, &TestSetPage::BstopClick);
}

TestSetPage::~TestSetPage() {
  FormClose();
  JoinWorker();
  TestSetDevice.DetachMemo(Memo4);
}

void TestSetPage::Relayout(int sheet_width, int sheet_height) {
  PlaceMemoAndNote(Memo4, DriverNote, sheet_width, sheet_height);
  Connection->Place(0, DriverNote->y(), Memo4->width());
  MoveLeft({Edit28, Btpl, Bstart, Bstop, Label77, RunProgress, TimeLeft, TraceBox},
           RightColumnLeft(sheet_width));
}

void TestSetPage::FormClose() {
  if (run_)
    run_->Cancel();
}

void TestSetPage::SetRunEnvironment(RunClock* clock, const std::string& log_directory,
                                    int beep_ms) {
  clock_ = clock ? clock : &SystemRunClock();
  log_directory_ = log_directory;
  beep_ms_ = beep_ms;
}

void TestSetPage::Edit28KeyDown() {
  Guarded([this] {
    SendTestSetConsoleCommand(Edit28->text().toStdString());
    Memo4->Flush();
  });
}

void TestSetPage::BtplClick() {
  Guarded([this] {
    QWidget* main_window = window();
    if (!plan_window_) {
      plan_window_ = new TForm2(*this, this);
      plan_window_->SetOnClose([main_window] { main_window->show(); });
    }
    plan_window_->adjustSize();
    QRect frame(QPoint(0, 0), plan_window_->size());
    frame.moveCenter(main_window->frameGeometry().center());
    plan_window_->move(frame.topLeft());
    main_window->hide();
    plan_window_->show();
    plan_window_->raise();
    plan_window_->activateWindow();
  });
}

void TestSetPage::BstartClick() {
  Guarded([this] {
    if (worker_busy_)
      return;
    JoinWorker();
    // No second start and no new plan while the worker asks the test set for the call.
    Bstart->setEnabled(false);
    Btpl->setEnabled(false);
    GsmRunOptions options;
    options.log_directory = log_directory_;
    options.beep_ms = beep_ms_;
    if (TraceBox->isChecked())
      options.trace_path = NextTracePath();
    GsmRunView& view = *this;
    run_ = std::make_unique<GsmTestRun>(ProgramTestPlan, TestSetDevice, view, *clock_,
                                        std::move(options));
    worker_busy_ = true;
    worker_ = std::thread([this, run = run_.get()] {
      if (run->Start()) {
        run->Run();
      } else {
        Post([this] {
          Bstart->setEnabled(true);
          Btpl->setEnabled(true);
        });
      }
      worker_busy_ = false;
    });
  });
}

void TestSetPage::BstopClick() {
  if (run_)
    run_->RequestStop();
}

void TestSetPage::JoinWorker() {
  if (worker_.joinable())
    worker_.join();
}

std::string TestSetPage::NextTracePath() {
  ::mkdir(log_directory_.c_str(), 0777);
  const std::string base = log_directory_ + "/" + LogFileStem(clock_->NowUtc()) + "-trace";
  std::string path = base + ".txt";
  for (int suffix = 2; std::filesystem::exists(path) && suffix < 10000; ++suffix)
    path = base + "-" + std::to_string(suffix) + ".txt";
  return path;
}

void TestSetPage::ClearMemo() {
  Memo4->Clear();
}

void TestSetPage::ResetCommandLineColour() {
  Edit28->setPalette(QPalette());
}

void TestSetPage::EnableStartTest() {
  Bstart->setEnabled(true);
}

void TestSetPage::CloseWindow() {
  Memo4->Flush();
  if (plan_window_)
    plan_window_->close();
}

void TestSetPage::Post(std::function<void()> update) {
  QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

void TestSetPage::AppendLine(const std::string& line) {
  Memo4->AppendLine(line);
}

std::vector<std::string> TestSetPage::MemoLines() {
  return Memo4->Lines();
}

void TestSetPage::SetTestTime(const std::string& caption) {
  // The caption changes after every level; only the latest one matters, and one update per
  // repaint interval is plenty, so a fast run does not flood the event loop.
  {
    const std::lock_guard lock(caption_mutex_);
    latest_caption_ = caption;
    if (caption_posted_)
      return;
    caption_posted_ = true;
  }
  Post([this] {
    QTimer::singleShot(MemoWidget::kRepaintIntervalMs, this, &TestSetPage::ShowLatestTestTime);
  });
}

void TestSetPage::ShowLatestTestTime() {
  QString text;
  {
    const std::lock_guard lock(caption_mutex_);
    caption_posted_ = false;
    text = QString::fromLatin1(latest_caption_);
  }
  if (Label77->text() != text) {
    Label77->setText(text);
    Label77->adjustSize();
  }
}

void TestSetPage::SetRunning(bool running) {
  if (running) {
    progress_done_ = 0;
    progress_total_ = 0;
  }
  Post([this, running] {
    Bstart->setEnabled(!running);
    Btpl->setEnabled(!running);
    Connection->SetRunning(running);
    Bstop->setEnabled(running);
    if (running) {
      RunProgress->setRange(0, 1);
      RunProgress->setValue(0);
      TimeLeft->setText(kTimeLeftUnknown);
      TimeLeft->adjustSize();
    } else {
      ShowLatestProgress();
      ShowLatestTestTime();
    }
  });
}

void TestSetPage::SetVerdictColour(VerdictColour colour) {
  Post([this, colour] {
    if (colour == VerdictColour::kNormal) {
      ResetCommandLineColour();
      return;
    }
    QPalette palette = Edit28->palette();
    palette.setColor(QPalette::Base, colour == VerdictColour::kFailed ? Qt::red : Qt::green);
    Edit28->setPalette(palette);
    Edit28->repaint();
  });
}

void TestSetPage::ShowProgress(long done, long total, double elapsed_ms) {
  progress_elapsed_ms_ = elapsed_ms;
  progress_total_ = total;
  progress_done_ = done;
  // One update per repaint interval, however fast the measurements come.
  if (progress_posted_.exchange(true))
    return;
  Post([this] {
    QTimer::singleShot(MemoWidget::kRepaintIntervalMs, this, [this] {
      progress_posted_ = false;
      ShowLatestProgress();
    });
  });
}

void TestSetPage::ShowLatestProgress() {
  const long done = progress_done_;
  const long total = progress_total_;
  const double elapsed_ms = progress_elapsed_ms_;
  if (total <= 0)
    return;
  // The bar counts in measurements; a plan beyond the bar's int range is scaled down.
  const long scale = total / 1000000 + 1;
  RunProgress->setRange(0, static_cast<int>(total / scale));
  RunProgress->setValue(static_cast<int>(std::min(done, total) / scale));
  TimeLeft->setText(done > 0 ? TimeLeftCaption(elapsed_ms / static_cast<double>(done) *
                                               static_cast<double>(total - done))
                             : kTimeLeftUnknown);
  TimeLeft->adjustSize();
}

void TestSetPage::Beep(int /*beep_ms*/) {
  Post([] { QApplication::beep(); });
}

bool TestSetPage::AskToReconnect(const std::atomic<bool>& cancelled) {
  auto answered = std::make_shared<std::atomic<bool>>(false);
  Post([answered] {
    AppDialogs().ShowCaptionedMessage(QString::fromLatin1(kDisconnectedCaption),
                                      QString::fromLatin1(kConnectMsLine));
    *answered = true;
  });
  // The window answers; closing it cancels the run, which ends the wait.
  while (!*answered && !cancelled)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return true;
}

}  // namespace vexa
