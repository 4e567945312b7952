#include "gsm/pvt_mask.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <limits>

namespace vexa {
namespace {

// The floor (*) has no fixed relative level; it is drawn below −30 dB.
constexpr double kFloor = -40;
constexpr double kNoLevel = std::numeric_limits<double>::quiet_NaN();
constexpr double kU = kUsefulPartUs;
// The time shown on each side of the breaks in the useful part.
constexpr double kEdge = -48;
constexpr double kInside = 30;

// Levels above −6 dB take the upper half of the plot, the rest the lower half: the small
// tolerances near 0 dB stay readable beside the −30 dB step.
double LevelFraction(double level) {
  if (level >= -6)
    return 0.5 * (6 - level) / 12;
  return 0.5 + 0.5 * (-6 - level) / (6 - kFloor + 0);
}

// Times near the start of the burst take the left 42 % of the plot, near its end the right
// 42 %; the useful part in between is shortened to the middle 16 %.
double TimeFraction(double t) {
  const double side = 0.42;
  if (t <= kInside)
    return side * (t - kEdge) / (kInside - kEdge);
  if (t >= kU - kInside)
    return 1 - side * (kU - kEdge - t) / (kInside - kEdge);
  return side + (1 - 2 * side) * (t - kInside) / (kU - 2 * kInside);
}

QString LevelText(double level) {
  if (level == kFloor)
    return QStringLiteral("(*)");
  QString text = QString::number(level, 'g', 3).replace(QLatin1Char('.'), QLatin1Char(','));
  if (level > 0)
    text.prepend(QLatin1Char('+'));
  if (level == -6)
    text += QStringLiteral(" (**)");
  if (level == -30)
    text += QStringLiteral(" (***)");
  return text;
}

std::vector<MaskStep> Symmetric(const std::vector<MaskStep>& left, double middle) {
  // `left` runs outward from the useful part's start (latest step first); the mask is the
  // same on the right, mirrored about the useful part.
  std::vector<MaskStep> steps;
  for (auto it = left.rbegin(); it != left.rend(); ++it)
    steps.push_back(*it);
  steps.push_back({0, kU, middle});
  for (const MaskStep& step : left)
    steps.push_back({kU - step.to, kU - step.from, step.level});
  return steps;
}

}  // namespace

const PvtMask& GmskPvtMask() {
  static const PvtMask mask{
      Symmetric({{-10, 0, 4}, {-18, -10, -6}, {-28, -18, -30}, {kEdge, -28, kFloor}}, 1),
      {{0, kU, -1}},
      {4, 1, -1, -6, -30, kFloor},
      {{-28, -18, "10", kNoLevel}, {-18, -10, "8", kNoLevel}, {-10, 0, "10", kNoLevel}},
      std::numeric_limits<double>::quiet_NaN(),
      "147 bits"};
  return mask;
}

const PvtMask& EightPskPvtMask() {
  static const PvtMask mask{
      Symmetric({{-10, 0, 4}, {-18, -10, -6}, {-28, -18, -30}, {kEdge, -28, kFloor}}, 2.4),
      {{0, 2, -20}, {2, 4, -6}, {4, kU - 4, -2}, {kU - 4, kU - 2, -6}, {kU - 2, kU, -20}},
      {4, 2.4, 0, -2, -6, -20, -30, kFloor},
      {{-28, -18, "10", kNoLevel},
       {-18, -10, "8", kNoLevel},
       {-10, 0, "10", kNoLevel},
       {0, 4, "2+2", -20}},
      0,
      "147 symbols"};
  return mask;
}

QPointF PvtMaskFrame::At(double t, double level) const {
  return QPointF(left + (right - left) * TimeFraction(t),
                 top + (bottom - top) * LevelFraction(level));
}

PvtMaskFrame MaskFrame(QSize size, const QFontMetrics& metrics) {
  return PvtMaskFrame{metrics.horizontalAdvance(QStringLiteral("-30 (***)")) + 12.0,
                      size.width() - 12.0, metrics.height() + 6.0,
                      size.height() - 3.0 * metrics.height() - 8};
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
  const double left = frame.left;
  const double right = frame.right;
  const double top = frame.top;
  const double bottom = frame.bottom;
  const auto x = [&frame](double t) { return frame.At(t, 0).x(); };
  const auto y = [&frame](double level) { return frame.At(0, level).y(); };

  // Axes, the level grid and the break in the useful part.
  painter.setPen(QPen(Qt::black, 1));
  painter.drawLine(QPointF(left, top - 4), QPointF(left, bottom));
  painter.drawLine(QPointF(left, bottom), QPointF(right, bottom));
  painter.drawText(QPointF(4, metrics.ascent()), QStringLiteral("dB"));
  painter.drawText(QPointF(right - metrics.horizontalAdvance(QStringLiteral("t (µs)")),
                           bottom + metrics.ascent() + 2),
                   QStringLiteral("t (µs)"));
  for (double level : mask_.marked_levels) {
    painter.setPen(QPen(QColor(200, 200, 200), 1, Qt::DotLine));
    painter.drawLine(QPointF(left, y(level)), QPointF(right, y(level)));
    painter.setPen(Qt::black);
    const QString text = LevelText(level);
    painter.drawText(
        QPointF(left - 6 - metrics.horizontalAdvance(text), y(level) + metrics.ascent() / 2.0 - 1),
        text);
  }
  if (!std::isnan(mask_.reference_level)) {
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawLine(QPointF(left, y(mask_.reference_level)),
                     QPointF(right, y(mask_.reference_level)));
  }
  const double gap = x(kU / 2);
  painter.setPen(QPen(Qt::black, 1));
  for (double dx : {-4.0, 4.0})
    painter.drawLine(QPointF(gap + dx - 3, bottom + 5), QPointF(gap + dx + 3, bottom - 5));

  // The limits as steps.
  const auto draw = [&](const std::vector<MaskStep>& steps, const QColor& color) {
    QPainterPath path;
    bool first = true;
    for (const MaskStep& step : steps) {
      if (first)
        path.moveTo(x(step.from), y(step.level));
      else
        path.lineTo(x(step.from), y(step.level));
      path.lineTo(x(step.to), y(step.level));
      first = false;
    }
    painter.setPen(QPen(color, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
  };
  draw(mask_.upper, QColor(200, 0, 0));
  draw(mask_.lower, QColor(0, 70, 200));

  // The ramp steps on both sides, and the useful part.
  painter.setPen(Qt::black);
  const double tick_y = bottom + metrics.ascent() + 2;
  for (const MaskDimension& dimension : mask_.dimensions) {
    for (bool at_end : {false, true}) {
      const double from = at_end ? kU - dimension.to : dimension.from;
      const double to = at_end ? kU - dimension.from : dimension.to;
      const QString text = QString::fromUtf8(dimension.text);
      const double width = metrics.horizontalAdvance(text);
      if (std::isnan(dimension.level)) {
        const double centre = (x(from) + x(to)) / 2;
        painter.drawLine(QPointF(x(from), bottom), QPointF(x(from), bottom + 3));
        painter.drawLine(QPointF(x(to), bottom), QPointF(x(to), bottom + 3));
        painter.drawText(QPointF(centre - width / 2, tick_y), text);
      } else {
        // Inside the plot, beside the steps, away from the burst's middle.
        const double at_x = at_end ? x(from) - 4 - width : x(to) + 4;
        painter.drawText(QPointF(at_x, y(dimension.level) + metrics.ascent() / 2.0 - 1), text);
      }
    }
  }
  const QString useful =
      QStringLiteral("%1, 7056/13 (542,8) µs").arg(QLatin1String(mask_.useful_part));
  const double arrow_y = bottom + 2.0 * metrics.height() + 2;
  painter.drawLine(QPointF(x(0), arrow_y), QPointF(x(kU), arrow_y));
  for (double end : {x(0), x(kU)}) {
    const double dir = end == x(0) ? 1 : -1;
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

}  // namespace vexa
