#include "ui/clickable_label.h"

#include <QMouseEvent>
#include <utility>

namespace vexa {

ClickableLabel::ClickableLabel(QWidget* parent) : QLabel(parent) {
  setCursor(Qt::PointingHandCursor);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (std::exchange(ending_double_click_, false))
    return;
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  QLabel::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) {
    ending_double_click_ = true;
    emit doubleClicked();
  }
}

}  // namespace vexa
