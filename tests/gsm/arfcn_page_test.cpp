// The channel calculator on the real widgets of the main window.
#include "gsm/arfcn_page.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "app/main_window.h"
#include "support/dialog_recorder.h"
#include "support/mouse.h"

namespace vexa {
namespace {

using testing::Boxes;
using testing::DialogRecorder;
using testing::ErrorBox;
using testing::MessageBox;

class ArfcnPageTest : public ::testing::Test {
 protected:
  ArfcnPageTest() : page(form.TabSheet1) {}

  void Enter(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  static QString FirstLine(const QString& text) { return text.section('\n', 0, 0); }
  static QString ChannelLine(const QString& list) { return list.section('\n', 1, 1); }

  DialogRecorder dialogs;
  TForm1 form;
  ArfcnPage* page;
};

TEST_F(ArfcnPageTest, StartUpFillsEveryRowAndShowsEgsm62Last) {
  EXPECT_EQ(page->Label1->text(), "MS Rx  947.4  MHz");
  EXPECT_EQ(page->Label2->text(), "MS Tx  902.4  MHz");
  EXPECT_EQ(page->Label5->text(), "MS Rx  1842.6  MHz");
  EXPECT_EQ(page->Label6->text(), "MS Tx  1747.6  MHz");
  EXPECT_EQ(page->Label20->text(), "MS Rx  1960  MHz");
  EXPECT_EQ(page->Label21->text(), "MS Tx  1880  MHz");
  EXPECT_EQ(page->Label37->text(), "MS Rx  881.6  MHz");
  EXPECT_EQ(page->Label38->text(), "MS Tx  836.6  MHz");
  EXPECT_EQ(page->Label39->text(), QString::fromStdString(HarmonicsList(GsmBand::EGSM, "62", 62)));
  EXPECT_EQ(page->ComboBox4->currentText(), "190");
  EXPECT_EQ(page->ComboBox1->currentText(), "62");
  EXPECT_EQ(page->ScrollBar1->value(), 111);
  EXPECT_EQ(page->ScrollBar5->value(), 190);
  EXPECT_EQ(page->Label39->pos(), QPoint(476, 24));
  EXPECT_EQ(page->Edit16->geometry(), QRect(184, 264, 121, 21));
  EXPECT_EQ(page->ScrollBar5->geometry(), QRect(184, 296, 121, 16));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ArfcnPageTest, EnterUpdatesTheBandRowTheListAndThePreset) {
  struct Case {
    QLineEdit* edit;
    QLabel* receive;
    QLabel* transmit;
    QScrollBar* bar;
    QComboBox* preset;
    const char* text;
    const char* rx;
    const char* tx;
    int position;
    const char* header;
  };
  const Case cases[] = {
      {page->Edit1, page->Label1, page->Label2, page->ScrollBar1, page->ComboBox1, "0",
       "MS Rx  935  MHz", "MS Tx  890  MHz", 49, "Harmonics E-GSM"},
      {page->Edit1, page->Label1, page->Label2, page->ScrollBar1, page->ComboBox1, "975",
       "MS Rx  925.2  MHz", "MS Tx  880.2  MHz", 0, "Harmonics E-GSM"},
      {page->Edit1, page->Label1, page->Label2, page->ScrollBar1, page->ComboBox1, "1023",
       "MS Rx  934.8  MHz", "MS Tx  889.8  MHz", 48, "Harmonics E-GSM"},
      {page->Edit2, page->Label5, page->Label6, page->ScrollBar2, page->ComboBox2, "512",
       "MS Rx  1805.2  MHz", "MS Tx  1710.2  MHz", 512, "Harmonics DCS"},
      {page->Edit9, page->Label20, page->Label21, page->ScrollBar3, page->ComboBox3, "810",
       "MS Rx  1989.8  MHz", "MS Tx  1909.8  MHz", 810, "Harmonics PCS"},
      {page->Edit16, page->Label37, page->Label38, page->ScrollBar5, page->ComboBox4, "128",
       "MS Rx  869.2  MHz", "MS Tx  824.2  MHz", 128, "Harmonics GSM850"},
  };
  for (const Case& c : cases) {
    Enter(c.edit, c.text);
    EXPECT_EQ(c.receive->text(), c.rx);
    EXPECT_EQ(c.transmit->text(), c.tx);
    EXPECT_EQ(c.bar->value(), c.position) << c.text;
    EXPECT_EQ(c.edit->text(), c.text);
    EXPECT_EQ(c.preset->currentText(), c.text);
    EXPECT_EQ(FirstLine(page->Label39->text()), c.header);
    EXPECT_EQ(ChannelLine(page->Label39->text()), QString("Channel ") + c.text);
  }
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ArfcnPageTest, OtherKeysDoNothing) {
  page->Edit2->setText("512");
  QTest::keyClick(page->Edit2, Qt::Key_Tab);
  QTest::keyClick(page->Edit2, Qt::Key_A);
  EXPECT_EQ(page->Label6->text(), "MS Tx  1747.6  MHz");
  EXPECT_EQ(page->ScrollBar2->value(), 699);
}

TEST_F(ArfcnPageTest, OutOfBandEntriesWarnThenLandOnTheClampedChannel) {
  struct Case {
    QLineEdit* edit;
    QComboBox* preset;
    const char* typed;
    const char* message;
    const char* landed;
  };
  const Case cases[] = {
      {page->Edit2, page->ComboBox2, "886", "error DCS channel", "885"},
      {page->Edit2, page->ComboBox2, "100", "error DCS channel", "512"},
      {page->Edit9, page->ComboBox3, "9999", "error PCS channel", "810"},
      {page->Edit16, page->ComboBox4, "-5", "error GSM850 channel", "128"},
      {page->Edit1, page->ComboBox1, "-10", "error EGSM channel", "1014"},
      {page->Edit1, page->ComboBox1, "-49", "error EGSM channel", "975"},
      {page->Edit1, page->ComboBox1, "1100", "error EGSM channel", "76"},
      {page->Edit1, page->ComboBox1, "1148", "error EGSM channel", "124"},
      {page->Edit1, page->ComboBox1, "500", "error EGSM channel", "975"},
      {page->Edit1, page->ComboBox1, "125", "error EGSM channel", "975"},
      {page->Edit1, page->ComboBox1, "1149", "error EGSM channel", "124"},
  };
  for (const Case& c : cases) {
    page->Edit1->setText("62");  // park every bar away from the ends first
    QTest::keyClick(page->Edit1, Qt::Key_Return);
    page->ScrollBar2->setValue(699);
    page->ScrollBar3->setValue(661);
    page->ScrollBar5->setValue(190);
    dialogs.Take();
    Enter(c.edit, c.typed);
    EXPECT_EQ(dialogs.Take(), Boxes{MessageBox(c.message)}) << c.typed;
    EXPECT_EQ(c.edit->text(), c.landed) << c.typed;
    EXPECT_EQ(c.preset->currentText(), c.landed) << c.typed;
    EXPECT_EQ(ChannelLine(page->Label39->text()), QString("Channel ") + c.landed) << c.typed;
  }
}

TEST_F(ArfcnPageTest, BarAlreadyAtTheEndKeepsTheInvalidText) {
  Enter(page->Edit2, "885");
  const QString list = page->Label39->text();
  Enter(page->Edit2, "900");
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox("error DCS channel")});
  EXPECT_EQ(page->Edit2->text(), "900");
  EXPECT_EQ(page->ComboBox2->currentText(), "900");
  EXPECT_EQ(page->Label6->text(), "MS Tx  1784.8  MHz");
  EXPECT_EQ(page->Label39->text(), list);
}

TEST_F(ArfcnPageTest, NonIntegerTextShowsTheConversionErrorAndChangesNothing) {
  for (const char* text : {"abc", "62.5", "1e2", ""}) {
    Enter(page->Edit1, text);
    EXPECT_EQ(dialogs.Take(),
              Boxes{ErrorBox(QString("'%1' is not a valid integer value.").arg(text))});
    EXPECT_EQ(page->Label2->text(), "MS Tx  902.4  MHz");
    EXPECT_EQ(page->ScrollBar1->value(), 111);
    EXPECT_EQ(page->ComboBox1->currentText(), "62");
  }
}

TEST_F(ArfcnPageTest, LeadingZeroIsKeptOnlyWhenTheBarDoesNotMove) {
  Enter(page->Edit1, "062");  // 62 is already shown: the bar stays, the text stays
  EXPECT_EQ(ChannelLine(page->Label39->text()), "Channel 062");
  EXPECT_EQ(page->ComboBox1->currentText(), "062");
  Enter(page->Edit1, "5");
  Enter(page->Edit1, "062");  // the bar moves: its handler rewrites the entry as 62
  EXPECT_EQ(page->Edit1->text(), "62");
  EXPECT_EQ(page->ComboBox1->currentText(), "62");
  EXPECT_EQ(ChannelLine(page->Label39->text()), "Channel 62");
}

TEST_F(ArfcnPageTest, ScrollBarStepsCrossTheEgsmFold) {
  page->ScrollBar1->setValue(48);
  EXPECT_EQ(page->Edit1->text(), "1023");
  page->ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // the right arrow
  EXPECT_EQ(page->ScrollBar1->value(), 49);
  EXPECT_EQ(page->Edit1->text(), "0");
  EXPECT_EQ(page->Label2->text(), "MS Tx  890  MHz");
  EXPECT_EQ(page->ComboBox1->currentText(), "0");
  page->ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(page->Edit1->text(), "1023");
  page->ScrollBar2->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(page->Edit2->text(), "700");
  EXPECT_EQ(FirstLine(page->Label39->text()), "Harmonics DCS");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ArfcnPageTest, PresetsRunTheUpdateAndEveryEditOfTheirText) {
  QSignalSpy spy(page->ComboBox1, &QComboBox::textActivated);
  page->ComboBox1->setCurrentIndex(0);
  emit page->ComboBox1->textActivated(page->ComboBox1->currentText());  // user picks "975"
  EXPECT_EQ(page->Edit1->text(), "975");
  EXPECT_EQ(page->ScrollBar1->value(), 0);
  EXPECT_EQ(page->Label1->text(), "MS Rx  925.2  MHz");

  // Every keystroke runs the update: "5" is refused, the bar clamps from 699 to 512 and
  // the row lands on 512; a "7" typed then is refused and stays, the bar being at 512.
  QLineEdit* typed = page->ComboBox2->lineEdit();
  typed->selectAll();
  QTest::keyClicks(typed, "5");
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox("error DCS channel")});
  EXPECT_EQ(page->Edit2->text(), "512");
  EXPECT_EQ(page->ComboBox2->currentText(), "512");
  EXPECT_EQ(page->Label6->text(), "MS Tx  1710.2  MHz");
  typed->selectAll();
  QTest::keyClicks(typed, "7");
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox("error DCS channel")});
  EXPECT_EQ(page->Edit2->text(), "7");
  EXPECT_EQ(page->ComboBox2->currentText(), "7");
  EXPECT_EQ(page->ScrollBar2->value(), 512);
}

TEST_F(ArfcnPageTest, ClickingATransmitLabelShowsThatBandsList) {
  QTest::mouseClick(page->Label6, Qt::LeftButton);
  EXPECT_EQ(page->Label39->text(), QString::fromStdString(HarmonicsList(GsmBand::DCS, "699", 699)));
  page->Edit1->setText("500");  // typed but not entered: no range check on a click
  QTest::mouseClick(page->Label2, Qt::LeftButton);
  EXPECT_TRUE(page->Label39->text().startsWith("Harmonics E-GSM\nChannel 500\nH2 1570.4  MHz\n"));
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(page->Label2->text(), "MS Tx  902.4  MHz");
  EXPECT_EQ(page->ScrollBar1->value(), 111);
  EXPECT_EQ(page->Label2->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(ArfcnPageTest, ADoubleClickOnATransmitLabelIsOneClick) {
  // The double click's second release is no second click: one list, one error box.
  form.PageControl1->setCurrentWidget(page);
  page->Edit16->clear();
  ASSERT_TRUE(testing::DoubleClickThroughTheWindow(page->Label38));
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'' is not a valid floating point value.")});
  page->Edit16->setText("1.7e308");  // beyond the double range from H6 on
  ASSERT_TRUE(testing::DoubleClickThroughTheWindow(page->Label38));
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("Floating point overflow.")});
  EXPECT_TRUE(page->Label39->text().startsWith("Harmonics GSM850\nChannel 1.7e308\nH2 "));
  EXPECT_EQ(page->Label39->text().count('\n'), 2 + 4);  // H2 to H5, then the overflow
}

TEST_F(ArfcnPageTest, ClickWithBadTextLeavesHeaderAndChannelLine) {
  page->Edit16->clear();
  QTest::mouseClick(page->Label38, Qt::LeftButton);
  EXPECT_EQ(page->Label39->text(), "Harmonics GSM850\nChannel \n");
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'' is not a valid floating point value.")});
  page->Edit1->setText("62.5");
  QTest::mouseClick(page->Label2, Qt::LeftButton);
  EXPECT_EQ(page->Label39->text(), "Harmonics E-GSM\nChannel 62.5\n");
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'62.5' is not a valid integer value.")});
  EXPECT_EQ(page->Label38->text(), "MS Tx  836.6  MHz");
}

}  // namespace
}  // namespace vexa
