// The design pages' chart view: readout, zoom and the context menu, on a chart of its own.
#include "design/design_chart_view.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>
#include <memory>

#include "support/dialog_recorder.h"
#include "support/text_files.h"

namespace vexa {
namespace {

using testing::DialogRecorder;

class DesignChartViewTest : public ::testing::Test {
 protected:
  DesignChartViewTest() {
    chart = new QChart;
    series = new QLineSeries;
    series->append({{0, 0}, {50, 20}, {100, 10}});
    chart->addSeries(series);
    x_axis = new QValueAxis;
    y_axis = new QValueAxis;
    chart->addAxis(x_axis, Qt::AlignBottom);
    chart->addAxis(y_axis, Qt::AlignLeft);
    series->attachAxis(x_axis);
    series->attachAxis(y_axis);
    x_axis->setRange(0, 100);
    y_axis->setRange(0, 20);
    view = std::make_unique<DesignChartView>(chart, QStringLiteral("test"));
    view->SetCsvSource([] { return std::string("1,2\n3,4\n"); });
    view->SetReadoutUnits(QStringLiteral("MHz"), QStringLiteral("dB"));
    view->resize(500, 400);
    view->show();
    QApplication::processEvents();
  }

  // A point of the plot in the view's coordinates.
  QPoint At(double x, double y) {
    return view->mapFromScene(chart->mapToScene(chart->mapToPosition({x, y}, series)));
  }

  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &event);
  }

  QAction* Action(QMenu* menu, const char* name) {
    QAction* action = menu->findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(action, nullptr) << name;
    return action;
  }

  DialogRecorder dialogs;
  QChart* chart;
  QLineSeries* series;
  QValueAxis* x_axis;
  QValueAxis* y_axis;
  std::unique_ptr<DesignChartView> view;
};

TEST_F(DesignChartViewTest, ReadoutShowsTheValueUnderThePointerInsideThePlotOnly) {
  const QPoint at = At(40, 5);
  Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
  const QPointF value = chart->mapToValue(chart->mapFromScene(view->mapToScene(at)), series);
  EXPECT_EQ(view->ReadoutText(), ReadoutNumber(value.x()) + QStringLiteral(" MHz, ") +
                                     ReadoutNumber(value.y()) + QStringLiteral(" dB"));
  EXPECT_NEAR(value.x(), 40, 0.5);
  EXPECT_NEAR(value.y(), 5, 0.2);
  EXPECT_TRUE(view->rect().contains(view->Readout()->geometry()));

  Mouse(QEvent::MouseMove, QPoint(2, 2), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view->ReadoutText(), QString());
  EXPECT_EQ(ReadoutNumber(0.000123456789), "0.000123457");
  EXPECT_EQ(ReadoutNumber(958.2), "958.2");
}

// The wheel zooms around the pointer; a rubber band zooms to its rectangle; the right button
// leaves the zoom alone and the menu's reset undoes it.
TEST_F(DesignChartViewTest, WheelAndRubberBandZoomUntilTheReset) {
  const QPoint at = At(25, 10);
  QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &wheel);
  EXPECT_TRUE(chart->isZoomed());
  EXPECT_NEAR(x_axis->max() - x_axis->min(), 100 / 1.5625, 1);
  EXPECT_NEAR(x_axis->min() + (x_axis->max() - x_axis->min()) * 0.25, 25, 1);
  EXPECT_NEAR(y_axis->max() - y_axis->min(), 20 / 1.5625, 0.5);

  std::unique_ptr<QMenu> menu(view->BuildContextMenu());
  Action(menu.get(), "ResetZoom")->trigger();
  EXPECT_FALSE(chart->isZoomed());
  EXPECT_DOUBLE_EQ(x_axis->min(), 0);
  EXPECT_DOUBLE_EQ(x_axis->max(), 100);

  const QPoint from = At(20, 15);
  const QPoint to = At(60, 5);
  Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  EXPECT_NEAR(x_axis->min(), 20, 0.5);
  EXPECT_NEAR(x_axis->max(), 60, 0.5);
  EXPECT_NEAR(y_axis->min(), 5, 0.2);
  EXPECT_NEAR(y_axis->max(), 15, 0.2);

  Mouse(QEvent::MouseButtonPress, At(30, 10), Qt::RightButton, Qt::RightButton);
  Mouse(QEvent::MouseButtonRelease, At(30, 10), Qt::RightButton, Qt::NoButton);
  EXPECT_NEAR(x_axis->min(), 20, 0.5);
  EXPECT_TRUE(chart->isZoomed());
  view->ResetZoom();
  EXPECT_DOUBLE_EQ(x_axis->max(), 100);
}

TEST_F(DesignChartViewTest, ContextMenuSavesThePictureAndThePoints) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  std::unique_ptr<QMenu> menu(view->BuildContextMenu());
  EXPECT_FALSE(Action(menu.get(), "ResetZoom")->isEnabled());

  // A name without a suffix gets the file type's; a cancelled dialog writes nothing.
  dialogs.file_names = {dir.filePath(QStringLiteral("chart")), QString()};
  Action(menu.get(), "SavePng")->trigger();
  EXPECT_EQ(dialogs.last_filters, "PNG image (*.png);;All (*)");
  const QImage image(dir.filePath(QStringLiteral("chart.png")));
  EXPECT_EQ(image.size(), view->size());
  Action(menu.get(), "SavePng")->trigger();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
  // A picture that cannot be written says why, and leaves no file behind.
  dialogs.file_names = {dir.filePath(QStringLiteral("missing/chart.png"))};
  Action(menu.get(), "SavePng")->trigger();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes.front().text, "Cannot save \"" +
                                            dir.filePath(QStringLiteral("missing/chart.png")) +
                                            "\": No such file or directory");
  dialogs.boxes.clear();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

  ASSERT_TRUE(Action(menu.get(), "SaveCsv")->isEnabled());
  dialogs.file_names = {dir.filePath(QStringLiteral("points.csv")),
                        dir.filePath(QStringLiteral("missing/points.csv"))};
  Action(menu.get(), "SaveCsv")->trigger();
  EXPECT_EQ(testing::ReadFile(dir.filePath(QStringLiteral("points.csv")).toStdString()),
            "1,2\n3,4\n");
  EXPECT_TRUE(dialogs.boxes.empty());
  Action(menu.get(), "SaveCsv")->trigger();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_TRUE(dialogs.boxes.front().text.startsWith(QStringLiteral("Cannot save \"")))
      << dialogs.boxes.front().text.toStdString();

  chart->removeAllSeries();
  menu.reset(view->BuildContextMenu());
  EXPECT_FALSE(Action(menu.get(), "SaveCsv")->isEnabled());
}

}  // namespace
}  // namespace vexa
