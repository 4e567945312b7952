// The SMITH page on the real widgets of the main window.
#include "matching/smith_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "core/form_messages.h"
#include "support/dialog_recorder.h"
#include "support/hostile_paths.h"

namespace vexa {
namespace {

using testing::Boxes;
using testing::DialogRecorder;
using testing::ErrorBox;
using testing::MessageBox;

class SmithPageTest : public ::testing::Test {
 protected:
  SmithPageTest() : page(form.TabSheet10) {
    form.PageControl1->setCurrentWidget(page);
    form.show();
    QApplication::processEvents();
  }

  void Enter(QLineEdit* r_or_x, const char* r, const char* x) {
    page->LabeledEdit10->setText(QString::fromLatin1(r));
    page->LabeledEdit11->setText(QString::fromLatin1(x));
    QTest::keyClick(r_or_x, Qt::Key_Return);
  }
  QPoint Marker() const { return page->Image3->Marker()->pos(); }
  // The pointer moved over the chart (with or without a button held).
  void Move(QPoint at, Qt::MouseButtons held = Qt::NoButton) {
    QMouseEvent event(QEvent::MouseMove, at, page->Image3->mapToGlobal(at), Qt::NoButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(page->Image3, &event);
  }
  // The page must show exactly what a form model given the same events holds.
  void ExpectShows(const SmithForm& expected) {
    EXPECT_EQ(page->LabeledEdit10->text().toStdString(), expected.LabeledEdit10);
    EXPECT_EQ(page->LabeledEdit11->text().toStdString(), expected.LabeledEdit11);
    EXPECT_EQ(page->Label55->text().toStdString(), expected.Label55);
    EXPECT_EQ(page->Label64->text().toStdString(), expected.Label64);
    EXPECT_EQ(page->Label56->text().toStdString(), expected.Label56);
    EXPECT_EQ(page->Label57->text().toStdString(), expected.Label57);
    EXPECT_EQ(page->Label58->text().toStdString(), expected.Label58);
    EXPECT_EQ(page->Label59->text().toStdString(), expected.Label59);
    EXPECT_EQ(page->Label60->text().toStdString(), expected.Label60);
    EXPECT_EQ(page->ScrollBar6->value(), expected.ScrollPosition);
    EXPECT_EQ(Marker(), QPoint(expected.MarkerLeft, expected.MarkerTop));
  }

  DialogRecorder dialogs;
  TForm1 form;
  SmithPage* page;
};

TEST_F(SmithPageTest, StartUpShowsEveryControlAndTheGrid) {
  EXPECT_EQ(page->objectName(), "TabSheet10");
  EXPECT_EQ(page->Image3->geometry(), QRect(0, 0, 352, 352));
  EXPECT_EQ(page->Image3->Marker()->objectName(), "Shape1");
  EXPECT_EQ(page->Image3->Marker()->geometry(), QRect(174, 174, 4, 4));
  EXPECT_EQ(page->LabeledEdit10->EditLabel()->text(), "R");
  EXPECT_EQ(page->LabeledEdit11->EditLabel()->text(), "+j X");
  EXPECT_EQ(page->LabeledEdit12->EditLabel()->text(), "Freq  MHz  C/L  pF/nH");
  EXPECT_EQ(page->LabeledEdit12->text(), "1800");
  EXPECT_EQ(page->Label55->text(), "Red=50+j(0)");
  EXPECT_EQ(page->Label55->size(), QSize(233, 33));
  EXPECT_EQ(page->Label56->text(), "RCL");
  EXPECT_EQ(page->Label64->text(), QString::fromUtf8("Γ="));
  EXPECT_EQ(page->ScrollBar6->orientation(), Qt::Vertical);
  EXPECT_EQ(page->ScrollBar6->minimum(), 0);
  EXPECT_EQ(page->ScrollBar6->maximum(), 3600);
  EXPECT_EQ(page->ScrollBar6->value(), 0);

  // The grid, drawn once by the window's creation: black on the three circles, the real axis,
  // the arcs' end points and the centre dot; transparent outside the chart.
  const QImage& image = page->Image3->Image();
  const auto black = [&image](int x, int y) {
    for (int dx = -1; dx <= 1; ++dx) {
      for (int dy = -1; dy <= 1; ++dy) {
        if (image.pixelColor(x + dx, y + dy) == QColor(Qt::black))
          return true;
      }
    }
    return false;
  };
  const std::vector<QPoint> on_grid = {
      {176, 0},
      {0, 176},
      {176, 351},
      {117, 176},
      {234, 176},
      {300, 176},
      {264, 23},
      {88, 23},
      {264, 328},
      {88, 328},
      {176, 176},
      {280, 146},
      {280, 206},  // on the x = ±√3
                   // arcs, inside the
                   // chart
      {200, 135},
      {200, 217},  // on the x = ±1/√3 arcs
  };
  for (const QPoint& point : on_grid)
    EXPECT_TRUE(black(point.x(), point.y())) << point.x() << "," << point.y();
  EXPECT_EQ(image.pixelColor(2, 2).alpha(), 0);
  EXPECT_EQ(image.pixelColor(60, 120), QColor(Qt::white));

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

// Hover, press, drag and release with the real mouse, Enter in the fields, the bar moved by
// the user: the page shows what the form model holds after the same events.
TEST_F(SmithPageTest, MouseEnterAndScrollBarDriveTheSameModel) {
  SmithForm expected;
  Move(QPoint(176, 0));
  expected.Image3MouseMove(176, 0);
  ExpectShows(expected);
  EXPECT_EQ(page->LabeledEdit11->text(), "50");

  QTest::mousePress(page->Image3, Qt::LeftButton, Qt::NoModifier, QPoint(176, 0));
  expected.Image3MouseDown(176, 0);
  EXPECT_EQ(page->ScrollBar6->value(), 900);
  Move(QPoint(100, 260), Qt::LeftButton);
  expected.Image3MouseMove(100, 260);
  QTest::mouseRelease(page->Image3, Qt::LeftButton, Qt::NoModifier, QPoint(100, 260));
  expected.Image3MouseUp();
  ExpectShows(expected);
  EXPECT_GT(page->ScrollBar6->value(), 1800);
  EXPECT_FALSE(page->Form().state.dragging);

  Enter(page->LabeledEdit11, "100", "0");
  expected.LabeledEdit10 = "100";
  expected.LabeledEdit11 = "0";
  expected.LabeledEdit11KeyDown(kEnterKey);
  ExpectShows(expected);
  EXPECT_EQ(Marker(), QPoint(232, 174));
  EXPECT_EQ(page->Label60->text(), "L2=INF");

  page->ScrollBar6->setValue(1800);  // as the user's drag of the bar does
  expected.SetScrollPosition(1800);
  ExpectShows(expected);
  EXPECT_LT(Marker().x(), 174);
}

TEST_F(SmithPageTest, ErrorsLeaveTheMarkerWhereItWas) {
  Enter(page->LabeledEdit10, "100", "0");
  const QPoint marker = Marker();
  Enter(page->LabeledEdit10, "1OO", "0");
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'1OO' is not a valid floating point value.")});
  Enter(page->LabeledEdit10, "-50", "0");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.Take().front().kind, testing::RecordedBox::kError);
  EXPECT_EQ(Marker(), marker);
}

// Zoomed in, the mouse still reports the image pixel under it and the marker stays on its
// pixel; the reset shows the whole chart again.
TEST_F(SmithPageTest, ZoomKeepsThePixelsTheModelWorksWith) {
  SmithChart* chart = page->Image3;
  chart->ZoomAt(QPointF(176, 176), 2);
  EXPECT_DOUBLE_EQ(chart->Zoom(), 2);
  EXPECT_EQ(chart->ToImage(QPointF(176, 0)), QPointF(176, 88));
  Move(QPoint(176, 0));
  SmithForm expected;
  expected.Image3MouseMove(176, 88);
  EXPECT_EQ(page->LabeledEdit11->text().toStdString(), expected.LabeledEdit11);

  QTest::mousePress(chart, Qt::LeftButton, Qt::NoModifier, QPoint(276, 176));
  QTest::mouseRelease(chart, Qt::LeftButton, Qt::NoModifier, QPoint(276, 176));
  EXPECT_EQ(page->Form().MarkerLeft, 224);  // image pixel 226 − 2
  EXPECT_EQ(chart->Marker()->pos(), QPoint(274, 174));

  QWheelEvent wheel(QPointF(176, 176), chart->mapToGlobal(QPointF(176, 176)), QPoint(),
                    QPoint(0, -120 * 8), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(chart, &wheel);
  EXPECT_DOUBLE_EQ(chart->Zoom(), 1);
  QTest::mouseClick(page->ResetZoomButton, Qt::LeftButton);
  EXPECT_EQ(chart->Marker()->pos(), QPoint(224, 174));
}

TEST_F(SmithPageTest, TouchstoneTraceWithSliderReadoutAndABrokenFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString good = dir.filePath(QStringLiteral("antenna.s1p"));
  std::ofstream(good.toStdString()) << "! antenna\n# MHz S RI R 50\n"
                                       "900 0 0\n"
                                       "1800 0.333333333333333333 0\n"
                                       "1900 -1 0\n";
  ASSERT_TRUE(page->OpenTouchstone(good));
  EXPECT_TRUE(page->Image3->HasTrace());
  EXPECT_EQ(page->TraceSlider->maximum(), 2);
  EXPECT_TRUE(page->TraceSlider->isEnabled());
  EXPECT_EQ(page->TraceReadout->text(), QString::fromUtf8("900 MHz: 50 + j0 Ω\n|Γ| 0  VSWR 1"));
  page->TraceSlider->setValue(1);
  EXPECT_EQ(page->TraceReadout->text(),
            QString::fromUtf8("1800 MHz: 100 + j0 Ω\n|Γ| 0.333333  VSWR 2"));

  // A broken file is refused with its line and the trace stays.
  const QString broken = dir.filePath(QStringLiteral("broken.s1p"));
  std::ofstream(broken.toStdString()) << "# MHz S RI R 50\n900 0 0\n1800 0.5\n";
  EXPECT_FALSE(page->OpenTouchstone(broken));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_TRUE(dialogs.boxes.front().text.startsWith(QStringLiteral("broken.s1p: line 3:")))
      << dialogs.boxes.front().text.toStdString();
  EXPECT_EQ(page->TraceSlider->maximum(), 2);

  // The tools: the VSWR circle and the picture.
  QTest::mouseClick(page->VswrCircleBox, Qt::LeftButton);
  EXPECT_TRUE(page->Image3->VswrCircle());
  dialogs.Take();
  dialogs.file_names = {dir.filePath(QStringLiteral("chart"))};
  QTest::mouseClick(page->SavePngButton, Qt::LeftButton);
  EXPECT_EQ(QImage(dir.filePath(QStringLiteral("chart.png"))).size(), QSize(352, 352));
  EXPECT_TRUE(dialogs.boxes.empty());
}

// "Touchstone..." on a FIFO that no one writes or on a folder: one message at once, and the
// chart keeps no trace.
TEST_F(SmithPageTest, TouchstoneRefusesPathsThatAreNoOrdinaryFile) {
  testing::HostilePaths paths;
  ASSERT_TRUE(paths.ok());
  for (const auto& [path, reason] :
       {std::pair{paths.Fifo(".s1p"), "is not a regular file"},
        std::pair{paths.Folder(".s2p"), "is a directory"},
        std::pair{paths.Utf16(".s1p", "900 0 0\n"), "is UTF-16 text; it must be saved as UTF-8"}}) {
    SCOPED_TRACE(path);
    dialogs.file_names = {QString::fromStdString(path)};
    QTest::mouseClick(page->TouchstoneButton, Qt::LeftButton);
    const QString name = QFileInfo(QString::fromStdString(path)).fileName();
    EXPECT_EQ(
        dialogs.Take(),
        Boxes{MessageBox(
            QStringLiteral("%1: \"%2\" %3").arg(name, QString::fromStdString(path), reason))});
    EXPECT_FALSE(page->Image3->HasTrace());
  }
}

}  // namespace
}  // namespace vexa
