#include "ui/labeled_edit.h"

namespace vexa {

LabeledEdit::LabeledEdit(const QString& caption, QWidget* parent) : QLineEdit(parent) {
  label_ = new QLabel(caption, parent);
  label_->adjustSize();
  label_->setBuddy(this);
  PlaceLabel();
}

void LabeledEdit::moveEvent(QMoveEvent* event) {
  QLineEdit::moveEvent(event);
  PlaceLabel();
}

void LabeledEdit::PlaceLabel() {
  label_->move(x(), y() - label_->height() - 1);
}

}  // namespace vexa
