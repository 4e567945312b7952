// The PCL, ORFS and SPUR views of the GSM tab on the real widgets of the main window.
#include "gsm/reference_pages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include "app/main_window.h"
#include "gsm/reference_texts.h"

namespace vexa {
namespace {

TEST(ReferencePagesTest, MemosShowTheTextsReadOnlyInTheirFonts) {
  TForm1 form;
  const struct {
    MemoViewPage* page;
    const char* memo;
    const std::vector<std::string>* lines;
    int point_size;
    bool underline;
  } views[] = {{form.TabSheet3, "Memo1", &PclMemoLines(), 10, true},
               {form.TabSheet5, "Memo2", &OrfsMemoLines(), 10, true},
               {form.TabSheet7, "Memo3", &SpurMemoLines(), 9, false}};
  for (const auto& view : views) {
    SCOPED_TRACE(view.memo);
    QPlainTextEdit* memo = view.page->Memo;
    EXPECT_EQ(memo->objectName(), view.memo);
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->font().pointSize(), view.point_size);
    EXPECT_EQ(memo->font().underline(), view.underline);
    EXPECT_TRUE(QFontInfo(memo->font()).fixedPitch());
    ASSERT_EQ(memo->document()->blockCount(), static_cast<int>(view.lines->size()));
    for (int i = 0; i < memo->document()->blockCount(); ++i)
      ASSERT_EQ(memo->document()->findBlockByNumber(i).text().toStdString(), (*view.lines)[i]) << i;
    // The width follows the sheet: 489 at the design size.
    view.page->Relayout(594, 356);
    EXPECT_EQ(memo->geometry(), QRect(0, 0, 489, 356));
    view.page->Relayout(800, 500);
    EXPECT_EQ(memo->width(), 695);
  }
  form.TabSheet5->Relayout(800, 500);
  EXPECT_EQ(form.TabSheet5->Label42->x(), 708);
}

// The switch brings "8PSK" (line 124) into view and back to "GMSK", even after the user has
// scrolled elsewhere. A plain-text memo scrolls by lines: the bar's value is the first line shown.
TEST(ReferencePagesTest, TheOrfsSwitchScrollsBetweenTheHalves) {
  TForm1 form;
  OrfsPage* page = form.TabSheet5;
  form.PageControl1->setTabVisible(form.PageControl1->indexOf(page), true);
  form.PageControl1->setCurrentWidget(page);
  form.show();
  QApplication::processEvents();
  QPlainTextEdit* memo = page->Memo;
  const auto visible = [memo](int line) {
    const QTextCursor at(memo->document()->findBlockByNumber(line));
    return memo->viewport()->rect().contains(memo->cursorRect(at));
  };
  EXPECT_EQ(page->Label42->text(), "<---Clk to 8PSK");
  EXPECT_EQ(memo->verticalScrollBar()->value(), 0);
  QTest::mouseClick(page->Label42, Qt::LeftButton);
  EXPECT_EQ(page->Label42->text(), "<---Clk to GMSK");
  EXPECT_EQ(memo->textCursor().selectedText(), "8PSK");
  EXPECT_GT(memo->verticalScrollBar()->value(), 100);
  EXPECT_TRUE(visible(kOrfs8pskLine));
  memo->verticalScrollBar()->setValue(60);
  QTest::mouseClick(page->Label42, Qt::LeftButton);
  EXPECT_EQ(page->Label42->text(), "<---Clk to 8PSK");
  EXPECT_EQ(memo->verticalScrollBar()->value(), 0);
  EXPECT_EQ(memo->textCursor().selectedText(), "GMSK");
}

}  // namespace
}  // namespace vexa
