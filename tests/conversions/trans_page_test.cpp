// The TRANS page on the real widgets of the main window.
#include "conversions/trans_page.h"

#include <gtest/gtest.h>

#include <QTest>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/dialog_recorder.h"

namespace vexa {
namespace {

using testing::Boxes;
using testing::DialogRecorder;
using testing::MessageBox;

class TransPageTest : public ::testing::Test {
 protected:
  TransPageTest() : page(form.TabSheet2) {}

  void Enter(QLineEdit* edit, const char* text) {
    edit->setText(QString::fromLatin1(text));
    QTest::keyClick(edit, Qt::Key_Return);
  }

  DialogRecorder dialogs;
  TForm1 form;
  TransPage* page;
};

TEST_F(TransPageTest, StartUpControls) {
  EXPECT_EQ(page->objectName(), "TabSheet2");
  EXPECT_EQ(page->Edit10->text(), "0");
  EXPECT_EQ(page->ScrollBar4->minimum(), 0);
  EXPECT_EQ(page->ScrollBar4->maximum(), 63);
  EXPECT_EQ(page->Label25->text(), "less than -110 dBm");
  EXPECT_EQ(page->ComboBox5->count(), 8);
  EXPECT_EQ(page->ComboBox5->currentText(), "RXQUAL_4     1.6%  <BER<  3.2%");
  EXPECT_EQ(page->GroupBox3->title(), "Balun");
  EXPECT_EQ(page->Label66->text().toStdString(), kClcBalun);  // written at the creation
  EXPECT_TRUE(page->RadioButton7->isChecked());
  EXPECT_EQ(page->Edit27->text(), "1000");
  EXPECT_EQ(page->Label70->text(), "C=");
  for (const char* name : {"Label43", "Label35", "Label63", "Label72", "Label74", "Label78",
                           "Label7", "Label8", "Label24", "Label69"})
    EXPECT_NE(page->findChild<QLabel*>(QLatin1String(name)), nullptr) << name;
  EXPECT_EQ(page->findChild<QLabel*>(QStringLiteral("Label74"))->text(),
            "Sensi=-174dBm+10logB+NFsys+C/N  @290K");
  for (QPushButton* button : {page->BitBtn1, page->BitBtn2, page->BitBtn3}) {
    EXPECT_TRUE(button->text().isEmpty());
    EXPECT_FALSE(button->icon().isNull());
  }
  const QList<QWidget*> controls = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (qsizetype i = 0; i < controls.size(); ++i) {
    EXPECT_TRUE(page->rect().contains(controls[i]->geometry()))
        << controls[i]->objectName().toStdString();
    for (qsizetype j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
          << controls[i]->objectName().toStdString() << " covers "
          << controls[j]->objectName().toStdString();
  }
}

// Enter converts into the partner only; a refused value leaves it; the RXLEV field and the
// scroll bar settle together.
TEST_F(TransPageTest, PairsRxlevAndBalun) {
  Enter(page->Edit3, "-20");
  EXPECT_EQ(page->Edit4->text(), "1.22222222222222");
  Enter(page->Edit4, "1");
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox("input must be larger than 1")});
  EXPECT_EQ(page->Edit3->text(), "-20");
  Enter(page->Edit5, "30");
  EXPECT_EQ(page->Edit6->text(), "1000");
  page->Edit7->setText(QStringLiteral("5"));  // typing alone converts nothing
  EXPECT_EQ(page->Edit8->text(), "");

  Enter(page->Edit10, "70");
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox("error RXLEV")});
  EXPECT_EQ(page->ScrollBar4->value(), 63);
  EXPECT_EQ(page->Edit10->text(), "63");
  EXPECT_EQ(page->Label25->text(), "greater than -48 dBm");
  page->ScrollBar4->setValue(1);  // as the user's move does
  EXPECT_EQ(page->Edit10->text(), "1");
  EXPECT_EQ(page->Label25->text(), "-110 dBm  to  -109 dBm");

  QTest::mouseClick(page->Button7, Qt::LeftButton);
  EXPECT_TRUE(page->Label70->text().startsWith(QStringLiteral("C=3.1830988")));
  EXPECT_TRUE(page->Label71->text().startsWith(QStringLiteral("L=7.957747")));
  // A keyboard selection checks the button but keeps the drawing; the mouse press changes it.
  page->RadioButton8->setChecked(true);
  EXPECT_EQ(page->Label66->text().toStdString(), kClcBalun);
  QTest::mouseClick(page->Button7, Qt::LeftButton);  // a handler keeps the user's selection
  EXPECT_TRUE(page->RadioButton8->isChecked());
  EXPECT_EQ(page->Label66->text().toStdString(), kClcBalun);
  QTest::mousePress(page->RadioButton8, Qt::LeftButton);
  QTest::mouseRelease(page->RadioButton8, Qt::LeftButton);
  EXPECT_EQ(page->Label66->text().toStdString(), kLclBalun);
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The program buttons start the first program found, or say none is installed.
TEST_F(TransPageTest, ProgramButtonsStartWhatIsInstalledOrSaySo) {
  std::vector<QString> started;
  page->SetProgramStarter([&started](const QString& program) {
    started.push_back(program);
    return true;
  });
  page->SetProgramSearchPath(QStringLiteral("/nonexistent-vexa-dir"));
  QTest::mouseClick(page->BitBtn1, Qt::LeftButton);
  EXPECT_TRUE(started.empty());
  EXPECT_EQ(dialogs.Take(),
            Boxes{MessageBox(QString::fromStdString(MissingProgramMessage(kCalculatorProgram)))});

  page->SetProgramSearchPath(QStringLiteral("/bin:/usr/bin"));
  const QString found = page->StartProgram(DesktopProgram{"shell", {"no-such-program-x", "sh"}});
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(found, started.front());
  EXPECT_TRUE(found.endsWith(QStringLiteral("/sh")));
  EXPECT_TRUE(dialogs.boxes.empty());

  // Found but refusing to start: the message names the program that failed.
  page->SetProgramStarter([](const QString&) { return false; });
  EXPECT_TRUE(page->StartProgram(DesktopProgram{"shell", {"sh"}}).isEmpty());
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox("Cannot start " + found)});
}

}  // namespace
}  // namespace vexa
