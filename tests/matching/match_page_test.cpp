// The MATCH page on the real widgets of the main window.
#include "matching/match_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/dialog_recorder.h"

namespace vexa {
namespace {

using testing::Boxes;
using testing::DialogRecorder;
using testing::ErrorBox;
using testing::MessageBox;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// A second form model run beside the page: the page must show exactly what it computes.
class Messages : public FormMessages {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

class MatchPageTest : public ::testing::Test {
 protected:
  MatchPageTest() : page(form.TabSheet8) {}

  // The page's own controls of one group, with the rectangles they take in the group.
  static QList<QWidget*> Controls(QWidget* group) {
    return group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  }

  void ExpectNoOverlaps() {
    for (QGroupBox* group : {page->GroupBox1, page->GroupBox2}) {
      EXPECT_TRUE(page->rect().contains(group->geometry())) << group->objectName().toStdString();
      const QList<QWidget*> controls = Controls(group);
      for (qsizetype i = 0; i < controls.size(); ++i) {
        const QWidget* a = controls[i];
        EXPECT_TRUE(group->rect().contains(a->geometry())) << a->objectName().toStdString();
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
          const QWidget* b = controls[j];
          // The frequency field stands inside its caption by design.
          if ((a == page->Label29 && b == page->Edit15) ||
              (a == page->Edit15 && b == page->Label29))
            continue;
          EXPECT_FALSE(a->geometry().intersects(b->geometry()))
              << a->objectName().toStdString() << " covers " << b->objectName().toStdString();
        }
      }
    }
  }

  // The field is wide enough to show its whole text.
  static void ExpectWhole(const QLineEdit* edit) {
    const int text_width = QFontMetrics(edit->font()).horizontalAdvance(edit->text());
    EXPECT_LT(text_width, edit->width() - 6) << edit->objectName().toStdString();
  }

  DialogRecorder dialogs;
  TForm1 form;
  MatchPage* page;
};

TEST_F(MatchPageTest, StartUpShowsTheDefaultsAndSchematicsInAFixedPitchFont) {
  EXPECT_EQ(page->objectName(), "TabSheet8");
  EXPECT_EQ(page->Label33->text(), Text(kLcSchematic));
  EXPECT_EQ(page->Label44->text(), Text(kPiSchematic));
  for (QLabel* schematic : {page->Label33, page->Label44}) {
    EXPECT_EQ(schematic->font().family(), "Courier New");
    EXPECT_EQ(schematic->font().pixelSize(), 13);
    EXPECT_TRUE(QFontInfo(schematic->font()).fixedPitch());
  }
  EXPECT_EQ(page->Label26->font(), QApplication::font());

  const std::vector<std::pair<QLineEdit*, const char*>> edits = {
      {page->Edit15, "1800"}, {page->Edit11, "75"}, {page->Edit23, "0"}, {page->Edit14, "60"},
      {page->Edit24, "0"},    {page->Edit12, ""},   {page->Edit13, ""},  {page->Edit17, "50"},
      {page->Edit18, "50"},   {page->Edit19, "30"}, {page->Edit20, ""},  {page->Edit21, ""},
      {page->Edit22, ""}};
  for (const auto& [edit, text] : edits)
    EXPECT_EQ(edit->text(), text) << edit->objectName().toStdString();
  const std::vector<std::pair<QLabel*, const char*>> labels = {
      {page->Label29, "Freq                      MHz"},
      {page->Label26, "Rg  Port1"},
      {page->Label61, "X1"},
      {page->Label28, "Rd  Port2"},
      {page->Label62, "X2"},
      {page->Label27, "nH"},
      {page->Label30, "pF"},
      {page->g2d, "---------->"},
      {page->d2g, "<----------"},
      {page->Label31, "Γ1=  "},
      {page->Label32, "Γ2=  "},
      {page->Label53, "S21=S12="},
      {page->Label34, "------>"},
      {page->Label45, "Rn   Port1"},
      {page->Label46, "Ro   Port2"},
      {page->Label47, "Attenuation (dB)"},
      {page->Label48, "Resistances (ohm)"},
      {page->Label49, "R1"},
      {page->Label50, "R2"},
      {page->Label51, "R3"},
      {page->Label52, "Γ1=  "},
      {page->E24Shunt, ""},
      {page->E24Series, ""},
      {page->E24Gamma1, ""}};
  for (const auto& [label, text] : labels)
    EXPECT_EQ(label->text(), QString::fromUtf8(text)) << label->objectName().toStdString();
  EXPECT_EQ(page->RadioButton1->text(), "  LC");
  EXPECT_EQ(page->RadioButton2->text(), "  CL");
  EXPECT_EQ(page->RadioButton3->text(), "Pi");
  EXPECT_EQ(page->RadioButton4->text(), "T");
  EXPECT_TRUE(page->RadioButton1->isChecked());
  EXPECT_FALSE(page->RadioButton2->isChecked());
  EXPECT_TRUE(page->RadioButton3->isChecked());
  EXPECT_FALSE(page->RadioButton4->isChecked());
  EXPECT_EQ(page->Button8->text(), "LC");
  EXPECT_EQ(page->Button9->text(), "Sparam");
  EXPECT_EQ(page->Button2->text(), "Resistance");
  EXPECT_EQ(page->Button3->text(), "Attenuation");
  EXPECT_EQ(page->g2d->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(page->d2g->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_FALSE(page->Edit12->toolTip().isEmpty());
  EXPECT_FALSE(page->Label31->toolTip().isEmpty());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(MatchPageTest, AMousePressRunsTheRadioHandlerAndKeyboardSelectionOnlyChecks) {
  QTest::mouseClick(page->Button8, Qt::LeftButton);  // LC design: both fields filled
  ASSERT_FALSE(page->Edit12->text().isEmpty());

  // The handler runs as the button goes down, before the click checks it.
  QTest::mousePress(page->RadioButton2, Qt::LeftButton);
  EXPECT_EQ(page->Label33->text(), Text(kClSchematic));
  EXPECT_TRUE(page->RadioButton1->isChecked());
  QTest::mouseRelease(page->RadioButton2, Qt::LeftButton);
  EXPECT_TRUE(page->RadioButton2->isChecked());
  EXPECT_EQ(page->Label27->text(), "pF");
  EXPECT_EQ(page->Label30->text(), "nH");
  EXPECT_EQ(page->Edit12->text(), "");
  EXPECT_EQ(page->Edit13->text(), "");
  EXPECT_EQ(page->Label31->text(), "Γ1=  ");
  EXPECT_EQ(page->Label32->text(), "Γ2=  ");
  EXPECT_EQ(page->E24Shunt->text(), "");

  QTest::mouseClick(page->RadioButton4, Qt::LeftButton);
  EXPECT_EQ(page->Label44->text(), Text(kTSchematic));
  EXPECT_TRUE(page->RadioButton4->isChecked());

  // Back by keyboard: the buttons are checked, nothing else changes.
  form.show();
  form.PageControl1->setCurrentWidget(page);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  page->Edit12->setText("4.7");
  page->RadioButton2->setFocus();
  QTest::keyClick(page->RadioButton2, Qt::Key_Left);
  page->RadioButton4->setFocus();
  QTest::keyClick(page->RadioButton4, Qt::Key_Up);
  EXPECT_TRUE(page->RadioButton1->isChecked());
  EXPECT_TRUE(page->RadioButton3->isChecked());
  EXPECT_EQ(page->Label33->text(), Text(kClSchematic));
  EXPECT_EQ(page->Label44->text(), Text(kTSchematic));
  EXPECT_EQ(page->Label27->text(), "pF");
  EXPECT_EQ(page->Edit12->text(), "4.7");

  // The next design follows the checked buttons: an LC network and a Pi pad.
  QTest::mouseClick(page->Button8, Qt::LeftButton);
  EXPECT_EQ(page->Label33->text(), Text(kLcSchematic));
  EXPECT_EQ(page->Label27->text(), "nH");
  EXPECT_EQ(page->Label30->text(), "pF");
  QTest::mouseClick(page->Button2, Qt::LeftButton);
  EXPECT_TRUE(page->Edit21->text().startsWith("789.77")) << page->Edit21->text().toStdString();
  EXPECT_EQ(page->Label44->text(), Text(kTSchematic));  // only a press redraws it
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(MatchPageTest, ButtonsShowWhatTheFormModelComputes) {
  Messages messages;
  MatchForm model(messages);
  model.FormCreate();

  // CL with the ports the other way round: the exchange message, the ports written back.
  QTest::mouseClick(page->RadioButton2, Qt::LeftButton);
  model.RadioButton2MouseDown();
  model.CheckTopology(LNetworkTopology::kCL);
  page->Edit11->setText("50");
  page->Edit14->setText("75");
  page->Edit24->setText("12.5");
  model.Edit11 = "50";
  model.Edit14 = "75";
  model.Edit24 = "12.5";

  QTest::mouseClick(page->Button8, Qt::LeftButton);
  model.Button8Click();
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox(kExchangeMessage)});
  EXPECT_EQ(messages.shown, std::vector<std::string>{kExchangeMessage});
  QTest::mouseClick(page->Button9, Qt::LeftButton);
  model.Button9Click();
  const MatchE24Texts e24 = model.E24Texts();
  ASSERT_FALSE(e24.gamma1.empty());

  const std::vector<std::pair<QWidget*, std::string>> shown = {
      {page->Edit11, model.Edit11},   {page->Edit23, model.Edit23},
      {page->Edit14, model.Edit14},   {page->Edit24, model.Edit24},
      {page->Edit12, model.Edit12},   {page->Label27, model.Label27},
      {page->Edit13, model.Edit13},   {page->Label30, model.Label30},
      {page->Label33, model.Label33}, {page->Label31, model.Label31},
      {page->Label32, model.Label32}, {page->Label53, model.Label53},
      {page->E24Shunt, e24.shunt},    {page->E24Series, e24.series},
      {page->E24Gamma1, e24.gamma1}};
  const auto text_of = [](QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
      return edit->text();
    return qobject_cast<QLabel*>(widget)->text();
  };
  for (const auto& [widget, text] : shown)
    EXPECT_EQ(text_of(widget), Text(text)) << widget->objectName().toStdString();
  EXPECT_EQ(page->Edit11->text(), "75");
  EXPECT_EQ(page->Edit14->text(), "50");
  ExpectNoOverlaps();  // the result texts and E24 parts take no described control's place

  // The arrow writes the load the network matches; the E24 reflection no longer applies.
  QTest::mouseClick(page->g2d, Qt::LeftButton);
  model.g2dClick();
  EXPECT_EQ(page->Edit14->text(), Text(model.Edit14));
  EXPECT_EQ(page->Edit24->text(), Text(model.Edit24));
  EXPECT_EQ(page->E24Gamma1->text(), "");

  // The pad: design, then analyse what was designed.
  QTest::mouseClick(page->Button2, Qt::LeftButton);
  QTest::mouseClick(page->Button3, Qt::LeftButton);
  model.Button2Click();
  model.Button3Click();
  EXPECT_EQ(page->Edit20->text(), Text(model.Edit20));
  EXPECT_EQ(page->Edit21->text(), Text(model.Edit21));
  EXPECT_EQ(page->Edit22->text(), Text(model.Edit22));
  EXPECT_EQ(page->Edit19->text(), Text(model.Edit19));
  EXPECT_EQ(page->Label52->text(), Text(model.Label52));
  EXPECT_TRUE(dialogs.boxes.empty());

  // Equal ports: a near-zero shunt capacitance in exponent form, shown whole, and its E24
  // part still in its own place.
  page->Edit11->setText("75");
  page->Edit23->setText("0");
  page->Edit14->setText("75");
  QTest::mouseClick(page->Button8, Qt::LeftButton);
  QTest::mouseClick(page->Button9, Qt::LeftButton);
  EXPECT_TRUE(page->Edit12->text().contains("E-")) << page->Edit12->text().toStdString();
  EXPECT_TRUE(page->E24Shunt->text().contains("E-")) << page->E24Shunt->text().toStdString();
  ExpectWhole(page->Edit12);
  ExpectNoOverlaps();
}

TEST_F(MatchPageTest, ErrorsShowTheBoxAndKeepWhatWasWrittenBefore) {
  QTest::mouseClick(page->Button8, Qt::LeftButton);
  QTest::mouseClick(page->Button9, Qt::LeftButton);
  const QString shunt = page->Edit12->text();
  const QString gamma1 = page->Label31->text();

  // A frequency that is no number: the click ends before anything is written.
  page->Edit11->setText("68");
  page->Edit15->setText("1.8e3x");
  QTest::mouseClick(page->Button8, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'1.8e3x' is not a valid floating point value.")});
  EXPECT_EQ(page->Edit12->text(), shunt);
  EXPECT_EQ(page->Edit11->text(), "68");  // what the user typed stays
  QTest::mouseClick(page->Button9, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'1.8e3x' is not a valid floating point value.")});
  EXPECT_EQ(page->Label31->text(), gamma1);

  // A zero frequency ends the design after the schematic was drawn.
  page->RadioButton2->setChecked(true);  // as keyboard selection does: the schematic stays LC
  page->Edit15->setText("0");
  QTest::mouseClick(page->Button8, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("Floating point division by zero.")});
  EXPECT_EQ(page->Label33->text(), Text(kClSchematic));
  EXPECT_EQ(page->Edit12->text(), shunt);

  // The pad's range messages are plain boxes; the resistors stay empty.
  page->Edit19->setText("0");
  QTest::mouseClick(page->Button2, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox("A should great than 0 dB")});
  EXPECT_EQ(page->Edit21->text(), "");
}

}  // namespace
}  // namespace vexa
