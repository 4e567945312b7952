// An entry field with its caption label above it; the label follows the field when the
// field moves (the layout rule moves only the field).
#pragma once

#include <QLabel>
#include <QLineEdit>

namespace vexa {

class LabeledEdit : public QLineEdit {
  Q_OBJECT

 public:
  LabeledEdit(const QString& caption, QWidget* parent);
  QLabel* EditLabel() const { return label_; }
  // Puts the caption above the field. Runs on every move event; a move of a hidden field
  // has its event delayed until it is shown, so whoever moves one calls this too.
  void PlaceLabel();

 protected:
  void moveEvent(QMoveEvent* event) override;

 private:
  QLabel* label_;
};

}  // namespace vexa
