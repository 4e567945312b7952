// The About page: captions, the mail link, the one-way skin switch.
#include "app/about_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QTest>

#include "app/main_window.h"
#include "support/dialog_recorder.h"
#include "support/mouse.h"
#include "ui/skin.h"

namespace vexa {
namespace {

class AboutPageTest : public ::testing::Test {
 protected:
  AboutPageTest() : about(form.TabSheet11) {
    about->SetUrlOpener([this](const QUrl& url) { opened << url; });
  }
  bool SkinShown() const { return QApplication::style()->objectName() == "(Good)"; }

  testing::DialogRecorder dialogs;
  TForm1 form;
  AboutPage* about;
  QList<QUrl> opened;
};

TEST_F(AboutPageTest, CaptionsAndPicturesAtTheirPlaces) {
  EXPECT_EQ(about->Label54->text(), "If no longer own, what can do is let self never forget. ");
  EXPECT_TRUE(about->Label73->text().startsWith("My Maker and yours, who will never destroy"));
  EXPECT_TRUE(about->Label73->text().contains("reveal him to me.\n\nI am sure there is"));
  EXPECT_TRUE(about->Label73->text().endsWith("I believe he loves me."));
  EXPECT_EQ(about->Image4->geometry(), QRect(0, 0, 126, 188));
  EXPECT_EQ(about->Image5->geometry(), QRect(344, 200, 145, 150));
  EXPECT_EQ(about->Label54->geometry(), QRect(144, 8, 145, 97));
  EXPECT_EQ(about->Label73->geometry(), QRect(8, 200, 297, 145));
  // The pictures are drawn when the page is first shown.
  EXPECT_TRUE(about->Image4->pixmap().isNull());
  form.PageControl1->setCurrentWidget(about);
  form.show();
  EXPECT_EQ(about->Image4->pixmap().size(), QSize(126, 188));
  EXPECT_EQ(about->Image5->pixmap().size(), QSize(145, 150));
  EXPECT_EQ(about->Image4->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(about->Label54->palette().color(QPalette::WindowText), QColor(0x80, 0, 0));
}

TEST_F(AboutPageTest, DoubleClickBeforeTheMailLinkChangesNothing) {
  ASSERT_TRUE(SkinShown());
  QTest::mouseDClick(about->Image5, Qt::LeftButton);
  EXPECT_EQ(about->Label54->text(), "If no longer own, what can do is let self never forget. ");
  EXPECT_TRUE(form.SkinData1->Active());
  EXPECT_TRUE(SkinShown());
  EXPECT_TRUE(opened.isEmpty());
}

TEST_F(AboutPageTest, ADoubleClickOnTheMailPictureOpensTheLinkOnce) {
  form.PageControl1->setCurrentWidget(about);
  ASSERT_TRUE(testing::DoubleClickThroughTheWindow(about->Image4));
  EXPECT_EQ(opened.size(), 1);
  QTest::mouseClick(about->Image4, Qt::LeftButton);  // a later single click is a click again
  EXPECT_EQ(opened.size(), 2);
}

TEST_F(AboutPageTest, MailLinkThenDoubleClickSwitchesTheSkinOffForGood) {
  QTest::mouseClick(about->Image4, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened.front().scheme(), "mailto");
  EXPECT_TRUE(about->MailLinkOpened());

  QTest::mouseDClick(about->Image5, Qt::LeftButton);
  const QString fish = about->Label54->text();
  EXPECT_EQ(fish.size(), 54);
  EXPECT_TRUE(fish.startsWith(QString::fromUtf8("僅以此記念曾經愛過的魚。")));
  EXPECT_FALSE(form.SkinData1->Active());
  EXPECT_FALSE(SkinShown());

  QTest::mouseDClick(about->Image5, Qt::LeftButton);  // the same state again
  EXPECT_EQ(about->Label54->text(), fish);
  EXPECT_FALSE(SkinShown());
  EXPECT_TRUE(dialogs.boxes.empty());

  form.SkinData1->SetActive(true);  // leave the skin on for the tests that follow
}

}  // namespace
}  // namespace vexa
