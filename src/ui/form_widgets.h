// Small building blocks of the calculator pages, which mirror a Qt-free form model into their
// widgets: creating a control by its form name and place, and showing a model's text.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <string>

namespace vexa {

// A control of type Widget named `name` (its objectName, which tests find) at left/top.
template <typename Widget>
Widget* MakeFormWidget(QWidget* parent, const char* name, int left, int top) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QLatin1String(name));
  widget->move(left, top);
  return widget;
}

// Shows the model's text in a label sized to it; an unchanged text costs nothing.
inline void ShowLabelText(QLabel* label, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (label->text() == shown)
    return;
  label->setText(shown);
  label->adjustSize();
}

// Shows the model's text in a field, from its first character (a long number shows its
// leading digits); an unchanged text keeps the user's cursor where it is.
inline void ShowEditText(QLineEdit* edit, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (edit->text() == shown)
    return;
  edit->setText(shown);
  edit->setCursorPosition(0);
}

}  // namespace vexa
