// The PVT view of the GSM tab on the real widgets of the main window.
#include "gsm/pvt_page.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <utility>

#include "app/main_window.h"

namespace vexa {
namespace {

TEST(PvtPageTest, NotesAndTheSwitchBetweenTheTwoMasks) {
  TForm1 form;
  PvtPage* page = form.TabSheet4;
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->Image1->geometry(), QRect(0, 0, 500, 293));
  EXPECT_EQ(page->Image2->geometry(), QRect(0, 0, 500, 293));
  EXPECT_FALSE(page->Image1->isHidden());
  EXPECT_TRUE(page->Image2->isHidden());
  EXPECT_EQ(page->Label16->pos(), QPoint(0, 296));
  EXPECT_EQ(page->Label17->pos(), QPoint(0, 312));
  EXPECT_EQ(page->Label18->pos(), QPoint(0, 340));
  EXPECT_EQ(page->Label40->pos(), QPoint(360, 296));
  EXPECT_EQ(page->Label17->width(), 352);
  EXPECT_EQ(page->Label40->width(), 232);
  EXPECT_EQ(page->Label16->text(), "(*)      GSM MAX(-59dBc,-54dBm)*;  DCS/PCS MAX(-48dBc,-48dBm)");
  EXPECT_EQ(page->Label40->text(),
            "*except for the time slot preceding the active slot,  which MAX(-59dBc,-36dBm)");
  EXPECT_EQ(page->Label41->pos(), QPoint(502, 8));
  EXPECT_EQ(page->Label41->cursor().shape(), Qt::PointingHandCursor);

  const char* const captions[] = {"<---Clk to 8PSK", "<---Clk to GMSK", "<---Clk to 8PSK"};
  for (int click = 0; click < 3; ++click) {
    EXPECT_EQ(page->Label41->text(), captions[click]) << click;
    EXPECT_EQ(page->Image2->isHidden(), click % 2 == 0) << click;
    EXPECT_EQ(page->Image1->isHidden(), click % 2 == 1) << click;
    QTest::mouseClick(page->Label41, Qt::LeftButton);
  }
}

// The masks are drawn at any size: the upper limit's red and the lower limit's blue appear.
TEST(PvtPageTest, MasksAreDrawnAtAnySize) {
  for (const PvtMask* mask : {&GmskPvtMask(), &EightPskPvtMask()}) {
    for (const QSize size : {QSize(500, 293), QSize(1000, 586)}) {
      PvtMaskPicture picture(*mask);
      picture.resize(size);
      const QImage image = picture.grab().toImage();
      int red = 0;
      int blue = 0;
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          const QColor color = image.pixelColor(x, y);
          red += color.red() > 150 && color.green() < 60 && color.blue() < 60;
          blue += color.blue() > 150 && color.red() < 60;
        }
      }
      EXPECT_GT(red, size.width()) << size.width();
      EXPECT_GT(blue, size.width() / 3) << size.width();

      // The middle of every level segment lies on its line: red for the upper limit, blue
      // for the lower one (within a pixel, for the anti-aliased edge).
      const PvtMaskFrame frame = MaskFrame(size, QFontMetrics(picture.font()));
      const auto on_line = [&image](MaskPoint at, bool want_red) {
        for (int dy = -1; dy <= 1; ++dy) {
          const QColor c = image.pixelColor(static_cast<int>(at.x), static_cast<int>(at.y) + dy);
          if (want_red ? c.red() > 150 && c.green() < 90 && c.blue() < 90
                       : c.blue() > 150 && c.red() < 90)
            return true;
        }
        return false;
      };
      for (const auto& [steps, red_line] :
           {std::pair{&mask->upper, true}, std::pair{&mask->lower, false}}) {
        for (const MaskStep& step : *steps) {
          if (step.level < -50)
            continue;  // the floor runs along the time axis' edge
          const MaskPoint middle = frame.At((step.from + step.to) / 2, step.level);
          EXPECT_TRUE(on_line(middle, red_line))
              << size.width() << ": " << step.from << ".." << step.to << " at " << step.level
              << " dB, pixel " << middle.x << "," << middle.y;
        }
      }
    }
  }
  // The useful part lasts 147 bits of 48/13 µs; both limits keep to it.
  EXPECT_DOUBLE_EQ(kUsefulPartUs, 147 * 48.0 / 13.0);
  EXPECT_DOUBLE_EQ(GmskPvtMask().lower.front().to, kUsefulPartUs);
  EXPECT_DOUBLE_EQ(EightPskPvtMask().lower.back().to, kUsefulPartUs);
}

}  // namespace
}  // namespace vexa
