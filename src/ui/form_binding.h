// Binds a page's widgets to its form model through the model's field table
// (core/form_fields.h): each entry's control is found by its objectName once, after the page
// has built its widgets. Read() copies what the user typed in the entry fields into the model;
// Show() copies every text of the model into its field or label.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <span>
#include <string>
#include <vector>

#include "core/form_fields.h"
#include "ui/form_widgets.h"

namespace vexa {

template <typename Form>
class FormBinding {
 public:
  // Finds every control of `fields` among the children of `page`. A control the page lacks
  // is a mistake of the table; the page tests check that each one is found.
  void Bind(const QWidget* page, std::span<const FormField<Form>> fields) {
    bound_.clear();
    for (const FormField<Form>& field : fields) {
      auto* widget = page->findChild<QWidget*>(QLatin1String(field.control));
      Q_ASSERT_X(widget, "FormBinding::Bind", field.control);
      bound_.push_back(
          {qobject_cast<QLineEdit*>(widget), qobject_cast<QLabel*>(widget), field.text});
    }
  }

  void Read(Form& form) const {
    for (const Bound& bound : bound_) {
      if (bound.edit)
        form.*bound.text = bound.edit->text().toStdString();
    }
  }

  void Show(const Form& form) const {
    for (const Bound& bound : bound_) {
      if (bound.edit)
        ShowEditText(bound.edit, form.*bound.text);
      else if (bound.label)
        ShowLabelText(bound.label, form.*bound.text);
    }
  }

 private:
  struct Bound {
    QLineEdit* edit;
    QLabel* label;
    std::string Form::*text;
  };
  std::vector<Bound> bound_;
};

}  // namespace vexa
