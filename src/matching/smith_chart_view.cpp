#include "matching/smith_chart_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "ui/file_save.h"

namespace vexa {
namespace {

constexpr int kMarkerSize = 4;
constexpr double kWheelZoomPerNotch = 1.25;
constexpr double kMaxZoom = 16;

// A rectangle given by two opposite corners, as the grid's figures are, in the form QPainter
// draws with a one-pixel pen: the figure covers the pixels from the first corner up to, not
// including, the second (a 352-wide ellipse spans pixels 0 to 351).
QRectF Corners(int x1, int y1, int x2, int y2) {
  return QRectF(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) - 1, std::abs(y2 - y1) - 1);
}

// The angle, in sixteenths of a degree counterclockwise from 3 o'clock, at which the ray from
// the ellipse's centre through `point` meets the ellipse, in the ellipse's own parameter (how
// QPainter measures arc angles on an ellipse).
double ArcAngle(const QRectF& ellipse, QPointF point) {
  const QPointF centre = ellipse.center();
  const double angle = std::atan2(-(point.y() - centre.y()) / (ellipse.height() / 2),
                                  (point.x() - centre.x()) / (ellipse.width() / 2));
  return angle * 180 / std::numbers::pi * 16;
}

// An arc drawn counterclockwise on the ellipse in `rect` from the direction of `start` to the
// direction of `end`.
void DrawArc(QPainter& painter, const QRectF& ellipse, QPoint start, QPoint end) {
  const double from = ArcAngle(ellipse, start);
  double span = ArcAngle(ellipse, end) - from;
  while (span <= 0)
    span += 360 * 16;
  painter.drawArc(ellipse, static_cast<int>(std::lround(from)),
                  static_cast<int>(std::lround(span)));
}

}  // namespace

void DrawSmithGrid(QImage& image) {
  const int w = image.width();
  const int h = image.height();
  const double s = std::sqrt(3.0);
  const auto trunc = [](double value) { return static_cast<int>(value); };
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  painter.drawEllipse(Corners(0, 0, w, h));
  painter.drawEllipse(Corners(w / 3, h / 6, w, (h / 6) * 5));
  painter.drawEllipse(Corners((w / 3) * 2, h / 3, w, (h / 3) * 2));
  painter.drawLine(0, h / 2, w, h / 2);

  const int arc_left = trunc((2 * s - 1) * w * 0.5 / s);
  const int arc_right = trunc((2 * s + 1) * w * 0.5 / s);
  // x = +√3 and x = −√3.
  DrawArc(painter, Corners(arc_left, trunc((s - 2) * h * 0.5 / s), arc_right, h / 2),
          QPoint((3 * w) / 4, trunc((2 - s) * h * 0.25)), QPoint(w, h / 2));
  DrawArc(painter, Corners(arc_left, trunc((s + 2) * h * 0.5 / s), arc_right, h / 2),
          QPoint(w, h / 2), QPoint((3 * w) / 4, trunc((s + 2) * h * 0.25)));
  // x = +1/√3 and x = −1/√3.
  const int wide_left = trunc((2 - s) * w * 0.5);
  const int wide_right = trunc((s + 2) * w * 0.5);
  DrawArc(painter, Corners(wide_left, trunc((1 - 2 * s) * h * 0.5), wide_right, h / 2),
          QPoint(w / 4, trunc((2 - s) * h * 0.25)), QPoint(w, h / 2));
  DrawArc(painter, Corners(wide_left, trunc((2 * s + 1) * h * 0.5), wide_right, h / 2),
          QPoint(w, h / 2), QPoint(w / 4, trunc((s + 2) * h * 0.25)));

  const int cx = w / 2;
  const int cy = h / 2;
  painter.setBrush(Qt::black);
  painter.drawEllipse(Corners(cx - 2, cy - 2, cx + 2, cy + 2));
  painter.setBrush(Qt::white);
}

// The marker: a filled red circle.
class SmithMarker : public QWidget {
 public:
  explicit SmithMarker(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Shape1"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(kMarkerSize, kMarkerSize);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(Qt::red);
    painter.setBrush(Qt::red);
    painter.drawEllipse(QRect(0, 0, width() - 1, height() - 1));
  }
};

SmithChart::SmithChart(QWidget* parent)
    : QWidget(parent), image_(352, 352, QImage::Format_ARGB32_Premultiplied) {
  setObjectName(QStringLiteral("Image3"));
  image_.fill(Qt::transparent);
  resize(image_.size());
  view_centre_ = QPointF(image_.width() / 2.0, image_.height() / 2.0);
  setMouseTracking(true);
  marker_ = new SmithMarker(this);
  PlaceMarker();
}

void SmithChart::DrawGrid() {
  DrawSmithGrid(image_);
  update();
}

void SmithChart::SetMarker(int left, int top) {
  if (left == marker_left_ && top == marker_top_)
    return;
  marker_left_ = left;
  marker_top_ = top;
  PlaceMarker();
  if (vswr_circle_)
    update();
}

void SmithChart::SetTrace(std::vector<std::complex<double>> gammas) {
  trace_ = std::move(gammas);
  trace_marker_ = -1;
  update();
}

void SmithChart::SetTraceMarker(int index) {
  trace_marker_ = index;
  update();
}

void SmithChart::SetVswrCircle(bool shown) {
  vswr_circle_ = shown;
  update();
}

QPointF SmithChart::ToImage(const QPointF& widget_point) const {
  const QPointF widget_centre(width() / 2.0, height() / 2.0);
  return (widget_point - widget_centre) / zoom_ + view_centre_;
}

QPointF SmithChart::ToWidget(const QPointF& image_point) const {
  const QPointF widget_centre(width() / 2.0, height() / 2.0);
  return (image_point - view_centre_) * zoom_ + widget_centre;
}

void SmithChart::ZoomAt(const QPointF& at, double factor) {
  if (!(factor > 0) || !std::isfinite(factor))
    return;
  const double zoom = std::clamp(zoom_ * factor, 1.0, kMaxZoom);
  const QPointF fixed = ToImage(at);
  zoom_ = zoom;
  // The image point under `at` stays there.
  const QPointF widget_centre(width() / 2.0, height() / 2.0);
  view_centre_ = fixed - (at - widget_centre) / zoom_;
  if (zoom_ == 1.0)
    view_centre_ = QPointF(image_.width() / 2.0, image_.height() / 2.0);
  PlaceMarker();
  update();
}

void SmithChart::ResetZoom() {
  zoom_ = 1;
  view_centre_ = QPointF(image_.width() / 2.0, image_.height() / 2.0);
  PlaceMarker();
  update();
}

int SmithChart::SavePng(const QString& path) {
  return SavePngFile(grab(), path);
}

QPoint SmithChart::ImagePixel(const QPointF& widget_point) const {
  const QPointF point = ToImage(widget_point);
  return QPoint(static_cast<int>(std::floor(point.x())), static_cast<int>(std::floor(point.y())));
}

void SmithChart::PlaceMarker() {
  const QPointF centre = ToWidget(QPointF(marker_left_ + 2, marker_top_ + 2));
  marker_->move(static_cast<int>(std::floor(centre.x())) - 2,
                static_cast<int>(std::floor(centre.y())) - 2);
}

void SmithChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPointF widget_centre(width() / 2.0, height() / 2.0);
  painter.translate(widget_centre);
  painter.scale(zoom_, zoom_);
  painter.translate(-view_centre_);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QPointF(0, 0), image_);

  const double cx = image_.width() / 2;
  const double cy = image_.height() / 2;
  const double unit = cx;  // pixels per unit of |Γ|
  const auto at = [&](std::complex<double> gamma) {
    return QPointF(cx + gamma.real() * unit, cy - gamma.imag() * unit);
  };
  painter.setRenderHint(QPainter::Antialiasing, true);
  if (vswr_circle_) {
    const double r = std::hypot(marker_left_ + 2 - cx, marker_top_ + 2 - cy);
    QPen pen(QColor(0, 64, 128), 0, Qt::DashLine);  // cosmetic: one pixel at any zoom
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(cx, cy), r, r);
  }
  if (!trace_.empty()) {
    QPainterPath path;
    path.moveTo(at(trace_.front()));
    for (std::size_t i = 1; i < trace_.size(); ++i)
      path.lineTo(at(trace_[i]));
    QPen pen(QColor(0, 90, 200), 0);
    pen.setWidthF(1.5);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    if (trace_marker_ >= 0 && trace_marker_ < static_cast<int>(trace_.size())) {
      const QPointF point = at(trace_[static_cast<std::size_t>(trace_marker_)]);
      painter.resetTransform();
      const QPointF shown = ToWidget(point);
      pen.setWidthF(2);
      painter.setPen(pen);
      painter.drawEllipse(shown, 5, 5);
    }
  }
}

void SmithChart::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pixel = ImagePixel(event->position());
  emit ImageMouseMove(pixel.x(), pixel.y());
}

void SmithChart::mousePressEvent(QMouseEvent* event) {
  const QPoint pixel = ImagePixel(event->position());
  emit ImageMouseDown(pixel.x(), pixel.y());
}

void SmithChart::mouseReleaseEvent(QMouseEvent*) {
  emit ImageMouseUp();
}

void SmithChart::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches != 0)
    ZoomAt(event->position(), std::pow(kWheelZoomPerNotch, notches));
  event->accept();
}

void SmithChart::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceMarker();
}

}  // namespace vexa
