#include "instrument/pages/testset_page.h"

#include <sys/stat.h>

#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <exception>
#include <filesystem>
#include <utility>

#include "core/text_format.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/pages/connection_dialog.h"
#include "instrument/pages/instrument_page_parts.h"
#include "instrument/pages/plan_window.h"
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

// The buttons of the "Disconnected" box.
const QString kReconnectRetry = QStringLiteral("OK");
const QString kReconnectStop = QStringLiteral("Stop Test");

}  // namespace

TestSetPage::TestSetPage(InstrumentStation& station, QWidget* parent)
    : Page("TabSheet13", parent), station_(station), clock_(&SystemRunClock()) {
  Memo4 = MakeMemo(this, "Memo4");
  // A scan-mode run writes half a million lines; the memo keeps the newest, the log file
  // (streamed while the run goes) every one.
  Memo4->SetLineLimit(kMemoLineLimit);
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
  Connection = new ConnectionControl(this, station_.TestSetDevice, DriverNote, "testset",
                                     QStringLiteral("Test set"));
  station_.TestSetDevice.SetMemo(Memo4);
  connect(Edit28, &QLineEdit::returnPressed, this, &TestSetPage::Edit28KeyDown);
  connect(Btpl, &QPushButton::clicked, this, &TestSetPage::BtplClick);
  connect(Bstart, &QPushButton::clicked, this, &TestSetPage::BstartClick);
  connect(Bstop, &QPushButton::clicked, this, &TestSetPage::BstopClick);
}

TestSetPage::~TestSetPage() {
  FormClose();
  commands_.Join();
  JoinWorker();
  AttachLog(nullptr);
  station_.TestSetDevice.DetachMemo(Memo4);
}

void TestSetPage::Relayout(int sheet_width, int sheet_height) {
  PlaceMemoAndNote(Memo4, DriverNote, sheet_width, sheet_height);
  Connection->Place(0, DriverNote->y(), Memo4->width());
  MoveLeft({Edit28, Btpl, Bstart, Bstop, Label77, RunProgress, TimeLeft, TraceBox},
           RightColumnLeft(sheet_width));
}

void TestSetPage::FormClose() {
  closing_ = true;
  const bool working = worker_busy_ || commands_.pending() > 0;
  commands_.Cancel();
  if (worker_busy_ && run_)
    run_->Cancel();
  AnswerReconnect(ReconnectAnswer::kStopTest);
  // A console command or the set-up may wait in a bus call.
  if (working)
    station_.TestSetDevice.AbortCalls();
}

void TestSetPage::SetRunEnvironment(RunClock* clock, const std::string& log_directory,
                                    int beep_ms) {
  clock_ = clock ? clock : &SystemRunClock();
  log_directory_ = log_directory;
  beep_ms_ = beep_ms;
}

void TestSetPage::Edit28KeyDown() {
  const std::string text = Edit28->text().toStdString();
  commands_.Push([this, text] { station_.TestSetDevice.SendConsoleText(text); });
}

void TestSetPage::SendSetup(bool reset_checked) {
  if (setup_going_)
    return;
  start_before_setup_ = Bstart->isEnabled();
  setup_going_ = true;
  Bstart->setEnabled(false);
  Btpl->setEnabled(false);
  if (plan_window_)
    plan_window_->ShowConfiguring(true);
  RunProgress->setRange(0, 1);
  RunProgress->setValue(0);
  // The worker sends a copy: the plan stays as captured whatever happens meanwhile.
  const bool queued = commands_.Push([this, plan = station_.Plan, reset_checked] {
    bool completed = false;
    try {
      ConfigureView& view = *this;
      completed = SendConfiguration(plan, reset_checked, station_.TestSetDevice, view,
                                    commands_.cancelled());
    } catch (...) {
      Post([error = std::current_exception()] { Guarded([&] { std::rethrow_exception(error); }); });
    }
    Post([this, completed] { SetupEnded(completed); });
  });
  if (!queued)
    SetupEnded(false);
}

void TestSetPage::SetupEnded(bool completed) {
  setup_going_ = false;
  // A completed set-up has enabled Start Test; a cancelled one leaves it as it was.
  if (!completed)
    Bstart->setEnabled(start_before_setup_);
  Btpl->setEnabled(!worker_busy_);
  if (plan_window_)
    plan_window_->ShowConfiguring(false);
  RunProgress->setRange(0, 1);
  RunProgress->setValue(0);
  TimeLeft->setText(kTimeLeftUnknown);
  TimeLeft->adjustSize();
}

void TestSetPage::UpdateConnection() {
  Connection->SetBusy(worker_busy_ || commands_.pending() > 0);
}

void TestSetPage::BtplClick() {
  Guarded([this] {
    QWidget* main_window = window();
    if (!plan_window_) {
      ConfigureView& view = *this;
      plan_window_ = new TForm2(
          station_.Plan, view, [this](bool reset_checked) { SendSetup(reset_checked); }, this);
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
    if (worker_busy_ || setup_going_)
      return;
    JoinWorker();
    // No second start, no new plan and no change of connection while the worker asks the
    // test set for the call.
    Bstart->setEnabled(false);
    Btpl->setEnabled(false);
    GsmRunOptions options;
    options.log_directory = log_directory_;
    options.beep_ms = beep_ms_;
    if (TraceBox->isChecked())
      options.trace_path = NextTracePath();
    GsmRunView& view = *this;
    run_ = std::make_unique<GsmTestRun>(station_.Plan, station_.TestSetDevice, view, *clock_,
                                        std::move(options));
    worker_busy_ = true;
    UpdateConnection();
    worker_ = std::thread([this, run = run_.get()] {
      const RunOutcome outcome = run->Start() ? run->Run() : RunOutcome::kNotStarted;
      Post([this, outcome] { WorkerEnded(outcome); });
    });
  });
}

// Also while the run waits for the call: its "Disconnected" box closes and the run ends.
void TestSetPage::BstopClick() {
  if (!worker_busy_ || !run_)
    return;
  run_->RequestStop();
  AnswerReconnect(ReconnectAnswer::kStopTest);
}

// However the run ended (finished, stopped, no call), the buttons come back here.
void TestSetPage::WorkerEnded(RunOutcome outcome) {
  JoinWorker();
  // A run stopped or cancelled has no time left: the estimate goes, and a progress update
  // still queued finds nothing to show.
  if (outcome == RunOutcome::kStopped || outcome == RunOutcome::kCancelled) {
    progress_total_ = 0;
    TimeLeft->setText(kTimeLeftUnknown);
    TimeLeft->adjustSize();
  }
  worker_busy_ = false;
  Bstart->setEnabled(true);
  Btpl->setEnabled(!setup_going_);
  Bstop->setEnabled(false);
  UpdateConnection();
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

// Any thread (the run's worker, the set-up's command queue). A log the memo fed ends here:
// a run that begins a new log clears the memo first, and so does Config, after which an
// antenna series starts over.
void TestSetPage::ClearMemo() {
  AttachLog(nullptr);
  Memo4->Clear();
}

// The configuration's calls come from the command queue's thread (and the first two also
// from the GUI thread): each is handed on to the GUI thread in order.
void TestSetPage::ResetCommandLineColour() {
  Post([this] { ShowNormalColour(); });
}

void TestSetPage::ShowNormalColour() {
  Edit28->setPalette(QPalette());
}

void TestSetPage::EnableStartTest() {
  Post([this] { Bstart->setEnabled(true); });
}

void TestSetPage::CloseWindow() {
  Post([this] {
    Memo4->Flush();
    // Closing the test-plan window shows the main window: not once that is closing.
    if (plan_window_ && !closing_)
      plan_window_->close();
  });
}

void TestSetPage::ShowSetupProgress(int sent, int total) {
  Post([this, sent, total] { ShowSetupStep(sent, total); });
}

void TestSetPage::ShowSetupStep(int sent, int total) {
  if (!setup_going_)
    return;
  RunProgress->setRange(0, std::max(total, 1));
  RunProgress->setValue(sent);
  TimeLeft->setText(QString::fromStdString(Format("Config %d of %d", sent, total)));
  TimeLeft->adjustSize();
  if (plan_window_)
    plan_window_->ShowSetupProgress(sent, total);
}

void TestSetPage::Post(std::function<void()> update) {
  QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

void TestSetPage::AppendLine(const std::string& line) {
  Memo4->AppendLine(line);
}

std::vector<std::string> TestSetPage::MemoLines() {
  std::uint64_t end = 0;
  std::vector<std::string> lines = Memo4->Lines(&end);
  memo_copied_ = end;
  return lines;
}

// The log gets every line from where the run copied the memo: a console echo that came
// between the copy and this call is handed over too, and the memo's tap keeps the order of
// the lines from every thread. The log let go of is destroyed here, after the tap is gone,
// which removes its temporary file when it was not written.
void TestSetPage::AttachLog(std::shared_ptr<StreamedLog> log) {
  std::shared_ptr<StreamedLog> old;
  const std::lock_guard lock(memo_log_mutex_);
  if (log)
    Memo4->SetTap(log.get(), memo_copied_);
  else
    Memo4->SetTap(nullptr);
  old = std::exchange(memo_log_, std::move(log));
}

std::shared_ptr<StreamedLog> TestSetPage::AttachedLog() {
  const std::lock_guard lock(memo_log_mutex_);
  return memo_log_;
}

void TestSetPage::SetTestTime(const std::string& caption) {
  // The caption changes after every level; only the latest one matters, and one update per
  // repaint interval is plenty, so a fast run does not flood the event loop.
  {
    const std::lock_guard lock(caption_mutex_);
    latest_caption_ = caption;
  }
  caption_update_.Request();
}

void TestSetPage::ShowLatestTestTime() {
  QString text;
  {
    const std::lock_guard lock(caption_mutex_);
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
      ShowNormalColour();
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
  progress_update_.Request();
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

// The worker waits here for the operator; the window stays usable meanwhile. Stop Test, the
// box's buttons and closing the window answer at once; the run's own flags are looked at as
// well, so that a stop or cancel that reaches the run another way also ends the wait.
ReconnectAnswer TestSetPage::AskToReconnect(const std::atomic<bool>& stop_requested,
                                            const std::atomic<bool>& cancelled) {
  std::unique_lock lock(reconnect_mutex_);
  if (stop_requested || cancelled)
    return ReconnectAnswer::kStopTest;
  const int question = ++reconnect_question_;
  reconnect_waiting_ = true;
  reconnect_answer_.reset();
  Post([this, question] { ShowReconnectBox(question); });
  while (!reconnect_answer_ && !stop_requested && !cancelled)
    reconnect_answered_.wait_for(lock, std::chrono::milliseconds(100));
  reconnect_waiting_ = false;
  const ReconnectAnswer answer = reconnect_answer_.value_or(ReconnectAnswer::kStopTest);
  reconnect_answer_.reset();
  lock.unlock();
  // A box still up (the wait ended by the run's flags) goes; it runs before the next
  // question's box is shown.
  Post([this] { CloseReconnectBox(); });
  return answer;
}

void TestSetPage::ShowReconnectBox(int question) {
  {
    const std::lock_guard lock(reconnect_mutex_);
    // Answered (Stop Test, closing) before the box came up.
    if (!reconnect_waiting_ || reconnect_answer_ || question != reconnect_question_)
      return;
  }
  CloseReconnectBox();
  reconnect_box_ = AppDialogs().ShowQuestion(
      this, QString::fromLatin1(kDisconnectedCaption), QString::fromLatin1(kConnectMsLine),
      kReconnectRetry, kReconnectStop, [this, question](int button) {
        AnswerReconnect(button == 1 ? ReconnectAnswer::kStopTest : ReconnectAnswer::kRetry,
                        question);
      });
}

void TestSetPage::AnswerReconnect(ReconnectAnswer answer, int question) {
  {
    const std::lock_guard lock(reconnect_mutex_);
    // The box of an earlier question has nothing more to say.
    if (question != 0 && question != reconnect_question_)
      return;
    if (reconnect_waiting_ && !reconnect_answer_)
      reconnect_answer_ = answer;
  }
  reconnect_answered_.notify_all();
  CloseReconnectBox();
}

void TestSetPage::CloseReconnectBox() {
  QObject* box = reconnect_box_.data();
  if (!box)
    return;
  reconnect_box_.clear();
  // No answer from it any more; hidden now, deleted once its own event is done.
  box->disconnect();
  if (auto* widget = qobject_cast<QWidget*>(box))
    widget->hide();
  box->deleteLater();
}

}  // namespace vexa
