// The test-plan window on the real widgets: start-up state, enabling rules, plan files through
// the file dialogs, and "Config" against the simulator, with the main window hidden and shown.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <vector>

#include "app/main_window.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/pages/connection_dialog.h"
#include "instrument/pages/plan_window.h"
#include "instrument/pages/testset_page.h"
#include "sim/vexa_gpib_sim.h"
#include "support/dialog_recorder.h"
#include "support/wait_for.h"

namespace vexa {
namespace {

using testing::Boxes;
using testing::ErrorBox;

QStringList Checked(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->checkState() == Qt::Checked)
      texts << list->item(i)->text();
  }
  return texts;
}

QStringList MemoLines(MemoWidget* memo) {
  memo->Flush();
  return memo->toPlainText().split('\n', Qt::SkipEmptyParts);
}

// The simulator as the driver, both in their start state (before a window attaches its memos).
QWidget* UseSimulator() {
  setenv("VEXA_GPIB_LIBRARY", VEXA_SIM_PATH, 1);
  gpib::ReloadDriver();
  vexa_sim_reset();
  return nullptr;
}

class PlanWindowTest : public ::testing::Test {
 protected:
  PlanWindowTest() : form(UseSimulator()) {
    page = form.TabSheet13;
    form.show();
    QTest::mouseClick(page->Btpl, Qt::LeftButton);
    plan = page->PlanWindow();
  }

  // A click as the user makes it (check boxes toggle, then report the click).
  void Click(QAbstractButton* button) { button->click(); }

  testing::DialogRecorder dialogs;
  TForm1 form;
  TestSetPage* page;
  TForm2* plan;
};

TEST_F(PlanWindowTest, TestPlanHidesTheMainWindowAndOpensAtItsStartUpState) {
  ASSERT_NE(plan, nullptr);
  EXPECT_TRUE(plan->isVisible());
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(plan->windowTitle(), "Test Plan");
  EXPECT_EQ(plan->Bands[0].box->text(), "EGSM");
  EXPECT_TRUE(plan->Bands[2].box->isChecked());
  EXPECT_FALSE(plan->Bands[3].box->isChecked());
  EXPECT_FALSE(plan->Bands[3].levels->isEnabled());
  EXPECT_FALSE(plan->Bands[3].channels->isEnabled());
  EXPECT_FALSE(plan->Bands[3].scan->isEnabled());
  EXPECT_EQ(Checked(plan->Bands[0].levels).size(), 15);  // both "Check All" at start-up
  EXPECT_EQ(Checked(plan->Bands[1].levels).first(), "0");
  EXPECT_TRUE(Checked(plan->Bands[3].levels).isEmpty());
  EXPECT_EQ(Checked(plan->CLBtestitem), (QStringList{"TXPower", "PVTime", "PFERror", "ORFSpectrum",
                                                     "RXLEV", "RXQUAL", "BERRor"}));
  EXPECT_EQ(plan->Bands[1].channels->text(), "512,698,885,");
  EXPECT_EQ(plan->Eberref->text(), "-102.5");
  EXPECT_EQ(plan->Ehighloss->text(), "-1.2~-1.5");
  EXPECT_TRUE(plan->CheckBox1->isChecked());
  EXPECT_EQ(plan->Label15->text(), "Tpl Path Name");
  // The window's size is fixed; closing it brings the main window back.
  EXPECT_EQ(plan->minimumSize(), plan->maximumSize());
  plan->close();
  EXPECT_TRUE(form.isVisible());
}

TEST_F(PlanWindowTest, BandScanModeAndLevelButtonsFollowTheirRules) {
  Click(plan->Bands[1].box);  // DCS off
  EXPECT_FALSE(plan->Bands[1].levels->isEnabled());
  EXPECT_FALSE(plan->Bands[1].label->isEnabled());
  EXPECT_FALSE(plan->Bands[1].channels->isEnabled());
  Click(plan->Button6);  // unCheck All: the disabled DCS list keeps its checks
  EXPECT_TRUE(Checked(plan->Bands[0].levels).isEmpty());
  EXPECT_EQ(Checked(plan->Bands[1].levels).size(), 16);
  Click(plan->Bands[0].scan);  // EGSM scan mode: its channel edit is disabled
  EXPECT_FALSE(plan->Bands[0].channels->isEnabled());
  Click(plan->Bands[0].box);  // EGSM off and on: the edit comes back even in scan mode
  Click(plan->Bands[0].box);
  EXPECT_TRUE(plan->Bands[0].channels->isEnabled());
  EXPECT_TRUE(plan->Bands[0].scan->isChecked());
  Click(plan->Button7);
  EXPECT_TRUE(Checked(plan->CLBtestitem).isEmpty());
  plan->CLBtestitem->item(4)->setCheckState(Qt::Checked);  // the user ticks RXLEV
  EXPECT_TRUE(plan->Form().CLBtestitem.items[4].checked);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(PlanWindowTest, SaveAndOpenGoThroughTheFileDialogs) {
  QTemporaryDir dir;
  const QString chosen = dir.filePath("bench.txt");
  dialogs.file_names = {chosen};
  plan->Bands[0].channels->setText("1,2,3");  // typed, no Enter needed
  Click(plan->SaveTpl);
  EXPECT_EQ(dialogs.last_filters, "Test Plan (*.tpl);;Text (*.txt);;All (*)");
  EXPECT_EQ(plan->Label15->text(), chosen + "  Saved");
  ASSERT_TRUE(QFile::exists(dir.filePath("bench.tpl")));

  plan->Bands[0].channels->setText("975");
  Click(plan->Button6);
  dialogs.file_names = {dir.filePath("bench.tpl")};
  Click(plan->OpenTpl);
  EXPECT_EQ(plan->Label15->text(), dir.filePath("bench.tpl") + " Opened");
  EXPECT_EQ(plan->Bands[0].channels->text(), "1,2,3");
  EXPECT_EQ(Checked(plan->Bands[0].levels).size(), 15);

  dialogs.file_names = {QString()};  // cancelled: nothing happens
  Click(plan->OpenTpl);
  EXPECT_EQ(plan->Label15->text(), dir.filePath("bench.tpl") + " Opened");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(PlanWindowTest, AMissingLevelSectionStopsTheOpeningWithTheListError) {
  QTemporaryDir dir;
  QFile file(dir.filePath("bands.tpl"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[BAND]\r\nEGSM=0\r\nGSM850=1\r\n");
  file.close();
  dialogs.file_names = {file.fileName()};
  Click(plan->OpenTpl);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("List index out of bounds (95)")});
  EXPECT_FALSE(plan->Bands[0].box->isChecked());  // the bands were applied before it
  EXPECT_TRUE(plan->Bands[3].box->isChecked());
  EXPECT_TRUE(plan->Bands[3].levels->isEnabled());
}

TEST_F(PlanWindowTest, ConfigConfiguresTheTestSetAndReturnsToTheMainWindow) {
  EXPECT_FALSE(page->Bstart->isEnabled());
  Click(plan->Button5);
  ASSERT_TRUE(testing::WaitFor([this] { return !plan->isVisible() && !page->CommandsPending(); }));
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(page->Bstart->isEnabled());
  const QStringList lines = MemoLines(page->Memo4);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.first(), "Test Plan configured. Now begin setup 8960 ......");
  EXPECT_EQ(lines.last(),
            "8960 setup finished. Now connect 8960 with MS mannually, and start to test");
  EXPECT_EQ(form.Station().Plan.berCount, 8200);
  EXPECT_EQ(form.Station().Plan.channels[1][1], 698);
  char first[16] = {};
  vexa_sim_log_entry(14, 0, first, sizeof first);
  EXPECT_STREQ(first, "*RST");
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The set-up goes to the 8960 page's worker: "Config" returns at once, the windows go on (a
// timer fires) while the test set is busy, what must not be pressed meanwhile waits, and the
// window shows how far the set-up has come.
TEST_F(PlanWindowTest, ConfigSendsOnThePagesWorkerAndShowsItsProgress) {
  QStringList progress;
  QObject::connect(plan->ConfigProgress, &QProgressBar::valueChanged, plan,
                   [&] { progress << plan->ConfigProgress->text(); });
  std::unique_lock<std::mutex> bus =
      form.Station().TestSetDevice.HoldBus();  // the test set is busy
  Click(plan->Button5);
  EXPECT_TRUE(plan->isVisible());
  EXPECT_FALSE(plan->Button5->isEnabled());
  EXPECT_TRUE(plan->ConfigProgress->isVisible());
  EXPECT_FALSE(page->Bstart->isEnabled());
  EXPECT_FALSE(page->Btpl->isEnabled());
  EXPECT_FALSE(page->Connection->Button->isEnabled());
  bool fired = false;
  QTimer::singleShot(0, plan, [&] { fired = true; });
  ASSERT_TRUE(testing::WaitFor([&] { return fired; }));
  EXPECT_EQ(vexa_sim_log_count(14), 0);
  EXPECT_TRUE(page->CommandsPending());
  bus.unlock();

  ASSERT_TRUE(testing::WaitFor([this] { return !plan->isVisible() && !page->CommandsPending(); }));
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(page->Bstart->isEnabled());
  EXPECT_TRUE(page->Btpl->isEnabled());
  EXPECT_TRUE(page->Connection->Button->isEnabled());
  EXPECT_TRUE(plan->Button5->isEnabled());
  EXPECT_FALSE(plan->ConfigProgress->isVisible());
  // "*RST", the cell-band query (the cell answers EGSM: no band command) and the 20 set-ups.
  QStringList expected;
  for (int sent = 1; sent <= 22; ++sent)
    expected << QString("%1 of 22").arg(sent);
  EXPECT_EQ(progress.filter(QRegularExpression(" of 22$")), expected);
  EXPECT_EQ(vexa_sim_log_count(14), 22);
  EXPECT_EQ(page->TimeLeft->text(), "Time left --m:--s");
  EXPECT_EQ(MemoLines(page->Memo4).last(),
            "8960 setup finished. Now connect 8960 with MS mannually, and start to test");
  EXPECT_TRUE(dialogs.boxes.empty());
}

// Closing the main window while the set-up waits for the test set: nothing more is sent.
TEST_F(PlanWindowTest, ClosingTheMainWindowStopsTheConfigBeforeItsNextCommand) {
  std::unique_lock<std::mutex> bus = form.Station().TestSetDevice.HoldBus();
  Click(plan->Button5);
  // The set-up has begun and waits for the test set.
  ASSERT_TRUE(testing::WaitFor([this] { return !MemoLines(page->Memo4).isEmpty(); }));
  plan->close();  // the main window comes back, and the user closes it
  ASSERT_TRUE(form.isVisible());
  form.close();
  bus.unlock();
  ASSERT_TRUE(testing::WaitFor([this] { return !page->CommandsPending(); }));
  EXPECT_EQ(vexa_sim_log_count(14), 0);
  EXPECT_EQ(MemoLines(page->Memo4),
            QStringList{"Test Plan configured. Now begin setup 8960 ......"});
  EXPECT_FALSE(page->Bstart->isEnabled());
}

// A failed save never says "Saved": the label says it failed, the error box says why.
TEST_F(PlanWindowTest, AFailedSaveSaysSoInThePathLabel) {
  QTemporaryDir dir;
  QFile regular(dir.filePath("afile"));
  ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
  regular.close();
  const QString chosen = dir.filePath("afile/bench");
  dialogs.file_names = {chosen};
  Click(plan->SaveTpl);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("Unable to write to " + chosen + ".tpl.")});
  EXPECT_EQ(plan->Label15->text(), chosen + "  Not saved");
}

// Typed channel lists and cable-loss texts hold whole numbers of the band (numbers for the
// losses), or "Config" and "Save Tpl" refuse them with a box naming the item; nothing is sent
// or written.
TEST_F(PlanWindowTest, TypingMistakesInListsAreRefusedNotTurnedIntoChannels) {
  const struct {
    std::function<void(TForm2*)> type;
    QString message;
  } cases[] = {
      {[](TForm2* p) { p->Bands[0].channels->setText("62,abc,2000"); },
       "EGSM channels: 'abc' is not a whole number."},
      {[](TForm2* p) { p->Bands[1].channels->setText("512,1.5"); },
       "DCS channels: '1.5' is not a whole number."},
      {[](TForm2* p) { p->Bands[0].channels->setText("500,"); },
       "EGSM channels: 500 is not a channel of the band (0-124, 975-1023)"},
      {[](TForm2* p) { p->Elowloss->setText("inf~-inf"); },
       "Low Band dB: 'inf~-inf' is not a number or two numbers such as -0.5~-0.6."},
  };
  QTemporaryDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message.toStdString());
    c.type(plan);
    Click(plan->Button5);
    EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox(c.message)});
    EXPECT_TRUE(plan->isVisible());
    EXPECT_EQ(vexa_sim_log_count(14), 0);
    dialogs.file_names = {dir.filePath("typed.tpl")};
    Click(plan->SaveTpl);
    EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox(c.message)});
    EXPECT_FALSE(QFile::exists(dir.filePath("typed.tpl")));
    EXPECT_EQ(plan->Label15->text(), dir.filePath("typed.tpl") + "  Not saved");
    // Set right again.
    for (int band = 0; band < 2; ++band)
      plan->Bands[band].channels->setText(band == 0 ? "975,62,124," : "512,698,885,");
    plan->Elowloss->setText("-0.5~-0.6");
  }
  // Blanks around the numbers are no mistake.
  plan->Bands[0].channels->setText(" 62 , 124 ,");
  Click(plan->Button5);
  ASSERT_TRUE(testing::WaitFor([this] { return !plan->isVisible() && !page->CommandsPending(); }));
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(form.Station().Plan.channels[0][0], 62);
  EXPECT_EQ(form.Station().Plan.channels[0][1], 124);
  EXPECT_EQ(form.Station().Plan.channels[0][2], kEndOfList);
}

// A plan file's lists are read by the file rule; those that read otherwise than they look are
// named in one message after the opening.
TEST_F(PlanWindowTest, OpeningAFileWithOddListsNamesThemAndReadsThemByTheFileRule) {
  QTemporaryDir dir;
  QFile file(dir.filePath("odd.tpl"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(
      "[PCL]\r\nEGSM=5,\r\nDCS=0,\r\nPCS=0,\r\nGSM850=5,\r\n"
      "[CN]\r\nEGSM=62,abc,2000\r\n");
  file.close();
  dialogs.file_names = {file.fileName()};
  Click(plan->OpenTpl);
  EXPECT_EQ(dialogs.Take(),
            Boxes{testing::MessageBox(
                "Check these values of " + file.fileName() +
                "; they are read as shown:\n[CN] EGSM=62,abc,2000 is read as 62 0 0 0 0 2000 "
                "('abc' is not a whole number; 2000 is not a channel of the band (0-124, "
                "975-1023))")});
  EXPECT_EQ(plan->Bands[0].channels->text(), "62,abc,2000");
  Click(plan->Button5);
  ASSERT_TRUE(testing::WaitFor([this] { return !plan->isVisible() && !page->CommandsPending(); }));
  EXPECT_TRUE(dialogs.boxes.empty());
  const std::vector<std::int32_t> expected = {62, 0, 0, 0, 0, 2000, kEndOfList};
  EXPECT_EQ(std::vector<std::int32_t>(form.Station().Plan.channels[0].begin(),
                                      form.Station().Plan.channels[0].begin() + 7),
            expected);
}

TEST_F(PlanWindowTest, ABadNumberStopsTheConfigurationBeforeAnythingIsSent) {
  plan->Ebercount->setText("eight thousand");
  Click(plan->Button5);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'eight thousand' is not a valid integer value.")});
  EXPECT_TRUE(plan->isVisible());
  EXPECT_FALSE(page->Bstart->isEnabled());
  EXPECT_EQ(vexa_sim_log_count(14), 0);
}

// ---------------------------------------------------------------------------------------------
// The program's own message boxes right after a file dialog: with the main window hidden
// behind the test-plan window, a box without a parent would be the program's last window, and
// closing it would end the program.

// The program's boxes as they are, with the file dialogs simulated as the user meets them: a
// modal dialog over the window that asked, closed with a name (or cancelled), after which there
// is no active window for a moment.
class RealBoxesAfterFileDialogs : public Dialogs {
 public:
  explicit RealBoxesAfterFileDialogs(Dialogs* restore) : restore_(restore) { SetAppDialogs(this); }
  ~RealBoxesAfterFileDialogs() override { SetAppDialogs(restore_); }
  RealBoxesAfterFileDialogs(const RealBoxesAfterFileDialogs&) = delete;
  RealBoxesAfterFileDialogs& operator=(const RealBoxesAfterFileDialogs&) = delete;

  void ShowError(const QString& message) override { MessageBoxes().ShowError(message); }
  void ShowMessage(const QString& message) override { MessageBoxes().ShowMessage(message); }
  void ShowCaptionedMessage(const QString& caption, const QString& message) override {
    MessageBoxes().ShowCaptionedMessage(caption, message);
  }
  QObject* ShowQuestion(QWidget* parent, const QString& caption, const QString& message,
                        const QString& first_button, const QString& second_button,
                        std::function<void(int)> answered) override {
    return MessageBoxes().ShowQuestion(parent, caption, message, first_button, second_button,
                                       std::move(answered));
  }
  QString AskOpenFileName(const QString&) override { return FileDialog(); }
  QString AskSaveFileName(const QString&) override { return FileDialog(); }

  QString file_name;  // the next dialog's answer (empty: cancelled)
  bool active_window_after_dialog = true;

 private:
  QString FileDialog() {
    QDialog dialog(QApplication::activeWindow());
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    dialog.exec();
    // On a desktop the window manager gives the asking window its focus back a moment after
    // the dialog has gone; the offscreen platform does it at once. Meanwhile no window of the
    // program is active.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(nullptr);
    QT_WARNING_POP
    active_window_after_dialog = QApplication::activeWindow() != nullptr;
    return file_name;
  }
  Dialogs* restore_;
};

// Presses OK on every message box as it appears, noting its text, the window it stands over and
// whether closing it may end the program; counts (and swallows) the program's requests to quit.
class BoxCloser : public QObject {
 public:
  BoxCloser() {
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::lastWindowClosed, this, [this] { ++last_window_closed; });
  }
  ~BoxCloser() override { qApp->removeEventFilter(this); }

  struct Seen {
    QString text;
    QWidget* parent;
    bool quits_on_close;
  };
  std::vector<Seen> seen;
  int last_window_closed = 0;
  int quit_requests = 0;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Quit && object == qApp) {
      ++quit_requests;
      return true;
    }
    auto* box = qobject_cast<QMessageBox*>(object);
    if (box && event->type() == QEvent::Show) {
      seen.push_back({box->text(), box->parentWidget(), box->testAttribute(Qt::WA_QuitOnClose)});
      const QPointer<QMessageBox> shown(box);
      QTimer::singleShot(0, box, [shown] {
        if (shown)
          shown->button(QMessageBox::Ok)->click();
      });
    }
    return false;
  }
};

// Runs `scenario` inside the application's own event loop, where a closed last window ends the
// program (outside it Qt never quits).
void RunInApplicationLoop(const std::function<void()>& scenario) {
  constexpr int kFinished = 77;
  QTimer::singleShot(0, qApp, [&scenario] {
    scenario();
    QCoreApplication::exit(kFinished);
  });
  EXPECT_EQ(QApplication::exec(), kFinished);
}

TEST_F(PlanWindowTest, EveryBoxRightAfterAFileDialogStandsOverThePlanWindowAndEndsNothing) {
  QTemporaryDir dir;
  const auto write = [&dir](const char* name, const QByteArray& bytes) {
    QFile file(dir.filePath(QLatin1String(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  };
  QByteArray odd_plan = QByteArray(
      "[BAND]\r\nEGSM=1\r\nDCS=1\r\nPCS=1\r\nGSM850=0\r\n[PCL]\r\nEGSM=5,\r\nDCS=0,\r\n"
      "PCS=0,\r\nGSM850=\r\n[CN]\r\nEGSM=62,abc\r\n[ITEM]\r\nBERCOUNT=8200\r\n");
  const QString binary = write("binary.tpl", QByteArray("[BAND]\0", 7));
  const QString no_pcl = write("nopcl.tpl", "[BAND]\r\nEGSM=1\r\n");
  const QString odd = write("odd.tpl", odd_plan);
  write("afile", "x");
  const QString under_a_file = dir.filePath("afile/bench");

  const struct {
    const char* what;
    QPushButton* TForm2::*button;
    QString file;
    std::function<void(TForm2*)> type;  // besides BER COUNT 1234 and Degree/Turn 45
    QString box;
    QString ber_count_after;
  } cases[] = {
      {"Open Tpl of a file that is not text", &TForm2::OpenTpl, binary, nullptr,
       "Cannot use " + binary + ": the file is not a text file.", "1234"},
      {"Open Tpl of a plan without [PCL]", &TForm2::OpenTpl, no_pcl, nullptr,
       "List index out of bounds (95)", "1234"},
      {"Open Tpl of a plan with odd lists", &TForm2::OpenTpl, odd, nullptr,
       "Check these values of " + odd +
           "; they are read as shown:\n[CN] EGSM=62,abc is read as 62 0 0 0 ('abc' is not a "
           "whole number)",
       "8200"},
      {"Save Tpl that fails", &TForm2::SaveTpl, under_a_file, nullptr,
       "Unable to write to " + under_a_file + ".tpl.", "1234"},
      {"Save Tpl of a mistyped list", &TForm2::SaveTpl, dir.filePath("typed"),
       [](TForm2* p) { p->Bands[0].channels->setText("62,abc"); },
       "EGSM channels: 'abc' is not a whole number.", "1234"},
      {"Config after a cancelled Open Tpl", &TForm2::OpenTpl, QString(),
       [](TForm2* p) { p->Ebercount->setText("many"); }, "'many' is not a valid integer value.",
       "many"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RealBoxesAfterFileDialogs real_boxes(&dialogs);
    real_boxes.file_name = c.file;
    BoxCloser closer;
    plan->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(plan));
    plan->Ebercount->setText("1234");
    plan->Eantstep->setText("45");
    if (c.type)
      c.type(plan);
    RunInApplicationLoop([&] {
      (plan->*c.button)->click();
      if (c.file.isEmpty())
        plan->Button5->click();  // right after the cancelled dialog
    });
    EXPECT_FALSE(real_boxes.active_window_after_dialog) << "the dialog left an active window";
    ASSERT_EQ(closer.seen.size(), 1u);
    EXPECT_EQ(closer.seen[0].text, c.box);
    EXPECT_EQ(closer.seen[0].parent, plan);
    EXPECT_FALSE(closer.seen[0].quits_on_close);
    EXPECT_EQ(closer.last_window_closed, 0);
    EXPECT_EQ(closer.quit_requests, 0);
    // The window and what was typed into it are still there.
    EXPECT_TRUE(plan->isVisible());
    EXPECT_EQ(plan->Ebercount->text(), c.ber_count_after);
    EXPECT_EQ(plan->Eantstep->text(), c.ber_count_after == "8200" ? "20" : "45");
    plan->Bands[0].channels->setText("975,62,124,");
  }
  EXPECT_EQ(vexa_sim_log_count(14), 0);
}

// Without an owner and without an active window a box still finds a visible window of the
// program; the file dialogs stand over their owner's window too, and never end the program.
TEST_F(PlanWindowTest, BoxesAndFileDialogsAlwaysHaveAVisibleParent) {
  QT_WARNING_PUSH
  QT_WARNING_DISABLE_DEPRECATED
  QApplication::setActiveWindow(nullptr);
  QT_WARNING_POP
  EXPECT_EQ(DialogParent(), plan);  // the only visible window, the main window hidden
  {
    const DialogOwner owner(page);  // an owner whose window is hidden does not count
    EXPECT_EQ(DialogParent(), plan);
  }

  struct FileDialogCloser : QObject {
    QWidget* parent = nullptr;
    bool quits_on_close = true;
    int shown = 0;
    bool eventFilter(QObject* object, QEvent* event) override {
      auto* dialog = qobject_cast<QFileDialog*>(object);
      if (dialog && event->type() == QEvent::Show) {
        ++shown;
        parent = dialog->parentWidget();
        quits_on_close = dialog->testAttribute(Qt::WA_QuitOnClose);
        QTimer::singleShot(0, dialog, &QDialog::reject);
      }
      return false;
    }
  } closer;
  qApp->installEventFilter(&closer);
  {
    const DialogOwner owner(plan);
    EXPECT_EQ(MessageBoxes().AskOpenFileName(TForm2::kFileFilters), QString());
  }
  qApp->removeEventFilter(&closer);
  EXPECT_EQ(closer.shown, 1);
  EXPECT_EQ(closer.parent, plan);
  EXPECT_FALSE(closer.quits_on_close);

  plan->close();  // the main window shows again: the window a box stands over
  ASSERT_TRUE(form.isVisible());
  QT_WARNING_PUSH
  QT_WARNING_DISABLE_DEPRECATED
  QApplication::setActiveWindow(nullptr);
  QT_WARNING_POP
  EXPECT_EQ(DialogParent(), &form);
}

}  // namespace
}  // namespace vexa
