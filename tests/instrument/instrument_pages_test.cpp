// The "8960" and "66319" pages on the real widgets, talking to the instrument simulator
// through the same driver loader as the program.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/pages/connection_dialog.h"
#include "instrument/pages/dcsource_page.h"
#include "instrument/pages/plan_window.h"
#include "instrument/pages/testset_page.h"
#include "instrument/runs/test_plan.h"
#include "sim/vexa_gpib_sim.h"
#include "support/dialog_recorder.h"
#include "support/wait_for.h"
#include "ui/dialogs.h"

namespace vexa {
namespace {

QStringList MemoLines(MemoWidget* memo) {
  memo->Flush();
  return memo->toPlainText().split('\n', Qt::SkipEmptyParts);
}

void UseDriver(const char* library) {
  setenv("VEXA_GPIB_LIBRARY", library, 1);
  gpib::ReloadDriver();
  vexa_sim_reset();
}

class InstrumentPagesTest : public ::testing::Test {
 protected:
  InstrumentPagesTest() : form((UseDriver(VEXA_SIM_PATH), nullptr)) {
    testset = form.TabSheet13;
    dcsource = form.TabSheet14;
  }
  ~InstrumentPagesTest() override { UseDriver(VEXA_SIM_PATH); }

  // Enter in a command line, and the wait for the page's answer.
  void Enter(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(CommandsDone());
  }
  bool CommandsDone() {
    return testing::WaitFor(
        [this] { return !testset->CommandsPending() && !dcsource->CommandsPending(); }, 30000);
  }

  testing::DialogRecorder dialogs;
  TForm1 form;
  TestSetPage* testset;
  DcSourcePage* dcsource;
};

TEST_F(InstrumentPagesTest, StartUpStateOfBothPages) {
  EXPECT_EQ(testset->Edit28->text(), "*IDN?");
  EXPECT_TRUE(testset->Btpl->isEnabled());
  EXPECT_FALSE(testset->Bstart->isEnabled());
  EXPECT_FALSE(testset->Bstop->isEnabled());
  EXPECT_EQ(testset->Bstart->text(), "Start Test");
  EXPECT_EQ(testset->Label77->text(), "Test time is ");
  EXPECT_TRUE(testset->Memo4->isReadOnly());

  EXPECT_EQ(dcsource->Edit29->text(), "*IDN?");
  EXPECT_EQ(dcsource->Edit29->pos(), QPoint(448, 0));
  const std::tuple<LabeledEdit*, const char*, const char*, QPoint> edits[] = {
      {dcsource->LabeledEdit14, "Voltage V", "3.8", {448, 40}},
      {dcsource->LabeledEdit15, "Sample rate us", "20", {512, 40}},
      {dcsource->LabeledEdit16, "Buffer length", "4096", {448, 80}},
      {dcsource->LabeledEdit17, "Test time minute", "30", {512, 80}}};
  for (const auto& [edit, caption, text, pos] : edits) {
    EXPECT_EQ(edit->EditLabel()->text(), caption);
    EXPECT_EQ(edit->text(), text);
    EXPECT_EQ(edit->pos(), pos);
  }
  EXPECT_EQ(dcsource->ComboBox12->currentText(), "Dedicated mode 3A");
  EXPECT_EQ(dcsource->ComboBox12->count(), 3);
  EXPECT_EQ(dcsource->ComboBox12->itemText(2), "Shutdown mode 20mA");
  EXPECT_TRUE(dcsource->CheckBox2->isChecked());
  EXPECT_EQ(dcsource->CheckBox2->text(), "Test Data Showed");
  EXPECT_FALSE(dcsource->CheckBox3->isChecked());
  EXPECT_EQ(dcsource->Label75->text(), "Test time is ");
  EXPECT_EQ(dcsource->Label76->text(), "Aver is ");
  EXPECT_EQ(dcsource->Button10->text(), "Config&&Test");  // shown as "Config&Test"
  EXPECT_TRUE(dcsource->Button10->isEnabled());
  EXPECT_FALSE(dcsource->Button1->isEnabled());
  EXPECT_EQ(dcsource->Button1->pos(), QPoint(448, 312));
}

TEST_F(InstrumentPagesTest, TheRunLogHasTheFocusWhenTheWindowOpens) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(form.PageControl1->currentWidget(), testset);
  EXPECT_EQ(QApplication::focusWidget(), testset->Memo4);
}

TEST_F(InstrumentPagesTest, MaximisingWidensTheMemosAndKeepsTheRightColumnsDistance) {
  const auto right_column = [&]() -> std::vector<QWidget*> {
    return {testset->Edit28,         testset->Btpl,           testset->Bstart,
            testset->Bstop,          testset->Label77,        dcsource->Edit29,
            dcsource->LabeledEdit14, dcsource->LabeledEdit16, dcsource->ComboBox12,
            dcsource->CheckBox2,     dcsource->CheckBox3,     dcsource->Label75,
            dcsource->Label76,       dcsource->Button10,      dcsource->Button1};
  };
  // Each rule, against the sheet as measured: memo width W - 153, right column W - 146,
  // second column W - 82; the memo and the note under it fill the sheet's height.
  const auto check_rules = [&](int sheet, int sheet_height) {
    SCOPED_TRACE(sheet);
    EXPECT_EQ(testset->Memo4->width(), sheet - 153);
    EXPECT_EQ(dcsource->Memo5->width(), sheet - 153);
    // The note and the "Connection..." button at its end share the memo's width.
    QWidget* button = testset->Connection->Button;
    EXPECT_EQ(button->geometry().right(), sheet - 154);
    EXPECT_EQ(testset->DriverNote->width() + 4 + button->width(), sheet - 153);
    EXPECT_EQ(testset->DriverNote->geometry().bottom(), sheet_height - 1);
    EXPECT_GT(testset->DriverNote->y(), testset->Memo4->geometry().bottom());
    for (QWidget* control : right_column())
      EXPECT_EQ(control->x(), sheet - 146) << control->objectName().toStdString();
    EXPECT_EQ(dcsource->LabeledEdit15->x(), sheet - 82);
    EXPECT_EQ(dcsource->LabeledEdit17->x(), sheet - 82);
    EXPECT_EQ(dcsource->LabeledEdit17->EditLabel()->x(), sheet - 82);  // the caption follows
  };
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  ASSERT_EQ(testset->width(), 594);  // the design sheet: the rules give the design places
  check_rules(testset->width(), testset->height());
  EXPECT_EQ(testset->Memo4->width(), 441);
  EXPECT_EQ(testset->Edit28->x(), 448);
  EXPECT_EQ(dcsource->LabeledEdit15->x(), 512);

  form.showMaximized();
  ASSERT_TRUE(testing::WaitFor([&] { return form.width() > 602; }));
  ASSERT_TRUE(testing::WaitFor([&] { return testset->width() > 594; }));
  check_rules(testset->width(), testset->height());  // the 66319 sheet is hidden: it follows too
  form.PageControl1->setCurrentWidget(dcsource);
  EXPECT_EQ(dcsource->size(), testset->size());
  form.showNormal();
  ASSERT_TRUE(testing::WaitFor([&] { return form.size() == QSize(602, 384); }))
      << QDebug::toString(form.size()).toStdString();
  ASSERT_TRUE(testing::WaitFor([&] { return dcsource->width() == 594; }));
  check_rules(594, dcsource->height());
}

TEST_F(InstrumentPagesTest, TheDriverNoteLeavesOutWholeFoldersAndShowsMoreWhenWidened) {
  const QString note =
      "GPIB driver: instrument simulator (/work/vexa-checkout/build-release/src/sim/"
      "libvexa-gpib-sim.so) - no real instruments";
  ElidedPathLabel* label = testset->DriverNote;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  label->SetFullText(note);
  const int design_width = label->width();  // the memo's 441 less the connection button
  ASSERT_LT(design_width, 441);
  ASSERT_GT(design_width, 400);
  const auto folders_shown = [&] {
    const QString shown = label->text();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
    const qsizetype open = shown.indexOf('('), close = shown.indexOf(')');
    EXPECT_EQ(shown.left(open), note.left(note.indexOf('(')));  // only the path is shortened
    EXPECT_EQ(shown.mid(close), note.mid(note.indexOf(')')));
    int whole = 0;
    for (const QString& part : shown.mid(open + 1, close - open - 1).split('/')) {
      if (part == QString::fromUtf8("\u2026"))
        continue;
      EXPECT_TRUE(note.contains("/" + part + "/") || note.contains("/" + part + ")") ||
                  part.isEmpty())
          << part.toStdString();
      ++whole;
    }
    return whole;
  };
  const int at_design = folders_shown();
  EXPECT_TRUE(label->text().contains(QString::fromUtf8("\u2026"))) << label->text().toStdString();
  EXPECT_TRUE(label->text().contains("libvexa-gpib-sim.so)"));  // the file name stays whole
  EXPECT_EQ(label->toolTip(), note);

  form.showMaximized();
  ASSERT_TRUE(testing::WaitFor([&] { return label->width() > design_width; }));
  ASSERT_TRUE(testing::WaitFor([&] { return label->text() == note; }))
      << label->text().toStdString();
  form.showNormal();
  ASSERT_TRUE(testing::WaitFor([&] { return label->width() == design_width; }));
  EXPECT_EQ(folders_shown(), at_design);
}

TEST_F(InstrumentPagesTest, TypedLatin1IsSentAndShownAsTheSameByteAndOtherLettersRefused) {
  Enter(testset->Edit28, QString::fromUtf8("DISP:TEXT 'Ω'"));
  Enter(testset->Edit28, QString::fromUtf8("DISP:TEXT '5 µA'"));
  EXPECT_EQ(MemoLines(testset->Memo4),
            (QStringList{"Command refused: character U+03A9 cannot be sent (the bus carries "
                         "ISO 8859-1 only)",
                         QString::fromUtf8("<---DISP:TEXT '5 µA'")}));
  char sent[64] = {};
  ASSERT_EQ(vexa_sim_log_count(14), 1);
  vexa_sim_log_entry(14, 0, sent, sizeof sent);
  EXPECT_EQ(std::string(sent),
            "DISP:TEXT '5 \xB5"
            "A'");  // one byte for the micro sign
}

TEST(InstrumentPagesTwoWindows, ClosingOneWindowLeavesTheOtherWindowsMemosAttached) {
  testing::DialogRecorder dialogs;
  UseDriver(VEXA_SIM_PATH);
  auto first = std::make_unique<TForm1>();
  TForm1 second;  // the pages of the newest window receive the sessions' lines
  first.reset();
  second.TabSheet13->Edit28->setText("*IDN?");
  QTest::keyClick(second.TabSheet13->Edit28, Qt::Key_Return);
  second.TabSheet14->Edit29->setText("*RST");
  QTest::keyClick(second.TabSheet14->Edit29, Qt::Key_Return);
  ASSERT_TRUE(testing::WaitFor([&] {
    return !second.TabSheet13->CommandsPending() && !second.TabSheet14->CommandsPending();
  }));
  EXPECT_EQ(MemoLines(second.TabSheet13->Memo4).value(0), "<---*IDN?");
  EXPECT_EQ(MemoLines(second.TabSheet14->Memo5), QStringList{"<---*RST"});
}

TEST_F(InstrumentPagesTest, TestSetConsoleEchoesCommandsAndAnswers) {
  EXPECT_TRUE(testset->DriverNote->toolTip().contains("simulator"));
  Enter(testset->Edit28, "*IDN?");
  EXPECT_EQ(MemoLines(testset->Memo4),
            (QStringList{"<---*IDN?", "--->VEXA Simulator,GSM Test Set,SIM00014,A.02.02"}));
  Enter(testset->Edit28, "CALL:CELL:BAND DCS");  // not a query: no read
  Enter(testset->Edit28, "CALL:CELL:BAND?");
  EXPECT_EQ(MemoLines(testset->Memo4).mid(2),
            (QStringList{"<---CALL:CELL:BAND DCS", "<---CALL:CELL:BAND?", "--->DCS"}));
  EXPECT_EQ(vexa_sim_log_count(14), 3);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(InstrumentPagesTest, ATimedOutReadShowsEchoErrorAndEmptyReply) {
  vexa_sim_set_timeout_scale(0.01);  // the 10 s time-out takes 100 ms here
  vexa_sim_fail_next_reads(14, VEXA_SIM_READ_TIMEOUT, 1);
  Enter(testset->Edit28, "FETCh:TXPower?");
  const QStringList lines = MemoLines(testset->Memo4);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], "<---FETCh:TXPower?");
  EXPECT_TRUE(lines[1].startsWith("Unable to read from device ibsta = 0x"));
  EXPECT_TRUE(lines[1].endsWith("iberr = 6 (EABO)"));
  EXPECT_EQ(lines[2], "--->");
}

TEST_F(InstrumentPagesTest, DcSourceConsoleAndAFailedClearThatEndsTheCommand) {
  Enter(dcsource->Edit29, "VOLT 3.8");
  Enter(dcsource->Edit29, "VOLT?");
  const QStringList lines = MemoLines(dcsource->Memo5);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], "<---VOLT 3.8");
  EXPECT_EQ(lines[1], "<---VOLT?");
  EXPECT_TRUE(lines[2].startsWith("--->3.8")) << lines[2].toStdString();
  vexa_sim_fail_next_clear(5);
  Enter(dcsource->Edit29, "*IDN?");
  EXPECT_EQ(MemoLines(dcsource->Memo5).mid(3),
            QStringList{"Unable to clear device ibsta = 0x8100 iberr = 14 (EBUS)"});
  EXPECT_TRUE(MemoLines(testset->Memo4).isEmpty());  // each page has its own memo
}

TEST_F(InstrumentPagesTest, TheConnectionDialogChoosesTheTransportAndIsRemembered) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_TRUE(testset->DriverNote->toolTip().startsWith("GPIB0::14::INSTR - GPIB driver: "));
  QTest::mouseClick(testset->Connection->Button, Qt::LeftButton);
  ConnectionDialog* dialog = testset->Connection->OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->TransportBox->currentText(), "GPIB driver");
  EXPECT_EQ(dialog->AddressEdit->text(), "GPIB0::14::INSTR");

  // Another transport offers an address of its own form; VISA keeps the one there.
  dialog->TransportBox->setCurrentIndex(1);
  EXPECT_EQ(dialog->TransportBox->currentText(), "LAN socket");
  EXPECT_EQ(dialog->AddressEdit->text(), "TCPIP0::192.168.1.20::5025::SOCKET");
  dialog->TransportBox->setCurrentIndex(2);
  EXPECT_EQ(dialog->AddressEdit->text(), "TCPIP0::192.168.1.20::5025::SOCKET");
  dialog->TransportBox->setCurrentIndex(1);

  // A bad address keeps the dialog open with the reason; the connection stays.
  dialog->AddressEdit->setText("TCPIP0::127.0.0.1::0::SOCKET");
  dialog->accept();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->ErrorLabel->isVisible());
  EXPECT_EQ(dialog->ErrorLabel->text(),
            "The port must be 1 to 65535 (\"TCPIP0::127.0.0.1::0::SOCKET\")");
  EXPECT_EQ(form.Station().TestSetDevice.connection(), DefaultGpibConnection(14));

  // Port 1 on this computer: nothing listens there, the open fails over the LAN road.
  dialog->AddressEdit->setText("TCPIP0::127.0.0.1::1::SOCKET");
  dialog->accept();
  ASSERT_TRUE(testing::WaitFor([&] { return testset->Connection->OpenDialog() == nullptr; }));
  const Connection chosen{TransportKind::kSocket, "TCPIP0::127.0.0.1::1::SOCKET"};
  EXPECT_EQ(form.Station().TestSetDevice.connection(), chosen);
  EXPECT_TRUE(testset->DriverNote->toolTip().startsWith(
      "TCPIP0::127.0.0.1::1::SOCKET - LAN socket to 127.0.0.1 port 1"))
      << testset->DriverNote->toolTip().toStdString();
  Enter(testset->Edit28, "*IDN?");
  EXPECT_EQ(MemoLines(testset->Memo4),
            (QStringList{"Unable to open device status = 0x8000 error = 111 (ECONNREFUSED)",
                         "127.0.0.1 port 1 refused the connection (no instrument listening "
                         "there?)"}));
  EXPECT_TRUE(MemoLines(dcsource->Memo5).isEmpty());  // the DC source keeps its own

  // The next start of the program finds the choice again.
  EXPECT_EQ(LoadConnection("testset"), chosen);
  {
    InstrumentStation station;
    TestSetPage again(station);
    EXPECT_EQ(station.TestSetDevice.connection(), chosen);
  }
  SaveConnection("testset", DefaultGpibConnection(14));
}

TEST(InstrumentPagesWithoutDriver, EnterShowsTheOpenFailureAndTheNoteSaysWhy) {
  testing::DialogRecorder dialogs;
  UseDriver("/nonexistent/libgpib.so.0");
  {
    TForm1 form;
    EXPECT_TRUE(form.TabSheet13->DriverNote->toolTip().startsWith(
        "GPIB0::14::INSTR - GPIB driver: none found"));
    form.TabSheet13->Edit28->setText("*IDN?");
    QTest::keyClick(form.TabSheet13->Edit28, Qt::Key_Return);
    ASSERT_TRUE(testing::WaitFor([&] { return !form.TabSheet13->CommandsPending(); }));
    EXPECT_EQ(MemoLines(form.TabSheet13->Memo4),
              QStringList{"Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)"});
    QTest::keyClick(form.TabSheet14->Edit29, Qt::Key_Return);
    ASSERT_TRUE(testing::WaitFor([&] { return !form.TabSheet14->CommandsPending(); }));
    EXPECT_EQ(MemoLines(form.TabSheet14->Memo5),
              QStringList{"Unable to open device ibsta = 0x8000 iberr = 0 (EDVR)"});
    EXPECT_TRUE(dialogs.boxes.empty());
  }
  UseDriver(VEXA_SIM_PATH);
}

// The simulator's messages to `address`, in order.
QStringList SimulatorLog(int address) {
  QStringList log;
  char buffer[256];
  for (int i = 0; i < vexa_sim_log_count(address); ++i) {
    vexa_sim_log_entry(address, i, buffer, sizeof buffer);
    log << QString::fromLatin1(buffer);
  }
  return log;
}

// Enter in the command line goes to the page's own worker: the window goes on at once (its
// timers fire while the slow instrument answers), the command line takes the next command,
// the connection button waits, and the answers arrive later, in the order given.
TEST_F(InstrumentPagesTest, ConsoleCommandsRunOffTheWindowsThreadInTheOrderGiven) {
  struct Case {
    const char* name;
    QLineEdit* edit;
    MemoWidget* memo;
    QWidget* connection_button;
    std::function<bool()> pending;
    QStringList commands;
    QStringList answers;
  };
  const Case cases[] = {
      {"8960",
       testset->Edit28,
       testset->Memo4,
       testset->Connection->Button,
       [this] { return testset->CommandsPending(); },
       {"*IDN?", "CALL:CELL:BAND DCS", "CALL:CELL:BAND?"},
       {"<---*IDN?", "--->VEXA Simulator,GSM Test Set,SIM00014,A.02.02", "<---CALL:CELL:BAND DCS",
        "<---CALL:CELL:BAND?", "--->DCS"}},
      {"66319",
       dcsource->Edit29,
       dcsource->Memo5,
       dcsource->Connection->Button,
       [this] { return dcsource->CommandsPending(); },
       {"VOLT 4.1", "VOLT?"},
       {"<---VOLT 4.1", "<---VOLT?", "--->4.1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vexa_sim_set_latency_ms(300);  // every clear, write and read of the instrument
    for (const QString& command : c.commands) {
      c.edit->setText(command);
      QTest::keyClick(c.edit, Qt::Key_Return);
    }
    // Nothing has been answered yet, and the window has not waited for it.
    EXPECT_TRUE(MemoLines(c.memo).isEmpty());
    EXPECT_TRUE(c.pending());
    EXPECT_TRUE(c.edit->isEnabled());
    EXPECT_FALSE(c.connection_button->isEnabled());
    bool fired = false;
    bool pending_when_fired = false;
    QTimer::singleShot(0, [&] {
      fired = true;
      pending_when_fired = c.pending();
    });
    ASSERT_TRUE(testing::WaitFor([&] { return fired; }));
    EXPECT_TRUE(pending_when_fired);

    ASSERT_TRUE(testing::WaitFor([&] { return !c.pending(); }, 60000));
    const QStringList lines = MemoLines(c.memo);
    ASSERT_EQ(lines.size(), c.answers.size()) << lines.join(" | ").toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i)
      EXPECT_TRUE(lines[i].startsWith(c.answers[i])) << lines[i].toStdString();
    EXPECT_TRUE(c.connection_button->isEnabled());
    vexa_sim_set_latency_ms(0);
  }
  EXPECT_TRUE(dialogs.boxes.empty());
}

// Closing the window drops the commands not yet sent; the one on the bus ends first.
TEST(InstrumentPagesClosing, ClosingTheWindowDropsTheConsoleCommandsNotYetSent) {
  testing::DialogRecorder dialogs;
  UseDriver(VEXA_SIM_PATH);
  auto form = std::make_unique<TForm1>();
  vexa_sim_set_latency_ms(300);
  for (const char* command : {"DISP:TEXT 'one'", "DISP:TEXT 'two'", "DISP:TEXT 'three'"}) {
    form->TabSheet13->Edit28->setText(QString::fromLatin1(command));
    QTest::keyClick(form->TabSheet13->Edit28, Qt::Key_Return);
  }
  form->close();
  form.reset();  // waits for the command on the bus, as the end of main() does
  EXPECT_LE(SimulatorLog(14).size(), 1) << SimulatorLog(14).join(" | ").toStdString();
  vexa_sim_set_latency_ms(0);
}

// A test set on the LAN that takes commands and never answers: the console's read waits for
// it on the page's worker; closing the window aborts that read instead of waiting out the
// socket's time-out.
TEST(InstrumentPagesClosing, ClosingTheWindowAbortsAConsoleReadOverTheLan) {
  testing::DialogRecorder dialogs;
  UseDriver(VEXA_SIM_PATH);
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);  // connections wait in the backlog, never answered
  socklen_t length = sizeof address;
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string resource =
      "TCPIP0::127.0.0.1::" + std::to_string(ntohs(address.sin_port)) + "::SOCKET";
  {
    TForm1 form;
    TestSetPage* page = form.TabSheet13;
    ASSERT_EQ(page->Connection->Apply(Connection{TransportKind::kSocket, resource}), QString());
    page->Edit28->setText("*IDN?");
    QTest::keyClick(page->Edit28, Qt::Key_Return);
    ASSERT_TRUE(testing::WaitFor([&] { return MemoLines(page->Memo4).contains("<---*IDN?"); }));
    form.close();
    EXPECT_FALSE(form.isVisible());
    // The read ends as the connection is shut down, not at the time-out.
    ASSERT_TRUE(testing::WaitFor([&] { return !page->CommandsPending(); }, 60000));
    const QStringList lines = MemoLines(page->Memo4);
    ASSERT_EQ(lines.size(), 3) << lines.join(" | ").toStdString();
    EXPECT_TRUE(lines[1].startsWith("Unable to read from device status = 0x"));
    EXPECT_TRUE(lines[1].endsWith("(ECONNRESET)")) << lines[1].toStdString();
    EXPECT_EQ(lines[2], "--->");
  }
  close(listener);
  SaveConnection("testset", DefaultGpibConnection(14));
}

// The connection button is disabled by the very click that starts work with the instrument,
// before the worker has opened it, and comes back when the work has ended.
TEST_F(InstrumentPagesTest, TheConnectionButtonWaitsFromTheClickThatStartsWorkUntilItsEnd) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  struct Case {
    const char* name;
    QWidget* button;
    std::function<void()> start;
    std::function<bool()> ended;
  };
  const Case cases[] = {
      {"Start Test without a call", testset->Connection->Button,
       [this] {
         vexa_sim_set_call_connected(0);
         testset->Bstart->setEnabled(true);
         QTest::mouseClick(testset->Bstart, Qt::LeftButton);
       },
       [this] { return !testset->RunInProgress(); }},
      {"8960 console", testset->Connection->Button,
       [this] {
         testset->Edit28->setText("*IDN?");
         QTest::keyClick(testset->Edit28, Qt::Key_Return);
       },
       [this] { return !testset->CommandsPending(); }},
      {"Config", testset->Connection->Button,
       [this] {
         QTest::mouseClick(testset->Btpl, Qt::LeftButton);
         testset->PlanWindow()->Button5->click();
       },
       [this] { return !testset->CommandsPending() && form.isVisible(); }},
      {"Config&Test refused", dcsource->Connection->Button,
       [this] {
         dcsource->LabeledEdit15->setText("15.5");  // the sample rate is refused
         QTest::mouseClick(dcsource->Button10, Qt::LeftButton);
       },
       [this] { return !dcsource->RunInProgress(); }},
      {"66319 console", dcsource->Connection->Button,
       [this] {
         dcsource->Edit29->setText("VOLT?");
         QTest::keyClick(dcsource->Edit29, Qt::Key_Return);
       },
       [this] { return !dcsource->CommandsPending(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vexa_sim_set_latency_ms(50);
    ASSERT_TRUE(c.button->isEnabled());
    c.start();
    EXPECT_FALSE(c.button->isEnabled());
    ASSERT_TRUE(testing::WaitFor(c.ended, 30000));
    EXPECT_TRUE(c.button->isEnabled());
    vexa_sim_set_latency_ms(0);
  }
  EXPECT_TRUE(dialogs.boxes.empty());
}

// Work that began elsewhere holds the session: OK in the dialog then shows why the connection
// cannot change, and the dialog stays open until it can.
TEST_F(InstrumentPagesTest, TheDialogShowsWhyTheConnectionCannotChangeWhileTheSessionIsInUse) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::mouseClick(testset->Connection->Button, Qt::LeftButton);
  ConnectionDialog* dialog = testset->Connection->OpenDialog();
  ASSERT_NE(dialog, nullptr);
  dialog->TransportBox->setCurrentIndex(1);
  dialog->AddressEdit->setText("TCPIP0::127.0.0.1::5025::SOCKET");
  {
    const InstrumentSession::Use use = form.Station().TestSetDevice.MarkInUse();
    dialog->accept();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->ErrorLabel->isHidden());
    EXPECT_EQ(dialog->ErrorLabel->text(), QString::fromLatin1(kSessionInUse));
    EXPECT_EQ(form.Station().TestSetDevice.connection(), DefaultGpibConnection(14));
  }
  dialog->accept();
  ASSERT_TRUE(testing::WaitFor([&] { return testset->Connection->OpenDialog() == nullptr; }));
  EXPECT_EQ(form.Station().TestSetDevice.connection(),
            (Connection{TransportKind::kSocket, "TCPIP0::127.0.0.1::5025::SOCKET"}));
  SaveConnection("testset", DefaultGpibConnection(14));
}

// The program's own two-button box (the "Disconnected" box): it holds no window up, and
// answers with the button pressed; closed by the program, it answers nothing.
TEST(QuestionBox, TheRealBoxLeavesTheWindowsUsableAndAnswersWithItsButton) {
  QWidget window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const auto button = [](QMessageBox* box, const QString& text) -> QAbstractButton* {
    for (QAbstractButton* candidate : box->buttons()) {
      if (candidate->text() == text)
        return candidate;
    }
    return nullptr;
  };
  struct Case {
    const char* name;
    std::function<void(QMessageBox*)> act;
    int answer;  // -1: none
  };
  const Case cases[] = {
      {"Stop Test pressed", [&](QMessageBox* box) { button(box, "Stop Test")->click(); }, 1},
      {"OK pressed", [&](QMessageBox* box) { button(box, "OK")->click(); }, 0},
      {"Escape", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, 0},
      {"closed by its title bar", [](QMessageBox* box) { box->close(); }, 0},
      {"deleted by the program", [](QMessageBox* box) { delete box; }, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int answer = -1;
    int answers = 0;
    QPointer<QObject> box = AppDialogs().ShowQuestion(
        &window, "Disconnected", "Connect MS, and try again!", "OK", "Stop Test", [&](int pressed) {
          answer = pressed;
          ++answers;
        });
    auto* message_box = qobject_cast<QMessageBox*>(box.data());
    ASSERT_NE(message_box, nullptr);
    EXPECT_TRUE(message_box->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(message_box->windowTitle(), "Disconnected");
    EXPECT_EQ(message_box->text(), "Connect MS, and try again!");
    ASSERT_NE(button(message_box, "OK"), nullptr);
    ASSERT_NE(button(message_box, "Stop Test"), nullptr);
    c.act(message_box);
    ASSERT_TRUE(testing::WaitFor([&] { return box.isNull(); }));
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(answers, c.answer < 0 ? 0 : 1);
  }
}

TEST(CommandQueue, RunsJobsInOrderOnOneThreadAndCancelDropsTheJobsNotStarted) {
  CommandQueue queue;
  std::mutex mutex;
  std::vector<int> ran;
  std::set<std::thread::id> threads;
  const auto record = [&](int job) {
    const std::lock_guard lock(mutex);
    ran.push_back(job);
    threads.insert(std::this_thread::get_id());
  };
  std::promise<void> batch_done;
  for (int job = 0; job < 5; ++job)
    ASSERT_TRUE(queue.Push([&, job] { record(job); }));
  ASSERT_TRUE(queue.Push([&] { batch_done.set_value(); }));
  batch_done.get_future().wait();
  {
    const std::lock_guard lock(mutex);
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
  }

  // A job on a slow bus, two behind it: Cancel drops those two and tells the first.
  std::promise<void> started;
  std::promise<void> release;
  bool saw_cancel = false;
  ASSERT_TRUE(queue.Push([&, released = release.get_future().share()] {
    started.set_value();
    released.wait();
    saw_cancel = queue.cancelled();
    record(5);
  }));
  ASSERT_TRUE(queue.Push([&] { record(6); }));
  ASSERT_TRUE(queue.Push([&] { record(7); }));
  started.get_future().wait();
  EXPECT_FALSE(queue.cancelled());
  EXPECT_EQ(queue.Cancel(), 2u);
  EXPECT_TRUE(queue.cancelled());
  EXPECT_FALSE(queue.Push([&] { record(8); }));
  release.set_value();
  queue.Join();
  EXPECT_TRUE(saw_cancel);
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST(MemoWidget, LinesFromAWorkerArriveInOrderAndInBatches) {
  MemoWidget memo;
  constexpr int kLines = 20000;
  std::thread worker([&memo] {
    for (int i = 0; i < kLines; ++i)
      memo.AppendLine("line " + std::to_string(i));
  });
  worker.join();
  // Nothing has been painted yet: the lines wait for one batched repaint.
  EXPECT_TRUE(memo.toPlainText().isEmpty());
  ASSERT_TRUE(testing::WaitFor([&] { return memo.blockCount() == kLines; })) << memo.blockCount();
  EXPECT_EQ(memo.document()->findBlockByNumber(0).text(), "line 0");
  EXPECT_EQ(memo.document()->lastBlock().text(), "line 19999");
  EXPECT_EQ(memo.Lines().size(), static_cast<std::size_t>(kLines));

  memo.Clear();
  EXPECT_TRUE(memo.toPlainText().isEmpty());
  EXPECT_TRUE(memo.Lines().empty());
  memo.AppendLine("after clear");
  memo.Flush();
  EXPECT_EQ(memo.toPlainText(), "after clear");

  QTest::qWait(3 * MemoWidget::kRepaintIntervalMs);  // no repaint left pending
  std::thread([&memo] { memo.Clear(); }).join();     // a worker clearing reaches the widget too
  EXPECT_TRUE(memo.Lines().empty());
  ASSERT_TRUE(testing::WaitFor([&] { return memo.toPlainText().isEmpty(); }));
}

}  // namespace
}  // namespace vexa
