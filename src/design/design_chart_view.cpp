#include "design/design_chart_view.h"

#include <QAbstractAxis>
#include <QAbstractSeries>
#include <QAction>
#include <QChart>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPen>
#include <QPixmap>
#include <QStringList>
#include <QWheelEvent>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

#include "ui/dialogs.h"
#include "ui/file_save.h"

namespace vexa {
namespace {

// One wheel notch (120 eighths of a degree) zooms by this factor.
constexpr double kWheelZoomPerNotch = 1.25;
constexpr int kReadoutMargin = 6;

// The name with `suffix` added when the user typed none.
QString WithSuffix(const QString& path, const QString& suffix) {
  return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
}

void ReportSaveFailure(const QString& path, int error) {
  AppDialogs().ShowMessage(
      QStringLiteral("Cannot save \"%1\": %2").arg(path, FileErrorText(error)));
}

// The range an axis scales to automatically: the data's, widened when it is a single value.
// A logarithmic axis takes only the positive values.
bool DataRange(const std::vector<ChartSeries>& series, bool x, bool logarithmic, double& low,
               double& high) {
  low = std::numeric_limits<double>::infinity();
  high = -low;
  for (const ChartSeries& data : series) {
    for (const CurvePoint& point : data.points) {
      const double value = x ? point.x : point.y;
      if (!std::isfinite(value) || (logarithmic && value <= 0))
        continue;
      low = std::min(low, value);
      high = std::max(high, value);
    }
  }
  if (low > high)
    return false;
  if (low == high) {
    low = logarithmic ? low / 10 : low - 1;
    high = logarithmic ? high * 10 : high + 1;
  }
  return true;
}

}  // namespace

QColor ChartColor(unsigned value) {
  return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                static_cast<int>((value >> 16) & 0xFFu));
}

QString ReadoutNumber(double value) {
  return QString::number(value, 'g', 6);
}

DesignChartView::DesignChartView(QChart* chart, QString file_stem, QWidget* parent)
    : QChartView(chart, parent), file_stem_(std::move(file_stem)) {
  setRubberBand(QChartView::RectangleRubberBand);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  readout_ = new QLabel(this);
  readout_->setObjectName(QStringLiteral("Readout"));
  readout_->setAttribute(Qt::WA_TransparentForMouseEvents);
  readout_->setStyleSheet(
      QStringLiteral("QLabel { background: rgba(255, 255, 255, 220); border: 1px solid #a0a0a0; "
                     "padding: 1px 4px; }"));
  readout_->hide();
  setToolTip(
      QStringLiteral("Wheel or drag a rectangle to zoom; right button for PNG, CSV and the "
                     "zoom reset"));
}

void DesignChartView::SetReadoutUnits(QString x_unit, QString y_unit) {
  x_unit_ = std::move(x_unit);
  y_unit_ = std::move(y_unit);
}

void DesignChartView::ShowModel(const ChartModel& model, QAbstractAxis* bottom,
                                QAbstractAxis* left) {
  if (shown_any_ && model.revision == shown_revision_)
    return;
  shown_any_ = true;
  shown_revision_ = model.revision;
  QChart* shown = chart();
  QStringList title;
  if (model.title_visible) {
    for (const std::string& line : model.title)
      title << QString::fromStdString(line);
  }
  shown->setTitle(title.join(QLatin1Char('\n')));
  shown->legend()->setVisible(model.legend_visible);

  ResetZoom();
  shown->removeAllSeries();
  const auto add = [&](const ChartSeries& data) {
    auto* series = new QLineSeries;
    series->setObjectName(QString::fromStdString(data.name));
    series->setPointsVisible(data.marks_visible);
    QPen pen(ChartColor(data.color));
    pen.setWidth(1);
    if (data.dashed)
      pen.setStyle(Qt::DashLine);
    series->setPen(pen);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(data.points.size()));
    for (const CurvePoint& point : data.points) {
      // Qt Charts draws nothing of a series with one such point on a logarithmic axis.
      if ((model.bottom.logarithmic && !(point.x > 0)) ||
          (model.left.logarithmic && !(point.y > 0)))
        continue;
      points.append(QPointF(point.x, point.y));
    }
    series->replace(points);
    shown->addSeries(series);
    series->attachAxis(bottom);
    series->attachAxis(left);
  };
  for (const ChartSeries& data : model.series)
    add(data);
  for (const ChartSeries& data : model.guides)
    add(data);

  double low = 0;
  double high = 0;
  if (model.bottom.automatic && DataRange(model.series, true, model.bottom.logarithmic, low, high))
    bottom->setRange(low, high);
  if (model.left.automatic && DataRange(model.series, false, model.left.logarithmic, low, high))
    left->setRange(low, high);
}

void DesignChartView::ResetZoom() {
  chart()->zoomReset();
}

void DesignChartView::ZoomAt(const QPointF& position, double factor) {
  if (!(factor > 0) || !std::isfinite(factor))
    return;
  const QRectF plot = chart()->plotArea();
  if (plot.isEmpty())
    return;
  QPointF at = chart()->mapFromScene(mapToScene(position.toPoint()));
  if (!plot.contains(at))
    at = plot.center();
  const double left = at.x() - (at.x() - plot.left()) / factor;
  const double top = at.y() - (at.y() - plot.top()) / factor;
  chart()->zoomIn(QRectF(left, top, plot.width() / factor, plot.height() / factor));
  ShowReadout(position);
}

int DesignChartView::SavePng(const QString& path) {
  const bool readout_shown = readout_->isVisible();
  readout_->hide();
  const QPixmap picture = grab();
  readout_->setVisible(readout_shown);
  return SavePngFile(picture, path);
}

int DesignChartView::SaveCsv(const QString& path) {
  if (!csv_)
    return EINVAL;
  return SaveFile(path, csv_());
}

QString DesignChartView::ReadoutText() const {
  return readout_->isVisible() ? readout_->text() : QString();
}

QMenu* DesignChartView::BuildContextMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("ChartMenu"));
  const bool has_points = !chart()->series().isEmpty();
  QAction* png = menu->addAction(QStringLiteral("Save chart as PNG..."));
  png->setObjectName(QStringLiteral("SavePng"));
  connect(png, &QAction::triggered, this, &DesignChartView::AskAndSavePng);
  QAction* csv = menu->addAction(QStringLiteral("Save points as CSV..."));
  csv->setObjectName(QStringLiteral("SaveCsv"));
  csv->setEnabled(has_points && static_cast<bool>(csv_));
  connect(csv, &QAction::triggered, this, &DesignChartView::AskAndSaveCsv);
  menu->addSeparator();
  QAction* reset = menu->addAction(QStringLiteral("Reset zoom"));
  reset->setObjectName(QStringLiteral("ResetZoom"));
  reset->setEnabled(chart()->isZoomed());
  connect(reset, &QAction::triggered, this, &DesignChartView::ResetZoom);
  return menu;
}

void DesignChartView::AskAndSavePng() {
  QString path = AppDialogs().AskSaveFileName(QStringLiteral("PNG image (*.png);;All (*)"));
  if (path.isEmpty())
    return;
  path = WithSuffix(path, QStringLiteral("png"));
  if (const int error = SavePng(path))
    ReportSaveFailure(path, error);
}

void DesignChartView::AskAndSaveCsv() {
  QString path = AppDialogs().AskSaveFileName(QStringLiteral("CSV file (*.csv);;All (*)"));
  if (path.isEmpty())
    return;
  path = WithSuffix(path, QStringLiteral("csv"));
  if (const int error = SaveCsv(path))
    ReportSaveFailure(path, error);
}

void DesignChartView::contextMenuEvent(QContextMenuEvent* event) {
  std::unique_ptr<QMenu> menu(BuildContextMenu());
  menu->exec(event->globalPos());
  event->accept();
}

void DesignChartView::mouseMoveEvent(QMouseEvent* event) {
  QChartView::mouseMoveEvent(event);
  ShowReadout(event->position());
}

// The right button opens the context menu; the rubber band's zoom-out on its release would
// undo a zoom the user wanted to keep or reset from the menu.
void DesignChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

void DesignChartView::leaveEvent(QEvent* event) {
  readout_->hide();
  QChartView::leaveEvent(event);
}

void DesignChartView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches != 0)
    ZoomAt(event->position(), std::pow(kWheelZoomPerNotch, notches));
  event->accept();
}

void DesignChartView::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  PlaceReadout();
}

void DesignChartView::ShowReadout(const QPointF& position) {
  const QList<QAbstractSeries*> series = chart()->series();
  const QPointF at = chart()->mapFromScene(mapToScene(position.toPoint()));
  if (series.isEmpty() || !chart()->plotArea().contains(at)) {
    readout_->hide();
    return;
  }
  const QPointF value = chart()->mapToValue(at, series.front());
  if (!std::isfinite(value.x()) || !std::isfinite(value.y())) {
    readout_->hide();
    return;
  }
  const auto with_unit = [](double number, const QString& unit) {
    return unit.isEmpty() ? ReadoutNumber(number) : ReadoutNumber(number) + QLatin1Char(' ') + unit;
  };
  readout_->setText(with_unit(value.x(), x_unit_) + QStringLiteral(", ") +
                    with_unit(value.y(), y_unit_));
  readout_->adjustSize();
  PlaceReadout();
  readout_->show();
}

void DesignChartView::PlaceReadout() {
  readout_->move(width() - readout_->width() - kReadoutMargin, kReadoutMargin);
}

}  // namespace vexa
