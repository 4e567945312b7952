// How long the FILTER and PLL pages take to compute and draw their charts, against drawing the
// same points in bare Qt Charts line series on a chart view of the same size.
//
//   chart_draw [-n RUNS]
//
// One page run is a click on "Calc" followed by a synchronous paint of the chart view into a
// pixmap (QWidget::grab): the design, the sweep, the chart model, the series and the picture.
// One baseline run gives a QChartView of the same size, render hints and axis types the same
// points, already in QList<QPointF> form, in fresh QLineSeries drawn with the page's pens
// (colour, width, dashes), sets the axis ranges and paints it the same way.
// Runs alternate between page and baseline after three warm-up runs of each; the medians and
// their ratio are printed.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QPixmap>
#include <QPushButton>
#include <QValueAxis>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "design/filter_page.h"
#include "design/pll_page.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSheetWidth = 594;
constexpr int kSheetHeight = 356;

double Milliseconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The baseline: a chart view with bare line series, refilled and painted on each run.
class BareChart {
 public:
  BareChart(QSize size, bool log_x, QPainter::RenderHints hints)
      : chart_(new QChart), view_(chart_, &sheet_) {
    view_.setRenderHints(hints);
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->legend()->hide();
    if (log_x)
      x_axis_ = new QLogValueAxis;
    else
      x_axis_ = new QValueAxis;
    y_axis_ = new QValueAxis;
    chart_->addAxis(x_axis_, Qt::AlignBottom);
    chart_->addAxis(y_axis_, Qt::AlignLeft);
    view_.resize(size);
    sheet_.resize(kSheetWidth, kSheetHeight);
    sheet_.show();
  }

  void Draw(const std::vector<QList<QPointF>>& series_points, const std::vector<QPen>& pens) {
    chart_->removeAllSeries();
    double x_low = 1e300, x_high = -1e300, y_low = 1e300, y_high = -1e300;
    for (std::size_t i = 0; i < series_points.size(); ++i) {
      const QList<QPointF>& points = series_points[i];
      auto* series = new QLineSeries;
      series->setPen(pens[i]);
      series->replace(points);
      chart_->addSeries(series);
      series->attachAxis(x_axis_);
      series->attachAxis(y_axis_);
      for (const QPointF& point : points) {
        x_low = std::min(x_low, point.x());
        x_high = std::max(x_high, point.x());
        y_low = std::min(y_low, point.y());
        y_high = std::max(y_high, point.y());
      }
    }
    x_axis_->setRange(x_low, x_high);
    y_axis_->setRange(y_low, y_high);
    picture_ = view_.grab();
  }

 private:
  QWidget sheet_;  // a stand-in for the page, so both views are child widgets
  QChart* chart_;
  QChartView view_;
  QAbstractAxis* x_axis_;
  QAbstractAxis* y_axis_;
  QPixmap picture_;
};

std::vector<QList<QPointF>> PointsOf(const QChart* chart) {
  std::vector<QList<QPointF>> points;
  for (QAbstractSeries* series : chart->series())
    points.push_back(static_cast<QLineSeries*>(series)->points());
  return points;
}

std::vector<QPen> PensOf(const QChart* chart) {
  std::vector<QPen> pens;
  for (QAbstractSeries* series : chart->series())
    pens.push_back(static_cast<QLineSeries*>(series)->pen());
  return pens;
}

std::size_t Count(const std::vector<QList<QPointF>>& points) {
  std::size_t count = 0;
  for (const QList<QPointF>& list : points)
    count += static_cast<std::size_t>(list.size());
  return count;
}

void Compare(const char* name, QWidget& page, QPushButton* calc, QChartView* view, int runs) {
  page.resize(kSheetWidth, kSheetHeight);
  page.show();
  QPixmap picture;
  const auto page_run = [&] {
    calc->click();
    picture = view->grab();
  };
  page_run();
  const std::vector<QList<QPointF>> points = PointsOf(view->chart());
  const std::vector<QPen> pens = PensOf(view->chart());
  const bool log_x = qobject_cast<QLogValueAxis*>(view->chart()->axes(Qt::Horizontal).value(0));
  BareChart bare(view->size(), log_x, view->renderHints());
  std::vector<double> page_ms;
  std::vector<double> bare_ms;
  for (int i = 0; i < 3; ++i) {
    page_run();
    bare.Draw(points, pens);
  }
  for (int i = 0; i < runs; ++i) {
    if (i % 2) {
      page_ms.push_back(Milliseconds(page_run));
      bare_ms.push_back(Milliseconds([&] { bare.Draw(points, pens); }));
    } else {
      bare_ms.push_back(Milliseconds([&] { bare.Draw(points, pens); }));
      page_ms.push_back(Milliseconds(page_run));
    }
  }
  const double page_median = Median(page_ms);
  const double bare_median = Median(bare_ms);
  std::printf("%-7s %zu series, %6zu points   page %7.2f ms   bare series %7.2f ms   ratio %.2f\n",
              name, points.size(), Count(points), page_median, bare_median,
              page_median / bare_median);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 30;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::printf("medians of %d runs, platform %s\n", runs,
              QApplication::platformName().toUtf8().constData());

  vexa::FilterPage filter;
  Compare("FILTER", filter, filter.Button4, filter.Chart1View, runs);
  vexa::PllPage pll;
  Compare("PLL", pll, pll.Button6, pll.Chart2View, runs);
  return 0;
}
