// The main window: tabs, the GSM view switch, the clock, the layout rule.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/clock.h"
#include "core/convert.h"
#include "gsm/arfcn_page.h"
#include "instrument/pages/dcsource_page.h"
#include "instrument/pages/testset_page.h"
#include "support/dialog_recorder.h"
#include "support/wait_for.h"

namespace vexa {
namespace {

QStringList VisibleTabs(const QTabWidget* tabs) {
  QStringList captions;
  for (int i = 0; i < tabs->count(); ++i) {
    if (tabs->isTabVisible(i))
      captions << tabs->tabText(i);
  }
  return captions;
}

class MainWindowTest : public ::testing::Test {
 protected:
  // Picks view `item` in the selector of view `selector`, as a user does in its list.
  void Pick(int selector, int item) {
    QComboBox* box = form.GsmViewSelectors[selector];
    box->setCurrentIndex(item);
    emit box->activated(item);
  }
  QWidget* Current() { return form.PageControl1->currentWidget(); }

  testing::DialogRecorder dialogs;
  TForm1 form;
};

TEST_F(MainWindowTest, StartsOnThe8960PageWithTheTenTabs) {
  EXPECT_EQ(form.windowTitle(), "VEXA 2.02");
  EXPECT_EQ(form.size(), QSize(602, 384));
  EXPECT_EQ(form.PageControl1->count(), 14);
  EXPECT_EQ(VisibleTabs(form.PageControl1),
            (QStringList{"GSM", "TRANS", "RX", "MATCH", "FILTER", "SMITH", "PLL", "8960", "66319",
                         "ABOUT"}));
  EXPECT_EQ(Current()->objectName(), "TabSheet13");
  const QStringList order = {"TabSheet1",  "TabSheet3",  "TabSheet4",  "TabSheet5", "TabSheet7",
                             "TabSheet2",  "TabSheet6",  "TabSheet8",  "TabSheet9", "TabSheet10",
                             "TabSheet12", "TabSheet13", "TabSheet14", "TabSheet11"};
  for (int i = 0; i < order.size(); ++i) {
    EXPECT_EQ(form.PageControl1->widget(i)->objectName(), order[i]);
  }
  EXPECT_TRUE(form.Timer1->isActive());
  EXPECT_EQ(form.Timer1->interval(), 1000);
  EXPECT_FALSE(form.Label22->text().isEmpty());
  EXPECT_TRUE(form.findChild<QComboBox*>("ComboBox7") != nullptr);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(MainWindowTest, SelectorsSwitchAmongTheFiveViewsKeepingOneGsmTab) {
  const QStringList items = {"ARFCN", "PCL", "PVT", "ORFS", "SPUR"};
  for (int view = 0; view < 5; ++view) {
    QComboBox* box = form.GsmViewSelectors[view];
    EXPECT_FALSE(box->isEditable());
    EXPECT_EQ(box->currentText(), items[view]);
    EXPECT_EQ(box->geometry().topLeft(), QPoint(504, 264));
    EXPECT_EQ(box->width(), 65);
  }
  Pick(0, 4);  // SPUR from the ARFCN view
  EXPECT_EQ(Current()->objectName(), "TabSheet7");
  EXPECT_EQ(form.GsmViewSelectors[4]->currentText(), "SPUR");
  EXPECT_EQ(VisibleTabs(form.PageControl1).count("GSM"), 1);
  EXPECT_FALSE(form.PageControl1->isTabVisible(0));
  Pick(4, 2);  // PVT from SPUR
  EXPECT_EQ(Current()->objectName(), "TabSheet4");
  EXPECT_EQ(form.GsmViewSelectors[2]->currentText(), "PVT");
  Pick(2, 0);  // back to the calculator
  EXPECT_EQ(Current()->objectName(), "TabSheet1");
  EXPECT_EQ(form.GsmViewSelectors[0]->currentText(), "ARFCN");
  EXPECT_EQ(VisibleTabs(form.PageControl1).first(), "GSM");
  EXPECT_EQ(VisibleTabs(form.PageControl1).count(), 10);
}

TEST_F(MainWindowTest, PickingTheShownViewKeepsItActiveAndVisible) {
  Pick(0, 3);
  Pick(3, 3);
  EXPECT_EQ(Current()->objectName(), "TabSheet5");
  EXPECT_TRUE(form.PageControl1->isTabVisible(3));
  EXPECT_EQ(VisibleTabs(form.PageControl1).count("GSM"), 1);
}

TEST_F(MainWindowTest, KeyboardChoiceInASelectorSwitchesTheView) {
  form.PageControl1->setCurrentIndex(0);
  QTest::keyClick(form.GsmViewSelectors[0], Qt::Key_Down);
  EXPECT_EQ(Current()->objectName(), "TabSheet3");
  EXPECT_EQ(form.GsmViewSelectors[1]->currentText(), "PCL");
  EXPECT_EQ(form.GsmViewSelectors[0]->currentText(), "PCL");  // stays on the hidden sheet
}

TEST_F(MainWindowTest, SheetsAreTheDesignWidthAndTheSelectorsFollowTheWindowCorner) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  // At the design size every sheet measures 594 wide, the width the layout rules are
  // written against, and the selectors stand at their design place.
  for (QWidget* sheet : {form.PageControl1->currentWidget(), form.PageControl1->widget(13)}) {
    form.PageControl1->setCurrentWidget(sheet);
    EXPECT_EQ(sheet->width(), 594) << sheet->objectName().toStdString();
  }
  const QSize corner_distance(form.width() - form.GsmViewSelectors[0]->x(),
                              form.height() - form.GsmViewSelectors[0]->y());
  EXPECT_EQ(form.GsmViewSelectors[0]->pos(), QPoint(504, 264));

  form.showMaximized();
  ASSERT_TRUE(testing::WaitFor([&] { return form.width() > 602; }));
  for (QComboBox* box : form.GsmViewSelectors) {
    EXPECT_EQ(form.width() - box->x(), corner_distance.width());
    EXPECT_EQ(form.height() - box->y(), corner_distance.height());
  }
  EXPECT_EQ(form.PageControl1->size(), form.size());
  EXPECT_EQ(form.PageControl1->currentWidget()->width(), form.width() - 8);  // sheets widen too
  form.showNormal();
  ASSERT_TRUE(testing::WaitFor([&] { return form.size() == QSize(602, 384); }))
      << QDebug::toString(form.size()).toStdString();
  EXPECT_EQ(form.GsmViewSelectors[2]->pos(), QPoint(504, 264));
}

TEST_F(MainWindowTest, ADraggedSizeSnapsBackToTheDesignSize) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.resize(700, 500);
  ASSERT_TRUE(testing::WaitFor([&] { return form.size() == QSize(602, 384); }))
      << QDebug::toString(form.size()).toStdString();
}

// Stands in for a tiling window manager (or a screen smaller than the window): whenever the
// window takes another size than its tile, it is put back into the tile.
class TilingWindowManager : public QObject {
 public:
  TilingWindowManager(QWidget* window, QSize tile) : window_(window), tile_(tile) {
    window->installEventFilter(this);
  }
  int design_size_requests = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize && window_->size() != tile_) {
      ++design_size_requests;
      QTimer::singleShot(0, window_, [this] { window_->resize(tile_); });
    }
    return false;
  }

 private:
  QWidget* window_;
  QSize tile_;
};

TEST_F(MainWindowTest, AWindowManagerThatKeepsItsOwnSizeWins) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  TilingWindowManager tiler(&form, QSize(700, 500));
  form.resize(700, 500);
  QTest::qWait(300);  // a window fighting its window manager would resize all the while
  EXPECT_EQ(form.size(), QSize(700, 500));
  EXPECT_LE(tiler.design_size_requests, 1);
  EXPECT_EQ(form.TabSheet13->width(), 700 - 8);  // and the pages follow the kept size
}

TEST_F(MainWindowTest, TheClockTicks) {
  form.Label22->setText("stale");
  form.Timer1->setInterval(5);  // the tick's period is checked at start-up; here its effect
  ASSERT_TRUE(testing::WaitFor([&] { return form.Label22->text() != "stale"; }));
  EXPECT_EQ(form.Label22->text(), ClockText(QDateTime::currentDateTime()));
}

// main() builds only the page the window opens on before the window's first paint, and the
// rest right after it; the window is then the one the constructor builds whole.
TEST(MainWindowVisibleFirst, BuildsTheOtherPagesAfterTheFirstPaint) {
  testing::DialogRecorder dialogs;
  TForm1 whole;
  TForm1 form(nullptr, TForm1::PageBuild::kVisibleFirst);
  EXPECT_EQ(form.TabSheet1, nullptr);
  EXPECT_EQ(VisibleTabs(form.PageControl1), VisibleTabs(whole.PageControl1));
  EXPECT_EQ(form.PageControl1->currentWidget()->objectName(), "TabSheet13");
  form.show();
  ASSERT_TRUE(testing::WaitFor([&] { return form.TabSheet1 != nullptr; }));
  ASSERT_EQ(form.PageControl1->count(), whole.PageControl1->count());
  for (int i = 0; i < whole.PageControl1->count(); ++i) {
    EXPECT_EQ(form.PageControl1->widget(i)->objectName(),
              whole.PageControl1->widget(i)->objectName());
    EXPECT_EQ(form.PageControl1->tabText(i), whole.PageControl1->tabText(i));
    EXPECT_EQ(form.PageControl1->isTabVisible(i), whole.PageControl1->isTabVisible(i));
  }
  EXPECT_EQ(form.PageControl1->currentWidget()->objectName(), "TabSheet13");
  EXPECT_EQ(form.focusWidget(), static_cast<QWidget*>(form.TabSheet13->Memo4));
  EXPECT_EQ(form.TabSheet1->Label39->text(), whole.TabSheet1->Label39->text());
  EXPECT_FALSE(form.Label22->text().isEmpty());
  EXPECT_TRUE(form.Timer1->isActive());
  EXPECT_EQ(form.TabSheet14->Memo5->geometry(), whole.TabSheet14->Memo5->geometry());
  EXPECT_EQ(form.TabSheet14->Edit29->geometry(), whole.TabSheet14->Edit29->geometry());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST(ClockText, ShortDateBlankLongTimeAndNoTimeAtMidnight) {
  const QLocale c(QLocale::C);
  const QDate day(2026, 12, 9);
  const QString date = c.toString(day, QLocale::ShortFormat);
  EXPECT_EQ(ClockText(QDateTime(day, QTime(0, 0)), c), date);
  EXPECT_EQ(ClockText(QDateTime(day, QTime(14, 5, 9)), c), date + " 14:05:09");
  EXPECT_EQ(ClockText(QDateTime(day, QTime(0, 0, 1)), c), date + " 00:00:01");
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(ClockText(QDateTime(day, QTime(14, 5, 9)), us), "12/9/26 2:05:09 PM");
}

TEST(RegionalSeparator, ALocaleWhoseSeparatorIsNotOneCharacterGetsThePoint) {
  for (const QLocale& locale :
       {QLocale(QLocale::Arabic, QLocale::Egypt), QLocale(QLocale::Persian, QLocale::Iran)}) {
    const char separator = DecimalSeparatorFor(locale.decimalPoint().toStdString());
    EXPECT_EQ(separator, '.') << locale.name().toStdString();
  }
  EXPECT_EQ(DecimalSeparatorFor(QLocale(QLocale::German).decimalPoint().toStdString()), ',');
}

}  // namespace
}  // namespace vexa
