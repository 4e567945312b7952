// Small building blocks of the calculator pages, which mirror a Qt-free form model into their
// widgets: creating a control by its form name and place, and showing a model's text.
#pragma once

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <string>

#include "ui/labeled_edit.h"

namespace vexa {

// A control of type Widget named `name` (its objectName, which tests find) at left/top.
template <typename Widget>
Widget* MakeFormWidget(QWidget* parent, const char* name, int left, int top) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QLatin1String(name));
  widget->move(left, top);
  return widget;
}

// A field named `name` with its caption above it, one line high.
inline LabeledEdit* MakeLabeledEdit(QWidget* parent, const char* name, const QString& caption,
                                    int left, int top, int width) {
  auto* edit = new LabeledEdit(caption, parent);
  edit->setObjectName(QLatin1String(name));
  edit->EditLabel()->setObjectName(QLatin1String(name) + QStringLiteral("Label"));
  edit->setGeometry(left, top, width, 21);
  edit->PlaceLabel();
  return edit;
}

// The font of the drawings made of characters (schematics, equivalent circuits): Courier New,
// or the system's fixed-pitch font where it is missing.
inline QFont SchematicFont(int pixel_size = 13) {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(pixel_size);
  return font;
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
