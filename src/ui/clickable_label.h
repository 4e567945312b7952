// A label that reports clicks and double clicks (captions with a hand cursor, pictures).
// A double click is one click (its first release) and one double click: the release that
// ends the double click is no second click.
#pragma once

#include <QLabel>

namespace vexa {

class ClickableLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickableLabel(QWidget* parent = nullptr);

 signals:
  void clicked();
  void doubleClicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool ending_double_click_ = false;  // the next release ends a double click
};

}  // namespace vexa
