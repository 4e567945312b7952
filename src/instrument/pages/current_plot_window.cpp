#include "instrument/pages/current_plot_window.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QPixmap>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "core/text_format.h"
#include "ui/dialogs.h"
#include "ui/file_save.h"

namespace vexa {
namespace {

// `name` with `suffix` added when the user typed none.
QString WithSuffix(const QString& name, const QString& suffix) {
  return QFileInfo(name).suffix().isEmpty() ? name + QLatin1Char('.') + suffix : name;
}

QChartView* MakeView(QChart* chart, QWidget* parent) {
  chart->legend()->setVisible(false);
  chart->setMargins(QMargins(4, 4, 4, 4));
  auto* view = new QChartView(chart, parent);
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(480, 220);
  return view;
}

// `font` at `factor` times its size, whether its size is in points or, as the charts' own
// fonts are, in pixels (then pointSizeF() is -1).
QFont ScaledFont(QFont font, double factor) {
  if (font.pointSizeF() > 0)
    font.setPointSizeF(font.pointSizeF() * factor);
  else if (font.pixelSize() > 0)
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * factor))));
  return font;
}

// The top of an axis showing values up to `highest`: a little headroom, never empty.
double AxisTop(double highest) {
  return highest > 0 ? highest * 1.05 : 1.0;
}

}  // namespace

CurrentPlotWindow::CurrentPlotWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("CurrentPlot"));
  setWindowTitle(QStringLiteral("Current Plot"));
  charts_ = new QWidget(this);
  auto* chart_layout = new QVBoxLayout(charts_);
  chart_layout->setContentsMargins(0, 0, 0, 0);
  chart_layout->addWidget(BuildTimeChart(), 3);
  chart_layout->addWidget(BuildHistogramChart(), 2);

  Summary = new QLabel(this);
  Summary->setObjectName(QStringLiteral("Summary"));
  SavePng = new QPushButton(QStringLiteral("Save PNG"), this);
  SavePng->setObjectName(QStringLiteral("SavePng"));
  SaveCsv = new QPushButton(QStringLiteral("Save CSV"), this);
  SaveCsv->setObjectName(QStringLiteral("SaveCsv"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Summary, 1);
  buttons->addWidget(SavePng);
  buttons->addWidget(SaveCsv);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(charts_, 1);
  layout->addLayout(buttons);
  resize(720, 560);

  connect(SavePng, &QPushButton::clicked, this, &CurrentPlotWindow::SavePngClick);
  connect(SaveCsv, &QPushButton::clicked, this, &CurrentPlotWindow::SaveCsvClick);
  ShowData(data_);
}

QChartView* CurrentPlotWindow::BuildTimeChart() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Current per batch of 50 readings: mean, lowest to highest"));
  lows_ = new QLineSeries(chart);
  highs_ = new QLineSeries(chart);
  band_ = new QAreaSeries(highs_, lows_);
  band_->setName(QStringLiteral("lowest to highest"));
  band_->setColor(QColor(0x9e, 0xc5, 0xea, 140));
  band_->setBorderColor(QColor(0x9e, 0xc5, 0xea));
  mean_ = new QLineSeries(chart);
  mean_->setName(QStringLiteral("mean"));
  mean_->setPen(QPen(QColor(0x1f, 0x4e, 0x9a), 2));
  // Each batch a dot too, so the first batch of a slow run shows before there is a line.
  mean_->setPointsVisible(true);
  chart->addSeries(band_);
  chart->addSeries(mean_);
  time_axis_ = new QValueAxis(chart);
  time_axis_->setTitleText(QStringLiteral("Time s"));
  time_axis_->setLabelFormat(QStringLiteral("%g"));
  current_axis_ = new QValueAxis(chart);
  current_axis_->setTitleText(QStringLiteral("Current mA"));
  current_axis_->setLabelFormat(QStringLiteral("%g"));
  chart->addAxis(time_axis_, Qt::AlignBottom);
  chart->addAxis(current_axis_, Qt::AlignLeft);
  for (QAbstractSeries* series :
       {static_cast<QAbstractSeries*>(band_), static_cast<QAbstractSeries*>(mean_)}) {
    series->attachAxis(time_axis_);
    series->attachAxis(current_axis_);
  }
  return MakeView(chart, charts_);
}

QChartView* CurrentPlotWindow::BuildHistogramChart() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Readings per current range"));
  counts_ = new QBarSet(QStringLiteral("readings"));
  counts_->setColor(QColor(0x1f, 0x4e, 0x9a));
  for (int bucket = 0; bucket < kHistogramBuckets; ++bucket)
    counts_->append(0);
  auto* bars = new QBarSeries(chart);
  bars->append(counts_);
  bars->setBarWidth(0.7);
  chart->addSeries(bars);
  auto* ranges = new QBarCategoryAxis(chart);
  // The axis draws its labels as rich text: "<1mA" must not read as a tag.
  for (const char* label : kCurrentBucketLabels)
    ranges->append(QString::fromLatin1(label).toHtmlEscaped());
  ranges->setLabelsFont(ScaledFont(ranges->labelsFont(), 0.9));
  count_axis_ = new QValueAxis(chart);
  count_axis_->setTitleText(QStringLiteral("Readings"));
  count_axis_->setLabelFormat(QStringLiteral("%.0f"));
  chart->addAxis(ranges, Qt::AlignBottom);
  chart->addAxis(count_axis_, Qt::AlignLeft);
  bars->attachAxis(ranges);
  bars->attachAxis(count_axis_);
  return MakeView(chart, charts_);
}

void CurrentPlotWindow::ShowData(const CurrentPlotData& data) {
  data_ = data;
  const std::vector<CurrentPlotPoint> points = data_.Points();
  QList<QPointF> means;
  QList<QPointF> lows;
  QList<QPointF> highs;
  means.reserve(static_cast<qsizetype>(points.size()));
  lows.reserve(static_cast<qsizetype>(points.size()));
  highs.reserve(static_cast<qsizetype>(points.size()));
  double last_s = 0;
  double highest = 0;
  for (const CurrentPlotPoint& point : points) {
    means.append(QPointF(point.elapsed_s, point.mean_ma));
    lows.append(QPointF(point.elapsed_s, point.min_ma));
    highs.append(QPointF(point.elapsed_s, point.max_ma));
    last_s = std::max(last_s, point.elapsed_s);
    highest = std::max(highest, point.max_ma);
  }
  mean_->replace(means);
  lows_->replace(lows);
  highs_->replace(highs);
  time_axis_->setRange(0, last_s > 0 ? last_s : 1.0);
  time_axis_->applyNiceNumbers();
  current_axis_->setRange(0, AxisTop(highest));
  current_axis_->applyNiceNumbers();

  long most = 0;
  for (int bucket = 0; bucket < kHistogramBuckets; ++bucket) {
    const long count = data_.histogram()[static_cast<std::size_t>(bucket)];
    counts_->replace(bucket, static_cast<qreal>(count));
    most = std::max(most, count);
  }
  count_axis_->setRange(0, AxisTop(static_cast<double>(most)));
  count_axis_->applyNiceNumbers();

  const long readings = data_.readings();
  Summary->setText(readings > 0
                       ? QString::fromStdString(Format("%ld readings in %.1f s, mean %.3f mA",
                                                       readings, last_s, data_.running_mean_ma()))
                       : QStringLiteral("No readings yet"));
}

void CurrentPlotWindow::SavePngClick() {
  QString name = AppDialogs().AskSaveFileName(QStringLiteral("PNG image (*.png);;All (*)"));
  if (name.isEmpty())
    return;
  name = WithSuffix(name, QStringLiteral("png"));
  if (const int error = SavePngFile(charts_->grab(), name))
    AppDialogs().ShowError(
        QStringLiteral("Unable to write to %1: %2.").arg(name, FileErrorText(error)));
}

void CurrentPlotWindow::SaveCsvClick() {
  QString name = AppDialogs().AskSaveFileName(QStringLiteral("CSV text (*.csv);;All (*)"));
  if (name.isEmpty())
    return;
  name = WithSuffix(name, QStringLiteral("csv"));
  if (const int error = SaveFile(name, CurrentPlotCsv(data_)))
    AppDialogs().ShowError(
        QStringLiteral("Unable to write to %1: %2.").arg(name, FileErrorText(error)));
}

}  // namespace vexa
