#include "gsm/pvt_mask_view.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace vexa {
namespace {

QPointF Point(const MaskPoint& point) {
  return QPointF(point.x, point.y);
}

// The axes, the level grid and the break in the useful part.
void DrawAxes(QPainter& painter, const PvtMask& mask, const PvtMaskFrame& frame,
              const QFontMetrics& metrics) {
  const double left = frame.left;
  const double right = frame.right;
  const double top = frame.top;
  const double bottom = frame.bottom;
  const auto y = [&frame](double level) { return frame.At(0, level).y; };
  painter.setPen(QPen(Qt::black, 1));
  painter.drawLine(QPointF(left, top - 4), QPointF(left, bottom));
  painter.drawLine(QPointF(left, bottom), QPointF(right, bottom));
  painter.drawText(QPointF(4, metrics.ascent()), QStringLiteral("dB"));
  painter.drawText(QPointF(right - metrics.horizontalAdvance(QStringLiteral("t (µs)")),
                           bottom + metrics.ascent() + 2),
                   QStringLiteral("t (µs)"));
  for (double level : mask.marked_levels) {
    painter.setPen(QPen(QColor(200, 200, 200), 1, Qt::DotLine));
    painter.drawLine(QPointF(left, y(level)), QPointF(right, y(level)));
    painter.setPen(Qt::black);
    const QString text = QString::fromStdString(MaskLevelText(level));
    painter.drawText(
        QPointF(left - 6 - metrics.horizontalAdvance(text), y(level) + metrics.ascent() / 2.0 - 1),
        text);
  }
  if (!std::isnan(mask.reference_level)) {
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawLine(QPointF(left, y(mask.reference_level)),
                     QPointF(right, y(mask.reference_level)));
  }
  const double gap = BreakX(frame);
  painter.setPen(QPen(Qt::black, 1));
  for (double dx : {-4.0, 4.0})
    painter.drawLine(QPointF(gap + dx - 3, bottom + 5), QPointF(gap + dx + 3, bottom - 5));
}

// The limits as steps.
void DrawLimits(QPainter& painter, const PvtMask& mask, const PvtMaskFrame& frame) {
  const auto draw = [&](const std::vector<MaskStep>& steps, const QColor& color) {
    const std::vector<MaskPoint> line = LimitLine(steps, frame);
    QPainterPath path;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (i == 0)
        path.moveTo(Point(line[i]));
      else
        path.lineTo(Point(line[i]));
    }
    painter.setPen(QPen(color, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
  };
  draw(mask.upper, QColor(200, 0, 0));
  draw(mask.lower, QColor(0, 70, 200));
}

// The ramp steps on both sides, and the useful part with its arrows.
void DrawDimensions(QPainter& painter, const PvtMask& mask, const PvtMaskFrame& frame,
                    const QFontMetrics& metrics) {
  const double bottom = frame.bottom;
  const double gap = BreakX(frame);
  painter.setPen(Qt::black);
  const double tick_y = bottom + metrics.ascent() + 2;
  for (const PlacedDimension& dimension : PlaceDimensions(mask, frame)) {
    const QString text = QString::fromUtf8(dimension.text);
    const double width = metrics.horizontalAdvance(text);
    if (!dimension.beside_limit) {
      const double centre = (dimension.from_x + dimension.to_x) / 2;
      painter.drawLine(QPointF(dimension.from_x, bottom), QPointF(dimension.from_x, bottom + 3));
      painter.drawLine(QPointF(dimension.to_x, bottom), QPointF(dimension.to_x, bottom + 3));
      painter.drawText(QPointF(centre - width / 2, tick_y), text);
    } else {
      // Inside the plot, beside the steps, away from the burst's middle.
      const double at_x = dimension.at_end ? dimension.from_x - 4 - width : dimension.to_x + 4;
      painter.drawText(QPointF(at_x, dimension.level_y + metrics.ascent() / 2.0 - 1), text);
    }
  }
  const QString useful = QString::fromStdString(UsefulPartText(mask));
  const double arrow_y = bottom + 2.0 * metrics.height() + 2;
  const double start = frame.At(0, 0).x;
  const double end_x = frame.At(kUsefulPartUs, 0).x;
  painter.drawLine(QPointF(start, arrow_y), QPointF(end_x, arrow_y));
  for (double end : {start, end_x}) {
    const double dir = end == start ? 1 : -1;
    painter.drawLine(QPointF(end, arrow_y), QPointF(end + dir * 6, arrow_y - 3));
    painter.drawLine(QPointF(end, arrow_y), QPointF(end + dir * 6, arrow_y + 3));
  }
  painter.fillRect(
      QRectF(gap - metrics.horizontalAdvance(useful) / 2.0 - 4, arrow_y - metrics.ascent(),
             metrics.horizontalAdvance(useful) + 8, metrics.height()),
      Qt::white);
  painter.drawText(
      QPointF(gap - metrics.horizontalAdvance(useful) / 2.0, arrow_y + metrics.ascent() / 2.0 - 1),
      useful);
}

}  // namespace

PvtMaskFrame MaskFrame(QSize size, const QFontMetrics& metrics) {
  return MaskFrame(
      size.width(), size.height(),
      MaskFont{static_cast<double>(metrics.horizontalAdvance(QStringLiteral("-30 (***)"))),
               static_cast<double>(metrics.height())});
}

PvtMaskPicture::PvtMaskPicture(const PvtMask& mask, QWidget* parent)
    : QWidget(parent), mask_(mask) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PvtMaskPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), Qt::white);
  const QFontMetrics metrics(font());
  const PvtMaskFrame frame = MaskFrame(size(), metrics);
  DrawAxes(painter, mask_, frame, metrics);
  DrawLimits(painter, mask_, frame);
  DrawDimensions(painter, mask_, frame, metrics);
}

}  // namespace vexa
